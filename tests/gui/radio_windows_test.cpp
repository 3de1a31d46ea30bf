// The radio module window, the radio monitor and the radio firmware
// progress window, built for real against a simulated unit with a radio
// module behind its bridge, read back and photographed.
#include "app/app_state.h"
#include "app/wiring.h"
#include "gui/gui_support.h"
#include "platform/clock.h"
#include "radio/radio_monitor_window.h"
#include "radio/radio_update_window.h"
#include "radio/radio_window.h"
#include "radio/zip_fixture.h"
#include "sim/onewire_bus.h"
#include "sim/radio_module_sim.h"
#include "widgets/kit.h"

#include <gtest/gtest.h>

namespace tq {
namespace {

using test::each_widget;
using test::message_text;

// Labels on screen whose text is t.
int visible_labels(GtkWidget* root, const std::string& t)
{
    int n = 0;
    each_widget(root, [&](GtkWidget* w) {
        if (GTK_IS_LABEL(w) && gtk_widget_get_mapped(w) && t == gtk_label_get_text(GTK_LABEL(w)))
            ++n;
    });
    return n;
}

class RadioWindows : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::ensure_gtk();
        create_fonts();
        platform::set_event_pump([] { test::pump_gtk(1); });
        AppState& a = app();
        module.devices = {{1, 2, "Phone Anna"}, {3, 0, "Remote 1"}, {2, 1, "Fobrix"},
                          {4, 0, "Siren"}, {5, 0, "Door sensor"}, {2, 4, "Card"}};
        module.heard = 0b11;
        bus->devices = {receiver.id};
        a.link.port = &port;
        ASSERT_NE(device_open(a.link), OpenResult::None);
        a.connection.firmware_version = 1044;
        a.connection.state = kConnected;
        a.modules.radio_onewire_id = {0xA1, 0x52, 0x10, 0x07, 0x00, 0x00, 0x00, 0x3C};
        a.shell.min_work_width = 1280;
        a.shell.min_work_height = 1024 - 80;
    }
    void TearDown() override
    {
        AppState& a = app();
        close_radio_window(radio_window_states(app()));
        close_radio_monitor(radio_window_states(app()));
        close_message_window();
        device_close(a.link);
        a.link.port = nullptr;
        platform::set_event_pump(nullptr);
        test::pump_gtk(2);
    }
    // Main-loop passes of the connected state.
    void passes(int n)
    {
        AppState& a = app();
        for (int i = 0; i < n; ++i) {
            poll_pass_reply(a.link);
            run_periodic_steps(a);
        }
        test::pump_gtk(2);
    }

    platform::ScopedVirtualClock clock;
    sim::Programmer programmer;
    sim::SimPort port{programmer};
    sim::RadioModuleSim module{programmer.unit};
    std::shared_ptr<sim::OneWireBus> bus = sim::install_onewire_bus(programmer.unit);
    sim::OneWireReceiverSim receiver{programmer.unit};
};

TEST_F(RadioWindows, RadioModuleWindow)
{
    module.events.push_back({0x01, 0, 1, 0, 0x8000 | 400, 0, 58, true, 2, 1, 7});
    open_radio_window(radio_window_states(app()));
    AppState& a = app();
    GtkWidget* w = a.radio.window;
    ASSERT_NE(w, nullptr);
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(w)), "radio module");
    EXPECT_EQ(visible_labels(w, "radio module ID 220001234567"), 1);
    EXPECT_EQ(visible_labels(w, "Erase"), 6);  // one per paired device
    EXPECT_EQ(visible_labels(w, "Remote 1"), 1);
    EXPECT_EQ(visible_labels(w, "Set password"), 1);
    EXPECT_EQ(visible_labels(w, "radio module name (max 20 bytes):"), 1);
    EXPECT_EQ(visible_labels(w, "WARNING: If 6 fobrixs will be in range, other devices will not work."), 1);

    // The header cells over the rows.
    GtkWidget* rssi = nullptr;
    each_widget(w, [&](GtkWidget* x) {
        if (GTK_IS_LABEL(x) && std::string(gtk_label_get_text(GTK_LABEL(x))) == "RSSI")
            rssi = x;
    });
    ASSERT_NE(rssi, nullptr);
    std::vector<int> heads;
    GList* cells = gtk_container_get_children(GTK_CONTAINER(gtk_widget_get_parent(rssi)));
    for (GList* c = cells; c; c = c->next) {
        gint width = 0;
        gtk_widget_get_size_request(GTK_WIDGET(c->data), &width, nullptr);
        heads.push_back(width);
    }
    g_list_free(cells);
    EXPECT_EQ(heads, (std::vector<int>{165, 160, 210, 50}));

    passes(3); // heard devices, then the remote's event
    EXPECT_EQ(visible_labels(w, "-58"), 1);
    EXPECT_EQ(visible_labels(w, "Central lock opening."), 1);
    const std::string shot = test::save_screenshot(w, "radio_window");
    EXPECT_FALSE(shot.empty());

    close_radio_window(radio_window_states(app()));
    EXPECT_EQ(a.radio.window, nullptr);
    EXPECT_FALSE(a.radio.window_open);
    EXPECT_FALSE(module.radio_mode);
}

TEST_F(RadioWindows, OpeningAgainstABusyUnitShowsWhy)
{
    module.busy_access = 10;
    open_radio_window(radio_window_states(app()));
    EXPECT_EQ(app().radio.window, nullptr);
    EXPECT_EQ(message_text(), "Radio module used with remote commands.");
}

TEST_F(RadioWindows, RadioMonitorWindow)
{
    sim::store_id(programmer.unit, 612, receiver.id);
    open_radio_monitor(radio_window_states(app()), true);
    AppState& a = app();
    GtkWidget* w = a.radio.monitor_window;
    ASSERT_NE(w, nullptr);
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(w)), "Radio monitor");
    receiver.taught = {3};
    receiver.press_remote(3);
    passes(5);
    EXPECT_EQ(visible_labels(w, "Radio monitor\nRemote No. 3"), 1);
    EXPECT_FALSE(test::save_screenshot(w, "radio_monitor").empty());

    close_radio_monitor(radio_window_states(app()));
    EXPECT_EQ(a.radio.monitor_window, nullptr);
}

TEST_F(RadioWindows, ProgressWindowDuringAPackageUpdate)
{
    module.chipset = 1;
    test::ZipFolder z;
    const auto image = test::random_bytes(12000, 3);
    z.write("app.bin", image);
    z.write("app.dat", sim::sim_init_packet(image));
    z.write("manifest.json", test::kManifest);
    z.zip("fw.zip", "manifest.json app.bin app.dat");

    std::string shot;
    std::string bar_text;
    platform::set_event_pump([&] {
        test::pump_gtk(1);
        GtkWidget* bar = radio_progress_bar();
        if (!shot.empty() || !bar || gtk_progress_bar_get_fraction(GTK_PROGRESS_BAR(bar)) < 0.5)
            return;
        bar_text = gtk_progress_bar_get_text(GTK_PROGRESS_BAR(bar));
        shot = test::save_screenshot(radio_progress_window(), "radio_progress");
    });
    update_radio_firmware_with(radio_window_states(app()), z.path("fw.zip").string());
    EXPECT_FALSE(shot.empty());
    EXPECT_EQ(bar_text.back(), '%');
    EXPECT_EQ(radio_progress_window(), nullptr);
    EXPECT_EQ(module.dfu.image, image);
    EXPECT_EQ(message_text(), "Successfully programmed device.");

    // A file that is no package: nothing is sent.
    close_message_window();
    z.write("bad.zip", std::string(2000, 'x'));
    const auto writes = module.dfu.writes;
    update_radio_firmware_with(radio_window_states(app()), z.path("bad.zip").string());
    EXPECT_EQ(message_text(), "File corrupted!");
    EXPECT_EQ(module.dfu.writes, writes);
}

TEST_F(RadioWindows, WirelessUpdate)
{
    AppState& a = app();
    const auto now = [] { return platform::now_ms(); };

    // Chipset 0 cannot do it.
    module.chipset = 0;
    update_radio_firmware_wireless(radio_window_states(app()));
    EXPECT_EQ(message_text(), "Update over wireless transmission not supported\non this hardware.");
    EXPECT_FALSE(module.radio_mode);
    close_message_window();

    // No boot mode: the failure is told only while the radio module window
    // is open.
    module.chipset = 1;
    module.confirm_boot = false;
    update_radio_firmware_wireless(radio_window_states(app()));
    EXPECT_EQ(widget_state().message_window, nullptr);
    a.radio.window_open = true;
    update_radio_firmware_wireless(radio_window_states(app()));
    a.radio.window_open = false;
    EXPECT_EQ(message_text(), "radio module communication error.");
    close_message_window();
    module.confirm_boot = true;

    // Left alone, the message closes itself after five minutes; the unit is
    // kept in radio mode meanwhile.
    int enters = module.enters;
    auto start = now();
    update_radio_firmware_wireless(radio_window_states(app()));
    EXPECT_GE(now() - start, 300000);
    EXPECT_LT(now() - start, 305000); // the boot-mode switch comes first
    EXPECT_EQ(widget_state().message_window, nullptr);
    EXPECT_GT(module.enters - enters, 10 * 100) << "keep-alives all along";
    EXPECT_FALSE(module.radio_mode);

    // A keep-alive that finds the module busy ends the update with its
    // message: the second one (pass 64), after the first and the opening.
    module.busy_access_after = 20;
    module.busy_access = 10;
    start = now();
    update_radio_firmware_wireless(radio_window_states(app()));
    EXPECT_LT(now() - start, 20000); // ten busy cycles of a second each at most
    EXPECT_EQ(message_text(), "Radio module used with remote commands.");
    EXPECT_FALSE(module.radio_mode);
}

} // namespace
} // namespace tq
