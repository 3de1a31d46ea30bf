#include "link/block.h"
#include "support/sim_link.h"

#include <gtest/gtest.h>

#include <vector>

namespace tq {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct Unit : test::SimLink {
    explicit Unit(int major, int minor, sim::Variant v = sim::Variant::Programmer64) : test::SimLink(v)
    {
        programmer.unit.identity.major = major;
        programmer.unit.identity.minor = minor;
        open();
    }
    int version() const { return programmer.unit.identity.firmware_version(); }
    const sim::Frame& last_command() const { return programmer.unit.received.back(); }
};

TEST(Block, ReadChoosesTheAddressingFormByFirmware)
{
    struct Case {
        int minor;
        std::uint8_t code;
        Bytes request;
    } cases[] = {
        {29, 0x05, {0x00, 0x09}},       // 4.29 = 1053
        {30, 0x11, {0x02, 0x00, 0x09}}, // 4.30 = 1054
    };
    for (const Case& c : cases) {
        Unit u(4, c.minor);
        for (int i = 0; i < 9; ++i)
            u.programmer.unit.memory[std::size_t(512 + i)] = std::uint8_t(0xA0 + i);
        ASSERT_EQ(read_block(u.link, u.version(), 512, 9), 0);
        EXPECT_EQ(u.last_command().code, c.code);
        EXPECT_EQ(u.last_command().data, c.request);
        // Both forms leave the block at payload byte 2.
        EXPECT_EQ(Bytes(u.link.reply.begin() + 4, u.link.reply.begin() + 13),
                  (Bytes{0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7, 0xA8}));
    }
}

TEST(Block, WritesAreVerifiedAndTakeTheUnitsForm)
{
    struct Case {
        int minor;
        int address;
        std::uint8_t code;
        Bytes header;
    } cases[] = {
        {29, 536, 0x06, {24, 3}},
        {30, 536, 0x12, {0x02, 0x18, 3}},
        {81, 612, 0x06, {0x64, 3}},      // the radio identifier always short
        {81, 1106, 0x12, {0x04, 0x52, 3}},
    };
    for (const Case& c : cases) {
        Unit u(4, c.minor);
        const Bytes data = {1, 2, 3};
        EXPECT_EQ(write_block(u.link, u.version(), c.address, data), 0) << c.address;
        const auto& received = u.programmer.unit.received;
        ASSERT_GE(received.size(), 2u);
        const sim::Frame& write = received[received.size() - 2];
        Bytes expected = c.header;
        expected.insert(expected.end(), data.begin(), data.end());
        EXPECT_EQ(write.code, c.code);
        EXPECT_EQ(write.data, expected);
        EXPECT_EQ(Bytes(u.programmer.unit.memory.begin() + c.address,
                        u.programmer.unit.memory.begin() + c.address + 3), data);
    }
}

TEST(Block, OldUnitsHaveNothingToWriteAboveTheirRange)
{
    Unit u(4, 29);
    EXPECT_EQ(write_block(u.link, u.version(), 1095, Bytes{1, 2, 3}), 0);
    EXPECT_TRUE(u.programmer.unit.received.empty());
}

TEST(Block, ReadBackThatDiffersIsAFailure)
{
    Unit u(4, 81);
    // This unit keeps bit 7 of the second byte stuck at zero.
    u.programmer.unit.on(0x12, [](sim::AlarmUnit& unit, std::span<const std::uint8_t> d) {
        const int address = d[0] << 8 | d[1];
        std::copy(d.begin() + 3, d.end(), unit.memory.begin() + address);
        unit.memory[std::size_t(address + 1)] &= 0x7F;
    });
    EXPECT_NE(write_block(u.link, u.version(), 700, Bytes{1, 0x80, 3}), 0);
    EXPECT_EQ(write_block(u.link, u.version(), 700, Bytes{1, 0x40, 3}), 0);
}

TEST(Block, UnansweredReadGivesUpAfterTenAttempts)
{
    Unit u(4, 81);
    u.programmer.unit.on(0x11, [](sim::AlarmUnit&, auto) {});
    EXPECT_EQ(read_block(u.link, u.version(), 700, 4), 1);
    int requests = 0;
    for (const auto& f : u.programmer.unit.received)
        requests += f.code == 0x11;
    EXPECT_EQ(requests, 10);
}

TEST(Block, CorruptedReplyIsRetried)
{
    Unit u(4, 81, sim::Variant::Programmer8);
    u.programmer.faults.corrupt_next_reply = true;
    EXPECT_EQ(read_block(u.link, u.version(), 700, 4), 0);
}

TEST(Block, UnplugDuringAWriteReportsFailure)
{
    Unit u(4, 81);
    u.programmer.faults.unplug_after_reports = 3;
    EXPECT_NE(write_block(u.link, u.version(), 700, Bytes(40, 7)), 0);
    EXPECT_FALSE(u.link.open());
}

} // namespace
} // namespace tq
