// The firmware subsystem's state: the image buffer of the last firmware
// file, and the autoflash folder watch.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

typedef struct _GtkWidget GtkWidget;

namespace tq {

// A firmware file: 16-byte header, then the image.
inline constexpr std::size_t kFirmwareBufferSize = 525'312;
inline constexpr std::size_t kFirmwareHeaderSize = 16;
inline constexpr std::size_t kFirmwareImageCapacity = kFirmwareBufferSize - kFirmwareHeaderSize;

struct FirmwareState {
    // The file as read (header and image); it stays after the update, and
    // the remote-access relay fills the image part itself.
    std::vector<std::uint8_t> buffer = std::vector<std::uint8_t>(kFirmwareBufferSize, 0);
    int image_size = 0;
    std::uint8_t* image() { return buffer.data() + kFirmwareHeaderSize; }
    const std::uint8_t* image() const { return buffer.data() + kFirmwareHeaderSize; }

    // An update is running (its handlers pump GUI events; nothing may start
    // another one meanwhile).
    bool updating = false;

    // Autoflash: the watched folder (empty: off), the newest .bin file seen
    // (modification time in microseconds since 1970, 0 before the first
    // look) and its path, which the autoflash update reads.
    std::string autoflash_folder;
    std::int64_t newest_file_time = 0;
    std::string autoflash_file;
    // The next scan is due at this time on the program's clock.
    std::int64_t next_scan_ms = 0;

    // The progress window while an update runs.
    GtkWidget* progress_window = nullptr;
    GtkWidget* progress_label = nullptr;
    GtkWidget* progress_bar = nullptr;
};

} // namespace tq
