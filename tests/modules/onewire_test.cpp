#include "modules/onewire.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace tq {
namespace {

TEST(OneWire, Crc8MaximKnownValues)
{
    const char* check = "123456789";
    EXPECT_EQ(crc8_maxim(reinterpret_cast<const std::uint8_t*>(check), 9), 0xA1);
    // The ROM code of the classic example: family 0x02, serial 0x000001B81C.
    const std::uint8_t rom[7] = {0x02, 0x1C, 0xB8, 0x01, 0x00, 0x00, 0x00};
    EXPECT_EQ(crc8_maxim(rom, 7), 0xA2);
    EXPECT_EQ(crc8_maxim(nullptr, 0), 0x00);
}

TEST(OneWire, PseudoIdentifiersCarryTagKindAndCrc)
{
    struct Case {
        PseudoModule module;
        const char* tag;
        std::uint8_t kind;
    } cases[] = {
        {PseudoModule::AuxFortin, "ZORVO", 0x7C},
        {PseudoModule::CableLoom, "ZORVN", 0x00},
        {PseudoModule::AuxModule, "ZORVN", 0x10},
    };
    for (const Case& c : cases) {
        const OneWireId id = pseudo_identifier(c.module);
        EXPECT_EQ(id[0], 0xA7);
        EXPECT_EQ(std::memcmp(id.data() + 1, c.tag, 5), 0);
        EXPECT_EQ(id[6], c.kind);
        // A whole ROM code including its CRC sums to 0.
        EXPECT_EQ(crc8_maxim(id.data(), 8), 0) << c.tag;
    }
    EXPECT_EQ(id_hex(pseudo_identifier(PseudoModule::CableLoom)).substr(0, 14), "A75A4F52564E00");
}

TEST(OneWire, HexIsSixteenUpperCaseDigitsInStoredOrder)
{
    EXPECT_EQ(id_hex({0xA7, 0x02, 0x0F, 0x00, 0xAB, 0xCD, 0xEF, 0x01}), "A7020F00ABCDEF01");
}

// A reply buffer holding a bus list of `count` entries (plus `extra`
// payload bytes after them).
std::vector<std::uint8_t> list_reply(int count, int extra = 0)
{
    std::vector<std::uint8_t> payload = {std::uint8_t(count), 0};
    for (int i = 0; i < count; ++i) {
        const std::uint8_t id[8] = {0xA7, 0x01, std::uint8_t(i), 0, 0, 0, 0, std::uint8_t(i)};
        payload.insert(payload.end(), id, id + 8);
        payload.insert(payload.end(), 4, 0xEE);
    }
    payload.insert(payload.end(), std::size_t(extra), 0x28);
    std::vector<std::uint8_t> reply = {std::uint8_t(payload.size() + 1), 0x01};
    reply.insert(reply.end(), payload.begin(), payload.end());
    reply.push_back(0x00); // checksum
    reply.resize(1024, 0x55); // stale bytes beyond the frame
    return reply;
}

TEST(OneWire, BusListTakesWholeEntriesUpToTwenty)
{
    struct Case {
        int count, extra, expected;
    } cases[] = {
        {0, 0, 0},   // reply_length 5
        {0, 4, 0},   // reply_length 9: no devices
        {1, 0, 1},
        {3, 0, 3},
        {2, 5, 2},   // a cut-off entry does not hold an identifier
        {2, 8, 3},   // an identifier without its status bytes still counts
        {21, 0, 20}, // the most a frame carries; only 20 are used
    };
    for (const Case& c : cases) {
        const auto reply = list_reply(c.count, c.extra);
        const int length = reply[0] + 2;
        std::array<OneWireId, kMaxBusDevices> out;
        EXPECT_EQ(parse_bus_list(reply.data(), length, out), c.expected)
            << c.count << "+" << c.extra;
        for (int i = 0; i < kMaxBusDevices; ++i) {
            if (i < std::min(c.count, 20)) {
                EXPECT_EQ(out[std::size_t(i)][2], i);
            } else if (i >= c.expected) {
                EXPECT_TRUE(id_empty(out[std::size_t(i)]));
            }
        }
    }
}

} // namespace
} // namespace tq
