// The configuration record of the identified unit, without settings pages:
// loaded from the unit, filled from a .cfg file and saved back as the
// window's "Save" does. Messages are kept instead of shown.
#pragma once

#include "config/config_state.h"

#include <string>

namespace tq::cli {

struct Session;

struct UnitConfig {
    explicit UnitConfig(Session& s);

    // Reads the whole record from the unit. False with the message when a
    // read failed.
    bool load();
    // Validates and writes the record, each block read back, then 0x09.
    // False with the message (the validation's, or "Write error!").
    bool save();

    Session& session;
    ConfigState state;
    std::string message;     // the last message the record gave
};

// Reads a .cfg file ("-": standard input), at most one byte more than a
// .cfg file may use. False when it cannot be opened.
bool read_cfg_source(Session& s, const std::string& file, std::string& bytes);

// Writes a file whole or leaves it as it was.
bool write_whole_file(const std::string& file, const std::string& content);

} // namespace tq::cli
