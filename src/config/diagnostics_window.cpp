#include "config/diagnostics_window.h"

#include "config/unit_status.h"
#include "text/texts.h"
#include "widgets/kit.h"

#include <gtk/gtk.h>

namespace tq {
namespace {

constexpr std::array<const char*, 6> kCaptions = {
    "GSM Registered 0/1", "GSM CSQ [20-31 ok]", "GNSS HDOP [<35 ok]",
    "GNSS longitude",     "GNSS latitude",      "Supply voltage",
};
constexpr int kCaptionWidth = 200;
constexpr int kValueWidth = 230;

void on_diagnostics_destroy(GtkWidget*, gpointer data)
{
    auto& t = *static_cast<UnitToolsState*>(data);
    t.diagnostics_window = nullptr;
    t.diagnostics_values = {};
}

void paint(GtkWidget* entry, bool good)
{
    static const GdkColor green = {0, 0, 0xFFFF, 0};
    static const GdkColor red = {0, 0xFFFF, 0, 0};
    gtk_widget_modify_base(entry, GTK_STATE_NORMAL, good ? &green : &red);
}

} // namespace

void open_diagnostics_window(UnitToolsState& t)
{
    if (t.diagnostics_window) {
        gtk_window_present(GTK_WINDOW(t.diagnostics_window));
        return;
    }
    if (!t.link || !t.link->open())
        return;
    t.diagnostics_window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(t.diagnostics_window), text(kTextDiagnostics));
    gtk_window_set_resizable(GTK_WINDOW(t.diagnostics_window), FALSE);
    gtk_window_set_position(GTK_WINDOW(t.diagnostics_window), GTK_WIN_POS_CENTER_ALWAYS);
    g_signal_connect(t.diagnostics_window, "destroy", G_CALLBACK(on_diagnostics_destroy), &t);

    GtkWidget* box = gtk_vbox_new(FALSE, 1);
    gtk_container_set_border_width(GTK_CONTAINER(box), 4);
    gtk_container_add(GTK_CONTAINER(t.diagnostics_window), box);
    for (std::size_t i = 0; i < kCaptions.size(); ++i) {
        GtkWidget* caption = nullptr;
        add_readonly_pair(box, kCaptions[i], kCaptionWidth, &caption, &t.diagnostics_values[i]);
        gtk_widget_set_size_request(t.diagnostics_values[i], kValueWidth, 20);
    }
    gtk_widget_show_all(t.diagnostics_window);
}

void close_diagnostics_window(UnitToolsState& t)
{
    if (t.diagnostics_window)
        gtk_widget_destroy(t.diagnostics_window);
}

void diagnostics_window_step(UnitToolsState& t)
{
    if (!t.diagnostics_window || !t.link)
        return;
    const auto d = decode_diagnostics(*t.link);
    if (!d)
        return;
    const auto texts = diagnostics_texts(*d);
    for (std::size_t i = 0; i < texts.size(); ++i)
        gtk_entry_set_text(GTK_ENTRY(t.diagnostics_values[i]), texts[i].c_str());
    paint(t.diagnostics_values[0], gsm_registered_ok(d->gsm_registered));
    paint(t.diagnostics_values[1], gsm_csq_ok(d->gsm_csq));
    paint(t.diagnostics_values[2], gnss_hdop_ok(d->gnss_hdop));
}

} // namespace tq
