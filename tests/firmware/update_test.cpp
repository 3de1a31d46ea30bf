#include "config/config_io.h"
#include "config/history.h"
#include "config/record.h"
#include "connection/connection.h"
#include "firmware/bootloader.h"
#include "firmware_fixture.h"
#include "link/commands.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace tq {
namespace {

using Bl = sim::UsbBootloader;

// Counts the searches for a device on the 64-byte product (where the
// bootloader shows up).
class CountingPort final : public HidPort {
public:
    explicit CountingPort(HidPort& inner) : inner_(inner) {}
    std::unique_ptr<HidDevice> open(std::uint16_t vendor, std::uint16_t product) override
    {
        if (product == kProduct64)
            ++searches;
        return inner_.open(vendor, product);
    }
    int searches = 0;

private:
    HidPort& inner_;
};

struct Update : ::testing::Test {
    test::SimUnit s;
    test::TempFolder dir;
    test::UiLog log;
    FirmwareState fw;
    CountingPort port{s.port};

    Update() { s.link.port = &port; }

    int run(int mode) { return update_firmware(s.link, fw, log, mode); }

    int commands_received(std::uint8_t code) const
    {
        const auto& r = s.programmer.unit.received;
        return int(std::count_if(r.begin(), r.end(), [code](const sim::Frame& f) { return f.code == code; }));
    }

    // Runs the poll loop's connection step until it settles; a bootloader
    // found is counted as the dialog it would open.
    void reconnect(ConnectionState& c, int& bootloader_offers)
    {
        struct Offers final : ConnectionView {
            explicit Offers(int& n) : count(n) {}
            void bootloader_found() override { ++count; }
            int& count;
        } u(bootloader_offers);
        for (int i = 0; i < 200 && !(c.state == kConnected && s.link.open()) && bootloader_offers == 0;
             ++i) {
            if (!s.link.open()) {
                if (c.state != kSearching)
                    disconnect_reset(c, u);
                platform::sleep_ms(100);
            }
            connection_step(s.link, c, u);
            platform::sleep_ms(10);
        }
    }
};

std::span<const std::uint8_t> image_of(const std::vector<std::uint8_t>& file)
{
    return std::span<const std::uint8_t>(file).subspan(16);
}

TEST_F(Update, WholeUpdateLeavesExactlyImagePaddingAndMarkerInFlash)
{
    const auto file = test::firmware_file(100'003); // not a multiple of 56
    const std::size_t size = file.size() - 16;
    const std::size_t blocks = (size + 55) / 56;
    log.choices = {dir.write_bytes("new.bin", file)};
    ASSERT_EQ(s.open(), OpenResult::Programmer);

    EXPECT_EQ(run(kFirmwareSwitch), 1);
    EXPECT_EQ(log.messages, std::vector<std::string>{"Successfully programmed device."});
    EXPECT_EQ(commands_received(cmd::kEnterBootloader), 1);

    const Bl& bl = s.bootloader;
    const auto image = image_of(file);
    const auto written = bl.at(Bl::kStart, size);
    EXPECT_TRUE(std::equal(written.begin(), written.end(), image.begin()));
    const auto padding = bl.at(Bl::kStart + std::uint32_t(size), blocks * 56 - size);
    EXPECT_TRUE(std::all_of(padding.begin(), padding.end(), [](auto b) { return b == 0; }));
    const std::uint32_t untouched_from = Bl::kStart + std::uint32_t(blocks * 56);
    const auto rest = bl.at(untouched_from, Bl::kMarkerAddress - untouched_from);
    EXPECT_TRUE(std::all_of(rest.begin(), rest.end(), [](auto b) { return b == 0xFF; }));
    EXPECT_TRUE(bl.marker_valid());
    EXPECT_EQ(bl.erases, 1);
    EXPECT_EQ(bl.resets, 1);

    // Every image block went out whole: 56 bytes, ending at the report's end.
    int image_blocks = 0;
    for (const auto& r : s.programmer.written) {
        if (r[1] == boot::kProgram && r[6] == 56)
            ++image_blocks;
    }
    EXPECT_EQ(image_blocks, int(blocks));

    // The order of the protocol around the blocks.
    const std::vector<std::uint8_t>& c = bl.commands;
    const std::vector<std::uint8_t> head = {0x02, 0x06, 0x03, 0x03, 0x04, 0x02, 0x05, 0x07};
    const std::vector<std::uint8_t> tail = {0x05, 0x07, 0x06, 0x02, 0x05, 0x06, 0x07, 0x02, 0x08};
    ASSERT_EQ(c.size(), head.size() + 2 * (blocks - 2) + tail.size());
    EXPECT_TRUE(std::equal(head.begin(), head.end(), c.begin()));
    EXPECT_TRUE(std::equal(tail.begin(), tail.end(), c.end() - std::ptrdiff_t(tail.size())));

    // What the windows showed.
    EXPECT_EQ(log.events, (std::vector<std::string>{"status", "tools", "open", "identity", "close", "wait"}));
    EXPECT_EQ(log.labels, std::vector<std::string>{"Firmware TQ512 bootloader ver 1.2"});
    ASSERT_GE(log.bar_texts.size(), 4u);
    EXPECT_EQ(log.bar_texts[0], "Switching to flash programming mode");
    EXPECT_EQ(log.bar_texts[1], "Erasing flash memory...");
    EXPECT_EQ(log.bar_texts[2], "0%");
    EXPECT_EQ(log.bar_texts[log.bar_texts.size() - 2], "99%");
    EXPECT_EQ(log.bar_texts.back(), "100%");
    // Redrawn once per tenth of a per cent, and only then.
    ASSERT_EQ(log.fractions.size(), 1001u);
    for (std::size_t i = 0; i < 1000; ++i)
        EXPECT_DOUBLE_EQ(log.fractions[i], double(i) / 1000) << i;
    EXPECT_DOUBLE_EQ(log.fractions.back(), 1.0);

    // The link is left empty; the connection step finds the restarted unit.
    EXPECT_FALSE(s.link.open());
    ConnectionState state;
    int offers = 0;
    reconnect(state, offers);
    EXPECT_EQ(state.state, kConnected);
    EXPECT_EQ(offers, 0);
}

TEST_F(Update, ProgramFromTheBootloaderDialogSearchesAtOnceWithoutSwitching)
{
    s.programmer.set_variant(sim::Variant::Bootloader); // the unit sits in its bootloader
    log.choices = {dir.write_bytes("new.bin", test::firmware_file(10'000))};
    EXPECT_EQ(run(kFirmwareNoSwitch), 1);
    EXPECT_EQ(log.messages, std::vector<std::string>{"Successfully programmed device."});
    EXPECT_EQ(commands_received(cmd::kEnterBootloader), 0);
    EXPECT_EQ(std::count(log.bar_texts.begin(), log.bar_texts.end(),
                         "Switching to flash programming mode"), 0);
    EXPECT_TRUE(s.bootloader.marker_valid());
    EXPECT_EQ(s.programmer.variant(), sim::Variant::Programmer64); // started the firmware
}

TEST_F(Update, WithoutADeviceOnlyTheProgramPathRuns)
{
    log.choices = {dir.write_bytes("new.bin", test::firmware_file(10'000))};
    for (int mode : {kFirmwareSwitch, kFirmwareAutoflash}) {
        EXPECT_EQ(run(mode), 1);
        EXPECT_EQ(log.chooser_opened, 0);
        EXPECT_TRUE(log.events.empty());
    }
}

TEST_F(Update, CancelLeavesEverythingAsItWas)
{
    log.choices = {std::nullopt};
    ASSERT_EQ(s.open(), OpenResult::Programmer);
    EXPECT_EQ(run(kFirmwareSwitch), 1);
    EXPECT_EQ(log.chooser_opened, 1);
    EXPECT_TRUE(log.events.empty());
    EXPECT_TRUE(log.messages.empty());
    EXPECT_TRUE(s.link.open());
    EXPECT_EQ(commands_received(cmd::kEnterBootloader), 0);
}

TEST_F(Update, FileDialogOpensAgainAfterUnreadableOrShortFileButNotAfterBadOne)
{
    const std::string good = dir.write_bytes("good.bin", test::firmware_file(10'000));
    const std::string short_one = dir.write_bytes("short.bin", test::firmware_file(9'999 - 16));
    auto bad_crc = test::firmware_file(10'000);
    bad_crc[100] ^= 1;
    const std::string bad = dir.write_bytes("bad.bin", bad_crc);
    const std::string missing = dir.path() + "/missing.bin";

    struct Case {
        std::vector<std::optional<std::string>> choices;
        std::vector<std::string> messages;
        int dialogs;
    } cases[] = {
        {{missing, good}, {"Error opening file", "Successfully programmed device."}, 2},
        {{short_one, good}, {"File corrupted!", "Successfully programmed device."}, 2},
        {{short_one, std::nullopt}, {"File corrupted!"}, 2},
        {{bad, good}, {"File corrupted!"}, 1},
    };
    for (const Case& c : cases) {
        test::SimUnit unit;
        test::UiLog l;
        l.choices = c.choices;
        FirmwareState f;
        ASSERT_EQ(unit.open(), OpenResult::Programmer);
        EXPECT_EQ(update_firmware(unit.link, f, l, kFirmwareSwitch), 1);
        EXPECT_EQ(l.messages, c.messages) << c.choices[0].value_or("");
        EXPECT_EQ(l.chooser_opened, c.dialogs);
    }
}

TEST_F(Update, UnusableFileInAutoflashModeReturnsZeroSilently)
{
    auto bad_crc = test::firmware_file(10'000);
    bad_crc[16] ^= 1;
    struct Case {
        std::string file;
        std::vector<std::string> messages;
    } cases[] = {
        {dir.write_bytes("bad.bin", bad_crc), {}},
        {dir.write_bytes("short.bin", test::firmware_file(9'999 - 16)), {}},
        {dir.write_bytes("tag.bin", test::firmware_file(10'000, "TQ511F3 ")), {}},
        {dir.write_bytes("empty.bin", {}), {}},
        // Only a file that cannot be opened is reported, as everywhere.
        {dir.path() + "/gone.bin", {"Error opening file"}},
    };
    ASSERT_EQ(s.open(), OpenResult::Programmer);
    for (const Case& c : cases) {
        log.messages.clear();
        fw.autoflash_file = c.file;
        EXPECT_EQ(run(kFirmwareAutoflash), 0) << c.file;
        EXPECT_EQ(log.messages, c.messages) << c.file;
    }
    EXPECT_TRUE(log.events.empty());
    EXPECT_EQ(log.chooser_opened, 0);
    EXPECT_TRUE(s.link.open());
}

TEST_F(Update, EveryFailureEndsWithItsMessageAndAnEmptyLink)
{
    struct Case {
        const char* what;
        std::function<void(test::SimUnit&, test::UiLog&)> setup;
        std::size_t image;
        const char* message;
        bool erased;
    } cases[] = {
        {"bootloader never appears",
         [](auto& u, auto&) { u.bootloader.faults.never_appears = true; }, 10'000, "Write error!", false},
        {"unit ignores the switch",
         [](auto& u, auto&) { u.bootloader.faults.ignores_switch = true; }, 10'000, "Write error!", false},
        {"bootloader does not answer",
         [](auto& u, auto&) { u.bootloader.faults.silent = true; }, 10'000, "Write error!", false},
        {"erase never finishes",
         [](auto& u, auto&) { u.bootloader.faults.hangs_in_erase = true; }, 10'000, "Write error!", true},
        {"block reads back wrong",
         [](auto& u, auto&) { u.bootloader.faults.corrupt_block_at = Bl::kStart + 56 * 10; }, 10'000,
         "Write error!", true},
        {"short write of a report",
         [](auto& u, auto& l) {
             l.on_bar_text = [&u](const std::string& t) {
                 if (t == "Erasing flash memory...")
                     u.programmer.faults.short_write = 10;
             };
         },
         10'000, "Write error!", false},
        {"another device type",
         [](auto& u, auto&) { u.bootloader.device_type = 6; }, 10'000,
         "File is not compatible with hardware", false},
        {"image runs into the marker", [](auto&, auto&) {}, 499'689, "Firmware too large.", false},
        {"largest image that fits", [](auto&, auto&) {}, 499'688, "Successfully programmed device.", true},
    };
    for (const Case& c : cases) {
        test::SimUnit unit;
        CountingPort counting(unit.port);
        unit.link.port = &counting;
        test::TempFolder folder;
        test::UiLog l;
        c.setup(unit, l);
        l.choices = {folder.write_bytes("f.bin", test::firmware_file(c.image))};
        FirmwareState f;
        ASSERT_EQ(unit.open(), OpenResult::Programmer);
        const std::int64_t start = platform::now_ms();

        EXPECT_EQ(update_firmware(unit.link, f, l, kFirmwareSwitch), 1) << c.what;
        EXPECT_EQ(l.messages, std::vector<std::string>{c.message}) << c.what;
        EXPECT_EQ(l.events.back(), "wait") << c.what;
        EXPECT_EQ(l.events[l.events.size() - 2], "close") << c.what;
        EXPECT_FALSE(unit.link.open()) << c.what;
        EXPECT_EQ(unit.bootloader.erases, c.erased ? 1 : 0) << c.what;
        if (std::string(c.message) != "Successfully programmed device.") {
            EXPECT_FALSE(unit.bootloader.marker_valid()) << c.what;
        }
        // Bounded: the search, then at most one long wait for an answer.
        EXPECT_LT(platform::now_ms() - start, 30'000) << c.what;
        if (unit.bootloader.faults.never_appears) {
            EXPECT_EQ(counting.searches, 1 + 24) << c.what; // the first open was ours
        }
    }
}

TEST_F(Update, UnplugDuringProgrammingOffersTheBootloaderDialogAgain)
{
    const auto file = test::firmware_file(30'000);
    log.choices = {dir.write_bytes("new.bin", file), dir.write_bytes("new.bin", file)};
    log.on_bar_text = [this](const std::string& t) {
        if (t == "50%")
            s.programmer.plugged = false;
    };
    ASSERT_EQ(s.open(), OpenResult::Programmer);
    EXPECT_EQ(run(kFirmwareSwitch), 1);
    EXPECT_EQ(log.messages, std::vector<std::string>{"Write error!"});
    EXPECT_FALSE(s.link.open());

    // Plugged in again: the unit is still in its bootloader, half written.
    log.on_bar_text = nullptr;
    s.programmer.plugged = true;
    ConnectionState state;
    state.state = kConnected; // as it was before the update
    int offers = 0;
    reconnect(state, offers);
    EXPECT_EQ(offers, 1);
    EXPECT_EQ(state.state, kSearching);

    // "Program" from that dialog finishes the job without another switch.
    log.messages.clear();
    EXPECT_EQ(run(kFirmwareNoSwitch), 1);
    EXPECT_EQ(log.messages, std::vector<std::string>{"Successfully programmed device."});
    EXPECT_EQ(commands_received(cmd::kEnterBootloader), 1);
    offers = 0;
    reconnect(state, offers);
    EXPECT_EQ(state.state, kConnected);
}

TEST_F(Update, AnUpdateDoesNotStartInsideAnother)
{
    log.choices = {dir.write_bytes("new.bin", test::firmware_file(10'000))};
    ASSERT_EQ(s.open(), OpenResult::Programmer);
    int inner = -1;
    log.on_bar_text = [&](const std::string& t) {
        if (t == "Erasing flash memory...")
            inner = run(kFirmwareNoSwitch);
    };
    EXPECT_EQ(run(kFirmwareSwitch), 1);
    EXPECT_EQ(inner, 1);
    EXPECT_EQ(log.chooser_opened, 1);
    EXPECT_EQ(s.bootloader.erases, 1);
    EXPECT_EQ(log.messages, std::vector<std::string>{"Successfully programmed device."});
}

// The update keeps the unit's configuration while the unit is still
// connected, before the switch; a fitter who declines when it cannot be kept
// has nothing written.
TEST_F(Update, TheConfigurationIsKeptBeforeTheUpdateWrites)
{
    log.choices = {dir.write_bytes("new.bin", test::firmware_file(10'000)), dir / "new.bin"};
    ASSERT_EQ(s.open(), OpenResult::Programmer);
    s.programmer.unit.memory[548] = '4'; // a TQPIN to recognise
    ConfigState config;
    begin_config_session(config, UnitKind{512, 4 * 256 + 81});
    ASSERT_EQ(load_configuration(config, s.link, kLoadSilent), LoadResult::Loaded);
    config.history = {dir / "units", "220000001234", "TQ512-0481", "1105"};

    // Declined: the update ends before anything reaches the unit.
    log.keep = [] { return false; };
    EXPECT_EQ(update_firmware(s.link, fw, log, kFirmwareSwitch), 1);
    EXPECT_EQ(commands_received(cmd::kEnterBootloader), 0);
    EXPECT_TRUE(log.messages.empty());
    EXPECT_TRUE(s.link.open());

    std::vector<std::string> order;
    log.on_clear_status = [&] { order.push_back("status"); };
    log.keep = [&] {
        order.push_back("keep");
        EXPECT_EQ(commands_received(cmd::kEnterBootloader), 0);
        return keep_before_write(config, s.link, kHistoryFirmware);
    };
    EXPECT_EQ(update_firmware(s.link, fw, log, kFirmwareSwitch), 1);
    EXPECT_EQ(log.messages, std::vector<std::string>{"Successfully programmed device."});
    EXPECT_EQ(order, (std::vector<std::string>{"keep", "status"}));
    const auto kept = list_history(dir / "units/220000001234");
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept[0].operation, "firmware update");
    EXPECT_EQ(kept[0].model, "TQ512-0481");
    gchar* text = nullptr;
    ASSERT_TRUE(g_file_get_contents((dir / "units/220000001234/" + kept[0].file).c_str(), &text,
                                    nullptr, nullptr));
    EXPECT_NE(std::string(text).find("\r\ntqpin=4\r\n"), std::string::npos);
    g_free(text);
}

} // namespace
} // namespace tq
