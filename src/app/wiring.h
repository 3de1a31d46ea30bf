// Where the subsystems are plugged into the shell: Tools menu actions, the
// periodic steps of the connected state, windows closed with a connection.
#pragma once

#include "app/app_state.h"

namespace tq {

// Called once at start-up, before the main window is built.
void wire_subsystems(AppState& a);

// State 16: each open tool window's periodic step looks at the reply just
// polled (code 0 when nothing arrived), in this fixed order.
void run_periodic_steps(AppState& a);

} // namespace tq
