// The Tools menu's "Save configuration to file" and "Load configuration from
// file": a file chooser, then the .cfg file written from or read into the
// settings pages.
#pragma once

#include "config/config_state.h"

#include <gtk/gtk.h>

#include <string>

namespace tq {

// Without a connected unit there are no pages to save or fill: the user is
// told to connect the programming device and nothing else happens.
void run_save_configuration_file(ConfigState& s);
void run_load_configuration_file(ConfigState& s);

// The choosers' filter: .cfg files in any letter case (floating reference).
GtkFileFilter* cfg_file_filter();

// The folder the choosers open in, and remembering the one last used.
std::string cfg_chooser_folder(const ConfigState& s);
void remember_cfg_folder(ConfigState& s, const std::string& folder);

} // namespace tq
