// Radio firmware files: the .ble image and the DFU package, a zip archive
// with manifest.json naming the init packet (dat_file) and the application
// image (bin_file). Only stored (uncompressed) zip entries are read; every
// offset and size is checked against the file before it is used.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace tq {

// At most this much of a firmware file is read.
inline constexpr std::size_t kRadioFileLimit = 262144;

// A .ble file begins with "BLERADIo"; the payload follows.
// (An array, not a view of a literal: each translation unit may hold its
// own copy of a literal, and a view's begin and end must come from one.)
inline constexpr std::array<std::uint8_t, 8> kBleMagic = {'B', 'L', 'E', 'R', 'A', 'D', 'I', 'o'};
bool is_ble_image(std::span<const std::uint8_t> file);

// CRC-32 of the zip format (also the DFU's), continued from crc.
std::uint32_t crc32_update(std::uint32_t crc, std::span<const std::uint8_t> data);

// The data of the stored entry called name, its CRC checked; nullopt when
// the archive or the entry breaks the rules.
std::optional<std::span<const std::uint8_t>> find_stored_entry(std::span<const std::uint8_t> zip,
                                                              std::string_view name);

struct DfuPackage {
    std::span<const std::uint8_t> init;   // dat_file: the init packet
    std::span<const std::uint8_t> image;  // bin_file: the application image
};

inline constexpr std::size_t kMinPackageFile = 1200;
inline constexpr std::size_t kMinInitPacket = 140;
inline constexpr std::size_t kMinImage = 1000;

// The package in a zip file, or nullopt when it breaks a rule. The spans
// point into zip.
std::optional<DfuPackage> read_dfu_package(std::span<const std::uint8_t> zip);

} // namespace tq
