#include "radio/bridge.h"

#include "link/commands.h"
#include "link/frame.h"
#include "platform/clock.h"
#include "radio/radio_text.h"

#include <algorithm>
#include <cstring>

namespace tq {
namespace {

constexpr int kCommandAttempts = 10;
constexpr int kAckPolls = 14;
constexpr int kBusyPollsLeft = 3;  // fewer polls left than this: give up busy
constexpr int kReadCycles = 9;
constexpr int kReadPolls = 4;
constexpr int kAckOnlyPolls = 49;
constexpr int kModeCycles = 10;
constexpr int kInfoCycles = 3;
constexpr int kInfoPolls = 14;
// A drain never takes more than this many replies (a unit that talks
// without end must not hold the program).
constexpr int kMaxDrain = 256;

int payload_length(const LinkState& link) { return link.reply_length - 3; }


// A read reply with the error status: the module is busy elsewhere.
bool is_read_error(const LinkState& link, std::uint8_t buffer)
{
    return link.reply_code() == reply::kData && payload_length(link) >= 4 &&
           link.payload()[1] == buffer && link.payload()[3] == 0xFF;
}

} // namespace

std::vector<std::uint8_t> bridge_write_payload(std::uint8_t seq, std::uint8_t buffer,
                                               std::span<const std::uint8_t> data)
{
    std::vector<std::uint8_t> p(4 + data.size());
    p[0] = seq;
    p[1] = buffer;
    p[2] = std::uint8_t(data.size());
    p[3] = 0xFF;
    std::copy(data.begin(), data.end(), p.begin() + 4);
    return p;
}

bool bridge_send(LinkState& link, std::uint8_t code, std::span<const std::uint8_t> payload,
                 Pending pending)
{
    // Text the programmer already holds is parsed before anything is sent.
    if (pending == Pending::Maybe || link.rx_pending)
        return send_command(link, code, payload.data(), payload.size());
    return send_frame(link, code, payload.data(), payload.size());
}

bool bridge_write(LinkState& link, std::uint8_t seq, std::uint8_t buffer,
                  std::span<const std::uint8_t> data, Pending pending)
{
    const auto p = bridge_write_payload(seq, buffer, data);
    return bridge_send(link, cmd::kBridgeWrite, p, pending);
}

bool bridge_read(LinkState& link, std::uint8_t seq, std::uint8_t buffer, std::uint8_t length,
                 Pending pending)
{
    const std::uint8_t p[3] = {seq, buffer, length};
    return bridge_send(link, cmd::kBridgeRead, p, pending);
}

bool is_busy_reply(const LinkState& link)
{
    return link.reply_code() == reply::kData && payload_length(link) >= 2 &&
           link.payload()[0] == 0xFE && link.payload()[1] == 0xFF;
}

bool is_write_ack(const LinkState& link, std::uint8_t seq, std::uint8_t buffer, std::uint8_t n)
{
    const std::uint8_t* p = link.payload();
    return link.reply_code() == reply::kData && payload_length(link) >= 4 && p[0] == seq &&
           p[1] == buffer && p[2] == n && p[3] == 0x01;
}

std::optional<BridgeData> bridge_read_reply(const LinkState& link, std::uint8_t seq,
                                            std::uint8_t buffer, std::uint8_t length)
{
    const std::uint8_t* p = link.payload();
    const int n = payload_length(link);
    if (link.reply_code() != reply::kData || n < 4 || p[0] != seq || p[1] != buffer ||
        p[2] != length)
        return std::nullopt;
    BridgeData d;
    d.status = p[3];
    if (d.status == 0x01 && n >= 5) {
        const std::size_t count = std::min<std::size_t>(p[4], std::size_t(n - 5));
        d.bytes = std::span<const std::uint8_t>(p + 5, count);
    }
    return d;
}

bool radio_command(LinkState& link, RadioState& radio, std::uint8_t code, std::string_view data,
                   std::string& reply_text)
{
    reply_text.clear();
    if (!link.open() || data.size() > kMaxRadioRequestData)
        return false;
    const std::string line = radio_request_line(code, data);
    const auto* line_bytes = reinterpret_cast<const std::uint8_t*>(line.data());
    const std::uint8_t n = std::uint8_t(line.size());
    // Every attempt sends the same request; only its sequence byte differs.
    auto packet = bridge_write_payload(kSeqFirst, kBufRequest, {line_bytes, line.size()});

    for (int attempt = 0; attempt < kCommandAttempts; ++attempt) {
        if (!radio.path_open() || !link.open())
            return false;
        platform::pump_events();
        if (!radio.path_open())
            return false;

        const std::uint8_t seq = attempt == 0 ? kSeqFirst : kSeqRepeat;
        packet[0] = seq;
        send_command(link, cmd::kBridgeWrite, packet.data(), packet.size());
        platform::sleep_ms(100);

        bool acked = false;
        for (int left = kAckPolls; left > 0 && !acked; --left) {
            if (!radio.path_open())
                return false;
            if (poll_reply(link) == 0)
                continue;
            if (is_busy_reply(link)) {
                if (left - 1 < kBusyPollsLeft) {
                    radio.busy = true;
                    return false;
                }
                send_command(link, cmd::kBridgeWrite, packet.data(), packet.size());
                platform::sleep_ms(1000);
                continue;
            }
            acked = is_write_ack(link, seq, kBufRequest, n);
        }
        if (!acked)
            continue;

        bool got = false;
        for (int cycle = 0; cycle < kReadCycles && !got; ++cycle) {
            if (!radio.path_open())
                return false;
            bridge_read(link, kSeqFirst, kBufReply, 0x2A);
            for (int poll = 0; poll < kReadPolls; ++poll) {
                if (poll_reply(link) == 0)
                    continue;
                if (is_read_error(link, kBufReply)) {
                    radio.busy = true;
                    return false;
                }
                const auto r = bridge_read_reply(link, kSeqFirst, kBufReply, 0x2A);
                if (!r || r->status != 0x01)
                    continue;
                if (!r->bytes.empty()) {
                    reply_text.assign(r->bytes.begin(), r->bytes.end());
                    got = true;
                }
                break; // a matching reply, with or without data, ends the cycle
            }
        }
        if (!got)
            continue;
        if (code == 0xFF)
            return true;
        if (auto accepted = accept_radio_reply(reply_text, code)) {
            reply_text = std::move(*accepted);
            return true;
        }
    }
    reply_text.clear();
    return false;
}

bool radio_command(LinkState& link, RadioState& radio, std::uint8_t code,
                   const std::uint8_t* data, std::size_t length, std::string& reply_text)
{
    return radio_command(link, radio, code,
                         std::string_view(reinterpret_cast<const char*>(data), length), reply_text);
}

bool radio_command_ack_only(LinkState& link, RadioState& radio, std::uint8_t code,
                            std::string_view data)
{
    if (!link.open() || !radio.path_open() || data.size() > kMaxRadioRequestData)
        return false;
    const std::string line = radio_request_line(code, data);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(line.data());
    bridge_write(link, kSeqFirst, kBufRequest, {bytes, line.size()});
    for (int poll = 0; poll < kAckOnlyPolls; ++poll) {
        if (!radio.path_open())
            return false;
        if (poll_reply(link) != 0 && is_write_ack(link, kSeqFirst, kBufRequest, std::uint8_t(line.size())))
            return true;
    }
    return false;
}

bool enter_radio_mode(LinkState& link)
{
    for (int cycle = 0; cycle < kModeCycles; ++cycle) {
        const std::uint8_t enter = 0x00;
        send_command(link, cmd::kRadioAccess, &enter, 1);
        bool busy = false;
        for (int i = 0; i < kMaxDrain && poll_reply(link) != 0; ++i)
            busy = busy || is_busy_reply(link);
        if (busy) {
            if (cycle == kModeCycles - 1)
                return false;
            platform::sleep_ms(1000);
        }
        const std::uint8_t end[2] = {0x00, 0x00};
        send_command(link, cmd::kRadioAccessEnd, end, 2);
    }
    platform::sleep_ms(50);
    return true;
}

void leave_radio_mode(LinkState& link)
{
    if (!link.open())
        return; // nothing to tell, nothing to wait for
    bridge_write(link, kSeqRepeat, kBufReset, {});
    platform::sleep_ms(500);
    const std::uint8_t leave = 0x01;
    send_command(link, cmd::kRadioAccess, &leave, 1);
    platform::sleep_ms(100);
    const std::uint8_t end[2] = {0x01, 0x00};
    send_command(link, cmd::kRadioAccessEnd, end, 2);
    platform::sleep_ms(100);
}

bool read_radio_info_block(LinkState& link, RadioState& radio, std::array<std::uint8_t, 16>& out)
{
    for (int cycle = 0; cycle < kInfoCycles; ++cycle) {
        if (!link.open())
            return false;
        bridge_read(link, kSeqRepeat, kBufInfo, 0x10);
        for (int poll = 0; poll < kInfoPolls; ++poll) {
            if (poll_reply(link) == 0)
                continue;
            // The block is the 16 bytes after the count byte, whatever the
            // count says; a frame too short to hold them is no block.
            const std::uint8_t* p = link.payload();
            if (link.reply_code() != reply::kData || payload_length(link) < 5 + int(out.size()) ||
                p[0] != kSeqRepeat || p[1] != kBufInfo || p[2] != 0x10 || p[3] != 0x01)
                continue;
            std::copy_n(p + 5, out.size(), out.begin());
            const std::uint8_t chip = out[15];
            radio.chipset = chip >= '0' && chip <= '9' ? chip - '0' : 0;
            out[15] = 0;
            return true;
        }
    }
    return false;
}

std::string info_block_version(const std::array<std::uint8_t, 16>& block)
{
    const char* text = reinterpret_cast<const char*>(block.data());
    return std::string(text, strnlen(text, 15));
}

} // namespace tq
