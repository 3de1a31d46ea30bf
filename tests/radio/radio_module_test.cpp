#include "radio/radio_module.h"
#include "radio/radio_sim.h"

#include <gtest/gtest.h>

#include <map>

namespace tq {
namespace {

// Records what the window would show.
struct RecordingView final : RadioView {
    bool built = false, destroyed = false, password = false;
    int busy_depth = 0;
    std::vector<std::string> messages, questions;
    bool answer = true;
    std::string identity, name_caption, info, name;
    bool pairing_caption = false, warning = false;
    std::map<int, RadioRow> rows;
    std::map<int, RowButtons> buttons;
    std::map<int, bool> heard;
    struct Status {
        int battery, waves;
        std::string text, tooltip;
    };
    std::map<int, Status> status;

    void busy_cursor(bool on) override { busy_depth = on ? 1 : 0; }
    void message(const std::string& t) override { messages.push_back(t); }
    bool ask(const std::string& t) override
    {
        questions.push_back(t);
        return answer;
    }
    void build_window() override { built = true; }
    void destroy_window() override { destroyed = true; }
    void show_password_button() override { password = true; }
    void set_identity(const std::string& t) override { identity = t; }
    void show_name_controls(const std::string& c) override { name_caption = c; }
    void set_info(const std::string& t) override { info = t; }
    void set_pairing_caption(bool p) override { pairing_caption = p; }
    void set_device_warning(bool shown) override { warning = shown; }
    void set_name(const std::string& n) override { name = n; }
    void clear_row(int slot) override
    {
        rows.erase(slot);
        buttons.erase(slot);
        status.erase(slot);
    }
    void show_row(int slot, const RadioRow& row) override { rows[slot] = row; }
    void set_row_buttons(int slot, const RowButtons& b) override { buttons[slot] = b; }
    void set_row_heard(int slot, bool h) override { heard[slot] = h; }
    void set_row_status(int slot, int battery, int waves, const std::string& text,
                        const std::string& tooltip) override
    {
        status[slot] = {battery, waves, text, tooltip};
    }
};

class RadioWindow : public ::testing::Test {
protected:
    RadioWindow()
    {
        t.radio.window_open = false;
        t.module.devices = {{1, 2, "Anna"}, {3, 0, "Remote"}, {5, 0, "Door"}};
    }
    void open()
    {
        radio_open(c);
        ASSERT_TRUE(t.radio.window_open);
        v.messages.clear();
    }
    // Lines the module got with this code since the last clear.
    int sent(const std::string& code) const
    {
        int n = 0;
        for (const auto& l : t.module.lines)
            n += l.compare(0, 2, code) == 0;
        return n;
    }

    test::RadioSim t;
    RecordingView v;
    std::array<std::uint8_t, 8> ow{0xA1, 1, 2, 3, 4, 5, 6, 0x77};
    RadioContext c{t.link, t.radio, v, ow};
};

TEST_F(RadioWindow, OpeningShowsTheModule)
{
    radio_open(c);
    ASSERT_TRUE(v.built);
    EXPECT_TRUE(t.radio.window_open);
    EXPECT_FALSE(t.radio.opening);
    EXPECT_FALSE(t.radio.placeholder);
    EXPECT_TRUE(v.messages.empty());
    EXPECT_EQ(v.busy_depth, 0);
    EXPECT_TRUE(t.module.radio_mode);

    EXPECT_EQ(v.identity, "radio module ID 220001234567");
    EXPECT_EQ(t.radio.info_long,
              "radio module v.1.5.6, MAC C8:FD:19:4A:22:10, ID 220001234567, onewire ID "
              "A1010203040506" "77, OW ver. 2.14");
    EXPECT_EQ(t.radio.id_hex, "00A1B2C30012D687");
    EXPECT_EQ(radio_toggle_identity(t.radio), t.radio.info_long);
    EXPECT_EQ(radio_toggle_identity(t.radio), t.radio.info_short);

    EXPECT_TRUE(v.password);
    EXPECT_EQ(v.name_caption, "radio module name (max 20 bytes):");
    EXPECT_EQ(v.name, "ZORVIK BLE");
    ASSERT_EQ(v.rows.size(), 3u);
    EXPECT_EQ(v.rows[0].name, "Anna");
    EXPECT_EQ(v.rows[2].type, 5);
    EXPECT_EQ(t.radio.rows_loaded, 0b111);
    EXPECT_FALSE(v.warning);
    EXPECT_FALSE(v.pairing_caption);
    EXPECT_EQ(v.info, "Downloading device list.");
}

TEST_F(RadioWindow, PasswordOnlyAbove155AndWarningFromSixDevices)
{
    t.module.version = "1.5.5";
    t.module.devices.resize(6, {3, 0, "R"});
    radio_open(c);
    EXPECT_FALSE(v.password);
    EXPECT_TRUE(v.warning);
    EXPECT_EQ(v.rows.size(), 6u);
    radio_close(c);

    t.module.devices.resize(5);
    RecordingView w;
    RadioContext c2{t.link, t.radio, w, ow};
    radio_open(c2);
    EXPECT_FALSE(w.warning);
}

TEST_F(RadioWindow, OpeningFailures)
{
    // Busy with remote commands: nothing opens.
    t.module.busy_access = 10;
    radio_open(c);
    EXPECT_FALSE(v.built);
    EXPECT_FALSE(t.radio.opening);
    EXPECT_EQ(v.messages, std::vector<std::string>{"Radio module used with remote commands."});

    // No answer to the version: the window never appears; back to normal.
    v.messages.clear();
    t.module.refused_replies = 1000;
    radio_open(c);
    EXPECT_FALSE(v.built);
    EXPECT_FALSE(t.radio.placeholder);
    EXPECT_FALSE(t.radio.opening);
    EXPECT_EQ(v.messages, std::vector<std::string>{"radio module communication error."});
    EXPECT_FALSE(t.module.radio_mode);

    // Busy answers during the opening select the busy message.
    v.messages.clear();
    t.module.refused_replies = 0;
    t.module.busy_writes = 1000;
    radio_open(c);
    EXPECT_EQ(v.messages, std::vector<std::string>{"Radio module used with remote commands."});
    EXPECT_FALSE(t.radio.busy);
}

TEST_F(RadioWindow, AFailureAfterTheWindowIsBuiltClosesIt)
{
    // Once the window stands, the module refuses every further command.
    platform::set_event_pump([this] {
        if (v.built && !v.destroyed)
            t.module.refused_replies = 1000;
    });
    radio_open(c);
    platform::set_event_pump(nullptr);
    EXPECT_TRUE(v.built);
    EXPECT_TRUE(v.destroyed);
    EXPECT_FALSE(t.radio.window_open);
    EXPECT_EQ(v.messages, std::vector<std::string>{"radio module communication error."});
    EXPECT_FALSE(t.module.radio_mode);
}

TEST_F(RadioWindow, PollStepHearsDevicesAndShowsEvents)
{
    open();
    t.module.lines.clear();
    t.module.heard = 0b101;
    t.module.events.push_back({0x02, 0, 1, 0, 0x8000 | 300, 0, 70, true, 2, 1, 7});

    radio_poll_step(c); // tick 0: devices heard
    EXPECT_EQ(sent("02"), 1);
    EXPECT_TRUE(v.heard[0]);
    EXPECT_FALSE(v.heard[1]);
    EXPECT_TRUE(v.heard[2]);
    radio_poll_step(c); // tick 1: nothing
    EXPECT_EQ(t.module.lines.size(), 1u);
    radio_poll_step(c); // tick 2: the event
    EXPECT_EQ(sent("15"), 1);
    ASSERT_TRUE(v.status.count(1));
    EXPECT_EQ(v.status[1].battery, 4);
    EXPECT_EQ(v.status[1].waves, 2);
    EXPECT_EQ(v.status[1].text, "-70");
    EXPECT_EQ(v.status[1].tooltip, "Firmware ver. 2.1.7");
    EXPECT_TRUE(v.heard[1]);
    // The remote's closing button is red; the other rows show nothing pressed.
    EXPECT_EQ(v.buttons[1].cells[1], (ButtonCell{ButtonCell::Button, 0, 1, 1}));
    EXPECT_EQ(v.buttons[0].cells[0].colour, 0);
    EXPECT_EQ(v.info, "Central lock closing.");
    for (int i = 0; i < 5; ++i)
        radio_poll_step(c);
    EXPECT_EQ(sent("02"), 1);
    radio_poll_step(c); // tick 8
    EXPECT_EQ(sent("02"), 2);
}

TEST_F(RadioWindow, RecordResetRequests)
{
    open();
    struct Case {
        unsigned code;
        std::size_t resets;
    } cases[] = {{0x0408, 1}, {0x0407, 0}};
    for (const Case& k : cases) {
        t.module.record_resets.clear();
        t.module.events.push_back({0x3F, 0, 0xFF});
        t.module.query_slot = 2;
        t.module.query_code = k.code;
        t.radio.poll_tick = 2;
        radio_poll_step(c);
        ASSERT_EQ(t.module.record_resets.size(), k.resets);
        if (k.resets) {
            EXPECT_EQ(t.module.record_resets[0], "02" + std::string(36, 'F'));
        }
    }
    // An event for a slot beyond the list is ignored.
    v.status.clear();
    t.module.events.push_back({0x01, 0, 7, 0, 0x8000 | 300, 0, 70});
    t.radio.poll_tick = 2;
    radio_poll_step(c);
    EXPECT_TRUE(v.status.empty());
    EXPECT_TRUE(t.radio.window_open);
}

TEST_F(RadioWindow, PairingUntilTheModuleEndsIt)
{
    open();
    radio_toggle_pairing(c);
    EXPECT_TRUE(t.module.pairing);
    EXPECT_TRUE(t.radio.pairing);
    EXPECT_TRUE(v.pairing_caption);
    EXPECT_EQ(v.info.substr(0, 14), "Press and hold");

    t.radio.poll_tick = 0;
    radio_poll_step(c);
    EXPECT_TRUE(t.radio.pairing); // still E7
    t.module.pair({2, 1, "Fob"});
    for (int i = 0; i < 8; ++i)
        radio_poll_step(c);
    EXPECT_FALSE(t.radio.pairing);
    EXPECT_FALSE(v.pairing_caption);
    EXPECT_EQ(v.rows.size(), 4u); // reloaded
    EXPECT_TRUE(v.messages.empty());

    // Pairing ends because the module is full.
    t.module.devices.resize(11, {3, 0, "R"});
    radio_toggle_pairing(c);
    t.module.pair({3, 0, "Last"});
    t.radio.poll_tick = 0;
    radio_poll_step(c);
    EXPECT_EQ(v.messages,
              std::vector<std::string>{"Maximum amount of devices are already paired.\nRemove something."});
    EXPECT_EQ(v.rows.size(), 12u);

    // Stopping by hand.
    radio_toggle_pairing(c);
    radio_toggle_pairing(c);
    EXPECT_FALSE(t.module.pairing);
    EXPECT_EQ(v.info, "");
}

TEST_F(RadioWindow, Removal)
{
    open();
    v.answer = false;
    radio_erase_device(c, 1);
    EXPECT_EQ(t.module.devices.size(), 3u);
    EXPECT_EQ(v.questions, std::vector<std::string>{"Are you sure to remove device?"});

    v.answer = true;
    radio_toggle_pairing(c);
    radio_erase_device(c, 1);
    EXPECT_FALSE(t.module.pairing); // stopped first
    ASSERT_EQ(t.module.devices.size(), 2u);
    EXPECT_EQ(t.module.devices[1].name, "Door");
    EXPECT_EQ(v.rows.size(), 2u);
    EXPECT_TRUE(t.radio.window_open);

    radio_erase_all(c);
    EXPECT_TRUE(t.module.devices.empty());
    EXPECT_TRUE(v.rows.empty());

    // Nothing paired: no question, nothing sent.
    v.questions.clear();
    t.module.lines.clear();
    radio_erase_all(c);
    EXPECT_TRUE(v.questions.empty());
    EXPECT_TRUE(t.module.lines.empty());
}

TEST_F(RadioWindow, NameAndPassword)
{
    open();
    radio_change_name(c, "    ");
    radio_change_name(c, std::string(21, 'n'));
    EXPECT_EQ(v.messages, (std::vector<std::string>{"Name cannot be empty.", "Name too long."}));
    EXPECT_EQ(sent("09"), 0);

    v.messages.clear();
    const std::string exact(20, 'n');
    radio_change_name(c, "  " + exact + "   ");
    EXPECT_EQ(t.module.name, exact);
    EXPECT_EQ(v.name, exact);
    EXPECT_EQ(t.module.lines.back().substr(0, 24), "0914" + exact);
    EXPECT_EQ(v.messages, std::vector<std::string>{"Name changed."});

    radio_default_name(c);
    EXPECT_EQ(t.module.name, "ZORVIK BLE");
    EXPECT_EQ(v.name, "ZORVIK BLE");

    v.messages.clear();
    radio_set_password(c, [](std::uint32_t& n) {
        n = 0x12ABCDEF;
        return true;
    });
    EXPECT_EQ(t.module.password, "ABCDEF");
    EXPECT_EQ(v.messages, std::vector<std::string>{"New password set to ABCDEF."});
    // No secure random number: nothing is sent.
    const auto lines = t.module.lines.size();
    radio_set_password(c, [](std::uint32_t&) { return false; });
    EXPECT_EQ(t.module.lines.size(), lines);
}

TEST_F(RadioWindow, AFailedPollClosesTheWindow)
{
    open();
    t.module.busy_writes = 1000;
    t.radio.poll_tick = 0;
    radio_poll_step(c);
    EXPECT_TRUE(v.destroyed);
    EXPECT_FALSE(t.radio.window_open);
    EXPECT_EQ(v.messages, std::vector<std::string>{"Radio module used with remote commands."});
    EXPECT_FALSE(t.radio.busy);
    EXPECT_FALSE(t.module.radio_mode);
    // A closed window polls nothing.
    t.module.lines.clear();
    radio_poll_step(c);
    EXPECT_TRUE(t.module.lines.empty());
}

TEST_F(RadioWindow, ResetSendsThreeResetWrites)
{
    open();
    const int before = t.module.resets;
    radio_reset_module(c);
    EXPECT_EQ(t.module.resets, before + 3);
}

} // namespace
} // namespace tq
