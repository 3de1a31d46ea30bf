// tq512-cli flash against the simulated unit and its bootloader.
#include "cli_fixture.h"

#include "config/history.h"
#include "firmware/firmware_fixture.h"
#include "link/commands.h"
#include "sim/usb_bootloader.h"

#include <algorithm>

namespace tq::test {
namespace {

class CliFlash : public CliTest {
protected:
    std::string bin(const std::string& name, const std::vector<std::uint8_t>& bytes)
    {
        const std::string path = tmp.path() + "/" + name;
        spit(path, std::string(bytes.begin(), bytes.end()));
        return path;
    }
    int switches() const
    {
        const auto& r = programmer->unit.received;
        return int(std::count_if(r.begin(), r.end(), [](const sim::Frame& f) {
            return f.code == cmd::kEnterBootloader;
        }));
    }

    sim::UsbBootloader& boot = sim::attach_bootloader(*programmer);
};

TEST_F(CliFlash, ProgramsTheUnitWithPlainProgressLines)
{
    const auto file = firmware_file(20'000);
    ASSERT_EQ(run({"flash", bin("new.bin", file)}), cli::kExitDone) << err;
    const auto lines = lines_of(out);
    ASSERT_GE(lines.size(), 14u);
    EXPECT_EQ(lines[0], "Switching to flash programming mode");
    EXPECT_EQ(lines[1], "Firmware TQ512 bootloader ver 1.2");
    EXPECT_EQ(lines[2], "Erasing flash memory...");
    EXPECT_EQ(lines[3], "0%");
    EXPECT_EQ(lines[4], "10%");
    EXPECT_EQ(lines[lines.size() - 2], "100%");
    EXPECT_EQ(lines.back(), "Successfully programmed device.");
    EXPECT_EQ(switches(), 1);
    EXPECT_TRUE(boot.marker_valid());
    EXPECT_TRUE(std::equal(file.begin() + 16, file.end(), boot.flash.begin()));
    EXPECT_EQ(programmer->variant(), sim::Variant::Programmer64); // restarted
}

TEST_F(CliFlash, ATerminalGetsOneBarRedrawnInPlace)
{
    terminal = true;
    ASSERT_EQ(run({"flash", bin("new.bin", firmware_file(20'000))}), cli::kExitDone);
    EXPECT_NE(out.find("Erasing flash memory...\n\r[" + std::string(40, ' ') + "] 0%"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("\r[" + std::string(40, '#') + "] 100%\nSuccessfully programmed device.\n"),
              std::string::npos);
    EXPECT_EQ(out.find("\n10%"), std::string::npos); // no plain lines
    EXPECT_EQ(std::count(out.begin(), out.end(), '\r'), 101); // each per cent drawn once
}

TEST_F(CliFlash, AUnitWaitingInItsBootloaderIsProgrammedWithoutTheSwitch)
{
    programmer->set_variant(sim::Variant::Bootloader);
    ASSERT_EQ(run({"flash", bin("new.bin", firmware_file(10'000))}), cli::kExitDone) << err;
    EXPECT_EQ(switches(), 0);
    EXPECT_EQ(out.find("Switching"), std::string::npos);
    EXPECT_TRUE(boot.marker_valid());
}

TEST_F(CliFlash, AnUnusableFileNeverTouchesTheUnit)
{
    auto bad_crc = firmware_file(20'000);
    bad_crc[100] ^= 1;
    const std::vector<std::pair<std::string, std::string>> cases = {
        {bin("short.bin", firmware_file(10'000 - 17)), "File corrupted!"},
        {bin("crc.bin", bad_crc), "File corrupted!"},
        {bin("tag.bin", firmware_file(20'000, "TQ999F3 ")), "File corrupted!"},
        {tmp.path() + "/missing.bin", "Error opening file"},
    };
    for (const auto& [path, message] : cases) {
        EXPECT_EQ(run({"flash", path}), cli::kExitFailed) << path;
        EXPECT_EQ(err, message + ": " + path + "\n");
    }
    EXPECT_EQ(programmer->polls_seen, 0);
    EXPECT_TRUE(boot.commands.empty());
}

TEST_F(CliFlash, AFailedWriteOrAMissingBootloaderIsStatusOne)
{
    boot.faults.corrupt_block_at = sim::UsbBootloader::kStart + 56 * 10;
    EXPECT_EQ(run({"flash", bin("new.bin", firmware_file(20'000))}), cli::kExitFailed);
    EXPECT_EQ(err, "Write error!\n");
    EXPECT_EQ(out.find("Successfully"), std::string::npos);
    EXPECT_FALSE(boot.marker_valid());

    // The unit left in its bootloader is programmed by the next run.
    boot.faults.corrupt_block_at = 0;
    ASSERT_EQ(run({"flash", bin("new.bin", firmware_file(20'000))}), cli::kExitDone) << err;
    EXPECT_TRUE(boot.marker_valid());

    boot.faults.never_appears = true;
    EXPECT_EQ(run({"flash", bin("new.bin", firmware_file(20'000))}), cli::kExitFailed);
    EXPECT_EQ(err, "Write error!\n");
}

TEST_F(CliFlash, NoUnitIsStatusThree)
{
    programmer->plugged = false;
    EXPECT_EQ(run({"flash", bin("new.bin", firmware_file(20'000)), "--wait", "1"}),
              cli::kExitNoUnit);
}

// As in the window, the unit's configuration is kept before the update
// writes; the flash then goes on as ever.
TEST_F(CliFlash, KeepsTheUnitsConfigurationBeforeItWrites)
{
    history_root = tmp.path() + "/units";
    ASSERT_EQ(run({"config", "get", "-"}), cli::kExitDone);
    const std::string before = out;
    ASSERT_EQ(run({"flash", bin("new.bin", firmware_file(20'000))}), cli::kExitDone) << err;
    EXPECT_EQ(lines_of(out).back(), "Successfully programmed device.");
    const std::string folder = history_root + "/220000004711";
    const auto kept = list_history(folder);
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept[0].operation, "firmware update");
    EXPECT_EQ(slurp(folder + "/" + kept[0].file), before);
}

} // namespace
} // namespace tq::test
