// The firmware update as the command line runs it (flash and station).
#pragma once

#include <cstdio>
#include <string>

namespace tq::cli {

struct Session;

// Empty when the file is a usable firmware file; else the message.
std::string check_firmware_path(const std::string& file);

// Runs the window's update with the file in the given mode (FirmwareMode),
// showing its steps and progress on the stream (a bar when it is a
// terminal). True when the unit was programmed; message is the update's
// last word either way.
bool flash_unit(Session& s, const std::string& file, int mode, std::string& message,
                std::FILE* progress_stream, bool terminal);

} // namespace tq::cli
