#include "radio/radio_sim.h"
#include "radio/radio_text.h"

#include <gtest/gtest.h>

namespace tq {
namespace {

using Bytes = std::vector<std::uint8_t>;

class Bridge : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(enter_radio_mode(t.link)); }
    test::RadioSim t;
    std::string reply;
};

TEST_F(Bridge, PacketsOnTheWire)
{
    const Bytes data = {1, 2, 3};
    EXPECT_EQ(bridge_write_payload(kSeqFirst, kBufRequest, data), (Bytes{0x00, 0xBB, 3, 0xFF, 1, 2, 3}));
    EXPECT_EQ(bridge_write_payload(kSeqRepeat, kBufReset, {}), (Bytes{0x30, 0xC0, 0, 0xFF}));

    ASSERT_TRUE(radio_command(t.link, t.radio, 0x06, "", reply));
    const auto writes = t.frames(0x86);
    ASSERT_EQ(writes.size(), 1u);
    const std::string line = radio_request_line(0x06, "");
    Bytes expected = {0x00, 0xBB, std::uint8_t(line.size()), 0xFF};
    expected.insert(expected.end(), line.begin(), line.end());
    EXPECT_EQ(writes[0].data, expected);
    const auto reads = t.frames(0x87);
    ASSERT_FALSE(reads.empty());
    EXPECT_EQ(reads[0].data, (Bytes{0x00, 0xBC, 0x2A}));
    // The module's name comes back padded with blanks to its maximum.
    EXPECT_EQ(reply, "ZORVIK BLE          ");
}

TEST_F(Bridge, RepeatsWithTheRepeatSequenceUntilALineIsAccepted)
{
    struct Case {
        const char* what;
        int broken, refused;
    } cases[] = {{"wrong CRC", 2, 0}, {"status 6", 0, 3}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        t.module.lines.clear();
        t.module.broken_replies = c.broken;
        t.module.refused_replies = c.refused;
        const std::size_t before = t.frames(0x86).size();
        ASSERT_TRUE(radio_command(t.link, t.radio, 0x01, "", reply));
        EXPECT_EQ(reply, "1.5.6");
        const int tries = c.broken + c.refused + 1;
        EXPECT_EQ(t.module.lines.size(), std::size_t(tries));
        const auto writes = t.frames(0x86);
        ASSERT_EQ(writes.size(), before + std::size_t(tries));
        EXPECT_EQ(writes[before].data[0], kSeqFirst);
        for (std::size_t i = before + 1; i < writes.size(); ++i)
            EXPECT_EQ(writes[i].data[0], kSeqRepeat);
    }
}

TEST_F(Bridge, GivesUpAfterTenAttempts)
{
    t.module.refused_replies = 1000;
    const auto start = t.now();
    EXPECT_FALSE(radio_command(t.link, t.radio, 0x01, "", reply));
    EXPECT_EQ(t.module.lines.size(), 10u);
    EXPECT_TRUE(reply.empty());
    EXPECT_FALSE(t.radio.busy);
    EXPECT_LT(t.now() - start, 20000);
}

TEST_F(Bridge, AModuleThatNeverAnswersCostsABoundedTime)
{
    leave_radio_mode(t.link); // the sim's bridge is silent outside radio mode
    const auto start = t.now();
    EXPECT_FALSE(radio_command(t.link, t.radio, 0x01, "", reply));
    EXPECT_EQ(t.frames(0x86).size(), 11u); // the reset of leave_radio_mode and ten requests
    EXPECT_LT(t.now() - start, 10 * (100 + 14 * 25 + 9 * 4 * 25 + 9 * 50) + 1000);
}

TEST_F(Bridge, BusyAnswers)
{
    // One busy answer: the same packet again after a second, then success.
    t.module.busy_writes = 1;
    auto start = t.now();
    ASSERT_TRUE(radio_command(t.link, t.radio, 0x01, "", reply));
    EXPECT_GE(t.now() - start, 1000);
    EXPECT_FALSE(t.radio.busy);
    const auto writes = t.frames(0x86);
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[0].data, writes[1].data);

    // Busy to the end: the call fails marked busy, without ten attempts.
    t.module.busy_writes = 1000;
    start = t.now();
    EXPECT_FALSE(radio_command(t.link, t.radio, 0x01, "", reply));
    EXPECT_TRUE(t.radio.busy);
    EXPECT_LT(t.now() - start, 15000);

    // A read with the error status: busy at once.
    t.radio.busy = false;
    t.module.busy_writes = 0;
    t.module.read_errors = 1;
    const std::size_t lines = t.module.lines.size();
    EXPECT_FALSE(radio_command(t.link, t.radio, 0x01, "", reply));
    EXPECT_TRUE(t.radio.busy);
    EXPECT_EQ(t.module.lines.size(), lines + 1);
}

TEST_F(Bridge, WaitsForALateReplyAndTakesTheLastCompleteLine)
{
    t.module.reply_delay_ms = 200;
    ASSERT_TRUE(radio_command(t.link, t.radio, 0x03, "", reply));
    EXPECT_EQ(reply, "C8:FD:19:4A:22:10");
    EXPECT_GT(t.frames(0x87).size(), 1u); // empty reads before the line came
    EXPECT_EQ(t.module.lines.size(), 1u);

    t.module.reply_delay_ms = 0;
    t.module.stale_text = "15e00000FF0000FF000000AB\n";
    ASSERT_TRUE(radio_command(t.link, t.radio, 0x05, "", reply));
    EXPECT_EQ(reply, "14");
}

TEST_F(Bridge, OnlyWhileThePathIsOpen)
{
    t.radio.window_open = false;
    EXPECT_FALSE(radio_command(t.link, t.radio, 0x01, "", reply));
    EXPECT_FALSE(radio_command_ack_only(t.link, t.radio, 0x13, ""));
    EXPECT_TRUE(t.frames(0x86).empty());

    t.radio.remote_access = true;
    EXPECT_TRUE(radio_command(t.link, t.radio, 0x01, "", reply));
    t.radio.remote_access = false;

    // The window closes while the exchange waits for events.
    t.radio.placeholder = true;
    platform::set_event_pump([this] { t.radio.placeholder = false; });
    EXPECT_FALSE(radio_command(t.link, t.radio, 0x01, "", reply));
    platform::set_event_pump(nullptr);

    t.radio.window_open = true;
    device_close(t.link);
    EXPECT_FALSE(radio_command(t.link, t.radio, 0x01, "", reply));
}

TEST_F(Bridge, RawTextForCodeFFAndAcknowledgeOnly)
{
    ASSERT_TRUE(radio_command(t.link, t.radio, 0xFF, "", reply));
    EXPECT_EQ(reply.substr(0, 4), "FFe6"); // unknown to the module, but returned as it came

    t.module.devices = {{3, 0, "A"}, {3, 0, "B"}};
    EXPECT_TRUE(radio_command_ack_only(t.link, t.radio, 0x13, ""));
    EXPECT_TRUE(t.module.devices.empty());
    EXPECT_TRUE(radio_command_ack_only(t.link, t.radio, 0x12, "00"));

    // Data that cannot travel in one frame is refused, not cut.
    EXPECT_FALSE(radio_command(t.link, t.radio, 0x09, std::string(kMaxRadioRequestData + 1, 'x'), reply));
}

TEST_F(Bridge, EnteringRadioModeAgainstABusyUnit)
{
    t.module.busy_access = 9;
    auto start = t.now();
    EXPECT_TRUE(enter_radio_mode(t.link));
    EXPECT_GE(t.now() - start, 9000);

    t.module.busy_access = 10;
    const std::size_t ends = t.frames(0x8C).size();
    EXPECT_FALSE(enter_radio_mode(t.link));
    EXPECT_EQ(t.frames(0x8C).size(), ends + 9); // no closing 0x8C after the last busy cycle
}

TEST_F(Bridge, LeavingAndTheInformationBlock)
{
    t.s.programmer.unit.received.clear();
    leave_radio_mode(t.link);
    const auto& r = t.s.programmer.unit.received;
    ASSERT_EQ(r.size(), 3u);
    EXPECT_EQ(r[0].code, 0x86);
    EXPECT_EQ(r[0].data, (Bytes{0x30, 0xC0, 0x00, 0xFF}));
    EXPECT_EQ(r[1].code, 0x85);
    EXPECT_EQ(r[1].data, (Bytes{0x01}));
    EXPECT_EQ(r[2].code, 0x8C);
    EXPECT_EQ(r[2].data, (Bytes{0x01, 0x00}));
    EXPECT_EQ(t.module.resets, 1);

    enter_radio_mode(t.link);
    t.module.chipset = 1;
    std::array<std::uint8_t, 16> block{};
    ASSERT_TRUE(read_radio_info_block(t.link, t.radio, block));
    EXPECT_EQ(t.radio.chipset, 1);
    EXPECT_EQ(block[15], 0);
    EXPECT_EQ(info_block_version(block), "2.14");
    EXPECT_EQ(t.frames(0x87).back().data, (Bytes{0x30, 0xF0, 0x10}));

    leave_radio_mode(t.link);
    EXPECT_FALSE(read_radio_info_block(t.link, t.radio, block));
}

} // namespace
} // namespace tq
