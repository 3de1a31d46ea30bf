// The diagnostics window: GSM, GNSS and supply values from the unit's status
// replies.
#pragma once

#include "config/unit_tools_state.h"

namespace tq {

// Builds the window (only while a device is open), or raises it.
void open_diagnostics_window(UnitToolsState& t);
void close_diagnostics_window(UnitToolsState& t);
// The periodic step of the connected state while the window is open.
void diagnostics_window_step(UnitToolsState& t);

} // namespace tq
