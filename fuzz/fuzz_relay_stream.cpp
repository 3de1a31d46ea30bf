// The relay's command parser fed with whatever a relay might send: the input
// is cut into received blocks (a length byte, then that many bytes) and the
// relay step runs over them against the simulated programmer, with a small
// image buffer so that overflowing chunks are tried too.
#include "platform/clock.h"
#include "remote/relay.h"
#include "sim/programmer.h"

#include <algorithm>
#include <cstdlib>
#include <cstdint>
#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace {

class FuzzChannel final : public tq::RelayChannel {
public:
    std::deque<std::string> incoming;
    std::size_t sent = 0;
    bool send(const std::uint8_t*, std::size_t count) override
    {
        sent += count;
        return true;
    }
    bool wait_readable(int) override { return !incoming.empty(); }
    bool wait_writable(int) override { return true; }
    long receive(std::uint8_t* data, std::size_t max, int) override
    {
        if (incoming.empty())
            return 0;
        std::string& front = incoming.front();
        const std::size_t n = std::min(max, front.size());
        std::memcpy(data, front.data(), n);
        front.erase(0, n);
        if (front.empty())
            incoming.pop_front();
        return long(n);
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    tq::platform::ScopedVirtualClock clock;
    if (size == 0)
        return 0;
    tq::sim::Programmer programmer(data[0] & 1 ? tq::sim::Variant::Bootloader
                                               : tq::sim::Variant::Programmer64);
    tq::sim::SimPort port(programmer);
    tq::LinkState link;
    link.port = &port;
    link.return_text_frames = true;
    if (data[0] & 2)
        tq::device_open(link);
    // Chatter from the unit for the collector.
    for (int i = 0; i < (data[0] >> 4); ++i)
        programmer.unit.send_text(std::string(std::size_t(20 * i), 't'));

    tq::RelayState relay;
    std::vector<std::uint8_t> image(300, 0);
    int image_size = 0;
    int can_state = 0;
    tq::RelayHooks& h = relay.hooks;
    h.find_can_port = [&] { can_state = 1; };
    h.can_port_state = [&] { return can_state; };
    h.set_can_port_state = [&](int v) { can_state = v; };
    h.can_read = [](std::uint8_t* buf, std::size_t max) -> long {
        const std::size_t n = std::min<std::size_t>(max, 3);
        std::memset(buf, '@', n);
        return long(n);
    };
    h.can_write = [](const std::uint8_t*, std::size_t n) -> long { return long(n); };
    h.release_can_port = [&] { can_state = 0; };
    h.radio_command = [](std::uint8_t, const std::uint8_t*, std::size_t n, std::string& answer) {
        answer.assign(n * 3, 'r');
        return n % 2 == 0;
    };
    h.radio_command_ack_only = [](std::uint8_t c, const std::uint8_t*, std::size_t) { return c; };
    h.firmware_image = [&] { return tq::RelayImage{image.data(), image.size(), &image_size}; };
    h.write_firmware_block = [&](tq::HidDevice&, std::size_t offset, std::uint32_t) {
        // Only blocks that begin inside the loaded image are asked for.
        if (offset >= std::size_t(image_size) || std::size_t(image_size) > image.size())
            std::abort();
        return 0;
    };

    auto channel = std::make_unique<FuzzChannel>();
    FuzzChannel& c = *channel;
    relay.channel = std::move(channel);
    for (std::size_t at = 1; at < size;) {
        const std::size_t n = std::min<std::size_t>(data[at], size - at - 1);
        c.incoming.emplace_back(reinterpret_cast<const char*>(data + at + 1), n);
        at += 1 + n;
    }
    for (int steps = 0; steps < 4096 && relay.channel && !c.incoming.empty(); ++steps)
        tq::remote_relay_step(relay, link);
    return 0;
}
