#include "radio/slip.h"

#include <gtest/gtest.h>

namespace tq {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(Slip, Encoding)
{
    struct Case {
        Bytes in;
        std::size_t packet;
        Bytes out;
    } cases[] = {
        {{0x09, 0x01}, 2, {0x09, 0x01, 0xC0}},
        {{0xC0, 0xDB, 0x00}, 3, {0xDB, 0xDC, 0xDB, 0xDD, 0x00, 0xC0}},
        {{0xDB, 0xDC}, 3, {0xDB, 0xDD, 0xDC, 0xC0}},
        // Cut into packets of 2: each closed on its own, none opened.
        {{1, 2, 3, 0xC0, 5}, 2, {1, 2, 0xC0, 3, 0xDB, 0xDC, 0xC0, 5, 0xC0}},
        {{}, 4, {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(slip_encode(c.in, c.packet), c.out);
}

TEST(Slip, ReceivingPacketsSplitAnywhere)
{
    // A SELECT response full of bytes that need escaping.
    const Bytes packet = {0x06, 0x01, 0x00, 0x10, 0xC0, 0xDB, 0xDB, 0xC0, 0, 0, 0, 0, 0x60, 0xC0};
    Bytes wire = {0x60};
    for (std::uint8_t b : slip_encode(packet, packet.size()))
        wire.push_back(b);
    // Every split of the bytes into two reads, escapes cut in half included.
    for (std::size_t cut = 0; cut <= wire.size(); ++cut) {
        SlipReceiver r;
        r.feed(Bytes(wire.begin(), wire.begin() + std::ptrdiff_t(cut)));
        if (cut < wire.size()) {
            EXPECT_FALSE(r.take()) << cut;
        }
        r.feed(Bytes(wire.begin() + std::ptrdiff_t(cut), wire.end()));
        EXPECT_EQ(r.take(), packet) << cut;
        EXPECT_FALSE(r.take());
    }
}

TEST(Slip, ReceiverDropsWhatIsNoPacket)
{
    SlipReceiver r;
    // Bytes before the response opcode go; the 0x60 is not returned.
    r.feed(Bytes{0x11, 0xC0, 0x22, 0x60, 0x09, 0x01, 0x01, 0xC0, 0x60, 0x02, 0x01, 0xC0});
    EXPECT_EQ(r.take(), (Bytes{0x09, 0x01, 0x01}));
    EXPECT_EQ(r.take(), (Bytes{0x02, 0x01}));
    EXPECT_FALSE(r.take());

    // No 0x60 at all: emptied.
    r.feed(Bytes{1, 2, 3, 0xC0});
    EXPECT_FALSE(r.take());
    EXPECT_EQ(r.buffered(), 0u);

    // A broken escape spoils only its own packet.
    r.feed(Bytes{0x60, 0x04, 0xDB, 0x01, 0xC0, 0x60, 0x04, 0x01, 0xC0});
    EXPECT_EQ(r.take(), (Bytes{0x04, 0x01}));
    r.feed(Bytes{0x60, 0x04, 0xDB, 0xC0});
    EXPECT_FALSE(r.take());

    // A stream that never closes a packet cannot grow without end.
    for (int i = 0; i < 100; ++i)
        r.feed(Bytes(1000, 0x60));
    EXPECT_LE(r.buffered(), SlipReceiver::kLimit);
}

} // namespace
} // namespace tq
