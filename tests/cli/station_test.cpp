// tq512-cli station over a row of simulated units.
#include "cli_fixture.h"

#include "config/history.h"
#include "firmware/firmware_fixture.h"
#include "link/commands.h"
#include "sim/usb_bootloader.h"

#include <algorithm>

namespace tq::test {
namespace {

class CliStation : public CliTest {
protected:
    CliStation()
    {
        bin = tmp.path() + "/line.bin";
        const auto image = firmware_file(12'000);
        spit(bin, std::string(image.begin(), image.end()));
        // The line's configuration: the demo unit's with another TQPIN.
        EXPECT_EQ(run({"config", "get", "-"}), cli::kExitDone);
        cfg = tmp.path() + "/line.cfg";
        const std::size_t at = out.find("tqpin=");
        spit(cfg, out.substr(0, at) + "tqpin=97531" + out.substr(out.find("\r\n", at)));
        report = tmp.path() + "/line.csv";
    }

    static int switches(const sim::Programmer& p)
    {
        return int(std::count_if(p.unit.received.begin(), p.unit.received.end(),
                                 [](const sim::Frame& f) { return f.code == cmd::kEnterBootloader; }));
    }
    std::string tqpin(const sim::Programmer& p) const
    {
        return std::string(reinterpret_cast<const char*>(&p.unit.memory[548]), 5);
    }
    std::size_t reported() const { return lines_of(slurp(report)).size(); }

    std::string bin;
    std::string cfg;
    std::string report;
};

TEST_F(CliStation, ARowOfUnitsOneOfWhichFails)
{
    // Unit 1 runs older firmware, unit 2 the line's, unit 3 is pulled while
    // its configuration is written.
    const long start = programmer->reports_carried;
    ASSERT_EQ(run({"config", "get", "-"}), cli::kExitDone);
    const long reading = programmer->reports_carried - start;

    new_unit();
    programmer->unit.identity.minor = 70;
    programmer->unit.identity.serial = 1;
    sim::UsbBootloader* boot1 = &sim::attach_bootloader(*programmer);
    sim::Programmer* unit1 = programmer.get();
    sim::Programmer* unit2 = nullptr;
    sim::Programmer* unit3 = nullptr;

    interrupted = [&] {
        if (reported() == 2 && !unit2) { // header and unit 1
            new_unit();
            programmer->unit.identity.serial = 2;
            unit2 = programmer.get();
        } else if (reported() == 3 && !unit3) {
            new_unit();
            programmer->unit.identity.serial = 3;
            programmer->faults.unplug_after_reports = int(reading) + 12;
            unit3 = programmer.get();
        }
        return reported() == 4;
    };
    EXPECT_EQ(run({"station", "--flash", bin, "--config", cfg, "--report", report,
                   "--firmware-version", "4.81"}),
              cli::kExitFailed);

    const auto csv = lines_of(slurp(report));
    ASSERT_EQ(csv.size(), 4u);
    EXPECT_EQ(csv[0], "serial,model,firmware,result,seconds");
    // After the update the simulated unit still names its old version.
    EXPECT_EQ(csv[1].rfind("220000000001,TQ512-0470,4.70,ok,", 0), 0u) << csv[1];
    EXPECT_EQ(csv[2].rfind("220000000002,TQ512-0481,4.81,ok,", 0), 0u) << csv[2];
    EXPECT_EQ(csv[3].rfind("220000000003,TQ512-0481,4.81,Write error!,", 0), 0u) << csv[3];
    for (const auto& line : {csv[1], csv[2], csv[3]}) {
        const double seconds = std::stod(line.substr(line.rfind(',') + 1));
        EXPECT_GT(seconds, 0.0);
        EXPECT_LT(seconds, 60.0);
    }

    // Standard output has the same lines.
    const auto lines = lines_of(out);
    ASSERT_EQ(lines.size(), 3u) << out;
    EXPECT_EQ(lines[0].rfind("220000000001\tTQ512-0470\t4.70\tok\t", 0), 0u) << lines[0];
    EXPECT_EQ(lines[2].rfind("220000000003\tTQ512-0481\t4.81\tWrite error!\t", 0), 0u);

    // Unit 1 was flashed, unit 2 already ran the firmware; both hold the
    // configuration.
    EXPECT_EQ(switches(*unit1), 1);
    EXPECT_TRUE(boot1->marker_valid());
    EXPECT_EQ(switches(*unit2), 0);
    EXPECT_EQ(tqpin(*unit1), "97531");
    EXPECT_EQ(tqpin(*unit2), "97531");
    EXPECT_NE(tqpin(*unit3), "97531");
}

TEST_F(CliStation, AReportGoesOnAndTheImageVersionIsLearnt)
{
    // Without --firmware-version the first unit flashed tells the version;
    // a unit that runs it later is not flashed again.
    std::vector<sim::Programmer*> units;
    int next = 0;
    interrupted = [&] {
        const std::size_t done = reported() - 1;
        if (done == units.size() && next < 2) {
            new_unit();
            units.push_back(programmer.get());
            ++next;
        }
        return reported() == 3;
    };
    spit(report, "serial,model,firmware,result,seconds\r\n");
    EXPECT_EQ(run({"station", "--flash", bin, "--report", report}), cli::kExitDone) << err;
    const auto csv = lines_of(slurp(report));
    ASSERT_EQ(csv.size(), 3u); // the header is not written twice
    EXPECT_EQ(switches(*units[0]), 1);
    EXPECT_EQ(switches(*units[1]), 0);
    EXPECT_NE(err.find("Unplug the unit."), std::string::npos);
}

TEST_F(CliStation, FilesAreCheckedBeforeTheFirstUnit)
{
    EXPECT_EQ(run({"station"}), cli::kExitUsage);
    EXPECT_EQ(run({"station", "--flash", tmp.path() + "/missing.bin"}), cli::kExitFailed);
    EXPECT_EQ(err.rfind("Error opening file", 0), 0u);
    EXPECT_EQ(run({"station", "--config", tmp.path() + "/missing.cfg"}), cli::kExitFailed);
    EXPECT_EQ(run({"station", "--config", cfg, "--report", tmp.path() + "/no/dir/r.csv"}),
              cli::kExitFailed);
    EXPECT_EQ(err, "Can not open file! " + tmp.path() + "/no/dir/r.csv\n");
}

// Each unit's configuration is kept before the flash and again before its
// configuration is written.
TEST_F(CliStation, EachWriteKeepsWhatTheUnitHeldBefore)
{
    history_root = tmp.path() + "/units";
    new_unit();
    programmer->unit.identity.minor = 70; // older firmware: it is flashed
    programmer->unit.identity.serial = 5;
    sim::attach_bootloader(*programmer);
    interrupted = [&] { return reported() == 2; };
    EXPECT_EQ(run({"station", "--flash", bin, "--config", cfg, "--report", report}),
              cli::kExitDone) << err;
    ASSERT_EQ(tqpin(*programmer), "97531");
    const auto kept = list_history(history_root + "/220000000005");
    ASSERT_EQ(kept.size(), 2u);
    EXPECT_EQ(kept[0].operation, "save");
    EXPECT_EQ(kept[1].operation, "firmware update");
    EXPECT_EQ(kept[1].firmware, "0470");
}

} // namespace
} // namespace tq::test
