// The configuration history: before anything writes a unit's configuration,
// what the unit holds is kept as a .cfg file in a folder of that unit, so that
// every write can be undone by loading the file into the settings pages and
// saving it again.
//
// A unit's folder is <root>/<serial number>. Each kept configuration is a
// file named after the local time it was kept (2026-12-10T14-35-02.cfg; a
// second one in the same second gets -2, -3, ... before .cfg); nothing is
// ever overwritten. Every file kept also appends one line to the folder's
// history.tsv: time, operation, model, firmware, file name, separated by
// tabs. The newest kHistoryKeep files are kept; older ones are removed when
// a new one is kept. history.tsv is a log and only grows.
#pragma once

#include "config/config_state.h"
#include "link/link.h"

#include <string>
#include <string_view>
#include <vector>

namespace tq {

inline constexpr int kHistoryKeep = 200;
inline constexpr const char* kHistoryLog = "history.tsv";

// What wrote, in history.tsv.
inline constexpr const char* kHistorySave = "save";
inline constexpr const char* kHistoryFirmware = "firmware update";

// A text as one field of a line-based record: tabs and line ends become
// blanks, so that it cannot break the line or its fields.
std::string one_line(std::string text);

// The folder of every unit's history in the user's data folder.
std::string default_history_root();

// Where a unit's history goes and what its lines say: model as the status
// line shows it ("TQ512-0481"), the firmware its part after the dash.
HistoryPlace history_place(const std::string& root, const std::string& serial,
                           const std::string& model_string);

// The folder of the connected unit ("no-serial" when its serial number is
// not known); empty when no history is kept.
std::string history_folder(const HistoryPlace& place);

// One kept configuration, as the history window lists it.
struct KeptConfiguration {
    std::string file;      // name within the unit's folder
    std::string time;      // "2026-12-10 14:35:02", from the file name
    std::string operation; // from history.tsv; empty when it has no line
    std::string model;
    std::string firmware;
};

// The lines of a history.tsv: time, operation, model, firmware and file name,
// tab-separated. Lines with fewer fields or a file name that is not one of
// the history's are passed over.
std::vector<KeptConfiguration> read_history_log(std::string_view text);

// Whether a file name is one the history gives its files.
bool is_kept_file_name(const std::string& name);

// The .cfg files of a unit's folder, newest first, with what history.tsv
// says about them. Files of other names are passed over.
std::vector<KeptConfiguration> list_history(const std::string& folder);

struct KeepResult {
    bool kept = false;
    std::string path;  // the file written
    std::string error; // why not, when not kept
};

// Writes text as a new file of folder named after stamp ("2026-12-10T14-35-02"),
// appends its line to history.tsv, then removes the oldest files beyond keep.
KeepResult keep_configuration_text(const std::string& folder, const std::string& stamp,
                                   const std::string& text, const std::string& operation,
                                   const std::string& model, const std::string& firmware,
                                   int keep = kHistoryKeep);

// The local time now as a file-name stamp.
std::string history_stamp_now();

// Before a write of the unit's configuration: keeps what the unit holds as
// far as this connection has read or written it (blocks not held are read
// from the unit). Nothing is kept when nothing was read yet or no history is
// kept. When keeping fails the user is asked whether to write anyway; false
// means the write must not go ahead.
bool keep_before_write(ConfigState& s, LinkState& link, const char* operation);

} // namespace tq
