// The simulated USB HID programmer: the report-level peer of the link. It
// assembles frame text from output reports, hands checked command frames to
// the alarm unit behind it, and answers poll requests with the unit's reply
// frames cut into input reports. Written from the wire description alone, so
// that it checks the link's codec instead of mirroring it.
#pragma once

#include "link/hid_port.h"
#include "sim/alarm_unit.h"

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tq::sim {

enum class Variant {
    Programmer64,  // 0xF1C9, 64-byte reports, "USB HID Progr"
    Programmer8,   // 0xF1F7, 8-byte reports, "USB HID Progr"
    Usbic,         // 0xF1F5, 8-byte reports, "USBIC"
    Bootloader,    // 0xF1C9, "USB Bootloader": no unit behind it
};

struct Faults {
    // Unplug (Programmer::unplug) once this many more reports (written or
    // read) have passed; -1 never.
    int unplug_after_reports = -1;
    // Garble the checksum of the next reply frame.
    bool corrupt_next_reply = false;
    // Lose the next reply frame.
    bool drop_next_reply = false;
    // Report this many bytes written instead of all of them (short write); -1 never.
    int short_write = -1;
};

class Programmer {
public:
    explicit Programmer(Variant variant = Variant::Programmer64);

    Variant variant() const { return variant_; }
    void set_variant(Variant v) { variant_ = v; }
    std::uint16_t product_id() const;
    std::string product_string() const;
    int report_size() const;

    AlarmUnit unit;
    Faults faults;
    // Charged on the clock for every report written or read (benchmarks).
    int latency_per_report_ms = 0;
    // What the wire itself took: reports carried and read time-outs waited.
    long reports_carried = 0;
    long timeout_ms_waited = 0;
    // Send every queued reply in one chain of reports instead of one per poll.
    bool batch_replies = false;
    bool plugged = true;
    // Cleared: plugged in and seen on the bus, but this user may not open
    // it (no udev rule, or not at the seat).
    bool openable = true;

    // Output reports seen, for tests that look at the wire (ID byte included);
    // none are kept while keep_written is cleared (fuzzing: a report costs
    // an allocation).
    std::vector<std::vector<std::uint8_t>> written;
    bool keep_written = true;
    int polls_seen = 0;

    // Raw input reports queued as they are (tests of odd programmer output).
    void queue_input_report(std::vector<std::uint8_t> report);

    // While the variant is Bootloader and this is set, every output report
    // (ID byte included) goes here instead of the frame assembler; answers
    // are queued with queue_input_report. See sim/usb_bootloader.h.
    std::function<void(Programmer&, std::span<const std::uint8_t>)> bootloader_reports;

    // The device drops off the bus and comes back as `variant` after
    // absent_ms on the clock (never, when negative). Handles opened before
    // stop working, as a re-enumerated USB device's would.
    void reenumerate(Variant variant, int absent_ms);
    // The cable is pulled: the programmer loses its power, its queued
    // reports and the frame it was assembling; handles opened before stay
    // dead when it is plugged in again (plugged = true).
    void unplug();
    int generation() const { return generation_; }
    bool present() const;

    // HidDevice side.
    int write(const std::uint8_t* data, std::size_t length);
    int read(std::uint8_t* data, std::size_t length, int timeout_ms);

private:
    bool charge_report();
    void take_frame_text();
    void queue_text(const std::string& text);
    void append_reply_text(std::string& text, const Frame& frame);

    Variant variant_;
    int generation_ = 0;
    bool gone_for_good_ = false;
    std::int64_t back_at_ms_ = 0;
    std::string assembling_;
    std::vector<std::uint8_t> frame_bytes_; // the frame being taken, decoded
    // Input reports waiting to be read, each report_size() bytes as queued.
    struct InputReport {
        std::array<std::uint8_t, 64> bytes{};
        std::size_t size = 0;
    };
    std::deque<InputReport> input_;
    std::string reply_text_; // the text of the replies being queued
};

// A HidPort that finds the simulated programmer while it is plugged in.
class SimPort final : public HidPort {
public:
    explicit SimPort(Programmer& programmer) : programmer_(programmer) {}
    std::unique_ptr<HidDevice> open(std::uint16_t vendor, std::uint16_t product) override;
    std::optional<std::vector<std::uint16_t>> plugged_in(std::uint16_t vendor) override;
    int opens = 0;

private:
    Programmer& programmer_;
};

} // namespace tq::sim
