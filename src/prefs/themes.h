// Toolkit themes: the themes folder of the installation and the theme file
// .tqgrc-2.0 in the profile folder, which the toolkit reads at start-up.
#pragma once

#include "prefs/prefs_state.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tq {

inline constexpr const char* kThemeFileName = ".tqgrc-2.0";
inline constexpr std::size_t kMaxThemes = 500;
inline constexpr std::size_t kMaxThemeNameLength = 99;

// The installation's themes folder: the program path without its file name
// and the folder holding it, then "share/themes/" (/usr/bin/tq512 gives
// /usr/share/themes/). Empty when the path has fewer than two separators.
std::string themes_folder(const std::string& program_path);

// The themes in a folder: its subfolders whose names do not begin with a
// dot and that hold a GTK 2 part (gtk-2.0/gtkrc; icon and cursor themes and
// themes for other toolkits do not), at most kMaxThemes names of at most
// kMaxThemeNameLength bytes of UTF-8, in byte-wise order. Nothing when the
// folder cannot be read.
std::optional<std::vector<std::string>> list_themes(const std::string& folder);

std::string theme_file_path(const PrefsState& p);
// The three lines that make the toolkit use the theme for widgets, cursors
// and icons.
std::string theme_file_text(const std::string& theme);
// Creates or replaces the theme file; failures are not reported.
bool write_theme_file(const PrefsState& p, const std::string& theme);
// The theme named on the theme file's first line as theme_file_text writes
// it; nothing when the text does not begin so.
std::optional<std::string> theme_in_file_text(std::string_view text);
// The theme the theme file names; nothing without a readable file.
std::optional<std::string> chosen_theme(const PrefsState& p);

} // namespace tq
