// The relay command parser against the simulated programmer and the other
// devices it drives, through an in-memory channel.
#include "relay_fixture.h"

#include "link/commands.h"
#include "sim/radio_module_sim.h"
#include "sim/usb_bootloader.h"
#include "support/scripted_port.h"
#include "text/texts.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tq {
namespace {

using namespace std::string_literals;
using test::RelayRig;

// The "@R" record of a reply: code, payload and the frame's checksum.
std::string record(std::uint8_t code, const std::string& payload)
{
    const auto count = std::uint8_t(payload.size() + 1);
    unsigned sum = (count + 0x55u) + (code + 0x55u);
    for (unsigned char b : payload)
        sum += b + 0x55u;
    return "@R"s + char(payload.size() + 2) + char(code) + payload + char(sum & 0xFF);
}

std::string bytes(std::initializer_list<int> list)
{
    std::string s;
    for (int b : list)
        s += char(b);
    return s;
}

TEST(RelayProtocol, FramesGoToTheUnitAndRepliesComeBackAsRecords)
{
    RelayRig rig;
    EXPECT_EQ(rig.feed("@H"), "@1");
    EXPECT_EQ(rig.view.labels.back(), "Remote access active: M.");

    // Hello (0x01) is answered with status 2, 1; the relay collects it.
    EXPECT_EQ(rig.feed("@h\x01\x00"s), "");
    EXPECT_EQ(rig.feed("@R"), record(0x07, "\x02\x01"));
    EXPECT_EQ(rig.feed("@R"), "@R\0"s);

    // Text from the unit reaches the relay, not the console.
    rig.sim.programmer.unit.send_text("hi");
    EXPECT_EQ(rig.feed("@R"), record(0xFF, "hi"));
    EXPECT_EQ(rig.sim.console, "");

    // "@i" keeps only the text frames that were waiting.
    rig.sim.programmer.unit.reply(0x06, {1, 2});
    rig.sim.programmer.unit.send_text("x");
    EXPECT_EQ(rig.feed("@i\x04\x00"s), "");
    const std::string after = rig.feed("@R");
    EXPECT_EQ(after.substr(0, record(0xFF, "x").size()), record(0xFF, "x"));
    ASSERT_FALSE(rig.sim.programmer.unit.received.empty());
    EXPECT_EQ(rig.sim.programmer.unit.received.back().code, 0x04);
}

TEST(RelayProtocol, CollectedRepliesNeedAProgrammer)
{
    struct Case {
        const char* name;
        sim::Variant variant;
        bool plugged;
        const char* status;
    } cases[] = {
        {"bootloader", sim::Variant::Bootloader, true, "@2"},
        {"nothing open", sim::Variant::Programmer64, false, "@!"},
        {"USBIC", sim::Variant::Usbic, true, "@3"},
    };
    for (const Case& c : cases) {
        RelayRig rig(c.variant);
        rig.sim.programmer.plugged = c.plugged;
        EXPECT_EQ(rig.feed("@H"), c.status) << c.name;
        const std::string answer = rig.feed("@R");
        if (c.variant == sim::Variant::Usbic)
            EXPECT_EQ(answer, "@R\0"s) << c.name;
        else
            EXPECT_EQ(answer, "@!") << c.name;
    }
}

TEST(RelayProtocol, StatusMessagesTellWhatIsOpenAndEndTheBlock)
{
    RelayRig rig;
    rig.open_can_port();
    // "@!" releases everything; the label says so once, then the kind is 0.
    ASSERT_EQ(rig.sim.open(), OpenResult::Programmer);
    EXPECT_EQ(rig.feed("@!abc@h\x01\x00"s), "@!");
    EXPECT_FALSE(rig.sim.link.open());
    EXPECT_EQ(rig.can_state(), kCanPortNone);
    EXPECT_EQ(rig.view.labels.back(), "Disconnected.");
    EXPECT_EQ(rig.sim.link.device_kind, DeviceKind::None);
    EXPECT_FALSE(rig.relay.devices_released);
    // The rest of that block was dropped: no serial data, no frame.
    EXPECT_EQ(rig.can_written(), "");
    EXPECT_TRUE(rig.sim.programmer.unit.received.empty());

    EXPECT_EQ(rig.feed("@#"), "@#");
    EXPECT_EQ(rig.view.labels.back(), "Remote access active: CAN.");
    rig.feed("@!");
    rig.unplug_can_unit();
    rig.plug_can_unit(false); // driver missing: reported once per search
    EXPECT_EQ(rig.feed("@#"), "@$");
    EXPECT_EQ(rig.can_state(), kCanPortNone);
    EXPECT_EQ(rig.view.messages.size(), 1u);
    EXPECT_EQ(rig.feed("@#"), "@$");
    rig.unplug_can_unit();
    EXPECT_EQ(rig.feed("@#"), "@!");
    EXPECT_EQ(rig.view.labels.back(), "No USB device found.");
}

TEST(RelayProtocol, SerialDataGoesToTheCanPortWithAtSignsUndoubled)
{
    RelayRig rig;
    rig.plug_can_unit();
    EXPECT_EQ(rig.feed("@#"), "@#");
    EXPECT_EQ(rig.feed("ab@@c@zd@"), "");
    EXPECT_EQ(rig.can_written(6), "ab@czd");
    EXPECT_TRUE(rig.relay.escape_pending);
    EXPECT_EQ(rig.feed("@e"), "");
    EXPECT_EQ(rig.can_written(2), "@e");

    // Bytes from the port go to the relay unchanged while it is quiet.
    rig.can_pty.send("x@y");
    std::string from_port;
    for (int i = 0; i < 100 && from_port.size() < 3; ++i) {
        rig.channel.sent.clear();
        rig.step();
        from_port += rig.channel.sent;
    }
    EXPECT_EQ(from_port, "x@y");

    // A port that fails to take the bytes releases the devices and tells
    // the relay.
    SerialState& serial = rig.sim.link.serial;
    serial_close(serial, serial.can_port_index);
    EXPECT_EQ(rig.feed("abc"), "@!");
    EXPECT_EQ(rig.can_state(), kCanPortNone);

    // Without the port serial data is dropped.
    EXPECT_EQ(rig.feed("dropped"), "");
    EXPECT_EQ(rig.can_written(), "");
}

TEST(RelayProtocol, RadioCommandsAnswerWithTheirText)
{
    RelayRig rig;
    rig.sim.open();
    sim::RadioModuleSim module(rig.sim.programmer.unit);
    module.radio_mode = true;
    EXPECT_EQ(rig.feed("@B\x01\x02\x00QQ"s), "@A\x05" "1.5.6");
    EXPECT_EQ(rig.feed("@b\x12\x02" "05"), "@a\x01");
    // A module that refuses the command, however often it is asked.
    module.refused_replies = 100;
    EXPECT_EQ(rig.feed("@C\x03\x00\x00"s), "@A\0"s);
    ASSERT_GE(module.lines.size(), 3u);
    EXPECT_EQ(module.lines[0].substr(0, 4), "01QQ");
    EXPECT_EQ(module.lines[1].substr(0, 4), "1205");
    EXPECT_EQ(module.lines[2].substr(0, 2), "03");
}

// The listing: 0x57 with 1 starts it, 0x57 with 0 asks for the next line,
// a line of length 0 ends it; 0x56 closes it.
void add_listing(sim::AlarmUnit& unit, std::vector<std::string> lines)
{
    auto next = std::make_shared<std::size_t>(0);
    unit.on(cmd::kListingRecord, [lines, next](sim::AlarmUnit& u, std::span<const std::uint8_t> d) {
        if (!d.empty() && d[0] == 1)
            *next = 0;
        const std::string line = *next < lines.size() ? lines[(*next)++] : "";
        std::vector<std::uint8_t> payload = {0x00, std::uint8_t(line.size()), 0x00};
        payload.insert(payload.end(), line.begin(), line.end());
        u.send_text("meanwhile");
        u.reply(reply::kBlock, payload);
    });
    unit.on(cmd::kListingEnd, [](sim::AlarmUnit&, auto) {});
}

TEST(RelayProtocol, ListingIsSentLineByLineWithoutLineEnds)
{
    RelayRig rig;
    rig.sim.open();
    add_listing(rig.sim.programmer.unit, {"LINE ONE\r\n", "TWO\n"});
    EXPECT_EQ(rig.feed("@f"), "@f\x08LINE ONE" "@f\x03TWO" "@g");
    const auto& got = rig.sim.programmer.unit.received;
    ASSERT_EQ(got.size(), 5u);
    EXPECT_EQ(got[0].data, (std::vector<std::uint8_t>{1}));
    EXPECT_EQ(got[1].data, (std::vector<std::uint8_t>{0}));
    EXPECT_EQ(got[2].data, (std::vector<std::uint8_t>{0}));
    EXPECT_EQ(got[3].code, cmd::kListingEnd);
    EXPECT_EQ(got[4].data, (std::vector<std::uint8_t>{1, 0}));
    // The unit's text meanwhile waits in the collector.
    const std::string collected = rig.feed("@R");
    EXPECT_EQ(collected.substr(0, record(0xFF, "meanwhile").size()), record(0xFF, "meanwhile"));
}

TEST(RelayProtocol, ForwardedDataReportsItsTimeoutUntilTheNextForward)
{
    RelayRig rig;
    rig.sim.open();
    bool answers = true;
    rig.sim.programmer.unit.on(cmd::kForwardData, [&answers](sim::AlarmUnit& u, auto) {
        u.send_text("forwarding\n");
        if (answers)
            u.reply(reply::kStatus, {0});
    });
    EXPECT_EQ(rig.feed("@F\x02" "ab@G"), "@G\0"s);
    EXPECT_EQ(rig.sim.programmer.unit.received.back().data,
              (std::vector<std::uint8_t>{'a', 'b'}));
    // The wait only polls: text seen meanwhile is not collected.
    EXPECT_EQ(rig.feed("@R"), "@R\0"s);

    answers = false;
    const auto before = platform::now_ms();
    EXPECT_EQ(rig.feed("@F\x01x@G"), "@G\x01");
    EXPECT_GE(platform::now_ms() - before, 20 * 50);
    EXPECT_EQ(rig.feed("@G"), "@G\x01");

    answers = true;
    EXPECT_EQ(rig.feed("@F\x01y@G"), "@G\0"s);
}

TEST(RelayProtocol, ImageChunksAreSummedAndAnOverflowIsRefused)
{
    // Room for 112 bytes.
    RelayRig rig(sim::Variant::Programmer64, 112);
    std::string chunk(100, '\0');
    unsigned sum = 0;
    for (int i = 0; i < 100; ++i) {
        chunk[std::size_t(i)] = char(200 + i % 50);
        sum += unsigned(std::uint8_t(chunk[std::size_t(i)]));
    }
    EXPECT_EQ(rig.feed("@E0"), "@E0");
    EXPECT_EQ(rig.feed("@E1\x00\x64"s + chunk), "@E1" + bytes({int(sum % 65535 >> 8), int(sum % 65535 & 0xFF)}));
    EXPECT_EQ(rig.firmware.image_size, 100);
    EXPECT_EQ(std::string(rig.firmware.image(), rig.firmware.image() + 100), chunk);

    // 100 more would not fit: the chunk is consumed, nothing is appended,
    // and the answer is one no sum can be.
    EXPECT_EQ(rig.feed("@E1\x00\x64"s + chunk + "@G"), "@E1\xFF\xFF" "@G\0"s);
    EXPECT_EQ(rig.firmware.image_size, 100);
    EXPECT_EQ(rig.feed("@E1\x00\x0C"s + std::string(12, '\x01')), "@E1\x00\x0C"s);
    EXPECT_EQ(rig.firmware.image_size, 112);
    EXPECT_EQ(rig.feed("@E1\x00\x01" "z"s), "@E1\xFF\xFF");

    EXPECT_EQ(rig.feed("@E0"), "@E0");
    EXPECT_EQ(rig.firmware.image_size, 0);
}

TEST(RelayProtocol, ProgrammingReportsProgressEveryEightBlocks)
{
    RelayRig rig(sim::Variant::Bootloader);
    sim::UsbBootloader& boot = sim::attach_bootloader(rig.sim.programmer);
    ASSERT_EQ(rig.feed("@H"), "@2");
    rig.firmware.image_size = 1000;
    for (int i = 0; i < 1000; ++i)
        rig.firmware.image()[i] = std::uint8_t(i * 7 + 3);
    EXPECT_EQ(rig.feed("@E5\x00\x60\x00\x1D"s),
              "@E5\x00\x00"s + "@E5\x01\xC0" + "@E5\x03\x80" + "@E5\x03\xE8");
    // 18 blocks of 56 bytes from the start the relay named.
    const auto flash = boot.at(sim::UsbBootloader::kStart, 1000);
    EXPECT_TRUE(std::equal(flash.begin(), flash.end(), rig.firmware.image()));
    EXPECT_EQ(boot.at(sim::UsbBootloader::kStart + 1008, 1)[0], 0xFF);

    // A block that fails drops the connection.
    boot.faults.corrupt_block_at = sim::UsbBootloader::kStart + 112;
    rig.feed("@E5\x00\x60\x00\x1D"s);
    EXPECT_FALSE(rig.connected());
    EXPECT_EQ(rig.channel.sent.substr(rig.channel.sent.size() - 2), "@!");
    EXPECT_EQ(rig.relay.reconnect_countdown, kReconnectSteps);
}

TEST(RelayProtocol, RawBootloaderReportsAndBlockingReads)
{
    test::Script script;
    script.product = "USB Bootloader";
    test::ScriptedPort port(script);
    RelayRig rig;
    rig.sim.link.port = &port;
    ASSERT_EQ(rig.feed("@H"), "@2");

    EXPECT_EQ(rig.feed("@E3\x03\x00\x02\x07"s), "@E3\x03");
    EXPECT_EQ(script.written.back(), (std::vector<std::uint8_t>{0, 2, 7}));

    script.queue_report({0x02, 0x38, 0x03}, 64);
    const std::string read = rig.feed("@E4\x40");
    ASSERT_EQ(read.size(), 4u + 64u);
    EXPECT_EQ(read.substr(0, 7), "@E4\x40\x02\x38\x03");

    // Non-blocking: an empty read answers at once.
    auto before = platform::now_ms();
    EXPECT_EQ(rig.feed("@E4\x40"), "@E4\0"s);
    EXPECT_EQ(platform::now_ms() - before, 0);
    // After "@E2" reads wait, but never for ever.
    rig.feed("@E2");
    before = platform::now_ms();
    EXPECT_EQ(rig.feed("@E4\x40"), "@E4\0"s);
    EXPECT_GT(platform::now_ms() - before, 0);
    EXPECT_LE(platform::now_ms() - before, 10000);

    // Nothing open: the results say so.
    rig.feed("@!");
    EXPECT_EQ(rig.feed("@E3\x01\x00"s), "@E3\xFF");
    EXPECT_EQ(rig.feed("@E4\x08"), "@E4\xFF");
    EXPECT_EQ(rig.feed("@Ex@E"), "");
    EXPECT_EQ(rig.feed("9"), "");
}

// Every split of a stream into two blocks gives what the whole stream gives:
// a command begun in one block is finished by the next, never misread.
TEST(RelayProtocol, ACommandSplitAcrossBlocksIsReassembled)
{
    const std::string stream = "ab@@c"s + "@h\x01\x00"s + "@R" + "@G" + "@E0" +
                               "@E1\x00\x03xyz"s + "@b\x12\x01Z" + "@B\x01\x02\x00QQ"s + "@Ex" +
                               "@zq" + "@F\x01Q" + "@R";
    auto run = [&](const std::vector<std::string>& blocks) {
        RelayRig rig;
        rig.sim.open();
        rig.open_can_port();
        sim::RadioModuleSim module(rig.sim.programmer.unit);
        module.radio_mode = true;
        rig.sim.programmer.unit.on(cmd::kForwardData,
                                   [](sim::AlarmUnit& u, auto) { u.reply(reply::kStatus, {0}); });
        const std::string answers = rig.run_blocks(blocks);
        std::string frames;
        for (const auto& f : rig.sim.programmer.unit.received)
            if (f.code < 0x80) // the radio module's own frames aside
                frames += std::to_string(f.code) + ":" + std::string(f.data.begin(), f.data.end()) + ";";
        return answers + "|" + rig.can_written(6) + "|" + frames + "|" +
               std::to_string(rig.firmware.image_size) + "|" + std::to_string(rig.connected());
    };
    const std::string whole = run({stream});
    EXPECT_EQ(whole, record(0x07, "\x02\x01") + "@G\0"s + "@E0" + "@E1" + bytes({0x01, 0x6B}) +
                         "@a\x01" + "@A\x05" + "1.5.6" + "@R\0"s + "|ab@czq|1:;102:Q;|3|1");
    for (std::size_t cut = 1; cut < stream.size(); ++cut) {
        EXPECT_EQ(run({stream.substr(0, cut), stream.substr(cut)}), whole) << "cut at " << cut;
    }
}

TEST(RelayProtocol, CollectorHoldsWhatFitsAndDropsTheRest)
{
    RelayRig rig;
    rig.sim.open();
    sim::AlarmUnit& unit = rig.sim.programmer.unit;
    // A reply too long for a record's length byte is dropped, not wrapped.
    unit.reply(0xFF, std::vector<std::uint8_t>(254, 'L'));
    for (int i = 0; i < 400; ++i)
        unit.send_text(std::string(100, char('a' + i % 26)));
    for (int i = 0; i < 3; ++i)
        rig.feed("@i\x04\x00"s);
    EXPECT_LE(rig.relay.collector.size(), kCollectorSize);
    EXPECT_EQ(rig.relay.dropped_records, 1u + 400u - kCollectorSize / 105);

    const std::string answer = rig.feed("@R");
    ASSERT_EQ(answer.size(), kCollectorSize / 105 * 105);
    for (std::size_t at = 0; at < answer.size(); at += 105) {
        ASSERT_EQ(answer.substr(at, 2), "@R");
        ASSERT_EQ(std::uint8_t(answer[at + 2]), 102);
    }
    EXPECT_EQ(rig.feed("@R"), "@R\0"s);
}

TEST(RelayProtocol, KeepAliveOnlyResetsTheIdleCount)
{
    RelayRig rig;
    for (int i = 0; i < 5; ++i)
        rig.step();
    EXPECT_EQ(rig.relay.idle_steps, 5u);
    const auto labels = rig.view.labels.size();
    rig.run_blocks({" "});
    EXPECT_EQ(rig.relay.idle_steps, 0u);
    EXPECT_EQ(rig.relay.activity_countdown, 0);
    EXPECT_EQ(rig.view.labels.size(), labels);
    EXPECT_EQ(rig.channel.sent, "");

    // Data refreshes the label and starts the activity count.
    rig.run_blocks({"@G"});
    EXPECT_EQ(rig.relay.activity_countdown, kActivitySteps);
    EXPECT_EQ(rig.view.labels.back(), "No USB device found.");
    for (int i = 0; i < kActivitySteps; ++i)
        rig.step();
    EXPECT_EQ(rig.relay.activity_countdown, 0);
    rig.step();
    EXPECT_EQ(rig.view.labels.back(), "Waiting for remote access.");
}

TEST(RelayProtocol, SilenceBeyondTheIdleLimitIsALostConnection)
{
    RelayRig rig;
    rig.sim.open();
    rig.open_can_port();
    for (std::uint32_t i = 0; i < kRelayIdleLimit; ++i)
        rig.step();
    EXPECT_TRUE(rig.connected());
    rig.step();
    EXPECT_FALSE(rig.connected());
    EXPECT_FALSE(rig.sim.link.open());
    EXPECT_EQ(rig.channel.sent, "@!");
    EXPECT_EQ(rig.relay.reconnect_countdown, kReconnectSteps);
    // Only the programmer is closed: the CAN stream can go on after the
    // reconnection.
    EXPECT_EQ(rig.can_state(), kCanPortOpen);
}

TEST(RelayProtocol, ReconnectCountdownLastsAboutThreeSeconds)
{
    struct Case {
        bool ticked;
        bool user;
        int attempts;
        std::uint16_t countdown_after;
    } cases[] = {
        {true, false, 1, 0},            // lost, box ticked: one attempt
        {false, false, 0, kNoReconnect}, // lost, box not ticked
        {true, true, 0, kNoReconnect},  // the user disconnected
    };
    for (const Case& c : cases) {
        RelayRig rig;
        rig.view.ticked = c.ticked;
        rig.disconnect(c.user);
        const auto start = platform::now_ms();
        for (int i = 0; i < 300; ++i)
            rig.step();
        EXPECT_EQ(rig.view.automatic_attempts, 0);
        rig.step();
        EXPECT_EQ(rig.view.automatic_attempts, c.attempts) << c.ticked << c.user;
        EXPECT_EQ(rig.relay.reconnect_countdown, c.countdown_after) << c.ticked << c.user;
        EXPECT_EQ(platform::now_ms() - start, 301 * 10);
    }
}

} // namespace
} // namespace tq
