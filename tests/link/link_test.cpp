#include "link/link.h"
#include "platform/clock.h"
#include "support/scripted_port.h"
#include "support/sim_link.h"
#include "support/temp_folder.h"
#include "link/trace.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

namespace tq {
namespace {

// A link on a scripted device, opened as a 64- or 8-byte programmer.
struct Scripted {
    explicit Scripted(int report_size = 64, const char* product = "USB HID Progr")
        : port(script, report_size == 64 ? 0xF1C9 : 0xF1F4)
    {
        script.product = product;
        link.port = &port;
        link.text_sink = [this](std::string_view t) { console += t; };
        opened = device_open(link);
    }
    platform::ScopedVirtualClock clock;
    test::Script script;
    test::ScriptedPort port;
    LinkState link;
    std::string console;
    OpenResult opened = OpenResult::None;
};

TEST(Link, OpensEachProductByItsProductString)
{
    struct Case {
        int report_size;
        const char* product;
        OpenResult result;
        DeviceKind kind;
    } cases[] = {
        {64, "USB HID Progr", OpenResult::Programmer, DeviceKind::Programmer},
        {8, "USB HID Progr", OpenResult::Programmer, DeviceKind::Programmer},
        {8, "USBIC", OpenResult::Programmer, DeviceKind::Usbic},
        {64, "USB Bootloader", OpenResult::Bootloader, DeviceKind::Bootloader},
        {64, "Some Keyboard", OpenResult::None, DeviceKind::None},
    };
    for (const Case& c : cases) {
        Scripted s(c.report_size, c.product);
        EXPECT_EQ(s.opened, c.result) << c.product;
        EXPECT_EQ(s.link.device_kind, c.kind) << c.product;
        EXPECT_EQ(s.link.open(), c.result != OpenResult::None) << c.product;
        if (c.result != OpenResult::None) {
            EXPECT_EQ(s.link.report_size, c.report_size);
        }
    }
}

// A port that, like hidapi, can tell which products are plugged in; some of
// them refuse to open, as a hidraw node without the udev rule does.
struct EnumeratingPort final : HidPort {
    std::vector<std::uint16_t> plugged, openable;
    std::vector<std::uint16_t> tried;
    test::Script script;

    std::unique_ptr<HidDevice> open(std::uint16_t vendor, std::uint16_t product) override
    {
        tried.push_back(product);
        if (std::find(openable.begin(), openable.end(), product) == openable.end())
            return nullptr;
        return test::ScriptedPort(script, product).open(vendor, product);
    }
    std::optional<std::vector<std::uint16_t>> plugged_in(std::uint16_t) override
    {
        return plugged;
    }
};

TEST(Link, TellsAProgrammerThatIsPluggedInButCannotBeOpened)
{
    using P = std::vector<std::uint16_t>;
    struct Case {
        P plugged, openable;
        OpenResult result;
        bool unopenable;
        P tried;
    } cases[] = {
        // Nothing plugged in: no product is tried at all.
        {{}, {}, OpenResult::None, false, {}},
        {{0xF1F5}, {}, OpenResult::None, true, {0xF1F5}},
        {{0xF1C9, 0xF1F4}, {}, OpenResult::None, true, {0xF1C9, 0xF1F4}},
        {{0xF1C9, 0xF1F4}, {0xF1F4}, OpenResult::Programmer, false, {0xF1C9, 0xF1F4}},
        {{0xF1F7}, {0xF1F7}, OpenResult::Programmer, false, {0xF1F7}},
        // Another maker's device of this vendor is not a programmer.
        {{0x4F58}, {}, OpenResult::None, false, {}},
    };
    for (const Case& c : cases) {
        platform::ScopedVirtualClock clock;
        EnumeratingPort port;
        port.plugged = c.plugged;
        port.openable = c.openable;
        LinkState link;
        link.port = &port;
        link.programmer_unopenable = !c.unopenable; // each search tells afresh
        EXPECT_EQ(device_open(link), c.result) << c.plugged.size();
        EXPECT_EQ(link.programmer_unopenable, c.unopenable) << c.plugged.size();
        EXPECT_EQ(port.tried, c.tried) << c.plugged.size();
    }
}

TEST(Link, ReceivesAFrameSpreadOverReports)
{
    Scripted s(8);
    s.script.queue_text("!0305000965#", 8);
    EXPECT_EQ(poll_reply(s.link), 1);
    EXPECT_EQ(s.link.reply_length, 5);
    EXPECT_EQ(s.link.reply_code(), 0x05);
    EXPECT_EQ(s.link.payload()[1], 0x09);
    EXPECT_FALSE(s.link.rx_pending);
    EXPECT_EQ(s.script.polls(), 1);
}

TEST(Link, DropsBadFramesAndKeepsWaitingWithinTheSameCall)
{
    for (const char* bad : {"!0101ac#", "!0201AC#", "!0101AD#", "garbage"}) {
        Scripted s;
        s.script.queue_text(bad, 64);
        s.script.queue_text("!0104AF#", 64);
        EXPECT_EQ(poll_reply(s.link), 1) << bad;
        EXPECT_EQ(s.link.reply_code(), 0x04) << bad;
    }
}

TEST(Link, SecondFrameOfOneReportSequenceComesWithoutAPoll)
{
    Scripted s;
    s.script.queue_text("!0101AC#!0104AF#", 64);
    ASSERT_EQ(poll_reply(s.link), 1);
    EXPECT_EQ(s.link.reply_code(), 0x01);
    EXPECT_TRUE(s.link.rx_pending);
    ASSERT_EQ(poll_reply(s.link), 1);
    EXPECT_EQ(s.link.reply_code(), 0x04);
    EXPECT_EQ(s.script.polls(), 1);
    EXPECT_FALSE(s.link.rx_pending);
}

TEST(Link, ErrorBurstGoesToTheConsoleOnly)
{
    Scripted s;
    s.script.queue_report(std::vector<std::uint8_t>(64, 0xAA), 64);
    std::vector<std::uint8_t> text(64, 0);
    const std::string message = "EEPROM fault";
    std::copy(message.begin(), message.end(), text.begin());
    s.script.queue_report(text, 64);
    EXPECT_EQ(poll_reply(s.link), 0);
    EXPECT_EQ(s.console, "\n\n\n!!!ERROR!!!\nEEPROM fault");
}

TEST(Link, ErrorBurstFromAProgrammerThatNeverFallsSilentEnds)
{
    Scripted s;
    for (int i = 0; i < 2000; ++i)
        s.script.queue_report(std::vector<std::uint8_t>(64, 'x'), 64);
    s.script.input.push_front(std::vector<std::uint8_t>(64, 0xAA));
    EXPECT_EQ(poll_reply(s.link), 0);
    EXPECT_LT(s.script.reads, 600);
}

TEST(Link, TextMessagesGoToTheConsoleUnlessRemoteAccessTakesThem)
{
    Scripted s;
    s.script.queue_text("!03FF4F4BF0#", 64); // "OK"
    s.script.queue_text("!0104AF#", 64);
    EXPECT_EQ(poll_reply(s.link), 1);
    EXPECT_EQ(s.link.reply_code(), 0x04);
    EXPECT_EQ(s.console, "OK");

    s.link.return_text_frames = true;
    s.script.queue_text("!03FF4F4BF0#", 64);
    EXPECT_EQ(poll_reply(s.link), 1);
    EXPECT_EQ(s.link.reply_code(), 0xFF);
    EXPECT_EQ(s.console, "OK");
}

TEST(Link, OverlongTextWithoutAFrameIsDropped)
{
    Scripted s;
    std::string endless = "!";
    endless.append(1100, '0');
    s.script.queue_text(endless, 64);
    EXPECT_EQ(poll_reply(s.link), 0);
    EXPECT_EQ(s.link.rx_fill, 0);
}

TEST(Link, ShortWriteClosesTheDevice)
{
    Scripted s(8);
    s.script.short_write_at = 1; // the second report of the frame
    EXPECT_FALSE(send_frame(s.link, 0x01));
    EXPECT_FALSE(s.link.open());
    EXPECT_EQ(s.script.written.size(), 2u);
    EXPECT_EQ(poll_reply(s.link), 0);
    EXPECT_EQ(s.script.written.size(), 2u);
}

TEST(Link, UsbicPausesAfterEachFrame)
{
    Scripted usbic(8, "USBIC");
    const auto start = platform::now_ms();
    send_frame(usbic.link, 0x01);
    EXPECT_EQ(platform::now_ms() - start, 100);

    Scripted plain(8);
    const auto t = platform::now_ms();
    send_frame(plain.link, 0x01);
    EXPECT_EQ(platform::now_ms() - t, 0);
}

TEST(Link, TalksToTheSimulatedProgrammerInBothReportSizes)
{
    for (auto variant : {sim::Variant::Programmer64, sim::Variant::Programmer8, sim::Variant::Usbic}) {
        test::SimLink s(variant);
        ASSERT_EQ(s.open(), OpenResult::Programmer);
        send_command(s.link, 0x04);
        ASSERT_EQ(poll_reply(s.link), 1);
        EXPECT_EQ(s.link.reply_code(), 0x08);
        EXPECT_EQ(s.link.payload()[0] | s.link.payload()[1] << 8, 512);

        s.programmer.unit.send_text("ALARM\r\n");
        EXPECT_EQ(poll_reply(s.link), 0);
        EXPECT_EQ(s.console, "ALARM\r\n");
    }
}

TEST(Link, UnplugMidFrameLeavesNoDeviceAndNoHang)
{
    test::SimLink s(sim::Variant::Programmer8);
    ASSERT_EQ(s.open(), OpenResult::Programmer);
    s.programmer.faults.unplug_after_reports = 1; // the frame needs two reports
    EXPECT_FALSE(send_command(s.link, 0x01));
    EXPECT_FALSE(s.link.open());
    EXPECT_EQ(poll_reply(s.link), 0);
    EXPECT_EQ(s.open(), OpenResult::None);
}

// The support trace: opens with what was asked, reports and frames both
// ways with their times, a dropped frame with why, a close with its reason.
TEST(Link, TraceTellsWhatCrossedTheLinkAndWhy)
{
    test::TempFolder folder;
    test::SimLink s;
    std::string error;
    std::unique_ptr<LinkTrace> trace = LinkTrace::open(folder / "trace.txt", error);
    ASSERT_TRUE(trace) << error;
    std::unique_ptr<HidPort> traced = traced_port(s.port, *trace);
    s.link.port = traced.get();
    s.link.trace = trace.get();

    ASSERT_EQ(s.open(), OpenResult::Programmer);
    s.clock->advance(1234);
    ASSERT_TRUE(send_command(s.link, 0x01));
    EXPECT_EQ(poll_reply(s.link), 1);
    s.programmer.faults.corrupt_next_reply = true;
    ASSERT_TRUE(send_command(s.link, 0x01));
    EXPECT_EQ(poll_reply(s.link), 0);
    s.programmer.faults.short_write = 3;
    EXPECT_FALSE(send_frame(s.link, 0x01));
    trace.reset();

    const std::string text = folder.read("trace.txt");
    const auto has = [&](const std::string& part) { return text.find(part) != std::string::npos; };
    EXPECT_TRUE(has("] trace begins "));
    EXPECT_TRUE(has("] open 12AA:F1C9: opened\n"));
    EXPECT_TRUE(has("] product string of 12AA:F1C9: \"USB HID Progr\"\n"));
    EXPECT_TRUE(has("[     1.2")) << text;
    EXPECT_TRUE(has("] frame out: !0101AC#\n"));
    EXPECT_TRUE(has("] out 00 "));
    EXPECT_TRUE(has("] in "));
    EXPECT_TRUE(has("] frame in: !"));
    EXPECT_TRUE(has("] frame dropped: bad count, hex digits, checksum or end: !"));
    EXPECT_TRUE(has("] out (write failed: 3)"));
    EXPECT_TRUE(has("] device closed: short write: the programmer is gone\n"));
    EXPECT_TRUE(has("] close 12AA:F1C9\n"));
}

} // namespace
} // namespace tq
