// The ASCII-hex frame that carries every command and reply:
//   '!' count code data... checksum '#'
// count = number of data bytes + 1; checksum = low 8 bits of the sum of
// (byte + 0x55) over count, code and data; upper-case hex digits only.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace tq {

// A frame for sending lives in 260 characters with its NUL, which leaves
// room for 125 data bytes.
inline constexpr std::size_t kMaxFrameData = 125;

// A frame's digits, and the value of each (-1 for any other character).
inline constexpr char kHexDigits[] = "0123456789ABCDEF";
struct HexValues {
    signed char of[256];
};
inline constexpr HexValues kHexValues = [] {
    HexValues v{};
    for (signed char& x : v.of)
        x = -1;
    for (int d = 0; d < 16; ++d)
        v.of[static_cast<unsigned char>(kHexDigits[d])] = static_cast<signed char>(d);
    return v;
}();
inline int hex_value(char c) { return kHexValues.of[static_cast<unsigned char>(c)]; }

std::uint8_t frame_checksum(const std::uint8_t* bytes, std::size_t count);

// The longest frame text: "!", the hex of count, code, kMaxFrameData data
// bytes and checksum, then "#".
inline constexpr std::size_t kMaxFrameText = 2 * (kMaxFrameData + 3) + 2;

// A frame's text, held in place: a frame is bounded, so every command goes
// out without touching the heap.
struct FrameText {
    std::array<char, kMaxFrameText> chars;
    std::size_t size = 0;
    std::string_view view() const { return {chars.data(), size}; }
};

// The frame text of a command; empty when there are more data bytes than a
// frame can carry.
FrameText encode_frame(std::uint8_t code, const std::uint8_t* data, std::size_t count);

// Output reports (each report_size + 1 bytes, report ID 0 first) that carry
// one frame text: flags 0x01 on the first, 0xC0 on the last; the character
// count in byte 2 (64-byte reports) or as count * 2 in the flags (8-byte).
std::vector<std::vector<std::uint8_t>> frame_reports(std::string_view text, int report_size,
                                                     bool long_reports);
// One of those reports, the one that starts at character at, into report
// (its first report_size + 1 bytes); returns the characters it carries.
std::size_t frame_report(std::string_view text, std::size_t at, int report_size,
                         bool long_reports, std::array<std::uint8_t, 65>& report);

// The poll-request report, long enough for either report size: a link
// sends its first report_size + 1 bytes.
inline constexpr std::array<std::uint8_t, 65> kPollRequestReport = {0x00, 0x60};

// Input-report flag bits.
inline constexpr std::uint8_t kReportHasText = 0x40;
inline constexpr std::uint8_t kReportMoreFollows = 0x20;

// The frame characters an input report carries (empty when it carries none).
// A count larger than the report has room for is clamped to that room.
std::string_view report_text(const std::uint8_t* report, int report_size, bool long_reports);

// Decoding of a received frame text that starts with '!'.
struct DecodedFrame {
    bool ok = false;
    std::size_t length = 0;   // decoded bytes: count, code, payload, checksum
    std::size_t consumed = 0; // characters up to and including '#', or all
};

// Decodes hex pairs after the '!' until '#' or the end of the text into out
// (room bytes). Not ok when the text does not start with '!', holds anything
// but upper-case hex digit pairs, overflows out, or when the count byte or
// the checksum disagree with what was decoded.
DecodedFrame decode_frame(std::string_view text, std::uint8_t* out, std::size_t room);

} // namespace tq
