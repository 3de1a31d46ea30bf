// The widget kit every window is built from. Each helper creates a widget,
// shows it, gives it the program's standard size or font and packs it at
// the end of the given box (no expansion, padding 1) unless stated.
#pragma once

#include "widgets/message.h"

#include <gtk/gtk.h>

#include <cstdint>
#include <string>

namespace tq {

struct Fonts {
    PangoFontDescription* small = nullptr;   // "Arial 9"
    PangoFontDescription* large = nullptr;   // "Arial 18"
    PangoFontDescription* medium = nullptr;  // "Arial 12"
    PangoFontDescription* bold = nullptr;    // "Arial 10 Bold"
    PangoFontDescription* mono = nullptr;    // "Courier 10"
};

struct WidgetState {
    Fonts fonts;
    GtkWidget* message_window = nullptr; // the one open message window
    GtkWidget* main_window = nullptr;    // gets the busy cursor
    GtkWidget* module_window = nullptr;  // gets the busy cursor while open
    GdkCursor* busy_cursor = nullptr;
};

WidgetState& widget_state();

// Runs every pending GTK event, then returns. This is the program's event
// pump (platform::pump_events) and what each window's own waiting loop runs.
void run_pending_events();

// Creates the shared fonts and the watch cursor (once).
void create_fonts();

using Callback = GCallback;

GtkWidget* new_label(const char* text);
GtkWidget* new_menu_item(const char* text);
GtkWidget* new_radio_button(GtkWidget* group_member, const char* text);
GtkWidget* new_check_button(const char* text);
GtkWidget* new_row_box();
GtkWidget* new_button(const char* text);
GtkWidget* new_wide_button(const char* text);

void pack(GtkWidget* box, GtkWidget* child);
GtkWidget* add_spacer(GtkWidget* box);
// Row captions are left-aligned, width pixels wide and one entry high;
// entries are width pixels wide. Each window gives the widths of its rows.
GtkWidget* add_row_label(GtkWidget* box, const char* text, int width);
GtkWidget* add_numbered_row_label(int& counter, GtkWidget* box, const char* text, int width);
GtkEntryBuffer* add_entry(GtkWidget* box, int width, GtkWidget** out_entry = nullptr);
GtkEntryBuffer* add_entry_with_handler(GtkWidget* box, int width, Callback handler,
                                      GtkWidget** out_entry, gpointer data = nullptr);
GtkEntryBuffer* add_readonly_entry(GtkWidget* box, int width, GtkWidget** out_entry = nullptr);
// A row of two read-only entries, each width pixels wide, the first showing text.
GtkEntryBuffer* add_readonly_pair(GtkWidget* box, const char* text, int width,
                                 GtkWidget** out_first, GtkWidget** out_second);

void colour_from_rgb(GdkColor& colour, std::uint32_t rgb);

// Text of a whole buffer.
std::string buffer_text(GtkEntryBuffer* buffer);
void set_buffer_text(GtkEntryBuffer* buffer, const std::string& text);

// Dialogs besides the message window (widgets/message.h).
// Modal Yes/No question; true for "Yes".
bool ask_question(GtkWidget* parent, const char* text);

// Makes window the message window (the connection dialogs use the same slot).
void take_message_slot(GtkWidget* window);

void set_busy_cursor();
void clear_busy_cursor();

// Text colour of a label-like widget (normal and hover); nullptr restores it.
void set_text_colour(GtkWidget* widget, const GdkColor* colour);

} // namespace tq
