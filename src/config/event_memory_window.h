// The event-memory window: the three events the unit remembers, and "Erase".
#pragma once

#include "config/unit_tools_state.h"

namespace tq {

// Builds the window (only while a device is open), or raises it.
void open_event_window(UnitToolsState& t);
void close_event_window(UnitToolsState& t);
// The periodic step of the connected state while the window is open.
void event_window_step(UnitToolsState& t);

} // namespace tq
