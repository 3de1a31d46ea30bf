#include "link/frame.h"

#include <algorithm>

namespace tq {

std::uint8_t frame_checksum(const std::uint8_t* bytes, std::size_t count)
{
    unsigned sum = 0;
    for (const std::uint8_t* b = bytes; b != bytes + count; ++b)
        sum += *b + 0x55u;
    return std::uint8_t(sum);
}

FrameText encode_frame(std::uint8_t code, const std::uint8_t* data, std::size_t count)
{
    FrameText text;
    if (count > kMaxFrameData)
        return text;
    // Every command goes through here: "!", the hex of count, code, data
    // and checksum, then "#".
    text.size = 2 * (count + 3) + 2;
    char* p = text.chars.data();
    const auto put = [&p](std::uint8_t b) {
        *p++ = kHexDigits[b >> 4];
        *p++ = kHexDigits[b & 0x0F];
    };
    const std::uint8_t head[2] = {std::uint8_t(count + 1), code};
    *p++ = '!';
    put(head[0]);
    put(head[1]);
    for (const std::uint8_t* b = data; b != data + count; ++b)
        put(*b);
    put(std::uint8_t(frame_checksum(head, 2) + frame_checksum(data, count)));
    *p = '#';
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
    // Every reply frame is read here. The end is found first, so that the
    // digits go in one pass with one check of them all at its end.
    const std::size_t end = text.find('#', 1);
    const std::string_view digits = text.substr(1, end == std::string_view::npos ? end : end - 1);
    const std::size_t n = digits.size() / 2;
    if (digits.size() % 2 != 0 || n > room)
        return result; // a lone last digit, or more than out holds
    const char* d = digits.data();
    int bad = 0;
    for (std::size_t i = 0; i < n; ++i, d += 2) {
        const int high = hex_value(d[0]);
        const int low = hex_value(d[1]);
        bad |= high | low;
        out[i] = std::uint8_t(unsigned(high) << 4 | unsigned(low));
    }
    if (bad < 0)
        return result;
    result.consumed = end != std::string_view::npos ? end + 1 : text.size();
    result.length = n;
    // At least count, code and checksum; the count byte covers code and data.
    if (n < 3 || out[0] != n - 2 || out[n - 1] != frame_checksum(out, n - 1))
        return result;
    result.ok = true;
    return result;
}

} // namespace tq
