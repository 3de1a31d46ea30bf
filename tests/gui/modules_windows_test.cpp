// The additional-modules, AUX-FORTIN and module test windows, built for
// real against the demonstration unit and driven through their buttons.
#include "app/app_state.h"
#include "app/wiring.h"
#include "gui/gui_support.h"
#include "modules/aux_status.h"
#include "modules/aux_window.h"
#include "modules/module_list.h"
#include "modules/module_test.h"
#include "modules/module_test_window.h"
#include "modules/modules_window.h"
#include "modules/onewire.h"
#include "platform/clock.h"
#include "sim/demo.h"
#include "sim/onewire_bus.h"
#include "text/texts.h"
#include "widgets/kit.h"

#include <gtest/gtest.h>

namespace tq {
namespace {

using test::button_text;
using test::label_text;

bool sensitive(GtkWidget* w) { return gtk_widget_get_sensitive(w); }

// The demonstration unit behind the application's own link.
class ModuleWindows : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::ensure_gtk();
        create_fonts();
        AppState& a = app();
        programmer = sim::make_demo_programmer();
        bus = sim::install_demo_onewire_bus(programmer->unit);
        port = std::make_unique<sim::SimPort>(*programmer);
        a.link.port = port.get();
        ASSERT_NE(device_open(a.link), OpenResult::None);
        a.connection.firmware_version = programmer->unit.identity.firmware_version();
        a.connection.state = kConnected;
        a.modules.output_state = {0, 0};
        wire_module_windows(a.modules);
        a.modules.config = &config; // the settings pages' record, for its AUX text
    }
    void TearDown() override
    {
        AppState& a = app();
        close_modules_window(app().modules);
        close_aux_window(app().modules);
        close_message_window();
        device_close(a.link);
        a.link.port = nullptr;
        a.modules.view = nullptr;
        a.modules.config = nullptr;
        test::pump_gtk(2);
    }

    // Main-loop passes of the connected state: one reply polled, then the
    // periodic steps of these windows.
    void passes(int n)
    {
        AppState& a = app();
        for (int i = 0; i < n; ++i) {
            poll_pass_reply(a.link);
            if (a.modules.aux.window)
                aux_status_poll_step(a.modules, a.link);
            module_test_poll_step(a.modules, a.link);
        }
        test::pump_gtk(2);
    }

    platform::ScopedVirtualClock clock;
    std::unique_ptr<sim::Programmer> programmer;
    std::shared_ptr<sim::OneWireBus> bus;
    std::unique_ptr<sim::SimPort> port;
    ConfigState config;
};

TEST_F(ModuleWindows, ListShowsRowsAndActivatesAModule)
{
    ModulesState& m = app().modules;
    ASSERT_TRUE(open_modules_window(modules_window_states(app()), false));
    ASSERT_NE(m.window, nullptr);
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(m.window)), "Additional modules");
    EXPECT_EQ(widget_state().module_window, m.window);

    const ModuleRowWidgets& tq001 = m.row_widgets[kRowTq001First];
    EXPECT_EQ(label_text(tq001.name), "TQ001 OBD cut-off module (1)");
    EXPECT_EQ(label_text(tq001.connected), label_text(tq001.stored));
    EXPECT_TRUE(sensitive(tq001.action));
    EXPECT_FALSE(sensitive(tq001.activate));

    // The demo's first TQ002 row: a stored module that is gone, and a new
    // one on the bus that can take its place.
    const ModuleRowWidgets& tq002 = m.row_widgets[kRowTq002First];
    EXPECT_FALSE(label_text(tq002.connected).empty());
    EXPECT_NE(label_text(tq002.connected), label_text(tq002.stored));
    EXPECT_TRUE(sensitive(tq002.activate));
    EXPECT_TRUE(sensitive(tq002.remove));
    EXPECT_FALSE(sensitive(tq002.action));
    EXPECT_EQ(gtk_combo_box_get_active(GTK_COMBO_BOX(tq002.mode)), 2);
    test::save_screenshot(m.window, "modules_window");
    // The column of "Delete" is as wide as its header cell.
    GtkAllocation remove{};
    gtk_widget_get_allocation(tq001.remove, &remove);
    EXPECT_EQ(remove.width, 68);

    const std::string fresh = label_text(tq002.connected);
    gtk_button_clicked(GTK_BUTTON(tq002.activate));
    test::pump_gtk(4);
    // The window was rebuilt: look at the new row.
    const ModuleRowWidgets& now = m.row_widgets[kRowTq002First];
    ASSERT_NE(now.name, nullptr);
    EXPECT_EQ(label_text(now.stored), fresh);
    EXPECT_TRUE(sensitive(now.action));
    EXPECT_FALSE(sensitive(now.activate));
    EXPECT_EQ(programmer->unit.memory[1047], 0x83);
    EXPECT_EQ(widget_state().message_window, nullptr);
    test::save_screenshot(m.window, "modules_window_activated");
}

TEST_F(ModuleWindows, DeletingTheAuxFortinRowClosesItsWindow)
{
    ModulesState& m = app().modules;
    ASSERT_TRUE(open_modules_window(modules_window_states(app()), false));
    gtk_button_clicked(GTK_BUTTON(m.row_widgets[kRowAuxFortin].action));
    ASSERT_NE(m.aux.window, nullptr);
    gtk_button_clicked(GTK_BUTTON(m.row_widgets[kRowAuxFortin].remove));
    test::pump_gtk(2);
    EXPECT_EQ(m.aux.window, nullptr);
    EXPECT_EQ(programmer->unit.memory[1044], 0x01);
    EXPECT_EQ(config.aux_text, "AUX module not connected / AUX module disabled (default)");
    EXPECT_TRUE(sensitive(m.row_widgets[kRowAuxFortin].activate));
    EXPECT_FALSE(sensitive(m.row_widgets[kRowAuxFortin].action));
}

TEST_F(ModuleWindows, AuxFortinWindowFollowsTheInterface)
{
    ModulesState& m = app().modules;
    open_aux_window(modules_window_states(app()));
    AuxInterfaceState& s = m.aux;
    ASSERT_NE(s.window, nullptr);
    EXPECT_FALSE(gtk_widget_get_visible(s.flag_columns[0]));
    EXPECT_FALSE(sensitive(s.commands[0]));
    EXPECT_TRUE(sensitive(s.commands[kAuxProgramRemote]));

    passes(4);
    // The demo interface reports values with data flag 0: not responding,
    // only QUERY usable.
    EXPECT_EQ(label_text(s.status), "Module not responding.");
    EXPECT_EQ(label_text(s.values[3]), "Trip counter: 12345.6 [km]");
    EXPECT_TRUE(sensitive(s.commands[kAuxQuery]));
    EXPECT_FALSE(sensitive(s.commands[0]));

    gtk_button_clicked(GTK_BUTTON(s.more_info_button));
    EXPECT_TRUE(gtk_widget_get_visible(s.flag_columns[1]));
    EXPECT_TRUE(gtk_widget_get_visible(s.commands[kAuxQuery]));
    EXPECT_EQ(button_text(s.more_info_button), "LESS INFO");
    test::save_screenshot(s.window, "aux_window_not_responding");

    gtk_button_clicked(GTK_BUTTON(s.commands[kAuxQuery]));
    passes(8);
    EXPECT_EQ(label_text(s.status), "Module ready.");
    EXPECT_TRUE(sensitive(s.commands[0]));
    EXPECT_FALSE(sensitive(s.commands[kAuxProgramRemote]));
    gtk_button_clicked(GTK_BUTTON(s.commands[0]));
    EXPECT_EQ(bus->aux_commands, (std::vector<std::uint8_t>{0xFF, 0x0A}));

    bus->aux.state = 2;
    passes(8);
    EXPECT_EQ(label_text(s.status), "");
    EXPECT_TRUE(sensitive(s.commands[kAuxProgramRemote]));
    EXPECT_FALSE(sensitive(s.commands[0]));
    test::save_screenshot(s.window, "aux_window_programming");

    gtk_button_clicked(GTK_BUTTON(s.more_info_button));
    EXPECT_FALSE(gtk_widget_get_visible(s.flag_columns[0]));
    EXPECT_EQ(button_text(s.more_info_button), "MORE INFO");
    close_aux_window(app().modules);
    EXPECT_EQ(s.window, nullptr);
}

TEST_F(ModuleWindows, TestWindowsPollAndKeepTheToggle)
{
    ModulesState& m = app().modules;
    const OneWireId id = pseudo_identifier(PseudoModule::AuxModule);
    open_module_test_window(modules_window_states(app()), kTestKindAuxOrLoom, 0, id);
    ModuleTestWindow& aux = m.tests[kTestAux];
    ASSERT_NE(aux.window, nullptr);
    EXPECT_EQ(std::string(gtk_window_get_title(GTK_WINDOW(aux.window))),
              "AUX module onewire ID " + id_hex(id));
    EXPECT_EQ(button_text(aux.toggle), "Switch on");
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(aux.toggle), TRUE);
    EXPECT_EQ(button_text(aux.toggle), "Switch off");
    passes(5);
    EXPECT_EQ(bus->module_output[0], 1);
    EXPECT_EQ(label_text(aux.status), "Module ready.");
    test::save_screenshot(aux.window, "aux_module_test_window");

    close_module_test_window(app().modules, kTestAux);
    EXPECT_EQ(m.tests[kTestAux].window, nullptr);
    open_module_test_window(modules_window_states(app()), kTestKindAuxOrLoom, 0, id);
    EXPECT_TRUE(gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(m.tests[kTestAux].toggle)));
    EXPECT_EQ(button_text(m.tests[kTestAux].toggle), "Switch off");

    open_module_test_window(modules_window_states(app()), kTestKindAuxOrLoom, 1, pseudo_identifier(PseudoModule::CableLoom));
    passes(5);
    EXPECT_EQ(label_text(m.tests[kTestCableLoom].status), "Module ready.");
    test::save_screenshot(m.tests[kTestCableLoom].window, "cable_loom_test_window");
    close_module_test_windows(app().modules);
}

TEST_F(ModuleWindows, Tq002WindowChecksValuesAndShowsVoltages)
{
    ModulesState& m = app().modules;
    const OneWireId id = sim::make_onewire_id(0xA7, 2, 0x22002);
    open_module_test_window(modules_window_states(app()), kTestKindTq002, 0, id);
    ModuleTestWindow& w = m.tests[kTestTq002First];
    ASSERT_NE(w.window, nullptr);
    EXPECT_EQ(buffer_text(w.entries[2]), "5");
    passes(5);
    EXPECT_EQ(label_text(w.voltages[0]), "12.34 [V]");
    EXPECT_EQ(label_text(w.voltages[1]), "11.87 [V]");

    set_buffer_text(w.entries[1], "0");
    GtkWidget* test_button = nullptr;
    // The "Test" button: find it by its caption.
    test::each_widget(w.window, [&](GtkWidget* widget) {
        if (GTK_IS_BUTTON(widget) && button_text(widget) == "Test")
            test_button = widget;
    });
    ASSERT_NE(test_button, nullptr);
    gtk_button_clicked(GTK_BUTTON(test_button));
    EXPECT_EQ(label_text(w.status), "Invalid values.");
    EXPECT_TRUE(bus->output_tests[0].empty());
    set_buffer_text(w.entries[1], "3");
    gtk_button_clicked(GTK_BUTTON(test_button));
    EXPECT_EQ(label_text(w.status), "Request succeeded.");
    EXPECT_EQ(bus->output_tests[0], (std::vector<std::uint8_t>{1, 3, 5, 1, 1, 5}));
    test::save_screenshot(w.window, "tq002_test_window");
    close_module_test_windows(app().modules);
}

} // namespace
} // namespace tq
