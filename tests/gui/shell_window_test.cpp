// The main window as a fitter sees it: title, status rows, the Language and
// Themes menus, a chosen theme applied at start, unplugging, and the
// single-instance rule of the real program.
#include "app/app_state.h"
#include "app/main_window.h"
#include "app/menus_window.h"
#include "app/wiring.h"
#include "config/pin_dialog.h"
#include "config/settings_pages.h"
#include "gui/main_window_rig.h"
#include "gui/x_selection.h"
#include "modules/modules_window.h"
#include "prefs/themes.h"
#include "remote/relay_fixture.h"
#include "sim/can_analyzer_unit.h"
#include "sim/demo.h"
#include "support/temp_folder.h"
#include "text/texts.h"
#include "widgets/kit.h"

#include <glib/gstdio.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <functional>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace tq {
namespace {

using test::button_text;
using test::label_text;

std::vector<std::string> submenu_labels(GtkWidget* item)
{
    std::vector<std::string> labels;
    GtkWidget* menu = gtk_menu_item_get_submenu(GTK_MENU_ITEM(item));
    GList* children = gtk_container_get_children(GTK_CONTAINER(menu));
    for (GList* l = children; l; l = l->next)
        labels.push_back(label_text(gtk_bin_get_child(GTK_BIN(l->data))));
    g_list_free(children);
    return labels;
}

// The main window on an unplugged programmer with the given unit behind it.
struct MainWindow : test::MainWindowRig {
    explicit MainWindow(const sim::UnitIdentity& unit)
        : MainWindowRig([&](sim::Programmer& p) {
              p.unit.identity = unit;
              p.plugged = false;
          })
    {
    }
};

TEST(MainWindow, SearchesIdentifiesAndSearchesAgainAfterUnplug)
{
    MainWindow w({512, 4, 30, 6, 11, 1234});
    ShellState& s = app().shell;
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(s.main_window)),
                 "Arvenco programmer TQ512_TQ511 v.3.63.0");
    w.run(3);
    EXPECT_EQ(label_text(s.status_label), "Searching for device...");
    test::save_screenshot(s.main_window, "main-searching");

    w.programmer->plugged = true;
    w.run_until_connected();
    ASSERT_EQ(app().connection.state, kConnected);
    EXPECT_EQ(label_text(s.status_label), "TQ512-0430");
    EXPECT_EQ(label_text(s.hardware_label), "(NORDAVEL TQ512)  ");
    EXPECT_EQ(label_text(s.serial_label), "Device serial number 220000001234");
    gint width = 0, height = 0;
    gtk_widget_get_size_request(s.main_scroller, &width, &height);
    EXPECT_EQ(width, 1010);
    EXPECT_EQ(height, 705);
    EXPECT_FALSE(test::save_screenshot(s.main_window, "main-connected").empty());

    // Windows that belong to the connection are open when the programmer
    // is pulled.
    open_modules_window(modules_window_states(app()), false);
    test::pump_gtk(5);
    ASSERT_NE(app().modules.window, nullptr);
    show_message("Reset OK");
    ASSERT_NE(widget_state().message_window, nullptr);
    w.programmer->plugged = false;
    w.run(4);
    EXPECT_EQ(app().connection.state, kSearching);
    EXPECT_EQ(widget_state().message_window, nullptr);
    EXPECT_EQ(app().modules.window, nullptr);
    EXPECT_EQ(label_text(s.status_label), "Searching for device...");
    EXPECT_EQ(label_text(s.hardware_label), "");
    EXPECT_EQ(label_text(s.serial_label), "");
    EXPECT_FALSE(GTK_WIDGET_VISIBLE(s.pin_menu_item));
}

TEST(MainWindow, AProgrammerThatMayNotBeOpenedIsNamedUntilItCanBe)
{
    MainWindow w({512, 4, 30, 6, 11, 1234});
    ShellState& s = app().shell;
    w.programmer->plugged = true;
    w.programmer->openable = false;
    w.run(3);
    EXPECT_EQ(label_text(s.status_label), "Programmer found, but it cannot be opened.");
    EXPECT_NE(label_text(s.serial_label).find("sudo udevadm control --reload-rules && "
                                              "sudo udevadm trigger"),
              std::string::npos);
    EXPECT_EQ(app().connection.state, kSearching);

    // Pulled out: nothing is there to be named any more.
    w.programmer->plugged = false;
    w.run(3);
    EXPECT_EQ(label_text(s.status_label), "Searching for device...");
    EXPECT_EQ(label_text(s.serial_label), "");

    // Plugged in again once the rule is in place.
    w.programmer->openable = true;
    w.programmer->plugged = true;
    w.run_until_connected();
    EXPECT_EQ(app().connection.state, kConnected);
    EXPECT_EQ(label_text(s.status_label), "TQ512-0430");
    EXPECT_EQ(label_text(s.serial_label), "Device serial number 220000001234");
}

// The cable goes while an operation talks to the unit: the pages and tool
// windows go at once, and the operation's own message stays on screen.
TEST(MainWindow, AnOperationCutByThePulledCableSaysSo)
{
    MainWindow w({512, 4, 81, 6, 11, 1234});
    AppState& a = app();
    const auto click = [&a](SettingsCommand c) {
        gtk_button_clicked(GTK_BUTTON(a.config.pages->button(c)));
    };
    struct Case {
        const char* what;
        std::function<void()> before; // runs with the cable still in
        std::function<void()> operation;
        const char* message;
    } cases[] = {
        {"Save", {}, [&] { click(SettingsCommand::Save); }, "Write error!"},
        {"Load", {}, [&] { click(SettingsCommand::Load); }, "Configuration load error."},
        {"PIN read", {}, [&] { open_service_pin_dialog(a.unit_tools); },
         "Configuration load error."},
        {"PIN save",
         [&] {
             open_service_pin_dialog(a.unit_tools);
             gtk_entry_buffer_set_text(a.unit_tools.pin_buffer, "2468", -1);
         },
         [&] { save_service_pin_dialog(a.unit_tools); }, "Write error!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        w.programmer->faults.unplug_after_reports = -1;
        w.programmer->plugged = true;
        w.run_until_connected();
        ASSERT_EQ(a.connection.state, kConnected);
        ASSERT_NE(a.config.pages, nullptr);
        if (c.before)
            c.before();
        w.programmer->faults.unplug_after_reports = 3;
        c.operation();
        w.run(3);
        EXPECT_EQ(a.connection.state, kSearching);
        EXPECT_EQ(a.config.pages, nullptr);
        EXPECT_EQ(a.unit_tools.pin_dialog, nullptr);
        EXPECT_EQ(test::message_text(), c.message);
        EXPECT_EQ(label_text(a.shell.status_label), "Searching for device...");
        close_message_window();
    }
}

TEST(MainWindow, TheSmallModelGetsALowerPageArea)
{
    MainWindow w({512, 4, 81, 6, 12, 99});
    w.programmer->plugged = true;
    w.run_until_connected();
    ASSERT_EQ(app().connection.state, kConnected);
    EXPECT_EQ(label_text(app().shell.status_label), "TQ511-0481");
    EXPECT_EQ(label_text(app().shell.hardware_label), "(NORDAVEL TQ511)  ");
    gint width = 0, height = 0;
    gtk_widget_get_size_request(app().shell.main_scroller, &width, &height);
    EXPECT_EQ(height, 650);
}

// What a dialog shows: its label texts and button captions, in order.
struct DialogContent {
    std::string title;
    std::vector<std::string> texts, buttons;
    bool seen = false;
};

void collect(GtkWidget* widget, gpointer data)
{
    auto* content = static_cast<DialogContent*>(data);
    if (GTK_IS_BUTTON(widget)) {
        content->buttons.push_back(button_text(widget));
        return;
    }
    if (GTK_IS_LABEL(widget) && !label_text(widget).empty())
        content->texts.push_back(label_text(widget));
    if (GTK_IS_CONTAINER(widget))
        gtk_container_forall(GTK_CONTAINER(widget), collect, data);
}

void click_button(GtkWidget* widget, gpointer caption)
{
    if (GTK_IS_BUTTON(widget)) {
        if (button_text(widget) == static_cast<const char*>(caption))
            gtk_button_clicked(GTK_BUTTON(widget));
    } else if (GTK_IS_CONTAINER(widget)) {
        gtk_container_forall(GTK_CONTAINER(widget), click_button, caption);
    }
}

// Answers the next connection dialog: records it, takes a screenshot and
// presses the button with the caption.
struct DialogAnswer {
    DialogContent content;
    const char* caption;
    const char* screenshot;
    sim::Programmer* unplug = nullptr; // pulled before answering
};

gboolean answer_dialog(gpointer data)
{
    auto* answer = static_cast<DialogAnswer*>(data);
    GtkWidget* dialog = widget_state().message_window;
    if (!dialog)
        return TRUE;
    answer->content.seen = true;
    answer->content.title = gtk_window_get_title(GTK_WINDOW(dialog));
    gtk_container_forall(GTK_CONTAINER(dialog), collect, &answer->content);
    test::save_screenshot(dialog, answer->screenshot);
    if (answer->unplug)
        answer->unplug->plugged = false;
    click_button(dialog, const_cast<char*>(answer->caption));
    return FALSE;
}

// Plugs the programmer in and runs the loop until the dialog that comes up
// has been answered (or for 50 passes).
void plug_in_and_answer(MainWindow& w, DialogAnswer& answer)
{
    const guint source = g_timeout_add(50, answer_dialog, &answer);
    w.programmer->plugged = true;
    for (int i = 0; i < 50 && !answer.content.seen; ++i)
        w.run(1);
    if (!answer.content.seen)
        g_source_remove(source); // it must not answer a later test's dialog
}

// The command buttons under the settings pages open the windows that other
// parts of the program own.
TEST(MainWindow, CommandButtonsOpenTheirWindows)
{
    MainWindow w({512, 4, 81, 6, 11, 1});
    w.programmer->plugged = true;
    w.run_until_connected();
    AppState& a = app();
    ASSERT_EQ(a.connection.state, kConnected);
    ASSERT_NE(a.config.pages, nullptr);
    const struct {
        SettingsCommand command;
        GtkWidget* const* window;
    } cases[] = {
        {SettingsCommand::SignalMonitor, &a.monitor.signal_ui.window},
        {SettingsCommand::EventMemory, &a.unit_tools.event_window},
        {SettingsCommand::Diagnostics, &a.unit_tools.diagnostics_window},
        {SettingsCommand::RadioOrModules, &a.modules.window}, // from firmware 1065 on
    };
    for (const auto& c : cases) {
        EXPECT_EQ(*c.window, nullptr) << int(c.command);
        gtk_button_clicked(GTK_BUTTON(a.config.pages->button(c.command)));
        w.run(2);
        EXPECT_NE(*c.window, nullptr) << int(c.command);
    }
    close_tool_windows(a);
    EXPECT_EQ(a.unit_tools.event_window, nullptr);
}

TEST(MainWindow, ARefusedUnitGetsTheVersionDialog)
{
    MainWindow w({612, 4, 81, 6, 11, 1});
    DialogAnswer answer{{}, "Try again", "version-mismatch", w.programmer.get()};
    plug_in_and_answer(w, answer);
    ASSERT_TRUE(answer.content.seen);
    EXPECT_EQ(answer.content.title, "Message");
    EXPECT_EQ(answer.content.texts, std::vector<std::string>{
                                        "Program doesn't work with this firmware version.\n"
                                        "(0612-0481/6-11)."});
    EXPECT_EQ(answer.content.buttons,
              (std::vector<std::string>{"Exit program", "Change firmware", "Try again"}));
    // "Try again" closed the device: the search starts over.
    EXPECT_FALSE(app().link.open());
    w.run(2);
    EXPECT_EQ(app().connection.state, kSearching);
    EXPECT_EQ(label_text(app().shell.status_label), "Searching for device...");
    EXPECT_EQ(widget_state().message_window, nullptr);
}

TEST(MainWindow, ABareBootloaderOffersTheFirmwareUpdate)
{
    MainWindow w({512, 4, 81, 6, 11, 1});
    w.programmer->set_variant(sim::Variant::Bootloader);
    // "Program" starts the firmware update, which asks for its file first;
    // the fitter cancels that.
    int programs = 0;
    const guint cancel = g_timeout_add(
        5,
        [](gpointer data) -> gboolean {
            int* seen = static_cast<int*>(data);
            GList* all = gtk_window_list_toplevels();
            for (GList* l = all; l; l = l->next) {
                GtkWidget* t = GTK_WIDGET(l->data);
                const char* title = gtk_window_get_title(GTK_WINDOW(t));
                if (title && std::string(title) == "Select firmware file" &&
                    !g_object_get_data(G_OBJECT(t), "answered")) {
                    g_object_set_data(G_OBJECT(t), "answered", t);
                    ++*seen;
                    gtk_dialog_response(GTK_DIALOG(t), GTK_RESPONSE_CANCEL);
                }
            }
            g_list_free(all);
            return TRUE;
        },
        &programs);
    DialogAnswer answer{{}, "Program", "bootloader", w.programmer.get()};
    plug_in_and_answer(w, answer);
    g_source_remove(cancel);
    ASSERT_TRUE(answer.content.seen);
    EXPECT_EQ(answer.content.texts,
              std::vector<std::string>{"Device is not programmed properly\nSelect firmware file."});
    EXPECT_EQ(answer.content.buttons,
              (std::vector<std::string>{"Program", "Enable remote access", "Exit program"}));
    EXPECT_EQ(programs, 1);
    EXPECT_FALSE(app().link.open());
    EXPECT_EQ(app().connection.state, kSearching);
}

TEST(MainWindow, MenusForLanguagesThemesAndTheUpdateCheck)
{
    MainWindow w({512, 4, 81, 6, 11, 1});
    const std::vector<GtkWidget*>& menus = app().shell.extra_menus;
    ASSERT_EQ(menus.size(), 1u) << "no themes folder beside /nonexistent/bin";
    EXPECT_EQ(label_text(gtk_bin_get_child(GTK_BIN(menus[0]))), "Language");
    EXPECT_EQ(submenu_labels(menus[0]),
              (std::vector<std::string>{"English", "Polski", "Deutsch", "Русский", "български",
                                        "český", "ελληνικά"}));

    // The update-check item names what choosing it will do.
    GtkWidget* item = app().shell.update_check_item;
    EXPECT_EQ(label_text(gtk_bin_get_child(GTK_BIN(item))), "Do not check for updates at startup");
    refresh_update_check_item(app(), false);
    EXPECT_EQ(label_text(gtk_bin_get_child(GTK_BIN(item))), "Check for updates at startup");

    // An installation with the system's themes beside it.
    test::TempFolder install;
    install.make_folder("bin");
    install.make_folder("share");
    ASSERT_EQ(symlink("/usr/share/themes", (install / "share/themes").c_str()), 0);
    GtkWidget* themes = build_themes_menu(install / "bin/tq512");
    ASSERT_NE(themes, nullptr);
    EXPECT_EQ(label_text(gtk_bin_get_child(GTK_BIN(themes))), "Themes");
    const std::vector<std::string> names = submenu_labels(themes);
    EXPECT_EQ(names, *list_themes("/usr/share/themes/"));
    EXPECT_NE(std::find(names.begin(), names.end(), "Clearlooks"), names.end());
    gtk_widget_destroy(themes);
}

TEST(MainWindow, TheRelayReachesTheCanAnalyzerPort)
{
    MainWindow w({512, 4, 81, 6, 11, 1});
    sim::CanAnalyzerUnit unit;
    SerialState& serial = app().link.serial;
    serial.sysfs_root = unit.sysfs_root();
    serial.dev_root = unit.dev_root();
    // The relay as the program wires it, connected through memory.
    RemoteAccessContext& context = remote_access(app());
    test::MemoryChannel channel;
    app().remote.channel = std::make_unique<test::ForwardingChannel>(channel);
    auto obey = [&](const std::string& block) {
        channel.sent.clear();
        channel.incoming.push_back(block);
        remote_access_step(context);
        return channel.sent;
    };
    testing::internal::CaptureStdout();
    EXPECT_EQ(obey("@#"), "@#");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(serial.can_port_state, kCanPortOpen);
    EXPECT_EQ(obey("t123"), "");
    unit.step();
    EXPECT_EQ(unit.received, "t123");
    EXPECT_EQ(obey("@!"), "@!");
    EXPECT_EQ(serial.can_port_state, kCanPortNone);

    sim::CanAnalyzerUnit without_driver(nullptr, false);
    serial.sysfs_root = without_driver.sysfs_root();
    EXPECT_EQ(obey("@#"), "@$");
    ASSERT_NE(widget_state().message_window, nullptr);
    close_message_window();
    app().remote.channel.reset();
}

// Run in a process of its own (the toolkit reads its resource files once,
// when it starts): applies the theme file of TQ_THEME_HOME and checks that
// a button is drawn by the theme's engine.
TEST(ThemeFile, DISABLED_AppliedAtStart)
{
    const char* home = std::getenv("TQ_THEME_HOME");
    const char* expected_style = std::getenv("TQ_THEME_STYLE");
    ASSERT_TRUE(home && expected_style);
    PrefsState p;
    p.folder = home;
    use_theme_file(p);
    test::ensure_gtk();
    prefer_chosen_theme(p);
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    GtkWidget* button = gtk_button_new_with_label("Save");
    gtk_container_add(GTK_CONTAINER(window), button);
    gtk_widget_show_all(window);
    test::pump_gtk(5);
    gchar* theme = nullptr;
    g_object_get(gtk_settings_get_default(), "gtk-theme-name", &theme, nullptr);
    EXPECT_STREQ(theme, std::getenv("TQ_THEME_NAME"));
    g_free(theme);
    EXPECT_STREQ(G_OBJECT_TYPE_NAME(gtk_widget_get_style(button)), expected_style);
    test::save_screenshot(window, std::string("theme-") + std::getenv("TQ_THEME_NAME"));
}

int run_theme_child(const std::string& home, const std::string& theme, const std::string& style)
{
    gchar* self = g_file_read_link("/proc/self/exe", nullptr);
    const std::string filter = "--gtest_filter=ThemeFile.DISABLED_AppliedAtStart";
    gchar* argv[] = {self, const_cast<gchar*>("--gtest_also_run_disabled_tests"),
                     const_cast<gchar*>(filter.c_str()), nullptr};
    gchar** env = g_get_environ();
    env = g_environ_setenv(env, "HOME", home.c_str(), TRUE);
    env = g_environ_setenv(env, "TQ_THEME_HOME", home.c_str(), TRUE);
    env = g_environ_setenv(env, "TQ_THEME_NAME", theme.c_str(), TRUE);
    env = g_environ_setenv(env, "TQ_THEME_STYLE", style.c_str(), TRUE);
    env = g_environ_unsetenv(env, "GTK2_RC_FILES");
    gint status = -1;
    gchar* out = nullptr;
    const gboolean ran = g_spawn_sync(nullptr, argv, env, G_SPAWN_DEFAULT, nullptr, nullptr, &out,
                                      nullptr, &status, nullptr);
    g_strfreev(env);
    g_free(self);
    if (!ran)
        return -1;
    if (!g_spawn_check_wait_status(status, nullptr))
        std::fprintf(stderr, "%s\n", out);
    g_free(out);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(ThemeFile, AChosenThemeAppliesAtTheNextStart)
{
    struct Case {
        const char* theme;
        const char* style;
    } cases[] = {
        {"Clearlooks", "ClearlooksStyle"},
        {"Mist", "MistStyle"},
        {"ThinIce", "ThiniceStyle"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.theme);
        test::TempFolder home;
        PrefsState p;
        p.folder = home.path();
        ASSERT_TRUE(write_theme_file(p, c.theme));
        EXPECT_EQ(run_theme_child(home.path(), c.theme, c.style), 0);
    }
    // Without a theme file the toolkit's own look stays.
    test::TempFolder plain;
    EXPECT_EQ(run_theme_child(plain.path(), "Raleigh", "GtkStyle"), 0);
}

// A desktop's settings daemon (GNOME, Xfce, MATE, Cinnamon) names its own
// theme; the theme chosen in the Themes menu must still win.
TEST(ThemeFile, AChosenThemeWinsOverTheDesktopSettingsDaemon)
{
    ASSERT_EQ(std::system("command -v xsettingsd >/dev/null"), 0) << "scripts/setup installs xsettingsd";
    test::TempFolder daemon_home;
    const std::string config = daemon_home.write("xsettingsd.conf", "Net/ThemeName \"ThinIce\"\n");
    gchar* argv[] = {const_cast<gchar*>("xsettingsd"), const_cast<gchar*>("-c"),
                     const_cast<gchar*>(config.c_str()), nullptr};
    GPid daemon = 0;
    ASSERT_TRUE(g_spawn_async(nullptr, argv, nullptr,
                              GSpawnFlags(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD |
                                          G_SPAWN_STDOUT_TO_DEV_NULL | G_SPAWN_STDERR_TO_DEV_NULL),
                              nullptr, nullptr, &daemon, nullptr));
    test::ensure_gtk();
    for (int i = 0; i < 100 && !test::x_selection_owned("_XSETTINGS_S0"); ++i)
        g_usleep(50000);
    EXPECT_TRUE(test::x_selection_owned("_XSETTINGS_S0")) << "the daemon owns the settings";

    // Without a chosen theme the daemon's theme shows: it is in charge.
    test::TempFolder plain;
    EXPECT_EQ(run_theme_child(plain.path(), "ThinIce", "ThiniceStyle"), 0);
    // A chosen theme wins over it.
    test::TempFolder home;
    PrefsState p;
    p.folder = home.path();
    ASSERT_TRUE(write_theme_file(p, "Clearlooks"));
    EXPECT_EQ(run_theme_child(home.path(), "Clearlooks", "ClearlooksStyle"), 0);

    kill(daemon, SIGTERM);
    int status = 0;
    waitpid(daemon, &status, 0);
    g_spawn_close_pid(daemon);
}

// The real program, started twice on the same runtime folder.
TEST(SingleInstance, ASecondProgramIsRefused)
{
    ASSERT_EQ(std::system("command -v xdotool >/dev/null"), 0) << "scripts/setup installs xdotool";
    test::TempFolder home, runtime;
    g_chmod(runtime.path().c_str(), 0700);
    const std::string program = std::string(TQ_BINARY_DIR) + "/tq512";
    const auto start = [&](const std::string& log) {
        const pid_t pid = fork();
        if (pid == 0) {
            setenv("HOME", home.path().c_str(), 1);
            setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
            setenv("LANG", "C", 1);
            unsetenv("LANGUAGE");
            unsetenv("LC_ALL");
            if (!freopen(log.c_str(), "w", stdout) || !freopen(log.c_str(), "a", stderr))
                _exit(126);
            execl(program.c_str(), program.c_str(), "--simulate", static_cast<char*>(nullptr));
            _exit(127);
        }
        return pid;
    };
    const auto window_of = [](pid_t pid, const char* title) {
        const std::string command = "timeout 60 xdotool search --sync --onlyvisible --pid " +
                                    std::to_string(pid) + " --name '^" + title + "$' | head -1";
        std::string id;
        if (FILE* f = popen(command.c_str(), "r")) {
            char line[64] = {};
            if (fgets(line, sizeof line, f))
                id = line;
            pclose(f);
        }
        while (!id.empty() && (id.back() == '\n' || id.back() == ' '))
            id.pop_back();
        return id;
    };

    const pid_t first = start(home / "first.log");
    ASSERT_GT(first, 0);
    ASSERT_FALSE(window_of(first, "Arvenco programmer TQ512_TQ511 v.3.63.0").empty());

    const pid_t second = start(home / "second.log");
    const std::string message = window_of(second, "Message");
    ASSERT_FALSE(message.empty()) << "the second program shows its message";
    int status = 0;
    EXPECT_EQ(waitpid(second, &status, WNOHANG), 0) << "it waits until the message is closed";
    // Press OK until the program has gone: on a loaded machine the first key
    // may arrive before the button has taken the focus.
    pid_t done = 0;
    for (int i = 0; i < 400 && done == 0; ++i) {
        if (i % 10 == 0)
            std::system(("xdotool key --window " + message + " Return 2>/dev/null").c_str());
        done = waitpid(second, &status, WNOHANG);
        if (done == 0)
            usleep(50000);
    }
    if (done == 0) {
        kill(second, SIGKILL);
        waitpid(second, &status, 0);
    }
    EXPECT_EQ(done, second);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);

    EXPECT_EQ(waitpid(first, &status, WNOHANG), 0) << "the first keeps running";
    kill(first, SIGTERM);
    waitpid(first, &status, 0);
}

} // namespace
} // namespace tq
