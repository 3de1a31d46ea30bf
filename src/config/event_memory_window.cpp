#include "config/event_memory_window.h"

#include "config/unit_status.h"
#include "text/texts.h"
#include "widgets/kit.h"

#include <gtk/gtk.h>

namespace tq {
namespace {

void on_event_window_destroy(GtkWidget*, gpointer data)
{
    auto& t = *static_cast<UnitToolsState*>(data);
    t.event_window = nullptr;
    t.event_entries = {};
}

void on_erase(GtkWidget*, gpointer data)
{
    auto& t = *static_cast<UnitToolsState*>(data);
    if (t.link)
        erase_event_memory(*t.link);
}

} // namespace

void open_event_window(UnitToolsState& t)
{
    if (t.event_window) {
        gtk_window_present(GTK_WINDOW(t.event_window));
        return;
    }
    if (!t.link || !t.link->open())
        return;
    t.event_window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(t.event_window), text(kTextEventMemory));
    gtk_window_set_resizable(GTK_WINDOW(t.event_window), FALSE);
    gtk_window_set_position(GTK_WINDOW(t.event_window), GTK_WIN_POS_CENTER_ALWAYS);
    g_signal_connect(t.event_window, "destroy", G_CALLBACK(on_event_window_destroy), &t);

    GtkWidget* columns = gtk_hbox_new(FALSE, 1);
    gtk_container_set_border_width(GTK_CONTAINER(columns), 4);
    gtk_container_add(GTK_CONTAINER(t.event_window), columns);
    GtkWidget* left = gtk_vbox_new(FALSE, 1);
    pack(columns, left);
    pack(left, new_label(text(kTextEventMemory)));
    GtkWidget* erase = new_button(text(kTextErase));
    g_signal_connect(erase, "clicked", G_CALLBACK(on_erase), &t);
    pack(left, erase);
    GtkWidget* right = gtk_vbox_new(FALSE, 1);
    pack(columns, right);
    for (GtkWidget*& entry : t.event_entries)
        add_readonly_entry(right, 350, &entry);
    gtk_widget_show_all(t.event_window);
}

void close_event_window(UnitToolsState& t)
{
    if (t.event_window)
        gtk_widget_destroy(t.event_window);
}

void event_window_step(UnitToolsState& t)
{
    if (!t.event_window || !t.link)
        return;
    event_memory_step(*t.link, t.event_poll_count, [&t](int i, const std::string& name) {
        if (GtkWidget* entry = t.event_entries[std::size_t(i)])
            gtk_entry_set_text(GTK_ENTRY(entry), name.c_str());
    });
}

} // namespace tq
