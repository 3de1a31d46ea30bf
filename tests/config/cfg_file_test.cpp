#include "config/cfg_file.h"
#include "config/record.h"
#include "config/vehicle.h"
#include "prefs/files.h"
#include "support/temp_folder.h"

#include <glib.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace tq {
namespace {

std::vector<std::string> lines_of(const std::string& text, const char* end)
{
    std::vector<std::string> lines;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t next = text.find(end, at);
        lines.push_back(text.substr(at, next - at));
        at = next == std::string::npos ? text.size() : next + std::strlen(end);
    }
    return lines;
}

struct CfgFile : ::testing::Test {
    ConfigState s;
    std::vector<std::string> messages;

    void start(int model = 512, int version = 1105)
    {
        begin_config_session(s, UnitKind{model, version});
        s.hooks.message = [this](const std::string& m) { messages.push_back(m); };
    }
    long n(Field f) const { return number_of(s, f); }
    const std::string& t(Field f) const { return text_of(s, f); }
    void read(const std::string& text) { read_cfg_text(s, text); }
};

TEST_F(CfgFile, WritesEveryKeyOfTheUnitsTableWithCrLf)
{
    start(512);
    set_number(s, Field::OperatingMode, 3);
    const std::string text = write_cfg_text(s);
    const auto lines = lines_of(text, "\r\n");
    ASSERT_EQ(lines.size(), 45u);
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
    EXPECT_EQ(lines.front(), "operatingmode=3");
    EXPECT_EQ(lines.back(), "language=1");
    for (const std::string& line : lines)
        EXPECT_EQ(line.find('\n'), std::string::npos);
    std::vector<std::string> keys;
    for (const std::string& line : lines)
        keys.push_back(line.substr(0, line.find('=')));
    EXPECT_EQ(keys[7], "audibleconfirmation");
    EXPECT_EQ(keys[16], "batteryvoltdropthreshold");
    EXPECT_EQ(keys[25], "tqpin");
    EXPECT_EQ(keys[39], "voicecallnotifyattempts");

    start(511);
    const auto small = lines_of(write_cfg_text(s), "\r\n");
    ASSERT_EQ(small.size(), 42u);
    for (const std::string& line : small) {
        for (const char* key : {"audibleconfirmation=", "powerwindows=", "rearming="})
            EXPECT_NE(line.rfind(key, 0), 0u) << line;
    }
}

TEST_F(CfgFile, ValueKinds)
{
    struct Case {
        int model;
        std::function<void(ConfigState&)> edit;
        const char* line;
    } cases[] = {
        {512, [](ConfigState& c) { set_number(c, Field::Siren, 2); }, "siren=2"},
        {511, [](ConfigState& c) { set_number(c, Field::RemoteOperation, 1); },
         "disarmingzorvikremotesonly=1"},
        {512, [](ConfigState& c) { set_number(c, Field::PaAuthorise, 1); }, "autorizepa=1"},
        {512, [](ConfigState& c) { set_number(c, Field::Phone2Ap, 1); }, "phone2sms=1"},
        {512, [](ConfigState& c) { set_text(c, Field::CanLevel, "007"); }, "canlevel=7"},
        {512, [](ConfigState& c) { set_text(c, Field::IgnoreCode, "x"); }, "canbusignorecode=0"},
        {512, [](ConfigState& c) { set_text(c, Field::Tqpin, "01234"); }, "tqpin=01234"},
        {512, [](ConfigState& c) { set_text(c, Field::Tqpin, "12a"); }, "tqpin=12"},
        {512, [](ConfigState& c) { set_text(c, Field::Phone1Number, "+48 601 ü"); },
         "phone1number=+48 601 ü"},
        {512,
         [](ConfigState& c) {
             set_number(c, Field::SupplySelection, 2);
             set_text(c, Field::Voltage, "10.5");
         },
         "batteryvoltdropthreshold=2;10.5"},
        {512,
         [](ConfigState& c) {
             set_number(c, Field::SupplySelection, 1);
             set_text(c, Field::Voltage, "10.5");
         },
         "batteryvoltdropthreshold=1"},
        {512, [](ConfigState& c) { select_vehicle(c, 110, 73, true); }, "carnumber=73"},
        {512, [](ConfigState& c) { select_vehicle(c, 4321, 0, true); }, "carnumber=0"},
    };
    for (const Case& c : cases) {
        start(c.model);
        c.edit(s);
        const auto lines = lines_of(write_cfg_text(s), "\r\n");
        EXPECT_NE(std::find(lines.begin(), lines.end(), c.line), lines.end()) << c.line;
    }
}

TEST_F(CfgFile, LineEndsDoNotMatter)
{
    const char* body[] = {"operatingmode=2", "canlevel=104", "siren=2", "phone1number=+48601",
                          "language=3"};
    for (const char* end : {"\n", "\r\n", ""}) {
        for (bool last_line_ended : {true, false}) {
            std::string text;
            for (std::size_t i = 0; i < 5; ++i) {
                text += body[i];
                if (i < 4 || last_line_ended)
                    text += *end ? end : "\n";
            }
            start();
            read(text);
            EXPECT_EQ(n(Field::OperatingMode), 2);
            EXPECT_EQ(t(Field::CanLevel), "104");
            EXPECT_EQ(n(Field::Siren), 2);
            EXPECT_EQ(t(Field::Phone1Number), "+48601");
            EXPECT_EQ(n(Field::Language), 3);
        }
    }
}

TEST_F(CfgFile, ReadingEdgeCases)
{
    struct Case {
        std::string text;
        Field field;
        long number;       // for option, pair, group and check fields
        const char* shown; // for entries (nullptr: a number field)
    } cases[] = {
        {"siren=2", Field::Siren, 2, nullptr},
        {"OperatingMode=3", Field::OperatingMode, 1, nullptr},       // keys are case-sensitive
        {"operatingmode = 3", Field::OperatingMode, 1, nullptr},     // no blanks around '='
        {"language=1=2", Field::Language, 1, nullptr},               // value "1=2" reads as 1
        {"operatingmode", Field::OperatingMode, 1, nullptr},         // no '=': skipped
        {"operatingmode=abc", Field::OperatingMode, 0, nullptr},     // no digits: 0
        {"operatingmode=+4", Field::OperatingMode, 4, nullptr},
        {"operatingmode=7", Field::OperatingMode, 1, nullptr},       // not an option: ignored
        {"operatingmode=-1", Field::OperatingMode, 1, nullptr},
        {"3xprealarm=2", Field::Prealarm3x, 1, nullptr},             // pairs take 0 or 1
        {"phonenumbercount=4", Field::PhoneCount, 1, nullptr},       // groups take 0..3
        {"voicecallnotifyattempts=3", Field::VoiceCalls, 1, nullptr},// and 0..2
        {"phone1tel=5", Field::Phone1Tel, 1, nullptr},               // non-zero checks
        {"phone1tel=x", Field::Phone1Tel, 0, nullptr},
        {"operatingmode=2\noperatingmode=5", Field::OperatingMode, 5, nullptr}, // later wins
        {"tqpin= 0012", Field::Tqpin, 0, " 0012"},                   // entries take the text as is
        {"phone2number=+48 601", Field::Phone2Number, 0, "+48 601"},
        {"phone2number=+48\xff" "1", Field::Phone2Number, 0, "+48\xef\xbf\xbd" "1"}, // made UTF-8
        {std::string("phone2number=+4\0" "8", 17), Field::Phone2Number, 0, "+4"},
    };
    for (const Case& c : cases) {
        start();
        set_number(s, Field::OperatingMode, 1);
        set_number(s, Field::Prealarm3x, 1);
        set_number(s, Field::PhoneCount, 1);
        set_number(s, Field::VoiceCalls, 1);
        set_number(s, Field::Phone1Tel, 1);
        read(c.text);
        if (c.shown) {
            EXPECT_EQ(t(c.field), c.shown) << c.text;
        } else {
            EXPECT_EQ(n(c.field), c.number) << c.text;
        }
    }
}

TEST_F(CfgFile, SupplyAndVoltage)
{
    start();
    set_text(s, Field::Voltage, "12.3");
    read("batteryvoltdropthreshold=1");
    EXPECT_EQ(n(Field::SupplySelection), 1);
    EXPECT_EQ(t(Field::Voltage), "12.3");
    read("batteryvoltdropthreshold=2;10.5");
    EXPECT_EQ(n(Field::SupplySelection), 2);
    EXPECT_EQ(t(Field::Voltage), "10.5");
    read("batteryvoltdropthreshold=9;11.1;x");
    EXPECT_EQ(n(Field::SupplySelection), 2);
    EXPECT_EQ(t(Field::Voltage), "11.1;x");
}

TEST_F(CfgFile, LineAndFileLimits)
{
    start();
    const std::string phone249 = "phone1number=+" + std::string(249 - 14, '1');
    read(phone249);
    EXPECT_EQ(t(Field::Phone1Number).size(), 249u - 13);
    read("phone1number=" + std::string(237, '2'));
    EXPECT_EQ(t(Field::Phone1Number).size(), 249u - 13) << "a 250-character line is skipped";
    // Carriage returns do not count.
    read("phone1number=+3" + std::string(10, '\r') + "\r\n");
    EXPECT_EQ(t(Field::Phone1Number), "+3");

    // Only the first 8192 bytes count; a line cut there is dropped.
    std::string big;
    while (big.size() < 8192 - 20)
        big += "x=1\n";
    big += "siren=1\n";
    const std::size_t cut = 8192 - big.size();
    big += "language=" + std::string(cut, '3') + "\nlanguage=2\n";
    start();
    read(big);
    EXPECT_EQ(n(Field::Siren), 1);
    EXPECT_EQ(n(Field::Language), 1); // neither the cut line nor the one after it
}

TEST_F(CfgFile, ReadValuesBecomeReferencesWithoutMarks)
{
    start();
    refresh_change_marks(s);
    read("operatingmode=4\r\ncanlevel=110\r\ntqpin=01234\r\nphone1ap=1\r\nphone1number=+48 1\r\n");
    for (Field f : {Field::OperatingMode, Field::CanLevel, Field::Tqpin, Field::Phone1Ap,
                    Field::Phone1Number})
        EXPECT_FALSE(s.record.marked[std::size_t(f)]) << int(f);
    EXPECT_FALSE(differs(s, Field::Tqpin));
    EXPECT_EQ(n(Field::Phone1Sms), 1); // AP forces SMS, which now differs from the file
    EXPECT_TRUE(s.record.marked[std::size_t(Field::Phone1Sms)]);

    // Writing makes every value a reference but leaves the Save button's mark.
    set_number(s, Field::Siren, 1);
    EXPECT_TRUE(s.record.save_marked);
    write_cfg_text(s);
    for (int f = 0; f < kFieldCount; ++f)
        EXPECT_FALSE(s.record.marked[std::size_t(f)]) << f;
    EXPECT_FALSE(differs(s, Field::Siren));
    EXPECT_TRUE(s.record.save_marked);
}

TEST_F(CfgFile, VehicleKeyAndLevelRestoreTheModel)
{
    struct Case {
        const char* text;
        int key;
    } cases[] = {
        {"carnumber=73\ncanlevel=110\n", 73},  // the A4 on its secondary level
        {"canlevel=110\n", 16},                // the level alone finds the A1
        {"canlevel=110\ncarnumber=73\n", 73},
        {"carnumber=73\n", 0},                 // a key alone chooses nothing
        {"carnumber=999\ncanlevel=110\n", 999}, // a car the table lacks is kept
        {"carnumber=99999\ncanlevel=110\n", 0},  // no key: kept as 0, as the file holds
    };
    for (const Case& c : cases) {
        start();
        select_vehicle(s, 29, 190, true);
        read(c.text);
        EXPECT_EQ(selected_vehicle_key(s), c.key) << c.text;
    }
    start();
    read("carnumber=73\ncanlevel=110\n");
    EXPECT_EQ(t(Field::CanLevel), "110");

    // A kept vehicle goes back into the next file as it came.
    read("carnumber=999\ncanlevel=50\n");
    const std::vector<std::string> lines = lines_of(write_cfg_text(s), "\r\n");
    EXPECT_NE(std::find(lines.begin(), lines.end(), "carnumber=999"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "canlevel=50"), lines.end());
}

TEST_F(CfgFile, KeysForControlsTheUnitLacksAreSkipped)
{
    start(512, 1063);
    set_number(s, Field::InhibitArm, 1);
    read("inhibitarm=2\nautorizepa=1\ndoorsunlockwithtrunk=1\noperatingmode=5\n");
    EXPECT_EQ(n(Field::InhibitArm), 1);
    EXPECT_EQ(n(Field::PaAuthorise), 0);
    EXPECT_EQ(n(Field::TrunkDisarm), 0);
    EXPECT_EQ(n(Field::OperatingMode), 5);

    start(511, 1105);
    read("audibleconfirmation=1\noperatingmode=5\n"); // not in the smaller unit's table
    EXPECT_EQ(n(Field::AudibleConfirmation), 0);
    EXPECT_EQ(n(Field::OperatingMode), 0);
}

TEST(CfgFileName, CfgIsAppendedUnlessPresent)
{
    EXPECT_EQ(cfg_file_name("/a/car"), "/a/car.cfg");
    EXPECT_EQ(cfg_file_name("/a/car.cfg"), "/a/car.cfg");
    EXPECT_EQ(cfg_file_name("/a/car.CFG"), "/a/car.CFG");
    EXPECT_EQ(cfg_file_name("/a/car.Cfg"), "/a/car.Cfg.cfg");
    EXPECT_EQ(cfg_file_name("cfg"), "cfg.cfg");
}

struct CfgFiles : CfgFile {
    test::TempFolder folder;
    std::string dir = folder.path();
    std::vector<std::string> file_messages;
    FileMessageSink previous;
    void SetUp() override
    {
        previous = set_file_message_sink([this](const std::string& m) { file_messages.push_back(m); });
    }
    void TearDown() override { set_file_message_sink(previous); }
};

TEST_F(CfgFiles, SaveAndLoadThroughFiles)
{
    start();
    const std::string path = dir + "/car.cfg";
    set_number(s, Field::Siren, 2);
    set_text(s, Field::Phone1Number, "+48 601");
    ASSERT_EQ(save_configuration_file(s, path), CfgFileResult::Done);
    EXPECT_EQ(messages.back(), "Configuration saved.");

    start();
    ASSERT_EQ(load_configuration_file(s, path), CfgFileResult::Done);
    EXPECT_EQ(messages.back(), "Configuration loaded successfully.");
    EXPECT_EQ(n(Field::Siren), 2);
    EXPECT_EQ(t(Field::Phone1Number), "+48 601");

    // Errors.
    messages.clear();
    EXPECT_EQ(load_configuration_file(s, dir + "/missing.cfg"), CfgFileResult::NothingRead);
    EXPECT_EQ(file_messages, std::vector<std::string>{"Error opening file"});
    EXPECT_TRUE(messages.empty());
    const std::string empty = dir + "/empty.cfg";
    ASSERT_TRUE(g_file_set_contents(empty.c_str(), "", 0, nullptr));
    EXPECT_EQ(load_configuration_file(s, empty), CfgFileResult::NothingRead);
    EXPECT_EQ(file_messages.size(), 1u);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(save_configuration_file(s, dir + "/no/such/folder/car.cfg"), CfgFileResult::WriteError);
    EXPECT_EQ(file_messages.back(), "Error writing file");
    EXPECT_TRUE(messages.empty());

    // Without a unit there are no controls to save or fill.
    end_config_session(s);
    EXPECT_EQ(save_configuration_file(s, path), CfgFileResult::NoUnit);
    EXPECT_EQ(load_configuration_file(s, path), CfgFileResult::NoUnit);
}

} // namespace
} // namespace tq
