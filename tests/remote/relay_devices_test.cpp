// The relay and the devices it drives besides the link: a CAN-analyzer unit
// found through a sysfs tree (its serial port a pseudo-terminal) and the
// simulated radio module behind the unit.
#include "relay_fixture.h"

#include "sim/can_analyzer_unit.h"
#include "sim/radio_module_sim.h"
#include "sim/usb_bootloader.h"
#include "text/texts.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace tq {
namespace {

using namespace std::string_literals;

TEST(RelayCanPort, SerialDataGoesBothWaysThroughTheFoundPort)
{
    test::RelayRig rig;
    rig.plug_can_unit();
    const SerialState& serial = rig.sim.link.serial;

    EXPECT_EQ(rig.feed("@#"), "@#");
    EXPECT_EQ(serial.can_port_state, kCanPortOpen);
    EXPECT_EQ(rig.view.labels.back(), "Remote access active: CAN.");

    // Doubled "@" from the relay reaches the port as one.
    EXPECT_EQ(rig.feed("ab@@c@"), "");
    EXPECT_EQ(rig.feed("@d"), "");
    EXPECT_EQ(rig.can_written(6), "ab@c@d");

    // The port's bytes go to the relay as they are, "@" not doubled.
    rig.can_pty.send("x@y\x00z"s);
    std::string from_port;
    for (int i = 0; i < 100 && from_port.size() < 5; ++i) {
        rig.channel.sent.clear();
        rig.step();
        from_port += rig.channel.sent;
    }
    EXPECT_EQ(from_port, "x@y\0z"s);

    EXPECT_EQ(rig.feed("@!"), "@!");
    EXPECT_EQ(serial.can_port_state, kCanPortNone);
    EXPECT_TRUE(rig.view.messages.empty());
}

TEST(RelayCanPort, AUnitWithoutDriverIsReportedOnce)
{
    test::RelayRig rig;
    rig.plug_can_unit(false);

    EXPECT_EQ(rig.feed("@#"), "@$");
    EXPECT_EQ(rig.view.messages, std::vector<std::string>{text(kTextCanDriverMissing)});
    EXPECT_EQ(rig.can_state(), kCanPortNone);
    EXPECT_EQ(rig.feed("@#"), "@$");
    EXPECT_EQ(rig.view.messages.size(), 2u);
}

TEST(RelayRadio, CommandsReachTheModuleWhileASessionRuns)
{
    test::RelayRig rig;
    rig.sim.open();
    sim::RadioModuleSim module(rig.sim.programmer.unit);
    module.radio_mode = true; // the relay's own frames put the unit there
    RadioState& radio = rig.radio;
    radio.remote_access = false; // before the login

    // No session: the radio path is closed and nothing is sent.
    EXPECT_EQ(rig.feed("@B\x01\x00\x00"s), "@A\0"s);
    EXPECT_TRUE(module.lines.empty());

    radio.remote_access = true; // as the login leaves it
    EXPECT_EQ(rig.feed("@B\x01\x00\x00"s), "@A\x05" "1.5.6");
    EXPECT_EQ(rig.feed("@b\x12\x02" "00"), "@a\x01");
    ASSERT_EQ(module.lines.size(), 2u);
    EXPECT_EQ(module.lines[1].substr(0, 4), "1200");

    // The session ends with the connection.
    rig.disconnect(true);
    EXPECT_FALSE(radio.remote_access);
}

// A bootloader output report: report ID 0, then the command and its bytes.
std::string boot_report(std::initializer_list<int> head)
{
    std::string r(65, '\0');
    std::size_t i = 1;
    for (int b : head)
        r[i++] = char(b);
    return r;
}

TEST(RelayBootloader, ARemoteFirmwareUpdateReachesTheFlash)
{
    test::RelayRig rig;
    const FirmwareState& firmware = rig.firmware;
    sim::UsbBootloader& boot = sim::attach_bootloader(rig.sim.programmer);

    // The relay sends the unit into its bootloader and opens that.
    ASSERT_EQ(rig.feed("@H"), "@1");
    rig.feed("@h\x10\x00"s);
    std::string status;
    for (int i = 0; i < 50 && status != "@2"; ++i)
        status = rig.feed("@H");
    ASSERT_EQ(status, "@2");
    EXPECT_EQ(rig.view.labels.back(), "Remote access active: BOOT.");

    // Erase: program complete, unlock twice, erase; then a query whose
    // answer waits for the erase.
    for (const std::string& r : {boot_report({0x06}), boot_report({0x03, 0}),
                                 boot_report({0x03, 0}), boot_report({0x04})})
        EXPECT_EQ(rig.feed("@E3\x41"s + r), "@E3\x41");
    EXPECT_EQ(boot.erases, 1);
    rig.feed("@E2");
    const std::string query = rig.feed("@E3\x41"s + boot_report({0x02}) + "@E4\x40");
    ASSERT_EQ(query.size(), 4u + 4u + 64u);
    EXPECT_EQ(query.substr(4, 6), "@E4\x40\x02\x38");

    // The image in chunks, then programming.
    std::string image(1000, '\0');
    for (std::size_t i = 0; i < image.size(); ++i)
        image[i] = char((i * 37 + 11) & 0xFF);
    EXPECT_EQ(rig.feed("@E0"), "@E0");
    for (std::size_t at = 0; at < image.size(); at += 300) {
        const std::string chunk = image.substr(at, 300);
        unsigned sum = 0;
        for (unsigned char b : chunk)
            sum += b;
        sum %= 65535;
        EXPECT_EQ(rig.feed("@E1"s + char(chunk.size() >> 8) + char(chunk.size() & 0xFF) + chunk),
                  "@E1"s + char(sum >> 8) + char(sum & 0xFF));
    }
    EXPECT_EQ(firmware.image_size, 1000);
    EXPECT_EQ(rig.feed("@E5\x00\x60\x00\x1D"s),
              "@E5\x00\x00"s + "@E5\x01\xC0" + "@E5\x03\x80" + "@E5\x03\xE8");
    EXPECT_TRUE(rig.connected());

    const auto flash = boot.at(sim::UsbBootloader::kStart, 1008);
    EXPECT_EQ(std::string(flash.begin(), flash.begin() + 1000), image);
    // The last block's bytes past the image went out as zero.
    EXPECT_EQ(std::string(flash.begin() + 1000, flash.end()), std::string(8, '\0'));
}

} // namespace
} // namespace tq
