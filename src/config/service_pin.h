// The emergency/service PIN: four digits kept as the values 0..9 at unit
// address 1106, followed by a zero byte when written.
#pragma once

#include "link/link.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tq {

inline constexpr int kServicePinAddress = 1106;
inline constexpr int kServicePinDigits = 4;

// The stored digits as text; a byte above 9 shows as '?'.
std::string service_pin_text(const std::uint8_t* bytes);
// The five bytes written for an entry of exactly four digits 0-9.
std::optional<std::array<std::uint8_t, 5>> service_pin_bytes(std::string_view text);

// Reads the four stored bytes; false when the unit does not answer.
bool read_service_pin(LinkState& link, int firmware_version,
                      std::array<std::uint8_t, kServicePinDigits>& out);

enum class PinSave {
    Invalid,    // not four digits: nothing written
    WriteError, // the read-back differs or never came
    Saved,      // verified; the unit was told (0x09)
};
PinSave save_service_pin(LinkState& link, int firmware_version, std::string_view text);

} // namespace tq
