// The program's one state record, created at start and never freed. Each
// member belongs to the folder that declares its type; GTK handlers reach it
// through app(), everything else takes the part it works on by reference.
#pragma once

#include "app/connection.h"
#include "app/shell.h"
#include "link/link.h"
#include "sim/programmer.h"

#include <memory>

namespace tq {

struct AppState {
    ShellState shell;
    LinkState link;
    ConnectionState connection;
    ConnectionUi connection_ui;

    // The simulated programmer behind --simulate.
    std::unique_ptr<sim::Programmer> simulated;
    std::unique_ptr<sim::SimPort> simulated_port;
};

AppState& app();

} // namespace tq
