// A simulated alarm unit: the device behind the programmer. It takes decoded
// command frames and answers with reply frames, from a memory image and an
// identity. Peer behaviour of other subsystems is added by registering
// command handlers (see on()).
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <span>
#include <string>
#include <vector>

namespace tq::sim {

struct Frame {
    std::uint8_t code = 0;
    std::vector<std::uint8_t> data;
};

struct UnitIdentity {
    int model = 512;          // as the version reply reports it (512, 513, 612, ...)
    int major = 4;
    int minor = 81;
    std::uint8_t hardware_family = 6;
    std::uint8_t hardware_type = 11;
    std::uint32_t serial = 1234;
    bool answers_hardware_type = true;
    bool answers_serial = true;
    // First contact (0x01) is answered with status 2, 1; otherwise with the
    // version reply straight away.
    bool hello_with_status = true;

    int firmware_version() const { return major * 256 + minor; }
};

class AlarmUnit {
public:
    using Handler = std::function<void(AlarmUnit&, std::span<const std::uint8_t> data)>;

    AlarmUnit();

    UnitIdentity identity;
    std::array<std::uint8_t, 65536> memory{};
    // Reads of memory that begin at one of these addresses go unanswered.
    std::set<int> unanswered_reads;
    // Every command the unit has received, in order (tests read it); none
    // are kept while keep_received is cleared (fuzzing: a command costs
    // allocations).
    std::vector<Frame> received;
    bool keep_received = true;

    // Handles one command frame from the host.
    void command(std::uint8_t code, std::span<const std::uint8_t> data);
    // Replaces (or adds) the handler of a command code.
    void on(std::uint8_t code, Handler handler) { handlers_[code] = std::move(handler); }
    // Adds something the unit does by itself (unsolicited messages); every
    // idle handler runs whenever the host polls the programmer.
    void on_idle(std::function<void(AlarmUnit&)> handler) { idle_handlers_.push_back(std::move(handler)); }
    void idle();

    // Queues a reply frame for the host.
    void reply(std::uint8_t code, std::vector<std::uint8_t> payload);
    // Queues a text message (reply code 0xFF).
    void send_text(const std::string& text);

    bool has_reply() const { return !outbox_.empty(); }
    Frame take_reply();
    void clear_replies() { outbox_.clear(); }

    // A block write the unit accepted: address and bytes (tests read it).
    struct Write {
        int address;
        std::vector<std::uint8_t> bytes;
    };
    std::vector<Write> writes;

private:
    void install_core_handlers();

    std::map<std::uint8_t, Handler> handlers_;
    std::vector<std::function<void(AlarmUnit&)>> idle_handlers_;
    std::deque<Frame> outbox_;
};

} // namespace tq::sim
