#include "app/connection_dialog.h"

#include "platform/clock.h"
#include "text/texts.h"
#include "widgets/kit.h"

#include <gtk/gtk.h>

#include <cstdlib>
#include <functional>

namespace tq {
namespace {

enum class Choice { None, First, Second, Exit };

struct DialogRun {
    GtkWidget* window = nullptr;
    Choice choice = Choice::None;
    bool destroyed = false;
};

void on_destroyed(GtkWidget*, gpointer data) { static_cast<DialogRun*>(data)->destroyed = true; }

template <Choice C> void on_choice(GtkWidget*, gpointer data)
{
    auto* run = static_cast<DialogRun*>(data);
    run->choice = C;
    if (C == Choice::Exit)
        std::exit(0);
    close_message_window();
}

GtkWidget* new_dialog_window(DialogRun& run)
{
    GtkWidget* w = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    run.window = w;
    take_message_slot(w);
    g_signal_connect(w, "destroy", G_CALLBACK(on_destroyed), &run);
    gtk_window_set_title(GTK_WINDOW(w), text(23));
    gtk_window_set_modal(GTK_WINDOW(w), TRUE);
    gtk_window_set_position(GTK_WINDOW(w), GTK_WIN_POS_CENTER_ALWAYS);
    gtk_window_set_resizable(GTK_WINDOW(w), FALSE);
    gtk_window_set_deletable(GTK_WINDOW(w), FALSE);
    gtk_window_set_keep_above(GTK_WINDOW(w), TRUE);
    if (widget_state().main_window)
        gtk_window_set_transient_for(GTK_WINDOW(w), GTK_WINDOW(widget_state().main_window));
    return w;
}

GtkWidget* sized_button(GtkWidget* row, const char* label, int width, GCallback handler,
                        DialogRun& run)
{
    GtkWidget* b = new_button(label);
    gtk_widget_set_size_request(b, width, 25);
    g_signal_connect(b, "clicked", handler, &run);
    pack(row, b);
    return b;
}

// Runs the toolkit until the dialog is gone (a choice, or another message
// taking the slot).
void run_until_closed(DialogRun& run)
{
    while (!run.destroyed) {
        while (gtk_events_pending())
            gtk_main_iteration();
        if (!run.destroyed)
            platform::sleep_ms(10);
    }
}

void call(const std::function<void()>& f)
{
    if (f)
        f();
}

} // namespace

void run_bootloader_dialog(AppState& a)
{
    DialogRun run;
    GtkWidget* w = new_dialog_window(run);
    GtkWidget* box = gtk_vbox_new(FALSE, 1);
    gtk_container_add(GTK_CONTAINER(w), box);
    GtkWidget* top = new_label("");
    gtk_widget_set_size_request(top, 400, 15);
    pack(box, top);
    pack(box, new_label(text(212)));
    GtkWidget* bottom = new_label("");
    gtk_widget_set_size_request(bottom, 400, 15);
    pack(box, bottom);
    GtkWidget* row = gtk_hbox_new(FALSE, 1);
    pack(box, row);
    sized_button(row, text(224), 170, G_CALLBACK(on_choice<Choice::First>), run);
    sized_button(row, text(285), 190, G_CALLBACK(on_choice<Choice::Second>), run);
    add_spacer(row);
    sized_button(row, text(282), 170, G_CALLBACK(on_choice<Choice::Exit>), run);
    gtk_widget_show_all(w);

    run_until_closed(run);
    if (run.choice == Choice::First)
        call(a.shell.tools.program_bootloader);
    else if (run.choice == Choice::Second)
        call(a.shell.tools.remote_access);
}

void run_version_mismatch_dialog(AppState& a, const std::string& message)
{
    DialogRun run;
    GtkWidget* w = new_dialog_window(run);
    GtkWidget* box = gtk_vbox_new(FALSE, 1);
    gtk_container_add(GTK_CONTAINER(w), box);
    GtkWidget* top = new_label("");
    gtk_widget_set_size_request(top, 400, 15);
    pack(box, top);
    pack(box, new_label(message.c_str()));
    GtkWidget* bottom = new_label("");
    gtk_widget_set_size_request(bottom, 400, 15);
    pack(box, bottom);
    GtkWidget* row = gtk_hbox_new(FALSE, 1);
    pack(box, row);
    sized_button(row, text(282), 170, G_CALLBACK(on_choice<Choice::Exit>), run);
    sized_button(row, text(283), 190, G_CALLBACK(on_choice<Choice::First>), run);
    sized_button(row, text(384), 170, G_CALLBACK(on_choice<Choice::Second>), run);
    gtk_widget_show_all(w);

    run_until_closed(run);
    if (run.choice == Choice::First)
        call(a.shell.tools.firmware_update);
    else if (run.choice == Choice::Second)
        device_close(a.link);
}

} // namespace tq
