// The firmware update: a .bin file is checked, the unit is switched into
// its USB bootloader, the bootloader's flash is erased and written block by
// block with read-back, the validity marker follows, and the unit restarts.
// Plain code: what it shows goes through FirmwareUi.
#pragma once

#include "firmware/firmware_state.h"
#include "link/link.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace tq {

enum FirmwareMode : int {
    kFirmwareNoSwitch = 0,   // the unit already sits in its bootloader
    kFirmwareAutoflash = 1,  // no dialog, the file from the autoflash watch
    kFirmwareSwitch = 2,     // tell the connected unit to enter its bootloader
};

// The bootloader is searched for this many times, 200 ms apart, after a
// first wait of 500 ms.
inline constexpr int kBootloaderSearches = 24;

// What the update needs of the windows around it. Unset members do nothing.
struct FirmwareUi {
    // The open-file dialog ("Select firmware file", *.bin); nothing when
    // the user cancelled.
    std::function<std::optional<std::string>()> choose_file;
    // Reads up to max bytes of a file: nothing when it cannot be opened
    // (after telling the user "Error opening file"). Unset: read here, and
    // the message goes through show_message.
    std::function<std::optional<std::size_t>(const std::string&, std::uint8_t*, std::size_t)>
        read_file;
    // Shows a message and returns at once.
    std::function<void(const std::string&)> show_message;
    // Returns once the user has closed the message.
    std::function<void()> wait_for_message;
    // Keeps what the connected unit's configuration is before the update
    // writes; false: the user chose not to go on. Unset: nothing is kept.
    std::function<bool()> keep_configuration;
    // Closes every window that belongs to the connection.
    std::function<void()> close_tool_windows;
    std::function<void()> clear_status;     // the main window's status line
    std::function<void()> clear_identity;   // hardware name and serial number
    std::function<void()> open_progress;
    std::function<void()> close_progress;
    std::function<void(const std::string&)> progress_label;
    std::function<void(const std::string&)> progress_text;
    std::function<void(double)> progress_fraction;
};

// Runs the whole update. Returns 1 when it has finished (done, or ended
// with a message) or could not start; 0 only in autoflash mode when the
// file is unusable (unreadable, too short, wrong tag or CRC), without a
// message of its own.
int update_firmware(LinkState& link, FirmwareState& firmware, const FirmwareUi& ui, int mode);

// Reads up to max bytes of a file; nothing when it cannot be opened.
std::optional<std::size_t> read_file_bounded(const std::string& path, std::uint8_t* buffer,
                                             std::size_t max);

} // namespace tq
