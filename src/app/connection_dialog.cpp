#include "app/connection_dialog.h"

#include "app/wiring.h"
#include "platform/clock.h"
#include "text/texts.h"
#include "widgets/kit.h"

#include <gtk/gtk.h>

#include <cstdlib>
#include <initializer_list>

namespace tq {
namespace {

enum class Choice { None, First, Second, Exit };

struct DialogRun {
    Choice choice = Choice::None;
    bool destroyed = false;
};

// A button of a connection dialog; a gap of 10 pixels may stand before it.
struct DialogButton {
    int caption; // text row
    int width;
    Choice choice;
    bool gap_before = false;
};

void on_destroyed(GtkWidget*, gpointer data) { static_cast<DialogRun*>(data)->destroyed = true; }

template <Choice C> void on_choice(GtkWidget*, gpointer data)
{
    static_cast<DialogRun*>(data)->choice = C;
    if (C == Choice::Exit)
        std::exit(0);
    close_message_window();
}

GCallback handler_of(Choice c)
{
    switch (c) {
    case Choice::First: return G_CALLBACK(on_choice<Choice::First>);
    case Choice::Second: return G_CALLBACK(on_choice<Choice::Second>);
    default: return G_CALLBACK(on_choice<Choice::Exit>);
    }
}

GtkWidget* spacer_label(int width, int height)
{
    GtkWidget* l = new_label("");
    gtk_widget_set_size_request(l, width, height);
    return l;
}

// The dialog in the message-window slot: modal, centred, kept above, not
// resizable or deletable, the text between two 400 x 15 spacers and the
// buttons below. Runs the toolkit until it is gone (a choice, or another
// message taking the slot) and returns the choice.
Choice run_choice_dialog(const char* message, std::initializer_list<DialogButton> buttons)
{
    DialogRun run;
    GtkWidget* w = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    take_message_slot(w);
    g_signal_connect(w, "destroy", G_CALLBACK(on_destroyed), &run);
    gtk_window_set_title(GTK_WINDOW(w), text(kTextMessage));
    gtk_window_set_modal(GTK_WINDOW(w), TRUE);
    gtk_window_set_position(GTK_WINDOW(w), GTK_WIN_POS_CENTER_ALWAYS);
    gtk_window_set_resizable(GTK_WINDOW(w), FALSE);
    gtk_window_set_deletable(GTK_WINDOW(w), FALSE);
    gtk_window_set_keep_above(GTK_WINDOW(w), TRUE);
    if (widget_state().main_window)
        gtk_window_set_transient_for(GTK_WINDOW(w), GTK_WINDOW(widget_state().main_window));

    GtkWidget* box = gtk_vbox_new(FALSE, 1);
    gtk_container_add(GTK_CONTAINER(w), box);
    pack(box, spacer_label(400, 15));
    pack(box, new_label(message));
    pack(box, spacer_label(400, 15));
    GtkWidget* row = gtk_hbox_new(FALSE, 1);
    pack(box, row);
    for (const DialogButton& b : buttons) {
        if (b.gap_before)
            add_spacer(row);
        GtkWidget* button = new_button(text(b.caption));
        gtk_widget_set_size_request(button, b.width, 25);
        g_signal_connect(button, "clicked", handler_of(b.choice), &run);
        pack(row, button);
    }
    gtk_widget_show_all(w);

    while (!run.destroyed) {
        run_pending_events();
        if (!run.destroyed)
            platform::sleep_ms(10);
    }
    return run.choice;
}

} // namespace

void run_bootloader_dialog(AppState& a)
{
    const Choice c =
        run_choice_dialog(text(kTextDeviceNotProgrammed), {{kTextProgram, 170, Choice::First},
                                                           {kTextEnableRemoteAccess, 190, Choice::Second},
                                                           {kTextExitProgram, 170, Choice::Exit, true}});
    if (c == Choice::First)
        program_bootloader(a);
    else if (c == Choice::Second)
        open_remote_access(a);
}

void run_version_mismatch_dialog(AppState& a, const std::string& message)
{
    const Choice c = run_choice_dialog(message.c_str(), {{kTextExitProgram, 170, Choice::Exit},
                                                         {kTextChangeFirmware, 190, Choice::First},
                                                         {kTextTryAgain, 170, Choice::Second}});
    if (c == Choice::First)
        update_unit_firmware(a);
    else if (c == Choice::Second)
        device_close(a.link, "the fitter declined the bootloader update");
}

} // namespace tq
