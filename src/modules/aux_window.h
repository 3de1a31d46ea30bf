// The "AUX-FORTIN module" window: what the unit learns from the Fortin
// remote-start interface, and the interface's commands.
#pragma once

#include "modules/modules_window.h"

namespace tq {

// Builds the window, or raises it. Not while the radio module window or the
// radio monitor is open.
void open_aux_window(const ModulesWindowStates& s);
void close_aux_window(ModulesState& m);
// The main loop's step while the window is open: status request on every
// fourth pass, the reply shown when it comes.
void aux_status_poll_step(ModulesState& m, LinkState& link);

} // namespace tq
