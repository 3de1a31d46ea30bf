#include "remote/relay.h"

#include "link/bytes.h"
#include "firmware/bootloader.h"
#include "link/can_analyzer.h"
#include "link/commands.h"
#include "platform/clock.h"
#include "platform/tcp.h"
#include "radio/bridge.h"
#include "text/texts.h"

#include <algorithm>
#include <array>
#include <initializer_list>
#include <vector>

namespace tq {
namespace {

constexpr int kConnectTimeoutMs = 10000;
constexpr int kLoginTimeoutMs = 10000;
constexpr int kSendTimeoutMs = 5000;
// The rest of an image chunk: this long without a byte is a lost connection.
constexpr int kChunkWaitMs = 10000;
constexpr int kStepWaitMs = 10;
// While not connected each step waits this long, so that the reconnect
// countdown of 300 steps lasts about 3 s.
constexpr int kIdlePaceMs = 10;
constexpr int kSerialSendWaitMs = 1;
constexpr int kStatusPauseMs = 3;
// Bounds for units that never stop talking.
constexpr int kMaxPendingReplies = 256;
constexpr int kMaxListingLines = 4096;
constexpr int kListingPolls = 199;
constexpr int kForwardCycles = 20;
constexpr int kForwardPauseMs = 50;
constexpr std::size_t kBlock = 56;
constexpr std::size_t kProgressEvery = 448;
// "@E2" asks for blocking reads; even those give up after this long.
constexpr int kBlockingReadMs = 10000;
// A chunk the image cannot take is answered with this sum, which no real
// sum (taken mod 65535) can be.
constexpr std::uint16_t kChunkRefused = 0xFFFF;

bool can_port_open(const LinkState& link) { return link.serial.can_port_state == kCanPortOpen; }

// The image part of the firmware buffer, which "@E0" empties and "@E1" fills.
std::size_t image_capacity(const FirmwareState& f)
{
    return f.buffer.size() > kFirmwareHeaderSize ? f.buffer.size() - kFirmwareHeaderSize : 0;
}

// Bytes the command starting at w[i] (an "@") takes, "@" included; 0 while
// the bytes there do not tell yet. For "@E1" only its header is counted.
std::size_t command_size(const std::vector<std::uint8_t>& w, std::size_t i)
{
    const std::size_t have = w.size() - i;
    if (have < 2)
        return 0;
    switch (w[i + 1]) {
    case 'h':
    case 'i':
    case 'b':
    case 'c':
        return have < 4 ? 0 : 4 + std::size_t(w[i + 3]);
    case 'B':
    case 'C':
        return have < 4 ? 0 : 5 + std::size_t(w[i + 3]);
    case 'F':
        return have < 3 ? 0 : 3 + std::size_t(w[i + 2]);
    case 'E':
        if (have < 3)
            return 0;
        switch (w[i + 2]) {
        case '1':
            return 5;
        case '3':
            return have < 4 ? 0 : 4 + std::size_t(w[i + 3]);
        case '4':
            return 4;
        case '5':
            return 7;
        default:
            return 3;
        }
    default:
        return 2;
    }
}

class TcpChannel final : public RelayChannel {
public:
    explicit TcpChannel(std::unique_ptr<platform::TcpConnection> c) : c_(std::move(c)) {}
    bool send(const std::uint8_t* data, std::size_t count) override
    {
        return c_->send(data, count, kSendTimeoutMs) == count;
    }
    bool wait_readable(int timeout_ms) override { return c_->wait_readable(timeout_ms); }
    bool wait_writable(int timeout_ms) override { return c_->wait_writable(timeout_ms); }
    long receive(std::uint8_t* data, std::size_t max, int timeout_ms) override
    {
        return c_->receive(data, max, timeout_ms);
    }

private:
    std::unique_ptr<platform::TcpConnection> c_;
};

// One block's worth of work; lost is set once a send or receive failed.
class Relay {
public:
    Relay(RelayState& s, LinkState& link, RadioState& radio, FirmwareState& firmware,
          RelayView& view)
        : s_(s), link_(link), radio_(radio), firmware_(firmware), view_(view)
    {
    }

    bool lost = false;

    void handle_block(const std::uint8_t* data, std::size_t count);
    bool send(const std::uint8_t* data, std::size_t count);
    bool send(std::initializer_list<std::uint8_t> bytes) { return send(bytes.begin(), bytes.size()); }
    bool send(const std::vector<std::uint8_t>& bytes) { return send(bytes.data(), bytes.size()); }
    void release_devices();
    bool send_status();
    void serial_from_port();

private:
    enum class Next { go_on, stop };
    Next run(const std::uint8_t* c, std::vector<std::uint8_t>& serial);
    void image_chunk(const std::vector<std::uint8_t>& work, std::size_t& i);
    void program_image(std::uint32_t start);
    void bootloader_write(const std::uint8_t* data, std::size_t n);
    void bootloader_read(std::size_t n);
    void collect_pending(bool text_only);
    void add_record();
    void collected_replies();
    void radio(const std::uint8_t* c);
    void radio_ack_only(const std::uint8_t* c);
    void listing();
    void forward(const std::uint8_t* data, std::size_t n);

    RelayState& s_;
    LinkState& link_;
    RadioState& radio_;
    FirmwareState& firmware_;
    RelayView& view_;
};

bool Relay::send(const std::uint8_t* data, std::size_t count)
{
    if (lost || !s_.channel)
        return false;
    if (!s_.channel->send(data, count))
        lost = true;
    return !lost;
}

void Relay::release_devices()
{
    release_can_analyzer_port(link_.serial);
    if (link_.open())
        device_close(link_, "remote access releases the devices");
    s_.devices_released = true;
    s_.blocking_reads = false;
}

bool Relay::send_status()
{
    refresh_device_label(s_, link_, view_);
    std::uint8_t status = '!';
    const std::uint8_t port = link_.serial.can_port_state;
    if (link_.open() && link_.device_kind != DeviceKind::None) {
        status = std::uint8_t('0' + int(link_.device_kind));
    } else if (port == kCanPortOpen) {
        status = '#';
    } else if (port == kCanPortDriverMissing) {
        status = '$';
        link_.serial.can_port_state = kCanPortNone;
    }
    const bool ok = send({'@', status});
    platform::sleep_ms(kStatusPauseMs);
    platform::pump_events();
    return ok;
}

void Relay::serial_from_port()
{
    if (!can_port_open(link_))
        return;
    // The port reports no read errors: a failed read gives no bytes.
    std::array<std::uint8_t, kRelayReceiveSize> buffer;
    const int n = serial_read(link_.serial, link_.serial.can_port_index, buffer.data(),
                              int(buffer.size()));
    if (n > 0 && s_.channel && s_.channel->wait_writable(kSerialSendWaitMs))
        send(buffer.data(), std::min(std::size_t(n), buffer.size()));
}

void Relay::add_record()
{
    // Code, payload and checksum: the reply without its count byte.
    const std::size_t n = std::size_t(link_.reply_length) - 1;
    if (link_.reply_length < 3 || n > 255 || s_.collector.size() + 3 + n > kCollectorSize) {
        ++s_.dropped_records;
        return;
    }
    s_.collector.push_back('@');
    s_.collector.push_back('R');
    s_.collector.push_back(std::uint8_t(n));
    s_.collector.insert(s_.collector.end(), link_.reply.begin() + 1, link_.reply.begin() + 1 + n);
}

void Relay::collect_pending(bool text_only)
{
    for (int i = 0; i < kMaxPendingReplies && poll_reply(link_) == 1; ++i) {
        if (!text_only || link_.reply_code() == reply::kText)
            add_record();
    }
}

void Relay::collected_replies()
{
    if (link_.device_kind != DeviceKind::Programmer && link_.device_kind != DeviceKind::Usbic) {
        send({'@', '!'});
        return;
    }
    collect_pending(false);
    if (s_.collector.empty())
        send({'@', 'R', 0});
    else
        send(s_.collector);
    s_.collector.clear();
}

void Relay::radio(const std::uint8_t* c)
{
    std::string answer;
    const bool answered = radio_command(link_, radio_, c[2], c + 5, c[3], answer);
    if (!answered)
        answer.clear();
    const std::size_t n = std::min<std::size_t>(answer.size(), 255);
    std::vector<std::uint8_t> out;
    out.reserve(3 + n);
    out.insert(out.end(), {'@', 'A', std::uint8_t(n)});
    out.insert(out.end(), answer.begin(), answer.begin() + std::ptrdiff_t(n));
    send(out);
}

void Relay::radio_ack_only(const std::uint8_t* c)
{
    const std::string_view line(reinterpret_cast<const char*>(c + 4), c[3]);
    const std::uint8_t result = radio_command_ack_only(link_, radio_, c[2], line) ? 1 : 0;
    send({'@', 'a', result});
}

void Relay::listing()
{
    collect_pending(true);
    const std::uint8_t first = 0x01;
    send_frame(link_, cmd::kListingRecord, &first, 1);
    for (int line = 0; line < kMaxListingLines && !lost; ++line) {
        bool found = false;
        for (int k = 0; k < kListingPolls && !found; ++k) {
            if (poll_reply(link_) != 1)
                continue;
            if (link_.reply_code() == reply::kBlock)
                found = true;
            else if (link_.reply_code() == reply::kText)
                add_record();
        }
        if (!found)
            break;
        // Reply byte 3 counts the text in bytes 5 onwards; a reply too short
        // for its count gives what it holds.
        const int room = std::max(0, link_.reply_length - 6);
        std::size_t n = std::size_t(std::min<int>(link_.reply[3], room));
        if (link_.reply[3] == 0)
            break;
        const std::uint8_t* text_bytes = link_.reply.data() + 5;
        while (n > 0 && (text_bytes[n - 1] == '\r' || text_bytes[n - 1] == '\n'))
            --n;
        std::vector<std::uint8_t> out = {'@', 'f', std::uint8_t(n)};
        out.insert(out.end(), text_bytes, text_bytes + n);
        if (!send(out))
            return;
        collect_pending(true);
        const std::uint8_t next = 0x00;
        send_frame(link_, cmd::kListingRecord, &next, 1);
    }
    for (int i = 0; i < 2; ++i) {
        collect_pending(true);
        const std::uint8_t end[] = {0x01, 0x00};
        send_frame(link_, cmd::kListingEnd, end, 2);
    }
    send({'@', 'g'});
}

void Relay::forward(const std::uint8_t* data, std::size_t n)
{
    s_.f_timeout = false;
    collect_pending(true);
    send_frame(link_, cmd::kForwardData, data, n);
    for (int cycle = 0; cycle < kForwardCycles; ++cycle) {
        // Only the status ends the wait; whatever else comes is passed over.
        for (int i = 0; i < kMaxPendingReplies && poll_reply(link_) == 1; ++i) {
            if (link_.reply_code() == reply::kStatus)
                return;
        }
        platform::sleep_ms(kForwardPauseMs);
    }
    s_.f_timeout = true;
}

void Relay::image_chunk(const std::vector<std::uint8_t>& work, std::size_t& i)
{
    const std::size_t n = std::size_t(work[i + 3]) << 8 | work[i + 4];
    i += 5;
    const std::size_t here = std::min(n, work.size() - i);
    std::vector<std::uint8_t> chunk(work.begin() + std::ptrdiff_t(i),
                                    work.begin() + std::ptrdiff_t(i + here));
    i += here;
    // What the block does not hold follows on the socket.
    std::array<std::uint8_t, kRelayReceiveSize> buffer;
    while (chunk.size() < n) {
        const long got = s_.channel ? s_.channel->receive(
                                          buffer.data(), std::min(buffer.size(), n - chunk.size()),
                                          kChunkWaitMs)
                                    : -1;
        if (got <= 0) {
            lost = true;
            return;
        }
        chunk.insert(chunk.end(), buffer.begin(), buffer.begin() + got);
    }

    const std::size_t capacity = image_capacity(firmware_);
    const std::size_t size = std::size_t(std::max(firmware_.image_size, 0));
    std::uint16_t sum = kChunkRefused;
    if (size <= capacity && n <= capacity - size) {
        std::uint32_t total = 0;
        for (std::uint8_t b : chunk)
            total += b;
        std::copy(chunk.begin(), chunk.end(), firmware_.image() + size);
        firmware_.image_size = int(size + n);
        sum = std::uint16_t(total % 65535);
    }
    send({'@', 'E', '1', std::uint8_t(sum >> 8), std::uint8_t(sum)});
}

void Relay::program_image(std::uint32_t start)
{
    const std::size_t size = std::size_t(std::max(firmware_.image_size, 0));
    if (size > image_capacity(firmware_)) {
        lost = true;
        return;
    }
    for (std::size_t offset = 0; offset < size; offset += kBlock) {
        if (offset % kProgressEvery == 0) {
            const std::size_t permille = offset * 1000 / size;
            if (!send({'@', 'E', '5', std::uint8_t(permille >> 8), std::uint8_t(permille)}))
                return;
            platform::pump_events();
        }
        // A failed block is treated as a lost connection: the relay cannot
        // be told otherwise in the middle of programming.
        if (!link_.open() || write_firmware_block(*link_.device, firmware_, offset, start) != 0) {
            lost = true;
            return;
        }
    }
    send({'@', 'E', '5', 0x03, 0xE8});
}

void Relay::bootloader_write(const std::uint8_t* data, std::size_t n)
{
    const int result = link_.open() && n > 0 ? link_.device->write(data, n) : -1;
    send({'@', 'E', '3', std::uint8_t(result)});
}

void Relay::bootloader_read(std::size_t n)
{
    std::vector<std::uint8_t> report(n);
    int result = -1;
    if (link_.open())
        result = n == 0 ? 0
                        : link_.device->read_timeout(report.data(), n,
                                                     s_.blocking_reads ? kBlockingReadMs : 0);
    std::vector<std::uint8_t> out = {'@', 'E', '4', std::uint8_t(result)};
    if (result > 0)
        out.insert(out.end(), report.begin(), report.begin() + std::min<int>(result, int(n)));
    send(out);
}

Relay::Next Relay::run(const std::uint8_t* c, std::vector<std::uint8_t>& serial)
{
    switch (c[1]) {
    case '@':
        serial.push_back('@');
        return Next::go_on;
    case '!':
        release_devices();
        send_status();
        return Next::stop;
    case '#':
        find_can_analyzer_port(link_.serial,
                               [this] { view_.show_message(text(kTextCanDriverMissing)); });
        send_status();
        return Next::stop;
    case 'H':
        if (link_.open()) {
            device_close(link_, "remote access: closed at the technician's command");
            release_can_analyzer_port(link_.serial);
        }
        s_.blocking_reads = false;
        device_open(link_);
        send_status();
        return Next::stop;
    case 'i':
        collect_pending(true);
        [[fallthrough]];
    case 'h':
        send_frame(link_, c[2], c + 4, c[3]);
        return Next::go_on;
    case 'R':
        collected_replies();
        return Next::go_on;
    case 'B':
    case 'C':
        radio(c);
        return Next::go_on;
    case 'b':
    case 'c':
        radio_ack_only(c);
        return Next::go_on;
    case 'f':
        listing();
        return Next::go_on;
    case 'F':
        forward(c + 3, c[2]);
        return Next::go_on;
    case 'G':
        send({'@', 'G', std::uint8_t(s_.f_timeout ? 1 : 0)});
        return Next::go_on;
    case 'E':
        switch (c[2]) {
        case '0':
            firmware_.image_size = 0;
            send({'@', 'E', '0'});
            break;
        case '2':
            if (link_.open()) {
                link_.device->set_nonblocking(false);
                s_.blocking_reads = true;
            }
            break;
        case '3':
            bootloader_write(c + 4, c[3]);
            break;
        case '4':
            bootloader_read(c[3]);
            break;
        case '5':
            program_image(le32(c + 3));
            break;
        default:
            break;
        }
        return Next::go_on;
    default:
        serial.push_back(c[1]);
        return Next::go_on;
    }
}

void Relay::handle_block(const std::uint8_t* data, std::size_t count)
{
    // A command the last block began is finished by this one.
    std::vector<std::uint8_t> work;
    work.swap(s_.pending_command);
    work.insert(work.end(), data, data + count);
    s_.escape_pending = false;

    std::vector<std::uint8_t> serial;
    std::size_t i = 0;
    while (i < work.size() && !lost) {
        if (work[i] != '@') {
            if (serial.empty())
                serial.reserve(work.size() - i);
            serial.push_back(work[i++]);
            continue;
        }
        const std::size_t size = command_size(work, i);
        if (size == 0 || work.size() - i < size) {
            s_.pending_command.assign(work.begin() + std::ptrdiff_t(i), work.end());
            s_.escape_pending = true;
            break;
        }
        if (work[i + 1] == 'E' && work[i + 2] == '1') {
            image_chunk(work, i);
            continue;
        }
        const Next next = run(work.data() + i, serial);
        i += size;
        if (next == Next::stop) {
            // The rest of the block and its serial data are dropped.
            s_.pending_command.clear();
            s_.escape_pending = false;
            return;
        }
    }
    if (lost || serial.empty() || !can_port_open(link_))
        return;
    if (serial_write(link_.serial, link_.serial.can_port_index, serial.data(),
                     int(serial.size())) < 0) {
        release_devices();
        send_status();
    }
}

} // namespace

std::unique_ptr<RelayChannel> tcp_relay_channel(std::unique_ptr<platform::TcpConnection> c)
{
    return std::make_unique<TcpChannel>(std::move(c));
}

void refresh_device_label(RelayState& s, const LinkState& link, RelayView& view)
{
    std::string label;
    if (s.devices_released) {
        label = text(kTextDisconnected);
        s.devices_released = false;
    } else if (link.open() || can_port_open(link)) {
        const char* what = "???";
        if (can_port_open(link))
            what = "CAN";
        else if (link.device_kind == DeviceKind::Programmer)
            what = "M";
        else if (link.device_kind == DeviceKind::Bootloader)
            what = "BOOT";
        else if (link.device_kind == DeviceKind::Usbic)
            what = "A";
        label = textf(kTextRemoteAccessActive, what);
    } else {
        label = text(kTextNoUsbDeviceFound);
    }
    view.set_device_label(label);
}

bool relay_handle_block(RelayState& s, LinkState& link, RadioState& radio,
                        FirmwareState& firmware, RelayView& view, const std::uint8_t* data,
                        std::size_t count)
{
    Relay relay(s, link, radio, firmware, view);
    relay.handle_block(data, count);
    if (relay.lost) {
        remote_disconnect(s, link, radio, view, false);
        return false;
    }
    return true;
}

bool remote_connect(RelayState& s, LinkState& link, RadioState& radio, RelayView& view,
                    const std::string& password, bool user)
{
    if (s.channel)
        return true;
    auto fail = [&](int message, bool login_refused) {
        // The toggle goes back off as for the user's disconnect, so a relay
        // that is already connected hears "@!".
        remote_disconnect(s, link, radio, view, true);
        if (login_refused)
            view.untick_reconnect();
        if (user)
            view.show_message(text(message));
        s.reconnect_countdown = kReconnectSteps;
        return false;
    };

    const auto endpoint = platform::TcpEndpoint::resolve(s.host, kRelayPort);
    if (!endpoint)
        return fail(kTextCannotResolveServerName, false);
    auto connection = endpoint->connect(kConnectTimeoutMs);
    if (!connection)
        return fail(kTextCannotConnectToServer, false);
    s.channel = tcp_relay_channel(std::move(connection));

    // At most 38 bytes, never cutting a character in two.
    std::size_t keep = std::min(password.size(), kPasswordMax);
    while (keep > 0 && keep < password.size() && (std::uint8_t(password[keep]) & 0xC0) == 0x80)
        --keep;
    const std::string line = password.substr(0, keep) + "\n";
    if (!s.channel->send(reinterpret_cast<const std::uint8_t*>(line.data()), line.size()))
        return fail(kTextCannotConnectToServer, false);
    std::uint8_t answer[2] = {};
    std::size_t got = 0;
    const std::int64_t deadline = platform::now_ms() + kLoginTimeoutMs;
    while (got < 2) {
        const int left = int(std::max<std::int64_t>(deadline - platform::now_ms(), 1));
        const long n = s.channel->receive(answer + got, 2 - got, std::min(left, kLoginTimeoutMs));
        if (n <= 0)
            break;
        got += std::size_t(n);
    }
    if (got != 2)
        return fail(kTextCannotConnectToServer, false);
    if (answer[0] != 'O' || answer[1] != 'K')
        return fail(kTextLoginFailed, true);

    s.idle_steps = 0;
    s.activity_countdown = 0;
    s.escape_pending = false;
    s.pending_command.clear();
    s.collector.clear();
    s.blocking_reads = false;
    radio.remote_access = true;
    view.show_connected(true);
    return true;
}

void remote_disconnect(RelayState& s, LinkState& link, RadioState& radio, RelayView& view,
                       bool user)
{
    const bool connected = s.channel != nullptr;
    if (connected)
        s.reconnect_countdown = user ? kNoReconnect : kReconnectSteps;
    // Only the programmer is closed: the CAN-analyzer port stays open, so
    // that its stream goes on after a reconnection without a new "@#". The
    // window releases it when it closes.
    device_close(link, "remote access: connection lost or ended");
    if (connected) {
        const std::uint8_t bye[] = {'@', '!'};
        s.channel->send(bye, sizeof bye);
        s.channel.reset();
        radio.remote_access = false;
    }
    s.activity_countdown = 0;
    s.escape_pending = false;
    s.pending_command.clear();
    s.blocking_reads = false;
    view.show_connected(false);
}

void remote_relay_step(RelayState& s, LinkState& link, RadioState& radio,
                       FirmwareState& firmware, RelayView& view)
{
    if (!s.channel) {
        s.idle_steps = 0;
        platform::sleep_ms(kIdlePaceMs);
        if (s.reconnect_countdown == kNoReconnect)
            return;
        const std::uint16_t was = s.reconnect_countdown--;
        if (was == 0 && view.reconnect_ticked()) {
            s.reconnect_countdown = 0;
            view.start_automatic_connect();
        }
        return;
    }

    if (++s.idle_steps > kRelayIdleLimit) {
        remote_disconnect(s, link, radio, view, false);
        return;
    }
    Relay relay(s, link, radio, firmware, view);
    // The step runs on every pass of the loop, which does not pause while
    // the relay is on: no allocation, no clearing of the block.
    std::array<std::uint8_t, kRelayReceiveSize> block;
    const long n = s.channel->wait_readable(kStepWaitMs)
                       ? s.channel->receive(block.data(), block.size(), 0)
                       : -2;
    if (n == -2) {
        if (s.activity_countdown > 0)
            --s.activity_countdown;
        else
            view.set_device_label(text(kTextWaitingForRemoteAccess));
        relay.serial_from_port();
    } else if (n <= 0) {
        relay.lost = true;
    } else {
        s.idle_steps = 0;
        if (n == 1 && block[0] == ' ')
            return; // keep-alive
        if (s.activity_countdown == 0)
            refresh_device_label(s, link, view);
        s.activity_countdown = kActivitySteps;
        relay.handle_block(block.data(), std::size_t(n));
    }
    if (relay.lost)
        remote_disconnect(s, link, radio, view, false);
}

} // namespace tq
