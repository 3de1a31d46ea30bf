// The console window: the command line to the unit, the view of the console
// store, the line filter and the log file. Opened with Ctrl+S on the main
// window; logging goes on while it is closed.
#pragma once

#include "monitor/monitor_state.h"

namespace tq {

// Builds the window, or raises it when it is open.
void open_console_window(MonitorState& m);
void close_console_window(MonitorState& m);

// The main window's "key_press_event" handler for Ctrl+S; connect it with
// the MonitorState as its data.
using KeyHandler = void (*)();
KeyHandler console_shortcut_handler();

// What the window's controls do (the GTK handlers call these; tests too).
void console_window_send(MonitorState& m);
void console_window_browse(MonitorState& m, int step);
// Asks for a log file and starts logging to it, or stops logging.
void console_window_toggle_log(MonitorState& m);
// Starts logging to the given file; false (with the message) when it cannot
// be opened.
bool console_window_start_log(MonitorState& m, const std::string& path);
// The view takes what was logged since its last update (its timer does so
// 20 times a second).
void console_window_update(MonitorState& m);
// The text the view displays, once it has taken what is pending.
std::string console_window_text(MonitorState& m);

} // namespace tq
