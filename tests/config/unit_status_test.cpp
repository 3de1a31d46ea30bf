#include "config/unit_status.h"
#include "support/sim_link.h"
#include "text/texts.h"

#include <gtest/gtest.h>

#include <cstring>

namespace tq {
namespace {

TEST(EventMemory, EventCodesHaveTheirNames)
{
    text_state().texts = &kTextsEnglish;
    const std::pair<int, const char*> cases[] = {
        {0, "---"},        {1, "FL door"},   {2, "FR door"},      {3, "RL door"},
        {4, "RR door"},    {5, "trunk"},     {6, "bonnet"},       {7, "bonnet (additional input)"},
        {8, "additional sensor"},            {9, "ACC"},          {10, "ignition"},
        {11, "ignition (additional input)"}, {12, "OEM alarm"},   {13, "door (additional input)"},
        {14, "additional sensor 2 prealarm"}, {15, "additional sensor 2"}, {16, "PAGER function"},
        {17, "PANIC function"}, {18, "ANTI-HIJACK function"}, {19, "geofence function"},
        {20, "programmer connected"}, {21, "Alarm no 21"}, {200, "Alarm no 200"},
    };
    for (const auto& [code, name] : cases)
        EXPECT_EQ(event_name(code), name) << code;
}

struct EventStep : ::testing::Test {
    void SetUp() override
    {
        text_state().texts = &kTextsEnglish;
        ASSERT_EQ(sim.open(), OpenResult::Programmer);
        auto& m = sim.programmer.unit.memory;
        m[640] = 1;
        m[641] = 12;
        m[642] = 21;
    }
    int reads_sent() const
    {
        int n = 0;
        for (const auto& f : sim.programmer.unit.received)
            n += f.code == 0x05 && f.data == std::vector<std::uint8_t>{128, 3};
        return n;
    }
    // One pass of the connected state: poll a reply, then the step.
    void pass()
    {
        poll_pass_reply(sim.link);
        event_memory_step(sim.link, count, [this](int i, const std::string& n) { shown[std::size_t(i)] = n; });
    }

    test::SimLink sim;
    unsigned count = 0;
    std::array<std::string, 3> shown;
};

TEST_F(EventStep, ReadsEveryEighthStepAndShowsTheNames)
{
    pass();
    EXPECT_EQ(reads_sent(), 1) << "the first step asks at once";
    for (int i = 0; i < 7; ++i)
        pass();
    EXPECT_EQ(reads_sent(), 1) << "the next seven do not";
    EXPECT_EQ(shown, (std::array<std::string, 3>{"FL door", "OEM alarm", "Alarm no 21"}));
    pass();
    EXPECT_EQ(reads_sent(), 2);
}

TEST_F(EventStep, OtherRepliesAreIgnoredAndEraseClearsTheMemory)
{
    // A block reply of another address changes nothing.
    sim.programmer.unit.reply(0x06, {129, 3, 1, 2, 3});
    count = 1; // no read request of its own this time
    pass();
    EXPECT_EQ(sim.link.reply_code(), 0x06);
    EXPECT_EQ(shown, (std::array<std::string, 3>{}));

    erase_event_memory(sim.link);
    EXPECT_EQ(sim.programmer.unit.received.back().code, 0x06);
    EXPECT_EQ(sim.programmer.unit.received.back().data, (std::vector<std::uint8_t>{128, 3, 0, 0, 0}));
    for (int i = 0; i < 9; ++i)
        pass();
    EXPECT_EQ(shown, (std::array<std::string, 3>{"---", "---", "---"}));
}

void status_reply(LinkState& link, std::initializer_list<std::uint8_t> payload)
{
    link.reply = {};
    link.reply[0] = std::uint8_t(payload.size() + 1);
    link.reply[1] = 0x0F;
    std::copy(payload.begin(), payload.end(), link.reply.begin() + 2);
    link.reply_length = int(payload.size()) + 3;
}

TEST(Diagnostics, StatusReplyIsDecodedAndFormatted)
{
    LinkState link;
    status_reply(link, {1, 23, 12, 0xEE, 0x00, 0x00, 0xA0, 0x41, 0x00, 0x00, 0x48, 0xC2, 0x00,
                        0x00, 0x48, 0x41});
    const auto d = decode_diagnostics(link);
    ASSERT_TRUE(d);
    EXPECT_EQ(diagnostics_texts(*d),
              (std::array<std::string, 6>{"1", "23", "12", "20.000000", "-50.000000", "12.50"}));

    status_reply(link, {1, 23, 12, 0, 0, 0, 0xA0, 0x41});
    EXPECT_FALSE(decode_diagnostics(link)) << "a short status reply is not shown";
    link.reply[1] = 0x06;
    EXPECT_FALSE(decode_diagnostics(link));
}

TEST(Diagnostics, ColourRules)
{
    EXPECT_FALSE(gsm_registered_ok(0));
    EXPECT_TRUE(gsm_registered_ok(1));
    EXPECT_TRUE(gsm_registered_ok(255));
    const std::pair<int, bool> csq[] = {{0, false}, {18, false}, {19, true}, {31, true}, {98, true}, {99, false}};
    for (auto [v, ok] : csq)
        EXPECT_EQ(gsm_csq_ok(v), ok) << v;
    const std::pair<int, bool> hdop[] = {{0, false}, {1, true}, {34, true}, {35, false}, {255, false}};
    for (auto [v, ok] : hdop)
        EXPECT_EQ(gnss_hdop_ok(v), ok) << v;
}

} // namespace
} // namespace tq
