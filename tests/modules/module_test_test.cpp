#include "modules/module_test.h"
#include "module_unit.h"

#include <gtest/gtest.h>

namespace tq {
namespace {

using test::Bytes;
using test::ModuleUnit;

std::array<bool, 6> open_windows(std::initializer_list<int> which)
{
    std::array<bool, 6> open{};
    for (int w : which)
        open[std::size_t(w)] = true;
    return open;
}

// Module test commands the unit received (0xA5..0xAC).
std::vector<sim::Frame> module_commands(const ModuleUnit& u)
{
    std::vector<sim::Frame> out;
    for (const sim::Frame& f : u.programmer.unit.received)
        if (f.code >= 0xA5 && f.code <= 0xAC)
            out.push_back(f);
    return out;
}

TEST(ModuleTest, OutputTestValuesAreChecked)
{
    using E = std::array<std::string, 6>;
    struct Case {
        E entries;
        bool valid;
    } cases[] = {
        {{"1", "1", "5", "1", "1", "5"}, true},
        {{"0", "1", "1", "0", "1", "1"}, true},       // counts may be 0
        {{"254", "254", "254", "254", "254", "254"}, true},
        {{"1", "0", "5", "1", "1", "5"}, false},      // an on time of 0
        {{"1", "1", "5", "1", "1", "0"}, false},      // an off time of 0
        {{"255", "1", "5", "1", "1", "5"}, false},
        {{"1", "1", "5", "1", "1", ""}, false},
        {{"1", "1", "-5", "1", "1", "5"}, false},
        {{"1", "1", "5x", "1", "1", "5"}, false},
        {{"1", "1", " 5", "1", "1", "5"}, false},
        {{"1", "1", "0005", "1", "1", "5"}, false},
        {{"99999999999999999999", "1", "5", "1", "1", "5"}, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(parse_output_test(c.entries).has_value(), c.valid)
            << c.entries[0] << " " << c.entries[1] << " " << c.entries[2] << " " << c.entries[5];
    const auto v = parse_output_test({"0", "12", "3", "254", "1", "9"});
    ASSERT_TRUE(v);
    EXPECT_EQ(*v, (std::array<std::uint8_t, 6>{0, 12, 3, 254, 1, 9}));
}

TEST(ModuleTest, SwitchAndOutputTestReportTheResult)
{
    ModuleUnit u;
    EXPECT_EQ(switch_bistable(u.link, kTestKindTq001, 1, true), kTextRequestSucceeded);
    EXPECT_EQ(u.bus->tq001_switch[1], 1);
    EXPECT_EQ(switch_bistable(u.link, kTestKindTq002, 0, false), kTextRequestSucceeded);
    EXPECT_EQ(u.bus->tq002_switch[0], 0);
    EXPECT_EQ(run_output_test(u.link, 1, {2, 3, 4, 5, 6, 7}), kTextRequestSucceeded);
    EXPECT_EQ(u.bus->output_tests[1], (Bytes{2, 3, 4, 5, 6, 7}));
    const auto cmds = module_commands(u);
    ASSERT_EQ(cmds.size(), 3u);
    EXPECT_EQ(cmds[0].code, 0xA6);
    EXPECT_EQ(cmds[0].data, (Bytes{1, 1}));
    EXPECT_EQ(cmds[1].code, 0xA7);
    EXPECT_EQ(cmds[1].data, (Bytes{0, 0}));
    EXPECT_EQ(cmds[2].code, 0xA8);
    EXPECT_EQ(cmds[2].data, (Bytes{1, 2, 3, 4, 5, 6, 7}));

    // Refused, then unanswered: both fail, the wait is bounded.
    u.bus->switch_result = 0;
    EXPECT_EQ(switch_bistable(u.link, kTestKindTq001, 0, true), kTextRequestFailed);
    u.bus->answers_switch = false;
    auto start = platform::now_ms();
    EXPECT_EQ(switch_bistable(u.link, kTestKindTq001, 0, true), kTextRequestFailed);
    EXPECT_GE(platform::now_ms() - start, 40 * 50);
    EXPECT_LT(platform::now_ms() - start, 40 * 50 + 2000);
    start = platform::now_ms();
    EXPECT_EQ(run_output_test(u.link, 0, {1, 1, 5, 1, 1, 5}), kTextRequestFailed);
    EXPECT_GE(platform::now_ms() - start, 20 * 50);
    EXPECT_LT(platform::now_ms() - start, 20 * 50 + 2000);
}

TEST(ModuleTest, PollSlotsServeTheirWindowsInTurn)
{
    ModuleUnit u;
    u.bus->tq002_millivolts[0] = {12340, 5};
    u.bus->tq002_millivolts[1] = {1000, 2000};
    u.bus->module_inputs = {0x06, 0x05};
    u.m.output_state = {1, 0};
    const auto all = open_windows({kTestAux, kTestCableLoom, kTestTq002First, kTestTq002Second});

    std::vector<int> slots;
    std::vector<ModulePoll> polls;
    for (int i = 0; i < 5; ++i) {
        polls.push_back(module_test_poll(u.m, u.link, all));
        slots.push_back(u.m.poll_slot);
    }
    EXPECT_EQ(slots, (std::vector<int>{1, 2, 3, 4, 0}));

    EXPECT_EQ(polls[4].what, ModulePoll::Voltages); // slot 0
    EXPECT_EQ(polls[4].window, kTestTq002First);
    EXPECT_EQ(volts_text(polls[4].volts[0]), "12.34 [V]");
    EXPECT_EQ(volts_text(polls[4].volts[1]), "0.01 [V]");
    EXPECT_EQ(polls[0].window, kTestTq002Second);    // slot 1
    EXPECT_EQ(volts_text(polls[0].volts[1]), "2.00 [V]");

    EXPECT_EQ(polls[1].what, ModulePoll::Status);   // slot 2: AUX module
    EXPECT_EQ(polls[1].window, kTestAux);
    EXPECT_TRUE(polls[1].responding);
    EXPECT_EQ(polls[1].inputs, (std::array<bool, 3>{true, true, false}));
    EXPECT_EQ(u.bus->module_output[0], 1);
    EXPECT_EQ(polls[2].window, kTestCableLoom);      // slot 3: bits 1, 2, 0
    EXPECT_EQ(polls[2].inputs, (std::array<bool, 3>{false, true, true}));
    EXPECT_EQ(u.bus->module_output[1], 0);
    EXPECT_EQ(polls[3].what, ModulePoll::Nothing);  // slot 4, no TQ001 window
    EXPECT_EQ(u.bus->keep_test_requests, 0);

    // Closed windows are not polled at all.
    const std::size_t before = u.programmer.unit.received.size();
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(module_test_poll(u.m, u.link, open_windows({})).what, ModulePoll::Nothing);
    EXPECT_EQ(u.programmer.unit.received.size(), before);
}

TEST(ModuleTest, KeepTestOnlyWhileOnlyTq001WindowsAreOpen)
{
    struct Case {
        std::array<bool, 6> open;
        int keep_requests;
    } cases[] = {
        {open_windows({kTestTq001First}), 1},
        {open_windows({kTestTq001Second, kTestAux}), 1},
        {open_windows({kTestTq001First, kTestTq002Second}), 0},
        {open_windows({kTestTq002First}), 0},
    };
    for (const Case& c : cases) {
        ModuleUnit u;
        for (int i = 0; i < 5; ++i)
            module_test_poll(u.m, u.link, c.open);
        EXPECT_EQ(u.bus->keep_test_requests, c.keep_requests);
    }
}

TEST(ModuleTest, SilentOrRefusingModules)
{
    ModuleUnit u;
    u.bus->tq002_present[0] = false;
    u.bus->module_responds[0] = false;
    const auto open = open_windows({kTestAux, kTestTq002First});
    ModulePoll p;
    do {
        p = module_test_poll(u.m, u.link, open);
        if (u.m.poll_slot == 0) {
            EXPECT_EQ(p.what, ModulePoll::Nothing); // result 0 leaves the voltages
        }
        if (u.m.poll_slot == 2) {
            EXPECT_EQ(p.what, ModulePoll::Status);
            EXPECT_FALSE(p.responding);
        }
    } while (u.m.poll_slot != 0);

    // No answer at all: the display stays, the wait is bounded.
    u.programmer.unit.on(0xA9, [](sim::AlarmUnit&, auto) {});
    const auto start = platform::now_ms();
    p = module_test_poll(u.m, u.link, open); // slot 1: closed
    p = module_test_poll(u.m, u.link, open); // slot 2
    EXPECT_EQ(p.what, ModulePoll::Nothing);
    EXPECT_LT(platform::now_ms() - start, 10 * 50 + 1000);
}

TEST(ModuleTest, TitlesAndIndices)
{
    const OneWireId id = {0xA7, 0x02, 0x01, 0x20, 0, 0, 0, 0x9C};
    EXPECT_EQ(module_test_title(kTestKindTq002, 1, id), "TQ002 (2) 1wire address: A70201200000009C.");
    EXPECT_EQ(module_test_index(kTestKindAuxOrLoom, 1), kTestCableLoom);
    EXPECT_EQ(module_test_index(kTestKindTq001, 1), kTestTq001Second);
    EXPECT_EQ(module_test_index(kTestKindTq002, 0), kTestTq002First);
    EXPECT_EQ(module_test_index(3, 0), -1);
    EXPECT_EQ(module_test_index(kTestKindTq001, 2), -1);
}

} // namespace
} // namespace tq
