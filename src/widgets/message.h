// The program's one message window, for code that only needs to tell the
// user something (the rest of the widget kit is in widgets/kit.h).
#pragma once

#include <string>

namespace tq {

// Replaces any open message window with a new one and returns at once.
void show_message(const char* text);
void show_message(const std::string& text);
// Runs the toolkit until the open message window has been closed.
void wait_for_message();
// Closes the message window if one is open.
void close_message_window();

} // namespace tq
