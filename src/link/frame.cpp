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

std::string encode_frame(std::uint8_t code, const std::uint8_t* data, std::size_t count)
{
    if (count > kMaxFrameData)
        return {};
    // Every command and every poll answer goes through here: the text is
    // written into its final size at once, "!", the hex of count, code,
    // data and checksum, then "#".
    std::string text(2 * (count + 3) + 2, '#');
    char* p = text.data();
    *p++ = '!';
    const std::uint8_t head[2] = {std::uint8_t(count + 1), code};
    const std::uint8_t check = std::uint8_t(frame_checksum(head, 2) + frame_checksum(data, count));
    for (const std::uint8_t* b = head; b != head + 2; ++b, p += 2) {
        p[0] = kHexDigits[*b >> 4];
        p[1] = kHexDigits[*b & 0x0F];
    }
    for (const std::uint8_t* b = data; b != data + count; ++b, p += 2) {
        p[0] = kHexDigits[*b >> 4];
        p[1] = kHexDigits[*b & 0x0F];
    }
    p[0] = kHexDigits[check >> 4];
    p[1] = kHexDigits[check & 0x0F];
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
    // Every reply frame is read here: the text and out are walked by
    // pointer, one table look-up per digit.
    const char* p = text.data() + 1;
    const char* const end = text.data() + text.size();
    std::uint8_t* o = out;
    std::uint8_t* const out_end = out + room;
    while (p != end && *p != '#') {
        if (p + 1 == end)
            return result; // a lone last digit
        const int high = hex_value(p[0]);
        const int low = hex_value(p[1]);
        if ((high | low) < 0 || o == out_end)
            return result;
        *o++ = std::uint8_t(high << 4 | low);
        p += 2;
    }
    result.consumed = p != end ? std::size_t(p - text.data()) + 1 : text.size();
    const std::size_t n = std::size_t(o - out);
    result.length = n;
    // At least count, code and checksum; the count byte covers code and data.
    if (n < 3 || out[0] != n - 2 || out[n - 1] != frame_checksum(out, n - 1))
        return result;
    result.ok = true;
    return result;
}

} // namespace tq
