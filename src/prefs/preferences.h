// The preferences file .tq512rc in the profile folder: no header, no
// version, no checksum; the update-check flag byte, then NUL-terminated
// UTF-8 strings in a fixed order: language code, firmware folder, log
// folder, spare folder, configuration folder, 25 console filter texts.
#pragma once

#include "prefs/prefs_state.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tq {

inline constexpr const char* kPreferencesFileName = ".tq512rc";

// The profile folder of these preferences (the home folder unless set).
std::string profile_folder(const PrefsState& p);
std::string preferences_path(const PrefsState& p);

// The file's byte image of the current values.
std::vector<std::uint8_t> encode_preferences(const PrefsState& p);
// Takes the values from a file image (the folder is kept). Missing strings
// read as empty; an empty image means the defaults. Never reads past data.
void decode_preferences(PrefsState& p, std::span<const std::uint8_t> data);

// Reads the file silently; no file gives the defaults.
void load_preferences(PrefsState& p);
// Rewrites the whole file from the current values; failures are not
// reported. Call it right after changing any persisted value.
bool save_preferences(const PrefsState& p);

// A file dialog's folder the user moved to: kept in the given member
// (firmware_folder, log_folder, config_folder) and written at once.
void remember_folder(PrefsState& p, std::string PrefsState::*which, const std::string& folder);

// A console filter text as it fits its slot: at most kConsoleFilterMax
// bytes, cut before a character that would not fit whole, and cut at the
// first byte that is not UTF-8.
std::string fit_console_filter(std::string_view text);

} // namespace tq
