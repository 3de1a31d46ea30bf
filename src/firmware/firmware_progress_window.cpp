#include "firmware/firmware_progress_window.h"

#include "text/texts.h"
#include "widgets/kit.h"

#include <gtk/gtk.h>

namespace tq {
namespace {

// The window manager's close button does nothing while the flash is written.
gboolean refuse_delete(GtkWidget*, GdkEvent*, gpointer) { return TRUE; }

void forget(GtkWidget*, gpointer data)
{
    auto* fw = static_cast<FirmwareState*>(data);
    fw->progress_window = nullptr;
    fw->progress_label = nullptr;
    fw->progress_bar = nullptr;
}

} // namespace

void open_progress_window(FirmwareState& fw, GtkWidget* parent)
{
    close_progress_window(fw);
    GtkWidget* w = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    fw.progress_window = w;
    gtk_window_set_title(GTK_WINDOW(w), text(kTextLoadingFirmware));
    gtk_window_set_modal(GTK_WINDOW(w), TRUE);
    gtk_window_set_position(GTK_WINDOW(w), GTK_WIN_POS_CENTER_ALWAYS);
    gtk_window_set_resizable(GTK_WINDOW(w), FALSE);
    gtk_window_set_deletable(GTK_WINDOW(w), FALSE);
    if (parent)
        gtk_window_set_transient_for(GTK_WINDOW(w), GTK_WINDOW(parent));
    g_signal_connect(w, "delete-event", G_CALLBACK(refuse_delete), nullptr);
    g_signal_connect(w, "destroy", G_CALLBACK(forget), &fw);

    GtkWidget* box = gtk_vbox_new(FALSE, 1);
    gtk_container_add(GTK_CONTAINER(w), box);
    fw.progress_label = new_label("");
    gtk_widget_set_size_request(fw.progress_label, 600, 40);
    pack(box, fw.progress_label);
    fw.progress_bar = gtk_progress_bar_new();
    gtk_widget_set_size_request(fw.progress_bar, 600, 40);
    pack(box, fw.progress_bar);
    gtk_widget_show_all(w);
}

void close_progress_window(FirmwareState& fw)
{
    if (fw.progress_window)
        gtk_widget_destroy(fw.progress_window); // "destroy" clears the handles
}

void set_progress_label(FirmwareState& fw, const std::string& t)
{
    if (fw.progress_label)
        gtk_label_set_text(GTK_LABEL(fw.progress_label), t.c_str());
}

void set_progress_text(FirmwareState& fw, const std::string& t)
{
    if (fw.progress_bar)
        gtk_progress_bar_set_text(GTK_PROGRESS_BAR(fw.progress_bar), t.c_str());
}

void set_progress_fraction(FirmwareState& fw, double fraction)
{
    if (fw.progress_bar)
        gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(fw.progress_bar), fraction);
}

} // namespace tq
