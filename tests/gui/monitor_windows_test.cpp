// The monitoring windows and the unit's small tool windows, built for real
// under the shared Xvfb and driven against the simulated unit.
#include "config/diagnostics_window.h"
#include "config/event_memory_window.h"
#include "config/pin_dialog.h"
#include "gui/gui_support.h"
#include "monitor/console_window.h"
#include "monitor/message_sound_dialog.h"
#include "monitor/signal_monitor_window.h"
#include "prefs/preferences.h"
#include "sim/unit_monitor.h"
#include "support/sim_link.h"
#include "support/temp_folder.h"
#include "text/texts.h"
#include "widgets/kit.h"

#include <gdk/gdkkeysyms.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace tq {
namespace {

using test::first_label_text;
using test::message_text;

bool same_colour(const GdkColor& a, std::uint16_t r, std::uint16_t g, std::uint16_t b)
{
    return a.red == r && a.green == g && a.blue == b;
}

std::string entry_text(GtkWidget* entry) { return gtk_entry_get_text(GTK_ENTRY(entry)); }

// A key press delivered to the widget itself, as the toolkit hands it on
// from the focused window.
void press(GtkWidget* w, guint keyval, guint state = 0)
{
    GdkEvent* e = gdk_event_new(GDK_KEY_PRESS);
    e->key.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(w)));
    e->key.send_event = TRUE;
    e->key.time = GDK_CURRENT_TIME;
    e->key.keyval = keyval;
    e->key.state = state;
    gtk_widget_event(w, e);
    gdk_event_free(e);
}

std::string read_file(const std::string& p)
{
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

struct MonitorWindows : ::testing::Test {
    void SetUp() override
    {
        test::ensure_gtk();
        create_fonts();
        text_state().texts = &kTextsEnglish;
        text_state().language_index = 0; // the added rows follow the index
        setenv("TZ", "UTC", 1);
        tzset();
        ASSERT_EQ(sim.open(), OpenResult::Programmer);
        peer = sim::add_monitor_peer(sim.programmer.unit);
        m.link = &sim.link;
        m.console.wall_clock = [] { return std::time_t(1715954580); }; // 2024-05-17 14:03:00
        sim.link.text_sink = [this](std::string_view t) { console_log(m.console, t, true); };
        conn.firmware_version = 4 * 256 + 81;
        tools.link = &sim.link;
        tools.connection = &conn;
    }
    void TearDown() override
    {
        close_console_window(m);
        close_signal_monitor(m);
        close_event_window(tools);
        close_diagnostics_window(tools);
        close_service_pin_dialog(tools);
        close_message_window();
        console_close_log(m.console);
        test::pump_gtk(3);
    }
    // One pass of the connected state for the tool windows.
    void pass()
    {
        poll_pass_reply(sim.link);
        signal_monitor_step(m);
        diagnostics_window_step(tools);
        event_window_step(tools);
    }

    test::SimLink sim;
    std::shared_ptr<sim::MonitorPeer> peer;
    PrefsState prefs;
    MonitorState m;
    ConnectionState conn;
    UnitToolsState tools;
    test::TempFolder folder;
    std::filesystem::path dir = folder.path();
};

TEST_F(MonitorWindows, ConsoleShowsTheStoreSendsAndBrowsesItsHistory)
{
    console_log(m.console, "*GSM registered, CSQ 23\r\nCentral lock: LOCK\r\n", true);
    open_console_window(m);
    ConsoleWindowHandles& ui = m.console_ui;
    ASSERT_NE(ui.window, nullptr);
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(ui.window)), "Console");
    EXPECT_EQ(console_window_text(m), m.console.store) << "the whole store, unfiltered";
    EXPECT_TRUE(gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(ui.autoscroll)));
    EXPECT_FALSE(gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(ui.response)));

    // An unreadable command byte paints the field red and sends nothing.
    const std::string before = m.console.store;
    gtk_entry_set_text(GTK_ENTRY(ui.command_entry), "1g");
    console_window_send(m);
    EXPECT_TRUE(same_colour(gtk_widget_get_style(ui.command_entry)->base[GTK_STATE_NORMAL], 0xFFFF, 0, 0));
    EXPECT_EQ(m.console.store, before);

    // A good one restores the colour; the unit's data reply is shown.
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(ui.response), TRUE);
    gtk_entry_set_text(GTK_ENTRY(ui.command_entry), "F4");
    console_window_send(m);
    EXPECT_FALSE(same_colour(gtk_widget_get_style(ui.command_entry)->base[GTK_STATE_NORMAL], 0xFFFF, 0, 0));
    gtk_entry_set_text(GTK_ENTRY(ui.command_entry), "05");
    gtk_entry_set_text(GTK_ENTRY(ui.data_entry), "\\x80\\x03");
    console_window_send(m);
    const std::string shown = console_window_text(m);
    EXPECT_NE(shown.find("]< \\xF4 \r\n[2024.05.17 14:03:00]> 01 - 060B - \"??\"\r\n"), std::string::npos) << shown;
    EXPECT_NE(shown.find("]< \\x05 \\x80\\x03\r\n"), std::string::npos);

    // More data than a frame carries: refused with a message, not logged.
    const std::string logged = m.console.store;
    gtk_entry_set_text(GTK_ENTRY(ui.data_entry), std::string(126, 'x').c_str());
    console_window_send(m);
    EXPECT_EQ(message_text(), "Command too long: at most 125 data bytes.");
    EXPECT_EQ(m.console.store, logged);
    close_message_window();
    gtk_entry_set_text(GTK_ENTRY(ui.data_entry), "\\x80\\x03");

    // Up and Down in either field walk the history.
    press(ui.data_entry, GDK_Up);
    EXPECT_EQ(entry_text(ui.command_entry), "F4");
    EXPECT_EQ(entry_text(ui.data_entry), "");
    press(ui.command_entry, GDK_Down);
    EXPECT_EQ(entry_text(ui.command_entry), "05");
    EXPECT_EQ(entry_text(ui.data_entry), "\\x80\\x03");

    const std::string shot = test::save_screenshot(ui.window, "console");
    EXPECT_FALSE(shot.empty());

    // Capital S in the view opens the sound dialog; its entry sets the trigger.
    press(ui.view, GDK_s);
    EXPECT_EQ(m.sound_ui.window, nullptr) << "small s does nothing";
    press(ui.view, GDK_S, GDK_SHIFT_MASK);
    ASSERT_NE(m.sound_ui.window, nullptr);
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(m.sound_ui.window)), "Dźwięk na komunikat");
    gtk_entry_set_text(GTK_ENTRY(m.sound_ui.trigger_entry), "ALARM");
    EXPECT_EQ(m.console.sound.trigger, "ALARM");
    EXPECT_FALSE(test::save_screenshot(m.sound_ui.window, "message_sound").empty());
    gtk_entry_set_text(GTK_ENTRY(m.sound_ui.trigger_entry), "");
    EXPECT_EQ(m.console.sound.trigger, "") << "clearing the entry switches the sound off";
    close_message_sound_dialog(m);

    // F8 empties store and view.
    press(ui.window, GDK_F8);
    EXPECT_EQ(m.console.store, "");
    EXPECT_EQ(console_window_text(m), "");

    // Closing forgets the view; logging goes on and reopening shows it all.
    close_console_window(m);
    EXPECT_EQ(m.console_ui.window, nullptr);
    console_log(m.console, "later\n", true);
    open_console_window(m);
    EXPECT_EQ(console_window_text(m), "[2024.05.17 14:03:00]> later\r\n");
}

// Answers the "Filter settings" dialog from inside its own loop.
struct FilterAnswer {
    MonitorState* m;
    const char* text; // for slot 0, enabled
    gint response;
};

gboolean answer_filter_dialog(gpointer data)
{
    auto* a = static_cast<FilterAnswer*>(data);
    GtkWidget* dialog = a->m->console_ui.filter_dialog;
    if (!dialog)
        return TRUE; // not there yet
    GtkWidget* box = gtk_dialog_get_content_area(GTK_DIALOG(dialog));
    GList* rows = gtk_container_get_children(GTK_CONTAINER(box));
    // Row 0 is "untagged"; the slots follow.
    GtkWidget* first = GTK_WIDGET(g_list_nth_data(rows, 1));
    GList* cells = gtk_container_get_children(GTK_CONTAINER(first));
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(g_list_nth_data(cells, 0)), TRUE);
    gtk_entry_set_text(GTK_ENTRY(g_list_nth_data(cells, 1)), a->text);
    g_list_free(cells);
    g_list_free(rows);
    gtk_dialog_response(GTK_DIALOG(dialog), a->response);
    return FALSE;
}

TEST_F(MonitorWindows, FilterShowsTaggedLinesAndTheLogGetsWhatIsShown)
{
    prefs.folder = dir.string(); // this test's profile folder
    m.prefs = &prefs;
    console_log(m.console, "*GSM up\n*GPS fix\nplain\n", true);
    open_console_window(m);
    ConsoleWindowHandles& ui = m.console_ui;

    FilterAnswer ok{&m, "GSM", GTK_RESPONSE_OK};
    g_timeout_add(20, answer_filter_dialog, &ok);
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(ui.filter_toggle), TRUE);
    EXPECT_TRUE(m.console.filter.active);
    EXPECT_EQ(m.console.filter.texts[0], "GSM");
    PrefsState kept;
    kept.folder = prefs.folder;
    load_preferences(kept);
    EXPECT_EQ(kept.console_filters[0], "GSM") << "the filter texts are kept in the preferences";
    EXPECT_TRUE(same_colour(gtk_widget_get_style(ui.filter_toggle)->bg[GTK_STATE_ACTIVE], 0xFFFF, 0xFFFF, 0));
    EXPECT_EQ(console_window_text(m), "[2024.05.17 14:03:00]> *GSM up\r\n");
    console_log(m.console, "*GSM again\n*GPS again\n", true);
    EXPECT_EQ(console_window_text(m), "[2024.05.17 14:03:00]> *GSM up\r\n[2024.05.17 14:03:00]> *GSM again\r\n");

    // A log started now begins with what the view shows, not the hidden lines.
    const std::string log = (dir / "unit.log").string();
    ASSERT_TRUE(console_window_start_log(m, log));
    EXPECT_EQ(read_file(log), console_window_text(m));
    EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(ui.log_label)), "Stop logging");
    EXPECT_TRUE(same_colour(gtk_widget_get_style(ui.log_label)->fg[GTK_STATE_NORMAL], 0xFFFF, 0, 0));
    console_log(m.console, "*GPS unfiltered\n", true);
    // The log's buffer reaches the file within the flush interval.
    const gint64 until = g_get_monotonic_time() + (kConsoleLogFlushMs + 100) * 1000;
    while (read_file(log).find("*GPS unfiltered") == std::string::npos &&
           g_get_monotonic_time() < until)
        g_main_context_iteration(nullptr, TRUE);
    EXPECT_NE(read_file(log).find("*GPS unfiltered"), std::string::npos) << "the file is unfiltered";
    EXPECT_FALSE(test::save_screenshot(ui.window, "console_filtered").empty());
    console_window_toggle_log(m);
    EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(ui.log_label)), "Log to file");

    // Off: everything again. Cancel leaves the toggle off.
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(ui.filter_toggle), FALSE);
    EXPECT_FALSE(m.console.filter.active);
    EXPECT_EQ(console_window_text(m), m.console.store);
    FilterAnswer cancel{&m, "GPS", GTK_RESPONSE_CANCEL};
    g_timeout_add(20, answer_filter_dialog, &cancel);
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(ui.filter_toggle), TRUE);
    EXPECT_FALSE(gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(ui.filter_toggle)));
    EXPECT_FALSE(m.console.filter.active);
    EXPECT_EQ(m.console.filter.texts[0], "GSM") << "cancel keeps the old texts";

    // A file that cannot be opened: the message, and no logging.
    EXPECT_FALSE(console_window_start_log(m, (dir / "no" / "such.log").string()));
    EXPECT_EQ(message_text(), "Can not open file!");
    EXPECT_EQ(m.console.log_file, nullptr);
}

TEST_F(MonitorWindows, SignalMonitorColoursOnlyButtonsWhoseBitChanged)
{
    open_signal_monitor(m);
    SignalWindowHandles& ui = m.signal_ui;
    ASSERT_NE(ui.window, nullptr);
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(ui.window)), "Signal monitor");
    for (GtkWidget* b : ui.buttons) {
        ASSERT_NE(b, nullptr);
        EXPECT_FALSE(gtk_widget_is_sensitive(b));
    }
    EXPECT_EQ(first_label_text(ui.buttons[0]), "LOCK");
    EXPECT_EQ(first_label_text(ui.buttons[88]), "FORTIN_LED");
    EXPECT_EQ(first_label_text(ui.buttons[95]), "");

    int style_changes = 0;
    for (GtkWidget* b : ui.buttons)
        g_signal_connect_swapped(b, "style-set", G_CALLBACK(+[](int* n) { ++*n; }), &style_changes);

    const GdkColor plain = gtk_widget_get_style(ui.buttons[1])->bg[GTK_STATE_INSENSITIVE];
    peer->signals = {};
    peer->signals[0] = 0x01;
    peer->signals[11] = 0x80;
    pass(); // nothing arrived yet: asks
    EXPECT_EQ(sim.programmer.unit.received.back().code, 0x08);
    pass(); // the answer
    EXPECT_EQ(style_changes, 2);
    EXPECT_TRUE(same_colour(gtk_widget_get_style(ui.buttons[0])->bg[GTK_STATE_INSENSITIVE], 0xCDCD, 0, 0));
    EXPECT_TRUE(same_colour(gtk_widget_get_style(ui.buttons[95])->bg[GTK_STATE_INSENSITIVE], 0, 0, 0));
    pass();
    EXPECT_EQ(style_changes, 2) << "the same bits again redraw nothing";

    // Each reply answers the request of the pass before.
    peer->signals[0] = 0x00;
    pass();
    pass();
    EXPECT_EQ(style_changes, 3);
    const GdkColor back = gtk_widget_get_style(ui.buttons[0])->bg[GTK_STATE_INSENSITIVE];
    EXPECT_TRUE(same_colour(back, plain.red, plain.green, plain.blue)) << "the theme's colour again";

    peer->signals = sim::demo_signals(12'000); // unlocked, door open
    pass();
    pass();
    EXPECT_FALSE(test::save_screenshot(ui.window, "signal_monitor").empty());

    // Only with a device.
    close_signal_monitor(m);
    device_close(sim.link);
    open_signal_monitor(m);
    EXPECT_EQ(m.signal_ui.window, nullptr);
}

TEST_F(MonitorWindows, EventMemoryShowsNamesAndErases)
{
    auto& mem = sim.programmer.unit.memory;
    mem[640] = 1;
    mem[641] = 12;
    mem[642] = 20;
    open_event_window(tools);
    ASSERT_NE(tools.event_window, nullptr);
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(tools.event_window)), "Event memory");
    for (int i = 0; i < 3; ++i)
        pass();
    EXPECT_EQ(entry_text(tools.event_entries[0]), "FL door");
    EXPECT_EQ(entry_text(tools.event_entries[1]), "OEM alarm");
    EXPECT_EQ(entry_text(tools.event_entries[2]), "programmer connected");
    EXPECT_FALSE(test::save_screenshot(tools.event_window, "event_memory").empty());

    // "Erase", then the next read shows "---" three times.
    GtkWidget* column = nullptr;
    {
        GtkWidget* columns = gtk_bin_get_child(GTK_BIN(tools.event_window));
        GList* c = gtk_container_get_children(GTK_CONTAINER(columns));
        column = GTK_WIDGET(c->data);
        g_list_free(c);
    }
    GList* left = gtk_container_get_children(GTK_CONTAINER(column));
    gtk_button_clicked(GTK_BUTTON(g_list_nth_data(left, 1)));
    g_list_free(left);
    EXPECT_EQ(mem[640] | mem[641] | mem[642], 0);
    for (int i = 0; i < 9; ++i)
        pass();
    for (GtkWidget* e : tools.event_entries)
        EXPECT_EQ(entry_text(e), "---");

    // The count goes on across openings.
    const unsigned count = tools.event_poll_count;
    close_event_window(tools);
    open_event_window(tools);
    EXPECT_EQ(tools.event_poll_count, count);
}

TEST_F(MonitorWindows, DiagnosticsShowStatusRepliesWithTheirColours)
{
    device_close(sim.link);
    open_diagnostics_window(tools);
    EXPECT_EQ(tools.diagnostics_window, nullptr) << "no programmer: nothing opens";
    ASSERT_EQ(sim.open(), OpenResult::Programmer);

    open_diagnostics_window(tools);
    ASSERT_NE(tools.diagnostics_window, nullptr);
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(tools.diagnostics_window)), "Diagnostics");
    // Captions 200 pixels wide, values 230, whatever other windows use.
    for (GtkWidget* value : tools.diagnostics_values) {
        GList* row = gtk_container_get_children(GTK_CONTAINER(gtk_widget_get_parent(value)));
        ASSERT_EQ(g_list_length(row), 2u);
        int width = 0;
        gtk_widget_get_size_request(GTK_WIDGET(row->data), &width, nullptr);
        EXPECT_EQ(width, 200);
        gtk_widget_get_size_request(value, &width, nullptr);
        EXPECT_EQ(width, 230);
        g_list_free(row);
    }

    peer->status = sim::status_payload(1, 23, 12, 21.01223f, 52.22968f, 12.5f);
    peer->status_period_ms = 1000;
    pass();
    const std::array<const char*, 6> values = {"1", "23", "12", "21.012230", "52.229679", "12.50"};
    for (std::size_t i = 0; i < 6; ++i)
        EXPECT_EQ(entry_text(tools.diagnostics_values[i]), values[i]) << i;
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(same_colour(gtk_widget_get_style(tools.diagnostics_values[std::size_t(i)])->base[GTK_STATE_NORMAL], 0, 0xFFFF, 0))
            << i;
    EXPECT_FALSE(test::save_screenshot(tools.diagnostics_window, "diagnostics").empty());

    peer->status = sim::status_payload(0, 18, 35, 0, 0, 11.9f);
    sim.clock->advance(1000);
    pass();
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(same_colour(gtk_widget_get_style(tools.diagnostics_values[std::size_t(i)])->base[GTK_STATE_NORMAL], 0xFFFF, 0, 0))
            << i;
    EXPECT_EQ(entry_text(tools.diagnostics_values[5]), "11.90");
}

TEST_F(MonitorWindows, ServicePinDialogReadsChecksAndStores)
{
    auto& mem = sim.programmer.unit.memory;
    mem[1106] = 1;
    mem[1107] = 2;
    mem[1108] = 3;
    mem[1109] = 0x0B;
    open_service_pin_dialog(tools);
    ASSERT_NE(tools.pin_dialog, nullptr);
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(tools.pin_dialog)), "Change emergency/service PIN");
    EXPECT_EQ(buffer_text(tools.pin_buffer), "123?");
    EXPECT_FALSE(test::save_screenshot(tools.pin_dialog, "service_pin").empty());

    // Opening again raises the dialog without reading the unit.
    const auto frames = sim.programmer.unit.received.size();
    open_service_pin_dialog(tools);
    EXPECT_EQ(sim.programmer.unit.received.size(), frames);

    save_service_pin_dialog(tools);
    EXPECT_EQ(message_text(), "PIN must have four digits 0-9");
    EXPECT_NE(tools.pin_dialog, nullptr) << "the dialog stays open";
    EXPECT_TRUE(sim.programmer.unit.writes.empty());

    set_buffer_text(tools.pin_buffer, "0012");
    save_service_pin_dialog(tools);
    EXPECT_EQ(message_text(), "PIN is saved");
    EXPECT_EQ(tools.pin_dialog, nullptr);
    EXPECT_EQ(std::vector<std::uint8_t>(mem.begin() + 1106, mem.begin() + 1111),
              (std::vector<std::uint8_t>{0, 0, 1, 2, 0}));
    EXPECT_EQ(sim.programmer.unit.received.back().code, 0x09);
}

TEST_F(MonitorWindows, ServicePinThatCannotBeReadOpensNoDialog)
{
    sim.programmer.unit.on(0x11, [](sim::AlarmUnit&, std::span<const std::uint8_t>) {});
    open_service_pin_dialog(tools);
    EXPECT_EQ(tools.pin_dialog, nullptr);
    EXPECT_EQ(message_text(), "Configuration load error.");
}

} // namespace
} // namespace tq
