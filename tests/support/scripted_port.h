// A scripted HID device for exchanges where the exact reports are the point:
// it records every output report and serves queued input reports in order.
#pragma once

#include "link/hid_port.h"

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace tq::test {

struct Script {
    std::string product = "USB HID Progr";
    std::vector<std::vector<std::uint8_t>> written;   // with the report ID byte
    std::deque<std::vector<std::uint8_t>> input;      // reports as read (no ID byte)
    int short_write_at = -1;                          // index of a write that comes up short
    int reads = 0;

    // Queues frame text in input reports of the given size: flags 0x40, 0x20
    // while more follow.
    void queue_text(std::string_view text, int report_size);
    void queue_report(std::vector<std::uint8_t> report, int report_size);
    // Poll requests written so far.
    int polls() const;
};

class ScriptedPort final : public HidPort {
public:
    ScriptedPort(Script& script, std::uint16_t product_id = 0xF1C9)
        : script_(script), product_id_(product_id) {}
    std::unique_ptr<HidDevice> open(std::uint16_t vendor, std::uint16_t product) override;

private:
    Script& script_;
    std::uint16_t product_id_;
};

} // namespace tq::test
