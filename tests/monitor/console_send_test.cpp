// The console's command line against the simulated unit.
#include "monitor/console.h"
#include "support/sim_link.h"

#include <gtest/gtest.h>

namespace tq {
namespace {

struct ConsoleSend : ::testing::Test {
    void SetUp() override
    {
        ASSERT_EQ(sim.open(), OpenResult::Programmer);
        sim.link.text_sink = [this](std::string_view t) { console_log(c, t, true); };
        c.wall_clock = [] { return std::time_t(0); };
        // A command that the unit answers with a text first, then data.
        sim.programmer.unit.on(0x20, [](sim::AlarmUnit& u, std::span<const std::uint8_t> d) {
            u.send_text("busy\n");
            u.reply(0x06, {1, 2});
            u.reply(0x01, {d.begin(), d.end()});
        });
    }
    // The store without its stamps.
    std::string lines() const
    {
        std::string out;
        std::size_t at = 0;
        while (at < c.store.size()) {
            std::size_t end = c.store.find('\n', at);
            end = end == std::string::npos ? c.store.size() : end + 1;
            const std::string line = c.store.substr(at, end - at);
            out += line.size() > kConsoleTextColumn && line[0] == '['
                       ? line.substr(kConsoleStampLength, 1) + line.substr(kConsoleTextColumn)
                       : line;
            at = end;
        }
        return out;
    }

    test::SimLink sim;
    ConsoleState c;
};

TEST_F(ConsoleSend, SendsTheParsedPayloadAndLogsTheDataReply)
{
    EXPECT_EQ(console_send(c, sim.link, "20", "AB\\x0A\\\\", true), SendResult::Sent);
    const auto& got = sim.programmer.unit.received.back();
    EXPECT_EQ(got.code, 0x20);
    EXPECT_EQ(got.data, (std::vector<std::uint8_t>{'A', 'B', 0x0A, '\\'}));
    EXPECT_EQ(lines(), "\n<\\x20 AB\\x0A\\\\\r\n>busy\r\n>01 - 41420A5C - \"AB?\\\"\r\n");
    EXPECT_EQ(c.history.entries[1].command, "20");
}

TEST_F(ConsoleSend, WithoutAnAnswerTheWaitEndsAfterFortyCycles)
{
    const auto start = sim.clock->now_ms();
    console_send(c, sim.link, "33", "", true);
    const auto waited = sim.clock->now_ms() - start;
    EXPECT_GE(waited, 40 * 50);
    EXPECT_LE(waited, 40 * (50 + 25) + 100);
    EXPECT_EQ(lines(), "\n<\\x33 \r\n");
}

TEST_F(ConsoleSend, WithoutResponseNothingIsAwaited)
{
    const auto start = sim.clock->now_ms();
    console_send(c, sim.link, "20", "x", false);
    EXPECT_LT(sim.clock->now_ms() - start, 200);
    EXPECT_EQ(lines(), "\n<\\x20 x\r\n");
}

TEST_F(ConsoleSend, UnreadableCommandSendsAndLogsNothing)
{
    const auto before = sim.programmer.unit.received.size();
    EXPECT_EQ(console_send(c, sim.link, "1g", "x", true), SendResult::BadCommand);
    EXPECT_EQ(console_send(c, sim.link, "2", "x", true), SendResult::BadCommand);
    EXPECT_EQ(sim.programmer.unit.received.size(), before);
    EXPECT_TRUE(c.store.empty());
    EXPECT_EQ(c.history.last, 0);
}

TEST_F(ConsoleSend, DataBeyondOneFrameIsRefusedUnsentAndUnlogged)
{
    int radio_calls = 0;
    c.radio_command = [&](std::uint8_t, const std::uint8_t*, std::size_t, std::string&) {
        ++radio_calls;
        return true;
    };
    struct Case {
        const char* command;
        std::size_t bytes;
        SendResult result;
    } cases[] = {{"20", 125, SendResult::Sent},   {"20", 126, SendResult::TooLong},
                 {"0ab", 116, SendResult::Sent},  {"0ab", 117, SendResult::TooLong}};
    for (const Case& k : cases) {
        SCOPED_TRACE(std::string(k.command) + " " + std::to_string(k.bytes));
        c.store.clear();
        const auto sent = sim.programmer.unit.received.size();
        const int calls = radio_calls;
        const int last = c.history.last;
        // Escaped bytes count once each: the limit is on the payload.
        std::string data(k.bytes - 1, 'x');
        data += "\\x41";
        EXPECT_EQ(console_send(c, sim.link, k.command, data, false), k.result);
        const bool went = k.result == SendResult::Sent;
        const bool radio = std::string(k.command).size() == 3;
        EXPECT_EQ(sim.programmer.unit.received.size(), sent + (went && !radio ? 1 : 0));
        EXPECT_EQ(radio_calls, calls + (went && radio ? 1 : 0));
        EXPECT_EQ(c.store.empty(), !went) << "logged as sent only when sent";
        EXPECT_EQ(c.history.last != last, went);
    }
    EXPECT_EQ(sim.programmer.unit.received.back().data.size(), 125u);
}

TEST_F(ConsoleSend, RadioPathGoesThroughTheRadioCommand)
{
    std::uint8_t code = 0;
    std::vector<std::uint8_t> payload;
    c.radio_command = [&](std::uint8_t k, const std::uint8_t* d, std::size_t n, std::string& answer) {
        code = k;
        payload.assign(d, d + n);
        answer = "OK name";
        return true;
    };
    const auto before = sim.programmer.unit.received.size();
    console_send(c, sim.link, "0ab", "\\x01", true);
    EXPECT_EQ(code, 0x0A);
    EXPECT_EQ(payload, std::vector<std::uint8_t>{0x01});
    EXPECT_EQ(sim.programmer.unit.received.size(), before) << "nothing goes to the unit";
    EXPECT_EQ(lines(), "\n<\\x0AB \\x01\r\n>OK name\r\n");

    c.radio_command = nullptr; // no radio path yet: logged, nothing else
    console_send(c, sim.link, "0ab", "", true);
    EXPECT_EQ(lines(), "\n<\\x0AB \\x01\r\n>OK name\r\n\n<\\x0AB \r\n");
}

} // namespace
} // namespace tq
