// The "AUX-FORTIN module" window: what the unit learns from the Fortin
// remote-start interface, and the interface's commands.
#pragma once

#include "app/app_state.h"

namespace tq {

// Builds the window, or raises it. Not while the radio module window or the
// radio monitor is open.
void open_aux_window();
void close_aux_window();
// The main loop's step while the window is open: status request on every
// fourth pass, the reply shown when it comes.
void aux_status_poll_step(AppState& a);

} // namespace tq
