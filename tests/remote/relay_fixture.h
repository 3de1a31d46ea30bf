// A relay on a simulated programmer and the devices it drives besides the
// link, wired as the program wires them, with the window as a recorder.
#pragma once

#include "link/can_analyzer.h"
#include "remote/relay.h"
#include "sim/can_analyzer_unit.h"
#include "support/sim_link.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <thread>
#include <string>
#include <vector>

namespace tq::test {

// The relay's byte stream held in memory: what the relay "sent" arrives in
// incoming, what the program sent is collected in sent.
class MemoryChannel final : public RelayChannel {
public:
    std::string sent;
    std::deque<std::string> incoming;
    bool closed = false;
    bool fail_sends = false;

    bool send(const std::uint8_t* data, std::size_t count) override
    {
        if (fail_sends)
            return false;
        sent.append(reinterpret_cast<const char*>(data), count);
        return true;
    }
    bool wait_readable(int) override { return !incoming.empty() || closed; }
    bool wait_writable(int) override { return true; }
    long receive(std::uint8_t* data, std::size_t max, int) override
    {
        if (incoming.empty())
            return closed ? 0 : -2;
        std::string& front = incoming.front();
        const std::size_t n = std::min(max, front.size());
        std::copy_n(front.begin(), n, data);
        front.erase(0, n);
        if (front.empty())
            incoming.pop_front();
        return long(n);
    }
};

// Lets the rig keep its channel when the relay drops the connection.
class ForwardingChannel final : public RelayChannel {
public:
    explicit ForwardingChannel(MemoryChannel& to) : to_(to) {}
    bool send(const std::uint8_t* d, std::size_t n) override { return to_.send(d, n); }
    bool wait_readable(int t) override { return to_.wait_readable(t); }
    bool wait_writable(int t) override { return to_.wait_writable(t); }
    long receive(std::uint8_t* d, std::size_t max, int t) override { return to_.receive(d, max, t); }

private:
    MemoryChannel& to_;
};

// The remote-access window as a recorder.
struct RecordingView final : RelayView {
    std::vector<std::string> labels;
    std::vector<std::string> messages;
    std::vector<bool> shown;        // show_connected calls
    int automatic_attempts = 0;
    bool ticked = false;
    int unticked = 0;
    // What an automatic attempt does besides being counted.
    std::function<void()> on_automatic_connect;
    // Whether the radio path was open each time the window was updated.
    const RadioState* radio = nullptr;
    std::vector<bool> radio_open;

    void set_device_label(const std::string& t) override { labels.push_back(t); }
    void show_connected(bool on) override
    {
        shown.push_back(on);
        if (radio)
            radio_open.push_back(radio->remote_access);
    }
    bool reconnect_ticked() override { return ticked; }
    void untick_reconnect() override
    {
        ticked = false;
        ++unticked;
    }
    void start_automatic_connect() override
    {
        ++automatic_attempts;
        if (on_automatic_connect)
            on_automatic_connect();
    }
    void show_message(const std::string& t) override { messages.push_back(t); }
};

// Bytes the host wrote to a pseudo-terminal's slave, waiting until want of
// them have arrived (the kernel passes them on a little later).
inline std::string drain_for(const sim::Pty& pty, std::size_t want)
{
    std::string got;
    for (int i = 0; i < 100 && got.size() < want; ++i) {
        got += pty.drain();
        if (got.size() < want)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return got;
}

// The relay wired as the program wires it: the link of a simulated
// programmer with its CAN-analyzer search pointed at a sysfs tree (a unit
// plugged there has a pseudo-terminal for its port), the radio state, the
// firmware image and the window, here a recorder. The relay is connected
// through a memory channel.
struct RelayRig {
    explicit RelayRig(sim::Variant variant = sim::Variant::Programmer64,
                      std::size_t image_capacity = kFirmwareImageCapacity)
        : sim(variant)
    {
        firmware.buffer.assign(kFirmwareHeaderSize + image_capacity, 0);
        sim.link.serial.sysfs_root = can_tree.root();
        sim.link.serial.dev_root = can_tree.dev();
        connect();
        sim.link.return_text_frames = true;
    }

    void connect()
    {
        relay.channel = std::make_unique<ForwardingChannel>(channel);
        radio.remote_access = true; // as a login leaves it
    }
    bool connected() const { return relay.channel != nullptr; }

    // A CAN-analyzer unit is plugged in, with its driver bound or without.
    void plug_can_unit(bool driver = true)
    {
        can_tree.add_usb_device("1-2", "12aa", "4f58",
                                driver ? std::vector<std::string>{"ttyACM0"}
                                       : std::vector<std::string>{});
        if (driver)
            can_tree.point_dev("ttyACM0", can_pty.slave_name());
    }
    void unplug_can_unit() { can_tree.remove_usb_device("1-2"); }
    // Plugged in and its port opened, as "@#" leaves it.
    void open_can_port()
    {
        plug_can_unit();
        find_can_analyzer_port(sim.link.serial, {});
    }
    std::uint8_t can_state() const { return sim.link.serial.can_port_state; }
    // What reached the unit's port; waits for want bytes.
    std::string can_written(std::size_t want = 0) { return drain_for(can_pty, want); }

    // Hands one block to the parser; returns what the program answered.
    std::string feed(const std::string& block)
    {
        channel.sent.clear();
        relay_handle_block(relay, sim.link, radio, firmware, view,
                           reinterpret_cast<const std::uint8_t*>(block.data()), block.size());
        return channel.sent;
    }
    void step() { remote_relay_step(relay, sim.link, radio, firmware, view); }
    void disconnect(bool user) { remote_disconnect(relay, sim.link, radio, view, user); }
    // Queues blocks on the channel and runs relay steps until they are used.
    std::string run_blocks(const std::vector<std::string>& blocks)
    {
        for (const auto& b : blocks)
            channel.incoming.push_back(b);
        for (int i = 0; i < 1000 && relay.channel && !channel.incoming.empty(); ++i)
            step();
        return channel.sent;
    }

    sim::Pty can_pty;
    sim::SysfsTree can_tree;
    SimLink sim;
    RelayState relay;
    RadioState radio;
    FirmwareState firmware;
    RecordingView view;
    MemoryChannel channel;
};

} // namespace tq::test
