// The firmware update: a .bin file is checked, the unit is switched into
// its USB bootloader, the bootloader's flash is erased and written block by
// block with read-back, the validity marker follows, and the unit restarts.
// Plain code: what it shows goes through a FirmwareView.
#pragma once

#include "firmware/firmware_state.h"
#include "link/link.h"

#include <cstddef>
#include <cstdint>
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

// What the update shows and asks of the windows around it. The program's
// window implements it over GTK, the command line over its output, tests
// with a recorder. What is not overridden does nothing.
class FirmwareView {
public:
    virtual ~FirmwareView() = default;
    // The open-file dialog ("Select firmware file", *.bin); nothing when
    // the user cancelled. Not overridden: nothing is chosen.
    virtual std::optional<std::string> choose_file() { return std::nullopt; }
    // Reads up to max bytes of a file: nothing when it cannot be opened
    // (after telling the user "Error opening file"). Not overridden: read
    // here with read_file_bounded, the message through show_message.
    virtual std::optional<std::size_t> read_file(const std::string& path, std::uint8_t* buffer,
                                                 std::size_t max);
    // Shows a message and returns at once.
    virtual void show_message(const std::string&) {}
    // Returns once the user has closed the message.
    virtual void wait_for_message() {}
    // Keeps what the connected unit's configuration is before the update
    // writes; false: the user chose not to go on. Not overridden: nothing
    // is kept and the update goes on.
    virtual bool keep_configuration() { return true; }
    // Closes every window that belongs to the connection.
    virtual void close_tool_windows() {}
    virtual void clear_status() {}   // the main window's status line
    virtual void clear_identity() {} // hardware name and serial number
    virtual void open_progress() {}
    virtual void close_progress() {}
    virtual void progress_label(const std::string&) {}
    virtual void progress_text(const std::string&) {}
    virtual void progress_fraction(double) {}
};

// Runs the whole update. Returns 1 when it has finished (done, or ended
// with a message) or could not start; 0 only in autoflash mode when the
// file is unusable (unreadable, too short, wrong tag or CRC), without a
// message of its own.
int update_firmware(LinkState& link, FirmwareState& firmware, FirmwareView& view, int mode);

// Reads up to max bytes of a file; nothing when it cannot be opened.
std::optional<std::size_t> read_file_bounded(const std::string& path, std::uint8_t* buffer,
                                             std::size_t max);

} // namespace tq
