// The program's one state record, created at start and never freed. Each
// member belongs to the folder that declares its type; GTK handlers reach it
// through app(), everything else takes the part it works on by reference.
#pragma once

#include "app/shell.h"
#include "connection/connection.h"
#include "firmware/firmware_state.h"
#include "config/config_state.h"
#include "config/unit_tools_state.h"
#include "link/link.h"
#include "modules/modules_state.h"
#include "monitor/monitor_state.h"
#include "prefs/prefs_state.h"
#include "radio/radio_state.h"
#include "remote/relay_state.h"
#include "remote/remote_window.h"
#include "sim/programmer.h"
#include "update/update_state.h"

#include <memory>

namespace tq {

struct AppState;

// What the remote-access window asks of the program: the tool windows
// closed, the console emptied.
class ProgramRemoteAccessHost final : public RemoteAccessHost {
public:
    explicit ProgramRemoteAccessHost(AppState& a) : a_(a) {}
    void close_tool_windows() override;
    void clear_console() override;

private:
    AppState& a_;
};

// The settings pages' command buttons for the windows other folders own,
// opened by name.
class ProgramSettingsWindows final : public SettingsWindows {
public:
    explicit ProgramSettingsWindows(AppState& a) : a_(a) {}
    void open_signal_monitor() override;
    void open_radio_monitor() override;
    void open_additional_modules() override;

private:
    AppState& a_;
};

struct AppState {
    ShellState shell;
    LinkState link;
    ConnectionState connection;
    PrefsState prefs;

    // Subsystem states are added here, one member per folder.
    RelayState remote;
    UpdateState update;
    ModulesState modules;
    RadioState radio;
    FirmwareState firmware;
    ConfigState config;
    MonitorState monitor;
    UnitToolsState unit_tools; // event memory, diagnostics, service PIN

    // What the settings pages' command buttons open, for as long as the
    // program runs.
    ProgramSettingsWindows settings_windows{*this};
    // The remote-access window's context and what it asks of the program,
    // for as long as the program runs; the window keeps a pointer to the
    // context while it is open.
    ProgramRemoteAccessHost remote_host{*this};
    RemoteAccessContext remote_access{remote, link, radio, firmware, nullptr, &remote_host};

    // The simulated programmer behind --simulate.
    std::unique_ptr<sim::Programmer> simulated;
    std::unique_ptr<sim::SimPort> simulated_port;
};

// The one instance, for GTK handlers. Core code takes the member it works on
// by reference instead.
inline AppState& app()
{
    static AppState* state = new AppState; // lives for the whole run
    return *state;
}

} // namespace tq
