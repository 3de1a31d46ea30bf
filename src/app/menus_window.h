// The shell's own menus, "Language" and "Themes", and the theme file the
// toolkit reads at its start.
#pragma once

#include "app/app_state.h"

#include <string>

typedef struct _GtkWidget GtkWidget;

namespace tq {

// Makes the toolkit read the theme file of the profile folder after its
// usual resource files. Call before gtk_init.
void use_theme_file(const PrefsState& p);
// After the toolkit has started: the theme of the theme file wins over the
// one a desktop's settings daemon names.
void prefer_chosen_theme(const PrefsState& p);

// "Language" with one item per registered language, in registry order;
// choosing another language restarts the program in it.
GtkWidget* build_language_menu();
// "Themes" with one item per theme of the installation's themes folder;
// nullptr when that folder cannot be read. Choosing one writes the theme
// file and restarts the program.
GtkWidget* build_themes_menu(const std::string& program_path);

// Queues Language and Themes for the menu bar; call before the main window
// is built.
void add_shell_menus(AppState& a);

} // namespace tq
