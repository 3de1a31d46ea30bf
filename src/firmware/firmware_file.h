// The unit's .bin firmware file: an 8-byte model tag, six bytes the program
// does not use, the CRC-16/ARC of the image (low byte first), then the image.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace tq {

inline constexpr std::size_t kFirmwareMinFileSize = 10'000;

// One recognised model tag.
struct FirmwareTag {
    const char* tag;                  // 8 characters, trailing blank included
    const char* display_name;
    std::uint32_t device_type;        // what the bootloader must report
    std::array<std::uint8_t, 8> marker; // validity marker written after the image
};

extern const std::array<FirmwareTag, 1> kFirmwareTags;

// CRC-16/ARC: reflected polynomial 0xA001, initial value 0, no final XOR.
std::uint16_t crc16_arc(const std::uint8_t* data, std::size_t count, std::uint16_t crc = 0);

enum class FileCheck { Good, TooShort, UnknownTag, BadCrc };

// Checks a whole file as read. On Good, *tag (when given) is its row.
FileCheck check_firmware_file(std::span<const std::uint8_t> file, const FirmwareTag** tag = nullptr);

} // namespace tq
