#include "monitor/message_sound_dialog.h"

#include "widgets/kit.h"

#include <gtk/gtk.h>

#include <algorithm>

namespace tq {
namespace {

void on_sound_dialog_destroy(GtkWidget*, gpointer data)
{
    static_cast<MonitorState*>(data)->sound_ui = {};
}

void on_trigger_changed(GtkEditable* entry, gpointer data)
{
    auto& m = *static_cast<MonitorState*>(data);
    m.console.sound.trigger = cut_utf8(gtk_entry_get_text(GTK_ENTRY(entry)), kSoundTriggerMax);
}

void on_change_file(GtkWidget*, gpointer data)
{
    auto& m = *static_cast<MonitorState*>(data);
    GtkWidget* chooser = gtk_file_chooser_dialog_new(
        "Wybór dźwięku", GTK_WINDOW(m.sound_ui.window), GTK_FILE_CHOOSER_ACTION_OPEN, "Wybierz",
        GTK_RESPONSE_ACCEPT, "Cancel", GTK_RESPONSE_CANCEL, nullptr);
    GtkFileFilter* filter = gtk_file_filter_new();
    gtk_file_filter_add_pattern(filter, "*.wav");
    gtk_file_chooser_add_filter(GTK_FILE_CHOOSER(chooser), filter);
    if (gtk_dialog_run(GTK_DIALOG(chooser)) == GTK_RESPONSE_ACCEPT) {
        if (gchar* chosen = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(chooser))) {
            m.console.sound.file = cut_utf8(chosen, kSoundFileMax);
            g_free(chosen);
            if (m.sound_ui.file_label)
                gtk_label_set_text(GTK_LABEL(m.sound_ui.file_label), m.console.sound.file.c_str());
        }
    }
    gtk_widget_destroy(chooser);
}

} // namespace

void open_message_sound_dialog(MonitorState& m)
{
    SoundDialogHandles& ui = m.sound_ui;
    if (ui.window) {
        gtk_window_present(GTK_WINDOW(ui.window));
        return;
    }
    ui.window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(ui.window), "Dźwięk na komunikat");
    gtk_window_set_modal(GTK_WINDOW(ui.window), TRUE);
    gtk_window_set_resizable(GTK_WINDOW(ui.window), FALSE);
    gtk_window_set_position(GTK_WINDOW(ui.window), GTK_WIN_POS_CENTER);
    if (m.console_ui.window) {
        gtk_window_set_transient_for(GTK_WINDOW(ui.window), GTK_WINDOW(m.console_ui.window));
        gtk_window_set_destroy_with_parent(GTK_WINDOW(ui.window), TRUE);
    }
    g_signal_connect(ui.window, "destroy", G_CALLBACK(on_sound_dialog_destroy), &m);

    // A margin of spacers around two rows.
    GtkWidget* outer = gtk_hbox_new(FALSE, 1);
    gtk_container_add(GTK_CONTAINER(ui.window), outer);
    add_spacer(outer);
    GtkWidget* column = gtk_vbox_new(FALSE, 1);
    pack(outer, column);
    add_spacer(outer);
    add_spacer(column);

    GtkWidget* first = new_row_box();
    pack(column, first);
    pack(first, new_label("Tekst w konsoli (puste - wyłącz):"));
    ui.trigger_entry = gtk_entry_new();
    gtk_entry_set_max_length(GTK_ENTRY(ui.trigger_entry), int(kSoundTriggerMax));
    gtk_entry_set_text(GTK_ENTRY(ui.trigger_entry), m.console.sound.trigger.c_str());
    gtk_widget_set_size_request(ui.trigger_entry, 750, 20);
    g_signal_connect(ui.trigger_entry, "changed", G_CALLBACK(on_trigger_changed), &m);
    pack(first, ui.trigger_entry);

    GtkWidget* second = new_row_box();
    pack(column, second);
    pack(second, new_label("Nazwa pliku dźwięku:"));
    ui.file_label = new_label(m.console.sound.file.c_str());
    gtk_misc_set_alignment(GTK_MISC(ui.file_label), 0.0f, 0.5f);
    gtk_label_set_ellipsize(GTK_LABEL(ui.file_label), PANGO_ELLIPSIZE_START);
    gtk_widget_set_size_request(ui.file_label, 700, 20);
    pack(second, ui.file_label);
    GtkWidget* change = new_button("ZMIEŃ");
    // 50 x 20, or wider where the caption needs it.
    GtkRequisition natural;
    gtk_widget_size_request(change, &natural);
    gtk_widget_set_size_request(change, std::max(50, natural.width), 20);
    g_signal_connect(change, "clicked", G_CALLBACK(on_change_file), &m);
    pack(second, change);
    add_spacer(column);

    gtk_widget_show_all(ui.window);
}

void close_message_sound_dialog(MonitorState& m)
{
    if (m.sound_ui.window)
        gtk_widget_destroy(m.sound_ui.window);
}

} // namespace tq
