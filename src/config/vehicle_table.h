// The vehicle table: makes in display order, each with its models, each model
// with the CAN level(s) that fit it, the vehicle key stored in the unit,
// production years and fitting notes. Read-only data, built into the program
// from data/vehicles.txt and never sorted: lookups and lists follow the
// stored order.
//
// Text layout, one record per line; blank lines and lines starting with '#'
// are ignored; fields are separated by blanks or tabs:
//
//   make  NAME COUNT
//   model NAME VARIANT YEARS PRIMARY SECONDARY KEY RESERVED
//         NOTE_PL NOTE_EN NOTE_RU MIN_FIRMWARE RESERVED
//
// A make line is followed by exactly COUNT model lines. Texts are written in
// double quotes (backslash escapes \" \\ \n \t); a lone '-' means the text is
// absent, which is not the same as "" (an empty variant still takes its blank
// in the row text). Numbers are decimal: levels, key and the first reserved
// field 16 bits, minimum firmware and the last reserved field 32 bits.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tq {

struct VehicleModel {
    std::optional<std::string> name;
    std::optional<std::string> variant;
    std::optional<std::string> years;
    std::uint16_t primary_level = 0;
    std::uint16_t secondary_level = 0; // 0: none
    std::uint16_t key = 0;
    std::uint16_t reserved16 = 0;
    std::optional<std::string> note_pl;
    std::optional<std::string> note_en;
    std::optional<std::string> note_ru;
    std::uint32_t min_firmware = 0;
    std::uint32_t reserved32 = 0;
};

struct VehicleMake {
    std::string name;
    std::vector<VehicleModel> models;
};

struct VehicleTable {
    std::vector<VehicleMake> makes;
};

// Parses a table in the layout above. On failure returns false and says
// where in error ("line N: ...").
bool parse_vehicle_table(std::string_view text, VehicleTable& table, std::string& error);

// The table built into the program (parsed once).
const VehicleTable& builtin_vehicle_table();

// A dealer installs the product's full table without a new program: the
// table is taken from the first FOLDER/tq512/vehicles.txt, in the order of
// the folders given, that can be read and parsed; else the built-in one.
struct VehicleTableChoice {
    VehicleTable table;
    std::string path;                 // the file in use; empty: the built-in table
    // Each file passed over because it could not be read or parsed:
    // the file and why ("line N: ...").
    std::vector<std::pair<std::string, std::string>> refused;
};
VehicleTableChoice choose_vehicle_table(const std::vector<std::string>& folders);

// The folders searched: the user's data folder, then the system's data
// folders (XDG_DATA_HOME and XDG_DATA_DIRS).
std::vector<std::string> vehicle_table_folders();

// Reads and parses one table file; false with the reason when it cannot be
// used. Files above a few megabytes are refused unread.
bool read_vehicle_table_file(const std::string& path, VehicleTable& table, std::string& error);

// What "tq512 --check-vehicles FILE" prints: the makes and models counted,
// or the first error with its line. The exit status: 0 usable, 1 not.
int check_vehicle_table(const std::string& path, std::string& report);

// The text of a model's row in the model list: name; a blank and the variant
// when there is one (also an empty one); a blank, the word for "year" and the
// years when known; a line break and the fitting note for the UI language
// when there is one. The Polish UI shows only the Polish note, the Russian UI
// the Russian note or else the English one, every other UI the English note.
std::string model_row_text(const VehicleModel& model, std::string_view language_code,
                           std::string_view year_word);

} // namespace tq
