#include "monitor/signal_monitor_window.h"

#include "text/texts.h"
#include "widgets/kit.h"

#include <gtk/gtk.h>

namespace tq {
namespace {

constexpr int kGridColumns = 6;
constexpr int kGridRows = 8;

void on_signal_window_destroy(GtkWidget*, gpointer data)
{
    static_cast<MonitorState*>(data)->signal_ui = {};
}

// The buttons cannot be pressed, so they need no room for a focus frame:
// that room goes to the longest names.
void style_signal_buttons()
{
    static const bool done = [] {
        gtk_rc_parse_string("style \"tq-signal-button\" {\n"
                            "  GtkButton::inner-border = {0, 0, 0, 0}\n"
                            "  GtkWidget::focus-line-width = 0\n"
                            "  GtkWidget::focus-padding = 0\n"
                            "  xthickness = 1\n"
                            "}\n"
                            "widget \"*.tq-signal-button\" style \"tq-signal-button\"\n");
        return true;
    }();
    (void)done;
}

// One grid of 48 buttons: column c, row r shows bit first + 8c + r.
GtkWidget* build_grid(MonitorState& m, int first)
{
    style_signal_buttons();
    GtkWidget* grid = gtk_hbox_new(FALSE, 0);
    const GdkColor black = {0, 0, 0, 0};
    for (int c = 0; c < kGridColumns; ++c) {
        GtkWidget* column = gtk_vbox_new(FALSE, 0);
        gtk_box_pack_start(GTK_BOX(grid), column, FALSE, FALSE, 0);
        for (int r = 0; r < kGridRows; ++r) {
            const int bit = first + kGridRows * c + r;
            const char* name = kSignals[std::size_t(bit)].name;
            GtkWidget* button = gtk_button_new();
            gtk_widget_set_name(button, "tq-signal-button");
            GtkWidget* label = gtk_label_new(name ? name : "");
            gtk_widget_modify_fg(label, GTK_STATE_INSENSITIVE, &black);
            // The longest names need the small font to fit the button.
            if (PangoFontDescription* small = widget_state().fonts.small)
                gtk_widget_modify_font(label, small);
            gtk_container_add(GTK_CONTAINER(button), label);
            gtk_widget_set_size_request(button, 160, 25);
            gtk_widget_set_sensitive(button, FALSE);
            gtk_box_pack_start(GTK_BOX(column), button, FALSE, FALSE, 0);
            m.signal_ui.buttons[std::size_t(bit)] = button;
        }
    }
    for (int bit = first; bit < first + kGridColumns * kGridRows; ++bit)
        m.signals.shown[std::size_t(bit)] = 0;
    return grid;
}

void redraw_button(MonitorState& m, int bit, bool on)
{
    GtkWidget* button = m.signal_ui.buttons[std::size_t(bit)];
    if (!button)
        return;
    if (on) {
        GdkColor colour;
        colour_from_rgb(colour, kSignals[std::size_t(bit)].rgb);
        gtk_widget_modify_bg(button, GTK_STATE_INSENSITIVE, &colour);
    } else {
        gtk_widget_modify_bg(button, GTK_STATE_INSENSITIVE, nullptr);
    }
}

} // namespace

void open_signal_monitor(MonitorState& m)
{
    SignalWindowHandles& ui = m.signal_ui;
    if (ui.window) {
        gtk_window_present(GTK_WINDOW(ui.window));
        return;
    }
    if (!m.link || !m.link->open())
        return;
    ui.window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(ui.window), text(kTextSignalMonitor));
    gtk_window_set_resizable(GTK_WINDOW(ui.window), FALSE);
    gtk_window_set_position(GTK_WINDOW(ui.window), GTK_WIN_POS_CENTER);
    g_signal_connect(ui.window, "destroy", G_CALLBACK(on_signal_window_destroy), &m);

    GtkWidget* box = gtk_vbox_new(FALSE, 0);
    gtk_container_add(GTK_CONTAINER(ui.window), box);
    gtk_box_pack_start(GTK_BOX(box), build_grid(m, 0), FALSE, FALSE, 0);
    GtkWidget* spacer = gtk_label_new("");
    gtk_widget_set_size_request(spacer, 10, 10);
    gtk_box_pack_start(GTK_BOX(box), spacer, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(box), build_grid(m, 48), FALSE, FALSE, 0);
    gtk_widget_show_all(ui.window);
}

void close_signal_monitor(MonitorState& m)
{
    if (m.signal_ui.window)
        gtk_widget_destroy(m.signal_ui.window); // the destroy handler clears the handles
}

void signal_monitor_step(MonitorState& m)
{
    if (!m.signal_ui.window || !m.link)
        return;
    signal_monitor_poll(*m.link, m.signals,
                        [&m](int bit, bool on) { redraw_button(m, bit, on); });
}

} // namespace tq
