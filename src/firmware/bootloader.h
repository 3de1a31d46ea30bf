// The unit's USB HID bootloader, driven with its own reports: 65-byte
// output reports (report ID 0, command, arguments) and 64-byte input
// reports whose first byte echoes the command. No frame protocol here.
#pragma once

#include "firmware/firmware_state.h"
#include "link/hid_port.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

namespace tq {

namespace boot {
inline constexpr std::uint8_t kQuery = 0x02;
inline constexpr std::uint8_t kUnlockConfig = 0x03;
inline constexpr std::uint8_t kErase = 0x04;
inline constexpr std::uint8_t kProgram = 0x05;
inline constexpr std::uint8_t kProgramComplete = 0x06;
inline constexpr std::uint8_t kGetData = 0x07;
inline constexpr std::uint8_t kReset = 0x08;
} // namespace boot

inline constexpr std::size_t kBootOutReport = 65;
inline constexpr std::size_t kBootInReport = 64;
inline constexpr std::size_t kBlockBytes = 56;
// The last 8 bytes of program flash hold the validity marker.
inline constexpr std::uint32_t kFlashLast = 0x1D07FFFF;
inline constexpr std::uint32_t kMarkerAddress = 0x1D07FFF8;

// Longest wait for an answer. A hung bootloader must not hold the program
// forever; the erase may take seconds before the query after it is answered.
inline constexpr int kBootReplyTimeoutMs = 3'000;
inline constexpr int kBootEraseTimeoutMs = 20'000;

using BootReport = std::array<std::uint8_t, kBootOutReport>;
using BootReply = std::array<std::uint8_t, kBootInReport>;

// A report with only the command set.
BootReport boot_command(std::uint8_t command);
// Program report: address (LE) at 2..5, count at 6, the bytes right-aligned
// so that they end at byte 64. count is at most kBlockBytes.
BootReport program_report(std::uint32_t address, const std::uint8_t* bytes, std::size_t count);

// Writes a whole report; false when the device took less.
bool boot_send(HidDevice& device, const BootReport& report);
// Reads one whole input report within timeout_ms.
bool boot_receive(HidDevice& device, BootReply& reply, int timeout_ms);

// What the query answers.
struct BootloaderInfo {
    std::uint32_t start = 0;        // program memory start address
    std::uint32_t size = 0;         // program memory size
    std::uint32_t device_type = 0;
    int major = 0;
    int minor = 0;
};
std::optional<BootloaderInfo> bootloader_query(HidDevice& device);

// A query whose reply must be whole and start with exactly the fixed
// layout of this device. 0 on success.
int bootloader_status_check(HidDevice& device, int timeout_ms = kBootReplyTimeoutMs);

// Programs the 56 image bytes at offset to flash start + offset (bytes past
// the image's end are sent as zero), then reads them back. 0 on success.
int write_firmware_block(HidDevice& device, const std::uint8_t* image, std::size_t image_size,
                         std::size_t offset, std::uint32_t start);
int write_firmware_block(HidDevice& device, const FirmwareState& firmware, std::size_t offset,
                         std::uint32_t start);

// Program complete, unlock configuration twice, erase, then a status check
// that waits for the erase. 0 on success.
int erase_flash(HidDevice& device);

// Every block of the image from start, in order; progress gets the
// per-mille reached before each block whenever it changes. 0 on success.
int program_image(HidDevice& device, const std::uint8_t* image, std::size_t image_size,
                  std::uint32_t start, const std::function<void(int per_mille)>& progress);

// Program complete and status check; the validity marker, program
// complete, its read-back and a last status check. 0 on success.
int finish_programming(HidDevice& device, const std::array<std::uint8_t, 8>& marker);

// Whether an image fits: its 56-byte blocks must end before the marker.
bool image_fits(std::uint32_t start, std::size_t image_size);

} // namespace tq
