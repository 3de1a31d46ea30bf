#include "firmware/file_chooser_dialog.h"

#include "platform/clock.h"
#include "text/texts.h"
#include "widgets/kit.h"

#include <gtk/gtk.h>

namespace tq {
namespace {

constexpr int kServicePauseMs = 30;

struct ChooserRun {
    int response = GTK_RESPONSE_NONE;
    bool answered = false;
    bool destroyed = false;
};

void on_response(GtkDialog*, gint response, gpointer data)
{
    auto* run = static_cast<ChooserRun*>(data);
    run->response = response;
    run->answered = true;
}

// Closed by the window manager (or anyone else) without an answer.
void on_destroy(GtkWidget*, gpointer data)
{
    auto* run = static_cast<ChooserRun*>(data);
    run->answered = true;
    run->destroyed = true;
}

std::string take_string(gchar* s)
{
    std::string out = s ? s : "";
    g_free(s);
    return out;
}

} // namespace

std::optional<std::string> choose_file_polling(
    LinkState& link, const FileChooserRequest& request,
    const std::function<void(const std::string& folder)>& folder_chosen)
{
    GtkWidget* dialog = gtk_file_chooser_dialog_new(
        request.title, request.parent ? GTK_WINDOW(request.parent) : nullptr, GTK_FILE_CHOOSER_ACTION_OPEN,
        text(kTextCancel), GTK_RESPONSE_CANCEL, text(kTextOpen), GTK_RESPONSE_ACCEPT, nullptr);
    gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);
    GtkFileFilter* filter = gtk_file_filter_new();
    std::string name;
    for (const std::string& p : request.patterns) {
        gtk_file_filter_add_pattern(filter, p.c_str());
        name += (name.empty() ? "" : ";") + p;
    }
    gtk_file_filter_set_name(filter, name.c_str());
    gtk_file_chooser_add_filter(GTK_FILE_CHOOSER(dialog), filter);
    if (!request.folder.empty())
        gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(dialog), request.folder.c_str());

    ChooserRun run;
    g_signal_connect(dialog, "response", G_CALLBACK(on_response), &run);
    g_signal_connect(dialog, "destroy", G_CALLBACK(on_destroy), &run);
    gtk_widget_show_all(dialog);

    while (!run.answered) {
        run_pending_events();
        if (run.answered)
            break;
        drain_replies(link);
        platform::sleep_ms(kServicePauseMs);
    }

    std::optional<std::string> chosen;
    if (run.response == GTK_RESPONSE_ACCEPT && !run.destroyed) {
        std::string file = take_string(gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(dialog)));
        if (!file.empty()) {
            const std::string folder = take_string(g_path_get_dirname(file.c_str()));
            chosen = std::move(file);
            if (folder_chosen && !folder.empty())
                folder_chosen(folder);
        }
    }
    if (!run.destroyed)
        gtk_widget_destroy(dialog); // its "destroy" handler still sees run, which lives here
    return chosen;
}

} // namespace tq
