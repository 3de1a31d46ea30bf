#include "app/main_window.h"

#include "app/connection_dialog.h"
#include "app/wiring.h"
#include "config/cfg_file_dialog.h"
#include "config/diagnostics_window.h"
#include "config/event_memory_window.h"
#include "config/history.h"
#include "config/history_window.h"
#include "config/pin_dialog.h"
#include "config/settings_pages.h"
#include "firmware/autoflash_dialog.h"
#include "link/commands.h"
#include "modules/aux_window.h"
#include "modules/modules_window.h"
#include "monitor/console_window.h"
#include "monitor/signal_monitor_window.h"
#include "platform/clock.h"
#include "platform/process.h"
#include "prefs/files.h"
#include "radio/radio_monitor_window.h"
#include "radio/radio_update_window.h"
#include "radio/radio_window.h"
#include "text/texts.h"
#include "update/update_window.h"
#include "widgets/kit.h"

#include <gdk/gdkx.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace tq {
namespace {

// The update-check item offers the opposite of the preference.
const char* update_check_caption(bool check_updates)
{
    return text(check_updates ? kTextNoUpdateCheckAtStartup : kTextCheckUpdatesAtStartup);
}

// The Tools menu: each item runs its subsystem by name.
void on_firmware_update_item(GtkWidget*, gpointer) { update_unit_firmware(app()); }

void on_update_check_item(GtkWidget*, gpointer)
{
    // Besides flipping the preference, switching it on checks at once.
    AppState& a = app();
    toggle_update_check(a.update, [&a](bool on) { refresh_update_check_item(a, on); });
}

void on_radio_firmware_item(GtkWidget*, gpointer)
{
    update_radio_firmware_from_file(radio_window_states(app()));
}

void on_radio_wireless_item(GtkWidget*, gpointer)
{
    update_radio_firmware_wireless(radio_window_states(app()));
}

void on_load_configuration_item(GtkWidget*, gpointer) { run_load_configuration_file(app().config); }
void on_save_configuration_item(GtkWidget*, gpointer) { run_save_configuration_file(app().config); }
void on_configuration_history_item(GtkWidget*, gpointer) { open_configuration_history(app().config); }
void on_change_pin_item(GtkWidget*, gpointer) { open_service_pin_dialog(app().unit_tools); }
void on_remote_access_item(GtkWidget*, gpointer) { open_remote_access(app()); }

GtkWidget* add_tool_item(GtkWidget* menu, const char* label, void (*handler)(GtkWidget*, gpointer))
{
    GtkWidget* item = new_menu_item(label);
    gtk_menu_shell_append(GTK_MENU_SHELL(menu), item);
    g_signal_connect(item, "activate", G_CALLBACK(handler), nullptr);
    return item;
}

void on_device_reset_item(GtkWidget*, gpointer)
{
    AppState& a = app();
    if (!a.link.open())
        return;
    send_command(a.link, cmd::kReset);
    show_message("Reset OK");
}

gboolean on_main_window_key(GtkWidget*, GdkEventKey* event, gpointer)
{
    AppState& a = app();
    ProgramFirmwareHost host(a);
    return autoflash_key_pressed(firmware_window_states(a, host), event->keyval, event->state);
}

gboolean on_main_window_delete(GtkWidget*, GdkEvent*, gpointer)
{
    AppState& a = app();
    close_radio_window(radio_window_states(a));
    close_tool_windows(a);
    device_close(a.link, "the main window closes");
    std::exit(0);
}

// The work area of a monitor: its geometry, cut by the desktop's
// _NET_WORKAREA where the window manager publishes one.
WorkArea monitor_work_area(GdkScreen* screen, int monitor)
{
    GdkRectangle area;
    gdk_screen_get_monitor_geometry(screen, monitor, &area);
    GdkWindow* root = gdk_screen_get_root_window(screen);
    GdkAtom type;
    gint format = 0;
    gint length = 0;
    guchar* data = nullptr;
    if (gdk_property_get(root, gdk_atom_intern("_NET_WORKAREA", FALSE),
                         gdk_atom_intern("CARDINAL", FALSE), 0, 4 * 32, FALSE, &type, &format,
                         &length, &data) &&
        data) {
        if (format == 32 && length >= int(4 * sizeof(long))) {
            const long* v = reinterpret_cast<const long*>(data);
            GdkRectangle work = {int(v[0]), int(v[1]), int(v[2]), int(v[3])};
            GdkRectangle cut;
            if (gdk_rectangle_intersect(&area, &work, &cut))
                area = cut;
        }
        g_free(data);
    }
    return {area.width, area.height};
}

void build_menu_bar(AppState& a)
{
    ShellState& s = a.shell;
    GtkWidget* bar = gtk_menu_bar_new();
    gtk_widget_show(bar);
    gtk_box_pack_start(GTK_BOX(s.main_box), bar, FALSE, FALSE, 0);

    GtkWidget* tools = new_menu_item(text(kTextTools));
    gtk_menu_shell_append(GTK_MENU_SHELL(bar), tools);
    GtkWidget* menu = gtk_menu_new();
    gtk_menu_item_set_submenu(GTK_MENU_ITEM(tools), menu);

    add_tool_item(menu, text(kTextFirmwareUpdate), on_firmware_update_item);
    add_tool_item(menu, text(kTextDeviceReset), on_device_reset_item);
    s.update_check_item =
        add_tool_item(menu, update_check_caption(a.prefs.check_updates), on_update_check_item);
    add_tool_item(menu, text(kTextRadioFirmwareUpdate), on_radio_firmware_item);
    add_tool_item(menu, text(kTextRadioWirelessUpdate), on_radio_wireless_item);
    add_tool_item(menu, text(kTextLoadConfigurationFromFile), on_load_configuration_item);
    add_tool_item(menu, text(kTextSaveConfigurationToFile), on_save_configuration_item);
    add_tool_item(menu, text(kTextConfigurationHistory), on_configuration_history_item);
    s.pin_menu_item = add_tool_item(menu, text(kTextChangePin), on_change_pin_item);
    gtk_widget_hide(s.pin_menu_item);
    add_tool_item(menu, text(kTextEnableRemoteAccess), on_remote_access_item);

    for (GtkWidget* extra : s.extra_menus)
        gtk_menu_shell_append(GTK_MENU_SHELL(bar), extra);
}

void build_status_rows(AppState& a)
{
    ShellState& s = a.shell;
    const Fonts& fonts = widget_state().fonts;

    GtkWidget* first = gtk_hbox_new(FALSE, 1);
    GtkWidget* spacer = new_label("");
    gtk_widget_set_size_request(spacer, 10, 18);
    gtk_box_pack_start(GTK_BOX(first), spacer, FALSE, FALSE, 1);
    s.status_label = new_label(text(kTextSearchingForDevice));
    gtk_widget_modify_font(s.status_label, fonts.large);
    gtk_box_pack_start(GTK_BOX(first), s.status_label, TRUE, TRUE, 1);
    s.hardware_label = new_label("");
    gtk_misc_set_alignment(GTK_MISC(s.hardware_label), 1.0f, 0.5f);
    gtk_widget_set_size_request(s.hardware_label, 300, 10);
    gtk_box_pack_start(GTK_BOX(first), s.hardware_label, FALSE, FALSE, 1);
    gtk_widget_show(first);
    gtk_box_pack_start(GTK_BOX(s.main_box), first, FALSE, FALSE, 1);

    GtkWidget* second = gtk_hbox_new(FALSE, 1);
    s.serial_label = new_label("");
    gtk_misc_set_alignment(GTK_MISC(s.serial_label), 0.5f, 0.0f);
    gtk_widget_modify_font(s.serial_label, fonts.medium);
    gtk_box_pack_start(GTK_BOX(second), s.serial_label, TRUE, TRUE, 1);
    s.mode_label = new_label("");
    gtk_widget_modify_font(s.mode_label, fonts.large);
    GdkColor red = {0, 0xFFFF, 0, 0};
    gtk_widget_modify_fg(s.mode_label, GTK_STATE_NORMAL, &red);
    gtk_box_pack_start(GTK_BOX(second), s.mode_label, FALSE, FALSE, 1);
    gtk_widget_show(second);
    gtk_box_pack_start(GTK_BOX(s.main_box), second, FALSE, FALSE, 1);
}

// Pulling the programmer while a combo box list is open closes that list.
void close_open_combo(AppState& a)
{
    GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(a.shell.main_window));
    GtkWidget* parent = focus ? gtk_widget_get_parent(focus) : nullptr;
    if (parent && std::strncmp(G_OBJECT_TYPE_NAME(parent), "GtkComboBox", 11) == 0)
        gtk_combo_box_popdown(GTK_COMBO_BOX(parent));
}

// GTK lays a label out and redraws it whenever its text is set, even to the
// text it shows already; the search sets its labels on every pass.
void show_label_text(GtkWidget* label, const char* t)
{
    if (std::strcmp(gtk_label_get_text(GTK_LABEL(label)), t) != 0)
        gtk_label_set_text(GTK_LABEL(label), t);
}

void set_label_text(GtkWidget* label, const std::string& t)
{
    gtk_label_set_text(GTK_LABEL(label), t.c_str());
}

// The search's CAN-analyzer check, asking and telling through the main
// window.
bool run_can_analyzer_check(AppState& a)
{
    return check_can_analyzer(
        a.link.serial,
        [&a](const std::string& question) {
            return ask_question(a.shell.main_window, question.c_str());
        },
        [](const std::string& message) { show_message(message); });
}

// The unit is identified: its history place, then the settings pages,
// which read its configuration.
void show_identified_unit(AppState& a)
{
    const ConnectionState& c = a.connection;
    a.config.history = history_place(
        a.config.history.root, c.serial,
        model_string(c.unit_model, c.firmware_version / 256, c.firmware_version % 256));
    settings_unit_identified(a.config, a.link, UnitKind{c.unit_model, c.firmware_version},
                             a.shell.main_box, a.shell.main_scroller, a.shell.pin_menu_item);
}

// The device went away: what belonged to the connection goes.
void end_connection(AppState& a)
{
    destroy_settings_pages(a.config);
    if (a.shell.pin_menu_item)
        gtk_widget_hide(a.shell.pin_menu_item);
    close_tool_windows(a);
}

} // namespace

void start_toolkit(int& argc, char**& argv)
{
    gtk_init(&argc, &argv);
    platform::set_event_pump(run_pending_events);
    set_file_message_sink([](const std::string& message) { show_message(message); });
}

void refuse_second_instance()
{
    show_message(text(kTextRunOnlyOnce));
    wait_for_message();
    std::exit(1);
}

void refresh_update_check_item(AppState& a, bool check_updates)
{
    GtkWidget* item = a.shell.update_check_item;
    if (!item)
        return;
    GtkWidget* label = gtk_bin_get_child(GTK_BIN(item));
    gtk_label_set_text(GTK_LABEL(label), update_check_caption(check_updates));
}

void build_main_window(AppState& a)
{
    ShellState& s = a.shell;
    create_fonts();

    s.main_window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    widget_state().main_window = s.main_window;
    gtk_window_set_title(GTK_WINDOW(s.main_window),
                         textf(kTextProgrammerTitle, "512_TQ511", 3, 63, 0).c_str());
    g_signal_connect(s.main_window, "delete-event", G_CALLBACK(on_main_window_delete), nullptr);
    // Keys: the autoflash combination opens its folder dialog, Ctrl+S the
    // console.
    g_signal_connect(s.main_window, "key_press_event", G_CALLBACK(on_main_window_key), nullptr);
    g_signal_connect(s.main_window, "key_press_event", console_shortcut_handler(), &a.monitor);

    gtk_container_set_border_width(GTK_CONTAINER(s.main_window), 4);
    s.main_scroller = gtk_scrolled_window_new(nullptr, nullptr);
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(s.main_scroller), GTK_POLICY_AUTOMATIC,
                                   GTK_POLICY_AUTOMATIC);
    gtk_container_add(GTK_CONTAINER(s.main_window), s.main_scroller);
    s.main_box = gtk_vbox_new(FALSE, 0);
    gtk_scrolled_window_add_with_viewport(GTK_SCROLLED_WINDOW(s.main_scroller), s.main_box);

    GdkScreen* screen = gdk_screen_get_default();
    std::vector<WorkArea> areas;
    for (int m = 0; m < gdk_screen_get_n_monitors(screen); ++m)
        areas.push_back(monitor_work_area(screen, m));
    if (apply_monitor_rule(areas, s.min_work_width, s.min_work_height))
        s.start_maximized = true;

    if (s.start_maximized) {
        gtk_window_maximize(GTK_WINDOW(s.main_window));
    } else {
        gtk_widget_set_size_request(s.main_scroller, 1010, 680);
        gtk_window_set_resizable(GTK_WINDOW(s.main_window), FALSE);
    }

    build_menu_bar(a);
    build_status_rows(a);
    gtk_widget_show_all(s.main_window);
    gtk_widget_hide(s.pin_menu_item);
}

void close_tool_windows(AppState& a)
{
    // In this order: message, console, signal monitor, additional modules
    // with their test windows, event memory, diagnostics, AUX status, radio
    // monitor, radio module. Each subsystem adds its closer at its place.
    close_message_window();
    close_console_window(a.monitor);
    close_signal_monitor(a.monitor);
    close_modules_window(a.modules);
    close_event_window(a.unit_tools);
    close_diagnostics_window(a.unit_tools);
    // The PIN shown belongs to the unit that has gone.
    close_service_pin_dialog(a.unit_tools);
    close_aux_window(a.modules);
    close_radio_monitor(radio_window_states(a));
    close_radio_window(radio_window_states(a));
    close_configuration_history(); // its list is the gone unit's
}

namespace {

// The connection as the main window shows it: the status rows, the dialogs
// of a bootloader or a refused unit, the settings pages of an identified
// unit, the tool windows' periodic steps while it stays.
class MainWindowConnection final : public ConnectionView {
public:
    explicit MainWindowConnection(AppState& a) : a_(a) {}

    void set_status(const std::string& t) override { set_label_text(a_.shell.status_label, t); }
    void set_hardware(const std::string& t) override
    {
        set_label_text(a_.shell.hardware_label, t);
    }
    void set_serial(const std::string& t) override { set_label_text(a_.shell.serial_label, t); }
    bool can_analyzer_check() override { return run_can_analyzer_check(a_); }
    void bootloader_found() override { run_bootloader_dialog(a_); }
    void unit_refused(const std::string& t) override { run_version_mismatch_dialog(a_, t); }
    void unit_identified() override { show_identified_unit(a_); }
    void disconnected() override { end_connection(a_); }
    void periodic_steps() override { run_periodic_steps(a_); }

private:
    AppState& a_;
};

// No device and the state not 0: back to searching, and what belonged to
// the connection goes.
void reset_lost_connection(AppState& a)
{
    if (a.connection.state == kSearching)
        return;
    MainWindowConnection view(a);
    disconnect_reset(a.connection, view);
}

} // namespace

void watch_for_link_loss(AppState& a)
{
    // A programmer that goes away in the middle of an operation ends the
    // connection at once: the pages and tool windows go, and the failure
    // message the operation shows next stays on screen.
    a.link.on_lost = [&a] {
        if (a.remote.window)
            return; // remote access runs the device itself
        reset_lost_connection(a);
    };
}

void loop_iteration(AppState& a)
{
    ShellState& s = a.shell;
    run_pending_events();

    // While the remote-access window is open the relay runs the devices.
    if (a.remote.window) {
        remote_access_step(remote_access(a));
        return;
    }

    if (!a.link.open()) {
        if (!s.combo_closed) {
            close_open_combo(a);
            s.combo_closed = true;
        }
        platform::sleep_ms(100);
        reset_lost_connection(a);
        // A programmer that is plugged in but may not be opened is named,
        // with the fix, instead of searching on as if nothing were there.
        const bool refused = a.link.programmer_unopenable;
        show_label_text(s.status_label, text(refused ? kTextProgrammerNoAccess : kTextSearchingForDevice));
        show_label_text(s.serial_label, refused ? text(kTextProgrammerAccessFix) : "");
        show_label_text(s.hardware_label, "");
    } else {
        // The first pass with a device open: the search's hint goes.
        if (s.combo_closed)
            gtk_label_set_text(GTK_LABEL(s.serial_label), "");
        s.combo_closed = false;
    }

    MainWindowConnection view(a);
    if (connection_step(a.link, a.connection, view))
        return;

    // A watched autoflash folder is scanned while a device is open.
    if (a.link.open() && !a.firmware.autoflash_folder.empty())
        autoflash_loop_step(a);
    platform::sleep_ms(10);
}

void run_main_loop(AppState& a)
{
    for (;;)
        loop_iteration(a);
}

void restart_program(const std::string& language_code)
{
    AppState& a = app();
    device_close(a.link, "restart into another language or theme");
    // The new image does not flush this one's buffers.
    console_close_log(a.monitor.console);
    const auto args = restart_arguments(a.shell.program_path, a.shell.switches, language_code);
    platform::exec_program(a.shell.program_path, args);
    std::fprintf(stderr, "ERROR: cannot restart %s\n", a.shell.program_path.c_str());
    std::exit(1);
}

} // namespace tq
