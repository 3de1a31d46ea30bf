#include "radio/slip.h"

#include <algorithm>

namespace tq {

std::vector<std::uint8_t> slip_encode(std::span<const std::uint8_t> bytes, std::size_t packet_size)
{
    std::vector<std::uint8_t> out;
    if (packet_size == 0)
        return out;
    out.reserve(bytes.size() + bytes.size() / 8 + bytes.size() / packet_size + 2);
    for (std::size_t at = 0; at < bytes.size(); at += packet_size) {
        const std::size_t end = std::min(bytes.size(), at + packet_size);
        for (std::size_t i = at; i < end; ++i) {
            const std::uint8_t b = bytes[i];
            if (b == kSlipEnd) {
                out.push_back(kSlipEsc);
                out.push_back(kSlipEscEnd);
            } else if (b == kSlipEsc) {
                out.push_back(kSlipEsc);
                out.push_back(kSlipEscEsc);
            } else {
                out.push_back(b);
            }
        }
        out.push_back(kSlipEnd);
    }
    return out;
}

void SlipReceiver::feed(std::span<const std::uint8_t> bytes)
{
    if (buffer_.size() + bytes.size() > kLimit)
        buffer_.clear();
    if (bytes.size() > kLimit)
        bytes = bytes.last(kLimit);
    buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
}

std::optional<std::vector<std::uint8_t>> SlipReceiver::take()
{
    for (;;) {
        const auto start = std::find(buffer_.begin(), buffer_.end(), kDfuResponse);
        if (start == buffer_.end()) {
            buffer_.clear();
            return std::nullopt;
        }
        buffer_.erase(buffer_.begin(), start);
        const auto end = std::find(buffer_.begin() + 1, buffer_.end(), kSlipEnd);
        if (end == buffer_.end())
            return std::nullopt;

        std::vector<std::uint8_t> packet;
        bool broken = false;
        for (auto it = buffer_.begin() + 1; it != end; ++it) {
            if (*it != kSlipEsc) {
                packet.push_back(*it);
                continue;
            }
            if (++it == end || (*it != kSlipEscEnd && *it != kSlipEscEsc)) {
                broken = true;
                break;
            }
            packet.push_back(*it == kSlipEscEnd ? kSlipEnd : kSlipEsc);
        }
        buffer_.erase(buffer_.begin(), end + 1);
        if (!broken)
            return packet;
    }
}

} // namespace tq
