#include "config/service_pin.h"
#include "support/sim_link.h"

#include <gtest/gtest.h>

namespace tq {
namespace {

TEST(ServicePin, StoredBytesShowAsDigitsOrQuestionMarks)
{
    const std::uint8_t a[] = {0, 9, 5, 1};
    EXPECT_EQ(service_pin_text(a), "0951");
    const std::uint8_t b[] = {1, 0x0A, 2, 0xFF};
    EXPECT_EQ(service_pin_text(b), "1?2?");
}

TEST(ServicePin, OnlyFourDigitsAreAccepted)
{
    EXPECT_EQ(service_pin_bytes("0012"), (std::array<std::uint8_t, 5>{0, 0, 1, 2, 0}));
    for (const char* bad : {"123", "12345", "", "?234", "12a4", " 123", "12 4"})
        EXPECT_FALSE(service_pin_bytes(bad)) << bad;
}

struct PinOnUnit : ::testing::Test {
    void SetUp() override
    {
        sim.programmer.unit.identity.minor = 81; // 4.81: version word 1105
        ASSERT_EQ(sim.open(), OpenResult::Programmer);
        auto& m = sim.programmer.unit.memory;
        m[1106] = 4;
        m[1107] = 0x0A;
        m[1108] = 0;
        m[1109] = 7;
    }
    test::SimLink sim;
    const int version = 1105;
};

TEST_F(PinOnUnit, ReadsTheFourStoredBytes)
{
    std::array<std::uint8_t, 4> pin{};
    ASSERT_TRUE(read_service_pin(sim.link, version, pin));
    EXPECT_EQ(service_pin_text(pin.data()), "4?07");
    EXPECT_EQ(sim.programmer.unit.received.back().data, (std::vector<std::uint8_t>{0x04, 0x52, 4}))
        << "long form at 1106";
}

TEST_F(PinOnUnit, SavingWritesDigitValuesAndAZeroThenTellsTheUnit)
{
    EXPECT_EQ(save_service_pin(sim.link, version, "0012"), PinSave::Saved);
    ASSERT_EQ(sim.programmer.unit.writes.size(), 1u);
    EXPECT_EQ(sim.programmer.unit.writes[0].address, 1106);
    EXPECT_EQ(sim.programmer.unit.writes[0].bytes, (std::vector<std::uint8_t>{0, 0, 1, 2, 0}));
    EXPECT_EQ(sim.programmer.unit.received.back().code, 0x09);
}

TEST_F(PinOnUnit, RefusedEntryWritesNothing)
{
    const auto before = sim.programmer.unit.received.size();
    EXPECT_EQ(save_service_pin(sim.link, version, "4?07"), PinSave::Invalid);
    EXPECT_EQ(save_service_pin(sim.link, version, "123"), PinSave::Invalid);
    EXPECT_EQ(sim.programmer.unit.received.size(), before);
}

TEST_F(PinOnUnit, UnverifiedWriteIsAWriteErrorWithoutTheStoredCommand)
{
    // The unit takes the write but keeps its old bytes.
    sim.programmer.unit.on(0x12, [](sim::AlarmUnit&, std::span<const std::uint8_t>) {});
    EXPECT_EQ(save_service_pin(sim.link, version, "1234"), PinSave::WriteError);
    for (const auto& f : sim.programmer.unit.received)
        EXPECT_NE(f.code, 0x09);

    sim.programmer.faults.unplug_after_reports = 0;
    EXPECT_EQ(save_service_pin(sim.link, version, "1234"), PinSave::WriteError);
}

TEST_F(PinOnUnit, UnitsWithoutLongAddressesAreNeverReportedSaved)
{
    std::array<std::uint8_t, 4> pin{};
    EXPECT_FALSE(read_service_pin(sim.link, 1053, pin));
    EXPECT_EQ(save_service_pin(sim.link, 1053, "1234"), PinSave::WriteError);
    EXPECT_TRUE(sim.programmer.unit.writes.empty());
}

} // namespace
} // namespace tq
