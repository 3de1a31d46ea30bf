#include "config/pin_dialog.h"

#include "config/service_pin.h"
#include "text/texts.h"
#include "widgets/kit.h"

#include <gtk/gtk.h>

namespace tq {
namespace {

void on_pin_destroy(GtkWidget*, gpointer data)
{
    auto& t = *static_cast<UnitToolsState*>(data);
    t.pin_dialog = nullptr;
    t.pin_entry = nullptr;
    t.pin_buffer = nullptr;
}

gboolean on_pin_delete(GtkWidget*, GdkEvent*, gpointer data)
{
    close_service_pin_dialog(*static_cast<UnitToolsState*>(data));
    return TRUE;
}

void on_pin_save(GtkWidget*, gpointer data)
{
    save_service_pin_dialog(*static_cast<UnitToolsState*>(data));
}

void on_pin_cancel(GtkWidget*, gpointer data)
{
    close_service_pin_dialog(*static_cast<UnitToolsState*>(data));
}

int firmware_of(const UnitToolsState& t)
{
    return t.connection ? t.connection->firmware_version : 0;
}

} // namespace

void open_service_pin_dialog(UnitToolsState& t)
{
    if (t.pin_dialog) {
        gtk_window_present(GTK_WINDOW(t.pin_dialog));
        return;
    }
    if (!t.link || !t.link->open())
        return;
    std::array<std::uint8_t, kServicePinDigits> stored{};
    if (!read_service_pin(*t.link, firmware_of(t), stored)) {
        show_message(text(kTextConfigurationLoadError));
        return;
    }

    t.pin_dialog = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(t.pin_dialog), text(kTextChangePin));
    gtk_window_set_position(GTK_WINDOW(t.pin_dialog), GTK_WIN_POS_CENTER);
    gtk_window_set_resizable(GTK_WINDOW(t.pin_dialog), FALSE);
    g_signal_connect(t.pin_dialog, "delete-event", G_CALLBACK(on_pin_delete), &t);
    g_signal_connect(t.pin_dialog, "destroy", G_CALLBACK(on_pin_destroy), &t);

    PangoFontDescription* large = widget_state().fonts.large;
    GtkWidget* box = gtk_vbox_new(FALSE, 5);
    gtk_container_add(GTK_CONTAINER(t.pin_dialog), box);

    GtkWidget* first = gtk_hbox_new(FALSE, 5);
    gtk_box_pack_start(GTK_BOX(box), first, FALSE, FALSE, 5);
    GtkWidget* spacer = gtk_label_new("");
    gtk_widget_set_size_request(spacer, 50, -1);
    gtk_box_pack_start(GTK_BOX(first), spacer, FALSE, FALSE, 5);
    GtkWidget* caption = gtk_label_new("PIN:");
    if (large)
        gtk_widget_modify_font(caption, large);
    gtk_box_pack_start(GTK_BOX(first), caption, FALSE, FALSE, 5);
    t.pin_buffer = gtk_entry_buffer_new(service_pin_text(stored.data()).c_str(), -1);
    gtk_entry_buffer_set_max_length(t.pin_buffer, kServicePinDigits);
    t.pin_entry = gtk_entry_new_with_buffer(t.pin_buffer);
    g_object_unref(t.pin_buffer); // the entry holds it
    gtk_widget_set_size_request(t.pin_entry, 80, 40);
    if (large)
        gtk_widget_modify_font(t.pin_entry, large);
    gtk_box_pack_start(GTK_BOX(first), t.pin_entry, FALSE, FALSE, 5);

    GtkWidget* second = gtk_hbox_new(FALSE, 5);
    gtk_box_pack_start(GTK_BOX(box), second, FALSE, FALSE, 5);
    GtkWidget* save = gtk_button_new_with_label(text(kTextSave));
    gtk_widget_set_size_request(save, 120, 30);
    g_signal_connect(save, "clicked", G_CALLBACK(on_pin_save), &t);
    gtk_box_pack_start(GTK_BOX(second), save, TRUE, TRUE, 5);
    GtkWidget* cancel = gtk_button_new_with_label(text(kTextCancel));
    gtk_widget_set_size_request(cancel, 120, 30);
    g_signal_connect(cancel, "clicked", G_CALLBACK(on_pin_cancel), &t);
    gtk_box_pack_start(GTK_BOX(second), cancel, TRUE, TRUE, 5);

    gtk_widget_show_all(t.pin_dialog);
}

void save_service_pin_dialog(UnitToolsState& t)
{
    if (!t.pin_dialog || !t.link)
        return;
    const std::string entered = buffer_text(t.pin_buffer);
    switch (save_service_pin(*t.link, firmware_of(t), entered)) {
    case PinSave::Invalid:
        show_message(text(kTextPinFourDigits));
        return;
    case PinSave::WriteError:
        show_message(text(kTextWriteError));
        break;
    case PinSave::Saved:
        show_message(text(kTextPinSaved));
        break;
    }
    close_service_pin_dialog(t);
}

void close_service_pin_dialog(UnitToolsState& t)
{
    if (t.pin_dialog)
        gtk_widget_destroy(t.pin_dialog);
}

} // namespace tq
