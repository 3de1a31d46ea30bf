// The radio module behind the alarm unit's bridge, as the wire shows it:
// radio mode (0x85 / 0x8C), bridge buffers written with 0x86 and read with
// 0x87, the module's text commands with a table of paired devices and an
// event queue, the information block, the boot-mode switch, the .ble loader
// of chipset 0 and an nRF Secure DFU target (serial, SLIP) of chipset 1.
// Faults: busy answers, read errors, late or broken reply lines, missing
// acknowledges, a skewed SELECT offset, a failing EXECUTE.
#pragma once

#include "sim/alarm_unit.h"

#include <array>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace tq::sim {

struct RadioDevice {
    int type = 3;
    int subtype = 0;
    std::string name;
};

struct RadioEventRecord {
    unsigned bits = 0, flag = 0, slot = 0, fourth = 0, power = 0xFF, voltage = 0, signal = 0;
    bool long_form = false;
    int major = 0, minor = 0, patch = 0;
};

// The nRF Secure DFU bootloader on the far side of the SLIP bytes.
class DfuTargetSim {
public:
    static constexpr std::uint32_t kCommandMax = 512;
    static constexpr std::uint32_t kDataMax = 4096;

    // Bytes the bridge passed on; responses go to out.
    void feed(const std::vector<std::uint8_t>& bytes, std::vector<std::uint8_t>& out);

    std::vector<std::uint8_t> init;    // command object as received
    std::vector<std::uint8_t> image;   // data objects as received
    bool init_valid = false;
    bool activated = false;            // the whole image arrived, checked and executed
    int creates = 0, executes = 0, writes = 0;

    // Faults.
    int skew_select_offset = 0;        // the next n data SELECTs report a wrong offset
    bool fail_verification = false;    // the last EXECUTE answers 0x0B 0x0C
    int drop_responses = 0;            // the next n responses are never sent

private:
    void handle(const std::vector<std::uint8_t>& req, std::vector<std::uint8_t>& out);
    void respond(std::vector<std::uint8_t> resp, std::vector<std::uint8_t>& out);

    std::vector<std::uint8_t> pending_;  // request bytes before their 0xC0
    int object_type_ = 0;
    std::uint32_t command_size_ = 0;
    std::uint32_t object_start_ = 0, object_size_ = 0;
    std::uint32_t executed_ = 0;         // data bytes in executed objects
    std::uint32_t expected_size_ = 0, expected_crc_ = 0;
};

// An init packet the simulated target accepts for image: "SIMDFU1", NUL,
// size and CRC-32 (little-endian), padded to length bytes.
std::vector<std::uint8_t> sim_init_packet(const std::vector<std::uint8_t>& image,
                                          std::size_t length = 140);

class RadioModuleSim {
public:
    explicit RadioModuleSim(AlarmUnit& unit);

    // Identity.
    std::string version = "1.5.6";
    std::string mac = "C8:FD:19:4A:22:10";
    std::uint32_t id_low = 1234567, id_high = 0x00A1B2C3;
    int chipset = 0;
    std::string info_version = "2.14";
    // The information block as answered: its count byte, the bytes that
    // follow it, and byte 15 (-1: the chipset's digit).
    int info_count = 16;
    std::size_t info_bytes = 16;
    int info_chip_byte = -1;
    int name_max = 20;
    std::string default_name = "ZORVIK BLE";
    std::string name = default_name;
    std::string password;

    // Devices and events.
    std::vector<RadioDevice> devices;
    bool pairing = false;
    std::uint8_t end_mode = 0xE8;       // mode after pairing: E8, E9 or EA
    std::uint16_t heard = 0;            // slots heard (command 02)
    std::deque<RadioEventRecord> events;
    unsigned query_slot = 0, query_code = 0; // command 1F
    std::vector<std::string> record_resets;  // command 18 data
    // A device pairs while pairing is on: pairing ends (EA when full).
    void pair(const RadioDevice& device);

    // What the tool sent.
    std::vector<std::string> lines;     // request lines, as written
    bool keep_lines = true;             // cleared: none kept (fuzzing: a line costs allocations)
    bool radio_mode = false;
    int enters = 0, leaves = 0, resets = 0;
    // Radio-mode requests (0x85 and 0x8C) with the time each came.
    std::vector<std::pair<std::uint8_t, std::int64_t>> access_times;

    // Boot mode.
    bool confirm_boot = true;
    bool boot_mode = false;
    int boot_kind = -1;                 // 0 file update, 1 wireless
    std::vector<std::uint8_t> ble_staging, flash;
    bool erased = false, saved = false;
    int ble_chunks = 0;
    DfuTargetSim dfu;

    // Faults.
    int busy_access = 0;      // the next n 0x85 requests are answered busy
    int busy_access_after = 0; // ... after so many more have been answered normally
    int busy_writes = 0;      // the next n writes of request lines are answered busy
    int read_errors = 0;      // the next n reads of the reply buffer fail
    int reply_delay_ms = 0;   // a reply line becomes readable this long after its request
    int broken_replies = 0;   // the next n reply lines carry a wrong CRC
    int refused_replies = 0;  // the next n reply lines have status "6"
    // A request of a code the module does not know is refused (status "6")
    // unless this is set; then it is answered with status "0" and no data.
    bool answer_unknown_codes = false;
    std::string stale_text;   // left in the reply buffer before the next reply
    int silent_slip_writes = 0; // the next n SLIP half-writes get no acknowledge
    // The next n first halves of SLIP pieces are acknowledged only this long
    // after they were written, when the host has stopped waiting.
    int late_slip_acks = 0;
    int late_ack_ms = 600;
    std::size_t read_limit = 0x2A; // at most this many bytes per read of the reply buffer

private:
    void on_access(std::span<const std::uint8_t> d);
    void on_write(std::span<const std::uint8_t> d);
    void on_read(std::span<const std::uint8_t> d);
    void text_command(std::string_view line);
    std::string answer(const std::string& code, const std::string& data, char& status);
    void ble_packet(std::span<const std::uint8_t> data);

    AlarmUnit& unit_;
    std::vector<std::uint8_t> out_;     // the reply buffer 0xBC
    std::int64_t out_ready_at_ = 0;
    std::vector<std::uint8_t> slip_first_;
    std::deque<std::pair<std::int64_t, std::vector<std::uint8_t>>> late_acks_; // when, payload
};

// The one-wire radio receiver of older units, heard through 0x82. It sits on
// the unit's one-wire bus (onewire_bus.h), which lists it.
class OneWireReceiverSim {
public:
    explicit OneWireReceiverSim(AlarmUnit& unit);

    std::array<std::uint8_t, 8> id = {0xA0, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x00};
    bool present = true;
    std::vector<std::vector<std::uint8_t>> packets;  // 0x82 packets as received
    std::vector<int> taught;                         // remote numbers taught
    bool erased = false;

    // A remote's lock and unlock buttons, or a fobrix, heard by the
    // receiver; reported with the next poll packet.
    void press_remote(int number);
    void press_fobrix(int number);

private:
    void on_poll(std::span<const std::uint8_t> d);
    std::uint8_t mode_ = 0;
    std::deque<std::array<std::uint8_t, 4>> events_;
    AlarmUnit& unit_;
};

class Programmer;
// The demo unit's radio module and receiver (live as long as the program).
void install_demo_radio(Programmer& programmer);

} // namespace tq::sim
