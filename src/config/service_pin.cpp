#include "config/service_pin.h"

#include "link/block.h"
#include "link/commands.h"

#include <algorithm>

namespace tq {

std::string service_pin_text(const std::uint8_t* bytes)
{
    std::string t;
    for (int i = 0; i < kServicePinDigits; ++i)
        t += bytes[i] <= 9 ? char('0' + bytes[i]) : '?';
    return t;
}

std::optional<std::array<std::uint8_t, 5>> service_pin_bytes(std::string_view text)
{
    if (text.size() != std::size_t(kServicePinDigits))
        return std::nullopt;
    std::array<std::uint8_t, 5> bytes{};
    for (int i = 0; i < kServicePinDigits; ++i) {
        const char c = text[std::size_t(i)];
        if (c < '0' || c > '9')
            return std::nullopt;
        bytes[std::size_t(i)] = std::uint8_t(c - '0');
    }
    return bytes;
}

bool read_service_pin(LinkState& link, int firmware_version,
                      std::array<std::uint8_t, kServicePinDigits>& out)
{
    // Address 1106 lies beyond what the one-byte form reaches.
    if (firmware_version < kFirstLongAddressingVersion)
        return false;
    if (read_block(link, firmware_version, kServicePinAddress, kServicePinDigits) != 0)
        return false;
    std::copy_n(link.reply.begin() + 4, kServicePinDigits, out.begin());
    return true;
}

PinSave save_service_pin(LinkState& link, int firmware_version, std::string_view text)
{
    const auto bytes = service_pin_bytes(text);
    if (!bytes)
        return PinSave::Invalid;
    if (firmware_version < kFirstLongAddressingVersion)
        return PinSave::WriteError;
    if (write_block(link, firmware_version, kServicePinAddress, *bytes) != 0)
        return PinSave::WriteError;
    send_command(link, cmd::kStored);
    return PinSave::Saved;
}

} // namespace tq
