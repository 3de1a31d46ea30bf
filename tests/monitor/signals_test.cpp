#include "monitor/signals.h"
#include "sim/unit_monitor.h"
#include "support/sim_link.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace tq {
namespace {

struct Redraws {
    std::vector<std::pair<int, bool>> calls;
    SignalRedraw fn()
    {
        return [this](int bit, bool on) { calls.emplace_back(bit, on); };
    }
};

TEST(SignalTable, NamelessBitsAreExactlyTheUnnamedOnesAndBlack)
{
    const std::set<int> nameless = {25, 28, 30, 31, 44, 45, 46, 47, 49, 52, 54, 69, 70, 72, 80,
                                    81, 82, 83, 84, 85, 86, 87, 89, 90, 91, 92, 93, 94, 95};
    for (int i = 0; i < kSignalCount; ++i) {
        const SignalInfo& s = kSignals[std::size_t(i)];
        EXPECT_EQ(s.name == nullptr, nameless.count(i) == 1) << i;
        if (!s.name) {
            EXPECT_EQ(s.rgb, 0u) << i;
        }
    }
}

TEST(SignalMonitor, OnlyButtonsWhoseBitChangedAreRedrawn)
{
    SignalMonitorState s;
    Redraws r;
    std::uint8_t field[kSignalBytes] = {};

    EXPECT_EQ(apply_signal_field(s, field, r.fn()), 0) << "all clear shows nothing new";

    field[0] = 0x01;
    field[11] = 0x80;
    apply_signal_field(s, field, r.fn());
    EXPECT_EQ(r.calls, (std::vector<std::pair<int, bool>>{{0, true}, {95, true}}));

    r.calls.clear();
    EXPECT_EQ(apply_signal_field(s, field, r.fn()), 0) << "the same field again redraws nothing";

    field[0] = 0x04; // LOCK off, UNLOCK TRUNK on
    field[6] = 0x10; // bit 52
    apply_signal_field(s, field, r.fn());
    EXPECT_EQ(r.calls, (std::vector<std::pair<int, bool>>{{0, false}, {2, true}, {52, true}}));

    r.calls.clear();
    std::uint8_t clear[kSignalBytes] = {};
    apply_signal_field(s, clear, r.fn());
    EXPECT_EQ(r.calls, (std::vector<std::pair<int, bool>>{{2, false}, {52, false}, {95, false}}));
}

TEST(SignalMonitor, PollAppliesSignalRepliesAndAlwaysAsksAgain)
{
    test::SimLink sim;
    ASSERT_EQ(sim.open(), OpenResult::Programmer);
    auto peer = sim::add_monitor_peer(sim.programmer.unit);
    peer->signals[1] = 0x01; // bit 8, DOOR_FRONT_LEFT
    SignalMonitorState s;
    Redraws r;

    sim.link.reply[1] = 0; // nothing arrived
    signal_monitor_poll(sim.link, s, r.fn());
    EXPECT_TRUE(r.calls.empty());
    ASSERT_EQ(sim.programmer.unit.received.back().code, 0x08);
    EXPECT_EQ(sim.programmer.unit.received.back().data, std::vector<std::uint8_t>{0x00});

    ASSERT_EQ(poll_reply(sim.link), 1);
    signal_monitor_poll(sim.link, s, r.fn());
    EXPECT_EQ(r.calls, (std::vector<std::pair<int, bool>>{{8, true}}));

    // Another reply code: no change, but the next request still goes out.
    const auto sent = sim.programmer.unit.received.size();
    sim.link.reply[1] = 0x06;
    signal_monitor_poll(sim.link, s, r.fn());
    EXPECT_EQ(r.calls.size(), 1u);
    EXPECT_EQ(sim.programmer.unit.received.size(), sent + 1);

    // A signal reply too short to hold all bits is not applied.
    sim.link.reply = {};
    sim.link.reply[0] = 3;
    sim.link.reply[1] = 0x09;
    sim.link.reply[2] = 0xFF;
    sim.link.reply_length = 5;
    signal_monitor_poll(sim.link, s, r.fn());
    EXPECT_EQ(r.calls.size(), 1u);
}

} // namespace
} // namespace tq
