// tq512-cli events, signals and console against a simulated unit whose
// monitoring behaviour the test sets.
#include "cli_fixture.h"

#include "monitor/console.h"
#include "sim/unit_monitor.h"

namespace tq::test {
namespace {

class CliMonitor : public CliTest {
protected:
    CliMonitor()
    {
        programmer = std::make_unique<sim::Programmer>();
        peer = sim::add_monitor_peer(programmer->unit);
    }
    std::shared_ptr<sim::MonitorPeer> peer;
};

TEST_F(CliMonitor, EventsAsTheWindowListsThem)
{
    programmer->unit.memory[640] = 1;
    programmer->unit.memory[641] = 12;
    programmer->unit.memory[642] = 200;
    ASSERT_EQ(run({"events"}), cli::kExitDone) << err;
    EXPECT_EQ(out, "1 FL door\n2 OEM alarm\n3 Alarm no 200\n");
    ASSERT_EQ(run({"events", "--json"}), cli::kExitDone);
    EXPECT_EQ(out, "[{\"code\": 1, \"name\": \"FL door\"}, {\"code\": 12, \"name\": \"OEM alarm\"}, "
                   "{\"code\": 200, \"name\": \"Alarm no 200\"}]\n");
}

TEST_F(CliMonitor, SignalsOnceWithNamesAndStates)
{
    peer->signals[0] = 0x09;  // LOCK, ALARM
    peer->signals[11] = 0x80; // bit 95, no name
    ASSERT_EQ(run({"signals"}), cli::kExitDone) << err;
    const auto lines = lines_of(out);
    ASSERT_EQ(lines.size(), 96u);
    EXPECT_EQ(lines[0], " 0 LOCK                   on");
    EXPECT_EQ(lines[1], " 1 UNLOCK                 off");
    EXPECT_EQ(lines[3], " 3 ALARM                  on");
    EXPECT_EQ(lines[25], "25 -                      off");
    EXPECT_EQ(lines[95], "95 -                      on");

    ASSERT_EQ(run({"signals", "--json"}), cli::kExitDone);
    EXPECT_EQ(out.rfind("[{\"bit\": 0, \"name\": \"LOCK\", \"on\": true}, {\"bit\": 1, ", 0), 0u);
    EXPECT_NE(out.find("{\"bit\": 95, \"name\": \"\", \"on\": true}]\n"), std::string::npos);
}

TEST_F(CliMonitor, SignalsWatchPrintsEveryChangeUntilInterrupted)
{
    peer->signals[0] = 0x01;
    int step = 0;
    interrupted = [&] {
        // Once the listing is out: the door opens, then LOCK goes off.
        const std::string got = slurp(tmp.path() + "/out");
        if (step == 0 && lines_of(got).size() >= 96) {
            peer->signals[1] = 0x01; // DOOR_FRONT_LEFT
            step = 1;
        } else if (step == 1 && got.find("DOOR_FRONT_LEFT        on") != std::string::npos) {
            peer->signals[0] = 0x00;
            step = 2;
        }
        return step == 2 && got.find("LOCK                   off") != std::string::npos;
    };
    ASSERT_EQ(run({"signals", "--watch"}), cli::kExitDone) << err;
    const auto lines = lines_of(out);
    ASSERT_EQ(lines.size(), 98u) << out;
    EXPECT_EQ(lines[96], " 8 DOOR_FRONT_LEFT        on");
    EXPECT_EQ(lines[97], " 0 LOCK                   off");
}

TEST_F(CliMonitor, ConsoleStampsTextsAndLogsThemAsTheWindowDoes)
{
    peer->texts = {"GSM ready\n", "*GPS fix\r\n"};
    peer->text_period_ms = 200;
    const std::string log = tmp.path() + "/unit.log";
    spit(log, "earlier\r\n");
    interrupted = [&] { return lines_of(slurp(tmp.path() + "/out")).size() >= 2; };
    ASSERT_EQ(run({"console", "--log", log}), cli::kExitDone) << err;
    const std::string stamp = console_stamp(1'700'000'000, '>');
    const std::string expected = stamp + "GSM ready\r\n" + stamp + "*GPS fix\r\n";
    EXPECT_EQ(out.substr(0, expected.size()), expected);
    EXPECT_EQ(slurp(log).substr(0, 9 + expected.size()), "earlier\r\n" + expected);

    EXPECT_EQ(run({"console", "--log", tmp.path() + "/no/such/unit.log"}), cli::kExitFailed);
    EXPECT_EQ(err, "Can not open file! " + tmp.path() + "/no/such/unit.log\n");
}

TEST_F(CliMonitor, AUnitPulledWhileWatchedIsStatusOne)
{
    peer->texts = {"tick\n"};
    peer->text_period_ms = 100;
    for (const char* command : {"console", "signals"}) {
        programmer->plugged = true;
        interrupted = [&] {
            if (!slurp(tmp.path() + "/out").empty())
                programmer->unplug();
            return false;
        };
        const std::vector<std::string> args =
            command == std::string("signals") ? std::vector<std::string>{"signals", "--watch"}
                                              : std::vector<std::string>{"console"};
        EXPECT_EQ(run(args), cli::kExitFailed) << command;
        EXPECT_EQ(err, "The unit was disconnected.\n");
    }
}

} // namespace
} // namespace tq::test
