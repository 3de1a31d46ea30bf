#include "monitor/console.h"
#include "platform/clock.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <list>
#include <sstream>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

namespace tq {
namespace {

constexpr std::time_t kBase = 1715954580; // 2024-05-17 14:03:00 UTC

// "{5>}" stands for the stamp of kBase + 5 s with the mark '>'.
std::string expand(const std::string& pattern)
{
    std::string out;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != '{') {
            out += pattern[i];
            continue;
        }
        const std::size_t close = pattern.find('}', i);
        const int second = std::stoi(pattern.substr(i + 1, close - i - 2));
        const char mark = pattern[close - 1];
        char stamp[32];
        std::snprintf(stamp, sizeof stamp, "[2024.05.17 14:03:%02d]%c ", second, mark);
        out += stamp;
        i = close;
    }
    return out;
}

std::string read_file(const std::filesystem::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

struct ConsoleFixture : ::testing::Test {
    void SetUp() override
    {
        setenv("TZ", "UTC", 1);
        tzset();
        c.wall_clock = [this] { return kBase + seconds; };
        c.sound.player = [this](const std::string& file) { played.push_back(file); };
    }
    void log(const std::string& text, bool received, int at = 0)
    {
        seconds = at;
        console_log(c, text, received);
    }
    // A new private folder, removed with the fixture.
    std::filesystem::path temp_dir() { return dirs.emplace_back().path(); }
    void TearDown() override { console_close_log(c); }

    ConsoleState c;
    int seconds = 0;
    std::vector<std::string> played;
    std::list<test::TempFolder> dirs;
};

TEST_F(ConsoleFixture, StampIsLocalTimeWithMarkAndBlank)
{
    EXPECT_EQ(console_stamp(kBase + 9, '>'), "[2024.05.17 14:03:09]> ");
    EXPECT_EQ(console_stamp(kBase, '<').size(), kConsoleTextColumn);
}

TEST_F(ConsoleFixture, StampPrintsAnyYearAsTheFormatDoes)
{
    // Years 1970, 2024, 1, 9999, 10000 and -1.
    for (const std::time_t when : {std::time_t(0), kBase, std::time_t(-62135596800),
                                   std::time_t(253402300799), std::time_t(253402300800),
                                   std::time_t(-62198755200)}) {
        std::tm t{};
        localtime_r(&when, &t);
        char expected[64];
        std::snprintf(expected, sizeof expected, "[%04d.%02d.%02d %02d:%02d:%02d]%c ",
                      t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, '<');
        EXPECT_EQ(console_stamp(when, '<'), expected) << when;
    }
}

struct LogStep {
    std::string text;
    bool received;
    int at;
};
struct LogCase {
    const char* name;
    std::vector<LogStep> steps;
    std::string store; // pattern for expand()
};

TEST_F(ConsoleFixture, LoggedTextFollowsTheLineRules)
{
    const std::vector<LogCase> cases = {
        {"a line split over two texts keeps its first stamp",
         {{"abc", true, 0}, {"def\n", true, 1}},
         "{0>}abcdef\r\n"},
        {"a sent command starts a fresh line after unterminated text",
         {{"abc", true, 0}, {"\\x01 \n", false, 1}},
         "{0>}abc\n{1<}\\x01 \r\n"},
        {"a sent command after a finished line", {{"x\n", true, 0}, {"y\n", false, 2}}, "{0>}x\r\n\n{2<}y\r\n"},
        {"received text after a sent line gets its own stamp",
         {{"go\n", false, 0}, {"ok\n", true, 3}},
         "\n{0<}go\r\n{3>}ok\r\n"},
        {"CR vanishes and every LF becomes CR LF", {{"a\r\nb\rc\n", true, 0}}, "{0>}a\r\n{0>}bc\r\n"},
        {"characters are reduced to 7 bits", {{"\xC1\xE2\n", true, 0}}, "{0>}Ab\r\n"},
        {"NUL ends the text; the line goes on with the next",
         {{std::string("ab\0cd\n", 6), true, 0}, {"ef\n", true, 1}},
         "{0>}abef\r\n"},
        {"FF clears everything before it", {{"old\n", true, 0}, {"x\fnew\n", true, 1}}, "{1>}new\r\n"},
        {"FF at the end leaves an empty store", {{"old\n", true, 0}, {"\f", true, 1}}, ""},
        {"empty lines are lines", {{"\n\n", true, 4}}, "{4>}\r\n{4>}\r\n"},
        {"FF in sent text discards its leading LF too", {{"a", true, 0}, {"\fz\n", false, 1}}, "{1<}z\r\n"},
    };
    for (const LogCase& k : cases) {
        c.store.clear();
        c.line_start = true;
        c.line_text.clear();
        for (const LogStep& s : k.steps)
            log(s.text, s.received, s.at);
        EXPECT_EQ(c.store, expand(k.store)) << k.name;
    }
}

TEST_F(ConsoleFixture, LogFileGetsEverythingFlushedInTimeAndAppends)
{
    platform::ScopedVirtualClock clock;
    const auto file = temp_dir() / "unit.log";
    {
        std::ofstream(file) << "before\n";
    }
    log("kept\n", true, 0);
    ASSERT_TRUE(console_open_log(c, file.string(), "shown text\r\n"));
    EXPECT_TRUE(c.store.empty()) << "starting a log empties the store";
    EXPECT_EQ(read_file(file), "before\nshown text\r\n");
    log("old\n", true, 1);
    clock->advance(kConsoleLogFlushMs);
    log("x\fnew\n", true, 2);
    EXPECT_EQ(read_file(file), expand("before\nshown text\r\n{1>}old\r\n{2>}new\r\n"))
        << "on disk once the flush interval has passed";
    log("last\n", true, 3);
    console_close_log(c);
    log("after\n", true, 3);
    EXPECT_EQ(read_file(file), expand("before\nshown text\r\n{1>}old\r\n{2>}new\r\n{3>}last\r\n"));
}

TEST_F(ConsoleFixture, LogFileLosesNothingWhenTheProgramExits)
{
    const auto file = temp_dir() / "exit.log";
    std::fflush(nullptr);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (console_open_log(c, file.string(), "")) {
            for (int i = 0; i < 500; ++i)
                log("a line of text from the unit\n", true, 5);
        }
        std::exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    std::string expected;
    for (int i = 0; i < 500; ++i)
        expected += expand("{5>}a line of text from the unit\r\n");
    EXPECT_TRUE(read_file(file) == expected);
}

TEST_F(ConsoleFixture, ResetForRemoteAccessEmptiesTheStoreAndEndsTheLog)
{
    const auto file = temp_dir() / "unit.log";
    ASSERT_TRUE(console_open_log(c, file.string(), ""));
    log("unfinished", true, 0);
    console_reset(c);
    EXPECT_EQ(c.log_file, nullptr);
    EXPECT_EQ(c.store, "");
    log("next\n", true, 1);
    EXPECT_EQ(c.store, expand("{1>}next\r\n")) << "a fresh line with its own stamp";
    EXPECT_EQ(read_file(file), expand("{0>}unfinished"));
}

TEST_F(ConsoleFixture, LogFileThatCannotBeOpenedLeavesLoggingOff)
{
    log("kept\n", true, 0);
    EXPECT_FALSE(console_open_log(c, (temp_dir() / "missing" / "x.log").string(), "v"));
    EXPECT_EQ(c.log_file, nullptr);
    EXPECT_EQ(c.store, expand("{0>}kept\r\n"));
}

TEST_F(ConsoleFixture, NearlyFullStoreDropsItsOldest100000Bytes)
{
    std::string old;
    for (std::size_t i = 0; old.size() < kConsoleStoreSize - kConsoleMinFree; ++i)
        old += char('a' + i % 26);
    c.store = old; // exactly 2,048 bytes free: nothing dropped yet
    c.line_start = false;
    log("1\n", true);
    EXPECT_TRUE(c.store == old + "1\r\n");

    const std::string before = c.store; // now less than 2,048 free
    log("2\n", true);
    EXPECT_TRUE(c.store == before.substr(kConsoleDropSize) + expand("{0>}2\r\n"));
}

TEST_F(ConsoleFixture, StoreNeverOverflowsWhateverTheTextSize)
{
    // Free room just above the trimming threshold, then a text that grows
    // to many times that room (every LF becomes a stamped CR LF line).
    c.store.assign(kConsoleStoreSize - kConsoleMinFree - 1, 'a');
    c.line_start = false;
    log(std::string(1000, '\n'), true);
    EXPECT_LT(c.store.size(), kConsoleStoreSize);
    EXPECT_EQ(c.store.substr(c.store.size() - 27), expand("\r\n{0>}\r\n"));

    // A sent text larger than the whole store keeps its end.
    std::string huge(kConsoleStoreSize + 5000, 'x');
    huge += "END\n";
    log(huge, false);
    EXPECT_LT(c.store.size(), kConsoleStoreSize);
    EXPECT_EQ(c.store.substr(c.store.size() - 5), "END\r\n");
    EXPECT_EQ(c.store.find('\0'), std::string::npos);
}

// A view as the window keeps it, taking its updates when asked.
struct FakeView {
    std::string text;
    int updates = 0;
    void open(ConsoleState& c) { text = console_open_view(c); }
    void update(ConsoleState& c)
    {
        console_apply_view_update(text, console_take_view_update(c));
        ++updates;
    }
};

TEST_F(ConsoleFixture, ViewTakesFilteredLinesInOneUpdateAndIsEmptiedByClearing)
{
    FakeView view;
    view.open(c);
    c.filter.active = true;
    c.filter.untagged = false;
    c.filter.enabled = 1u << 3;
    c.filter.texts[3] = "GSM";

    log("*GSM up\n*GPS fix\nplain\n*GS", true, 0);
    log("M split\n", true, 1); // judged with the whole line
    log("*GP", true, 2);
    log("S later\n", true, 3);
    EXPECT_EQ(view.text, "") << "logging alone does nothing to the view";
    view.update(c);
    EXPECT_EQ(view.text, expand("{0>}*GSM up\r\n{0>}*GSM split\r\n"));
    EXPECT_EQ(c.store, expand("{0>}*GSM up\r\n{0>}*GPS fix\r\n{0>}plain\r\n{0>}*GSM split\r\n{2>}*GPS later\r\n"));

    c.filter.active = false;
    console_rebuild_view(c);
    view.update(c);
    EXPECT_EQ(view.text, c.store);

    log("old\n\f*GSM again\n", true, 4);
    view.update(c);
    EXPECT_EQ(view.text, expand("{4>}*GSM again\r\n")) << "FF empties the view";
    console_clear(c);
    view.update(c);
    EXPECT_EQ(view.text, "");
    EXPECT_EQ(c.store, "");

    // A closed view gathers nothing.
    console_close_view(c);
    log("unseen\n", true, 5);
    EXPECT_TRUE(console_take_view_update(c).text.empty());
}

TEST_F(ConsoleFixture, DroppedTextTrimsWholeLinesFromTheView)
{
    const std::string lines[] = {"*GSM registered, CSQ 23\n", "*GPS fix 3D\n", "plain text\n"};
    for (bool filtered : {false, true}) {
        c = ConsoleState{};
        SetUp();
        FakeView view;
        view.open(c);
        c.filter.enabled = 1u;
        c.filter.texts[0] = "GPS";
        c.filter.active = filtered;
        console_rebuild_view(c);
        // Several drops of old text between two updates, then more after.
        for (int i = 0; i < 30000; ++i) {
            log(lines[i % 3], true, i % 60);
            if (i % 7000 == 6999)
                view.update(c);
        }
        view.update(c);
        ASSERT_GT(c.cut, 0u) << "the drops cut a line in two";
        EXPECT_EQ(c.store[c.cut - 1], '\n');
        const std::string shown = console_filtered_text(c.filter, c.store.substr(c.cut));
        EXPECT_TRUE(view.text == shown) << "filtered " << filtered << ": the view holds "
                                       << view.text.size() << " bytes, the store shows "
                                       << shown.size();
    }
}

struct FilterCase {
    const char* line;
    bool untagged;
    std::uint32_t enabled;
    std::vector<std::string> texts; // slot i gets texts[i]
    bool shown;
};

TEST(ConsoleFilter, LinesPassByTagEnableBitsAndUntaggedFlag)
{
    const std::string p = "[2024.05.17 14:03:00]> ";
    const std::string tag49(49, 'T');
    const std::vector<FilterCase> cases = {
        {"plain text\r\n", true, 0, {}, true},
        {"plain text\r\n", false, 1, {""}, false},
        {"*GSM up\r\n", true, 0, {}, false},
        {"*GSM up\r\n", false, 1, {""}, true}, // an enabled empty text lets every tag through
        {"*GSM up\r\n", false, 0, {""}, false},
        {"*GSM up\r\n", false, 1u << 2, {"GPS", "x", "GSM"}, true},
        {"* GSM up\r\n", false, 1u << 2, {"GPS", "x", "GSM"}, true}, // one blank skipped
        {"*  GSM up\r\n", false, 1u << 2, {"GPS", "x", "GSM"}, false},
        {"*GSMX up\r\n", false, 1u << 2, {"GPS", "x", "GSM"}, false},
        {"*gsm up\r\n", false, 1u << 2, {"GPS", "x", "GSM"}, false},
        {"*GSM\r\n", false, 1, {"GSM"}, true},
        {"*GSM", false, 1, {"GSM"}, true},
        {"*GSM up\r\n", false, 1u << 1, {"GSM", "GPS"}, false}, // matching text not enabled
        {"*", false, 1, {""}, true},
        {nullptr, false, 1, {tag49}, true},
    };
    for (const FilterCase& k : cases) {
        ConsoleFilter f;
        f.active = true;
        f.untagged = k.untagged;
        f.enabled = k.enabled;
        for (std::size_t i = 0; i < k.texts.size(); ++i)
            f.texts[i] = k.texts[i];
        const std::string line = p + (k.line ? k.line : "*" + tag49 + "XYZ more\r\n");
        EXPECT_EQ(console_filter_line(f, line), k.shown) << line;
    }
    ConsoleFilter inactive;
    EXPECT_TRUE(console_filter_line(inactive, p + "*GSM\r\n"));
    EXPECT_FALSE(console_filter_line({true, false, 0, {}}, "[2024.05.17]> short"))
        << "a line too short for a tag is untagged";
}

TEST(ConsoleFilter, FilteredTextKeepsWholePassingLinesInOrder)
{
    ConsoleFilter f;
    f.active = true;
    f.untagged = true;
    const std::string a = "[2024.05.17 14:03:00]> one\r\n";
    const std::string b = "[2024.05.17 14:03:01]> *TAG two\r\n";
    const std::string c = "[2024.05.17 14:03:02]> three\r\n";
    const std::string unfinished = "[2024.05.17 14:03:03]> fo";
    EXPECT_EQ(console_filtered_text(f, a + b + c + unfinished), a + c);
}

TEST_F(ConsoleFixture, MessageSoundPlaysForLinesThatBeginWithTheTrigger)
{
    c.sound.trigger = "ALARM";
    c.sound.file = "/sounds/alarm.wav";
    log("ALARM 1\nNO ALARM\nALA\nALARM\n", true);
    EXPECT_EQ(played.size(), 2u);
    log("AL", true);
    log("ARM 2 split\n", true);
    EXPECT_EQ(played.size(), 3u) << "a line split over two texts";
    log("ALARM sent\n", false);
    EXPECT_EQ(played.size(), 4u) << "sent lines are lines too";
    EXPECT_EQ(played.back(), "/sounds/alarm.wav");

    c.sound.file.clear();
    log("ALARM 3\n", true);
    EXPECT_EQ(played.size(), 4u) << "no file: nothing is played";
    c.sound.file = "/sounds/alarm.wav";
    c.sound.trigger.clear();
    log("ALARM 4\n", true);
    EXPECT_EQ(played.size(), 4u) << "no trigger: nothing is played";
}

TEST(ConsoleCommand, CommandFieldGivesCodeAndPath)
{
    struct Case {
        const char* field;
        bool ok;
        std::uint8_t code;
        bool radio;
    };
    const Case cases[] = {
        {"F4", true, 0xF4, false}, {"f4", true, 0xF4, false}, {"0ab", true, 0x0A, true},
        {"0AB", true, 0x0A, true}, {"0aX", true, 0x0A, false}, {"1g", false, 0, false},
        {"g1", false, 0, false},   {"7", false, 0, false},     {"", false, 0, false},
        {" 7", false, 0, false},
    };
    for (const Case& k : cases) {
        const auto c = parse_command_field(k.field);
        ASSERT_EQ(c.has_value(), k.ok) << k.field;
        if (c) {
            EXPECT_EQ(c->code, k.code) << k.field;
            EXPECT_EQ(c->radio, k.radio) << k.field;
        }
    }
}

TEST(ConsoleCommand, DataFieldEscapes)
{
    struct Case {
        const char* field;
        std::vector<std::uint8_t> bytes;
    };
    const Case cases[] = {
        {"AB\\x41\\\\", {0x41, 0x42, 0x41, 0x5C}},
        {"", {}},
        {"\\X7f\\x00", {0x7F, 0x00}},
        {"\\n\\\"", {'n', '"'}},
        {"\\xZZ", {'x', 'Z', 'Z'}},
        {"\\x4g1", {'x', '4', 'g', '1'}},
        {"a\\", {'a'}},       // cut off escape
        {"a\\x4", {'a'}},     // cut off escape
        {"a\\x", {'a'}},      // cut off escape
        {"\xC5\x81", {0xC5, 0x81}}, // other characters as they are
    };
    for (const Case& k : cases)
        EXPECT_EQ(parse_data_field(k.field), k.bytes) << k.field;
}

TEST(ConsoleCommand, LoggedFormsOfCommandAndReply)
{
    EXPECT_EQ(sent_command_line({0xF4, false}, "AB\\x41"), "\\xF4 AB\\x41\n");
    EXPECT_EQ(sent_command_line({0x0A, true}, ""), "\\x0AB \n");
    const std::uint8_t reply[] = {4, 0x01, 0x41, 0x0A, 0xC2, 0x00};
    EXPECT_EQ(reply_line(reply, 6), "01 - 410AC2 - \"A?B\"\n");
    const std::uint8_t empty[] = {1, 0x01, 0x00};
    EXPECT_EQ(reply_line(empty, 3), "01 -  - \"\"\n");
}

TEST(ConsoleHistory, StoresChangesOnlyAndBrowsesWithWrapAround)
{
    ConsoleHistory h;
    history_store(h, "05", "\\x80\\x03");
    history_store(h, "05", "\\x80\\x03");
    EXPECT_EQ(h.last, 1) << "the same command twice is one entry";
    history_store(h, "F4xyz", "");
    EXPECT_EQ(h.last, 2);
    EXPECT_EQ(h.entries[2].command, "F4x") << "three characters of the command";

    std::string cmd = "F4x", data;
    history_browse(h, -1, cmd, data);
    EXPECT_EQ(h.browse, 1);
    EXPECT_EQ(cmd, "05");
    EXPECT_EQ(data, "\\x80\\x03");
    data = "edited";
    history_browse(h, -1, cmd, data);
    EXPECT_EQ(h.browse, 0);
    EXPECT_EQ(h.entries[1].data, "edited") << "browsing keeps what the fields held";
    history_browse(h, -1, cmd, data);
    EXPECT_EQ(h.browse, 99) << "up from entry 0 goes to entry 99";
    history_browse(h, +1, cmd, data);
    EXPECT_EQ(h.browse, 0);
    history_browse(h, +1, cmd, data);
    EXPECT_EQ(cmd, "05");
    EXPECT_EQ(data, "edited");

    for (int i = 0; i < 120; ++i)
        history_store(h, "01", std::to_string(i));
    EXPECT_EQ(h.last, (2 + 120) % kHistorySize) << "the stored index wraps";
    EXPECT_EQ(h.entries[std::size_t(h.last)].data, "119");
    history_store(h, "01", std::string(150, 'd'));
    EXPECT_EQ(h.entries[std::size_t(h.last)].data.size(), kHistoryDataMax);
}

TEST(ConsoleText, CutsKeepCharactersWhole)
{
    EXPECT_EQ(first_characters("ąbc", 2), "ąb");
    EXPECT_EQ(first_characters("a", 3), "a");
    EXPECT_EQ(cut_utf8("aą", 2), "a");
    EXPECT_EQ(cut_utf8("abc", 2), "ab");
}

} // namespace
} // namespace tq
