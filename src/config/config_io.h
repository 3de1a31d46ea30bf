// Moving the configuration record between the unit and the settings pages:
// load (read every block and show it, or show the built-in defaults) and
// save (validate, then write and verify every block).
#pragma once

#include "config/config_state.h"
#include "link/link.h"

#include <optional>
#include <string>

namespace tq {

enum LoadKind : int {
    kLoadFromUnit = 0,  // the "Load" button
    kLoadDefaults = 1,  // "Default settings": built-in values, nothing written
    kLoadSilent = 2,    // right after identification: no message on success
};

enum class LoadResult { Loaded, ReadError, Busy };
// NotKept: what the unit held could not be kept in the configuration
// history, and the user chose not to write.
enum class SaveResult { Saved, Invalid, WriteError, Busy, NotKept };

// Reads the record from the unit (or takes the defaults) into the controls.
// Values loaded from the unit become the controls' references; defaults do
// not, so what they change shows as changed until it is saved. A failed read
// ends the load with "Configuration load error.", leaving the fields read so
// far with their new values.
LoadResult load_configuration(ConfigState& s, LinkState& link, int kind);

// Validates the controls (first failure: its message, nothing written), keeps
// what the unit holds in the configuration history (history.h), then
// writes the blocks in order, each verified by reading it back. The first
// unverified block ends the save with "Write error!". A block's fields take
// their written values as references once the block is verified; after the
// last block the marks are refreshed, the unit gets command 0x09 and
// "Configuration saved." is shown.
SaveResult save_configuration(ConfigState& s, LinkState& link);

// The configuration the unit holds, as far as this connection has read or
// written its blocks, as the text of a .cfg file; blocks not held are read
// from the unit. Nothing when no block was read yet or a read fails. The
// pages are not touched.
std::optional<std::string> held_configuration_text(const ConfigState& s, LinkState& link);

// The AUX output mode a later unit reports: byte 1044 above 128 gives
// byte - 113, else byte 1049 above 128 gives byte - 128 (1049 is read also
// when 1044 cannot be); 0 otherwise and for modes above 17.
int read_aux_mode(LinkState& link, int firmware_version);

} // namespace tq
