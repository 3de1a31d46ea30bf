// The "Additional modules" window: one row per module kind with its
// connected and stored identifiers, status, Activate / Delete, operating
// mode and the module's own window.
#pragma once

#include "app/app_state.h"

namespace tq {

// Builds the window, or reads the list again and rebuilds its content when
// refresh is set; an open window is raised when refresh is not set. Does
// nothing without an open programmer. False when the list could not be read
// (its message is shown; an open window keeps what it showed).
bool open_modules_window(bool refresh);
// Closes the window and the module test windows.
void close_modules_window();

// Connects the module list's hooks to these windows (once, at start-up).
void wire_module_windows(AppState& a);

} // namespace tq
