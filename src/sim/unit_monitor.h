// What the simulated unit shows to the monitoring tools: its 96 signal bits
// (0x08 answered with 0x09), unsolicited status replies (0x0F) and text
// messages on a schedule. Event memory (640) and the service PIN (1106) are
// plain memory the block commands reach.
#pragma once

#include "sim/alarm_unit.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tq::sim {

struct MonitorPeer {
    std::array<std::uint8_t, 12> signals{};
    // Signals change with time (the demo): lights blink, doors open.
    bool animate_signals = false;

    // The status reply's payload, sent every status_period_ms; 0: never.
    std::array<std::uint8_t, 16> status{};
    int status_period_ms = 0;

    // Text messages sent in turn, one every text_period_ms; 0: never.
    std::vector<std::string> texts;
    int text_period_ms = 0;

    // Bookkeeping of the schedule.
    std::int64_t next_status_ms = -1;
    std::int64_t next_text_ms = -1;
    std::size_t next_text = 0;
};

// Installs the monitoring behaviour on a unit; the returned peer stays
// shared with its handlers, so tests can change what the unit reports.
std::shared_ptr<MonitorPeer> add_monitor_peer(AlarmUnit& unit);

// The status payload: registered, CSQ, HDOP, one unused byte, then
// longitude, latitude and supply voltage as little-endian floats.
std::array<std::uint8_t, 16> status_payload(int registered, int csq, int hdop, float longitude,
                                            float latitude, float voltage);

// The signal field of a time in the demo: a locked car whose hazard lights
// blink for a while, a door that opens now and then, a few inputs active.
std::array<std::uint8_t, 12> demo_signals(std::int64_t now_ms);

// The demo unit: live signals, status every second, a text every few
// seconds, three remembered events and the PIN 1234.
void add_monitor_demo(AlarmUnit& unit);

} // namespace tq::sim
