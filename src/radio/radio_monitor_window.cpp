#include "radio/radio_monitor_window.h"

#include "platform/clock.h"
#include "radio/radio_monitor.h"
#include "radio/radio_window.h"
#include "text/texts.h"
#include "widgets/kit.h"

#include <gtk/gtk.h>

namespace tq {
namespace {

// The text of a button made with a label child.
void set_button_text(GtkWidget* button, const char* caption)
{
    GtkWidget* label = gtk_bin_get_child(GTK_BIN(button));
    if (label && GTK_IS_LABEL(label))
        gtk_label_set_text(GTK_LABEL(label), caption);
}

struct Widgets {
    GtkWidget* program = nullptr;
    GtkWidget* erase = nullptr;
    GtkWidget* instruction = nullptr;
    GtkWidget* indicator = nullptr;
};
Widgets parts;
// What the open window was opened with.
RadioWindowStates states;

class WindowView final : public MonitorView {
public:
    void busy_cursor(bool on) override { on ? set_busy_cursor() : clear_busy_cursor(); }
    void message(const std::string& t) override { show_message(t); }
    void wait_for_message() override { tq::wait_for_message(); }
    void close_radio_window() override { tq::close_radio_window(states); }
    void build_window(const std::string& id_hex) override;
    void destroy_window() override
    {
        GtkWidget* w = states.radio->monitor_window;
        states.radio->monitor_window = nullptr;
        parts = Widgets{};
        if (w)
            gtk_widget_destroy(w);
    }
    void show_mode(int kind) override
    {
        if (!parts.program)
            return;
        set_button_text(parts.program, text(kind == 1   ? kTextEndOfProgramming
                                            : kind == 2 ? kTextCancel
                                                        : kTextProgramRemotes));
        if (kind == 0) {
            gtk_widget_show(parts.erase);
            gtk_widget_hide(parts.instruction);
        } else {
            gtk_widget_hide(parts.erase);
            gtk_widget_show(parts.instruction);
        }
    }
    void set_instruction(const std::string& t) override
    {
        if (parts.instruction)
            gtk_label_set_text(GTK_LABEL(parts.instruction), t.c_str());
    }
    void set_indicator_text(const std::string& t) override
    {
        if (parts.indicator)
            set_button_text(parts.indicator, t.c_str());
    }
    void set_indicator_colour(Colour colour) override
    {
        if (!parts.indicator)
            return;
        static const GdkColor red = {0, 0xFFFF, 0, 0}, blue = {0, 0, 0, 0xFFFF};
        const GdkColor* c = colour == Colour::Red ? &red : colour == Colour::Blue ? &blue : nullptr;
        for (GtkStateType s : {GTK_STATE_NORMAL, GTK_STATE_ACTIVE, GTK_STATE_PRELIGHT})
            gtk_widget_modify_bg(parts.indicator, s, c);
    }
};

WindowView view;

MonitorContext context()
{
    return MonitorContext{*states.link, *states.radio, states.firmware_version, view,
                          *states.onewire_id};
}

gboolean on_delete(GtkWidget*, GdkEvent*, gpointer)
{
    close_radio_monitor(states);
    return TRUE;
}

void on_destroy(GtkWidget* w, gpointer)
{
    if (states.radio->monitor_window == w) {
        states.radio->monitor_window = nullptr;
        parts = Widgets{};
    }
}

void on_program(GtkWidget*, gpointer)
{
    auto c = context();
    set_monitor_mode(c, 1);
}

void on_erase(GtkWidget*, gpointer)
{
    auto c = context();
    set_monitor_mode(c, 2);
}

void WindowView::build_window(const std::string& id_hex)
{
    GtkWidget* w = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    states.radio->monitor_window = w;
    gtk_window_set_title(GTK_WINDOW(w), text(kTextRadioMonitor));
    gtk_window_set_resizable(GTK_WINDOW(w), FALSE);
    gtk_window_set_position(GTK_WINDOW(w), GTK_WIN_POS_CENTER);
    gtk_container_set_border_width(GTK_CONTAINER(w), 8);
    if (states.main_window)
        gtk_window_set_transient_for(GTK_WINDOW(w), GTK_WINDOW(states.main_window));
    g_signal_connect(w, "delete-event", G_CALLBACK(on_delete), nullptr);
    g_signal_connect(w, "destroy", G_CALLBACK(on_destroy), nullptr);

    GtkWidget* box = gtk_vbox_new(FALSE, 4);
    gtk_container_add(GTK_CONTAINER(w), box);
    GtkWidget* id_line = gtk_hbox_new(FALSE, 4);
    pack(id_line, new_label("Onewire ID:"));
    GtkWidget* id = new_label(id_hex.c_str());
    if (widget_state().fonts.bold)
        gtk_widget_modify_font(id, widget_state().fonts.bold);
    pack(id_line, id);
    pack(box, id_line);

    GtkWidget* buttons = gtk_hbox_new(TRUE, 4);
    parts.program = new_button(text(kTextProgramRemotes));
    g_signal_connect(parts.program, "clicked", G_CALLBACK(on_program), nullptr);
    gtk_box_pack_start(GTK_BOX(buttons), parts.program, TRUE, TRUE, 0);
    parts.erase = new_button(text(kTextEraseRemotes));
    g_signal_connect(parts.erase, "clicked", G_CALLBACK(on_erase), nullptr);
    gtk_box_pack_start(GTK_BOX(buttons), parts.erase, TRUE, TRUE, 0);
    pack(box, buttons);

    parts.instruction = new_label("");
    gtk_label_set_justify(GTK_LABEL(parts.instruction), GTK_JUSTIFY_CENTER);
    pack(box, parts.instruction);

    GtkWidget* centre = gtk_hbox_new(FALSE, 0);
    parts.indicator = new_button(text(kTextRadioMonitor));
    gtk_widget_set_size_request(parts.indicator, 120, 120);
    GtkWidget* label = gtk_bin_get_child(GTK_BIN(parts.indicator));
    if (GTK_IS_LABEL(label))
        gtk_label_set_justify(GTK_LABEL(label), GTK_JUSTIFY_CENTER);
    gtk_box_pack_start(GTK_BOX(centre), parts.indicator, TRUE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(box), centre, FALSE, FALSE, 4);

    gtk_widget_show_all(w);
    gtk_widget_hide(parts.instruction);
}

} // namespace

void open_radio_monitor(const RadioWindowStates& s, bool search)
{
    states = s;
    if (states.radio->monitor_window) {
        gtk_window_present(GTK_WINDOW(states.radio->monitor_window));
        return;
    }
    auto c = context();
    open_radio_monitor(c, search);
}

void close_radio_monitor(const RadioWindowStates& s)
{
    if (!s.radio->monitor_open)
        return;
    states = s;
    auto c = context();
    close_radio_monitor(c);
}

void radio_monitor_poll_step(const RadioWindowStates& s)
{
    states = s;
    auto c = context();
    radio_monitor_poll_step(c);
}

} // namespace tq
