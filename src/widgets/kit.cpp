#include "widgets/kit.h"

#include "platform/clock.h"
#include "text/texts.h"

#include <cstdlib>

namespace tq {
namespace {

constexpr int kEntryHeight = 20;
const GdkColor kRed = {0, 0xFFFF, 0, 0};

GtkWidget* child_label(GtkWidget* button)
{
    GtkWidget* child = gtk_bin_get_child(GTK_BIN(button));
    return child && GTK_IS_LABEL(child) ? child : button;
}

GtkWidget* labelled(GtkWidget* button, const char* text)
{
    GtkWidget* label = gtk_label_new(text);
    gtk_widget_show(label);
    gtk_container_add(GTK_CONTAINER(button), label);
    gtk_widget_show(button);
    return button;
}

GtkWidget* sized_row_label(const char* text)
{
    WidgetState& w = widget_state();
    GtkWidget* label = gtk_label_new(text);
    gtk_misc_set_alignment(GTK_MISC(label), 0.0f, 0.5f);
    gtk_widget_set_size_request(label, w.row_label_width, w.row_label_height);
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

void pump_pending()
{
    while (gtk_events_pending())
        gtk_main_iteration();
}

void mark_labels(GtkWidget* const* widgets, int count, bool differs)
{
    for (int i = 0; i < count; ++i)
        set_text_colour(child_label(widgets[i]), differs ? &kRed : nullptr);
    if (differs)
        mark_store_button(true);
}

} // namespace

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

GtkWidget* new_small_label(const char* text)
{
    GtkWidget* label = new_label(text);
    if (widget_state().fonts.small)
        gtk_widget_modify_font(label, widget_state().fonts.small);
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

GtkWidget* add_row_label(GtkWidget* box, const char* text)
{
    GtkWidget* label = sized_row_label(text);
    pack(box, label);
    return label;
}

GtkWidget* add_bold_row_label(GtkWidget* box, const char* text)
{
    GtkWidget* label = add_row_label(box, text);
    if (widget_state().fonts.bold)
        gtk_widget_modify_font(label, widget_state().fonts.bold);
    return label;
}

GtkWidget* add_clickable_row_label(GtkWidget* box, const char* text, Callback handler,
                                   gpointer data)
{
    GtkWidget* events = gtk_event_box_new();
    gtk_widget_add_events(events, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK);
    GtkWidget* label = sized_row_label(text);
    gtk_container_add(GTK_CONTAINER(events), label);
    g_signal_connect(events, "button_release_event", handler, data);
    gtk_widget_show(events);
    pack(box, events);
    return label;
}

GtkWidget* add_numbered_row_label(int& counter, GtkWidget* box, const char* text)
{
    gchar* numbered = g_strdup_printf("  %d. %s", counter, text);
    GtkWidget* label = add_row_label(box, numbered);
    g_free(numbered);
    ++counter;
    return label;
}

GtkEntryBuffer* add_entry(GtkWidget* box, GtkWidget** out_entry)
{
    return new_entry(box, widget_state().entry_width, true, out_entry);
}

GtkEntryBuffer* add_entry_with_handler(GtkWidget* box, Callback handler, GtkWidget** out_entry,
                                       gpointer data)
{
    GtkWidget* entry = nullptr;
    GtkEntryBuffer* buffer = add_entry(box, &entry);
    g_signal_connect(entry, "changed", handler, data);
    if (out_entry)
        *out_entry = entry;
    return buffer;
}

GtkEntryBuffer* add_readonly_entry(GtkWidget* box, int width, GtkWidget** out_entry)
{
    return new_entry(box, width, false, out_entry);
}

GtkEntryBuffer* add_readonly_pair(GtkWidget* box, const char* text, GtkWidget** out_first,
                                  GtkWidget** out_second)
{
    GtkWidget* row = new_row_box();
    pack(box, row);
    GtkEntryBuffer* first = add_readonly_entry(row, widget_state().entry_width, out_first);
    gtk_entry_buffer_set_text(first, text, -1);
    return add_readonly_entry(row, widget_state().entry_width, out_second);
}

GtkWidget* add_no_yes_row(GtkWidget* box, const char* text, RadioPair& pair)
{
    GtkWidget* row = new_row_box();
    pack(box, row);
    add_row_label(row, text);
    pair[0] = new_radio_button(nullptr, tq::text(1));
    pair[1] = new_radio_button(pair[0], tq::text(0));
    pack(row, pair[0]);
    pack(row, pair[1]);
    return row;
}

GtkWidget* add_clickable_no_yes_row(GtkWidget* box, const char* text, RadioPair& pair,
                                    Callback handler, gpointer data)
{
    GtkWidget* row = new_row_box();
    pack(box, row);
    add_clickable_row_label(row, text, handler, data);
    pair[0] = new_radio_button(nullptr, tq::text(1));
    pair[1] = new_radio_button(pair[0], tq::text(0));
    for (GtkWidget* b : pair) {
        g_signal_connect(b, "clicked", handler, data);
        pack(row, b);
    }
    return row;
}

GtkWidget* add_choice_pair_row(GtkWidget* box, const char* text, RadioPair& pair, Callback handler,
                               bool pack_row, bool yes_first, gpointer data)
{
    GtkWidget* row = new_row_box();
    if (pack_row)
        pack(box, row);
    add_row_label(row, text);
    pair[0] = new_radio_button(nullptr, tq::text(yes_first ? 0 : 1));
    pair[1] = new_radio_button(pair[0], tq::text(yes_first ? 1 : 0));
    for (GtkWidget* b : pair) {
        g_signal_connect(b, "clicked", handler, data);
        pack(row, b);
    }
    return row;
}

GtkWidget* add_three_choice_row(GtkWidget* box, const char* text, RadioTriple& triple,
                                Callback handler, const char* first, const char* second,
                                const char* third, gpointer data)
{
    GtkWidget* row = new_row_box();
    pack(box, row);
    add_row_label(row, text);
    triple[0] = new_radio_button(nullptr, first);
    triple[1] = new_radio_button(triple[0], second);
    triple[2] = new_radio_button(triple[0], third);
    for (GtkWidget* b : triple) {
        g_signal_connect(b, "clicked", handler, data);
        pack(row, b);
    }
    return row;
}

GtkWidget* add_numbered_choice_row(int& counter, GtkWidget* box, const char* text, RadioPair& pair,
                                   Callback handler, gpointer data)
{
    GtkWidget* row = new_row_box();
    pack(box, row);
    add_numbered_row_label(counter, row, text);
    pair[0] = new_radio_button(nullptr, tq::text(1));
    pair[1] = new_radio_button(pair[0], tq::text(0));
    for (GtkWidget* b : pair) {
        g_signal_connect(b, "clicked", handler, data);
        pack(row, b);
    }
    return row;
}

int active_index(GtkWidget* const* buttons, int count)
{
    for (int i = 0; i < count; ++i) {
        if (gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(buttons[i])))
            return i;
    }
    return 0;
}

bool is_digits(const std::string& text)
{
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

GtkWidget* add_vertical_separator(GtkWidget* box)
{
    GtkWidget* s = gtk_vseparator_new();
    gtk_widget_show(s);
    gtk_box_pack_start(GTK_BOX(box), s, FALSE, FALSE, 0);
    return s;
}

GtkWidget* add_horizontal_separator(GtkWidget* box)
{
    GtkWidget* s = gtk_hseparator_new();
    gtk_widget_show(s);
    gtk_box_pack_start(GTK_BOX(box), s, FALSE, FALSE, 0);
    return s;
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
    gtk_window_set_title(GTK_WINDOW(window), tq::text(23));
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
        pump_pending();
        platform::sleep_ms(20);
    }
}

bool ask_question(GtkWidget* parent, const char* text)
{
    GtkWidget* dialog = gtk_dialog_new_with_buttons(
        tq::text(220), parent ? GTK_WINDOW(parent) : nullptr,
        GtkDialogFlags(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT), tq::text(0),
        GTK_RESPONSE_ACCEPT, tq::text(1), GTK_RESPONSE_REJECT, nullptr);
    gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER_ON_PARENT);
    gtk_window_set_deletable(GTK_WINDOW(dialog), FALSE);
    GtkWidget* label = new_label(text);
    gtk_misc_set_padding(GTK_MISC(label), 10, 10);
    gtk_box_pack_start(GTK_BOX(GTK_DIALOG(dialog)->vbox), label, TRUE, TRUE, 1);
    const gint response = gtk_dialog_run(GTK_DIALOG(dialog));
    gtk_widget_destroy(dialog);
    return response == GTK_RESPONSE_ACCEPT;
}

void set_busy_cursor()
{
    WidgetState& w = widget_state();
    platform::sleep_ms(10);
    pump_pending();
    set_window_cursor(w.main_window, w.busy_cursor);
    set_window_cursor(w.module_window, w.busy_cursor);
    platform::sleep_ms(10);
    pump_pending();
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

void mark_combo(GtkWidget* combo, int stored_index)
{
    const bool differs = gtk_combo_box_get_active(GTK_COMBO_BOX(combo)) != stored_index;
    GtkWidget* child = gtk_bin_get_child(GTK_BIN(combo));
    if (child)
        set_text_colour(child, differs ? &kRed : nullptr);
    // Cell renderers of a text combo take the colour from the combo's style.
    set_text_colour(combo, differs ? &kRed : nullptr);
    if (differs)
        mark_store_button(true);
}

void mark_number_entry(GtkWidget* entry, GtkEntryBuffer* buffer, long stored)
{
    const bool differs = std::strtol(buffer_text(buffer).c_str(), nullptr, 10) != stored;
    set_text_colour(entry, differs ? &kRed : nullptr);
    if (differs)
        mark_store_button(true);
}

void mark_text_entry(GtkWidget* entry, GtkEntryBuffer* buffer, const std::string& stored)
{
    const bool differs = buffer_text(buffer) != stored;
    set_text_colour(entry, differs ? &kRed : nullptr);
    if (differs)
        mark_store_button(true);
}

void mark_radio_pair(const RadioPair& pair, int stored_index)
{
    mark_labels(pair.data(), 2, active_index(pair) != stored_index);
}

void mark_radio_triple(const RadioTriple& triple, int stored_index)
{
    mark_labels(triple.data(), 3, active_index(triple) != stored_index);
}

void mark_store_button(bool on)
{
    GtkWidget* label = widget_state().store_button_label;
    if (label)
        set_text_colour(label, on ? &kRed : nullptr);
}

} // namespace tq
