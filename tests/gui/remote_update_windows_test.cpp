// The remote-access window and the update check's progress window as a
// fitter sees them, with a relay and an update server on 127.0.0.1.
#include "app/app_state.h"
#include "app/wiring.h"
#include "gui/gui_support.h"
#include "monitor/console.h"
#include "link/can_analyzer.h"
#include "platform/clock.h"
#include "remote/relay.h"
#include "remote/remote_window.h"
#include "sim/can_analyzer_unit.h"
#include "support/loopback.h"
#include "support/sim_link.h"
#include "support/temp_folder.h"
#include "update/update_window.h"
#include "widgets/kit.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tq {
namespace {

using test::button_text;
using test::label_text;

struct RemoteWindowRig {
    RemoteWindowRig()
    {
        test::ensure_gtk();
        create_fonts();
        main_window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
        gtk_widget_show(main_window);
        sim.open();
        relay.host = server.host();
    }
    ~RemoteWindowRig()
    {
        close_remote_access_window(context);
        gtk_widget_destroy(main_window);
        close_message_window();
        server.join();
    }

    test::LoopbackServer server;
    test::SimLink sim;
    RelayState relay;
    RadioState radio;
    FirmwareState firmware;
    GtkWidget* main_window = nullptr;
    // Counts what the window asks of the program.
    struct Host final : RemoteAccessHost {
        void close_tool_windows() override { ++tool_windows_closed; }
        void clear_console() override { ++console_cleared; }
        int tool_windows_closed = 0;
        int console_cleared = 0;
    } host;
    RemoteAccessContext context{relay, sim.link, radio, firmware, nullptr, &host};
};

TEST(RemoteWindow, TakesOverFromTheMainWindowAndConnects)
{
    RemoteWindowRig r;
    r.context.main_window = r.main_window;
    open_remote_access_window(r.context);
    ASSERT_NE(r.relay.window, nullptr);
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(r.relay.window)), "Remote access");
    EXPECT_FALSE(gtk_window_get_resizable(GTK_WINDOW(r.relay.window)));
    EXPECT_FALSE(gtk_widget_get_visible(r.main_window));
    EXPECT_FALSE(r.sim.link.open());
    EXPECT_TRUE(r.sim.link.return_text_frames);
    EXPECT_EQ(r.host.tool_windows_closed, 1);
    EXPECT_EQ(r.host.console_cleared, 1);
    EXPECT_EQ(button_text(r.relay.toggle), "Connect");
    EXPECT_FALSE(gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(r.relay.reconnect_check)));
    // A second open changes nothing.
    open_remote_access_window(r.context);
    EXPECT_EQ(r.host.tool_windows_closed, 1);

    std::string password, bye;
    r.server.run([&](test::LoopbackServer& srv) {
        auto c = srv.accept();
        password = c.read_line();
        c.send("OK");
        c.send("@H");
        c.read_exactly(2);
        c.wait_closed(5000, &bye);
    });
    gtk_entry_set_text(GTK_ENTRY(r.relay.password_entry), "secret");
    gtk_button_clicked(GTK_BUTTON(r.relay.toggle));
    EXPECT_EQ(button_text(r.relay.toggle), "Disconnect");
    EXPECT_TRUE(gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(r.relay.toggle)));
    EXPECT_EQ(label_text(r.relay.connection_label), "Connected to Arvenco server.");
    for (int i = 0; i < 1000 && !r.sim.link.open(); ++i) // each step waits at most 10 ms
        remote_access_step(r.context);
    EXPECT_EQ(label_text(r.relay.device_label), "Remote access active: M.");
    test::save_screenshot(r.relay.window, "remote_access_connected");

    // The user's disconnect: the relay hears "@!", the window resets. The
    // CAN-analyzer port is let go only with the window.
    sim::Pty pty;
    sim::SysfsTree tree;
    tree.add_usb_device("1-2", "12aa", "4f58", {"ttyACM0"});
    tree.point_dev("ttyACM0", pty.slave_name());
    SerialState& serial = r.sim.link.serial;
    serial.sysfs_root = tree.root();
    serial.dev_root = tree.dev();
    find_can_analyzer_port(serial, {});
    ASSERT_EQ(serial.can_port_state, kCanPortOpen);
    gtk_button_clicked(GTK_BUTTON(r.relay.toggle));
    r.server.join();
    EXPECT_EQ(password, "secret\n");
    EXPECT_EQ(bye, "@!");
    EXPECT_EQ(button_text(r.relay.toggle), "Connect");
    EXPECT_EQ(label_text(r.relay.connection_label), "");
    EXPECT_EQ(label_text(r.relay.device_label), "");
    EXPECT_EQ(r.relay.reconnect_countdown, kNoReconnect);
    EXPECT_EQ(serial.can_port_state, kCanPortOpen);

    close_remote_access_window(r.context);
    EXPECT_EQ(serial.can_port_state, kCanPortNone);
    EXPECT_EQ(r.relay.window, nullptr);
    EXPECT_TRUE(gtk_widget_get_visible(r.main_window));
    EXPECT_FALSE(r.sim.link.return_text_frames);
}

TEST(RemoteWindow, AFailedAttemptShowsWhyAndTurnsTheToggleBack)
{
    RemoteWindowRig r;
    r.relay.host = "127.0.0.1:" + std::to_string(test::closed_port());
    open_remote_access_window(r.context);
    gtk_button_clicked(GTK_BUTTON(r.relay.toggle));
    EXPECT_FALSE(gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(r.relay.toggle)));
    EXPECT_EQ(button_text(r.relay.toggle), "Connect");
    ASSERT_NE(widget_state().message_window, nullptr);
    EXPECT_EQ(r.relay.reconnect_countdown, kReconnectSteps);

    // With the box ticked the countdown turns the toggle on by itself; that
    // attempt fails silently and starts the countdown again.
    close_message_window();
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(r.relay.reconnect_check), TRUE);
    platform::ScopedVirtualClock clock;
    for (int i = 0; i < 301; ++i)
        remote_access_step(r.context);
    EXPECT_EQ(widget_state().message_window, nullptr);
    EXPECT_EQ(r.relay.reconnect_countdown, kReconnectSteps);
    EXPECT_FALSE(gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(r.relay.toggle)));
}

// The Tools menu's action as wired into the program: the console is emptied
// and its log file closed, text frames go to the relay, the window's
// closing gives everything back.
TEST(RemoteWindow, TheProgramsMenuActionEmptiesTheConsole)
{
    test::ensure_gtk();
    create_fonts();
    test::TempFolder folder;
    AppState& a = app();
    a.prefs.folder = folder.path(); // nothing of the real home folder
    wire_subsystems(a);
    ConsoleState& console = a.monitor.console;
    console_log(console, "before remote access\n", true);
    ASSERT_TRUE(console_open_log(console, folder / "log.txt", ""));
    console_log(console, "logged\n", true);
    ASSERT_FALSE(console.store.empty());

    open_remote_access(a); // as the Tools menu does
    ASSERT_NE(a.remote.window, nullptr);
    EXPECT_TRUE(console.store.empty());
    EXPECT_EQ(console.log_file, nullptr);
    EXPECT_TRUE(a.link.return_text_frames);

    // What comes later is not written to the closed log.
    console_log(console, "after\n", true);
    gchar* text = nullptr;
    ASSERT_TRUE(g_file_get_contents((folder / "log.txt").c_str(), &text, nullptr, nullptr));
    EXPECT_NE(std::string(text).find("logged"), std::string::npos);
    EXPECT_EQ(std::string(text).find("after"), std::string::npos);
    g_free(text);

    // The window's close button.
    GdkEvent* close = gdk_event_new(GDK_DELETE);
    close->any.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(a.remote.window)));
    gboolean handled = FALSE;
    g_signal_emit_by_name(a.remote.window, "delete-event", close, &handled);
    gdk_event_free(close);
    EXPECT_EQ(a.remote.window, nullptr);

    EXPECT_FALSE(a.link.return_text_frames);
}

std::string http_answer(const std::string& body)
{
    return "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

// Answers what the check asks, once each dialog is up: "Yes" to the
// question, and "Save" in the save dialog as it was offered. A file chooser
// may not take the answer before it has read its folder, so it is answered
// again on every tick while it is open.
struct FitterAnswers {
    int answered = 0;
    std::string chooser_title, chooser_folder, chooser_name;
};

gboolean answer_dialogs(gpointer data)
{
    auto* f = static_cast<FitterAnswers*>(data);
    GList* windows = gtk_window_list_toplevels();
    for (GList* l = windows; l; l = l->next) {
        GtkWidget* w = GTK_WIDGET(l->data);
        if (!GTK_IS_DIALOG(w) || !gtk_widget_get_visible(w))
            continue;
        const bool chooser = GTK_IS_FILE_CHOOSER(w);
        if (g_object_get_data(G_OBJECT(w), "answered")) {
            if (chooser)
                gtk_dialog_response(GTK_DIALOG(w), GTK_RESPONSE_ACCEPT);
            continue;
        }
        if (chooser) {
            // The chooser fills in its folder and name while it loads the
            // folder; on a busy machine that takes more than one tick. Look
            // again on the next one, but never wait for ever.
            gchar* shown = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(w));
            g_free(shown);
            const auto ticks = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(w), "ticks")) + 1;
            g_object_set_data(G_OBJECT(w), "ticks", GINT_TO_POINTER(ticks));
            if (!shown && ticks < 100)
                continue;
            f->chooser_title = gtk_window_get_title(GTK_WINDOW(w));
            gchar* folder = gtk_file_chooser_get_current_folder(GTK_FILE_CHOOSER(w));
            f->chooser_folder = folder ? folder : "";
            g_free(folder);
            gchar* file = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(w));
            gchar* name = file ? g_path_get_basename(file) : nullptr;
            f->chooser_name = name ? name : "";
            g_free(name);
            g_free(file);
        }
        g_object_set_data(G_OBJECT(w), "answered", w);
        gtk_dialog_response(GTK_DIALOG(w), GTK_RESPONSE_ACCEPT);
        ++f->answered;
    }
    g_list_free(windows);
    return G_SOURCE_CONTINUE;
}

TEST(UpdateWindow, ProgressWindowThroughCheckAndDownload)
{
    test::ensure_gtk();
    create_fonts();
    test::TempFolder folder;
    test::LoopbackServer server;
    const std::string installer(200000, 'I');
    server.run([&](test::LoopbackServer& srv) {
        const std::string answers[] = {http_answer("VERSION 3.64.2"), http_answer(installer)};
        for (const std::string& a : answers) {
            auto c = srv.accept();
            c.read_request();
            for (std::size_t at = 0; at < a.size(); at += 20000) {
                c.send(a.substr(at, 20000));
                g_usleep(20000);
            }
        }
    });

    UpdateState s;
    s.host = server.host();
    s.download_folder = folder.path();

    // Look at the window as the check goes: on the way to the version, and
    // half way through the download.
    std::vector<std::string> shots;
    platform::set_event_pump([&] {
        while (gtk_events_pending())
            gtk_main_iteration();
        if (!s.progress_bar)
            return;
        const std::string bar = gtk_progress_bar_get_text(GTK_PROGRESS_BAR(s.progress_bar));
        const double f = gtk_progress_bar_get_fraction(GTK_PROGRESS_BAR(s.progress_bar));
        if (bar == "Checking for available version." && f > 0.5 && shots.empty()) {
            EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(s.progress_window)),
                         "Checking for updates...");
            shots.push_back(test::save_screenshot(s.progress_window, "update_checking"));
        }
        if (bar == "Downloading update..." && f > 0.4 && shots.size() == 1)
            shots.push_back(test::save_screenshot(s.progress_window, "update_downloading"));
    });
    FitterAnswers answers;
    const guint answering = g_timeout_add(50, answer_dialogs, &answers);

    const UpdateOutcome out = check_for_update(s);
    g_source_remove(answering);
    platform::set_event_pump([] {
        while (gtk_events_pending())
            gtk_main_iteration();
    });
    server.join();
    ASSERT_EQ(out.result, UpdateResult::installer_saved) << out.text;
    // Saved where the fitter said, under the server's name, starting from
    // the Downloads folder; told where; nothing else left in the folder.
    EXPECT_EQ(answers.answered, 2);
    EXPECT_EQ(answers.chooser_title, "Save program installer");
    EXPECT_EQ(answers.chooser_folder, folder.path());
    EXPECT_EQ(answers.chooser_name, "TQ512_TQ511_setup_3.64.0.exe");
    const std::string saved = folder / "TQ512_TQ511_setup_3.64.0.exe";
    EXPECT_EQ(out.installer, saved);
    EXPECT_EQ(out.text, "Program installer saved:\n" + saved);
    gchar* content = nullptr;
    gsize length = 0;
    ASSERT_TRUE(g_file_get_contents(saved.c_str(), &content, &length, nullptr));
    EXPECT_EQ(std::string(content, length), installer);
    g_free(content);
    GDir* dir = g_dir_open(folder.path().c_str(), 0, nullptr);
    int entries = 0;
    while (g_dir_read_name(dir))
        ++entries;
    g_dir_close(dir);
    EXPECT_EQ(entries, 1);
    EXPECT_EQ(s.progress_window, nullptr);
    ASSERT_EQ(shots.size(), 2u);
    EXPECT_FALSE(shots[0].empty());
    EXPECT_FALSE(shots[1].empty());
}

} // namespace
} // namespace tq
