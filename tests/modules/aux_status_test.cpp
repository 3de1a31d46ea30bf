#include "modules/aux_status.h"
#include "sim/onewire_bus.h"
#include "support/sim_link.h"

#include <gtest/gtest.h>

#include <optional>

namespace tq {
namespace {

struct AuxUnit : test::SimLink {
    std::shared_ptr<sim::OneWireBus> bus = sim::install_onewire_bus(programmer.unit);
    AuxInterfaceState s;
    AuxUnit() { open(); }

    // One main-loop pass: poll one reply (code 0 when none), then the step.
    std::optional<AuxView> pass()
    {
        poll_pass_reply(link);
        return aux_poll(s, link);
    }
    // Passes until a status has been shown.
    std::optional<AuxView> next_view()
    {
        for (int i = 0; i < 8; ++i)
            if (auto v = pass())
                return v;
        return std::nullopt;
    }
};

TEST(AuxStatus, StatusRequestOnEveryFourthPass)
{
    AuxUnit u;
    int requests = 0;
    for (int i = 0; i < 12; ++i) {
        const std::size_t before = u.programmer.unit.received.size();
        u.pass();
        for (std::size_t k = before; k < u.programmer.unit.received.size(); ++k)
            if (u.programmer.unit.received[k].code == 0x8E) {
                EXPECT_EQ(i % 4, 0) << "pass " << i;
                EXPECT_TRUE(u.programmer.unit.received[k].data.empty());
                ++requests;
            }
    }
    EXPECT_EQ(requests, 3);
}

TEST(AuxStatus, DecodesFlagsAndValues)
{
    AuxUnit u;
    sim::AuxInterface& a = u.bus->aux;
    a.data_flag = 0;
    a.state = 0;
    a.program_runtime = 125;
    a.engine_runtime = -3;
    a.temperature = 200;
    a.trip = 1234.56f;
    a.flags[0] = 1;
    a.flags[26] = 7;
    a.led = 1;
    a.aux_input = 1;
    const auto v = u.next_view();
    ASSERT_TRUE(v);
    EXPECT_EQ(v->values[0], "Program runtime: 125 [min]");
    EXPECT_EQ(v->values[1], "Engine runtime: -3 [s]");
    EXPECT_EQ(v->values[2], "Temperature: 200 [\xC2\xB0" "C]");
    EXPECT_EQ(v->values[3], "Trip counter: 1234.6 [km]");
    EXPECT_EQ(v->flag_colour[0], kAuxRed);
    EXPECT_EQ(v->flag_colour[1], kAuxDefault);
    EXPECT_EQ(v->flag_colour[26], kAuxRed);
    EXPECT_EQ(v->flag_colour[kAuxFlagProgramming], kAuxDefault);
    EXPECT_EQ(v->flag_colour[kAuxFlagAuxInput], kAuxRed);
    EXPECT_TRUE(v->led);
}

TEST(AuxStatus, ValuesHiddenByTheDataFlagAndAZeroTrip)
{
    AuxUnit u;
    u.bus->aux.program_runtime = 5;
    u.bus->aux.trip = 0.0f;
    auto v = u.next_view();
    ASSERT_TRUE(v);
    EXPECT_FALSE(v->values[0].empty());
    EXPECT_TRUE(v->values[3].empty());
    u.bus->aux.data_flag = 1;
    u.bus->aux.trip = 3.0f;
    v = u.next_view();
    ASSERT_TRUE(v);
    for (const std::string& line : v->values)
        EXPECT_TRUE(line.empty());
}

TEST(AuxStatus, StatesSetTheStatusLinePicturesAndButtons)
{
    struct Case {
        const char* name;
        std::uint8_t state, data_flag, present;
        int programming_flag, programming_picture;
        const char* status;
        int mode;
        std::array<bool, 7> buttons; // LOCK UNLOCK TRUNK START STOP QUERY PROGRAM
    } cases[] = {
        {"ready", 0, 1, 1, kAuxDefault, kAuxDefault, "Module ready.", kAuxReady,
         {true, true, true, true, true, true, false}},
        {"not responding", 0, 0, 1, kAuxDefault, kAuxDefault, "Module not responding.",
         kAuxNotResponding, {false, false, false, false, false, true, false}},
        {"programming", 1, 1, 1, kAuxRed, kAuxRed, "", kAuxProgramming,
         {false, false, false, false, false, false, true}},
        {"programming, remote heard", 2, 0, 1, kAuxYellow, kAuxGreen, "", kAuxProgramming,
         {false, false, false, false, false, false, true}},
        {"not present", 0, 0, 0, kAuxDefault, kAuxDefault, "Interface not present.",
         kAuxNotPresent, {false, false, false, false, false, false, false}},
        {"not present while programming", 2, 1, 0, kAuxYellow, kAuxGreen,
         "Interface not present.", kAuxNotPresent, {false, false, false, false, false, false, false}},
    };
    for (const Case& c : cases) {
        AuxUnit u;
        u.bus->aux.state = c.state;
        u.bus->aux.data_flag = c.data_flag;
        u.bus->aux.present = c.present;
        const auto v = u.next_view();
        ASSERT_TRUE(v) << c.name;
        EXPECT_EQ(v->flag_colour[kAuxFlagProgramming], c.programming_flag) << c.name;
        EXPECT_EQ(v->programming, c.programming_picture) << c.name;
        EXPECT_EQ(v->status, c.status) << c.name;
        EXPECT_EQ(v->mode, c.mode) << c.name;
        EXPECT_TRUE(v->buttons_changed) << c.name;
        EXPECT_EQ(v->buttons, c.buttons) << c.name;
        // The same mode again leaves the buttons alone.
        const auto again = u.next_view();
        ASSERT_TRUE(again);
        EXPECT_FALSE(again->buttons_changed) << c.name;
    }
}

TEST(AuxStatus, RepliesOutOfRangeAreIgnored)
{
    AuxUnit u;
    u.bus->aux.state = 3;
    for (int i = 0; i < 8; ++i)
        EXPECT_FALSE(u.pass());
    EXPECT_EQ(u.s.last_mode, -1);

    // A status reply too short to hold its fields is not read.
    u.programmer.unit.on(0x8E, [](sim::AlarmUnit& unit, auto) { unit.reply(0x8E, {0, 0, 1, 2}); });
    for (int i = 0; i < 8; ++i)
        EXPECT_FALSE(u.pass());
}

TEST(AuxStatus, CommandsSendTheirCodes)
{
    AuxUnit u;
    for (int i = 0; i < kAuxCommandCount; ++i)
        send_aux_command(u.link, i);
    EXPECT_EQ(u.bus->aux_commands,
              (std::vector<std::uint8_t>{0x0A, 0x16, 0x19, 0x12, 0x13, 0xFF, 0xFE}));
    EXPECT_STREQ(kAuxCommandNames[kAuxProgramRemote], "PROGRAM REMOTE");
    EXPECT_STREQ(kAuxFlagNames[27], "PROGRAMMING_MODE");
}

} // namespace
} // namespace tq
