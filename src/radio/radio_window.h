// The "radio module" window and its entry points for the rest of the
// program (GTK side; the behaviour lives in radio_module.h).
#pragma once

namespace tq {

// Opens the window (raises it when open): the Configure button of the
// radio module's row in the additional-modules window.
void open_radio_window();
// Closes it and returns the unit to normal radio operation; nothing when
// it is closed.
void close_radio_window();
// The periodic step while the window is open.
void radio_poll_step();

} // namespace tq
