// Tools > "Configuration history": the configurations kept of the connected
// unit, newest first; the one chosen is loaded into the settings pages as a
// .cfg file is, so that "Save" then puts it back into the unit.
#pragma once

#include "config/config_state.h"

#include <gtk/gtk.h>

namespace tq {

// Opens the window (modal, returns at once). Without a connected unit the
// user is told to connect the programming device; without any kept
// configuration, that there is none yet.
void open_configuration_history(ConfigState& s);

// The open window, or nullptr.
GtkWidget* configuration_history_window();
// Its list (a GtkTreeView), or nullptr.
GtkWidget* configuration_history_list();

// Closes the window if it is open.
void close_configuration_history();

} // namespace tq
