#include "radio/radio_update.h"

#include "link/bytes.h"
#include "link/commands.h"
#include "platform/clock.h"
#include "radio/bridge.h"
#include "text/texts.h"

#include <algorithm>
#include <cstdio>

namespace tq {
namespace {

constexpr int kMaxDrain = 256;
constexpr std::size_t kSlipPiece = 84;
constexpr std::size_t kDfuPiece = 72;
constexpr std::size_t kDfuWrite = 48;

void report(const RadioProgress& progress, const std::string& text, double fraction)
{
    if (progress)
        progress(text, fraction);
    platform::pump_events();
}

// Polls in cycles, each taking replies until none is pending, until pred
// accepts one. A cycle that finds nothing costs one read wait.
template <class Pred> bool wait_cycles(LinkState& link, int cycles, Pred pred)
{
    for (int cycle = 0; cycle < cycles && link.open(); ++cycle)
        for (int i = 0; i < kMaxDrain && poll_reply(link) != 0; ++i)
            if (pred())
                return true;
    return false;
}

// A request that follows one whose answer was taken finds nothing pending.
Pending pending_after(bool answered) { return answered ? Pending::None : Pending::Maybe; }

bool is_ack_of(const LinkState& link, std::uint8_t buffer, std::uint8_t n)
{
    const std::uint8_t* p = link.payload();
    return link.reply_code() == reply::kData && link.reply_length - 3 >= 4 && p[1] == buffer &&
           p[2] == n && p[3] == 0x01;
}

std::string percent_text(double value)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02.1f%%", value);
    return buf;
}

// One request packet and its response, sent up to tries times until a
// response of at least min_length arrives. False when a send failed or no
// such response came.
bool exchange(SlipChannel& ch, std::span<const std::uint8_t> request, int tries,
              std::size_t min_length, std::vector<std::uint8_t>& response)
{
    for (int i = 0; i < tries; ++i) {
        if (!slip_send(ch, request, request.size()))
            return false;
        if (slip_receive(ch, response) && response.size() >= min_length)
            return true;
    }
    return false;
}

} // namespace

bool switch_radio_boot_mode(LinkState& link, RadioState& radio, RadioBootMode mode)
{
    const std::uint8_t boot = 0x02;
    for (int i = 0; i < 2; ++i) {
        send_command(link, cmd::kRadioAccess, &boot, 1);
        platform::sleep_ms(50);
    }
    const std::uint8_t end[2] = {0x00, 0x00};
    send_command(link, cmd::kRadioAccessEnd, end, 2);
    platform::sleep_ms(50);

    std::array<std::uint8_t, 16> info{};
    if (!read_radio_info_block(link, radio, info))
        return false;

    const std::uint8_t mode_byte = std::uint8_t(mode);
    for (int attempt = 0; attempt < 10 && link.open(); ++attempt) {
        bridge_write(link, kSeqRepeat, kBufBootMode, {&mode_byte, 1});
        platform::sleep_ms(150);
        for (int cycle = 0; cycle < 19 && link.open(); ++cycle) {
            bridge_read(link, kSeqRepeat, kBufBootStatus, 7);
            for (int i = 0; i < kMaxDrain && poll_reply(link) != 0; ++i) {
                const auto r = bridge_read_reply(link, kSeqRepeat, kBufBootStatus, 7);
                if (!r || r->status != 0x01 || r->bytes.size() != 7)
                    continue;
                if (r->bytes[2] == 0x80)
                    return true;
                break;
            }
        }
    }
    return false;
}

std::array<std::uint8_t, 46> ble_chunk_packet(std::span<const std::uint8_t> payload, std::size_t q,
                                              unsigned* sum)
{
    std::array<std::uint8_t, 46> p{};
    p[0] = 0x00;
    p[1] = kBufRequest;
    p[2] = 0x2A;
    p[3] = 0xFF;
    p[4] = std::uint8_t((q / 16384) & 0x7F);
    p[5] = std::uint8_t((q / 128) & 0x7F);
    p[6] = std::uint8_t(q & 0x7F);
    std::uint32_t top = 0;
    unsigned s = 0;
    for (std::size_t i = 0; i < kBleChunk; ++i) {
        const std::uint8_t b = q + i < payload.size() ? payload[q + i] : 0xFF;
        top |= std::uint32_t(b >> 7) << (31 - i);
        s += b;
        p[12 + i] = b & 0x7F;
    }
    p[7] = std::uint8_t((top >> 28) & 0x0F);
    p[8] = std::uint8_t((top >> 21) & 0x7F);
    p[9] = std::uint8_t((top >> 14) & 0x7F);
    p[10] = std::uint8_t((top >> 7) & 0x7F);
    p[11] = std::uint8_t(top & 0x7F);
    unsigned check = 0;
    for (std::size_t i = 4; i < 44; ++i)
        check += p[i];
    p[44] = std::uint8_t((check + 0xA0) & 0x7F);
    p[45] = 0xA0;
    if (sum)
        *sum = s;
    return p;
}

bool send_ble_control(LinkState& link, std::array<std::uint8_t, 2> control)
{
    const std::uint8_t packet[6] = {0x00, kBufRequest, 0x02, 0xFF, control[0], control[1]};
    for (int attempt = 0; attempt < 3; ++attempt) {
        send_frame(link, cmd::kBridgeWrite, packet, sizeof packet);
        bool acked = false;
        for (int i = 0; i < 9 && !acked; ++i)
            acked = poll_reply(link) != 0 && is_ack_of(link, kBufRequest, 2);
        if (!acked)
            continue;
        for (int read = 0; read < 20; ++read) {
            const std::uint8_t request[3] = {0x00, kBufReply, 0x02};
            send_frame(link, cmd::kBridgeRead, request, 3);
            for (int i = 0; i < 9 && poll_reply(link) != 0; ++i) {
                const auto r = bridge_read_reply(link, 0x00, kBufReply, 0x02);
                if (r && r->status == 0x01 && r->bytes.size() > 1 && r->bytes[0] == 'O' &&
                    r->bytes[1] == 'K')
                    return true;
            }
        }
    }
    return false;
}

bool send_ble_image(LinkState& link, std::span<const std::uint8_t> file, const RadioProgress& progress)
{
    if (!is_ble_image(file))
        return false;
    const auto payload = file.subspan(kBleMagic.size());
    bool answered = false; // the last request's answer was taken
    for (std::size_t q = 0; q < payload.size(); q += kBleChunk) {
        const std::size_t pct = q * 98 / file.size() + 2;
        report(progress, std::to_string(pct) + "%", double(pct) / 100.0);

        unsigned sum = 0;
        const auto packet = ble_chunk_packet(payload, q, &sum);
        bool accepted = false;
        for (int attempt = 0; attempt < 20 && !accepted; ++attempt) {
            if (!link.open())
                return false;
            bridge_send(link, cmd::kBridgeWrite, packet, pending_after(answered));
            answered = wait_cycles(link, 20, [&] { return is_ack_of(link, kBufRequest, 0x2A); });
            if (!answered)
                continue;
            bridge_read(link, 0x00, kBufReply, 0x04, Pending::None);
            accepted = answered = wait_cycles(link, 20, [&] {
                const auto r = bridge_read_reply(link, 0x00, kBufReply, 0x04);
                return r && r->status == 0x01 && r->bytes.size() > 3 && r->bytes[0] == sum / 128 &&
                       r->bytes[1] == (sum & 0x7F) && r->bytes[2] == 'O' && r->bytes[3] == 'K';
            });
        }
        if (!accepted)
            return false;
    }

    report(progress, text(kTextErasingFlashMemory), 1.0);
    if (!send_ble_control(link, kBleErase))
        return false;
    report(progress, text(kTextSaveToFlash), 1.0);
    if (!send_ble_control(link, kBleSave))
        return false;
    report(progress, text(kTextDeviceReset), 1.0);
    // The save was answered: nothing is pending. The reset's own
    // acknowledge is left to whoever talks to the unit next.
    bridge_write(link, kSeqRepeat, kBufReset, {}, Pending::None);
    protocol_pause(link, 3000);
    return true;
}

bool slip_send(SlipChannel& ch, std::span<const std::uint8_t> bytes, std::size_t packet_size)
{
    LinkState& link = ch.link;
    const std::vector<std::uint8_t> tx = slip_encode(bytes, packet_size);
    ch.receiver.clear();
    const std::span<const std::uint8_t> all(tx);
    for (std::size_t at = 0; at < tx.size();) {
        const std::size_t n = std::min(kSlipPiece, tx.size() - at);
        const auto first = all.subspan(at, (n + 1) / 2);
        const auto second = all.subspan(at + first.size(), n / 2);
        bool done = false;
        for (int send = 0; send < ch.piece_sends && !done; ++send) {
            if (!link.open())
                return false;
            bridge_write(link, kSeqFirst, kBufSlipFirst, first, pending_after(ch.answered));
            ch.answered = wait_cycles(link, 19, [&] {
                return is_write_ack(link, kSeqFirst, kBufSlipFirst, std::uint8_t(first.size()));
            });
            if (!ch.answered)
                continue;
            bridge_write(link, kSeqFirst, kBufSlipSecond, second, Pending::None);
            done = ch.answered = wait_cycles(link, 19, [&] {
                return is_write_ack(link, kSeqFirst, kBufSlipSecond, std::uint8_t(second.size()));
            });
        }
        if (!done)
            return false;
        at += n;
    }
    return true;
}

bool slip_receive(SlipChannel& ch, std::vector<std::uint8_t>& out)
{
    if (auto packet = ch.receiver.take()) {
        out = std::move(*packet);
        return true;
    }
    LinkState& link = ch.link;
    bool answered = ch.answered;
    ch.answered = false;
    const std::int64_t start = platform::now_ms();
    protocol_pause(link, 5);
    while (link.open() && platform::now_ms() - start < ch.receive_timeout_ms) {
        bridge_read(link, kSeqFirst, kBufReply, 0x2A, pending_after(answered));
        answered = false;
        for (int cycle = 0; cycle < 19; ++cycle) {
            if (poll_reply(link) == 0)
                continue;
            const auto r = bridge_read_reply(link, kSeqFirst, kBufReply, 0x2A);
            if (!r || r->status != 0x01)
                continue;
            // A read that found nothing yet leaves the module at work: the
            // next read drains first, and that drain's read wait paces the
            // reads while the response is being made.
            answered = !r->bytes.empty();
            // Every byte counts: a response may be split anywhere between reads.
            ch.receiver.feed(r->bytes);
            if (auto packet = ch.receiver.take()) {
                ch.answered = true;
                out = std::move(*packet);
                return true;
            }
            break;
        }
    }
    return false;
}

DfuResult send_dfu_object(SlipChannel& ch, DfuObject type, std::span<const std::uint8_t> data,
                          std::uint32_t offset, bool skip_checks, std::uint32_t total,
                          const RadioProgress& progress)
{
    const std::uint32_t size = std::uint32_t(data.size());
    if (total != 0)
        report(progress, percent_text(double(offset) * 100.0 / total), double(offset) / total);
    else
        platform::pump_events();

    std::vector<std::uint8_t> r;
    const std::uint8_t create[6] = {0x01,
                                    std::uint8_t(type),
                                    std::uint8_t(size),
                                    std::uint8_t(size >> 8),
                                    std::uint8_t(size >> 16),
                                    std::uint8_t(size >> 24)};
    if (!exchange(ch, create, 3, 2, r) || r[0] != 0x01 || r[1] != 0x01)
        return DfuResult::Failed;

    const std::uint8_t select[2] = {0x06, std::uint8_t(type)};
    if (!slip_send(ch, select, 2) || !slip_receive(ch, r) || r.size() < 14 || r[0] != 0x06 ||
        r[1] != 0x01)
        return DfuResult::Failed;
    const std::uint32_t max_size = le32(&r[2]), at = le32(&r[6]), crc_before = le32(&r[10]);
    if (!skip_checks && (max_size < size || at != offset))
        return DfuResult::Repeat;
    const std::uint32_t expected = crc32_update(crc_before, data);

    std::vector<std::uint8_t> writes;
    for (std::size_t sent = 0; sent < data.size();) {
        const std::size_t piece = std::min(kDfuPiece, data.size() - sent);
        writes.clear();
        for (std::size_t w = 0; w < piece; w += kDfuWrite) {
            const std::size_t n = std::min(kDfuWrite, piece - w);
            writes.push_back(0x08);
            writes.insert(writes.end(), data.begin() + std::ptrdiff_t(sent + w),
                          data.begin() + std::ptrdiff_t(sent + w + n));
        }
        if (!slip_send(ch, writes, kDfuWrite + 1))
            return DfuResult::Failed;
        sent += piece;
        if (total != 0)
            report(progress, percent_text(double(offset + sent) * 100.0 / total),
                   double(offset + sent) / total);
    }

    protocol_pause(ch.link, 500);
    const std::uint8_t crc_get = 0x03;
    if (!exchange(ch, {&crc_get, 1}, 3, 10, r) || r[0] != 0x03 || r[1] != 0x01)
        return DfuResult::Failed;
    if (le32(&r[2]) != offset + size || le32(&r[6]) != expected)
        return DfuResult::Repeat;

    const std::uint8_t execute = 0x04;
    if (!exchange(ch, {&execute, 1}, 3, 2, r) || r[0] != 0x04)
        return DfuResult::Failed;
    if (r.size() >= 3 && r[1] == 0x0B && r[2] == 0x0C)
        return DfuResult::VerifyFailed;
    if (r[1] != 0x01)
        return DfuResult::Failed;
    platform::pump_events();
    return DfuResult::Ok;
}

bool send_dfu_package(SlipChannel& ch, const DfuPackage& package, const RadioProgress& progress)
{
    report(progress, "INIT", 0.0);
    protocol_pause(ch.link, 500);

    std::vector<std::uint8_t> r;
    const std::uint8_t ping[2] = {0x09, 0x01};
    bool pinged = false;
    for (int i = 0; i < 5 && !pinged; ++i) {
        if (!slip_send(ch, ping, 2))
            return false;
        pinged = slip_receive(ch, r) && r.size() >= 3 && r[0] == 0x09 && r[1] == 0x01 &&
                 r[2] == 0x01;
    }
    if (!pinged)
        return false;

    const std::uint8_t receipts_off[3] = {0x02, 0x00, 0x00};
    if (!slip_send(ch, receipts_off, 3) || !slip_receive(ch, r) || r.size() < 2 ||
        r[0] != 0x02 || r[1] != 0x01)
        return false;

    if (send_dfu_object(ch, DfuObject::Command, package.init, 0, true, 0, progress) !=
        DfuResult::Ok)
        return false;

    const std::uint32_t total = std::uint32_t(package.image.size());
    for (std::size_t at = 0; at < package.image.size(); at += kDfuObjectSize) {
        const auto object = package.image.subspan(at, std::min(kDfuObjectSize, package.image.size() - at));
        DfuResult result = DfuResult::Failed;
        for (int attempt = 0; attempt < 3 && ch.link.open(); ++attempt) {
            result = send_dfu_object(ch, DfuObject::Data, object, std::uint32_t(at), false, total,
                                     progress);
            if (result != DfuResult::Repeat)
                break;
        }
        if (result != DfuResult::Ok)
            return false;
    }
    report(progress, "100.0%", 1.0);
    protocol_pause(ch.link, 100);
    return true;
}

std::optional<RadioFileKind> radio_file_kind(std::string_view name)
{
    if (name.size() <= 4)
        return std::nullopt;
    return name.ends_with(".ble") ? RadioFileKind::Ble : RadioFileKind::Package;
}

bool radio_file_valid(RadioFileKind kind, std::span<const std::uint8_t> file)
{
    return kind == RadioFileKind::Ble ? is_ble_image(file) : read_dfu_package(file).has_value();
}

std::string run_radio_file_update(LinkState& link, RadioState& radio, RadioFileKind kind,
                                  std::span<const std::uint8_t> file, const RadioProgress& progress)
{
    std::string result;
    if (!switch_radio_boot_mode(link, radio, RadioBootMode::File)) {
        result = text(kTextRadioCommunicationError);
    } else if (radio.chipset != (kind == RadioFileKind::Ble ? 0 : 1)) {
        result = "Firmware update for wrong chipset.";
    } else {
        bool sent = false;
        if (kind == RadioFileKind::Ble) {
            sent = send_ble_image(link, file, progress);
        } else if (const auto package = read_dfu_package(file)) {
            SlipChannel ch{link, {}};
            sent = send_dfu_package(ch, *package, progress);
        }
        result = text(sent ? kTextProgrammedSuccessfully : kTextRadioCommunicationError);
    }
    leave_radio_mode(link);
    return result;
}

} // namespace tq
