// The "Radio monitor" window (GTK side; the behaviour lives in
// radio_monitor.h).
#pragma once

#include "radio/radio_window.h"

namespace tq {

// search: look for the receiver on the one-wire bus first (the settings
// pages' button of older units); without it the stored receiver is used
// (the Configure button of the additional-modules window).
void open_radio_monitor(const RadioWindowStates& s, bool search);
// Closes the window, if open, and tells the receiver.
void close_radio_monitor(const RadioWindowStates& s);
// The periodic step while the window is open.
void radio_monitor_poll_step(const RadioWindowStates& s);

} // namespace tq
