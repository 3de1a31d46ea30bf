#include "link/frame.h"

#include <algorithm>

namespace tq {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

int hex_value(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

void append_hex(std::string& text, std::uint8_t byte)
{
    text += kHexDigits[byte >> 4];
    text += kHexDigits[byte & 0x0F];
}

} // namespace

std::uint8_t frame_checksum(const std::uint8_t* bytes, std::size_t count)
{
    unsigned sum = 0;
    for (std::size_t i = 0; i < count; ++i)
        sum += bytes[i] + 0x55u;
    return std::uint8_t(sum);
}

std::string encode_frame(std::uint8_t code, const std::uint8_t* data, std::size_t count)
{
    if (count > kMaxFrameData)
        return {};
    std::vector<std::uint8_t> bytes;
    bytes.reserve(count + 2);
    bytes.push_back(std::uint8_t(count + 1));
    bytes.push_back(code);
    bytes.insert(bytes.end(), data, data + count);

    std::string text = "!";
    for (std::uint8_t b : bytes)
        append_hex(text, b);
    append_hex(text, frame_checksum(bytes.data(), bytes.size()));
    text += '#';
    return text;
}

std::size_t frame_report(std::string_view text, std::size_t at, int report_size,
                         bool long_reports, std::array<std::uint8_t, 65>& report)
{
    const std::size_t piece = std::size_t(report_size - (long_reports ? 2 : 1));
    const std::size_t n = std::min(piece, text.size() - at);
    report.fill(0);
    std::uint8_t flags = 0;
    if (at == 0)
        flags |= 0x01;
    if (at + n == text.size())
        flags |= 0xC0;
    std::size_t start = 2;
    if (long_reports) {
        report[2] = std::uint8_t(n);
        start = 3;
    } else {
        flags |= std::uint8_t(n * 2);
    }
    report[1] = flags;
    std::copy_n(text.data() + at, n, report.begin() + std::ptrdiff_t(start));
    return n;
}

std::vector<std::vector<std::uint8_t>> frame_reports(std::string_view text, int report_size,
                                                     bool long_reports)
{
    std::vector<std::vector<std::uint8_t>> reports;
    std::array<std::uint8_t, 65> report{};
    for (std::size_t at = 0; at < text.size();) {
        at += frame_report(text, at, report_size, long_reports, report);
        reports.emplace_back(report.begin(), report.begin() + report_size + 1);
    }
    return reports;
}

std::array<std::uint8_t, 65> poll_request_report()
{
    std::array<std::uint8_t, 65> report{};
    report[1] = 0x60;
    return report;
}

std::string_view report_text(const std::uint8_t* report, int report_size, bool long_reports)
{
    if (!(report[0] & kReportHasText))
        return {};
    std::size_t count;
    std::size_t start;
    if (long_reports) {
        count = report[1];
        start = 2;
    } else {
        count = (report[0] >> 1) & 0x0F;
        start = 1;
    }
    count = std::min(count, std::size_t(report_size) - start);
    return {reinterpret_cast<const char*>(report) + start, count};
}

DecodedFrame decode_frame(std::string_view text, std::uint8_t* out, std::size_t room)
{
    DecodedFrame result;
    if (text.empty() || text[0] != '!')
        return result;
    std::size_t at = 1;
    std::size_t n = 0;
    while (at < text.size() && text[at] != '#') {
        const int high = hex_value(text[at]);
        const int low = at + 1 < text.size() ? hex_value(text[at + 1]) : -1;
        if (high < 0 || low < 0 || n == room)
            return result;
        out[n++] = std::uint8_t(high << 4 | low);
        at += 2;
    }
    result.consumed = at < text.size() ? at + 1 : at;
    result.length = n;
    // At least count, code and checksum; the count byte covers code and data.
    if (n < 3 || out[0] != n - 2 || out[n - 1] != frame_checksum(out, n - 1))
        return result;
    result.ok = true;
    return result;
}

} // namespace tq
