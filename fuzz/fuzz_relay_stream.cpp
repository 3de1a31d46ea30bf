// The relay's command parser fed with whatever a relay might send: the input
// is cut into received blocks (a length byte, then that many bytes) and the
// relay step runs over them against the simulated programmer (with its
// radio path open), with a small image buffer so that overflowing chunks are
// tried too.
#include "platform/clock.h"
#include "remote/relay.h"
#include "sim/radio_module_sim.h"
#include "sim/programmer.h"

#include <algorithm>
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

// The remote-access window, which shows nothing here.
class QuietView final : public tq::RelayView {
public:
    void set_device_label(const std::string&) override {}
    void show_connected(bool) override {}
    bool reconnect_ticked() override { return false; }
    void untick_reconnect() override {}
    void start_automatic_connect() override {}
    void show_message(const std::string&) override {}
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    tq::platform::ScopedVirtualClock clock;
    if (size == 0)
        return 0;
    tq::sim::Programmer programmer(data[0] & 1 ? tq::sim::Variant::Bootloader
                                               : tq::sim::Variant::Programmer64);
    // Nothing looks at what went over the wire: it is not kept.
    programmer.keep_written = false;
    programmer.unit.keep_received = false;
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
    tq::sim::RadioModuleSim module(programmer.unit);
    module.radio_mode = true;
    module.keep_lines = false; // not kept either, as what went over the wire
    // A module that refuses a request makes the relay's radio command try
    // it ten times; half the inputs meet one that answers any request, so
    // that the relay's answers are explored as well as its retries.
    module.answer_unknown_codes = data[0] & 4;
    tq::RadioState radio;
    radio.remote_access = true;
    // Made small at once: a full-size buffer would cost an input more than
    // everything else it does.
    tq::FirmwareState firmware{.buffer = std::vector<std::uint8_t>(tq::kFirmwareHeaderSize + 300)};
    QuietView view;
    // The CAN-analyzer search finds nothing here.
    link.serial.sysfs_root = "/nonexistent";
    link.serial.dev_root = "/nonexistent";

    auto channel = std::make_unique<FuzzChannel>();
    FuzzChannel& c = *channel;
    relay.channel = std::move(channel);
    for (std::size_t at = 1; at < size;) {
        const std::size_t n = std::min<std::size_t>(data[at], size - at - 1);
        c.incoming.emplace_back(reinterpret_cast<const char*>(data + at + 1), n);
        at += 1 + n;
    }
    for (int steps = 0; steps < 4096 && relay.channel && !c.incoming.empty(); ++steps)
        tq::remote_relay_step(relay, link, radio, firmware, view);
    return 0;
}
