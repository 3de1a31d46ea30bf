// The relay and the devices it drives besides the link: a CAN-analyzer unit
// found through a sysfs tree (its serial port a pseudo-terminal) and the
// simulated radio module behind the unit.
#include "relay_fixture.h"

#include "remote/relay_devices.h"
#include "sim/can_analyzer_unit.h"
#include "sim/radio_module_sim.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace tq {
namespace {

using namespace std::string_literals;

std::string drain_for(const sim::Pty& pty, std::size_t want)
{
    std::string got;
    for (int i = 0; i < 100 && got.size() < want; ++i) {
        got += pty.drain();
        if (got.size() < want)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return got;
}

TEST(RelayCanPort, SerialDataGoesBothWaysThroughTheFoundPort)
{
    sim::Pty pty;
    sim::SysfsTree tree;
    tree.add_usb_device("1-2", "12aa", "4f58", {"ttyACM0"});
    tree.point_dev("ttyACM0", pty.slave_name());
    SerialState serial;
    serial.sysfs_root = tree.root();
    serial.dev_root = tree.dev();

    test::RelayRig rig;
    int driver_messages = 0;
    connect_can_analyzer_port(rig.relay.hooks, serial, [&] { ++driver_messages; });

    EXPECT_EQ(rig.feed("@#"), "@#");
    EXPECT_EQ(serial.can_port_state, kCanPortOpen);
    EXPECT_EQ(rig.devices.labels.back(), "Remote access active: CAN.");

    // Doubled "@" from the relay reaches the port as one.
    EXPECT_EQ(rig.feed("ab@@c@"), "");
    EXPECT_EQ(rig.feed("@d"), "");
    EXPECT_EQ(drain_for(pty, 5), "ab@c@d");

    // The port's bytes go to the relay as they are, "@" not doubled.
    pty.send("x@y\x00z"s);
    std::string from_port;
    for (int i = 0; i < 100 && from_port.size() < 5; ++i) {
        rig.channel.sent.clear();
        remote_relay_step(rig.relay, rig.sim.link);
        from_port += rig.channel.sent;
    }
    EXPECT_EQ(from_port, "x@y\0z"s);

    EXPECT_EQ(rig.feed("@!"), "@!");
    EXPECT_EQ(serial.can_port_state, kCanPortNone);
    EXPECT_EQ(driver_messages, 0);
}

TEST(RelayCanPort, AUnitWithoutDriverIsReportedOnce)
{
    sim::SysfsTree tree;
    tree.add_usb_device("1-2", "12aa", "4f58", {});
    SerialState serial;
    serial.sysfs_root = tree.root();
    serial.dev_root = tree.dev();
    test::RelayRig rig;
    int driver_messages = 0;
    connect_can_analyzer_port(rig.relay.hooks, serial, [&] { ++driver_messages; });

    EXPECT_EQ(rig.feed("@#"), "@$");
    EXPECT_EQ(driver_messages, 1);
    EXPECT_EQ(serial.can_port_state, kCanPortNone);
    EXPECT_EQ(rig.feed("@#"), "@$");
    EXPECT_EQ(driver_messages, 2);
}

TEST(RelayRadio, CommandsReachTheModuleWhileASessionRuns)
{
    test::RelayRig rig;
    rig.sim.open();
    sim::RadioModuleSim module(rig.sim.programmer.unit);
    module.radio_mode = true; // the relay's own frames put the unit there
    RadioState radio;
    connect_radio(rig.relay.hooks, rig.sim.link, radio);

    // No session: the radio path is closed and nothing is sent.
    EXPECT_EQ(rig.feed("@B\x01\x00\x00"s), "@A\0"s);
    EXPECT_TRUE(module.lines.empty());

    rig.relay.hooks.session_changed(true);
    EXPECT_TRUE(radio.remote_access);
    EXPECT_EQ(rig.feed("@B\x01\x00\x00"s), "@A\x05" "1.5.6");
    EXPECT_EQ(rig.feed("@b\x12\x02" "00"), "@a\x01");
    ASSERT_EQ(module.lines.size(), 2u);
    EXPECT_EQ(module.lines[1].substr(0, 4), "1200");

    // The session ends with the connection.
    remote_disconnect(rig.relay, rig.sim.link, true);
    EXPECT_FALSE(radio.remote_access);
}

} // namespace
} // namespace tq
