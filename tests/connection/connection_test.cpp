#include "connection/connection.h"
#include "link/can_analyzer.h"
#include "sim/can_analyzer_unit.h"
#include "support/file_access.h"
#include "support/sim_link.h"
#include "text/texts.h"

#include <glib.h>
#include <gtest/gtest.h>

#include <cerrno>

namespace tq {
namespace {

// Records what the connection step shows; a test may add what a bootloader
// or the CAN-analyzer check does besides.
struct Recorder : ConnectionView {
    std::string status, hardware, serial = "unchanged", refused;
    int identified = 0, disconnected_count = 0, bootloader = 0, periodic = 0, refusals = 0;
    std::function<void()> on_bootloader;
    std::function<bool()> can_check;

    void set_status(const std::string& s) override { status = s; }
    void set_hardware(const std::string& s) override { hardware = s; }
    void set_serial(const std::string& s) override { serial = s; }
    void unit_refused(const std::string& s) override
    {
        refused = s;
        ++refusals;
    }
    void unit_identified() override { ++identified; }
    void disconnected() override { ++disconnected_count; }
    void bootloader_found() override
    {
        ++bootloader;
        if (on_bootloader)
            on_bootloader();
    }
    bool can_analyzer_check() override { return can_check ? can_check() : true; }
    void periodic_steps() override { ++periodic; }
};

// One pass of the poll loop as far as the connection is concerned: a lost
// device resets the state, then the connection step runs.
bool loop_pass(test::SimLink& s, ConnectionState& c, ConnectionView& view)
{
    if (!s.link.open() && c.state != kSearching)
        disconnect_reset(c, view);
    return connection_step(s.link, c, view);
}

// Runs passes until connected, refused or out of patience.
void run_steps(test::SimLink& s, ConnectionState& c, Recorder& r, int steps = 20)
{
    for (int n = 0; n < steps && c.state != kConnected && r.refusals == 0; ++n)
        loop_pass(s, c, r);
}

TEST(Connection, IdentifiesTheUnitThroughStatusAndVersion)
{
    for (auto variant : {sim::Variant::Programmer64, sim::Variant::Programmer8}) {
        test::SimLink s(variant);
        s.programmer.unit.identity = {512, 4, 30, 6, 11, 1234};
        ConnectionState c;
        Recorder r;
        run_steps(s, c, r);
        ASSERT_EQ(c.state, kConnected);
        EXPECT_EQ(r.status, "TQ512-0430");
        EXPECT_EQ(r.hardware, "(NORDAVEL TQ512)  ");
        EXPECT_EQ(r.serial, "Device serial number 220000001234");
        EXPECT_EQ(c.firmware_version, 1054);
        EXPECT_EQ(r.identified, 1);
    }
}

TEST(Connection, IdentificationCases)
{
    struct Case {
        const char* name;
        sim::UnitIdentity unit;
        bool service_mode;
        bool connected;
        const char* status;
        const char* hardware;
        const char* serial;
        int model;
        const char* refused;
    } cases[] = {
        {"model 513 with a type of bit 30 counts as 512", {513, 4, 81, 6, 1, 77}, false, true,
         "TQ512-0481", "(ZORVIK GPS ALARM)  ", "Device serial number 220000000077", 512, ""},
        {"a type of bit 31 makes it the small model", {512, 4, 81, 6, 4, 1}, false, true,
         "TQ511-0481", "(ZORVIK GPS ALARM)  ", "Device serial number 220000000001", 511, ""},
        {"a pager of the small model", {513, 4, 81, 6, 18, 1}, false, true, "TQ511-0481",
         "(ZORVIK GPS PAGER)  ", "Device serial number 220000000001", 511, ""},
        {"NORDAVEL TQ511", {512, 4, 30, 6, 12, 1}, false, true, "TQ511-0430",
         "(NORDAVEL TQ511)  ", "Device serial number 220000000001", 511, ""},
        {"type 13 has no name: its number is shown", {512, 4, 81, 6, 13, 1}, false, true,
         "TQ511-0481", "(13)  ", "Device serial number 220000000001", 511, ""},
        {"serial 0xFFFFFFFF clears the serial label", {512, 4, 81, 6, 11, 0xFFFFFFFFu}, false,
         true, "TQ512-0481", "(NORDAVEL TQ512)  ", "", 512, ""},
        {"the largest serial number", {512, 4, 81, 6, 11, 0xFFFFFFFEu}, false, true,
         "TQ512-0481", "(NORDAVEL TQ512)  ", "Device serial number 224294967294", 512, ""},
        {"model 612 is refused outside service mode", {612, 4, 81, 6, 11, 1}, false, false, "",
         "(NORDAVEL TQ512)  ", "unchanged", 512,
         "Program doesn't work with this firmware version.\n(0612-0481/6-11)."},
        {"model 612 is accepted in service mode", {612, 5, 2, 6, 7, 1}, true, true, "TQ512-0502",
         "(ZORVIK GPS PAGER)  ", "Device serial number 220000000001", 512, ""},
        {"type 14 is refused outside service mode", {512, 4, 81, 6, 14, 1}, false, false, "",
         "(14)  ", "unchanged", 512,
         "Program doesn't work with this firmware version.\n(0512-0481/6-14)."},
        {"type 15 is refused outside service mode", {512, 4, 81, 6, 15, 1}, false, false, "",
         "(15)  ", "unchanged", 512,
         "Program doesn't work with this firmware version.\n(0512-0481/6-15)."},
        {"type 0 is unknown", {512, 4, 81, 6, 0, 1}, false, false, "", "(0)  ", "unchanged", 512,
         "Program doesn't work with this firmware version.\n(0512-0481/6-0)."},
        {"type 20 is unknown", {512, 4, 81, 6, 20, 1}, false, false, "", "(20)  ", "unchanged",
         512, "Program doesn't work with this firmware version.\n(0512-0481/6-20)."},
        {"in service mode a type without a model bit is 512", {612, 4, 81, 6, 14, 1}, true, true,
         "TQ512-0481", "(14)  ", "Device serial number 220000000001", 512, ""},
        {"another hardware family is refused", {512, 4, 81, 7, 11, 1}, false, false, "", "",
         "unchanged", 512, "Program doesn't work with this firmware version.\n(0512-0481/7-11)."},
        {"in service mode another hardware family is accepted", {512, 4, 81, 9, 11, 1}, true,
         true, "TQ512-0481", "", "Device serial number 220000000001", 512, ""},
        {"a model this program does not know", {511, 4, 81, 6, 11, 1}, false, false, "",
         "(NORDAVEL TQ512)  ", "unchanged", 512,
         "Program doesn't work with this firmware version.\n(0511-0481/6-11)."},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        test::SimLink s;
        s.programmer.unit.identity = k.unit;
        ConnectionState c;
        c.service_mode = k.service_mode;
        Recorder r;
        run_steps(s, c, r);
        EXPECT_EQ(c.state == kConnected, k.connected);
        EXPECT_EQ(r.identified, k.connected ? 1 : 0);
        EXPECT_EQ(r.status, k.connected ? k.status : "Please wait...");
        EXPECT_EQ(r.hardware, k.hardware);
        EXPECT_EQ(r.serial, k.serial);
        EXPECT_EQ(c.unit_model, k.model);
        EXPECT_EQ(c.firmware_version, k.unit.major * 256 + k.unit.minor);
        EXPECT_EQ(r.refused, k.refused);
        if (!k.connected) {
            // A refused unit leaves the state as it was; the dialog decides.
            EXPECT_EQ(c.state, kAskingVersion);
            EXPECT_EQ(r.refusals, 1);
        }
    }
}

TEST(Connection, WithoutAHardwareAnswerIdentificationStartsOver)
{
    test::SimLink s;
    s.programmer.unit.identity.answers_hardware_type = false;
    ConnectionState c;
    Recorder r;
    for (int i = 0; i < 8; ++i)
        loop_pass(s, c, r);
    EXPECT_EQ(c.state, kAskingVersion);
    EXPECT_EQ(r.identified, 0);
    EXPECT_EQ(r.refusals, 0);
    EXPECT_EQ(r.status, "TQ512-0481") << "the model string shows while it waits";
    EXPECT_EQ(r.hardware, "");
    int queries = 0;
    for (const sim::Frame& f : s.programmer.unit.received)
        queries += f.code == 0xF4;
    EXPECT_GE(queries, 2) << "every version reply asks again";

    s.programmer.unit.identity.answers_hardware_type = true;
    run_steps(s, c, r);
    EXPECT_EQ(c.state, kConnected);
    EXPECT_EQ(r.hardware, "(NORDAVEL TQ512)  ");
}

TEST(Connection, ShortRepliesAreNoAnswers)
{
    test::SimLink s;
    sim::AlarmUnit& unit = s.programmer.unit;
    unit.on(0xF4, [](sim::AlarmUnit& u, auto) { u.reply(0x01, {6}); });
    unit.on(0xF6, [](sim::AlarmUnit& u, auto) { u.reply(0x01, {1, 2}); });
    ConnectionState c;
    Recorder r;
    for (int i = 0; i < 6; ++i)
        loop_pass(s, c, r);
    EXPECT_NE(c.state, kConnected);
    EXPECT_EQ(r.hardware, "");

    unit.on(0xF4, [](sim::AlarmUnit& u, auto) { u.reply(0x01, {6, 11}); });
    run_steps(s, c, r);
    EXPECT_EQ(c.state, kConnected);
    EXPECT_EQ(r.serial, "unchanged");
}

TEST(Connection, AUnitThatAnswersWithItsVersionAtOnce)
{
    test::SimLink s;
    s.programmer.unit.identity.hello_with_status = false;
    s.programmer.unit.identity.answers_serial = false;
    ConnectionState c;
    Recorder r;
    run_steps(s, c, r);
    EXPECT_EQ(c.state, kConnected);
    EXPECT_EQ(r.serial, "unchanged");
    for (const sim::Frame& f : s.programmer.unit.received)
        EXPECT_NE(f.code, 0x04) << "state 9 was never needed";
}

TEST(Connection, ConnectedStateRunsThePeriodicStepsAndIgnoresVersionReplies)
{
    test::SimLink s;
    ConnectionState c;
    Recorder r;
    run_steps(s, c, r);
    ASSERT_EQ(c.state, kConnected);
    s.programmer.unit.reply(0x08, {0x00, 0x02, 4, 30});
    for (int i = 0; i < 5; ++i)
        EXPECT_FALSE(loop_pass(s, c, r));
    EXPECT_EQ(r.identified, 1);
    EXPECT_EQ(r.periodic, 5);
    EXPECT_EQ(r.status, "TQ512-0481");
}

TEST(Connection, UnplugInTheConnectedStateSearchesAgain)
{
    test::SimLink s;
    ConnectionState c;
    Recorder r;
    run_steps(s, c, r);
    ASSERT_EQ(c.state, kConnected);

    s.programmer.faults.unplug_after_reports = 0;
    s.programmer.unit.send_text("bye"); // something for the periodic steps to poll
    for (int i = 0; i < 4; ++i)
        loop_pass(s, c, r);
    EXPECT_FALSE(s.link.open());
    EXPECT_EQ(c.state, kSearching);
    EXPECT_EQ(r.disconnected_count, 1);

    s.programmer.plugged = true;
    s.programmer.faults.unplug_after_reports = -1;
    run_steps(s, c, r);
    EXPECT_EQ(c.state, kConnected);
    EXPECT_EQ(r.identified, 2);
}

TEST(Connection, ABootloaderGetsItsDialogWithTheHandleClosed)
{
    test::SimLink s(sim::Variant::Bootloader);
    ConnectionState c;
    Recorder r;
    bool open_during_dialog = true;
    r.on_bootloader = [&] { open_during_dialog = s.link.open(); };
    loop_pass(s, c, r);
    EXPECT_EQ(r.bootloader, 1);
    EXPECT_FALSE(open_during_dialog);
    EXPECT_FALSE(s.link.open());
    EXPECT_EQ(c.state, kSearching);
}

// The CAN-analyzer check of the search, against a simulated unit that runs
// CAN-analyzer firmware and comes back as the alarm unit after "zzz".
struct CanCheck {
    explicit CanCheck(bool driver_bound = true) : unit(&s.programmer, driver_bound)
    {
        s.link.serial.sysfs_root = unit.sysfs_root();
        s.link.serial.dev_root = unit.dev_root();
        r.can_check = [this] {
            return check_can_analyzer(
                s.link.serial,
                [this](const std::string& q) {
                    questions.push_back(q);
                    return answer;
                },
                [this](const std::string& m) { messages.push_back(m); });
        };
    }
    bool pass()
    {
        unit.step();
        testing::internal::CaptureStdout();
        const bool again = loop_pass(s, c, r);
        printed += testing::internal::GetCapturedStdout();
        return again;
    }

    test::SimLink s;
    sim::CanAnalyzerUnit unit;
    ConnectionState c;
    Recorder r;
    bool answer = true;
    std::vector<std::string> questions, messages;
    std::string printed;
};

TEST(Connection, RemovingTheCanAnalyzerFirmwareSearchesAgain)
{
    CanCheck k;
    k.pass();
    ASSERT_EQ(k.questions.size(), 1u);
    EXPECT_EQ(k.questions[0], "Can analyzer firmware detected in device.\nDo you want to remove it?");
    EXPECT_TRUE(k.c.can_check_pending);
    EXPECT_EQ(k.s.link.serial.can_port_state, kCanPortNone);
    EXPECT_EQ(k.s.port.opens, 0) << "the step ends after the removal";

    k.pass(); // the unit takes "zzz", leaves and comes back as the alarm unit
    EXPECT_EQ(k.unit.received, "zzz");
    EXPECT_EQ(k.questions.size(), 1u);
    EXPECT_FALSE(k.c.can_check_pending);
    EXPECT_EQ(k.c.state, kWaitingForUnit);
    for (int i = 0; i < 20 && k.c.state != kConnected; ++i)
        k.pass();
    EXPECT_EQ(k.c.state, kConnected);
    EXPECT_TRUE(k.messages.empty());
    EXPECT_EQ(k.printed, "");
}

TEST(Connection, KeepingTheCanAnalyzerFirmwareKeepsThePortOpen)
{
    CanCheck k;
    k.answer = false;
    k.pass();
    EXPECT_EQ(k.questions.size(), 1u);
    EXPECT_FALSE(k.c.can_check_pending);
    EXPECT_EQ(k.s.link.serial.can_port_state, kCanPortOpen);
    EXPECT_EQ(k.s.port.opens, 0) << "no programmer while the unit runs CAN-analyzer firmware";
    for (int i = 0; i < 5; ++i)
        k.pass();
    EXPECT_EQ(k.questions.size(), 1u) << "asked once";
    EXPECT_EQ(k.unit.received, "");
}

TEST(Connection, ACanAnalyzerWithoutDriverGetsTheInstallMessage)
{
    CanCheck k(false);
    k.pass();
    EXPECT_TRUE(k.questions.empty());
    ASSERT_EQ(k.messages.size(), 1u);
    EXPECT_EQ(k.messages[0], can_driver_message());
    // On Linux the message names the kernel's driver and how to check it.
    EXPECT_NE(k.messages[0].find("lsmod | grep cdc_acm"), std::string::npos);
    EXPECT_EQ(k.messages[0].find("c:"), std::string::npos);
    EXPECT_EQ(k.s.link.serial.can_port_state, kCanPortNone);
    EXPECT_FALSE(k.c.can_check_pending);
    for (int i = 0; i < 5; ++i)
        k.pass();
    EXPECT_EQ(k.messages.size(), 1u);
}

// The unit's tty without the udev rule: its mode leaves this user out.
TEST(Connection, ACanAnalyzerPortThatMayNotBeOpenedIsToldOncePerPlugIn)
{
    CanCheck k;
    k.unit.set_port_mode(0);
    test::FilePermissionsApply permissions;
    for (int i = 0; i < 5; ++i)
        k.pass();
    ASSERT_EQ(k.messages.size(), 1u) << "told once, not on every pass";
    const std::string port = k.unit.dev_root() + "/ttyACM0";
    EXPECT_EQ(k.messages[0], can_port_refused_message(port, EACCES));
    EXPECT_NE(k.messages[0].find(port), std::string::npos);
    EXPECT_NE(k.messages[0].find("udevadm trigger"), std::string::npos);
    EXPECT_TRUE(k.questions.empty());
    EXPECT_EQ(k.s.link.serial.can_port_state, kCanPortNone);

    // Plugged in again, still without the rule: told again, once.
    k.unit.replug();
    for (int i = 0; i < 5; ++i)
        k.pass();
    EXPECT_EQ(k.messages.size(), 2u);

    // Plugged in again with the rule in place: the port opens and the
    // removal question comes.
    k.unit.set_port_mode(0660);
    k.unit.replug();
    k.answer = false;
    for (int i = 0; i < 5; ++i)
        k.pass();
    EXPECT_EQ(k.messages.size(), 2u);
    EXPECT_EQ(k.questions.size(), 1u);
    EXPECT_EQ(k.s.link.serial.can_port_state, kCanPortOpen);
}

TEST(Connection, ACanAnalyzerPortMessageSaysWhyItCouldNotBeOpened)
{
    const std::string no_access = can_port_refused_message("/dev/ttyACM0", EACCES);
    EXPECT_EQ(no_access, textf(kTextCanPortNoAccess, "/dev/ttyACM0"));
    EXPECT_EQ(can_port_refused_message("/dev/ttyACM0", EPERM), no_access);
    const std::string busy = can_port_refused_message("/dev/ttyACM1", EBUSY);
    EXPECT_EQ(busy, textf(kTextCanPortUnopenable, "/dev/ttyACM1", g_strerror(EBUSY)));
    EXPECT_NE(busy.find("/dev/ttyACM1"), std::string::npos);
}

} // namespace
} // namespace tq
