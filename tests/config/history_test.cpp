#include "config/cfg_file.h"
#include "config/config_io.h"
#include "config/history.h"
#include "config/vehicle.h"
#include "config_fixture.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <glib.h>

#include <cstdio>
#include <fstream>
#include <sstream>

namespace tq {
namespace {

using test::ConfiguredUnit;

std::string contents(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The addresses where two memory images differ, with both bytes.
template <class Memory> std::string differences(const Memory& now, const Memory& then)
{
    std::string out;
    for (std::size_t i = 0; i < now.size(); ++i) {
        if (now[i] != then[i])
            out += " " + std::to_string(i) + ":" + std::to_string(now[i]) + "/" +
                   std::to_string(then[i]);
    }
    return out;
}

// A unit with a history under root, its memory holding one car's settings.
struct Unit : ConfiguredUnit {
    Unit(int model, int version, const std::string& root, const std::string& serial = "220000001234",
         int vehicle_key = 73)
        : ConfiguredUnit(model, version)
    {
        config.history = {root, serial, "TQ" + std::to_string(model) + "-test",
                          std::to_string(version)};
        // Full alarm is an option of the larger unit only.
        poke(kBlockA, {std::uint8_t(model < 512 ? 1 : 3), 5, 1, 2, 3, 1, 1, 2, 1}); // CAN level 6
        poke(kBlockB, {2, 1, 7, 2, 4, 1, 3, 1, 2, 1, 1});
        poke(kSmsBlock, {2, 1, 0, 1, 2, 1, 0x19, 96, 0x01});
        poke_text(Field::Tqpin, "52817");
        poke_text(Field::Phone1Number, "+48601234567");
        poke_text(Field::Phone2Number, "+48698765432");
        poke_text(Field::Phone3Number, "");
        poke(kBlockC, {2, 1, std::uint8_t(vehicle_key >> 8), std::uint8_t(vehicle_key), 1});
        poke_text(Field::SimPin, "1234");
        poke(kBlockD, {1, 2, 1});
        // Only what the unit's fields can hold: a field the unit lacks is
        // stored as 0 by every save.
        clear_what_the_unit_lacks();
    }
    std::string folder() const { return history_folder(config.history); }
    std::vector<KeptConfiguration> kept() const { return list_history(folder()); }
    std::string kept_text(std::size_t i) const
    {
        return contents(folder() + "/" + kept().at(i).file);
    }

    // What a fitter might change before saving.
    void edit()
    {
        set_number(config, Field::OperatingMode, 0);
        set_text(config, Field::Tqpin, "11111");
        set_text(config, Field::Phone1Number, "+4822");
        set_text(config, Field::CanLevel, "3");
        set_number(config, Field::Language, 3);
        set_number(config, Field::PhoneCount, 1);
    }
};

// Save a changed configuration, then restore the kept one through the .cfg
// loader and Save: the unit holds every byte it held before, the vehicle the
// table lacks included.
TEST(ConfigHistory, RestoringTheKeptFileGivesBackEveryByte)
{
    struct Case {
        int model;
        int version;
        int vehicle_key;
    };
    const Case cases[] = {
        {512, 1105, 73},  // long addressing, a model of the table
        {512, 1063, 73},  // short addressing, the AUX mode on the page
        {511, 1105, 73},  // the smaller unit's key table
        {512, 1105, 999}, // a vehicle the table does not know
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(std::to_string(k.model) + "/" + std::to_string(k.version) + "/" +
                     std::to_string(k.vehicle_key));
        test::TempFolder dir;
        Unit u(k.model, k.version, dir.path(), "220000001234", k.vehicle_key);
        ASSERT_EQ(load_configuration(u.config, u.link, kLoadSilent), LoadResult::Loaded);
        const auto before = u.programmer.unit.memory;

        u.edit();
        ASSERT_EQ(save_configuration(u.config, u.link), SaveResult::Saved);
        ASSERT_NE(u.programmer.unit.memory, before);

        // The file holds the unit's values as they were, not the edited ones.
        const auto kept = u.kept();
        ASSERT_EQ(kept.size(), 1u);
        EXPECT_EQ(kept[0].operation, "save");
        EXPECT_EQ(kept[0].firmware, std::to_string(k.version));
        const std::string text = u.kept_text(0);
        EXPECT_NE(text.find("tqpin=52817\r\n"), std::string::npos);
        EXPECT_NE(text.find("carnumber=" + std::to_string(k.vehicle_key) + "\r\n"),
                  std::string::npos);
        EXPECT_EQ(text.rfind(k.model < 512 ? "operatingmode=1\r\n" : "operatingmode=3\r\n", 0), 0u);

        ASSERT_EQ(load_configuration_file(u.config, u.folder() + "/" + kept[0].file),
                  CfgFileResult::Done);
        EXPECT_EQ(selected_vehicle_key(u.config), k.vehicle_key);
        ASSERT_EQ(save_configuration(u.config, u.link), SaveResult::Saved);
        EXPECT_EQ(differences(u.programmer.unit.memory, before), "");
        // The restore is a write too: what it replaced is kept as well.
        EXPECT_EQ(u.kept().size(), 2u);
    }
}

TEST(ConfigHistory, KeepingLeavesThePagesAsTheyAre)
{
    test::TempFolder dir;
    Unit u(512, 1105, dir.path());
    ASSERT_EQ(load_configuration(u.config, u.link, kLoadSilent), LoadResult::Loaded);
    u.edit();
    const ConfigRecord record = u.config.record;
    const int key = selected_vehicle_key(u.config);
    const std::size_t frames = u.programmer.unit.received.size();

    const std::optional<std::string> text = held_configuration_text(u.config, u.link);
    ASSERT_TRUE(text);
    EXPECT_NE(text->find("tqpin=52817\r\n"), std::string::npos);
    // Every block was held: the unit was not asked again.
    EXPECT_EQ(u.programmer.unit.received.size(), frames);
    for (int i = 0; i < kFieldCount; ++i) {
        const std::size_t f = std::size_t(i);
        EXPECT_EQ(u.config.record.shown[f].number, record.shown[f].number) << i;
        EXPECT_EQ(u.config.record.shown[f].text, record.shown[f].text) << i;
        EXPECT_EQ(u.config.record.reference[f].number, record.reference[f].number) << i;
        EXPECT_EQ(u.config.record.reference[f].text, record.reference[f].text) << i;
        EXPECT_EQ(u.config.record.marked[f], record.marked[f]) << i;
    }
    EXPECT_EQ(u.config.record.save_marked, record.save_marked);
    EXPECT_EQ(selected_vehicle_key(u.config), key);
}

// After a save the unit holds what was written: a second save keeps that,
// and after a load that failed half-way the blocks it did not get are read
// from the unit.
TEST(ConfigHistory, KeepsWhatTheUnitHoldsNow)
{
    test::TempFolder dir;
    Unit u(512, 1105, dir.path());
    ASSERT_EQ(load_configuration(u.config, u.link, kLoadSilent), LoadResult::Loaded);
    u.edit();
    ASSERT_EQ(save_configuration(u.config, u.link), SaveResult::Saved);
    set_text(u.config, Field::Tqpin, "22222");
    ASSERT_EQ(save_configuration(u.config, u.link), SaveResult::Saved);
    ASSERT_EQ(u.kept().size(), 2u);
    EXPECT_NE(u.kept_text(0).find("tqpin=11111\r\n"), std::string::npos); // newest first
    EXPECT_NE(u.kept_text(1).find("tqpin=52817\r\n"), std::string::npos);

    // The unit answers the first blocks of a load, then falls silent for one
    // read; the history then reads what it misses.
    Unit v(512, 1105, dir.path(), "220000000777");
    v.programmer.faults.unplug_after_reports = 20;
    EXPECT_EQ(load_configuration(v.config, v.link, kLoadFromUnit), LoadResult::ReadError);
    ASSERT_FALSE(v.config.held_blocks.empty());
    ASSERT_EQ(v.config.held_blocks.count(710), 0u); // block C was not read
    v.programmer.plugged = true;
    v.programmer.faults.unplug_after_reports = -1;
    v.open();
    const std::optional<std::string> text = held_configuration_text(v.config, v.link);
    ASSERT_TRUE(text);
    EXPECT_NE(text->find("phone1number=+48601234567\r\n"), std::string::npos);
    EXPECT_NE(text->find("language=1\r\n"), std::string::npos);
}

TEST(ConfigHistory, AFailedSaveLeavesTheKeptFile)
{
    test::TempFolder dir;
    Unit u(512, 1105, dir.path());
    ASSERT_EQ(load_configuration(u.config, u.link, kLoadSilent), LoadResult::Loaded);
    u.edit();
    u.programmer.faults.unplug_after_reports = 12; // within the block writes
    EXPECT_EQ(save_configuration(u.config, u.link), SaveResult::WriteError);
    ASSERT_EQ(u.kept().size(), 1u);
    EXPECT_NE(u.kept_text(0).find("tqpin=52817\r\n"), std::string::npos);
}

TEST(ConfigHistory, NothingIsKeptBeforeAnythingWasRead)
{
    test::TempFolder dir;
    Unit u(512, 1105, dir.path());
    EXPECT_TRUE(keep_before_write(u.config, u.link, kHistorySave));
    EXPECT_FALSE(g_file_test(u.folder().c_str(), G_FILE_TEST_EXISTS));
    EXPECT_FALSE(held_configuration_text(u.config, u.link));
}

TEST(ConfigHistory, TwoUnitsKeepSeparateHistories)
{
    test::TempFolder dir;
    Unit a(512, 1105, dir.path(), "220000000001");
    Unit b(511, 1105, dir.path(), "220000000002");
    b.poke_text(548, 16, "60606");
    for (Unit* u : {&a, &b}) {
        ASSERT_EQ(load_configuration(u->config, u->link, kLoadSilent), LoadResult::Loaded);
        u->edit();
        ASSERT_EQ(save_configuration(u->config, u->link), SaveResult::Saved);
    }
    EXPECT_EQ(a.folder(), dir / "220000000001");
    EXPECT_EQ(b.folder(), dir / "220000000002");
    ASSERT_EQ(a.kept().size(), 1u);
    ASSERT_EQ(b.kept().size(), 1u);
    EXPECT_NE(a.kept_text(0).find("tqpin=52817\r\n"), std::string::npos);
    EXPECT_NE(b.kept_text(0).find("tqpin=60606\r\n"), std::string::npos);
    EXPECT_EQ(b.kept()[0].model, "TQ511-test");

    // A unit that did not tell its serial number has a folder of its own.
    Unit c(512, 1105, dir.path(), "");
    EXPECT_EQ(c.folder(), dir / "no-serial");
}

// When the history cannot be written the fitter decides whether to write.
TEST(ConfigHistory, AHistoryThatCannotBeWrittenAsksFirst)
{
    test::TempFolder dir;
    const std::string blocker = dir.write("units", "a file where the folder should be");
    for (bool yes : {false, true}) {
        Unit u(512, 1105, blocker);
        ASSERT_EQ(load_configuration(u.config, u.link, kLoadSilent), LoadResult::Loaded);
        u.edit();
        std::vector<std::string> asked;
        u.config.hooks.ask = [&](const std::string& q) {
            asked.push_back(q);
            return yes;
        };
        EXPECT_EQ(save_configuration(u.config, u.link),
                  yes ? SaveResult::Saved : SaveResult::NotKept);
        ASSERT_EQ(asked.size(), 1u);
        EXPECT_EQ(asked[0].rfind("The configuration the device holds could not be kept", 0), 0u);
        EXPECT_EQ(u.programmer.unit.writes.empty(), !yes);
    }
}

TEST(ConfigHistory, FilesAreNeverOverwrittenAndTheNewestTwoHundredStay)
{
    test::TempFolder dir;
    const std::string folder = dir / "220000001234";
    dir.write("220000001234/notes.txt", "not ours");
    for (int i = 0; i < kHistoryKeep; ++i) {
        char stamp[32];
        std::snprintf(stamp, sizeof stamp, "2026-01-01T%02d-%02d-00", i / 60, i % 60);
        dir.write(std::string("220000001234/") + stamp + ".cfg", "old");
    }
    const auto keep = [&](const std::string& text) {
        return keep_configuration_text(folder, "2026-12-10T14-35-02", text, kHistorySave,
                                       "TQ512-0451", "1105");
    };
    const KeepResult first = keep("first");
    const KeepResult second = keep("second"); // the same second
    ASSERT_TRUE(first.kept && second.kept);
    EXPECT_EQ(first.path, folder + "/2026-12-10T14-35-02.cfg");
    EXPECT_EQ(second.path, folder + "/2026-12-10T14-35-02-2.cfg");
    EXPECT_EQ(contents(first.path), "first");
    EXPECT_EQ(contents(second.path), "second");

    const auto kept = list_history(folder);
    ASSERT_EQ(kept.size(), std::size_t(kHistoryKeep));
    EXPECT_EQ(kept[0].file, "2026-12-10T14-35-02-2.cfg");
    EXPECT_EQ(kept[0].time, "2026-12-10 14:35:02");
    EXPECT_EQ(kept[0].operation, "save");
    EXPECT_EQ(kept[1].file, "2026-12-10T14-35-02.cfg");
    EXPECT_EQ(kept.back().file, "2026-01-01T00-02-00.cfg"); // the two oldest went
    EXPECT_EQ(kept.back().operation, "");                    // no log line for it
    EXPECT_TRUE(g_file_test((folder + "/notes.txt").c_str(), G_FILE_TEST_EXISTS));

    EXPECT_EQ(contents(folder + "/history.tsv"),
              "2026-12-10 14:35:02\tsave\tTQ512-0451\t1105\t2026-12-10T14-35-02.cfg\n"
              "2026-12-10 14:35:02\tsave\tTQ512-0451\t1105\t2026-12-10T14-35-02-2.cfg\n");
}

// A log damaged or edited by hand: only whole lines naming a kept file count.
TEST(ConfigHistory, TheLogReaderTakesOnlyWholeLines)
{
    const auto lines = read_history_log(
        "2026-12-10 14:35:02\tsave\tTQ512-0481\t0481\t2026-12-10T14-35-02.cfg\r\n"
        "2026-12-10 14:35:03\tsave\tTQ512-0481\t0481\n"                        // a field short
        "2026-12-10 14:35:04\tsave\tTQ512-0481\t0481\t../../.bashrc\n"          // not a kept name
        "2026-12-10 14:35:05\tsave\tTQ512-0481\t0481\t2026-12-10T14-35-05-x.cfg\n"
        "\n"
        "2026-12-10 14:35:06\tfirmware update\t\t\t2026-12-10T14-35-06-12.cfg");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].file, "2026-12-10T14-35-02.cfg");
    EXPECT_EQ(lines[0].firmware, "0481");
    EXPECT_EQ(lines[1].operation, "firmware update");
    EXPECT_EQ(lines[1].file, "2026-12-10T14-35-06-12.cfg");
}

} // namespace
} // namespace tq
