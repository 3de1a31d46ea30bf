#include "config/record.h"
#include "config/vehicle.h"

#include <glib.h>
#include <gtest/gtest.h>

namespace tq {
namespace {

TEST(CanLevel, StoredAsLevelMinusOneWithAnEscapeForLargeLevels)
{
    struct Case {
        long level;
        std::uint8_t byte513;
        std::uint16_t extension; // bytes 528 (low) and 535 (high)
    } cases[] = {
        {0, 255, 0},   {1, 0, 0},       {3, 2, 0},         {254, 253, 0},
        {255, 254, 254}, {257, 254, 0x0100}, {65535, 254, 65534},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(can_level_byte(c.level), c.byte513) << c.level;
        EXPECT_EQ(can_level_extension(c.level), c.extension) << c.level;
        EXPECT_EQ(can_level_from_bytes(c.byte513, std::uint8_t(c.extension >> 8),
                                       std::uint8_t(c.extension)),
                  c.level)
            << c.level;
    }
    // The escape reads the extended bytes: 535 = 0x01, 528 = 0x00 is level 257.
    EXPECT_EQ(can_level_from_bytes(254, 0x01, 0x00), 257);
}

TEST(Voltage, ThresholdByteFromSelectionAndText)
{
    struct Case {
        long selection;
        const char* text;
        std::uint8_t byte;
    } cases[] = {
        {0, "", 92},        // 12V: 11.0 V
        {1, "", 183},       // 24V: 22.0 V
        {2, "10.5", 88},    // other, typed
        {2, "10,5", 88},    // a comma is a decimal point too
        {2, "abc", 92},     // no number: 11.0 V
        {2, "", 92},
        {2, "nan", 92},
        {2, "-3", 0},       // limited to the byte's range
        {2, "99", 255},
        {255, "11.5", 96},  // no selection: the voltage entry as loaded
    };
    for (const Case& c : cases)
        EXPECT_EQ(voltage_byte(c.selection, c.text), c.byte) << c.selection << " " << c.text;

    // What a load shows survives the next save unchanged, for every byte.
    for (int b = 0; b < 256; ++b)
        EXPECT_EQ(voltage_byte(2, voltage_text(std::uint8_t(b))), b) << b;
    EXPECT_EQ(voltage_text(96), "11.5");
    EXPECT_EQ(voltage_text(0), "0.0");
}

TEST(Phone, NumbersByFirmwareSlot)
{
    struct Case {
        const char* typed;
        int version;
        bool ok;
        const char* stored;
    } cases[] = {
        {"+48 601 234 567", 1054, true, "+48601234567"},
        {"+48\t601234567", 1054, true, "+48601234567"},
        {"0048601234567", 1054, false, ""},
        {"+48-601-234-567", 1054, false, ""},
        {"", 1054, false, ""},
        {"+", 1054, true, "+"},
        {"+48601234567890", 1053, true, "+48601234567890"},   // 15 characters
        {"+486012345678901", 1053, false, ""},                // 16 characters
        {"+486012345678901", 1054, true, "+486012345678901"},
        {"+48601234567890123", 1054, true, "+48601234567890123"}, // 18
        {"+486012345678901234", 1054, false, ""},                 // 19
        // The length counts the blanks that are then removed.
        {"+48 601 234 567 890", 1054, false, ""},
    };
    for (const Case& c : cases) {
        std::string stored;
        EXPECT_EQ(phone_to_stored(c.typed, c.version, stored), c.ok) << c.typed;
        if (c.ok) {
            EXPECT_EQ(stored, c.stored);
        }
    }
    EXPECT_EQ(phone_slot_size(1053), 16);
    EXPECT_EQ(phone_slot_size(1054), 20);
}

TEST(NumberText, ReadLikeTheMarksAndTheLevelLookup)
{
    EXPECT_EQ(decimal_value("007"), 7);
    EXPECT_EQ(decimal_value(" -12x"), -12);
    EXPECT_EQ(decimal_value("abc"), 0);
    EXPECT_EQ(decimal_value("99999999999999999999999"), LONG_MAX);
    EXPECT_EQ(leading_digits_value("12a4"), 12);
    EXPECT_EQ(leading_digits_value("-5"), 0);
    EXPECT_EQ(leading_digits_value(""), 0);
}

TEST(MemoryText, StopsAtZeroAndIsAlwaysValidUtf8)
{
    const std::uint8_t pin[] = {'4', '7', '1', '9', '3', '9'};
    EXPECT_EQ(memory_text(pin, 5), "47193");
    const std::uint8_t erased[] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    const std::string t = memory_text(erased, 5);
    EXPECT_FALSE(t.empty());
    EXPECT_TRUE(g_utf8_validate(t.data(), gssize(t.size()), nullptr));
    const std::uint8_t short_text[] = {'+', '4', 0, '9'};
    EXPECT_EQ(memory_text(short_text, 4), "+4");
}

struct Record : ::testing::Test {
    ConfigState s;
    void start(int model, int version) { begin_config_session(s, UnitKind{model, version}); }
    void set(Field f, const std::string& t) { set_text(s, f, t); }
    bool marked(Field f) const { return s.record.marked[std::size_t(f)]; }
};

TEST_F(Record, ValidationTakesTheFirstFailureInOrder)
{
    struct Case {
        const char* tqpin;
        const char* sim_pin; // nullptr: row not revealed
        const char* level;
        const char* ignore;
        int phones;
        const char* phone2;
        std::string message;
    } cases[] = {
        {"47193", nullptr, "3", "0", 0, "", ""},
        {"4719", "12", "255", "300", 2, "x", "TQPIN must have five digits only!"},
        {"4719a", nullptr, "3", "0", 0, "", "TQPIN must have five digits only!"},
        {"47193", "12", "255", "300", 2, "x", "PIN code must be 4 digits long."},
        {"47193", "12a4", "3", "0", 0, "", "PIN code must be 4 digits long."},
        {"47193", nullptr, "255", "300", 2, "x",
         "CAN-bus level should be between 0-65535, and not 255 or 256."},
        {"47193", "1234", "256", "0", 0, "", "CAN-bus level should be between 0-65535, and not 255 or 256."},
        {"47193", nullptr, "65536", "0", 0, "", "CAN-bus level should be between 0-65535, and not 255 or 256."},
        {"47193", nullptr, "3a", "0", 0, "", "CAN-bus level should be between 0-65535, and not 255 or 256."},
        {"47193", nullptr, "", "", 0, "", ""},          // empty texts count as 0
        {"47193", nullptr, "65535", "255", 0, "", ""},
        {"47193", nullptr, "257", "256", 2, "x", "CAN-bus signal ignore code should be 0-255."},
        {"47193", nullptr, "3", "-1", 0, "", "CAN-bus signal ignore code should be 0-255."},
        {"47193", nullptr, "3", "0", 2, "x", "Wrong phone 2 number."},
        {"47193", nullptr, "3", "0", 1, "x", ""}, // phone 2 is above the count
    };
    for (const Case& c : cases) {
        start(512, 1105);
        set(Field::Tqpin, c.tqpin);
        if (c.sim_pin) {
            reveal_sim_pin(s);
            set(Field::SimPin, c.sim_pin);
        }
        set(Field::CanLevel, c.level);
        set(Field::IgnoreCode, c.ignore);
        set_number(s, Field::PhoneCount, c.phones);
        set(Field::Phone1Number, "+48601234567");
        set(Field::Phone2Number, c.phone2);
        const Validation v = validate_configuration(s);
        EXPECT_EQ(v.ok() ? std::string() : v.message(), c.message) << c.tqpin << " " << c.level;
    }
}

TEST_F(Record, MarksFollowTheReferenceAndTheSaveMarkWaitsForARefresh)
{
    start(512, 1105);
    set_reference_number(s, Field::Rearming, 2);
    set_number(s, Field::Rearming, 2);
    refresh_change_marks(s);
    EXPECT_FALSE(marked(Field::Rearming));
    EXPECT_FALSE(s.record.save_marked);

    set_number(s, Field::Rearming, 3);
    EXPECT_TRUE(marked(Field::Rearming));
    EXPECT_TRUE(s.record.save_marked);
    set_number(s, Field::Rearming, 2);
    EXPECT_FALSE(marked(Field::Rearming));
    EXPECT_TRUE(s.record.save_marked); // until the next refresh
    refresh_change_marks(s);
    EXPECT_FALSE(s.record.save_marked);

    // Number entries compare as numbers: "007" is 7.
    set_reference_number(s, Field::IgnoreCode, 7);
    set(Field::IgnoreCode, "007");
    EXPECT_FALSE(marked(Field::IgnoreCode));
}

TEST_F(Record, PhoneRules)
{
    start(512, 1105);
    refresh_change_marks(s);
    // AP forces SMS; unchecking AP leaves SMS set.
    set_number(s, Field::Phone2Ap, 1);
    EXPECT_EQ(number_of(s, Field::Phone2Sms), 1);
    EXPECT_TRUE(marked(Field::Phone2Sms));
    set_number(s, Field::Phone2Ap, 0);
    EXPECT_EQ(number_of(s, Field::Phone2Sms), 1);

    // A differing number marks its entry but not the Save button.
    refresh_change_marks(s);
    set_number(s, Field::Phone2Sms, 0);
    refresh_change_marks(s);
    set(Field::Phone1Number, "+48 601");
    EXPECT_TRUE(marked(Field::Phone1Number));
    EXPECT_FALSE(s.record.save_marked);
    set_number(s, Field::Phone1Tel, 1);
    EXPECT_TRUE(s.record.save_marked);
}

TEST_F(Record, SmallUnitsHaveNoControlsForTheirMissingFields)
{
    start(511, 1105);
    set_number(s, Field::AudibleConfirmation, 1);
    EXPECT_FALSE(marked(Field::AudibleConfirmation));
    EXPECT_FALSE(s.record.save_marked);
    EXPECT_EQ(field_options(Field::OperatingMode, s.unit).size(), 2u);
    EXPECT_EQ(field_options(Field::RemoteOperation, s.unit),
              (std::vector<std::string>{"central lock control by Zorvik remotes and ZorvikGPS app",
                                        "Zorvik remotes authorise immobiliser"}));
}

TEST(Options, ListsFollowTheFirmware)
{
    struct Case {
        Field field;
        int version;
        std::size_t count;
        const char* last;
    } cases[] = {
        {Field::HazardLights, 1063, 3, "Fiat control"},
        {Field::HazardLights, 1064, 4, "perimeter (hazard lights switch control) with feedback"},
        {Field::HazardLights, 1094, 6, "perimeter type D (hazard lights on-off switch control)"},
        {Field::CanBusControl, 1063, 9, "reserved"},
        {Field::CanBusControl, 1064, 10, "BMW (level 174 or 211): central door lock, horn"},
        {Field::PowerWindows, 1063, 2, "enabled"},
        {Field::PowerWindows, 1064, 8, "lock + power windows 30s. / unlock 3s."},
        {Field::Rearming, 1063, 2, "Yes"},
        {Field::Rearming, 1064, 5, "120s"},
        {Field::RemoteOperation, 1064, 2, "No"},
        {Field::RemoteOperation, 1065, 4, "Zorvik remotes authorise immobiliser"},
        {Field::AntiHijack, 1104, 4, "enabled - engine immobilized after 30s. if ignition is off"},
        {Field::AntiHijack, 1105, 5,
         "enabled without signalling - engine immobilized after 30s. if ignition is off"},
        {Field::Immobiliser, 1064, 4, "ON with alarming 30s. after disarm and door open"},
        {Field::Immobiliser, 1065, 6, "ON with alarming 30s. after disarm and right front door open"},
        {Field::Immobiliser, 1099, 7, "alarming from external immobiliser"},
        {Field::Siren, 1094, 2, "analogue with pulsed output"},
        {Field::Siren, 1095, 3, "digital siren VK-260 (type C)"},
        {Field::Language, 1101, 7, "French"},
        {Field::Language, 1102, 8, "Italian"},
        {Field::In1Time, 1105, 5, "5s"},
        {Field::AuxMode, 1064, 18, "17 - AUTO-START Fortin Datalink + Central door lock"},
    };
    for (const Case& c : cases) {
        const auto options = field_options(c.field, UnitKind{512, c.version});
        ASSERT_EQ(options.size(), c.count) << int(c.field) << " " << c.version;
        EXPECT_EQ(options.back(), c.last);
    }
}

} // namespace
} // namespace tq
