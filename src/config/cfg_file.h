// .cfg files: the configuration as the settings pages show it, one key=value
// line per field. Saving writes what the controls show; loading fills the
// controls (the fitter then stores them in the unit with "Save").
//
// Lines end with CR LF when written; on reading a line ends at LF, every CR
// is dropped and the last line needs no end. Only the first 8192 bytes of a
// file are read and a line holds at most 249 characters.
#pragma once

#include "config/config_state.h"

#include <string>
#include <string_view>
#include <vector>

namespace tq {

inline constexpr std::size_t kCfgMaxBytes = 8192;
inline constexpr std::size_t kCfgMaxLine = 249;

enum class CfgKind {
    Option,     // index of the chosen option
    Pair,       // 0: first button active, 1: second
    Group,      // index of the active button
    Check,      // 1 checked, 0 not
    Number,     // the entry's text as a decimal number
    Text,       // the entry's text as it is
    Supply,     // supply selection; for "other" also ';' and the voltage text
    VehicleKey, // the chosen model's vehicle key
};

struct CfgKey {
    const char* key;
    CfgKind kind;
    Field field;       // unused for VehicleKey
    bool large_only;   // not in the table of the smaller unit
};

// The key table of a unit, in file order: 45 keys, 42 for the smaller unit.
std::vector<CfgKey> cfg_keys(UnitKind unit);

// The file text of the controls. Writing a value makes it the field's
// reference and clears the control's mark (the Save button's mark stays).
std::string write_cfg_text(ConfigState& s);

// Applies the lines of a file to the controls. A line without '=', with a key
// not in the table, longer than kCfgMaxLine or with a value the control cannot
// show (an index outside its options) is skipped; a key for a control that
// this unit does not have is skipped too. Each value read becomes the field's
// reference and its control carries no mark. When the file gave both a
// vehicle key and a CAN level, the model with that key is chosen again.
// cut_short: the text is the first kCfgMaxBytes of a longer file, so its
// unfinished last line is dropped. Returns the number of lines applied.
int read_cfg_text(ConfigState& s, std::string_view bytes, bool cut_short = false);

// The file name for a chosen name: ".cfg" appended unless it already ends
// in ".cfg" or ".CFG".
std::string cfg_file_name(const std::string& chosen);

enum class CfgFileResult { Done, NoUnit, Busy, NothingRead, WriteError };

// Writes the controls to a file (created or replaced) and tells the user how
// it went: "Configuration saved." or, through the file helpers, "Error
// writing file".
CfgFileResult save_configuration_file(ConfigState& s, const std::string& path);
// Reads a file into the controls: "Error opening file" (through the file
// helpers) when it cannot be opened, nothing at all for an empty file,
// otherwise "Configuration loaded successfully.".
CfgFileResult load_configuration_file(ConfigState& s, const std::string& path);

} // namespace tq
