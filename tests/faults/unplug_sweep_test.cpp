// Pulling the programmer's cable at every report of an operation. Each
// operation is run once whole to count the reports it needs; then, for every
// n from 0 to that count, a fresh unit has its programmer unplugged after n
// reports and the operation runs again. As in the program, the connection
// ends the moment the link finds the programmer gone, in the middle of the
// operation. Every run must end as a fitter expects after a lost cable: the
// operation's own failure message (or its success message when the cable
// went only after the work was done), the link closed and the connection
// searching again, no wait longer than the bounded waits allow, and nothing
// in the unit that the operation was not asked to write. The link
// operations are swept with 64-byte reports and with 8-byte reports, where a
// frame is cut between its reports.
#include "config/config_io.h"
#include "config/record.h"
#include "config/service_pin.h"
#include "connection/connection.h"
#include "firmware/update.h"
#include "link/commands.h"
#include "modules/module_list.h"
#include "radio/radio_sim.h"
#include "radio/radio_update.h"
#include "radio/zip_fixture.h"
#include "sim/demo_config.h"
#include "sim/onewire_bus.h"
#include "sim/usb_bootloader.h"
#include "support/sim_link.h"
#include "text/texts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tq {
namespace {

using Memory = std::array<std::uint8_t, 65536>;
using Bytes = std::vector<std::uint8_t>;

const char* variant_name(sim::Variant v)
{
    return v == sim::Variant::Programmer8 ? "8-byte reports" : "64-byte reports";
}

// Every byte of the unit's memory is as it was before the operation or as
// the whole operation leaves it: a cut operation may have written less, never
// anything else.
::testing::AssertionResult only_asked_for(const Memory& before, const Memory& whole,
                                          const Memory& now)
{
    for (std::size_t i = 0; i < now.size(); ++i) {
        if (now[i] != before[i] && now[i] != whole[i])
            return ::testing::AssertionFailure()
                   << "address " << i << " holds " << int(now[i]) << ", was " << int(before[i])
                   << ", the operation writes " << int(whole[i]);
    }
    return ::testing::AssertionSuccess();
}

bool received(const sim::AlarmUnit& unit, std::uint8_t code)
{
    return std::any_of(unit.received.begin(), unit.received.end(),
                       [code](const sim::Frame& f) { return f.code == code; });
}

// The connection view of an operation: each says what it does when the
// step shows a status, identifies the unit, loses it or finds a bootloader.
struct SweepView final : ConnectionView {
    std::function<void(const std::string&)> status;
    std::function<void()> identified, lost, bootloader;

    void set_status(const std::string& t) override
    {
        if (status)
            status(t);
    }
    void unit_identified() override
    {
        if (identified)
            identified();
    }
    void disconnected() override
    {
        if (lost)
            lost();
    }
    void bootloader_found() override
    {
        if (bootloader)
            bootloader();
    }
};

// A unit behind the simulated programmer, with what the main loop needs to
// go on after a handler returns. Operations start connected unless they
// say otherwise.
struct Bench {
    // The link's loss ends the connection where it happens, as the
    // program wires it.
    explicit Bench(test::SimLink& link) : wire(link)
    {
        wire.link.on_lost = [this] {
            if (connection.state != kSearching)
                disconnect_reset(connection, ui);
        };
    }

    // Right before the operation: the programmer goes after n more reports
    // (-1: never).
    void arm(long n)
    {
        memory_before = wire.programmer.unit.memory;
        reports_at_start = wire.programmer.reports_carried;
        start_ms = platform::now_ms();
        wire.programmer.faults.unplug_after_reports = int(n);
    }
    long reports() const { return wire.programmer.reports_carried - reports_at_start; }
    std::int64_t elapsed_ms() const { return platform::now_ms() - start_ms; }

    // The main loop's next passes: a lost device resets the connection,
    // which then searches.
    void run_loop(int passes = 3)
    {
        for (int i = 0; i < passes; ++i) {
            if (!wire.link.open() && connection.state != kSearching)
                disconnect_reset(connection, ui);
            connection_step(wire.link, connection, ui);
        }
    }
    ::testing::AssertionResult searching_again() const
    {
        if (wire.link.open())
            return ::testing::AssertionFailure() << "the link is still open";
        if (connection.state != kSearching)
            return ::testing::AssertionFailure() << "connection state " << connection.state;
        return ::testing::AssertionSuccess();
    }

    // The cable back in, after a while: the main loop finds the unit again.
    // False when it is not connected within a few passes.
    bool reconnect()
    {
        wire.programmer.faults.unplug_after_reports = -1;
        wire.programmer.plugged = true;
        (*wire.clock).advance(5'000);
        for (int i = 0; i < 20 && connection.state != kConnected; ++i) {
            if (!wire.link.open() && connection.state != kSearching)
                disconnect_reset(connection, ui);
            connection_step(wire.link, connection, ui);
        }
        return connection.state == kConnected && wire.link.open();
    }

    test::SimLink& wire;
    ConnectionState connection{.state = kConnected, .unit_model = 512, .firmware_version = 1105};
    SweepView ui;
    Memory memory_before{};
    long reports_at_start = 0;
    std::int64_t start_ms = 0;
};

// What a whole, un-faulted run of an operation took and left.
template <class After> struct WholeRun {
    long reports = 0;
    std::int64_t ms = 0;
    After after{};
};

// Runs Op whole once, then once for every earlier unplug point, with the
// programmer variant given. Op is built fresh for each run (with its own virtual
// clock) from the variant and args; it has arm(n), run(), reports(),
// elapsed_ms() and after(). check(op, n, whole) judges the run cut after n
// reports; its virtual time must stay within the whole run's plus slack_ms,
// the bounded waits a cut may add.
template <class Op, class Check, class... Args>
void sweep(sim::Variant variant, std::int64_t slack_ms, Check check, const Args&... args)
{
    SCOPED_TRACE(variant_name(variant));
    WholeRun<decltype(std::declval<Op&>().after())> whole;
    {
        SCOPED_TRACE("whole run");
        Op op(variant, args...);
        op.arm(-1);
        op.run();
        whole.reports = op.reports();
        whole.ms = op.elapsed_ms();
        whole.after = op.after();
        ASSERT_GT(whole.reports, 0);
        // The cable goes right after the last report.
        op.wire.programmer.faults.unplug_after_reports = 0;
        check(op, whole.reports, whole);
        if (::testing::Test::HasFailure())
            return;
    }
    std::int64_t longest = 0;
    for (long n = 0; n < whole.reports; ++n) {
        SCOPED_TRACE("unplugged after " + std::to_string(n) + " of " +
                     std::to_string(whole.reports) + " reports");
        Op op(variant, args...);
        op.arm(n);
        op.run();
        longest = std::max(longest, op.elapsed_ms());
        EXPECT_LE(op.elapsed_ms(), whole.ms + slack_ms);
        check(op, n, whole);
        if (::testing::Test::HasFailure())
            return; // one failing unplug point tells enough
    }
    std::printf("  %-16s %-16s %5ld reports, whole run %6lld ms, longest cut run %6lld ms\n",
                ::testing::UnitTest::GetInstance()->current_test_info()->name(),
                variant_name(variant), whole.reports, static_cast<long long>(whole.ms),
                static_cast<long long>(longest));
}

constexpr sim::Variant kBothVariants[] = {sim::Variant::Programmer64, sim::Variant::Programmer8};

// ---- Connecting: identification and the silent configuration load ---------

struct ConnectOp : test::SimLink, Bench {
    ConnectOp(sim::Variant variant)
        : test::SimLink(variant), Bench(static_cast<test::SimLink&>(*this))
    {
        sim::fill_demo_configuration(programmer.unit);
        connection = ConnectionState{};
        connection.can_check_pending = false;
        ui.status = [this](const std::string& t) { status = t; };
        ui.identified = [this] {
            const UnitKind unit{connection.unit_model, connection.firmware_version};
            begin_config_session(config, unit);
            load_configuration(config, link, kLoadSilent);
        };
        ui.lost = [this] {
            end_config_session(config);
            ++disconnects;
        };
        config.hooks.message = [this](const std::string& m) { messages.push_back(m); };
    }
    // Plugged in: loop passes until connected (or, cut, searching for good).
    void run()
    {
        for (int i = 0; i < 40 && connection.state != kConnected; ++i) {
            if (!link.open() && connection.state != kSearching)
                disconnect_reset(connection, ui);
            connection_step(link, connection, ui);
        }
    }
    Memory after() const { return programmer.unit.memory; }

    ConfigState config;
    std::string status;
    std::vector<std::string> messages;
    int disconnects = 0;
};

TEST(UnplugSweep, Connect)
{
    for (sim::Variant variant : kBothVariants) {
        sweep<ConnectOp>(variant, 5'000, [](ConnectOp& op, long n, const WholeRun<Memory>& whole) {
            if (n == whole.reports) {
                EXPECT_EQ(op.connection.state, kConnected);
                EXPECT_EQ(op.status, "TQ512-0481");
                EXPECT_TRUE(op.config.active);
                EXPECT_TRUE(op.messages.empty());
                return;
            }
            // Cut anywhere: whatever the identification built is gone again
            // and the search goes on.
            op.run_loop();
            EXPECT_TRUE(op.searching_again());
            EXPECT_FALSE(op.config.active);
            EXPECT_EQ(op.disconnects, 1);
            for (const std::string& m : op.messages) {
                EXPECT_EQ(m, "Configuration load error.");
            }
            EXPECT_TRUE(op.programmer.unit.writes.empty());
            EXPECT_EQ(op.programmer.unit.memory, op.memory_before);
        });
    }
}

// ---- Configuration load and save -------------------------------------------

struct ConfigOp : test::SimLink, Bench {
    ConfigOp(sim::Variant variant)
        : test::SimLink(variant), Bench(static_cast<test::SimLink&>(*this))
    {
        sim::fill_demo_configuration(programmer.unit);
        open();
        begin_config_session(config, UnitKind{512, 1105});
        config.hooks.message = [this](const std::string& m) { messages.push_back(m); };
        ui.lost = [this] { end_config_session(config); };
    }
    std::string last_message() const { return messages.empty() ? "" : messages.back(); }

    ConfigState config;
    std::vector<std::string> messages;
};

struct LoadOp : ConfigOp {
    using ConfigOp::ConfigOp;
    void run() { result = load_configuration(config, link, kLoadFromUnit); }
    // What the pages show once loaded.
    std::vector<std::string> after() const
    {
        std::vector<std::string> v;
        for (int f = 0; f < kFieldCount; ++f)
            v.push_back(std::to_string(number_of(config, Field(f))) + "/" +
                        text_of(config, Field(f)));
        return v;
    }
    LoadResult result = LoadResult::Busy;
};

TEST(UnplugSweep, ConfigurationLoad)
{
    for (sim::Variant variant : kBothVariants) {
        sweep<LoadOp>(variant, 5'000, [](LoadOp& op, long, const auto& whole) {
            if (op.result == LoadResult::Loaded) {
                // Only the AUX text is read after the record: a cut there
                // still loads the whole record.
                EXPECT_EQ(op.after(), whole.after);
                EXPECT_EQ(op.last_message(), "Configuration loaded successfully.");
            } else {
                EXPECT_EQ(op.result, LoadResult::ReadError);
                EXPECT_EQ(op.messages, std::vector<std::string>{"Configuration load error."});
            }
            EXPECT_FALSE(op.config.busy);
            op.run_loop();
            EXPECT_TRUE(op.searching_again());
            EXPECT_TRUE(op.programmer.unit.writes.empty());
            EXPECT_EQ(op.programmer.unit.memory, op.memory_before);
            ASSERT_TRUE(op.reconnect());
            begin_config_session(op.config, UnitKind{512, 1105});
            EXPECT_EQ(load_configuration(op.config, op.link, kLoadFromUnit), LoadResult::Loaded);
            EXPECT_EQ(op.after(), whole.after);
        });
    }
}

struct SaveOp : ConfigOp {
    explicit SaveOp(sim::Variant variant) : ConfigOp(variant)
    {
        load_configuration(config, link, kLoadSilent);
        // The fitter's edits, spread over several blocks.
        set_number(config, Field::Siren, 2);
        set_text(config, Field::Tqpin, "97531");
        set_number(config, Field::PhoneCount, 3);
        set_text(config, Field::Phone3Number, "+48 600 700 800");
        set_number(config, Field::Language, 1);
        set_number(config, Field::TrunkDisarm, 1);
        programmer.unit.received.clear();
    }
    void run() { result = save_configuration(config, link); }
    Memory after() const { return programmer.unit.memory; }
    SaveResult result = SaveResult::Busy;
};

TEST(UnplugSweep, ConfigurationSave)
{
    for (sim::Variant variant : kBothVariants) {
        sweep<SaveOp>(variant, 5'000, [](SaveOp& op, long, const WholeRun<Memory>& whole) {
            const sim::AlarmUnit& unit = op.programmer.unit;
            if (op.result == SaveResult::Saved) {
                EXPECT_EQ(unit.memory, whole.after);
                EXPECT_EQ(op.last_message(), "Configuration saved.");
            } else {
                EXPECT_EQ(op.result, SaveResult::WriteError);
                EXPECT_EQ(op.messages, std::vector<std::string>{"Write error!"});
                // The unit hears "stored" only after every block went in.
                EXPECT_FALSE(received(unit, cmd::kStored));
            }
            EXPECT_TRUE(only_asked_for(op.memory_before, whole.after, unit.memory));
            EXPECT_FALSE(op.config.busy);
            op.run_loop();
            EXPECT_TRUE(op.searching_again());

            // Read back from the unit, every field that the pages no longer
            // mark as changed holds what the pages show: a cut save never
            // hides an edit that did not reach the unit.
            ASSERT_TRUE(op.reconnect());
            ConfigState unit_view;
            begin_config_session(unit_view, UnitKind{512, 1105});
            ASSERT_EQ(load_configuration(unit_view, op.link, kLoadSilent), LoadResult::Loaded);
            for (int i = 0; i < kFieldCount; ++i) {
                const Field f = Field(i);
                if (!field_present(f, op.config.unit) || differs(op.config, f))
                    continue;
                EXPECT_EQ(number_of(op.config, f), number_of(unit_view, f)) << "field " << i;
                EXPECT_EQ(text_of(op.config, f), text_of(unit_view, f)) << "field " << i;
            }
        });
    }
}

// ---- Emergency/service PIN -------------------------------------------------

struct PinOp : test::SimLink, Bench {
    PinOp(sim::Variant variant)
        : test::SimLink(variant), Bench(static_cast<test::SimLink&>(*this))
    {
        open();
        std::memcpy(programmer.unit.memory.data() + kServicePinAddress, "\1\2\3\4", 5);
    }
    void run() { result = save_service_pin(link, 1105, "0907"); }
    Memory after() const { return programmer.unit.memory; }
    std::optional<PinSave> result;
};

TEST(UnplugSweep, ServicePinSave)
{
    for (sim::Variant variant : kBothVariants) {
        sweep<PinOp>(variant, 5'000, [](PinOp& op, long, const WholeRun<Memory>& whole) {
            const sim::AlarmUnit& unit = op.programmer.unit;
            ASSERT_TRUE(op.result);
            if (*op.result == PinSave::Saved) {
                EXPECT_EQ(unit.memory, whole.after);
            } else {
                EXPECT_EQ(*op.result, PinSave::WriteError);
                EXPECT_FALSE(received(unit, cmd::kStored));
            }
            EXPECT_TRUE(only_asked_for(op.memory_before, whole.after, unit.memory));
            op.run_loop();
            EXPECT_TRUE(op.searching_again());
            ASSERT_TRUE(op.reconnect());
            EXPECT_EQ(save_service_pin(op.link, 1105, "0907"), PinSave::Saved);
            EXPECT_EQ(unit.memory, whole.after);
        });
    }
}

// ---- Firmware update ---------------------------------------------------------

// Tag, six spare bytes, CRC-16/ARC of the image, the image: 10,000 bytes in
// all, the smallest file taken.
const Bytes& firmware_file()
{
    static const Bytes file = [] {
        Bytes f(10'000, 0);
        std::memcpy(f.data(), "TQ510F3 ", 8);
        std::uint32_t x = 12345;
        for (std::size_t i = 16; i < f.size(); ++i) {
            x = x * 1103515245u + 12345u;
            f[i] = std::uint8_t(x >> 16);
        }
        std::uint16_t crc = 0;
        for (std::size_t i = 16; i < f.size(); ++i) {
            crc ^= f[i];
            for (int b = 0; b < 8; ++b)
                crc = crc & 1 ? std::uint16_t(crc >> 1 ^ 0xA001) : std::uint16_t(crc >> 1);
        }
        f[14] = std::uint8_t(crc);
        f[15] = std::uint8_t(crc >> 8);
        return f;
    }();
    return file;
}

// The firmware update from the menu of a connected unit (kFirmwareSwitch),
// or with "Program" when the search found the bootloader (kFirmwareNoSwitch).
struct FirmwareOp : test::SimLink, Bench {
    FirmwareOp(sim::Variant variant, int firmware_mode)
        : test::SimLink(variant), Bench(static_cast<test::SimLink&>(*this)),
          bootloader(sim::attach_bootloader(programmer)), mode(firmware_mode)
    {
        sim::fill_demo_configuration(programmer.unit);
        if (mode == kFirmwareNoSwitch) {
            // A unit left in its bootloader by an earlier update; the
            // bootloader dialog has closed the handle.
            bootloader.unit_variant = variant;
            programmer.set_variant(sim::Variant::Bootloader);
            connection.state = kSearching;
        } else {
            open();
        }
        ui.bootloader = [this] { ++bootloader_dialogs; };
    }
    void run() { result = update_firmware(link, firmware, fui, mode); }
    Bytes after() const { return bootloader.flash; }

    sim::UsbBootloader& bootloader;
    int mode;
    FirmwareState firmware;
    // The update's windows: the file served, messages and open progress
    // windows counted.
    struct View final : FirmwareView {
        explicit View(FirmwareOp& owner) : op(owner) {}
        std::optional<std::string> choose_file() override { return "unit.bin"; }
        std::optional<std::size_t> read_file(const std::string&, std::uint8_t* buffer,
                                             std::size_t max) override
        {
            const std::size_t n = std::min(max, firmware_file().size());
            std::copy_n(firmware_file().begin(), n, buffer);
            return n;
        }
        void show_message(const std::string& m) override { op.messages.push_back(m); }
        void open_progress() override { ++op.progress_windows; }
        void close_progress() override { --op.progress_windows; }
        FirmwareOp& op;
    } fui{*this};
    std::vector<std::string> messages;
    int progress_windows = 0;
    int bootloader_dialogs = 0;
    int result = -1;
};

TEST(UnplugSweep, FirmwareUpdate)
{
    const Bytes erased(sim::UsbBootloader::kSize, 0xFF);
    const auto check = [&](FirmwareOp& op, long, const WholeRun<Bytes>& whole) {
        EXPECT_EQ(op.result, 1);
        EXPECT_EQ(op.progress_windows, 0);
        EXPECT_FALSE(op.firmware.updating);
        ASSERT_EQ(op.messages.size(), 1u);
        const bool programmed = op.messages[0] == "Successfully programmed device.";
        if (!programmed) {
            EXPECT_EQ(op.messages[0], "Write error!");
        }
        // Flash is untouched, or erased and written in part without the
        // validity marker, or holds the whole image with it: a unit
        // never starts a half-written image.
        const Bytes& flash = op.bootloader.flash;
        if (op.bootloader.marker_valid() || programmed) {
            EXPECT_TRUE(flash == whole.after) << "marked valid with a different image";
        } else if (op.bootloader.erases == 0) {
            EXPECT_TRUE(flash == erased);
        }
        EXPECT_TRUE(op.programmer.unit.writes.empty());
        EXPECT_EQ(op.programmer.unit.memory, op.memory_before);

        // The cable back in: a unit that is in its bootloader without a
        // good image offers the bootloader path again; one that never
        // left its firmware, or restarted into the new one, is found as
        // before.
        op.run_loop();
        EXPECT_TRUE(op.searching_again());
        op.programmer.faults.unplug_after_reports = -1;
        op.programmer.plugged = true;
        (*op.clock).advance(5'000);
        op.run_loop(1);
        const bool in_bootloader = op.programmer.variant() == sim::Variant::Bootloader;
        EXPECT_EQ(op.bootloader_dialogs, in_bootloader ? 1 : 0);
        EXPECT_EQ(op.connection.state, in_bootloader ? kSearching : kWaitingForUnit);
        if (!programmed) {
            EXPECT_EQ(in_bootloader, op.mode == kFirmwareNoSwitch ||
                                         received(op.programmer.unit, cmd::kEnterBootloader));
        }
        if (!in_bootloader)
            return;
        // "Program" in the bootloader dialog: the update runs again and
        // the unit restarts into the new firmware.
        op.messages.clear();
        EXPECT_EQ(update_firmware(op.link, op.firmware, op.fui, kFirmwareNoSwitch), 1);
        EXPECT_EQ(op.messages, std::vector<std::string>{"Successfully programmed device."});
        EXPECT_TRUE(op.bootloader.flash == whole.after);
        (*op.clock).advance(5'000);
        op.run_loop(1);
        EXPECT_EQ(op.connection.state, kWaitingForUnit);
    };
    for (int mode : {kFirmwareSwitch, kFirmwareNoSwitch}) {
        SCOPED_TRACE(mode == kFirmwareSwitch ? "from the menu" : "from the bootloader dialog");
        // A cut costs at most the 24 searches for the bootloader.
        for (sim::Variant variant : kBothVariants)
            sweep<FirmwareOp>(variant, 10'000, check, mode);
    }
}

// ---- Radio module firmware: .ble loader and DFU package --------------------

struct RadioOp : test::RadioSim, Bench {
    explicit RadioOp(sim::Variant variant) : Bench(RadioSim::s)
    {
        radio.window_open = false;
        s.programmer.set_variant(variant);
        s.open();
    }
    void run() { result = run_radio_file_update(link, radio, kind, *file, {}); }
    Memory after() const { return s.programmer.unit.memory; }

    RadioFileKind kind = RadioFileKind::Ble;
    const Bytes* file = nullptr;
    std::string result;
};

struct BleOp : RadioOp {
    explicit BleOp(sim::Variant variant) : RadioOp(variant)
    {
        static const Bytes ble = [] {
            Bytes b(kBleMagic.begin(), kBleMagic.end());
            const Bytes payload = test::random_bytes(100, 3);
            b.insert(b.end(), payload.begin(), payload.end());
            return b;
        }();
        module.chipset = 0;
        kind = RadioFileKind::Ble;
        file = &ble;
    }
};

// The smallest package taken: an init packet of 140 bytes, an image of
// 1,000 bytes.
const Bytes& dfu_image()
{
    static const Bytes b = test::random_bytes(1000, 5);
    return b;
}
const Bytes& dfu_package()
{
    static const Bytes zip = [] {
        test::ZipFolder z;
        z.write("app.bin", dfu_image());
        z.write("app.dat", sim::sim_init_packet(dfu_image()));
        z.write("manifest.json", test::kManifest);
        z.zip("p.zip", "manifest.json app.bin app.dat");
        return z.read("p.zip");
    }();
    return zip;
}

struct DfuOp : RadioOp {
    explicit DfuOp(sim::Variant variant) : RadioOp(variant)
    {
        module.chipset = 1;
        kind = RadioFileKind::Package;
        file = &dfu_package();
    }
};

template <class Op> void radio_sweep()
{
    const auto check = [](Op& op, long n, const WholeRun<Memory>& whole) {
        const bool done = op.result == "Successfully programmed device.";
        if (!done) {
            EXPECT_EQ(op.result, "radio module communication error.");
        }
        if (n == whole.reports) {
            EXPECT_TRUE(done);
        }
        // The module takes a new image only whole, and an update reported
        // as done has put it there.
        const sim::RadioModuleSim& m = op.module;
        const Bytes payload(op.file->begin() + 8, op.file->end());
        const bool ble_in = m.saved && m.flash.size() >= payload.size() &&
                            std::equal(payload.begin(), payload.end(), m.flash.begin());
        if (m.saved) {
            EXPECT_TRUE(ble_in);
        }
        if (m.dfu.activated) {
            EXPECT_EQ(m.dfu.image, dfu_image());
        }
        if (done) {
            EXPECT_TRUE(op.kind == RadioFileKind::Ble ? ble_in : m.dfu.activated);
        }
        EXPECT_TRUE(op.s.programmer.unit.writes.empty());
        EXPECT_EQ(op.s.programmer.unit.memory, op.memory_before);
        op.run_loop();
        EXPECT_TRUE(op.searching_again());
        if (done)
            return;
        // The fitter plugs the cable back in and tries again: the module,
        // wherever the cut left it, takes the whole image.
        ASSERT_TRUE(op.reconnect());
        EXPECT_EQ(run_radio_file_update(op.link, op.radio, op.kind, *op.file, {}),
                  "Successfully programmed device.");
        if (op.kind == RadioFileKind::Ble) {
            EXPECT_TRUE(m.flash.size() >= payload.size() &&
                        std::equal(payload.begin(), payload.end(), m.flash.begin()));
        } else {
            EXPECT_TRUE(m.dfu.activated);
            EXPECT_EQ(m.dfu.image, dfu_image());
        }
    };
    // Each SLIP response is awaited at most 4 s, three times over.
    for (sim::Variant variant : kBothVariants)
        sweep<Op>(variant, 15'000, check);
}

TEST(UnplugSweep, RadioBleUpdate) { radio_sweep<BleOp>(); }
TEST(UnplugSweep, RadioDfuUpdate) { radio_sweep<DfuOp>(); }

// ---- Module activate -------------------------------------------------------

struct ActivateOp : test::SimLink, Bench {
    ActivateOp(sim::Variant variant, int module_row)
        : test::SimLink(variant), Bench(static_cast<test::SimLink&>(*this)), row(module_row)
    {
        sim::AlarmUnit& u = programmer.unit;
        bus = sim::install_onewire_bus(u);
        std::memset(u.memory.data() + 612, 0xFF, 8);
        std::memset(u.memory.data() + 1012, 0xFF, 32);
        std::memset(u.memory.data() + 1052, 0xFF, 16);
        u.memory[1044] = 0x82; // AUX-FORTIN active: the AUX module takes its place
        bus->devices = {sim::make_onewire_id(kFamilyCutoff, 2, 77), sim::aux_module_id()};
        open();
        windows.op = this;
        m.view = &windows;
        EXPECT_EQ(load_module_list(m, link, 1105), 0);
        build_module_rows(m);
    }
    void run() { activate_module(m, link, 1105, row); }
    Memory after() const { return programmer.unit.memory; }

    // The module window as a recorder: a refresh reads the list again.
    struct Windows final : ModuleListView {
        ActivateOp* op = nullptr;
        bool refresh() override
        {
            const int r = load_module_list(op->m, op->link, 1105);
            if (r)
                op->messages.push_back(text(r));
            if (r && r != kTextNoDevices)
                return false;
            build_module_rows(op->m);
            return true;
        }
        void message(const std::string& t) override { op->messages.push_back(t); }
    } windows;
    std::shared_ptr<sim::OneWireBus> bus;
    ModulesState m;
    std::vector<std::string> messages;
    int row;
};

// The row's identifier slot and mode byte hold what the whole activation
// writes there.
bool row_bytes_stored(int row, const Memory& whole, const Memory& now)
{
    const ModuleRowInfo& row_info = module_row_info(row);
    const auto same = [&](int address, int length) {
        return std::equal(whole.begin() + address, whole.begin() + address + length,
                          now.begin() + address);
    };
    return (!row_info.id_slot || same(row_info.id_slot, 8)) &&
           (!row_info.mode_address || same(row_info.mode_address, 1));
}

TEST(UnplugSweep, ModuleActivate)
{
    const auto check = [](ActivateOp& op, long, const WholeRun<Memory>& whole) {
        const sim::AlarmUnit& unit = op.programmer.unit;
        EXPECT_TRUE(only_asked_for(op.memory_before, whole.after, unit.memory));
        // The row shows active only what the unit holds as active.
        if (op.m.rows[std::size_t(op.row)].status == RowStatus::Active) {
            EXPECT_TRUE(row_bytes_stored(op.row, whole.after, unit.memory));
        }
        // A cut activation says so: the list could not be read again or a
        // write failed.
        if (unit.memory != whole.after) {
            EXPECT_FALSE(op.messages.empty());
            for (const std::string& t : op.messages) {
                EXPECT_TRUE(t == "EEPROM save error." || t == "EEPROM read error." ||
                            t == "Error reading onewire device list.")
                    << t;
            }
        }
        op.run_loop();
        EXPECT_TRUE(op.searching_again());
        // Connected again, the window lists the modules afresh and the
        // activation goes through.
        ASSERT_TRUE(op.reconnect());
        op.messages.clear();
        EXPECT_EQ(load_module_list(op.m, op.link, 1105), 0);
        build_module_rows(op.m);
        activate_module(op.m, op.link, 1105, op.row);
        EXPECT_TRUE(op.messages.empty());
        EXPECT_EQ(unit.memory, whole.after);
        EXPECT_EQ(op.m.rows[std::size_t(op.row)].status, RowStatus::Active);
    };
    // A TQ002 from the bus (the list is read again, then its slot and mode
    // byte are written) and the AUX module (its mode byte, then the
    // AUX-FORTIN's is cleared).
    for (int row : {6, 8}) {
        SCOPED_TRACE("row " + std::to_string(row));
        for (sim::Variant variant : kBothVariants)
            sweep<ActivateOp>(variant, 5'000, check, row);
    }
}

} // namespace
} // namespace tq
