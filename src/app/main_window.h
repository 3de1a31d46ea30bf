// The main window, its menus and status rows, and the poll loop.
#pragma once

#include "app/app_state.h"

#include <string>

namespace tq {

// Starts the toolkit with the command line (after the theme file is named),
// lets the program's pauses run its events and sends file errors to the
// message window.
void start_toolkit(int& argc, char**& argv);
// "Program can be run only once.": waits until the user has closed it, then
// ends this instance with status 1.
[[noreturn]] void refuse_second_instance();

void build_main_window(AppState& a);
// Adds the Tools menu's update-check item text for the current preference.
void refresh_update_check_item(AppState& a, bool check_updates);

// One pass of the poll loop.
void loop_iteration(AppState& a);
[[noreturn]] void run_main_loop(AppState& a);

// Starts the program anew (with a language code, or keeping the current
// language) and ends this instance.
[[noreturn]] void restart_program(const std::string& language_code = {});

// A programmer lost in the middle of an operation ends the connection at
// once (unless remote access runs the device).
void watch_for_link_loss(AppState& a);

// Closes every window that belongs to a connection.
void close_tool_windows(AppState& a);

} // namespace tq
