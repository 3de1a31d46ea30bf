#include "config/cfg_file.h"
#include "config/config_io.h"
#include "config/vehicle.h"
#include "config_fixture.h"
#include "link/commands.h"

#include <gtest/gtest.h>

namespace tq {
namespace {

using test::Bytes;
using test::ConfiguredUnit;

struct Write {
    int address;
    Bytes bytes;
    bool operator==(const Write&) const = default;
};

std::ostream& operator<<(std::ostream& o, const Write& w)
{
    o << w.address << ":";
    for (auto b : w.bytes)
        o << " " << int(b);
    return o;
}

Bytes text_slot(const char* text, std::size_t size)
{
    Bytes b(size, 0);
    std::copy(text, text + std::strlen(text), b.begin());
    return b;
}

// One car's configuration in the layout of the unit's firmware.
void picture(ConfiguredUnit& u)
{
    u.poke(kBlockA, {3, 5, 1, 2, 3, 1, 1, 2, 1}); // CAN level 6
    u.poke(kBlockB, {2, 1, 7, 2, 4, 1, 3, 1, 2, 1, 1});
    u.poke(kSmsBlock, {2, 1, 0, 1, 2, 1, 0x19, 96, 0x01});
    u.poke_text(Field::Tqpin, "52817");
    u.poke_text(Field::Phone1Number, "+48601234567");
    u.poke_text(Field::Phone2Number, "+48698765432");
    u.poke_text(Field::Phone3Number, "");
    u.poke(kBlockC, {2, 1, 0, 73, 1});
    u.poke_text(Field::SimPin, "1234");
    u.poke(kBlockD, {1, 2, 1});
}

std::vector<Write> writes(const ConfiguredUnit& u)
{
    std::vector<Write> w;
    for (const auto& x : u.programmer.unit.writes)
        w.push_back({x.address, x.bytes});
    return w;
}

bool received(const ConfiguredUnit& u, std::uint8_t code)
{
    for (const auto& f : u.programmer.unit.received) {
        if (f.code == code)
            return true;
    }
    return false;
}

TEST(ConfigIo, LoadShowsTheUnitsValues)
{
    ConfiguredUnit u(512, 1105);
    picture(u);
    u.poke(1049, {131}); // the AUX interface reports mode 3
    ASSERT_EQ(load_configuration(u.config, u.link, kLoadSilent), LoadResult::Loaded);
    const ConfigState& s = u.config;
    EXPECT_TRUE(u.messages.empty());
    EXPECT_EQ(number_of(s, Field::OperatingMode), 3);
    EXPECT_EQ(text_of(s, Field::CanLevel), "6");
    EXPECT_EQ(text_of(s, Field::IgnoreCode), "7");
    EXPECT_EQ(number_of(s, Field::Siren), 2); // stored 3
    EXPECT_EQ(text_of(s, Field::Tqpin), "52817");
    EXPECT_EQ(text_of(s, Field::Phone2Number), "+48698765432");
    EXPECT_EQ(text_of(s, Field::Voltage), "11.5");
    EXPECT_EQ(number_of(s, Field::Phone1Tel), 1);
    EXPECT_EQ(number_of(s, Field::Phone2Tel), 0);
    EXPECT_EQ(number_of(s, Field::Phone2Sms), 1);
    EXPECT_EQ(number_of(s, Field::Phone1Ap), 1);
    EXPECT_EQ(text_of(s, Field::SimPin), "1234");
    EXPECT_EQ(number_of(s, Field::AdditionalInput), 2);
    EXPECT_EQ(selected_vehicle_key(s), 73); // Audi A4 8E, found by level and key
    EXPECT_EQ(s.aux_text, "3 - trunk release output");
    for (int f = 0; f < kFieldCount; ++f)
        EXPECT_FALSE(s.record.marked[std::size_t(f)]) << f;
    EXPECT_FALSE(s.record.save_marked);

    ASSERT_EQ(load_configuration(u.config, u.link, kLoadFromUnit), LoadResult::Loaded);
    EXPECT_EQ(u.last_message(), "Configuration loaded successfully.");
}

TEST(ConfigIo, LoadClampsAndMapsStoredValues)
{
    struct Case {
        int model;
        std::uint8_t byte;   // written into every clamped byte below
        long rearming, remote, inhibit, prealarm, gps, count, status, trunk_disarm, pa;
    } cases[] = {
        {512, 9, 0, 3, 0, 0, 1, 3, 1, 0, 0},
        {512, 2, 2, 2, 2, 0, 1, 2, 1, 0, 0},
        {511, 3, 0, 1, 3, 0, 1, 3, 1, 0, 0}, // the smaller unit shows stored 3 as its second option
    };
    for (const Case& c : cases) {
        ConfiguredUnit u(c.model, 1105);
        picture(u);
        const std::uint8_t b = c.byte;
        u.poke(512, {3, 5, 1, 2, 3, 1, 1, 2, b});
        u.poke(524, {b, b, 7, 2, 4, 1, 3, b, 2, 1, b});
        u.poke(536, {b, b, b, b, 2, b, 0, 96, 0});
        u.poke(1095, {b, 2, b});
        ASSERT_EQ(load_configuration(u.config, u.link, kLoadSilent), LoadResult::Loaded);
        const ConfigState& s = u.config;
        if (c.model >= 512) {
            EXPECT_EQ(number_of(s, Field::Rearming), c.rearming) << int(b);
        }
        EXPECT_EQ(number_of(s, Field::RemoteOperation), c.remote) << int(b);
        EXPECT_EQ(number_of(s, Field::InhibitArm), c.inhibit) << int(b);
        EXPECT_EQ(number_of(s, Field::Prealarm3x), c.prealarm) << int(b);
        EXPECT_EQ(number_of(s, Field::GpsModule), c.gps) << int(b);
        EXPECT_EQ(number_of(s, Field::PhoneCount), c.count) << int(b);
        for (Field f : {Field::IgnitionSms, Field::SystemSms, Field::DoorSms, Field::SmsForward})
            EXPECT_EQ(number_of(s, f), c.status) << int(b);
        EXPECT_EQ(number_of(s, Field::TrunkDisarm), c.trunk_disarm) << int(b);
        EXPECT_EQ(number_of(s, Field::PaAuthorise), c.pa) << int(b);
    }
}

TEST(ConfigIo, ExtendedCanLevelIsReadWhenEscaped)
{
    ConfiguredUnit u(512, 1105);
    picture(u);
    u.poke(513, {254});
    u.poke(528, {0x00});
    u.poke(535, {0x01});
    ASSERT_EQ(load_configuration(u.config, u.link, kLoadSilent), LoadResult::Loaded);
    EXPECT_EQ(text_of(u.config, Field::CanLevel), "257");
    u.poke(513, {255});
    ASSERT_EQ(load_configuration(u.config, u.link, kLoadSilent), LoadResult::Loaded);
    EXPECT_EQ(text_of(u.config, Field::CanLevel), "0");
}

// Load a unit, change the level to 257 and the phones to one, and save: the
// blocks written depend on the firmware.
TEST(ConfigIo, SaveWritesEveryBlockInTheFirmwaresLayout)
{
    const Bytes a = {3, 254, 1, 2, 3, 1, 1, 2, 1};
    const Bytes sms = {1, 1, 0, 1, 2, 1, 0x09, 96, 0x01}; // phone 2 loses its SMS bit
    const Bytes tqpin = text_slot("52817", 16);
    const Bytes c = {2, 1, 0, 0, 1}; // level 257 matches no car: key 0
    const auto b = [](std::uint8_t aux, std::uint8_t prealarm) {
        return Bytes{2, 1, 7, 2, aux, 1, 3, 1, 2, 1, prealarm};
    };
    struct Case {
        int version;
        std::vector<Write> expected;
    } cases[] = {
        {1053, {{512, a}, {524, b(4, 0)}, {536, sms}, {548, tqpin},
                {564, text_slot("+48601234567", 16)}, {580, Bytes(32, 0)}, {710, c}}},
        {1063, {{512, a}, {524, b(4, 0)}, {536, sms}, {548, tqpin},
                {950, text_slot("+48601234567", 20)}, {970, Bytes(40, 0)}, {710, c},
                {1095, {0, 2, 0}}}},
        {1064, {{512, a}, {524, b(4, 1)}, {536, sms}, {548, tqpin},
                {950, text_slot("+48601234567", 20)}, {970, Bytes(40, 0)}, {710, c},
                {1095, {0, 2, 0}}}},
        {1068, {{512, a}, {524, b(0, 1)}, {528, {0x00}}, {535, {0x01}}, {536, sms}, {548, tqpin},
                {950, text_slot("+48601234567", 20)}, {970, Bytes(40, 0)}, {710, c},
                {1095, {0, 2, 0}}}},
        {1100, {{512, a}, {524, b(0, 1)}, {528, {0x00}}, {535, {0x01}}, {536, sms}, {548, tqpin},
                {950, text_slot("+48601234567", 20)}, {970, Bytes(40, 0)}, {710, c},
                {1095, {1, 2, 0}}}},
        {1104, {{512, a}, {524, b(0, 1)}, {528, {0x00}}, {535, {0x01}}, {536, sms}, {548, tqpin},
                {950, text_slot("+48601234567", 20)}, {970, Bytes(40, 0)}, {710, c},
                {1095, {1, 2, 1}}}},
    };
    for (const Case& k : cases) {
        ConfiguredUnit u(512, k.version);
        picture(u);
        ASSERT_EQ(load_configuration(u.config, u.link, kLoadSilent), LoadResult::Loaded);
        set_text(u.config, Field::CanLevel, "257");
        set_number(u.config, Field::PhoneCount, 1);
        ASSERT_EQ(save_configuration(u.config, u.link), SaveResult::Saved) << k.version;
        EXPECT_EQ(writes(u), k.expected) << k.version;
        EXPECT_EQ(u.programmer.unit.received.back().code, cmd::kStored);
        EXPECT_EQ(u.last_message(), "Configuration saved.");
        if (k.version < 1054) {
            EXPECT_FALSE(received(u, cmd::kWriteLong));
            for (const auto& w : u.programmer.unit.writes)
                EXPECT_LE(w.address + int(w.bytes.size()), 1024);
        }
        // The hidden phone keeps its entry; its reference is what the unit holds now.
        EXPECT_EQ(text_of(u.config, Field::Phone2Number), "+48698765432");
        EXPECT_TRUE(u.config.record.marked[std::size_t(Field::Phone2Number)]);
    }
}

TEST(ConfigIo, SmallUnitMapsRemoteOperationAndZeroesMissingFields)
{
    ConfiguredUnit u(511, 1105);
    picture(u);
    u.poke(524, {2, 3, 7, 2, 4, 1, 0, 1, 2, 1, 1});
    ASSERT_EQ(load_configuration(u.config, u.link, kLoadSilent), LoadResult::Loaded);
    EXPECT_EQ(number_of(u.config, Field::RemoteOperation), 1);
    ASSERT_EQ(save_configuration(u.config, u.link), SaveResult::Saved);
    EXPECT_EQ(u.peek(512, 9), (Bytes{3, 5, 1, 2, 3, 0, 0, 2, 1}));
    EXPECT_EQ(u.peek(524, 11), (Bytes{0, 3, 7, 2, 0, 1, 0, 1, 2, 1, 1}));
    set_number(u.config, Field::RemoteOperation, 0);
    ASSERT_EQ(save_configuration(u.config, u.link), SaveResult::Saved);
    EXPECT_EQ(u.peek(525, 1), Bytes{0});
}

TEST(ConfigIo, OutOfListValuesAreKeptAsTheUnitHoldsThem)
{
    // Firmware 1094 offers no digital siren and 1104 no fifth anti-hijack
    // option; the stored values still go back unchanged.
    ConfiguredUnit u(512, 1094);
    picture(u);
    u.poke(512, {3, 5, 1, 2, 3, 1, 1, 4, 1});
    u.poke(714, {9}); // nine voice-call attempts: no button for it
    ASSERT_EQ(load_configuration(u.config, u.link, kLoadSilent), LoadResult::Loaded);
    ASSERT_EQ(save_configuration(u.config, u.link), SaveResult::Saved);
    EXPECT_EQ(u.peek(519, 1), Bytes{4});
    EXPECT_EQ(u.peek(530, 1), Bytes{3});
    EXPECT_EQ(u.peek(714, 1), Bytes{9});
}

// Every value the pages cannot show or choose goes back into the unit as it
// was read when the fitter saves without changing it. The bytes of fields a
// unit does not have, and the bits that must be zero, are written as 0.
TEST(ConfigIo, AnUnchangedSaveWritesBackWhatThePagesCannotShow)
{
    struct Case {
        const char* what;
        int model, version, address;
        Bytes held;
        Bytes saved;       // empty: as held
        int also = 0;      // another address to fill first, when the value needs one
        Bytes also_held{};
    } cases[] = {
        {"anti-hijack option the firmware lacks", 512, 1094, 519, {4}, {}},
        {"GPS module above Yes", 512, 1105, 520, {7}, {}},
        {"rearming above its list", 512, 1105, 524, {9}, {}},
        {"remote operation above its list", 512, 1105, 525, {8}, {}},
        {"IN1 time above its list", 512, 1105, 527, {11}, {}},
        {"AUX mode above its list", 512, 1064, 528, {40}, {}},
        {"immobiliser above its list", 512, 1105, 529, {12}, {}},
        {"siren value without an option", 512, 1105, 530, {5}, {}},
        {"inhibit arming above its list", 512, 1105, 531, {6}, {}},
        {"hazard blink above its list", 512, 1105, 532, {4}, {}},
        {"inhibit arming that older firmware does not show", 512, 1063, 531, {2}, {}},
        {"3x prealarm above Yes", 512, 1105, 534, {4}, {}},
        {"phone count above 3", 512, 1105, 536, {7}, {}, 990, {'+', '4', '8', '1', 0}},
        {"status SMS fields above Yes", 512, 1105, 537, {5, 6, 7}, {}},
        {"SMS forwarding above Yes", 512, 1105, 541, {9}, {}},
        {"flags of phone 3 beyond the count", 512, 1105, 542, {0x19 | 0x24}, {}},
        {"flag bits that must be zero", 512, 1105, 542, {0x19 | 0xC0}, {0x19}},
        {"threshold byte beside the 12V choice", 512, 1105, 543, {100}, {}},
        {"AP flag of phone 3 beyond the count", 512, 1105, 544, {0x05}, {}},
        {"bytes after the TQPIN's five digits", 512, 1105, 553, {0, 'x', 0x80}, {}},
        {"bytes after a phone number's end", 512, 1105, 963, {0, 0xFF, 'z'}, {}},
        {"phone 3 beyond the count", 512, 1105, 990, {'+', '4', '8', '1', 0}, {}},
        {"supply choice above its list", 512, 1105, 710, {7}, {}},
        {"SMS language above its list", 512, 1105, 711, {12}, {}},
        {"vehicle key the table lacks", 512, 1105, 712, {0x03, 0xE7}, {}},
        {"voice-call attempts above the buttons", 512, 1105, 714, {9}, {}},
        {"trunk option above Yes", 512, 1105, 1095, {3}, {}},
        {"additional input above its list", 512, 1105, 1096, {9}, {}},
        {"additional input that older firmware does not show", 512, 1063, 1096, {3}, {}},
        {"PA button above its list", 512, 1105, 1097, {6}, {}},
        {"audible confirmation of the smaller unit", 511, 1105, 517, {1}, {0}},
        {"rearming of the smaller unit", 511, 1105, 524, {2}, {0}},
        {"3x prealarm before firmware 1064", 512, 1063, 534, {1}, {0}},
        {"PA button before firmware 1104", 512, 1100, 1097, {1}, {0}},
    };
    for (const Case& c : cases) {
        ConfiguredUnit u(c.model, c.version);
        picture(u);
        std::copy(c.also_held.begin(), c.also_held.end(), u.programmer.unit.memory.begin() + c.also);
        std::copy(c.held.begin(), c.held.end(), u.programmer.unit.memory.begin() + c.address);
        ASSERT_EQ(load_configuration(u.config, u.link, kLoadSilent), LoadResult::Loaded) << c.what;
        ASSERT_EQ(save_configuration(u.config, u.link), SaveResult::Saved) << c.what;
        EXPECT_EQ(u.peek(c.address, int(c.held.size())), c.saved.empty() ? c.held : c.saved)
            << c.what;
        EXPECT_FALSE(u.programmer.unit.writes.empty()) << c.what;
    }
}

// A unit whose car is not in the table: an unchanged save leaves every byte
// of its memory as it was, saves after a level edit change only the level,
// and a model chosen from the table replaces the key.
TEST(ConfigIo, AVehicleTheTableLacksSurvivesSaves)
{
    ConfiguredUnit u(512, 1105);
    picture(u);
    u.poke(512, {3, 49, 1, 2, 3, 1, 1, 2, 1}); // CAN level 50
    u.poke(712, {0x03, 0xE7});                 // vehicle key 999
    u.poke(528, {0});                          // no extended level (this firmware has no AUX byte)
    const auto before = u.programmer.unit.memory;
    ASSERT_EQ(load_configuration(u.config, u.link, kLoadFromUnit), LoadResult::Loaded);
    EXPECT_EQ(selected_vehicle_key(u.config), 999);
    EXPECT_EQ(text_of(u.config, Field::CanLevel), "50");
    EXPECT_FALSE(u.config.record.save_marked);
    for (int round = 0; round < 2; ++round) {
        ASSERT_EQ(save_configuration(u.config, u.link), SaveResult::Saved);
        EXPECT_TRUE(u.programmer.unit.memory == before) << round;
        ASSERT_EQ(load_configuration(u.config, u.link, kLoadFromUnit), LoadResult::Loaded);
    }

    set_text(u.config, Field::CanLevel, "300");
    ASSERT_EQ(save_configuration(u.config, u.link), SaveResult::Saved);
    auto expected = before;
    expected[513] = 254;
    expected[528] = 299 & 0xFF;
    expected[535] = 299 >> 8;
    EXPECT_TRUE(u.programmer.unit.memory == expected);

    ASSERT_EQ(load_configuration(u.config, u.link, kLoadFromUnit), LoadResult::Loaded);
    EXPECT_EQ(selected_vehicle_key(u.config), 999);
    EXPECT_EQ(text_of(u.config, Field::CanLevel), "300");
    // Through a .cfg file into another unit, the key goes as it came.
    ConfiguredUnit other(512, 1105);
    picture(other);
    ASSERT_EQ(load_configuration(other.config, other.link, kLoadSilent), LoadResult::Loaded);
    read_cfg_text(other.config, write_cfg_text(u.config));
    ASSERT_EQ(save_configuration(other.config, other.link), SaveResult::Saved);
    EXPECT_EQ(other.peek(712, 2), (Bytes{0x03, 0xE7}));
    EXPECT_EQ(other.peek(512, 1), Bytes{3});
    EXPECT_EQ(other.peek(513, 1), Bytes{254});

    choose_make(u.config, 3); // Audi: the A1 8X, level 3, key 16
    ASSERT_EQ(save_configuration(u.config, u.link), SaveResult::Saved);
    EXPECT_EQ(u.peek(712, 2), (Bytes{0, 16}));
    EXPECT_EQ(u.peek(513, 1), Bytes{2});
}

TEST(ConfigIo, RevealedSimPinIsValidatedAndWritten)
{
    ConfiguredUnit u(512, 1105);
    picture(u);
    ASSERT_EQ(load_configuration(u.config, u.link, kLoadSilent), LoadResult::Loaded);
    ASSERT_EQ(save_configuration(u.config, u.link), SaveResult::Saved);
    for (const auto& w : u.programmer.unit.writes)
        EXPECT_NE(w.address, 716);

    reveal_sim_pin(u.config);
    set_text(u.config, Field::SimPin, "98");
    u.programmer.unit.writes.clear();
    EXPECT_EQ(save_configuration(u.config, u.link), SaveResult::Invalid);
    EXPECT_EQ(u.last_message(), "PIN code must be 4 digits long.");
    EXPECT_TRUE(u.programmer.unit.writes.empty());
    set_text(u.config, Field::SimPin, "9876");
    ASSERT_EQ(save_configuration(u.config, u.link), SaveResult::Saved);
    EXPECT_EQ(u.peek(716, 5), (Bytes{'9', '8', '7', '6', 0}));
}

TEST(ConfigIo, DefaultsChangeTheControlsButNotTheUnit)
{
    for (int model : {512, 511}) {
        ConfiguredUnit u(model, 1105);
        picture(u);
        ASSERT_EQ(load_configuration(u.config, u.link, kLoadSilent), LoadResult::Loaded);
        u.programmer.unit.received.clear();
        ASSERT_EQ(load_configuration(u.config, u.link, kLoadDefaults), LoadResult::Loaded);
        const ConfigState& s = u.config;
        EXPECT_EQ(u.last_message(), "Default settings loaded.\nPress Save to store permanently.");
        EXPECT_EQ(number_of(s, Field::OperatingMode), model == 511 ? 0 : 3);
        EXPECT_EQ(text_of(s, Field::CanLevel), "3");
        EXPECT_EQ(text_of(s, Field::Tqpin), "47193");
        EXPECT_EQ(number_of(s, Field::In1Time), 2);
        EXPECT_EQ(number_of(s, Field::PhoneCount), 0);
        EXPECT_EQ(text_of(s, Field::Phone1Number), "");
        EXPECT_EQ(text_of(s, Field::Voltage), "0.0");
        EXPECT_EQ(number_of(s, Field::SupplySelection), 255);
        EXPECT_EQ(selected_vehicle_key(s), 16); // level 3, unknown key: Audi A1 8X
        // The unit was only asked for its AUX mode.
        for (const auto& f : u.programmer.unit.received)
            EXPECT_TRUE(f.code == cmd::kReadLong && (f.data[1] == (1044 & 0xFF) || f.data[1] == (1049 & 0xFF)))
                << int(f.code);
        // What the defaults changed shows as changed.
        EXPECT_TRUE(s.record.marked[std::size_t(Field::Tqpin)]);
        EXPECT_TRUE(s.record.save_marked);
    }
}

TEST(ConfigIo, SaveStopsAtTheFirstUnverifiedBlock)
{
    ConfiguredUnit u(512, 1105);
    picture(u);
    ASSERT_EQ(load_configuration(u.config, u.link, kLoadSilent), LoadResult::Loaded);
    // This unit does not keep what is written to its SMS block.
    u.programmer.unit.on(cmd::kWriteLong, [](sim::AlarmUnit& unit, std::span<const std::uint8_t> d) {
        const int address = d[0] << 8 | d[1];
        unit.writes.push_back({address, {d.begin() + 3, d.end()}});
        if (address != 536)
            std::copy(d.begin() + 3, d.end(), unit.memory.begin() + address);
    });
    set_number(u.config, Field::Rearming, 4);     // block B, before the failure
    set_number(u.config, Field::SmsForward, 0);   // the failing block
    set_text(u.config, Field::Tqpin, "11111");    // after it
    EXPECT_EQ(save_configuration(u.config, u.link), SaveResult::WriteError);
    EXPECT_EQ(u.last_message(), "Write error!");
    EXPECT_FALSE(received(u, cmd::kStored));
    std::vector<int> addresses;
    for (const auto& w : u.programmer.unit.writes)
        addresses.push_back(w.address);
    EXPECT_EQ(addresses, (std::vector<int>{512, 524, 528, 535, 536}));
    EXPECT_EQ(u.peek(524, 1), Bytes{4});
    EXPECT_EQ(u.peek(548, 5), text_slot("52817", 5));

    // Written fields take their new references; the others keep the unit's.
    const ConfigState& s = u.config;
    EXPECT_FALSE(differs(s, Field::Rearming));
    EXPECT_TRUE(differs(s, Field::SmsForward));
    EXPECT_TRUE(differs(s, Field::Tqpin));
    EXPECT_TRUE(s.record.marked[std::size_t(Field::Rearming)]); // not refreshed
}

TEST(ConfigIo, InvalidEntriesWriteNothingAndKeepTheReferences)
{
    ConfiguredUnit u(512, 1105);
    picture(u);
    ASSERT_EQ(load_configuration(u.config, u.link, kLoadSilent), LoadResult::Loaded);
    set_text(u.config, Field::Tqpin, "11111");
    set_text(u.config, Field::Phone2Number, "0048");
    EXPECT_EQ(save_configuration(u.config, u.link), SaveResult::Invalid);
    EXPECT_EQ(u.last_message(), "Wrong phone 2 number.");
    EXPECT_TRUE(u.programmer.unit.writes.empty());
    EXPECT_TRUE(differs(u.config, Field::Tqpin));
}

TEST(ConfigIo, UnplugDuringLoadAndSave)
{
    // A whole load takes some 45 reports, a save some 64.
    for (int reports : {1, 12, 30}) {
        ConfiguredUnit u(512, 1105);
        picture(u);
        u.programmer.faults.unplug_after_reports = reports;
        EXPECT_EQ(load_configuration(u.config, u.link, kLoadFromUnit), LoadResult::ReadError);
        EXPECT_EQ(u.last_message(), "Configuration load error.");
        EXPECT_FALSE(u.link.open());
        EXPECT_FALSE(u.config.busy);
    }
    for (int reports : {1, 20, 50}) {
        ConfiguredUnit u(512, 1105);
        picture(u);
        ASSERT_EQ(load_configuration(u.config, u.link, kLoadSilent), LoadResult::Loaded);
        u.programmer.faults.unplug_after_reports = reports;
        EXPECT_EQ(save_configuration(u.config, u.link), SaveResult::WriteError);
        EXPECT_EQ(u.last_message(), "Write error!");
        EXPECT_FALSE(u.link.open());
    }
}

TEST(ConfigIo, FailedLoadKeepsWhatWasRead)
{
    ConfiguredUnit u(512, 1105);
    picture(u);
    u.programmer.unit.on(cmd::kReadLong, [](sim::AlarmUnit& unit, std::span<const std::uint8_t> d) {
        const int address = d[0] << 8 | d[1];
        if (address == 536)
            return; // the SMS block never answers
        Bytes payload(d.begin(), d.end());
        payload.insert(payload.end(), unit.memory.begin() + address,
                       unit.memory.begin() + address + d[2]);
        unit.reply(0x06, payload);
    });
    EXPECT_EQ(load_configuration(u.config, u.link, kLoadFromUnit), LoadResult::ReadError);
    EXPECT_EQ(u.last_message(), "Configuration load error.");
    EXPECT_EQ(number_of(u.config, Field::Rearming), 2);   // block B arrived
    EXPECT_FALSE(differs(u.config, Field::Rearming));
    EXPECT_EQ(text_of(u.config, Field::Tqpin), "");       // after the failure
}

} // namespace
} // namespace tq
