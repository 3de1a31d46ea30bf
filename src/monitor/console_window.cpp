#include "monitor/console_window.h"

#include "monitor/message_sound_dialog.h"
#include "prefs/preferences.h"
#include "text/texts.h"
#include "widgets/kit.h"

#include <gdk/gdkkeysyms.h>
#include <gtk/gtk.h>

#include <algorithm>

namespace tq {
namespace {

const GdkColor kRed = {0, 0xFFFF, 0, 0};
const GdkColor kYellow = {0, 0xFFFF, 0xFFFF, 0};
// The view takes the logged text at most this often (20 times a second).
constexpr guint kViewUpdateMs = 50;

std::string entry_text(GtkWidget* entry)
{
    return gtk_entry_get_text(GTK_ENTRY(entry));
}

void scroll_to_end(ConsoleWindowHandles& ui)
{
    GtkTextIter end;
    gtk_text_buffer_get_end_iter(ui.buffer, &end);
    GtkTextMark* mark = gtk_text_buffer_get_mark(ui.buffer, "console-end");
    gtk_text_buffer_move_mark(ui.buffer, mark, &end);
    gtk_text_view_scroll_mark_onscreen(GTK_TEXT_VIEW(ui.view), mark);
}

// The view takes what was logged since its last update: one insert, the
// lines the store dropped off its top, one scroll.
void update_view(MonitorState& m)
{
    ConsoleWindowHandles& ui = m.console_ui;
    if (!ui.buffer)
        return;
    const ConsoleViewUpdate u = console_take_view_update(m.console);
    if (u.replace) {
        gtk_text_buffer_set_text(ui.buffer, u.text.data(), int(u.text.size()));
    } else if (!u.text.empty()) {
        GtkTextIter end;
        gtk_text_buffer_get_end_iter(ui.buffer, &end);
        gtk_text_buffer_insert(ui.buffer, &end, u.text.data(), int(u.text.size()));
    }
    if (u.trim > 0) {
        // The text is 7-bit, so bytes and characters are the same.
        GtkTextIter start, cut;
        gtk_text_buffer_get_start_iter(ui.buffer, &start);
        gtk_text_buffer_get_iter_at_offset(ui.buffer, &cut,
                                           int(std::min<std::size_t>(u.trim, G_MAXINT)));
        if (!gtk_text_iter_starts_line(&cut))
            gtk_text_iter_forward_line(&cut);
        gtk_text_buffer_delete(ui.buffer, &start, &cut);
    }
    const bool changed = u.replace || !u.text.empty() || u.trim > 0;
    if (changed && ui.autoscroll &&
        gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(ui.autoscroll)))
        scroll_to_end(ui);
}

gboolean on_view_timer(gpointer data)
{
    update_view(*static_cast<MonitorState*>(data));
    return TRUE;
}

gboolean on_log_flush_timer(gpointer data)
{
    auto& m = *static_cast<MonitorState*>(data);
    if (!m.console.log_file) {
        m.log_flush_timer = 0;
        return FALSE;
    }
    console_flush_log(m.console);
    return TRUE;
}

void on_console_destroy(GtkWidget*, gpointer data)
{
    auto& m = *static_cast<MonitorState*>(data);
    if (m.console_ui.view_timer)
        g_source_remove(m.console_ui.view_timer);
    console_close_view(m.console);
    m.console_ui = {};
}

void paint_command_field(MonitorState& m, bool bad)
{
    gtk_widget_modify_base(m.console_ui.command_entry, GTK_STATE_NORMAL, bad ? &kRed : nullptr);
}

void on_send(GtkWidget*, gpointer data)
{
    console_window_send(*static_cast<MonitorState*>(data));
}

gboolean on_entry_key(GtkWidget*, GdkEventKey* event, gpointer data)
{
    auto& m = *static_cast<MonitorState*>(data);
    if (event->keyval == GDK_Up || event->keyval == GDK_KP_Up) {
        console_window_browse(m, -1);
        return TRUE;
    }
    if (event->keyval == GDK_Down || event->keyval == GDK_KP_Down) {
        console_window_browse(m, +1);
        return TRUE;
    }
    return FALSE;
}

gboolean on_window_key(GtkWidget*, GdkEventKey* event, gpointer data)
{
    auto& m = *static_cast<MonitorState*>(data);
    if (event->keyval == GDK_F8) {
        console_clear(m.console);
        update_view(m);
        return TRUE;
    }
    return FALSE;
}

gboolean on_view_key(GtkWidget*, GdkEventKey* event, gpointer data)
{
    if (event->keyval == GDK_S) {
        open_message_sound_dialog(*static_cast<MonitorState*>(data));
        return TRUE;
    }
    return FALSE;
}

// The "Filter settings" dialog; true when it was left with "OK" (the
// settings are then taken over).
bool run_filter_dialog(MonitorState& m)
{
    ConsoleFilter& f = m.console.filter;
    GtkWidget* dialog =
        gtk_dialog_new_with_buttons(text(kTextFilterSettings), GTK_WINDOW(m.console_ui.window),
                                    GtkDialogFlags(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT), "OK",
                                    GTK_RESPONSE_OK, text(kTextCancel), GTK_RESPONSE_CANCEL, nullptr);
    m.console_ui.filter_dialog = dialog;
    GtkWidget* box = gtk_dialog_get_content_area(GTK_DIALOG(dialog));

    GtkWidget* untagged = new_check_button("untagged");
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(untagged), f.untagged);
    pack(box, untagged);
    std::array<GtkWidget*, kConsoleFilterSlots> checks{};
    std::array<GtkWidget*, kConsoleFilterSlots> entries{};
    for (int i = 0; i < kConsoleFilterSlots; ++i) {
        GtkWidget* row = gtk_hbox_new(FALSE, 1);
        gtk_widget_show(row);
        pack(box, row);
        checks[std::size_t(i)] = new_check_button("*");
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(checks[std::size_t(i)]), f.enabled >> i & 1u);
        pack(row, checks[std::size_t(i)]);
        GtkWidget* entry = gtk_entry_new();
        gtk_entry_set_max_length(GTK_ENTRY(entry), int(kConsoleFilterTextMax));
        gtk_entry_set_text(GTK_ENTRY(entry), f.texts[std::size_t(i)].c_str());
        gtk_widget_set_size_request(entry, 250, 25);
        gtk_widget_show(entry);
        pack(row, entry);
        entries[std::size_t(i)] = entry;
    }

    const bool ok = gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_OK;
    if (ok) {
        f.untagged = gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(untagged));
        f.enabled = 0;
        for (int i = 0; i < kConsoleFilterSlots; ++i) {
            if (gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(checks[std::size_t(i)])))
                f.enabled |= 1u << i;
            f.texts[std::size_t(i)] = cut_utf8(entry_text(entries[std::size_t(i)]), kConsoleFilterTextMax);
        }
    }
    // The console window may have taken the dialog with it.
    if (m.console_ui.filter_dialog)
        gtk_widget_destroy(dialog);
    m.console_ui.filter_dialog = nullptr;
    return ok;
}

void colour_filter_toggle(GtkWidget* toggle, bool on)
{
    gtk_widget_modify_bg(toggle, GTK_STATE_ACTIVE, on ? &kYellow : nullptr);
    gtk_widget_modify_bg(toggle, GTK_STATE_PRELIGHT, on ? &kYellow : nullptr);
}

// The filter texts are kept in the preferences, each as it fits its slot.
void keep_filters(MonitorState& m)
{
    if (!m.prefs)
        return;
    for (std::size_t i = 0; i < m.prefs->console_filters.size(); ++i)
        m.prefs->console_filters[i] = fit_console_filter(m.console.filter.texts[i]);
    save_preferences(*m.prefs);
}

void on_filter_toggled(GtkToggleButton* toggle, gpointer data)
{
    auto& m = *static_cast<MonitorState*>(data);
    if (!gtk_toggle_button_get_active(toggle)) {
        colour_filter_toggle(GTK_WIDGET(toggle), false);
        m.console.filter.active = false;
        console_rebuild_view(m.console);
        update_view(m);
        return;
    }
    if (!run_filter_dialog(m)) {
        if (m.console_ui.filter_toggle)
            gtk_toggle_button_set_active(toggle, FALSE);
        return;
    }
    if (!m.console_ui.window)
        return;
    colour_filter_toggle(GTK_WIDGET(toggle), true);
    m.console.filter.active = true;
    keep_filters(m);
    console_rebuild_view(m.console);
    update_view(m);
}

void show_log_state(MonitorState& m)
{
    GtkWidget* label = m.console_ui.log_label;
    if (!label)
        return;
    const bool logging = m.console.log_file != nullptr;
    gtk_label_set_text(GTK_LABEL(label), text(logging ? kTextStopLogging : kTextLogToFile));
    set_text_colour(label, logging ? &kRed : nullptr);
}

void on_log_button(GtkWidget*, gpointer data)
{
    console_window_toggle_log(*static_cast<MonitorState*>(data));
}

gboolean on_main_window_key(GtkWidget*, GdkEventKey* event, gpointer data)
{
    if ((event->state & GDK_CONTROL_MASK) && (event->keyval == GDK_s || event->keyval == GDK_S)) {
        open_console_window(*static_cast<MonitorState*>(data));
        return TRUE;
    }
    return FALSE;
}

std::string log_folder(const MonitorState& m)
{
    return m.prefs ? m.prefs->log_folder : m.log_folder;
}

} // namespace

KeyHandler console_shortcut_handler()
{
    return G_CALLBACK(on_main_window_key);
}

void open_console_window(MonitorState& m)
{
    ConsoleWindowHandles& ui = m.console_ui;
    if (ui.window) {
        gtk_window_present(GTK_WINDOW(ui.window));
        return;
    }
    ui.window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(ui.window), text(kTextConsole));
    gtk_window_set_default_size(GTK_WINDOW(ui.window), 980, 560);
    g_signal_connect(ui.window, "destroy", G_CALLBACK(on_console_destroy), &m);
    g_signal_connect(ui.window, "key-press-event", G_CALLBACK(on_window_key), &m);

    GtkWidget* column = gtk_vbox_new(FALSE, 1);
    gtk_container_add(GTK_CONTAINER(ui.window), column);
    GtkWidget* row = gtk_hbox_new(FALSE, 1);
    gtk_box_pack_start(GTK_BOX(column), row, FALSE, FALSE, 1);

    pack(row, new_label(text(kTextCommandHex)));
    ui.command_entry = gtk_entry_new();
    gtk_widget_set_size_request(ui.command_entry, 30, 20);
    pack(row, ui.command_entry);
    pack(row, new_label(text(kTextData)));
    ui.data_entry = gtk_entry_new();
    gtk_widget_set_size_request(ui.data_entry, -1, 20);
    gtk_box_pack_start(GTK_BOX(row), ui.data_entry, TRUE, TRUE, 1);
    for (GtkWidget* entry : {ui.command_entry, ui.data_entry}) {
        g_signal_connect(entry, "activate", G_CALLBACK(on_send), &m);
        g_signal_connect(entry, "key-press-event", G_CALLBACK(on_entry_key), &m);
    }

    GtkWidget* send = new_button(text(kTextSend));
    g_signal_connect(send, "clicked", G_CALLBACK(on_send), &m);
    pack(row, send);
    ui.autoscroll = new_check_button("Autoscroll");
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(ui.autoscroll), TRUE);
    pack(row, ui.autoscroll);
    ui.response = new_check_button("Response");
    pack(row, ui.response);

    ui.filter_toggle = gtk_toggle_button_new();
    GtkWidget* filter_label = new_label(text(kTextFilter));
    gtk_container_add(GTK_CONTAINER(ui.filter_toggle), filter_label);
    if (m.console.filter.active) {
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(ui.filter_toggle), TRUE);
        colour_filter_toggle(ui.filter_toggle, true);
    }
    g_signal_connect(ui.filter_toggle, "toggled", G_CALLBACK(on_filter_toggled), &m);
    gtk_widget_show(ui.filter_toggle);
    pack(row, ui.filter_toggle);

    GtkWidget* log_button = gtk_button_new();
    ui.log_label = new_label("");
    gtk_container_add(GTK_CONTAINER(log_button), ui.log_label);
    g_signal_connect(log_button, "clicked", G_CALLBACK(on_log_button), &m);
    gtk_widget_show(log_button);
    pack(row, log_button);
    show_log_state(m);

    GtkWidget* scroller = gtk_scrolled_window_new(nullptr, nullptr);
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scroller), GTK_POLICY_AUTOMATIC,
                                   GTK_POLICY_AUTOMATIC);
    gtk_box_pack_start(GTK_BOX(column), scroller, TRUE, TRUE, 1);
    ui.view = gtk_text_view_new();
    gtk_text_view_set_editable(GTK_TEXT_VIEW(ui.view), FALSE);
    if (widget_state().fonts.mono)
        gtk_widget_modify_font(ui.view, widget_state().fonts.mono);
    g_signal_connect(ui.view, "key-press-event", G_CALLBACK(on_view_key), &m);
    gtk_container_add(GTK_CONTAINER(scroller), ui.view);
    ui.buffer = gtk_text_view_get_buffer(GTK_TEXT_VIEW(ui.view));
    GtkTextIter end;
    gtk_text_buffer_get_end_iter(ui.buffer, &end);
    gtk_text_buffer_create_mark(ui.buffer, "console-end", &end, FALSE);

    // The whole store, unfiltered; the filter applies to what follows,
    // which the view takes at most 20 times a second.
    const std::string shown = console_open_view(m.console);
    gtk_text_buffer_set_text(ui.buffer, shown.data(), int(shown.size()));
    ui.view_timer = g_timeout_add(kViewUpdateMs, on_view_timer, &m);

    gtk_widget_show_all(ui.window);
    scroll_to_end(ui);
}

void close_console_window(MonitorState& m)
{
    close_message_sound_dialog(m);
    if (m.console_ui.window)
        gtk_widget_destroy(m.console_ui.window); // the destroy handler clears the handles
}

void console_window_send(MonitorState& m)
{
    ConsoleWindowHandles& ui = m.console_ui;
    if (!ui.window)
        return;
    const std::string command = entry_text(ui.command_entry);
    const std::string data = entry_text(ui.data_entry);
    const bool response = gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(ui.response));
    const std::optional<ConsoleCommand> parsed = parse_command_field(command);
    paint_command_field(m, !parsed);
    if (!parsed || !m.link)
        return;
    if (console_send(m.console, *m.link, command, data, response) == SendResult::TooLong)
        show_message(textf(kTextCommandTooLong, int(console_data_max(*parsed))));
}

void console_window_browse(MonitorState& m, int step)
{
    ConsoleWindowHandles& ui = m.console_ui;
    if (!ui.window)
        return;
    std::string command = entry_text(ui.command_entry);
    std::string data = entry_text(ui.data_entry);
    history_browse(m.console.history, step, command, data);
    gtk_entry_set_text(GTK_ENTRY(ui.command_entry), command.c_str());
    gtk_entry_set_text(GTK_ENTRY(ui.data_entry), data.c_str());
}

void console_window_update(MonitorState& m)
{
    update_view(m);
}

std::string console_window_text(MonitorState& m)
{
    update_view(m);
    if (!m.console_ui.buffer)
        return {};
    GtkTextIter start, end;
    gtk_text_buffer_get_bounds(m.console_ui.buffer, &start, &end);
    gchar* t = gtk_text_buffer_get_text(m.console_ui.buffer, &start, &end, TRUE);
    std::string s = t;
    g_free(t);
    return s;
}

bool console_window_start_log(MonitorState& m, const std::string& path)
{
    if (!console_open_log(m.console, path, console_window_text(m))) {
        show_message(text(kTextCannotOpenFile));
        return false;
    }
    show_log_state(m);
    if (!m.log_flush_timer)
        m.log_flush_timer = g_timeout_add(kConsoleLogFlushMs, on_log_flush_timer, &m);
    return true;
}

void console_window_toggle_log(MonitorState& m)
{
    if (m.console.log_file) {
        console_close_log(m.console);
        if (m.log_flush_timer) {
            g_source_remove(m.log_flush_timer);
            m.log_flush_timer = 0;
        }
        show_log_state(m);
        return;
    }
    GtkWidget* chooser = gtk_file_chooser_dialog_new(
        text(kTextSelectLogFile), GTK_WINDOW(m.console_ui.window), GTK_FILE_CHOOSER_ACTION_SAVE,
        text(kTextCancel), GTK_RESPONSE_CANCEL, text(kTextSave), GTK_RESPONSE_ACCEPT, nullptr);
    const std::string folder = log_folder(m);
    if (!folder.empty())
        gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(chooser), folder.c_str());
    std::string path;
    if (gtk_dialog_run(GTK_DIALOG(chooser)) == GTK_RESPONSE_ACCEPT) {
        if (gchar* chosen = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(chooser))) {
            path = chosen;
            g_free(chosen);
        }
    }
    gtk_widget_destroy(chooser);
    if (path.empty())
        return;
    gchar* dir = g_path_get_dirname(path.c_str());
    if (m.prefs)
        remember_folder(*m.prefs, &PrefsState::log_folder, dir);
    else
        m.log_folder = dir;
    g_free(dir);
    console_window_start_log(m, path);
}

} // namespace tq
