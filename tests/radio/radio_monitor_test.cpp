#include "radio/radio_monitor.h"
#include "radio/radio_sim.h"
#include "sim/onewire_bus.h"

#include <gtest/gtest.h>

namespace tq {
namespace {

struct RecordingView final : MonitorView {
    bool built = false, destroyed = false, radio_window_closed = false;
    std::string id, instruction, indicator = "Radio monitor";
    int mode = 0, busy = 0, waits = 0;
    Colour colour = Colour::Default;
    std::vector<std::string> messages;

    void busy_cursor(bool on) override { busy = on; }
    void message(const std::string& t) override { messages.push_back(t); }
    void wait_for_message() override { ++waits; }
    void close_radio_window() override { radio_window_closed = true; }
    void build_window(const std::string& hex) override
    {
        built = true;
        id = hex;
    }
    void destroy_window() override { destroyed = true; }
    void show_mode(int kind) override { mode = kind; }
    void set_instruction(const std::string& t) override { instruction = t; }
    void set_indicator_text(const std::string& t) override { indicator = t; }
    void set_indicator_colour(Colour c) override { colour = c; }
};

using Id = std::array<std::uint8_t, 8>;

class RadioMonitor : public ::testing::Test {
protected:
    RadioMonitor()
    {
        t.s.programmer.unit.identity.major = 4;
        t.s.programmer.unit.identity.minor = 20; // version 1044: below 1065
        receiver.id = sim::make_onewire_id(0xA0, 0x05, 77);
        bus->devices = {sim::make_onewire_id(0xA7, 1, 5), receiver.id};
    }
    // One pass of the main loop in the connected state.
    void pass()
    {
        poll_pass_reply(t.link);
        radio_monitor_poll_step(c);
    }
    void passes(int n)
    {
        for (int i = 0; i < n; ++i)
            pass();
    }
    // The mode byte of the last poll packet the receiver got.
    int last_mode() const
    {
        for (auto it = receiver.packets.rbegin(); it != receiver.packets.rend(); ++it)
            if ((*it)[1] == 0x00)
                return (*it)[0];
        return -1;
    }

    test::RadioSim t;
    std::shared_ptr<sim::OneWireBus> bus = sim::install_onewire_bus(t.s.programmer.unit);
    sim::OneWireReceiverSim receiver{t.s.programmer.unit};
    RecordingView v;
    Id id{};
    MonitorContext c{t.link, t.radio, 1044, v, id};
};

TEST_F(RadioMonitor, SearchFindsTheStoredReceiver)
{
    sim::store_id(t.s.programmer.unit, 612, receiver.id);
    open_radio_monitor(c, true);
    ASSERT_TRUE(v.built);
    EXPECT_TRUE(v.radio_window_closed);
    EXPECT_EQ(id, receiver.id);
    EXPECT_TRUE(v.messages.empty());
    EXPECT_TRUE(t.s.programmer.unit.writes.empty());
    EXPECT_FALSE(t.radio.opening);
    char hex[17];
    for (int i = 0; i < 8; ++i)
        std::snprintf(hex + 2 * i, 3, "%02X", receiver.id[std::size_t(i)]);
    EXPECT_EQ(v.id, hex);
    // The opening packet went out.
    ASSERT_FALSE(receiver.packets.empty());
    EXPECT_EQ(receiver.packets[0], (std::vector<std::uint8_t>{0x30, 0, 0xFF, 0xFF, 0xFF, 0xFF,
                                                             0xFF, 0xFF, 0xFF, 0xFF}));
}

TEST_F(RadioMonitor, SearchStoresANewReceiverAfterTheMessage)
{
    sim::store_id(t.s.programmer.unit, 612, sim::make_onewire_id(0xA0, 1, 1));
    open_radio_monitor(c, true);
    ASSERT_TRUE(v.built);
    ASSERT_EQ(v.messages.size(), 1u);
    EXPECT_EQ(v.messages[0].substr(0, 36), "New radio configured.\nOnewire ID: A0");
    EXPECT_EQ(v.waits, 1);
    EXPECT_EQ(id, receiver.id);
    const auto& mem = t.s.programmer.unit.memory;
    EXPECT_TRUE(std::equal(receiver.id.begin(), receiver.id.end(), mem.begin() + 612));
}

TEST_F(RadioMonitor, SearchFailures)
{
    receiver.present = false;
    bus->devices = {sim::make_onewire_id(0xA7, 1, 5)};
    open_radio_monitor(c, true);
    EXPECT_FALSE(v.built);
    EXPECT_EQ(v.messages, std::vector<std::string>{"Radio module not present"});
    EXPECT_FALSE(t.radio.opening);
    EXPECT_FALSE(t.module.radio_mode); // the exit steps gave the radio back

    v.messages.clear();
    t.module.busy_access = 1;
    open_radio_monitor(c, true);
    EXPECT_EQ(v.messages, std::vector<std::string>{"Radio module used with remote commands."});
    EXPECT_FALSE(t.radio.opening);

    // Another opening running: nothing happens.
    v.messages.clear();
    t.radio.opening = true;
    open_radio_monitor(c, true);
    EXPECT_TRUE(v.messages.empty());
    EXPECT_FALSE(v.built);
}

TEST_F(RadioMonitor, ProgrammingEndsByItselfAfterTheTenthRemote)
{
    id = receiver.id;
    open_radio_monitor(c, false);
    ASSERT_TRUE(v.built);
    set_monitor_mode(c, 1);
    EXPECT_EQ(v.mode, 1);
    EXPECT_EQ(v.instruction, "Press simultaneously\nlock and unlock button\nof remote transmitter 1");
    passes(4);
    EXPECT_EQ(last_mode(), 0x81);

    for (int remote = 1; remote <= 10; ++remote) {
        receiver.press_remote(remote);
        passes(8);
        if (remote < 10) {
            EXPECT_EQ(t.radio.remote_counter, remote + 1);
            EXPECT_EQ(last_mode(), remote + 1);
            EXPECT_EQ(v.colour, MonitorView::Colour::Red);
        }
    }
    EXPECT_EQ(receiver.taught.size(), 10u);
    EXPECT_EQ(t.radio.monitor_mode, 0);
    EXPECT_EQ(v.mode, 0);
    EXPECT_EQ(v.messages, std::vector<std::string>{"Programmed 10 remotes."});
    passes(4);
    EXPECT_EQ(last_mode(), 0x00);
}

TEST_F(RadioMonitor, EndingProgrammingAtOnceAndErasing)
{
    id = receiver.id;
    open_radio_monitor(c, false);
    set_monitor_mode(c, 1);
    set_monitor_mode(c, 1); // the same button ends it
    EXPECT_EQ(v.messages, std::vector<std::string>{"Programmed 0 remotes."});

    v.messages.clear();
    set_monitor_mode(c, 2);
    EXPECT_EQ(v.instruction, "Press simultaneously\nlock and unlock button\nof remote transmitter");
    passes(4);
    EXPECT_EQ(last_mode(), 0x80);
    receiver.press_remote(1);
    passes(8);
    EXPECT_TRUE(receiver.erased);
    EXPECT_EQ(t.radio.monitor_mode, 0);
    EXPECT_EQ(v.messages, std::vector<std::string>{"All remote transmitters have been erased."});
}

TEST_F(RadioMonitor, IdleEventsAndClosing)
{
    id = receiver.id;
    open_radio_monitor(c, false);
    receiver.taught = {3};
    receiver.press_remote(3);
    passes(4);
    EXPECT_EQ(v.indicator, "Radio monitor\nRemote No. 3");
    EXPECT_EQ(v.colour, MonitorView::Colour::Red);

    receiver.press_fobrix(0);
    passes(4);
    EXPECT_EQ(v.indicator, "Radio monitor\nFOBRIXUNREGISTERED");
    EXPECT_EQ(v.colour, MonitorView::Colour::Blue);

    receiver.packets.clear();
    close_radio_monitor(c);
    EXPECT_TRUE(v.destroyed);
    EXPECT_FALSE(t.radio.monitor_open);
    ASSERT_EQ(receiver.packets.size(), 5u);
    for (const auto& p : receiver.packets)
        EXPECT_EQ(p, (std::vector<std::uint8_t>{0x00, 0x01, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                                0xFF, 0xFF}));
}

} // namespace
} // namespace tq
