// The firmware update's windows under Xvfb: the progress window, the whole
// update through its windows against the simulated unit, the file dialog
// that keeps the link serviced, and switching autoflash on.
#include "firmware/autoflash_dialog.h"
#include "firmware/file_chooser_dialog.h"
#include "firmware/firmware_progress_window.h"
#include "firmware/firmware_update_dialog.h"
#include "firmware/firmware_fixture.h"
#include "platform/clock.h"
#include "text/texts.h"
#include "widgets/kit.h"

#include "gui/gui_support.h"
#include "support/file_access.h"
#include "support/temp_folder.h"

#include <glib/gstdio.h>
#include <gtest/gtest.h>
#include <gdk/gdkkeysyms.h>
#include <gtk/gtk.h>

#include <functional>
#include <string>
#include <vector>

namespace tq {
namespace {

struct FirmwareGui : ::testing::Test {
    static void SetUpTestSuite()
    {
        test::ensure_gtk();
        create_fonts();
        platform::set_event_pump(run_pending_events); // as the program does at start
    }
    static void TearDownTestSuite() { platform::set_event_pump(nullptr); }
    void TearDown() override
    {
        close_message_window();
        run_pending_events();
    }
};

// The texts of every label under a widget, in order.
void collect_labels(GtkWidget* w, std::vector<std::string>& out)
{
    test::each_widget(w, [&](GtkWidget* x) {
        if (GTK_IS_LABEL(x))
            out.push_back(test::label_text(x));
    });
}

GtkWidget* find_toplevel(const char* title)
{
    GtkWidget* found = nullptr;
    GList* all = gtk_window_list_toplevels();
    for (GList* l = all; l; l = l->next) {
        const char* t = gtk_window_get_title(GTK_WINDOW(l->data));
        if (t && std::string(t) == title && gtk_widget_get_visible(GTK_WIDGET(l->data)))
            found = GTK_WIDGET(l->data);
    }
    g_list_free(all);
    return found;
}

// The program around the update, as a recorder: serves the file to write
// and counts the tool windows closed.
struct HostRecorder final : FirmwareHost {
    std::string file;
    int tool_windows_closed = 0;
    std::optional<std::string> choose_file(const FirmwareWindowStates&) override { return file; }
    void close_tool_windows() override { ++tool_windows_closed; }
    bool keep_configuration() override { return true; }
};

// The main window's key press, as the program connects it.
gboolean on_key(GtkWidget*, GdkEventKey* event, gpointer data)
{
    return autoflash_key_pressed(*static_cast<FirmwareWindowStates*>(data), event->keyval, event->state);
}

// The user picks a path in a file dialog and presses "Open" once the dialog
// shows it (the dialog loads folders in the background). Returns whether
// the user is still busy, as a timeout callback does.
bool pick(GtkWidget* dialog, const std::string& path, void (*choose)(GtkWidget*, const std::string&))
{
    static GtkWidget* asked = nullptr;
    static int waited = 0;
    if (asked != dialog) {
        asked = dialog;
        waited = 0;
        choose(dialog, path);
        return true;
    }
    gchar* shown = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(dialog));
    const bool there = shown && path == shown;
    g_free(shown);
    if (!there && ++waited < 4000) // up to 20 s: the chooser loads folders slowly on a busy machine
        return true;
    asked = nullptr;
    gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_ACCEPT);
    return false;
}

// The user: runs f every few milliseconds of real time while the code under
// test runs its event loops, until f returns false. (An idle source would
// keep events pending for ever.)
void act_as_user(std::function<bool()>* f)
{
    g_timeout_add(
        5, [](gpointer data) -> gboolean { return (*static_cast<std::function<bool()>*>(data))(); },
        f);
}

TEST_F(FirmwareGui, ProgressWindow)
{
    FirmwareState fw;
    open_progress_window(fw, nullptr);
    ASSERT_NE(fw.progress_window, nullptr);
    set_progress_label(fw, "Firmware TQ512 bootloader ver 1.2");
    set_progress_text(fw, "42%");
    set_progress_fraction(fw, 0.42);
    for (int i = 0; i < 50 && !gtk_widget_get_mapped(fw.progress_window); ++i) {
        run_pending_events();
        g_usleep(10'000);
    }
    run_pending_events();

    GtkWindow* w = GTK_WINDOW(fw.progress_window);
    EXPECT_STREQ(gtk_window_get_title(w), "Loading firmware... Please do not close this window!");
    EXPECT_TRUE(gtk_window_get_modal(w));
    EXPECT_FALSE(gtk_window_get_resizable(w));
    EXPECT_FALSE(gtk_window_get_deletable(w));
    for (GtkWidget* part : {fw.progress_label, fw.progress_bar}) {
        int width = 0, height = 0;
        gtk_widget_get_size_request(part, &width, &height);
        EXPECT_EQ(width, 600);
        EXPECT_EQ(height, 40);
    }
    EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(fw.progress_label)), "Firmware TQ512 bootloader ver 1.2");
    EXPECT_STREQ(gtk_progress_bar_get_text(GTK_PROGRESS_BAR(fw.progress_bar)), "42%");
    EXPECT_DOUBLE_EQ(gtk_progress_bar_get_fraction(GTK_PROGRESS_BAR(fw.progress_bar)), 0.42);

    // The window manager's close button does nothing.
    GdkEvent* del = gdk_event_new(GDK_DELETE);
    del->any.window = GDK_WINDOW(g_object_ref(fw.progress_window->window));
    gtk_main_do_event(del);
    gdk_event_free(del);
    run_pending_events();
    ASSERT_NE(fw.progress_window, nullptr);

    // A picture for a person to look at.
    GdkWindow* gw = fw.progress_window->window;
    int width = 0, height = 0;
    gdk_drawable_get_size(gw, &width, &height);
    GdkPixbuf* shot = gdk_pixbuf_get_from_drawable(nullptr, gw, nullptr, 0, 0, 0, 0, width, height);
    ASSERT_NE(shot, nullptr);
    EXPECT_GE(width, 600);
    gdk_pixbuf_save(shot, TQ_BINARY_DIR "/firmware_progress_window.png", "png", nullptr, nullptr);
    g_object_unref(shot);

    close_progress_window(fw);
    EXPECT_EQ(fw.progress_window, nullptr);
    EXPECT_EQ(fw.progress_bar, nullptr);
    run_pending_events();
}

TEST_F(FirmwareGui, WholeUpdateThroughItsWindows)
{
    test::SimUnit s;
    test::TempFolder dir;
    const std::string file = dir.write_bytes("new.bin", test::firmware_file(40'000));
    ASSERT_EQ(s.open(), OpenResult::Programmer);
    FirmwareState fw;
    GtkWidget* status = gtk_label_new("TQ512-0481");
    GtkWidget* hardware = gtk_label_new("(NORDAVEL TQ512)  ");
    GtkWidget* serial = gtk_label_new("Device serial number 220000004711");
    g_object_ref_sink(status);
    g_object_ref_sink(hardware);
    g_object_ref_sink(serial);
    HostRecorder host;
    host.file = file;
    FirmwareWindowStates states{s.link, fw};
    states.host = &host;
    states.status_label = status;
    states.hardware_label = hardware;
    states.serial_label = serial;

    // Watch the progress window each time the update lets events run, and
    // close the message it ends with.
    std::vector<std::string> bar_texts, message;
    bool saw_progress_window = false;
    platform::set_event_pump([&] {
        run_pending_events();
        if (fw.progress_window) {
            saw_progress_window = true;
            const char* t = gtk_progress_bar_get_text(GTK_PROGRESS_BAR(fw.progress_bar));
            if (t && (bar_texts.empty() || bar_texts.back() != t))
                bar_texts.push_back(t);
        }
    });
    std::function<bool()> user = [&] {
        if (GtkWidget* m = widget_state().message_window) {
            collect_labels(m, message);
            close_message_window();
            return false;
        }
        return true;
    };
    act_as_user(&user);

    EXPECT_EQ(run_firmware_update(states, kFirmwareSwitch), 1);
    platform::set_event_pump(run_pending_events);
    EXPECT_TRUE(saw_progress_window);
    EXPECT_EQ(fw.progress_window, nullptr);
    EXPECT_NE(std::find(message.begin(), message.end(), "Successfully programmed device."),
              message.end());
    EXPECT_NE(std::find(bar_texts.begin(), bar_texts.end(), "Erasing flash memory..."), bar_texts.end());
    EXPECT_NE(std::find(bar_texts.begin(), bar_texts.end(), "50%"), bar_texts.end());
    ASSERT_FALSE(bar_texts.empty());
    EXPECT_EQ(bar_texts.back(), "100%");
    EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(status)), "");
    EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(hardware)), "");
    EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(serial)), "");
    EXPECT_EQ(host.tool_windows_closed, 1);
    EXPECT_TRUE(s.bootloader.marker_valid());
    g_object_unref(status);
    g_object_unref(hardware);
    g_object_unref(serial);
}

TEST_F(FirmwareGui, FileDialogKeepsTheLinkServicedAndRemembersTheFolder)
{
    test::SimUnit s;
    ASSERT_EQ(s.open(), OpenResult::Programmer);
    test::TempFolder dir;
    const std::string file = dir.write_bytes("new.bin", test::firmware_file(10'000));
    for (int i = 0; i < 3; ++i)
        s.programmer.unit.send_text("tick");

    int passes = 0;
    std::function<bool()> user = [&] {
        GtkWidget* d = find_toplevel("Select firmware file");
        // The user takes a while; meanwhile the unit's texts must be taken in.
        if (!d || (s.programmer.polls_seen <= 3 && ++passes < 2000))
            return true;
        return pick(d, file, [](GtkWidget* c, const std::string& f) {
            gtk_file_chooser_set_filename(GTK_FILE_CHOOSER(c), f.c_str());
        });
    };
    act_as_user(&user);

    FileChooserRequest request;
    request.title = text(kTextSelectFirmwareFile);
    request.patterns = {"*.bin"};
    request.folder = dir.path();
    std::string remembered;
    const auto chosen = choose_file_polling(s.link, request, [&](const std::string& f) { remembered = f; });
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(*chosen, file);
    EXPECT_EQ(remembered, dir.path());
    EXPECT_EQ(s.console, "tick" "tick" "tick"); // what the unit said was taken in meanwhile
    EXPECT_GT(s.programmer.polls_seen, 3);
    EXPECT_EQ(find_toplevel("Select firmware file"), nullptr);
}

TEST_F(FirmwareGui, CancelledFileDialogReturnsNothing)
{
    test::SimUnit s;
    std::function<bool()> user = [&] {
        GtkWidget* d = find_toplevel("Select firmware file");
        if (!d)
            return true;
        gtk_dialog_response(GTK_DIALOG(d), GTK_RESPONSE_CANCEL);
        return false;
    };
    act_as_user(&user);
    FileChooserRequest request;
    request.title = text(kTextSelectFirmwareFile);
    bool remembered = false;
    EXPECT_FALSE(choose_file_polling(s.link, request, [&](const std::string&) { remembered = true; }));
    EXPECT_FALSE(remembered);
}

TEST_F(FirmwareGui, KeyCombinationSwitchesAutoflashOn)
{
    platform::ScopedVirtualClock clock;
    test::TempFolder dir;
    dir.write_bytes("present.bin", test::firmware_file(10'000));
    LinkState link;
    FirmwareState fw;
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    GtkWidget* mode = gtk_label_new("");
    gtk_container_add(GTK_CONTAINER(window), mode);
    test::TempFolder profile;
    PrefsState prefs;
    prefs.folder = profile.path();
    FirmwareWindowStates states{link, fw, &prefs};
    states.main_window = window;
    states.mode_label = mode;
    g_signal_connect(window, "key_press_event", G_CALLBACK(on_key), &states);
    gtk_widget_show_all(window);

    std::function<bool()> user = [&] {
        GtkWidget* d = find_toplevel("Wybierz katalog");
        if (!d)
            return true;
        return pick(d, dir.path(), [](GtkWidget* c, const std::string& f) {
            gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(c), f.c_str());
        });
    };
    act_as_user(&user);

    auto press = [&](guint key, guint state) {
        GdkEvent* e = gdk_event_new(GDK_KEY_PRESS);
        e->key.window = GDK_WINDOW(g_object_ref(window->window));
        e->key.keyval = key;
        e->key.state = state;
        gboolean handled = FALSE;
        g_signal_emit_by_name(window, "key_press_event", e, &handled);
        gdk_event_free(e);
        return handled;
    };
    EXPECT_FALSE(press(GDK_f, GDK_CONTROL_MASK)); // passed on
    EXPECT_TRUE(fw.autoflash_folder.empty());
    EXPECT_TRUE(press(GDK_F, GDK_CONTROL_MASK | GDK_MOD1_MASK | GDK_SHIFT_MASK));
    EXPECT_EQ(fw.autoflash_folder, dir.path());
    EXPECT_EQ(prefs.firmware_folder, dir.path());
    EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(mode)), "AUTOFLASH");
    EXPECT_GT(fw.newest_file_time, 1); // the file already there is recorded, not written
    EXPECT_EQ(fw.autoflash_file, dir.path() + "/present.bin");
    gtk_widget_destroy(window);
    run_pending_events();
}

// A folder typed into the dialog that is not there, or one this user may
// not read, would be watched in vain: it is refused, and said so.
TEST_F(FirmwareGui, AFolderThatCannotBeWatchedIsRefused)
{
    platform::ScopedVirtualClock clock;
    test::TempFolder dir;
    dir.make_folder("locked");
    const std::string locked = dir / "locked";
    ASSERT_EQ(g_chmod(locked.c_str(), 0), 0);
    LinkState link;
    FirmwareState fw;
    GtkWidget* mode = gtk_label_new("");
    g_object_ref_sink(mode);
    test::TempFolder profile;
    PrefsState prefs;
    prefs.folder = profile.path();
    FirmwareWindowStates states{link, fw, &prefs};
    states.mode_label = mode;

    test::FilePermissionsApply permissions;
    for (const std::string& folder : {dir / "typed-but-missing", locked, dir / "file.bin"}) {
        if (folder.ends_with(".bin"))
            dir.write_bytes("file.bin", test::firmware_file(100));
        EXPECT_FALSE(start_autoflash(states, folder)) << folder;
        EXPECT_EQ(test::message_text(), textf(kTextFolderUnreadable, folder.c_str())) << folder;
        close_message_window();
        EXPECT_TRUE(fw.autoflash_folder.empty());
        EXPECT_TRUE(prefs.firmware_folder.empty());
        EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(mode)), "");
    }
    EXPECT_TRUE(start_autoflash(states, dir.path()));
    EXPECT_EQ(fw.autoflash_folder, dir.path());
    EXPECT_EQ(prefs.firmware_folder, dir.path());
    EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(mode)), "AUTOFLASH");
    EXPECT_EQ(widget_state().message_window, nullptr);
    g_chmod(locked.c_str(), 0700);
    g_object_unref(mode);
}

} // namespace
} // namespace tq
