// The message-sound dialog: the console text that triggers a sound and the
// sound file. Its texts are fixed in the program, in Polish.
#pragma once

#include "monitor/monitor_state.h"

namespace tq {

// Builds the dialog, or raises it when it is open.
void open_message_sound_dialog(MonitorState& m);
void close_message_sound_dialog(MonitorState& m);

} // namespace tq
