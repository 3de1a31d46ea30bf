#include "firmware/autoflash.h"
#include "firmware_fixture.h"
#include "platform/clock.h"

#include <gtest/gtest.h>

#include <glib/gstdio.h>

#include <algorithm>
#include <map>

#include <fcntl.h>
#include <sys/stat.h>

namespace tq {
namespace {

// A folder whose files and the system time live on the virtual clock.
struct Watch : ::testing::Test {
    platform::ScopedVirtualClock clock;
    static constexpr std::int64_t kEpochUs = 1'700'000'000'000'000; // system time at clock start
    std::int64_t clock_start_ms = platform::now_ms();
    std::map<std::string, std::int64_t> files; // name: modified, microseconds
    int listings = 0;
    std::vector<std::string> updates;          // files the update was run on
    std::map<std::string, bool> usable;        // default: usable
    FirmwareState fw;
    AutoflashEnv env;

    Watch()
    {
        env.list = [this](const std::string& folder) {
            ++listings;
            EXPECT_EQ(folder, "/bins");
            std::vector<BinFile> out;
            for (const auto& [name, t] : files)
                out.push_back({name, t});
            return out;
        };
        env.now_us = [this] { return now_us(); };
        env.update = [this] {
            updates.push_back(fw.autoflash_file);
            const auto it = usable.find(fw.autoflash_file);
            return it == usable.end() || it->second ? 1 : 0;
        };
    }

    std::int64_t now_us() const { return kEpochUs + (platform::now_ms() - clock_start_ms) * 1000; }
    // A file copied in now (or with the time it had elsewhere).
    void copy_in(const std::string& name, std::int64_t modified_us = -1)
    {
        files[name] = modified_us < 0 ? now_us() : modified_us;
    }
    // Scans every 35 ms for ms milliseconds, as the poll loop would.
    void run_loop(int ms)
    {
        for (int t = 0; t < ms; t += 35) {
            autoflash_step(fw, env);
            platform::sleep_ms(35);
        }
    }
    std::vector<std::string> written(std::initializer_list<const char*> names) const
    {
        std::vector<std::string> out;
        for (const char* n : names)
            out.push_back(std::string("/bins/") + n);
        return out;
    }
};

TEST_F(Watch, FilesPresentAtSwitchOnAreNeverWritten)
{
    copy_in("old.bin");
    platform::sleep_ms(5'000);
    copy_in("older.bin", now_us() - 60'000'000);
    autoflash_arm(fw, "/bins", env);
    run_loop(10'000);
    EXPECT_TRUE(updates.empty());
}

TEST_F(Watch, NewFileIsWrittenOnceWhenThreeSecondsOld)
{
    autoflash_arm(fw, "/bins", env); // empty folder
    run_loop(2'000);
    copy_in("new.bin");
    run_loop(2'900);
    EXPECT_TRUE(updates.empty()) << "written while it may still be copied";
    run_loop(600); // 3.0 s passes within one scan interval
    EXPECT_EQ(updates, written({"new.bin"}));
    run_loop(10'000);
    EXPECT_EQ(updates, written({"new.bin"}));
}

TEST_F(Watch, BadFileIsRetriedUntilANewerGoodOneReplacesIt)
{
    autoflash_arm(fw, "/bins", env);
    copy_in("bad.bin", now_us() - 10'000'000);
    usable["/bins/bad.bin"] = false;
    run_loop(2'000);
    const auto tries = updates.size();
    EXPECT_GE(tries, 3u);
    EXPECT_TRUE(std::all_of(updates.begin(), updates.end(),
                            [](const std::string& f) { return f == "/bins/bad.bin"; }));
    copy_in("good.bin");
    run_loop(4'000);
    updates.erase(std::remove(updates.begin(), updates.end(), "/bins/bad.bin"), updates.end());
    EXPECT_EQ(updates, written({"good.bin"}));
}

TEST_F(Watch, FileOlderThanTheNewestSeenIsIgnored)
{
    copy_in("current.bin");
    autoflash_arm(fw, "/bins", env);
    run_loop(1'000);
    copy_in("kept-its-time.bin", files["current.bin"] - 1);
    run_loop(5'000);
    EXPECT_TRUE(updates.empty());
    copy_in("newer.bin");
    run_loop(5'000);
    EXPECT_EQ(updates, written({"newer.bin"}));
}

TEST_F(Watch, ScansArePacedHalfASecondApart)
{
    copy_in("present.bin");
    autoflash_arm(fw, "/bins", env);
    EXPECT_EQ(listings, 1); // recorded at switch-on, with or without a unit
    run_loop(10'000);
    // One scan per interval, give or take one pass of the loop.
    EXPECT_LE(listings - 1, 10'000 / 500);
    EXPECT_GE(listings - 1, 10'000 / (500 + 35));
}

TEST_F(Watch, ChoosingAnotherFolderKeepsTheNewestTime)
{
    copy_in("a.bin");
    autoflash_arm(fw, "/bins", env);
    const std::int64_t newest = fw.newest_file_time;
    // The new folder's files are older than what was seen: nothing is written.
    files = {{"elsewhere.bin", newest - 5}};
    autoflash_arm(fw, "/bins", env);
    EXPECT_EQ(fw.newest_file_time, newest);
    run_loop(5'000);
    EXPECT_TRUE(updates.empty());
}

TEST(AutoflashKey, ControlWithAModifierAndF)
{
    constexpr unsigned shift = 1, control = 4, mod1 = 8, mod2 = 16, mod4 = 64, mod5 = 128;
    struct Case {
        unsigned key, state;
        bool opens;
    } cases[] = {
        {'f', control | mod1, true},
        {'F', control | mod1 | shift, true},
        {'f', control | mod4, true},
        {'f', control | mod2, false},       // NumLock on: still a plain Ctrl+F
        {'f', control | mod2 | mod1, true},
        {'f', control, false},
        {'f', mod1, false},
        {'f', control | mod5, false},
        {'g', control | mod1, false},
        {'s', control, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(is_autoflash_key(c.key, c.state), c.opens) << char(c.key) << " " << c.state;
}

TEST(AutoflashFolder, ListsBinFilesWithTheirTimes)
{
    test::TempFolder dir;
    const std::string a = dir.write_bytes("a.bin", {1, 2, 3});
    const std::string b = dir.write_bytes("B.BIN", {4});
    dir.write_bytes("notes.txt", {5});
    dir.write_bytes("a.bin.part", {6});
    const std::string sub = dir.path() + "/folder.bin";
    g_mkdir(sub.c_str(), 0700);
    struct timespec times[2] = {{1'600'000'000, 250'000'000}, {1'600'000'000, 250'000'000}};
    utimensat(AT_FDCWD, a.c_str(), times, 0);

    auto files = list_bin_files(dir.path());
    g_rmdir(sub.c_str());
    std::sort(files.begin(), files.end(), [](auto& x, auto& y) { return x.name < y.name; });
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0].name, "B.BIN");
    EXPECT_EQ(files[1].name, "a.bin");
    EXPECT_EQ(files[1].modified_us, 1'600'000'000'250'000);
    EXPECT_TRUE(list_bin_files(dir.path() + "/missing").empty());
}

} // namespace
} // namespace tq
