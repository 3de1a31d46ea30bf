#include "link/link.h"

#include "link/frame.h"
#include "platform/clock.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace tq {
namespace {

constexpr int kReadWaitMs = 25;
constexpr int kErrorTextWaitMs = 50;
constexpr int kUsbicPauseMs = 100;
constexpr int kRxLimit = 1007;

// Bounds that keep a programmer which never stops talking from holding the
// program forever. Far above anything a real exchange needs: the longest
// frame is 144 reports of 8 bytes.
constexpr int kMaxReportsPerReceive = 512;
constexpr int kMaxErrorTextReports = 256;
constexpr int kMaxDrainedReplies = 256;

void note(LinkState& link, std::string_view what, std::string_view text = {})
{
    if (link.trace)
        link.trace->line(std::string(what) + std::string(text));
}

void clear_rx(LinkState& link)
{
    link.rx_fill = 0;
    link.rx_text[0] = 0;
}

void pass_text(LinkState& link, std::string_view text)
{
    if (link.text_sink)
        link.text_sink(text);
}

// Received text also lands in the reply buffer from byte 2 on, where the
// remote side picks up what the unit said.
void text_to_reply(LinkState& link, std::string_view text)
{
    const std::size_t n = std::min(text.size(), link.reply.size() - 3);
    std::memcpy(link.reply.data() + 2, text.data(), n);
    link.reply_length = int(n + 3);
    pass_text(link, text.substr(0, n));
}

bool all_bytes(const std::uint8_t* data, int n, std::uint8_t value)
{
    return std::all_of(data, data + n, [value](std::uint8_t b) { return b == value; });
}

// The programmer announced error text with a report of 0xAA bytes; the text
// follows in plain reports until it falls silent.
void read_error_text(LinkState& link)
{
    note(link, "programmer error burst (0xAA report)");
    text_to_reply(link, "\n\n\n!!!ERROR!!!\n");
    std::vector<std::uint8_t> report(std::size_t(link.report_size));
    for (int i = 0; i < kMaxErrorTextReports && link.open(); ++i) {
        const int got = link.device->read_timeout(report.data(), report.size(), kErrorTextWaitMs);
        if (got <= 0)
            break;
        if (report[0] == 0xAA)
            continue;
        const auto* chars = reinterpret_cast<const char*>(report.data());
        text_to_reply(link, std::string_view(chars, strnlen(chars, std::size_t(got))));
    }
}

bool write_report(LinkState& link, const std::uint8_t* report, std::size_t size, std::size_t needed)
{
    const int written = link.device->write(report, size);
    if (written < 0 || std::size_t(written) < needed) {
        device_close(link, "short write: the programmer is gone");
        if (const auto lost = link.on_lost)
            lost();
        return false;
    }
    return true;
}

} // namespace

OpenResult device_open(LinkState& link)
{
    platform::sleep_ms(40);
    link.programmer_unopenable = false;
    if (!link.port)
        return OpenResult::None;

    const auto plugged = link.port->plugged_in(kVendorId);
    const auto try_open = [&](std::uint16_t product) {
        if (plugged && std::find(plugged->begin(), plugged->end(), product) == plugged->end())
            return false;
        link.device = link.port->open(kVendorId, product);
        if (!link.device && plugged)
            link.programmer_unopenable = true;
        return link.device != nullptr;
    };

    link.long_reports = true;
    link.report_size = 64;
    if (!try_open(kProduct64)) {
        link.long_reports = false;
        link.report_size = 8;
        for (std::uint16_t product : kProducts8) {
            if (try_open(product))
                break;
        }
    }
    if (!link.device)
        return OpenResult::None;
    link.programmer_unopenable = false;

    const std::string product = link.device->product_string();
    if (product == "USB Bootloader") {
        link.device_kind = DeviceKind::Bootloader;
        return OpenResult::Bootloader;
    }
    if (product == "USB HID Progr") {
        link.device_kind = DeviceKind::Programmer;
        return OpenResult::Programmer;
    }
    if (product == "USBIC") {
        link.device_kind = DeviceKind::Usbic;
        return OpenResult::Programmer;
    }
    device_close(link, "not a programmer: product string \"" + product + "\"");
    return OpenResult::None;
}

void device_close(LinkState& link, std::string_view reason)
{
    if (link.device)
        note(link, "device closed: ", reason);
    link.device.reset();
    link.device_kind = DeviceKind::None;
}

bool send_frame(LinkState& link, std::uint8_t code, const std::uint8_t* data, std::size_t count)
{
    if (!link.open())
        return false;
    const FrameText frame = encode_frame(code, data, count);
    const std::string_view text = frame.view();
    if (text.empty()) {
        note(link, "frame not sent: more data than one frame carries");
        return false;
    }
    note(link, "frame out: ", text);
    std::array<std::uint8_t, 65> report{};
    const std::size_t size = std::size_t(link.report_size) + 1;
    for (std::size_t at = 0; at < text.size();) {
        at += frame_report(text, at, link.report_size, link.long_reports, report);
        if (!write_report(link, report.data(), size, size))
            return false;
    }
    if (link.device_kind == DeviceKind::Usbic)
        protocol_pause(link, kUsbicPauseMs);
    return true;
}

bool send_command(LinkState& link, std::uint8_t code, const std::uint8_t* data, std::size_t count)
{
    drain_replies(link);
    return send_frame(link, code, data, count);
}

int send_poll_request(LinkState& link)
{
    if (!link.open())
        return -1;
    const std::size_t size = std::size_t(link.report_size);
    return write_report(link, kPollRequestReport.data(), size + 1, size) ? 0 : -1;
}

int receive_frame(LinkState& link)
{
    std::array<std::uint8_t, 64> report{};
    const std::size_t report_size = std::min(report.size(), std::size_t(link.report_size));
    int reads = 0;
    while (link.open()) {
        bool parse_now = false;
        if (link.rx_pending) {
            link.rx_pending = false;
            parse_now = true;
        }
        while (!parse_now) {
            if (++reads > kMaxReportsPerReceive)
                return 0;
            const int got = link.device->read_timeout(report.data(), report_size, kReadWaitMs);
            if (got < link.report_size)
                return 0;
            if (all_bytes(report.data(), link.report_size, 0xAA)) {
                read_error_text(link);
                return 0;
            }
            const std::string_view chars = report_text(report.data(), link.report_size,
                                                       link.long_reports);
            if (!(report[0] & kReportHasText))
                continue;
            if (link.rx_fill + int(chars.size()) > kRxLimit) {
                note(link, "frame dropped: no frame end within 1007 characters");
                clear_rx(link);
                return 0;
            }
            std::memcpy(link.rx_text.data() + link.rx_fill, chars.data(), chars.size());
            link.rx_fill += int(chars.size());
            link.rx_text[std::size_t(link.rx_fill)] = 0;
            parse_now = !(report[0] & kReportMoreFollows);
        }

        const std::string_view text(link.rx_text.data(), std::size_t(link.rx_fill));
        if (text.empty() || text[0] != '!') {
            note(link, "frame dropped: text does not start with '!': ", text);
            clear_rx(link);
            continue;
        }
        const DecodedFrame frame = decode_frame(text, link.reply.data(), link.reply.size());
        if (!frame.ok) {
            note(link, "frame dropped: bad count, hex digits, checksum or end: ", text);
            clear_rx(link);
            continue;
        }
        note(link, "frame in: ", text.substr(0, frame.consumed));
        link.reply_length = int(frame.length);
        const std::size_t rest = text.size() - frame.consumed;
        std::memmove(link.rx_text.data(), link.rx_text.data() + frame.consumed, rest);
        link.rx_fill = int(rest);
        link.rx_text[rest] = 0;
        link.rx_pending = rest > 0;

        if (link.reply_code() == 0xFF && !link.return_text_frames) {
            const std::size_t count = link.reply[0];
            pass_text(link, std::string_view(reinterpret_cast<const char*>(link.payload()),
                                             count - 1));
            continue;
        }
        return 1;
    }
    return 0;
}

int poll_reply(LinkState& link)
{
    if (!link.open())
        return 0;
    if (!link.rx_pending && send_poll_request(link) != 0)
        return 0;
    return receive_frame(link);
}

void poll_pass_reply(LinkState& link)
{
    if (poll_reply(link) == 0)
        link.reply[1] = 0;
}

void drain_replies(LinkState& link)
{
    for (int i = 0; i < kMaxDrainedReplies && poll_reply(link) != 0; ++i) {
    }
}

void protocol_pause(LinkState& link, int ms)
{
    if (ms <= 0)
        return;
    link.paused_ms += ms;
    platform::sleep_ms(ms);
}

} // namespace tq
