// A relay on a simulated programmer, with fakes for the devices that the
// relay drives besides the link: the CAN-analyzer port, the radio module and
// the bootloader's block writes.
#pragma once

#include "remote/relay.h"
#include "support/sim_link.h"

#include <cstdint>
#include <deque>
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

struct FakeDevices {
    // CAN-analyzer port.
    int can_state = 0;
    int found_state = 1;            // what a search finds
    std::string serial_written;
    std::string serial_to_read;
    bool serial_error = false;
    int releases = 0;
    // Radio.
    std::string radio_answer = "1.5.6";
    bool radio_answers = true;
    std::vector<std::string> radio_sent;
    // Bootloader programming.
    std::vector<std::uint8_t> image;
    int image_size = 0;
    std::vector<std::size_t> blocks_written;
    std::uint32_t flash_start = 0;
    long fail_block_at = -1;
    // Window.
    std::vector<std::string> labels;
    std::vector<std::string> messages;
    std::vector<bool> shown;        // show_connected calls
    std::vector<bool> sessions;     // session_changed calls
    int automatic_attempts = 0;
    bool ticked = false;
    int unticked = 0;
};

inline void install_fakes(RelayHooks& h, FakeDevices& d)
{
    h.find_can_port = [&d] { d.can_state = d.found_state; };
    h.can_port_state = [&d] { return d.can_state; };
    h.set_can_port_state = [&d](int v) { d.can_state = v; };
    h.can_read = [&d](std::uint8_t* buf, std::size_t max) -> long {
        if (d.serial_error)
            return -1;
        const std::size_t n = std::min(max, d.serial_to_read.size());
        std::copy_n(d.serial_to_read.begin(), n, buf);
        d.serial_to_read.erase(0, n);
        return long(n);
    };
    h.can_write = [&d](const std::uint8_t* data, std::size_t n) -> long {
        if (d.serial_error)
            return -1;
        d.serial_written.append(reinterpret_cast<const char*>(data), n);
        return long(n);
    };
    h.release_can_port = [&d] {
        if (d.can_state != 0)
            ++d.releases;
        d.can_state = 0;
    };
    h.radio_command = [&d](std::uint8_t code, const std::uint8_t* data, std::size_t n,
                           std::string& answer) {
        d.radio_sent.push_back(std::to_string(code) + ":" +
                               std::string(reinterpret_cast<const char*>(data), n));
        answer = d.radio_answers ? d.radio_answer : "";
        return d.radio_answers;
    };
    h.radio_command_ack_only = [&d](std::uint8_t code, const std::uint8_t* data, std::size_t n) {
        d.radio_sent.push_back(std::to_string(code) + ":" +
                               std::string(reinterpret_cast<const char*>(data), n));
        return std::uint8_t(0x01);
    };
    h.firmware_image = [&d] {
        return RelayImage{d.image.data(), d.image.size(), &d.image_size};
    };
    h.write_firmware_block = [&d](HidDevice&, std::size_t offset, std::uint32_t start) {
        if (long(offset) == d.fail_block_at)
            return 1;
        d.blocks_written.push_back(offset);
        d.flash_start = start;
        return 0;
    };
    h.set_device_label = [&d](const std::string& t) { d.labels.push_back(t); };
    h.show_message = [&d](const std::string& t) { d.messages.push_back(t); };
    h.show_connected = [&d](bool on) { d.shown.push_back(on); };
    h.session_changed = [&d](bool on) { d.sessions.push_back(on); };
    h.reconnect_ticked = [&d] { return d.ticked; };
    h.untick_reconnect = [&d] {
        d.ticked = false;
        ++d.unticked;
    };
    h.start_automatic_connect = [&d] { ++d.automatic_attempts; };
}

// A relay connected through a memory channel to a simulated programmer.
struct RelayRig {
    explicit RelayRig(sim::Variant variant = sim::Variant::Programmer64,
                      std::size_t image_capacity = 525296)
        : sim(variant)
    {
        devices.image.assign(image_capacity, 0);
        install_fakes(relay.hooks, devices);
        connect();
        sim.link.return_text_frames = true;
    }

    void connect() { relay.channel = std::make_unique<ForwardingChannel>(channel); }
    bool connected() const { return relay.channel != nullptr; }

    // Hands one block to the parser; returns what the program answered.
    std::string feed(const std::string& block)
    {
        channel.sent.clear();
        relay_handle_block(relay, sim.link, reinterpret_cast<const std::uint8_t*>(block.data()),
                           block.size());
        return channel.sent;
    }
    // Queues blocks on the channel and runs relay steps until they are used.
    std::string run_blocks(const std::vector<std::string>& blocks)
    {
        for (const auto& b : blocks)
            channel.incoming.push_back(b);
        for (int i = 0; i < 1000 && relay.channel && !channel.incoming.empty(); ++i)
            remote_relay_step(relay, sim.link);
        return channel.sent;
    }

    SimLink sim;
    RelayState relay;
    FakeDevices devices;
    MemoryChannel channel;
};

} // namespace tq::test
