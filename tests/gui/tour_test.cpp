// A tour of every window a fitter meets, in several languages, on the
// simulated unit: the main window with each settings page, the console,
// the signal monitor, the event memory, the diagnostics, the additional
// modules with the radio module, AUX-FORTIN and a module test window, the
// firmware progress window and the remote-access window. Each window is
// photographed to build/screenshots/tour/<language>/ for a person to look
// at, and checked for what a person would see wrong: a window that does not
// fit on the screen, text cut off by its label, button or list, a value cut
// off by its field.
//
// Rerun just the tour with
//   xvfb-run -a -s "-screen 0 1280x1024x24" build/tests/test_gui --gtest_filter='Tour*'
#include "app/app_state.h"
#include "app/main_window.h"
#include "app/wiring.h"
#include "config/settings_pages.h"
#include "connection/connection.h"
#include "firmware/firmware_fixture.h"
#include "firmware/firmware_update_dialog.h"
#include "gui/main_window_rig.h"
#include "modules/aux_window.h"
#include "modules/module_test_window.h"
#include "modules/modules_state.h"
#include "radio/radio_window.h"
#include "monitor/console_window.h"
#include "platform/clock.h"
#include "support/temp_folder.h"
#include "text/texts.h"
#include "widgets/kit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

namespace tq {
namespace {

using test::button_text;
using test::each_widget;

// The visible buttons under root captioned t, in building order.
std::vector<GtkWidget*> buttons_captioned(GtkWidget* root, const std::string& t)
{
    std::vector<GtkWidget*> found;
    each_widget(root, [&](GtkWidget* w) {
        if (GTK_IS_BUTTON(w) && gtk_widget_get_mapped(w) && button_text(w) == t)
            found.push_back(w);
    });
    return found;
}

std::vector<GtkWidget*> visible_toplevels()
{
    std::vector<GtkWidget*> out;
    GList* all = gtk_window_list_toplevels();
    for (GList* l = all; l; l = l->next) {
        GtkWidget* w = GTK_WIDGET(l->data);
        if (gtk_widget_get_mapped(w) && gtk_window_get_window_type(GTK_WINDOW(w)) ==
                                            GTK_WINDOW_TOPLEVEL)
            out.push_back(w);
    }
    g_list_free(all);
    return out;
}

// The widget or one of its parents shows t when pointed at.
bool tooltip_is(GtkWidget* w, const std::string& t)
{
    for (; w; w = gtk_widget_get_parent(w)) {
        gchar* tip = gtk_widget_get_tooltip_text(w);
        const bool same = tip && t == tip;
        g_free(tip);
        if (same)
            return true;
    }
    return false;
}

// What a person would find wrong in a window as it is on the screen.
std::vector<std::string> layout_faults(GtkWidget* window)
{
    std::vector<std::string> faults;
    const char* title = gtk_window_get_title(GTK_WINDOW(window));
    const std::string where = std::string("\"") + (title ? title : "") + "\": ";

    GdkRectangle frame;
    gdk_window_get_frame_extents(gtk_widget_get_window(window), &frame);
    GdkScreen* screen = gtk_widget_get_screen(window);
    if (frame.x < 0 || frame.y < 0 || frame.x + frame.width > gdk_screen_get_width(screen) ||
        frame.y + frame.height > gdk_screen_get_height(screen))
        faults.push_back(where + "window " + std::to_string(frame.width) + "x" +
                         std::to_string(frame.height) + "+" + std::to_string(frame.x) + "+" +
                         std::to_string(frame.y) + " is not wholly on the screen");

    each_widget(window, [&](GtkWidget* w) {
        if (!gtk_widget_get_mapped(w))
            return;
        const GtkAllocation& a = w->allocation;
        if (GTK_IS_LABEL(w)) {
            GtkLabel* label = GTK_LABEL(w);
            const std::string t = gtk_label_get_text(label);
            if (t.empty())
                return;
            PangoLayout* layout = gtk_label_get_layout(label);
            PangoRectangle ink, logical;
            pango_layout_get_pixel_extents(layout, &ink, &logical);
            const int xpad = GTK_MISC(w)->xpad, ypad = GTK_MISC(w)->ypad;
            // Text cut off vertically loses the tops or bottoms of its
            // letters: the line is centred, so half the shortfall goes at
            // either end.
            const int cut = (logical.height - (a.height - 2 * ypad) + 1) / 2;
            const bool cut_off = logical.width > a.width - 2 * xpad + 1 ||
                                 (cut > 0 && (cut > ink.y ||
                                              cut > logical.height - ink.y - ink.height));
            if (pango_layout_is_ellipsized(layout)) {
                // Shortened text is fine where the whole shows on pointing.
                if (!tooltip_is(w, t))
                    faults.push_back(where + "label \"" + t + "\" is shortened with an ellipsis");
            } else if (cut_off) {
                faults.push_back(where + "label \"" + t + "\" needs " +
                                 std::to_string(logical.width) + "x" +
                                 std::to_string(logical.height) + " but has " +
                                 std::to_string(a.width) + "x" + std::to_string(a.height));
            }
        } else if (GTK_IS_CELL_VIEW(w)) {
            // The shown row of a drop-down list (its cell keeps 2 pixels
            // each side).
            GtkWidget* combo = gtk_widget_get_ancestor(w, GTK_TYPE_COMBO_BOX);
            gchar* active = combo ? gtk_combo_box_get_active_text(GTK_COMBO_BOX(combo)) : nullptr;
            const std::string t = active ? active : "";
            g_free(active);
            if (t.empty())
                return;
            PangoLayout* layout = gtk_widget_create_pango_layout(w, t.c_str());
            int width = 0, height = 0;
            pango_layout_get_pixel_size(layout, &width, &height);
            g_object_unref(layout);
            if (width + 4 > a.width + 1 && !tooltip_is(combo, t))
                faults.push_back(where + "list shows \"" + t + "\" in " + std::to_string(a.width) +
                                 " of the " + std::to_string(width + 4) + " pixels it needs");
        } else if (GTK_IS_ENTRY(w)) {
            const std::string t = gtk_entry_get_text(GTK_ENTRY(w));
            if (t.empty() || !gtk_entry_get_visibility(GTK_ENTRY(w)))
                return;
            int width = 0, height = 0;
            pango_layout_get_pixel_size(gtk_entry_get_layout(GTK_ENTRY(w)), &width, &height);
            // The frame and the inner border take a few pixels each side.
            const int room = a.width - 2 * (w->style->xthickness + 2);
            if (width > room)
                faults.push_back(where + "field shows \"" + t + "\" in " + std::to_string(room) +
                                 " of the " + std::to_string(width) + " pixels it needs");
        }
    });
    return faults;
}

struct Tour : ::testing::TestWithParam<const char*> {
    void SetUp() override
    {
        code = GetParam();
        TextState& t = text_state();
        t.language_index = find_language(code);
        ASSERT_GE(t.language_index, 0);
        t.texts = kLanguages[std::size_t(t.language_index)].table;
        t.language_code = code;

        test::ensure_gtk();
        create_fonts();
        platform::set_event_pump([] { test::pump_gtk(1); });
        folder = std::string(TQ_BINARY_DIR) + "/screenshots/tour/" + code;
        g_mkdir_with_parents(folder.c_str(), 0755);

        rig = std::make_unique<test::MainWindowRig>();
    }
    void TearDown() override
    {
        AppState& a = app();
        close_tool_windows(a);
        if (a.shell.main_window)
            gtk_widget_destroy(a.shell.main_window);
        a.shell.main_window = nullptr;
        rig.reset();
        platform::set_event_pump(nullptr);
        text_state() = TextState{};
        test::pump_gtk(2);
    }

    void run(int iterations) { rig->run(iterations); }

    // Photographs a window and notes what is wrong with it.
    void shoot(GtkWidget* window, const std::string& name)
    {
        ASSERT_NE(window, nullptr) << name;
        test::pump_gtk(3);
        char numbered[64];
        std::snprintf(numbered, sizeof numbered, "%02d-", ++shots);
        const std::string file = "tour/" + code + "/" + numbered + name;
        EXPECT_FALSE(test::save_screenshot(window, file).empty()) << file;
        for (const std::string& f : layout_faults(window))
            faults.push_back(name + " " + f);
        g_object_set_data(G_OBJECT(window), "tour-seen", window);
    }
    // Photographs every window that has come up since the last look.
    void shoot_new(const std::string& name)
    {
        int n = 0;
        for (GtkWidget* w : visible_toplevels())
            if (!g_object_get_data(G_OBJECT(w), "tour-seen"))
                shoot(w, name + (n++ ? "-" + std::to_string(n) : ""));
    }
    void forget(GtkWidget* window) { g_object_set_data(G_OBJECT(window), "tour-seen", nullptr); }

    void click(GtkWidget* root, int caption, std::size_t which = 0)
    {
        const auto found = buttons_captioned(root, text(caption));
        ASSERT_GT(found.size(), which) << "no button \"" << text(caption) << "\"";
        gtk_button_clicked(GTK_BUTTON(found[which]));
        test::pump_gtk(3);
    }

    std::string code;
    std::string folder;
    int shots = 0;
    std::vector<std::string> faults;
    test::TempFolder files;
    std::unique_ptr<test::MainWindowRig> rig;
};

TEST_P(Tour, EveryWindowFitsAndShowsTheUnit)
{
    AppState& a = app();
    GtkWidget* main = a.shell.main_window;
    // Plugged in, but this user may not open it: the status rows say so
    // and name the fix.
    rig->programmer->openable = false;
    run(3);
    EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(a.shell.status_label)),
                 text(kTextProgrammerNoAccess));
    EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(a.shell.serial_label)),
                 text(kTextProgrammerAccessFix));
    shoot(main, "main-programmer-no-access");
    EXPECT_FALSE(GTK_WIDGET_VISIBLE(
        gtk_scrolled_window_get_hscrollbar(GTK_SCROLLED_WINDOW(a.shell.main_scroller))))
        << "the status rows fit the window";
    forget(main);
    rig->programmer->openable = true;

    run(2);
    EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(a.shell.serial_label)), "");
    shoot(main, "main-searching");
    forget(main);

    for (int i = 0; i < 100 && a.connection.state != kConnected; ++i)
        loop_iteration(a);
    ASSERT_EQ(a.connection.state, kConnected);
    run(20);
    ASSERT_NE(a.config.pages, nullptr);
    GtkNotebook* notebook = GTK_NOTEBOOK(a.config.pages->notebook);
    for (int page = 0; page < gtk_notebook_get_n_pages(notebook); ++page) {
        gtk_notebook_set_current_page(notebook, page);
        test::pump_gtk(3);
        forget(main);
        shoot(main, "settings-" + std::to_string(page + 1));
    }
    gtk_notebook_set_current_page(notebook, 0);

    // The simulated unit reports its status every second and sends a text
    // every three: let some seconds pass in each window.
    open_console_window(a.monitor);
    run(1000);
    shoot_new("console");
    close_console_window(a.monitor);

    click(main, kTextSignalMonitor);
    run(40);
    shoot_new("signal-monitor");
    click(main, kTextEventMemory);
    run(40);
    shoot_new("event-memory");
    click(main, kTextDiagnostics);
    run(300);
    shoot_new("diagnostics");
    close_tool_windows(a);
    run(2);

    click(main, kTextAdditionalModules);
    run(20);
    shoot_new("additional-modules");
    GtkWidget* modules = a.modules.window;
    ASSERT_NE(modules, nullptr);

    // The radio module's "Configure", AUX-FORTIN's "Test", and the "Test"
    // of the first TQ001 cut-off module, as a fitter clicks them, one
    // window at a time.
    const std::pair<int, const char*> rows[] = {{kRowBrevan, "radio-module"},
                                                {kRowAuxFortin, "aux-fortin"},
                                                {kRowTq001First, "tq001-test"}};
    for (const auto& [row, name] : rows) {
        GtkWidget* action = a.modules.row_widgets[std::size_t(row)].action;
        ASSERT_NE(action, nullptr) << name;
        EXPECT_TRUE(gtk_widget_is_sensitive(action)) << name;
        if (!gtk_widget_is_sensitive(action))
            continue;
        gtk_button_clicked(GTK_BUTTON(action));
        run(40);
        shoot_new(name);
        close_radio_window(radio_window_states(app()));
        close_aux_window(app().modules);
        close_module_test_windows(app().modules);
        run(2);
    }
    close_tool_windows(a);
    run(2);

    // A firmware update from a file, photographed half-way.
    const std::string file = files.write_bytes("new.bin", test::firmware_file(40'000));
    // The program's host, with the file dialog answered.
    struct Host : ProgramFirmwareHost {
        using ProgramFirmwareHost::ProgramFirmwareHost;
        std::string file;
        std::optional<std::string> choose_file(const FirmwareWindowStates&) override { return file; }
    } host(a);
    host.file = file;
    bool photographed = false;
    platform::set_event_pump([&] {
        test::pump_gtk(1);
        FirmwareState& fw = app().firmware;
        if (!photographed && fw.progress_bar &&
            gtk_progress_bar_get_fraction(GTK_PROGRESS_BAR(fw.progress_bar)) >= 0.5) {
            photographed = true;
            shoot(fw.progress_window, "firmware-progress");
        }
    });
    // The fitter reads the closing message and closes it.
    struct Reader {
        Tour* tour;
        std::string read;
    } reader{this, {}};
    g_timeout_add(
        5,
        [](gpointer data) -> gboolean {
            auto* r = static_cast<Reader*>(data);
            GtkWidget* m = widget_state().message_window;
            if (!m)
                return TRUE;
            r->tour->shoot(m, "firmware-done");
            r->read = test::message_text();
            close_message_window();
            return FALSE;
        },
        &reader);
    run_firmware_update(firmware_window_states(a, host), kFirmwareSwitch);
    platform::set_event_pump([] { test::pump_gtk(1); });
    const std::string ending = reader.read;
    EXPECT_EQ(ending, text(kTextProgrammedSuccessfully)); // "Successfully programmed device."
    EXPECT_TRUE(photographed);

    // The unit comes back with its new firmware.
    for (int i = 0; i < 200 && a.connection.state != kConnected; ++i)
        loop_iteration(a);
    ASSERT_EQ(a.connection.state, kConnected);

    open_remote_access(a);
    for (int i = 0; i < 50 && !(a.remote.window && gtk_widget_get_mapped(a.remote.window)); ++i)
        run(1);
    shoot_new("remote-access");
    EXPECT_NE(a.remote.window, nullptr);
    if (a.remote.window) {
        GdkEvent* del = gdk_event_new(GDK_DELETE);
        del->any.window = GDK_WINDOW(g_object_ref(a.remote.window->window));
        gtk_main_do_event(del);
        gdk_event_free(del);
    }
    run(2);

    // The messages of a Linux desktop, as the fitter reads them.
    const std::pair<std::string, const char*> messages[] = {
        {can_port_refused_message("/dev/ttyACM0", EACCES), "message-can-port-no-access"},
        {can_port_refused_message("/dev/ttyACM0", EBUSY), "message-can-port-busy"},
        {can_driver_message(), "message-can-driver-missing"},
        {textf(kTextInstallerSaved, "/home/fitter/Downloads/TQ512_TQ511_setup_3.64.0.exe"),
         "message-installer-saved"},
        {textf(kTextFolderUnreadable, "/home/fitter/firmware/new"), "message-folder-unreadable"},
    };
    for (const auto& [message, name] : messages) {
        show_message(message);
        run(2);
        ASSERT_NE(widget_state().message_window, nullptr) << name;
        EXPECT_EQ(test::message_text(), message) << name;
        GtkAllocation shown;
        gtk_widget_get_allocation(widget_state().message_window, &shown);
        EXPECT_LE(shown.width, 1010) << name << " is no wider than the main window";
        shoot_new(name);
        close_message_window();
        run(1);
    }

    std::string report;
    for (const std::string& f : faults)
        report += "  " + f + "\n";
    EXPECT_TRUE(faults.empty()) << faults.size() << " faults in " << code << ":\n" << report;
}

INSTANTIATE_TEST_SUITE_P(Languages, Tour, ::testing::Values("en", "de", "pl", "ru", "el"),
                         [](const auto& language) { return std::string(language.param); });

} // namespace
} // namespace tq
