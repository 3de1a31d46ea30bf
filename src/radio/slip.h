// SLIP framing (RFC 1055) as the radio module's DFU bootloader speaks it:
// requests are escaped packets each ended by 0xC0, without a leading 0xC0;
// responses begin with the response opcode 0x60.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace tq {

inline constexpr std::uint8_t kSlipEnd = 0xC0;
inline constexpr std::uint8_t kSlipEsc = 0xDB;
inline constexpr std::uint8_t kSlipEscEnd = 0xDC;
inline constexpr std::uint8_t kSlipEscEsc = 0xDD;
inline constexpr std::uint8_t kDfuResponse = 0x60;

// Cuts bytes into packets of at most packet_size bytes and encodes each:
// 0xC0 -> 0xDB 0xDC, 0xDB -> 0xDB 0xDD, then a closing 0xC0.
std::vector<std::uint8_t> slip_encode(std::span<const std::uint8_t> bytes, std::size_t packet_size);

// Collects bytes read back from the module and hands out complete response
// packets: from the first 0x60 (not returned) to the next 0xC0, un-escaped.
class SlipReceiver {
public:
    // More than this many bytes without a complete packet are dropped.
    static constexpr std::size_t kLimit = 16384;

    void feed(std::span<const std::uint8_t> bytes);
    // The next complete packet, if there is one. Bytes before the 0x60 are
    // dropped; a buffer without 0x60 is emptied; a packet with a broken
    // escape is dropped.
    std::optional<std::vector<std::uint8_t>> take();
    void clear() { buffer_.clear(); }
    std::size_t buffered() const { return buffer_.size(); }

private:
    std::vector<std::uint8_t> buffer_;
};

} // namespace tq
