#include "link/crc8.h"

namespace tq {

std::uint8_t crc8_maxim(const std::uint8_t* data, std::size_t n, std::uint8_t crc)
{
    for (std::size_t i = 0; i < n; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? std::uint8_t((crc >> 1) ^ 0x8C) : std::uint8_t(crc >> 1);
    }
    return crc;
}

} // namespace tq
