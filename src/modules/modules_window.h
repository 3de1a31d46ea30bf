// The "Additional modules" window: one row per module kind with its
// connected and stored identifiers, status, Activate / Delete, operating
// mode and the module's own window.
#pragma once

#include "link/link.h"
#include "modules/modules_state.h"
#include "radio/radio_window.h"

namespace tq {

// What the additional-modules window and the windows it opens (AUX-FORTIN,
// module tests, the radio windows of the radio rows) work on, given by
// their caller; an open window keeps what it was opened with for its
// handlers.
struct ModulesWindowStates {
    ModulesState* modules = nullptr;
    LinkState* link = nullptr;
    int firmware_version = 0;
    RadioWindowStates radio;
};

// Builds the window, or reads the list again and rebuilds its content when
// refresh is set; an open window is raised when refresh is not set. Does
// nothing without an open programmer. False when the list could not be read
// (its message is shown; an open window keeps what it showed).
bool open_modules_window(const ModulesWindowStates& s, bool refresh);
// Closes the window and the module test windows.
void close_modules_window(ModulesState& m);

// Makes these windows the module list's view (once, at start-up).
void wire_module_windows(ModulesState& m);

} // namespace tq
