// The program's own preferences: what it remembers between runs. Loaded
// once at start-up; every change is written through at once with
// save_preferences (prefs/preferences.h).
#pragma once

#include <array>
#include <cstddef>
#include <string>

namespace tq {

inline constexpr int kConsoleFilterCount = 25;
// Longest console filter text, in bytes (a slot holds 50 with its NUL).
inline constexpr std::size_t kConsoleFilterMax = 49;

struct PrefsState {
    // The profile folder that holds the preferences and theme files; the
    // home folder when empty.
    std::string folder;

    bool check_updates = true;    // check for a newer program at start-up
    std::string language_code;    // the preferred UI language, as given ("pl_PL" stays)
    // Folders last used by the file dialogs; empty: unset (the dialog starts
    // in its default folder).
    std::string firmware_folder;  // firmware files and the autoflash folder
    std::string log_folder;       // console log file
    std::string spare_folder;     // kept as read, no dialog sets it
    std::string config_folder;    // .cfg files
    std::array<std::string, kConsoleFilterCount> console_filters;
};

} // namespace tq
