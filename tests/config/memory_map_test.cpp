#include "config/memory_map.h"
#include "config/record.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace tq {
namespace {

// For every unit, each value it stores lies in a block it has and no two
// values share a bit; every row lies inside its block.
TEST(MemoryMap, EveryStoredBitBelongsToOneValueOfABlockTheUnitHas)
{
    for (const MemoryRow& row : memory_rows()) {
        const MemoryBlock* block = memory_block(row.address);
        ASSERT_NE(block, nullptr) << row.address;
        EXPECT_TRUE(row.offset >= 0 && row.offset + row.length <= block->length)
            << row.address << "+" << row.offset;
    }
    const int versions[] = {1040, 1053, 1054, 1063, 1064, 1065, 1067, 1068, 1069, 1103, 1104, 1105};
    for (int model : {511, 512}) {
        for (int version : versions) {
            const UnitKind u{model, version};
            SCOPED_TRACE(std::to_string(model) + "/" + std::to_string(version));
            std::map<int, std::uint8_t> owned; // address: bits of the values so far
            for (const ValueSpan& span : held_value_spans(u)) {
                const MemoryBlock* block = memory_block(span.address);
                ASSERT_NE(block, nullptr);
                EXPECT_TRUE(has_block(*block, u)) << span.address;
                for (int i = 0; i < span.length; ++i) {
                    std::uint8_t& bits = owned[span.address + span.offset + i];
                    EXPECT_EQ(bits & span.mask, 0) << span.address << "+" << span.offset + i;
                    bits |= span.mask;
                }
            }
            // The phone flags: TEL and SMS of the three phones, then AP.
            EXPECT_EQ(owned[kSmsBlock + 6], 0x3F);
            EXPECT_EQ(owned[kSmsBlock + 8], 0x07);
            // Each phone slot holds the longest number a save accepts, and
            // its end.
            for (int p = 1; p <= 3; ++p) {
                const MemoryRow* slot = memory_row(phone_field(p, PhonePart::Number), u);
                ASSERT_NE(slot, nullptr);
                EXPECT_GT(slot->length, phone_max_length(version)) << p;
            }
        }
    }
}

} // namespace
} // namespace tq
