// CRC-8/MAXIM, the one-wire ROM CRC: reflected polynomial 0x31, initial value
// 0, no final XOR. One-wire module identifiers carry it in their last byte and
// the radio module's text lines end in it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tq {

std::uint8_t crc8_maxim(const std::uint8_t* data, std::size_t n, std::uint8_t crc = 0);

inline std::uint8_t crc8_maxim(std::string_view s)
{
    return crc8_maxim(reinterpret_cast<const std::uint8_t*>(s.data()), s.size());
}

} // namespace tq
