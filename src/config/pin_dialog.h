// The emergency/service PIN dialog (Tools menu, units from firmware 1100).
#pragma once

#include "config/unit_tools_state.h"

namespace tq {

// Reads the PIN and shows the dialog, or raises it when it is open.
void open_service_pin_dialog(UnitToolsState& t);
// "Save": checks and stores the entry's PIN.
void save_service_pin_dialog(UnitToolsState& t);
// "Cancel" and the window's close button.
void close_service_pin_dialog(UnitToolsState& t);

} // namespace tq
