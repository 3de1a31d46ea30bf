// tq512-cli: options, exit statuses, identify and config get/set against the
// simulated unit.
#include "cli_fixture.h"

#include "config/history.h"
#include "link/commands.h"

#include <algorithm>

namespace tq::test {
namespace {

bool unit_received(const sim::Programmer& p, std::uint8_t code)
{
    const auto& r = p.unit.received;
    return std::any_of(r.begin(), r.end(), [code](const sim::Frame& f) { return f.code == code; });
}

std::string memory_text(const sim::Programmer& p, int address, int length)
{
    return std::string(reinterpret_cast<const char*>(&p.unit.memory[std::size_t(address)]),
                       std::size_t(length));
}

std::string replaced(std::string cfg, const std::string& key, const std::string& value)
{
    const std::size_t at = cfg.find(key + "=");
    const std::size_t end = cfg.find("\r\n", at);
    return cfg.replace(at, end - at, key + "=" + value);
}

using CliUsage = CliTest;

TEST_F(CliUsage, WrongUsageIsStatusTwoAndTouchesNoDevice)
{
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"frobnicate"},
        {"identify", "extra"},
        {"config"},
        {"config", "put", "a.cfg"},
        {"config", "get"},
        {"identify", "--watch"},
        {"identify", "--wait", "soon"},
        {"identify", "--wait"},
        {"identify", "--bogus"},
        {"identify", "--lang", "xx"},
    };
    for (const auto& args : cases) {
        EXPECT_EQ(run(args), cli::kExitUsage) << ::testing::PrintToString(args);
        EXPECT_NE(err.find("tq512-cli: "), std::string::npos);
    }
    EXPECT_EQ(programmer->polls_seen, 0);
    EXPECT_TRUE(programmer->written.empty());
}

TEST_F(CliUsage, HelpForTheProgramAndEachCommand)
{
    EXPECT_EQ(run({"--help"}), cli::kExitDone);
    EXPECT_NE(out.find("Exit status: 0 done, 1 the operation failed, 2 wrong usage, 3 no unit"),
              std::string::npos);
    for (const char* command :
         {"identify", "config", "flash", "events", "signals", "console", "station"}) {
        EXPECT_EQ(run({command, "--help"}), cli::kExitDone);
        EXPECT_EQ(out.rfind(std::string("Usage: tq512-cli ") + command, 0), 0u) << out;
    }
}

TEST_F(CliUsage, AProgrammerHeldByAnotherProgramIsStatusOne)
{
    lock_held = true;
    EXPECT_EQ(run({"identify"}), cli::kExitFailed);
    EXPECT_EQ(err, std::string(text(kTextCliProgrammerBusy)) + "\n");
    EXPECT_TRUE(programmer->written.empty());
}

using CliIdentify = CliTest;

TEST_F(CliIdentify, PrintsWhatTheWindowShows)
{
    ASSERT_EQ(run({"identify"}), cli::kExitDone) << err;
    EXPECT_EQ(out, "TQ512-0481\n4.81\nNORDAVEL TQ512\nDevice serial number 220000004711\n");

    ASSERT_EQ(run({"--json", "identify"}), cli::kExitDone);
    EXPECT_EQ(out, "{\"model\": \"TQ512-0481\", \"unit_model\": 512, \"firmware\": \"4.81\", "
                   "\"firmware_version\": 1105, \"hardware\": \"NORDAVEL TQ512\", "
                   "\"serial\": \"220000004711\"}\n");
}

TEST_F(CliIdentify, TraceRecordsTheIdentification)
{
    test::TempFolder folder;
    ASSERT_EQ(run({"identify", "--trace", folder / "trace.txt"}), cli::kExitDone) << err;
    const std::string trace = folder.read("trace.txt");
    EXPECT_NE(trace.find("] open 12AA:F1C9: opened\n"), std::string::npos) << trace;
    EXPECT_NE(trace.find("] frame out: !0104AF#\n"), std::string::npos); // the version request
    EXPECT_NE(trace.find("] frame in: !"), std::string::npos);

    EXPECT_EQ(run({"identify", "--trace", folder / "no-such-folder/trace.txt"}), cli::kExitFailed);
    EXPECT_EQ(err.rfind("--trace ", 0), 0u) << err;
}

TEST_F(CliIdentify, NoUnitWithinTheWaitIsStatusThreeInTheChosenLanguage)
{
    programmer->plugged = false;
    const std::int64_t start = platform::now_ms();
    EXPECT_EQ(run({"identify", "--wait", "3"}), cli::kExitNoUnit);
    EXPECT_EQ(err, "No unit found within 3 seconds.\n");
    EXPECT_GE(platform::now_ms() - start, 3000);
    EXPECT_LT(platform::now_ms() - start, 3500);

    EXPECT_EQ(run({"identify", "--lang", "de", "--wait=1"}), cli::kExitNoUnit);
    EXPECT_EQ(err, "Innerhalb von 1 Sekunden wurde kein Gerät gefunden.\n");
}

TEST_F(CliIdentify, AProgrammerThatMayNotBeOpenedIsNamedWithTheFix)
{
    programmer->openable = false;
    EXPECT_EQ(run({"identify", "--wait", "1"}), cli::kExitFailed);
    EXPECT_EQ(err, std::string(text(kTextProgrammerNoAccess)) + "\n" +
                       text(kTextProgrammerAccessFix) + "\n");
}

TEST_F(CliIdentify, ARefusedUnitIsAnErrorWithTheWindowsMessage)
{
    programmer->unit.identity.hardware_type = 14;
    EXPECT_EQ(run({"identify"}), cli::kExitFailed);
    EXPECT_EQ(err.rfind("Program doesn't work with this firmware version.\n(0512-0481/6-14).", 0),
              0u)
        << err;
    EXPECT_TRUE(out.empty());
}

TEST_F(CliIdentify, AUnitInItsBootloaderIsNamed)
{
    programmer->set_variant(sim::Variant::Bootloader);
    EXPECT_EQ(run({"identify"}), cli::kExitFailed);
    EXPECT_EQ(err, std::string(text(kTextCliInBootloader)) + "\n");
}

using CliConfig = CliTest;

TEST_F(CliConfig, GetWritesTheWindowsFileFormat)
{
    ASSERT_EQ(run({"config", "get", "-"}), cli::kExitDone) << err;
    const std::string cfg = out;
    const auto lines = lines_of(cfg);
    ASSERT_EQ(lines.size(), 45u);
    EXPECT_EQ(lines.front().rfind("operatingmode=", 0), 0u);
    EXPECT_EQ(std::count(cfg.begin(), cfg.end(), '\n'), std::count(cfg.begin(), cfg.end(), '\r'));
    EXPECT_FALSE(unit_received(*programmer, cmd::kStored)); // reading writes nothing

    const std::string file = tmp.path() + "/unit.cfg";
    ASSERT_EQ(run({"config", "get", file}), cli::kExitDone);
    EXPECT_EQ(slurp(file), cfg);
    EXPECT_TRUE(out.empty());

    ASSERT_EQ(run({"config", "get", "-", "--json"}), cli::kExitDone);
    EXPECT_EQ(out.rfind("{\"operatingmode\": \"", 0), 0u) << out;
    EXPECT_NE(out.find("\"tqpin\": \""), std::string::npos);
}

TEST_F(CliConfig, SetStoresTheFileWithReadBackAndTheFinalCommand)
{
    ASSERT_EQ(run({"config", "get", "-"}), cli::kExitDone);
    std::string cfg = replaced(out, "tqpin", "24680");
    // A vehicle the table lacks keeps its key, as in the window.
    cfg = replaced(cfg, "carnumber", "65001");
    cfg = replaced(cfg, "canlevel", "3333");
    const std::string file = tmp.path() + "/fleet.cfg";
    spit(file, cfg);

    programmer->unit.received.clear();
    ASSERT_EQ(run({"config", "set", file}), cli::kExitDone) << err;
    EXPECT_EQ(out, "Configuration saved.\n");
    EXPECT_EQ(memory_text(*programmer, 548, 5), "24680");
    EXPECT_EQ(programmer->unit.memory[712] << 8 | programmer->unit.memory[713], 65001);
    ASSERT_FALSE(programmer->unit.received.empty());
    EXPECT_EQ(programmer->unit.received.back().code, cmd::kStored);

    // Read back, the unit gives the file.
    ASSERT_EQ(run({"config", "get", "-"}), cli::kExitDone);
    EXPECT_EQ(out, cfg);

    // And from standard input.
    ASSERT_EQ(run({"config", "set", "-"}, replaced(cfg, "tqpin", "13579")), cli::kExitDone) << err;
    EXPECT_EQ(memory_text(*programmer, 548, 5), "13579");
}

TEST_F(CliConfig, NothingIsWrittenForAFileThatFailsItsChecks)
{
    ASSERT_EQ(run({"config", "get", "-"}), cli::kExitDone);
    const std::string good = out;
    struct Case {
        std::string cfg;
        std::string message;
    };
    const std::vector<Case> cases = {
        {replaced(good, "tqpin", "12a45"), "TQPIN must have five digits only!"},
        {replaced(good, "canlevel", "256"),
         "CAN-bus level should be between 0-65535, and not 255 or 256."},
        {replaced(replaced(good, "phonenumbercount", "1"), "phone1number", "0048601"),
         "Wrong phone 1 number."},
        {"this is not a configuration\n", "holds no configuration for this unit."},
        {"", "holds no configuration for this unit."},
    };
    const std::string file = tmp.path() + "/bad.cfg";
    for (const Case& c : cases) {
        spit(file, c.cfg);
        programmer->unit.writes.clear();
        programmer->unit.received.clear();
        EXPECT_EQ(run({"config", "set", file}), cli::kExitFailed);
        EXPECT_NE(err.find(c.message), std::string::npos) << err;
        EXPECT_TRUE(out.empty());
        EXPECT_TRUE(programmer->unit.writes.empty()) << c.message;
        EXPECT_FALSE(unit_received(*programmer, cmd::kStored));
    }

    // A file that cannot be opened does not even wait for a unit.
    programmer->polls_seen = 0;
    EXPECT_EQ(run({"config", "set", tmp.path() + "/missing.cfg"}), cli::kExitFailed);
    EXPECT_EQ(err.rfind("Error opening file", 0), 0u) << err;
    EXPECT_EQ(programmer->polls_seen, 0);
}

TEST_F(CliConfig, AUnitPulledDuringTheSaveIsNotReportedAsSaved)
{
    ASSERT_EQ(run({"config", "get", "-"}), cli::kExitDone);
    const std::string cfg = replaced(out, "tqpin", "11111");
    const std::string file = tmp.path() + "/unit.cfg";
    spit(file, cfg);
    // How many reports identification and the read take, then pull the
    // cable a few block writes later.
    const long before = programmer->reports_carried;
    ASSERT_EQ(run({"config", "get", "-"}), cli::kExitDone);
    const long reading = programmer->reports_carried - before;

    programmer->faults.unplug_after_reports = int(reading) + 12;
    EXPECT_EQ(run({"config", "set", file}), cli::kExitFailed);
    EXPECT_EQ(err, "Write error!\n");
    EXPECT_TRUE(out.empty());
    EXPECT_FALSE(programmer->unit.writes.empty()); // it had begun
    EXPECT_FALSE(unit_received(*programmer, cmd::kStored));
}

TEST_F(CliConfig, AGetThatCannotWriteItsFileFails)
{
    const std::string file = tmp.path() + "/no/such/folder/unit.cfg";
    EXPECT_EQ(run({"config", "get", file}), cli::kExitFailed);
    EXPECT_EQ(err, "Error writing file: " + file + "\n");
}

// "config set" keeps what the unit held in the configuration history, as
// the window's Save does.
TEST_F(CliConfig, SetKeepsTheUnitsConfigurationInTheHistory)
{
    history_root = tmp.path() + "/units";
    ASSERT_EQ(run({"config", "get", "-"}), cli::kExitDone);
    const std::string before = out;
    const std::string file = tmp.path() + "/fleet.cfg";
    spit(file, replaced(before, "tqpin", "24680"));
    ASSERT_EQ(run({"config", "set", file}), cli::kExitDone) << err;

    const std::string folder = history_root + "/220000004711";
    const auto kept = list_history(folder);
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept[0].operation, "save");
    EXPECT_EQ(kept[0].firmware, "0481");
    EXPECT_EQ(slurp(folder + "/" + kept[0].file), before);
}

} // namespace
} // namespace tq::test
