#include "update/update_window.h"

#include "platform/clock.h"
#include "platform/paths.h"
#include "prefs/preferences.h"
#include "text/texts.h"
#include "widgets/kit.h"

#include <gtk/gtk.h>


namespace tq {
namespace {

gboolean ignore_delete(GtkWidget*, GdkEvent*, gpointer) { return TRUE; }

void build_progress_window(UpdateState& s)
{
    s.progress_window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(s.progress_window), text(kTextCheckingForUpdates));
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

} // namespace

std::optional<std::string> choose_installer_destination(const std::string& folder,
                                                        const std::string& name)
{
    GtkWidget* parent = widget_state().main_window;
    GtkWidget* chooser = gtk_file_chooser_dialog_new(
        text(kTextSaveInstallerTitle), parent ? GTK_WINDOW(parent) : nullptr,
        GTK_FILE_CHOOSER_ACTION_SAVE, text(kTextCancel), GTK_RESPONSE_CANCEL, text(kTextSave),
        GTK_RESPONSE_ACCEPT, nullptr);
    gtk_file_chooser_set_do_overwrite_confirmation(GTK_FILE_CHOOSER(chooser), TRUE);
    const std::string start =
        platform::folder_readable(folder) ? folder : std::string(g_get_home_dir());
    gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(chooser), start.c_str());
    gtk_file_chooser_set_current_name(GTK_FILE_CHOOSER(chooser), name.c_str());
    std::optional<std::string> chosen;
    if (gtk_dialog_run(GTK_DIALOG(chooser)) == GTK_RESPONSE_ACCEPT) {
        if (gchar* path = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(chooser))) {
            chosen = std::string(path);
            g_free(path);
        }
    }
    gtk_widget_destroy(chooser);
    return chosen;
}

namespace {

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
    ui.choose_destination = [](const std::string& folder, const std::string& name) {
        return choose_installer_destination(folder, name);
    };
    return ui;
}

} // namespace

UpdateOutcome check_for_update(UpdateState& s)
{
    UpdateOutcome out = run_update_check(s, progress_ui(s));
    // What the server publishes is an installer for another system: it is
    // kept where the user chose, never opened or run, and the program goes on.
    if (out.result == UpdateResult::installer_saved)
        out.text = textf(kTextInstallerSaved, out.installer.c_str());
    return out;
}

void toggle_update_check(UpdateState& s, const std::function<void(bool)>& relabel)
{
    const bool on = !(s.prefs ? s.prefs->check_updates : true);
    if (s.prefs) {
        s.prefs->check_updates = on;
        save_preferences(*s.prefs);
    }
    if (relabel)
        relabel(on);
    if (!on)
        return;
    const UpdateOutcome out = check_for_update(s);
    if (!out.text.empty())
        show_message(out.text);
    else if (out.result == UpdateResult::up_to_date)
        show_message(text(kTextLatestVersion));
}

} // namespace tq
