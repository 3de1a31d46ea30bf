#include "prefs/files.h"
#include "prefs/preferences.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tq {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes bytes(const std::string& s) { return Bytes(s.begin(), s.end()); }

PrefsState decoded(const std::string& image)
{
    PrefsState p;
    p.language_code = "stale";
    p.console_filters[7] = "stale";
    const Bytes b = bytes(image);
    decode_preferences(p, b);
    return p;
}

// Collects the file helpers' messages for one test.
struct Messages {
    Messages() { previous = set_file_message_sink([this](const std::string& m) { seen.push_back(m); }); }
    ~Messages() { set_file_message_sink(std::move(previous)); }
    std::vector<std::string> seen;
    FileMessageSink previous;
};

TEST(Preferences, DecodesShortAndDamagedImages)
{
    {
        SCOPED_TRACE("no file or an empty one: the defaults");
        const PrefsState p = decoded("");
        EXPECT_TRUE(p.check_updates);
        EXPECT_EQ(p.language_code, "");
        EXPECT_EQ(p.console_filters[7], "");
    }
    {
        SCOPED_TRACE("one byte 0x00: update check off, everything else empty");
        const PrefsState p = decoded(std::string(1, '\0'));
        EXPECT_FALSE(p.check_updates);
        EXPECT_EQ(p.language_code, "");
        EXPECT_EQ(p.firmware_folder, "");
        EXPECT_EQ(p.config_folder, "");
        EXPECT_EQ(p.console_filters[24], "");
    }
    {
        SCOPED_TRACE("the flag and an unterminated language code");
        const PrefsState p = decoded("\x01pl");
        EXPECT_TRUE(p.check_updates);
        EXPECT_EQ(p.language_code, "pl");
        EXPECT_EQ(p.log_folder, "");
    }
    {
        SCOPED_TRACE("strings cut short in the middle of the list");
        const PrefsState p = decoded(std::string("\x01" "de\0/fw\0/log", 12));
        EXPECT_EQ(p.language_code, "de");
        EXPECT_EQ(p.firmware_folder, "/fw");
        EXPECT_EQ(p.log_folder, "/log");
        EXPECT_EQ(p.spare_folder, "");
    }
    {
        SCOPED_TRACE("a filter text too long for its slot is cut to 49 bytes");
        std::string image("\x00" "en\0\0\0\0\0", 8);
        image += std::string(80, 'x') + '\0' + "second";
        const PrefsState p = decoded(image);
        EXPECT_EQ(p.console_filters[0], std::string(49, 'x'));
        EXPECT_EQ(p.console_filters[1], "second");
    }
    {
        SCOPED_TRACE("a cut never splits a character, and bytes that are not UTF-8 end the text");
        std::string image("\x00" "\0\0\0\0\0", 6);
        image += std::string(48, 'a') + "\xC3\xA9" + "tail" + '\0'; // é straddles byte 49
        image += std::string("ok\xFFgarbage") + '\0';
        const PrefsState p = decoded(image);
        EXPECT_EQ(p.console_filters[0], std::string(48, 'a'));
        EXPECT_EQ(p.console_filters[1], "ok");
    }
}

TEST(Preferences, EncodesTheLayoutByteForByte)
{
    PrefsState p;
    p.check_updates = false;
    p.language_code = "pl_PL";
    p.firmware_folder = "/home/fitter/firmware";
    p.config_folder = "/home/fitter/cfg";
    p.console_filters[0] = "ALARM";
    p.console_filters[24] = "last";
    p.console_filters[3] = std::string(60, 'z'); // set too long by a caller

    std::string expected("\x00", 1);
    expected += std::string("pl_PL") + '\0';
    expected += std::string("/home/fitter/firmware") + '\0';
    expected += '\0'; // log folder unset
    expected += '\0'; // spare folder
    expected += std::string("/home/fitter/cfg") + '\0';
    expected += std::string("ALARM") + '\0';
    expected += std::string(2, '\0');
    expected += std::string(49, 'z') + '\0';
    expected += std::string(20, '\0');
    expected += std::string("last") + '\0';
    EXPECT_EQ(encode_preferences(p), bytes(expected));
}

TEST(Preferences, ChangingOneValueKeepsEveryOtherInPlace)
{
    test::TempFolder home;
    PrefsState p;
    p.folder = home.path();
    p.language_code = "de";
    p.firmware_folder = "/fw";
    p.spare_folder = "/spare, never set by a dialog";
    p.config_folder = "/cfg";
    for (int i = 0; i < kConsoleFilterCount; ++i)
        p.console_filters[std::size_t(i)] = "filter " + std::to_string(i);
    ASSERT_TRUE(save_preferences(p));
    const std::string before = home.read(kPreferencesFileName);

    PrefsState loaded;
    loaded.folder = home.path();
    load_preferences(loaded);
    // A dialog's folder is remembered as the dialogs do it: kept and
    // written at once.
    remember_folder(loaded, &PrefsState::log_folder, "/home/fitter/logs");
    EXPECT_EQ(loaded.log_folder, "/home/fitter/logs");
    const std::string after = home.read(kPreferencesFileName);

    // The new text sits between the firmware folder and the spare folder;
    // everything else is the same bytes.
    const std::size_t at = before.find(std::string("/fw") + '\0') + 4;
    std::string expected = before;
    expected.insert(at, "/home/fitter/logs");
    EXPECT_EQ(after, expected);

    PrefsState again;
    again.folder = home.path();
    load_preferences(again);
    EXPECT_EQ(again.language_code, "de");
    EXPECT_EQ(again.spare_folder, p.spare_folder);
    EXPECT_EQ(again.log_folder, "/home/fitter/logs");
    EXPECT_EQ(again.console_filters, p.console_filters);
    EXPECT_TRUE(again.check_updates);
}

TEST(Preferences, MissingOrUnwritableFileIsSilent)
{
    Messages messages;
    test::TempFolder home;
    PrefsState p;
    p.folder = home / "no such folder";
    p.check_updates = false;
    p.language_code = "ru";
    load_preferences(p);
    EXPECT_TRUE(p.check_updates);
    EXPECT_EQ(p.language_code, "");
    EXPECT_FALSE(save_preferences(p));
    EXPECT_TRUE(messages.seen.empty());
}

TEST(Preferences, LongFoldersDoNotPushTheFiltersOutOfReach)
{
    test::TempFolder home;
    PrefsState p;
    p.folder = home.path();
    p.firmware_folder = "/" + std::string(4000, 'f');
    p.log_folder = "/" + std::string(4000, 'l');
    p.console_filters[24] = "the last one";
    ASSERT_TRUE(save_preferences(p));
    PrefsState loaded;
    loaded.folder = home.path();
    load_preferences(loaded);
    EXPECT_EQ(loaded.log_folder, p.log_folder);
    EXPECT_EQ(loaded.console_filters[24], "the last one");
}

TEST(FileHelpers, ReadAndWriteWholeFiles)
{
    Messages messages;
    test::TempFolder dir;
    const std::string path = dir / "Konfiguracja żółw.cfg";
    ASSERT_TRUE(write_file_utf8(std::string_view("abc\0def", 7), path));
    char buffer[16] = {};
    EXPECT_EQ(read_file_utf8(buffer, path, sizeof buffer), 7u);
    EXPECT_EQ(std::string(buffer, 7), std::string("abc\0def", 7));
    EXPECT_EQ(read_file_utf8(buffer, path, 3), 3u);

    std::string text;
    EXPECT_EQ(read_file_utf8(text, path, 100), 7u);
    EXPECT_EQ(text.size(), 7u);

    ASSERT_TRUE(write_file_utf8(std::string_view(), path));
    EXPECT_EQ(read_file_utf8(buffer, path, sizeof buffer), 0u);
    EXPECT_TRUE(messages.seen.empty());
}

TEST(FileHelpers, FailuresAreReportedUnlessQuiet)
{
    Messages messages;
    test::TempFolder dir;
    char buffer[8];
    EXPECT_EQ(read_file_utf8(buffer, dir / "missing", sizeof buffer), 0u);
    EXPECT_EQ(read_file_utf8(buffer, dir.path(), sizeof buffer), 0u); // a folder is no file
    EXPECT_EQ(read_file_utf8(buffer, dir / "missing", sizeof buffer, FileReport::Quiet), 0u);
    EXPECT_FALSE(write_file_utf8(std::string_view("x"), dir / "no/such/folder/file"));
    EXPECT_FALSE(write_file_utf8(std::string_view("x"), dir / "no/file", FileReport::Quiet));
    EXPECT_EQ(messages.seen, (std::vector<std::string>{"Error opening file", "Error opening file",
                                                       "Error writing file"}));
}

TEST(FileHelpers, AFailedWriteKeepsTheOldFile)
{
    Messages messages;
    test::TempFolder dir;
    // A name so long that no temporary file can be made beside it: the
    // replacement fails before the old file is touched (even for root).
    const std::string name(250, 'n');
    dir.write(name, "old content");
    ASSERT_EQ(dir.read(name), "old content");
    EXPECT_FALSE(write_file_utf8(std::string_view("new"), dir / name));
    EXPECT_EQ(dir.read(name), "old content");
    EXPECT_EQ(messages.seen, std::vector<std::string>{"Error writing file"});
}

} // namespace
} // namespace tq
