#include "module_unit.h"

#include "config/config_io.h"
#include "config/fields.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

namespace tq {
namespace {

using test::Bytes;
using test::ModuleUnit;

const sim::Id kTq001A = sim::make_onewire_id(0xA7, 1, 0x1001);
const sim::Id kTq001B = sim::make_onewire_id(0xA7, 1, 0x1002);
const sim::Id kTq002A = sim::make_onewire_id(0xA7, 2, 0x2001);
const sim::Id kTq002B = sim::make_onewire_id(0xA7, 2, 0x2002);
const sim::Id kTq002C = sim::make_onewire_id(0xA7, 2, 0x2003);
const sim::Id kBrevan = sim::make_onewire_id(0xA1, 0x33, 0x3001);
const sim::Id kSolvek = sim::make_onewire_id(0xA0, 0x44, 0x4001);
const sim::Id kThermo = sim::make_onewire_id(0x28, 0x55, 0x5001);

// Expected look of one row: connected identifier (empty: none), status,
// and which of Activate / Delete / action are enabled.
struct RowLook {
    sim::Id connected;
    RowStatus status;
    bool activate, remove, action;
};
constexpr sim::Id kNone = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

void expect_row(const ModuleUnit& u, int row, const RowLook& look, const std::string& label)
{
    const ModuleRowView& v = u.m.rows[std::size_t(row)];
    EXPECT_EQ(id_hex(u.m.row_connected[std::size_t(row)]), id_hex(look.connected))
        << label << " row " << row;
    EXPECT_EQ(int(v.status), int(look.status)) << label << " row " << row;
    EXPECT_EQ(v.activate_enabled, look.activate) << label << " row " << row;
    EXPECT_EQ(v.delete_enabled, look.remove) << label << " row " << row;
    EXPECT_EQ(v.action_enabled, look.action) << label << " row " << row;
}

TEST(ModuleList, RowsTakeStoredAndFoundModules)
{
    using S = RowStatus;
    struct Case {
        const char* name;
        std::vector<sim::Id> bus;
        std::map<int, sim::Id> stored;         // address -> identifier
        std::map<int, std::uint8_t> modes;     // address -> mode byte
        std::map<int, RowLook> rows;           // rows to check
        std::string unlisted;
    } cases[] = {
        {"two TQ002 on the bus, a third unlisted",
         {kTq002A, kTq002B, kTq002C},
         {},
         {},
         {{6, {kTq002A, S::None, true, false, false}},
          {7, {kTq002B, S::None, true, false, false}},
          {4, {kNone, S::None, false, false, false}}},
         "Unlisted devices: " + id_hex(kTq002C) + "."},
        {"stored TQ001 absent from the bus",
         {kTq002A},
         {{1012, kTq001A}},
         {{1045, 0x81}},
         {{4, {kNone, S::StoredNotActive, false, true, false}},
          {5, {kNone, S::None, false, false, false}}},
         ""},
        {"stored and active on the bus; stored second TQ002 keeps its row",
         {kTq002A, kTq001A, kTq002B},
         {{1012, kTq001A}, {1036, kTq002A}},
         {{1045, 0x81}, {1048, 0x82}},
         {{4, {kTq001A, S::Active, false, true, true}},
          {6, {kTq002B, S::None, true, false, false}},
          {7, {kTq002A, S::Active, false, true, true}}},
         ""},
        {"stored on the bus but not switched on",
         {kTq001B},
         {{1020, kTq001B}},
         {{1046, 0x01}},
         {{5, {kTq001B, S::StoredNotActive, true, true, false}}},
         ""},
        {"radio rows by family",
         {kSolvek, kBrevan},
         {{612, kBrevan}},
         {},
         {{0, {kBrevan, S::Active, false, true, true}},
          {1, {kSolvek, S::None, true, false, false}}},
         ""},
        {"built-in modules and a stored thermometer",
         {sim::aux_fortin_id(), sim::cable_loom_id(), sim::aux_module_id(), kThermo},
         {{1052, kThermo}},
         {{1044, 0x82}},
         {{2, {sim::aux_fortin_id(), S::Active, false, true, true}},
          {3, {sim::cable_loom_id(), S::Active, false, false, true}},
          {8, {sim::aux_module_id(), S::None, true, false, false}}},
         ""},
        {"cable loom missing from the bus",
         {kThermo},
         {},
         {},
         {{3, {kNone, S::StoredNotActive, false, false, false}}},
         "Unlisted devices: " + id_hex(kThermo) + "."},
    };
    for (const Case& c : cases) {
        ModuleUnit u;
        u.bus->devices = c.bus;
        for (const auto& [address, id] : c.stored)
            u.store(address, id);
        for (const auto& [address, value] : c.modes)
            u.mode(address, value);
        ASSERT_EQ(u.open_list(), 0) << c.name;
        for (const auto& [row, look] : c.rows)
            expect_row(u, row, look, c.name);
        EXPECT_EQ(unlisted_devices_line(u.m), c.unlisted) << c.name;
    }
}

TEST(ModuleList, MoreThanTwentyDevicesListOnlyTwenty)
{
    ModuleUnit u;
    for (std::uint32_t i = 0; i < 21; ++i)
        u.bus->devices.push_back(sim::make_onewire_id(0x28, 0, i));
    ASSERT_EQ(u.open_list(), 0);
    const std::string line = unlisted_devices_line(u.m);
    EXPECT_NE(line.find(id_hex(sim::make_onewire_id(0x28, 0, 19))), std::string::npos);
    EXPECT_EQ(line.find(id_hex(sim::make_onewire_id(0x28, 0, 20))), std::string::npos);
    EXPECT_EQ(std::count(line.begin(), line.end(), ','), 19);
}

TEST(ModuleList, ModeListShowsTheStoredPosition)
{
    ModuleUnit u;
    u.store(1028, kTq002A);
    u.mode(1047, 0x84); // position 3
    u.mode(1048, 0x00); // nothing stored yet: position 0
    u.mode(1049, 0x80 | 0x7F); // not in the list
    ASSERT_EQ(u.open_list(), kTextNoDevices);
    EXPECT_EQ(u.m.rows[6].mode_position, 3);
    EXPECT_TRUE(u.m.rows[6].mode_enabled);
    EXPECT_EQ(u.m.rows[7].mode_position, 0);
    EXPECT_FALSE(u.m.rows[7].mode_enabled);
    EXPECT_EQ(u.m.rows[8].mode_position, -1);
}

TEST(ModuleList, ReadFailuresLeaveTheListAsItWas)
{
    {
        // The bus list does not come in seven tries; six silent ones are fine.
        ModuleUnit u;
        u.bus->devices = {kTq002A};
        u.bus->silent_list_requests = 7;
        EXPECT_EQ(u.open_list(), kTextListError);
        EXPECT_EQ(u.bus->list_requests, 7);
        EXPECT_TRUE(id_empty(u.m.found_ids[0]));
        u.bus->silent_list_requests = 6;
        EXPECT_EQ(u.open_list(), 0);
        EXPECT_EQ(id_hex(u.m.row_connected[6]), id_hex(kTq002A));
    }
    {
        ModuleUnit u;
        EXPECT_EQ(u.open_list(), kTextNoDevices);
        u.bus->devices = {kTq002A};
        ASSERT_EQ(u.open_list(), 0);
        // The unit stops answering memory reads: nothing changes.
        u.unit().on(0x11, [](sim::AlarmUnit&, auto) {});
        EXPECT_EQ(u.open_list(), kTextEepromReadError);
        EXPECT_EQ(id_hex(u.m.row_connected[6]), id_hex(kTq002A));
    }
}

TEST(ModuleList, ActivateStoresIdentifierAndModeThenAppliesThem)
{
    ModuleUnit u;
    u.bus->devices = {kTq002A, kTq002B};
    ASSERT_EQ(u.open_list(), 0);
    u.m.last_mode_position[7] = 2;
    activate_module(u.m, u.link, u.fw, 7);

    EXPECT_EQ(u.refreshes, 1);
    EXPECT_EQ(u.write_addresses(), (std::vector<int>{1036, 1048}));
    EXPECT_EQ(u.written_at(1036), Bytes(kTq002B.begin(), kTq002B.end()));
    // After the refresh the row shows the unit's stored mode (0), so the
    // module is switched on in its first mode.
    EXPECT_EQ(u.written_at(1048), Bytes{0x81});
    EXPECT_EQ(u.bus->apply_requests, 1);
    EXPECT_EQ(u.unit().received.back().code, 0xFC);
    const ModuleRowView& v = u.m.rows[7];
    EXPECT_EQ(v.status, RowStatus::Active);
    EXPECT_FALSE(v.activate_enabled);
    EXPECT_TRUE(v.delete_enabled && v.mode_enabled && v.action_enabled);
    EXPECT_EQ(id_hex(v.stored), id_hex(kTq002B));
    EXPECT_TRUE(u.messages.empty());

    // Read back from the unit, the row stays active.
    ASSERT_EQ(u.open_list(), 0);
    EXPECT_EQ(u.m.rows[7].status, RowStatus::Active);
}

TEST(ModuleList, ActivateOfAVanishedModuleStoresNothing)
{
    ModuleUnit u;
    u.bus->devices = {kTq001A};
    ASSERT_EQ(u.open_list(), 0);
    u.bus->devices.clear();
    activate_module(u.m, u.link, u.fw, 4);
    EXPECT_EQ(u.messages, (std::vector<std::string>{text(kTextNoDevices), kNoDeviceText}));
    EXPECT_TRUE(u.unit().writes.empty());
    EXPECT_EQ(u.bus->apply_requests, 0);
}

TEST(ModuleList, FailedWritesShowTheSaveErrorAndKeepTheRow)
{
    ModuleUnit u;
    u.bus->devices = {kTq001A};
    ASSERT_EQ(u.open_list(), 0);
    const ModuleRowView before = u.m.rows[4];
    u.unit().on(0x12, [](sim::AlarmUnit&, auto) {}); // writes are lost
    activate_module(u.m, u.link, u.fw, 4);
    EXPECT_EQ(u.messages, (std::vector<std::string>{"EEPROM save error."}));
    EXPECT_EQ(u.m.rows[4].status, before.status);
    EXPECT_TRUE(u.m.rows[4].activate_enabled);
    EXPECT_TRUE(u.changed_rows.empty());
    EXPECT_EQ(u.bus->apply_requests, 0);
}

TEST(ModuleList, DeleteClosesTheWindowAndEmptiesTheSlot)
{
    ModuleUnit u;
    u.bus->devices = {kTq001A};
    u.store(1012, kTq001A);
    u.mode(1045, 0x82);
    ASSERT_EQ(u.open_list(), 0);
    ASSERT_EQ(u.m.rows[4].status, RowStatus::Active);
    delete_module(u.m, u.link, u.fw, 4);

    EXPECT_EQ(u.closed_rows, std::vector<int>{4});
    EXPECT_EQ(u.written_at(1012), Bytes(8, 0xFF));
    EXPECT_EQ(u.written_at(1045), Bytes{0x02}); // position kept, switched off
    EXPECT_EQ(u.bus->apply_requests, 1);
    const ModuleRowView& v = u.m.rows[4];
    EXPECT_EQ(v.status, RowStatus::None);
    EXPECT_TRUE(v.activate_enabled); // the module is still on the bus
    EXPECT_FALSE(v.delete_enabled || v.mode_enabled || v.action_enabled);
    EXPECT_TRUE(id_empty(v.stored));
}

TEST(ModuleList, RadioRowsShareOneSlot)
{
    ModuleUnit u;
    u.bus->devices = {kBrevan, kSolvek};
    u.store(612, kSolvek);
    ASSERT_EQ(u.open_list(), 0);
    ASSERT_EQ(u.m.rows[1].status, RowStatus::Active);
    activate_module(u.m, u.link, u.fw, 0);

    // 612 is written in the short form whatever the firmware.
    const auto& r = u.unit().received;
    EXPECT_TRUE(std::any_of(r.begin(), r.end(), [](const sim::Frame& f) {
        return f.code == 0x06 && f.data.size() == 10 && f.data[0] == 0x64;
    }));
    EXPECT_EQ(u.written_at(612), Bytes(kBrevan.begin(), kBrevan.end()));
    EXPECT_EQ(id_hex(u.m.radio_onewire_id), id_hex(kBrevan));
    EXPECT_EQ(u.m.rows[0].status, RowStatus::Active);
    EXPECT_EQ(u.m.rows[1].status, RowStatus::None);
    EXPECT_TRUE(u.m.rows[1].activate_enabled);
    EXPECT_EQ(u.radio_left(), 1);
}

TEST(ModuleList, AuxModulesExcludeEachOther)
{
    ModuleUnit u;
    u.bus->devices = {sim::aux_fortin_id(), sim::aux_module_id()};
    u.mode(1044, 0x82); // AUX-FORTIN active in its second mode
    ASSERT_EQ(u.open_list(), 0);
    u.m.last_mode_position[8] = 4;
    activate_module(u.m, u.link, u.fw, 8);

    // No refresh for built-in modules, and no identifier is written for
    // them anywhere (not even address 0).
    EXPECT_EQ(u.refreshes, 0);
    EXPECT_EQ(u.write_addresses(), (std::vector<int>{1049, 1044}));
    EXPECT_EQ(u.written_at(1049), Bytes{0x85});
    EXPECT_EQ(u.written_at(1044), Bytes{0x02});
    EXPECT_EQ(u.m.rows[8].status, RowStatus::Active);
    EXPECT_EQ(u.m.rows[2].status, RowStatus::None);
    EXPECT_EQ(u.aux_texts, std::vector<std::string>{text(kTextAuxMode5)}); // "5 - ..."

    // And back: the AUX-FORTIN row is switched on with bit 7, so the unit,
    // the list and the settings page all see it active.
    u.unit().writes.clear();
    u.aux_texts.clear();
    activate_module(u.m, u.link, u.fw, 2);
    EXPECT_EQ(u.write_addresses(), (std::vector<int>{1044, 1049}));
    EXPECT_EQ(u.written_at(1044), Bytes{0x82});
    EXPECT_EQ(u.written_at(1049), Bytes{0x05});
    EXPECT_EQ(u.m.rows[8].status, RowStatus::None);
    EXPECT_EQ(u.aux_texts, std::vector<std::string>{"17 - AUTO-START Fortin Datalink + Central door lock"});
    ASSERT_EQ(u.open_list(), 0);
    EXPECT_EQ(u.m.rows[2].status, RowStatus::Active);
    EXPECT_EQ(u.m.rows[8].status, RowStatus::None);
}

TEST(ModuleList, ModeChangeWritesOnlyANewPosition)
{
    ModuleUnit u;
    u.bus->devices = {kTq002A};
    u.store(1028, kTq002A);
    u.mode(1047, 0x81);
    ASSERT_EQ(u.open_list(), 0);
    change_module_mode(u.m, u.link, u.fw, 6, 2);
    EXPECT_EQ(u.written_at(1047), Bytes{0x83});
    change_module_mode(u.m, u.link, u.fw, 6, 2);
    EXPECT_EQ(u.unit().writes.size(), 1u);
    EXPECT_EQ(u.bus->apply_requests, 2); // applied both times

    u.unit().on(0x12, [](sim::AlarmUnit&, auto) {});
    change_module_mode(u.m, u.link, u.fw, 6, 5);
    EXPECT_EQ(u.messages.back(), "EEPROM save error.");
}

TEST(ModuleList, AuxFunctionFromTheModeBytes)
{
    // unread: the unit does not answer the read of that byte.
    enum { None, Fortin, Aux };
    struct Case {
        std::uint8_t fortin, aux;
        int unread, number;
    } cases[] = {
        {0x81, 0x00, None, 16}, {0x82, 0x85, None, 17}, {0x83, 0x85, None, 0}, // 18 and above: 0
        {0x01, 0x85, None, 5},  {0x80, 0x8F, None, 15}, {0x00, 0x80, None, 0},
        {0x00, 0x92, None, 0},  {0x81, 0x85, Fortin, 5}, {0x01, 0x85, Aux, 0},
    };
    for (const Case& c : cases) {
        ModuleUnit u;
        u.mode(1044, c.fortin);
        u.mode(1049, c.aux);
        if (c.unread != None)
            u.unit().unanswered_reads.insert(c.unread == Fortin ? 1044 : 1049);
        EXPECT_EQ(read_aux_mode(u.link, u.fw), c.number) << int(c.fortin) << "/" << int(c.aux);
        show_aux_function(u.m, u.link, u.fw);
        EXPECT_EQ(u.aux_texts, std::vector<std::string>{aux_mode_text(c.number)});
    }
    EXPECT_EQ(aux_mode_text(0), "AUX module not connected / AUX module disabled (default)");
    EXPECT_EQ(aux_mode_text(16), "16 - AUTO-START Fortin Datalink");
}

TEST(ModuleList, ApplyIsRetriedTenTimesAtMost)
{
    ModuleUnit u;
    EXPECT_TRUE(apply_module_config(u.link));
    EXPECT_EQ(u.bus->apply_requests, 1);
    u.bus->confirms_apply = false;
    const auto start = platform::now_ms();
    EXPECT_FALSE(apply_module_config(u.link));
    EXPECT_EQ(u.bus->apply_requests, 11);
    // Ten pauses of 100 ms and the polls between them: bounded.
    EXPECT_GE(platform::now_ms() - start, 1000);
    EXPECT_LT(platform::now_ms() - start, 2000);
}

} // namespace
} // namespace tq
