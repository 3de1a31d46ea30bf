// Little-endian numbers, as the unit's replies, the bootloader and the
// files it is fed carry them.
#pragma once

#include <cstdint>

namespace tq {

inline std::uint16_t le16(const std::uint8_t* p)
{
    return std::uint16_t(p[0] | p[1] << 8);
}

inline std::uint32_t le32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

} // namespace tq
