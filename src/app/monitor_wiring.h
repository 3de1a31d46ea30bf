// Where the monitoring tools (console, signal monitor) and the unit's small
// tool windows (event memory, diagnostics, service PIN) join the shell.
#pragma once

#include "app/app_state.h"
#include "config/diagnostics_window.h"
#include "config/event_memory_window.h"
#include "monitor/signal_monitor_window.h"

namespace tq {

// The console takes every text of the unit; Ctrl+S opens it; the signal
// monitor button; the log folder and filter texts kept in the preferences.
void wire_monitoring(AppState& a);
// The "Event memory" and "Diagnostics" buttons and the PIN menu item.
void wire_unit_tools(AppState& a);

} // namespace tq
