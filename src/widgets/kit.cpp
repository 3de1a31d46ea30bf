#include "widgets/kit.h"

#include "platform/clock.h"
#include "text/texts.h"

namespace tq {
namespace {

constexpr int kEntryHeight = 20;

GtkWidget* labelled(GtkWidget* button, const char* text)
{
    GtkWidget* label = gtk_label_new(text);
    gtk_widget_show(label);
    gtk_container_add(GTK_CONTAINER(button), label);
    gtk_widget_show(button);
    return button;
}

GtkWidget* sized_row_label(const char* text, int width)
{
    GtkWidget* label = gtk_label_new(text);
    gtk_misc_set_alignment(GTK_MISC(label), 0.0f, 0.5f);
    gtk_widget_set_size_request(label, width, kEntryHeight);
    gtk_widget_show(label);
    return label;
}

GtkEntryBuffer* new_entry(GtkWidget* box, int width, bool editable, GtkWidget** out_entry)
{
    GtkEntryBuffer* buffer = gtk_entry_buffer_new(nullptr, -1);
    GtkWidget* entry = gtk_entry_new_with_buffer(buffer);
    g_object_unref(buffer); // the entry holds it
    gtk_widget_set_size_request(entry, width, kEntryHeight);
    gtk_editable_set_editable(GTK_EDITABLE(entry), editable);
    gtk_widget_show(entry);
    pack(box, entry);
    if (out_entry)
        *out_entry = entry;
    return buffer;
}

void set_window_cursor(GtkWidget* window, GdkCursor* cursor)
{
    if (window && gtk_widget_get_window(window))
        gdk_window_set_cursor(gtk_widget_get_window(window), cursor);
}

} // namespace

void run_pending_events()
{
    while (gtk_events_pending())
        gtk_main_iteration();
}

WidgetState& widget_state()
{
    static WidgetState state;
    return state;
}

void create_fonts()
{
    Fonts& f = widget_state().fonts;
    if (f.small)
        return;
    f.small = pango_font_description_from_string("Arial 9");
    f.large = pango_font_description_from_string("Arial 18");
    f.medium = pango_font_description_from_string("Arial 12");
    f.bold = pango_font_description_from_string("Arial 10 Bold");
    f.mono = pango_font_description_from_string("Courier 10");
    widget_state().busy_cursor = gdk_cursor_new(GDK_WATCH);
}

void pack(GtkWidget* box, GtkWidget* child)
{
    if (box)
        gtk_box_pack_start(GTK_BOX(box), child, FALSE, FALSE, 1);
}

GtkWidget* new_label(const char* text)
{
    GtkWidget* label = gtk_label_new(text);
    gtk_widget_show(label);
    return label;
}

GtkWidget* new_menu_item(const char* text)
{
    GtkWidget* item = gtk_menu_item_new();
    GtkWidget* label = gtk_label_new(text);
    gtk_misc_set_alignment(GTK_MISC(label), 0.0f, 0.0f);
    gtk_widget_show(label);
    gtk_container_add(GTK_CONTAINER(item), label);
    gtk_widget_show(item);
    return item;
}

GtkWidget* new_radio_button(GtkWidget* group_member, const char* text)
{
    GtkWidget* button = group_member
        ? gtk_radio_button_new_from_widget(GTK_RADIO_BUTTON(group_member))
        : gtk_radio_button_new(nullptr);
    return labelled(button, text);
}

GtkWidget* new_check_button(const char* text) { return labelled(gtk_check_button_new(), text); }

GtkWidget* new_row_box()
{
    GtkWidget* box = gtk_hbox_new(FALSE, 1);
    gtk_widget_set_size_request(box, -1, 27);
    gtk_widget_show(box);
    return box;
}

GtkWidget* new_button(const char* text) { return labelled(gtk_button_new(), text); }

GtkWidget* new_wide_button(const char* text)
{
    GtkWidget* button = new_button(text);
    gtk_widget_set_size_request(button, 200, 30);
    return button;
}

GtkWidget* add_spacer(GtkWidget* box)
{
    GtkWidget* label = new_label("");
    gtk_widget_set_size_request(label, 10, 10);
    pack(box, label);
    return label;
}

GtkWidget* add_row_label(GtkWidget* box, const char* text, int width)
{
    GtkWidget* label = sized_row_label(text, width);
    pack(box, label);
    return label;
}

GtkWidget* add_numbered_row_label(int& counter, GtkWidget* box, const char* text, int width)
{
    gchar* numbered = g_strdup_printf("  %d. %s", counter, text);
    GtkWidget* label = add_row_label(box, numbered, width);
    g_free(numbered);
    ++counter;
    return label;
}

GtkEntryBuffer* add_entry(GtkWidget* box, int width, GtkWidget** out_entry)
{
    return new_entry(box, width, true, out_entry);
}

GtkEntryBuffer* add_entry_with_handler(GtkWidget* box, int width, Callback handler,
                                       GtkWidget** out_entry, gpointer data)
{
    GtkWidget* entry = nullptr;
    GtkEntryBuffer* buffer = add_entry(box, width, &entry);
    g_signal_connect(entry, "changed", handler, data);
    if (out_entry)
        *out_entry = entry;
    return buffer;
}

GtkEntryBuffer* add_readonly_entry(GtkWidget* box, int width, GtkWidget** out_entry)
{
    return new_entry(box, width, false, out_entry);
}

GtkEntryBuffer* add_readonly_pair(GtkWidget* box, const char* text, int width,
                                  GtkWidget** out_first, GtkWidget** out_second)
{
    GtkWidget* row = new_row_box();
    pack(box, row);
    GtkEntryBuffer* first = add_readonly_entry(row, width, out_first);
    gtk_entry_buffer_set_text(first, text, -1);
    return add_readonly_entry(row, width, out_second);
}

void colour_from_rgb(GdkColor& colour, std::uint32_t rgb)
{
    colour.pixel = 0;
    colour.red = std::uint16_t(((rgb >> 16) & 0xFF) * 257);
    colour.green = std::uint16_t(((rgb >> 8) & 0xFF) * 257);
    colour.blue = std::uint16_t((rgb & 0xFF) * 257);
}

std::string buffer_text(GtkEntryBuffer* buffer)
{
    const char* t = gtk_entry_buffer_get_text(buffer);
    return t ? t : "";
}

void set_buffer_text(GtkEntryBuffer* buffer, const std::string& text)
{
    gtk_entry_buffer_set_text(buffer, text.c_str(), -1);
}

namespace {

void on_message_ok(GtkWidget*, gpointer)
{
    close_message_window();
}

void on_message_destroyed(GtkWidget* window, gpointer)
{
    if (widget_state().message_window == window)
        widget_state().message_window = nullptr;
}

} // namespace

void close_message_window()
{
    GtkWidget* w = widget_state().message_window;
    widget_state().message_window = nullptr;
    if (w)
        gtk_widget_destroy(w);
}

void take_message_slot(GtkWidget* window)
{
    close_message_window();
    widget_state().message_window = window;
    g_signal_connect(window, "destroy", G_CALLBACK(on_message_destroyed), nullptr);
}

void show_message(const std::string& text) { show_message(text.c_str()); }

void show_message(const char* text)
{
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    take_message_slot(window);
    gtk_window_set_title(GTK_WINDOW(window), tq::text(kTextMessage));
    gtk_window_set_modal(GTK_WINDOW(window), TRUE);
    gtk_window_set_position(GTK_WINDOW(window), GTK_WIN_POS_CENTER_ALWAYS);
    gtk_window_set_resizable(GTK_WINDOW(window), FALSE);
    gtk_window_set_deletable(GTK_WINDOW(window), FALSE);
    gtk_window_set_keep_above(GTK_WINDOW(window), TRUE);
    if (widget_state().main_window)
        gtk_window_set_transient_for(GTK_WINDOW(window), GTK_WINDOW(widget_state().main_window));

    GtkWidget* box = gtk_vbox_new(FALSE, 1);
    gtk_container_add(GTK_CONTAINER(window), box);
    GtkWidget* top = new_label("");
    gtk_widget_set_size_request(top, 250, 15);
    pack(box, top);
    pack(box, new_label(text));
    GtkWidget* bottom = new_label("");
    gtk_widget_set_size_request(bottom, 250, 15);
    pack(box, bottom);

    GtkWidget* row = gtk_hbox_new(FALSE, 1);
    gtk_box_pack_start(GTK_BOX(box), row, FALSE, FALSE, 1);
    GtkWidget* filler = new_label("");
    gtk_box_pack_start(GTK_BOX(row), filler, TRUE, TRUE, 1);
    GtkWidget* ok = new_button("OK");
    gtk_widget_set_size_request(ok, 80, 25);
    g_signal_connect(ok, "clicked", G_CALLBACK(on_message_ok), nullptr);
    pack(row, ok);
    GtkWidget* gap = new_label("");
    gtk_widget_set_size_request(gap, 10, 10);
    pack(row, gap);
    gtk_box_pack_start(GTK_BOX(row), new_label(""), TRUE, TRUE, 1);
    gtk_widget_show(row);
    gtk_widget_show(box);
    gtk_widget_show(window);
    gtk_widget_grab_focus(ok);
}

void wait_for_message()
{
    while (widget_state().message_window) {
        run_pending_events();
        if (widget_state().message_window)
            platform::sleep_ms(20);
    }
}

namespace {

// A question has two answers: closing the window or pressing Escape is
// neither of them, so both are refused.
gboolean refuse_delete(GtkWidget*, GdkEvent*, gpointer) { return TRUE; }

} // namespace

bool ask_question(GtkWidget* parent, const char* text)
{
    GtkWidget* dialog = gtk_dialog_new_with_buttons(
        tq::text(kTextQuestion), parent ? GTK_WINDOW(parent) : nullptr,
        GtkDialogFlags(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT), tq::text(kTextYes),
        GTK_RESPONSE_ACCEPT, tq::text(kTextNo), GTK_RESPONSE_REJECT, nullptr);
    gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER_ON_PARENT);
    gtk_window_set_deletable(GTK_WINDOW(dialog), FALSE);
    GtkWidget* label = new_label(text);
    gtk_misc_set_padding(GTK_MISC(label), 10, 10);
    gtk_box_pack_start(GTK_BOX(GTK_DIALOG(dialog)->vbox), label, TRUE, TRUE, 1);
    // Escape makes the dialog send itself a delete event, which this
    // handler, connected before gtk_dialog_run's own, stops.
    g_signal_connect(dialog, "delete-event", G_CALLBACK(refuse_delete), nullptr);
    g_object_ref(dialog);
    gint response = GTK_RESPONSE_NONE;
    do {
        response = gtk_dialog_run(GTK_DIALOG(dialog));
    } while (response != GTK_RESPONSE_ACCEPT && response != GTK_RESPONSE_REJECT &&
             GTK_WIDGET_VISIBLE(dialog));
    gtk_widget_destroy(dialog);
    g_object_unref(dialog);
    return response == GTK_RESPONSE_ACCEPT;
}

void set_busy_cursor()
{
    WidgetState& w = widget_state();
    platform::sleep_ms(10);
    run_pending_events();
    set_window_cursor(w.main_window, w.busy_cursor);
    set_window_cursor(w.module_window, w.busy_cursor);
    platform::sleep_ms(10);
    run_pending_events();
}

void clear_busy_cursor()
{
    WidgetState& w = widget_state();
    set_window_cursor(w.main_window, nullptr);
    set_window_cursor(w.module_window, nullptr);
}

void set_text_colour(GtkWidget* widget, const GdkColor* colour)
{
    gtk_widget_modify_fg(widget, GTK_STATE_NORMAL, colour);
    gtk_widget_modify_fg(widget, GTK_STATE_PRELIGHT, colour);
    gtk_widget_modify_text(widget, GTK_STATE_NORMAL, colour);
    gtk_widget_modify_text(widget, GTK_STATE_PRELIGHT, colour);
}

} // namespace tq
