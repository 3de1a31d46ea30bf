#include "radio/radio_monitor.h"

#include "link/block.h"
#include "link/commands.h"
#include "platform/clock.h"
#include "radio/bridge.h"
#include "text/texts.h"

#include <algorithm>
#include <cstdio>

namespace tq {
namespace {

constexpr int kSearchCycles = 10;
constexpr int kMaxDrain = 256;
constexpr std::size_t kEntrySize = 12;

void send_monitor_packet(LinkState& link, std::uint8_t a, std::uint8_t b,
                         const std::array<std::uint8_t, 8>& id)
{
    std::uint8_t p[10] = {a, b};
    std::copy(id.begin(), id.end(), p + 2);
    send_command(link, cmd::kRadioMonitorPoll, p, sizeof p);
}

constexpr std::array<std::uint8_t, 8> kNoId = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

void exit_steps(MonitorContext& c)
{
    c.radio.opening = false;
    for (int i = 0; i < 2; ++i) {
        const std::uint8_t leave = 0x01;
        send_command(c.link, cmd::kRadioAccess, &leave, 1);
        const std::uint8_t end[2] = {0x01, 0x00};
        send_command(c.link, cmd::kRadioAccessEnd, end, 2);
    }
    c.view.busy_cursor(false);
}

enum class Search { NotFound, Found, Failed };

// Looks through one device list in the reply buffer for a receiver.
Search scan_list(MonitorContext& c)
{
    const LinkState& link = c.link;
    if (link.reply_code() != reply::kData)
        return Search::NotFound;
    // Entries from payload byte 2 (reply byte 4), each wholly before the checksum.
    for (std::size_t at = 4; at < std::size_t(std::max(link.reply_length - 2, 0)) &&
                             at + 8 <= std::size_t(link.reply_length - 1);
         at += kEntrySize) {
        std::array<std::uint8_t, 8> id;
        std::copy_n(link.reply.begin() + std::ptrdiff_t(at), 8, id.begin());
        if (id[0] != kReceiverFamily)
            continue;
        if (id == c.onewire_id)
            return Search::Found;
        if (write_block(c.link, c.firmware_version, kReceiverAddress, id) != 0) {
            c.view.message(text(kTextEepromSaveError));
            return Search::Failed;
        }
        c.onewire_id = id;
        c.view.message(
            textf(kTextNewRadioConfigured, id[0], id[1], id[2], id[3], id[4], id[5], id[6], id[7]));
        c.view.wait_for_message();
        return Search::Found;
    }
    return Search::NotFound;
}

std::string hex_id(const std::array<std::uint8_t, 8>& id)
{
    char buf[17];
    for (std::size_t i = 0; i < 8; ++i)
        std::snprintf(buf + 2 * i, 3, "%02X", id[i]);
    return buf;
}

} // namespace

std::uint8_t monitor_mode_byte(const RadioState& radio)
{
    switch (radio.monitor_mode) {
    case 1: return radio.remote_counter <= 1 ? 0x81 : std::uint8_t(radio.remote_counter);
    case 2: return 0x80;
    default: return 0x00;
    }
}

void open_radio_monitor(MonitorContext& c, bool search)
{
    RadioState& r = c.radio;
    if (!c.link.open() || r.opening || r.monitor_open)
        return;
    c.view.close_radio_window();

    r.opening = true;
    c.view.busy_cursor(true);
    const std::uint8_t enter = 0x00;
    send_command(c.link, cmd::kRadioAccess, &enter, 1);
    bool busy = false;
    for (int i = 0; i < kMaxDrain && poll_reply(c.link) != 0; ++i)
        busy = busy || is_busy_reply(c.link);
    if (busy) {
        c.view.busy_cursor(false);
        r.opening = false;
        c.view.message(text(kTextRadioUsedByRemote));
        return;
    }
    const std::uint8_t end[2] = {0x00, 0x00};
    send_command(c.link, cmd::kRadioAccessEnd, end, 2);
    platform::sleep_ms(200);

    if (search) {
        if (read_block(c.link, c.firmware_version, kReceiverAddress, 8) != 0) {
            c.view.message(text(kTextConfigurationLoadError));
            exit_steps(c);
            return;
        }
        std::copy_n(c.link.payload() + 2, 8, c.onewire_id.begin());
    }

    send_monitor_packet(c.link, 0x30, 0x00, kNoId);
    platform::sleep_ms(50);

    Search found = search ? Search::NotFound : Search::Found;
    for (int cycle = 0; cycle < kSearchCycles && found == Search::NotFound && c.link.open(); ++cycle) {
        const std::uint8_t list = 0x00;
        send_command(c.link, cmd::kOneWireList, &list, 1);
        platform::sleep_ms(200);
        for (int i = 0; i < kMaxDrain && found == Search::NotFound && poll_reply(c.link) != 0; ++i)
            found = scan_list(c);
        if (found == Search::NotFound)
            platform::sleep_ms(50);
    }
    if (found == Search::Failed) {
        exit_steps(c);
        return;
    }

    c.view.busy_cursor(false);
    r.opening = false;
    if (found != Search::Found) {
        c.view.message(text(kTextRadioModuleNotPresent));
        exit_steps(c);
        return;
    }
    r.monitor_open = true;
    r.monitor_mode = 0;
    r.remote_counter = 0;
    r.monitor_tick = 0;
    c.view.build_window(hex_id(c.onewire_id));
}

void set_monitor_mode(MonitorContext& c, int kind)
{
    RadioState& r = c.radio;
    if (r.monitor_mode == 0 && (kind == 1 || kind == 2)) {
        r.monitor_mode = kind;
        c.view.show_mode(kind);
        if (kind == 1) {
            r.remote_counter = 1;
            c.view.set_instruction(textf(kTextPressLockUnlockOfRemote, 1));
        } else {
            c.view.set_instruction(text(kTextPressLockUnlock));
        }
    } else if (r.monitor_mode != 0) {
        c.view.show_mode(0);
        if (r.remote_counter != 0) {
            c.view.message(textf(kTextRemotesProgrammed, r.remote_counter - 1));
            r.remote_counter = 0;
        } else if (kind == 3) {
            c.view.message(text(kTextRemotesErased));
        }
        r.monitor_mode = 0;
    }
    c.view.set_indicator_text(text(kTextRadioMonitor));
}

void radio_monitor_poll_step(MonitorContext& c)
{
    RadioState& r = c.radio;
    if (!r.monitor_open)
        return;
    if (r.monitor_tick++ % 4 == 0) {
        send_monitor_packet(c.link, monitor_mode_byte(r), 0x00, c.onewire_id);
        platform::sleep_ms(50);
        if (!r.monitor_open)
            return; // the programmer went away and the window with it
    }
    const LinkState& link = c.link;
    if (link.reply_code() != reply::kData || link.reply_length != 7)
        return;
    unsigned v = link.payload()[0];
    const unsigned kind = link.payload()[1];
    const unsigned detail = link.payload()[2];
    auto colour = MonitorView::Colour::Default;

    if (r.monitor_mode == 1) {
        if ((kind == 1 && detail == 0x10) || (kind == 2 && detail == 0x02)) {
            const int before = r.remote_counter++;
            if (before == kMaxRemotes)
                set_monitor_mode(c, 0);
            else
                c.view.set_instruction(textf(kTextPressLockUnlockOfRemote, r.remote_counter));
            colour = MonitorView::Colour::Red;
        }
    } else if (r.monitor_mode == 2) {
        if (v > 31)
            set_monitor_mode(c, 3);
    } else if ((kind == 1 || kind == 2) && v != 0) {
        std::string what;
        if (v & 0x10) {
            what = text(kTextFobrix);
            v &= 0x0F;
        } else {
            what = textf(kTextRemoteNo, int(v));
        }
        if (v < 32) {
            if (v == 0)
                what += text(kTextUnregistered);
            c.view.set_indicator_text(std::string(text(kTextRadioMonitor)) + "\n" + what);
            colour = v == 0 ? MonitorView::Colour::Blue : MonitorView::Colour::Red;
        }
    }
    if (r.monitor_open)
        c.view.set_indicator_colour(colour);
}

void close_radio_monitor(MonitorContext& c)
{
    RadioState& r = c.radio;
    if (r.monitor_open) {
        r.monitor_open = false;
        c.view.destroy_window();
    }
    r.monitor_mode = 0;
    r.remote_counter = 0;
    r.monitor_tick = 0;
    for (int i = 0; i < 5; ++i)
        send_monitor_packet(c.link, 0x00, 0x01, kNoId);
}

} // namespace tq
