// The signal monitor: 96 buttons that take their signal's colour while the
// unit reports the bit as 1.
#pragma once

#include "monitor/monitor_state.h"

namespace tq {

// Builds the window (only while a device is open), or raises it.
void open_signal_monitor(MonitorState& m);
void close_signal_monitor(MonitorState& m);
// The periodic step of the connected state while the window is open.
void signal_monitor_step(MonitorState& m);

} // namespace tq
