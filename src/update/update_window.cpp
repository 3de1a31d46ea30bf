#include "update/update_window.h"

#include "platform/clock.h"
#include "text/texts.h"
#include "widgets/kit.h"

#include <gio/gio.h>
#include <gtk/gtk.h>

#include <cstdlib>

namespace tq {
namespace {

constexpr int kBeforeMessageMs = 500;
constexpr int kMessageWaitStepMs = 10;

gboolean ignore_delete(GtkWidget*, GdkEvent*, gpointer) { return TRUE; }

void build_progress_window(UpdateState& s)
{
    s.progress_window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(s.progress_window), text(227));
    gtk_window_set_position(GTK_WINDOW(s.progress_window), GTK_WIN_POS_CENTER);
    gtk_window_set_resizable(GTK_WINDOW(s.progress_window), FALSE);
    gtk_window_set_deletable(GTK_WINDOW(s.progress_window), FALSE);
    g_signal_connect(s.progress_window, "delete-event", G_CALLBACK(ignore_delete), nullptr);
    s.progress_bar = gtk_progress_bar_new();
    gtk_widget_set_size_request(s.progress_bar, 400, 40);
    gtk_container_add(GTK_CONTAINER(s.progress_window), s.progress_bar);
    gtk_widget_show_all(s.progress_window);
}

void close_progress_window(UpdateState& s)
{
    if (s.progress_window)
        gtk_widget_destroy(s.progress_window);
    s.progress_window = nullptr;
    s.progress_bar = nullptr;
}

UpdateUi progress_ui(UpdateState& s)
{
    UpdateUi ui;
    ui.progress = [&s](double fraction, const std::string& bar_text) {
        if (!s.progress_window)
            build_progress_window(s);
        gtk_widget_show(s.progress_window);
        gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(s.progress_bar), fraction);
        gtk_progress_bar_set_text(GTK_PROGRESS_BAR(s.progress_bar), bar_text.c_str());
        platform::pump_events();
    };
    ui.hide_progress = [&s] {
        if (s.progress_window)
            gtk_widget_hide(s.progress_window);
    };
    ui.close_progress = [&s] { close_progress_window(s); };
    ui.ask = [](const std::string& question) {
        return ask_question(widget_state().main_window, question.c_str());
    };
    return ui;
}

} // namespace

bool open_with_default_handler(const std::string& path)
{
    GFile* file = g_file_new_for_path(path.c_str());
    char* uri = g_file_get_uri(file);
    GError* error = nullptr;
    const bool ok = g_app_info_launch_default_for_uri(uri, nullptr, &error) != FALSE;
    g_clear_error(&error);
    g_free(uri);
    g_object_unref(file);
    return ok;
}

UpdateOutcome check_for_update(UpdateState& s)
{
    const UpdateUi ui = progress_ui(s);
    UpdateOutcome out = run_update_check(s, ui);
    if (out.result != UpdateResult::installer_ready)
        return out;

    platform::sleep_ms(kBeforeMessageMs);
    show_message(text(281));
    close_progress_window(s);
    while (widget_state().message_window) {
        platform::pump_events();
        platform::sleep_ms(kMessageWaitStepMs);
    }
    // The installer came over plain HTTP: it is not run directly but handed
    // to whatever the desktop opens such files with, which asks the user.
    const bool opened = s.open_installer ? s.open_installer(out.installer)
                                         : open_with_default_handler(out.installer);
    if (!opened) {
        out.result = UpdateResult::failed;
        out.text = text(232);
        return out;
    }
    if (s.quit)
        s.quit();
    else
        std::exit(0);
    return out;
}

void toggle_update_check(UpdateState& s, const std::function<void(bool)>& relabel)
{
    const bool on = !(s.preference ? s.preference() : true);
    if (s.store_preference)
        s.store_preference(on);
    if (relabel)
        relabel(on);
    if (!on)
        return;
    const UpdateOutcome out = check_for_update(s);
    if (out.result == UpdateResult::failed)
        show_message(out.text);
    else if (out.result == UpdateResult::up_to_date)
        show_message(text(234));
}

} // namespace tq
