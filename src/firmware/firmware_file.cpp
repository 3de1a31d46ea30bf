#include "firmware/firmware_file.h"

#include "firmware/firmware_state.h"

#include <array>
#include <cstring>

namespace tq {

const std::array<FirmwareTag, 1> kFirmwareTags = {{
    {"TQ510F3 ", "TQ512", 5, {0xEF, 0xE0, 0xF2, 0x68, 0xEC, 0xBF, 0x6C, 0x48}},
}};

namespace {

// The CRC of each byte value, so that a byte costs one lookup, not eight steps.
constexpr std::array<std::uint16_t, 256> kCrc16ArcTable = [] {
    std::array<std::uint16_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        std::uint16_t crc = std::uint16_t(i);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? std::uint16_t((crc >> 1) ^ 0xA001) : std::uint16_t(crc >> 1);
        table[i] = crc;
    }
    return table;
}();

} // namespace

std::uint16_t crc16_arc(const std::uint8_t* data, std::size_t count, std::uint16_t crc)
{
    // Walked by pointer, not by index: a fuzzing build traces every integer
    // comparison and checks every array index, and this loop runs over every
    // byte of a firmware file.
    const std::uint16_t* table = kCrc16ArcTable.data();
    for (const std::uint8_t* end = data + count; data != end; ++data)
        crc = std::uint16_t((crc >> 8) ^ table[std::uint8_t(crc ^ *data)]);
    return crc;
}

FileCheck check_firmware_file(std::span<const std::uint8_t> file, const FirmwareTag** tag)
{
    if (file.size() < kFirmwareMinFileSize)
        return FileCheck::TooShort;
    const FirmwareTag* found = nullptr;
    for (const FirmwareTag& t : kFirmwareTags) {
        if (std::memcmp(file.data(), t.tag, 8) == 0)
            found = &t;
    }
    if (!found)
        return FileCheck::UnknownTag;
    // Over the image, then over the stored CRC itself: zero when they agree.
    std::uint16_t crc = crc16_arc(file.data() + kFirmwareHeaderSize, file.size() - kFirmwareHeaderSize);
    crc = crc16_arc(file.data() + 14, 2, crc);
    if (crc != 0)
        return FileCheck::BadCrc;
    if (tag)
        *tag = found;
    return FileCheck::Good;
}

} // namespace tq
