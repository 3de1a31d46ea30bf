// The simulated unit's monitoring behaviour: what --simulate shows.
#include "sim/unit_monitor.h"
#include "support/sim_link.h"

#include <gtest/gtest.h>

namespace tq {
namespace {

TEST(SimMonitor, TextsAndStatusRepliesArriveOnTheirSchedule)
{
    test::SimLink sim;
    ASSERT_EQ(sim.open(), OpenResult::Programmer);
    auto peer = sim::add_monitor_peer(sim.programmer.unit);
    peer->texts = {"one\r\n", "two\r\n"};
    peer->text_period_ms = 1000;
    peer->status = sim::status_payload(1, 23, 12, 20.0f, 50.0f, 12.5f);
    peer->status_period_ms = 500;

    int status_replies = 0;
    const auto start = sim.clock->now_ms();
    while (sim.clock->now_ms() - start < 3100) {
        if (poll_reply(sim.link) && sim.link.reply_code() == 0x0F) {
            ++status_replies;
            EXPECT_EQ(sim.link.reply_length - 3, 16);
        }
        sim.clock->advance(10);
    }
    EXPECT_EQ(sim.console, "one\r\ntwo\r\none\r\n");
    EXPECT_GE(status_replies, 6);
    EXPECT_LE(status_replies, 7);
}

TEST(SimMonitor, DemoSignalsChangeOverTime)
{
    const auto locked = sim::demo_signals(1'000'000'000);     // second 0 of a cycle
    const auto driving = sim::demo_signals(1'000'000'000 + 15'000);
    EXPECT_TRUE(locked[0] & 0x40) << "LOCK_STATE while locked";
    EXPECT_FALSE(driving[0] & 0x40);
    EXPECT_TRUE(driving[2] & 0x01) << "GLOBAL_IGNITION while driving";
}

} // namespace
} // namespace tq
