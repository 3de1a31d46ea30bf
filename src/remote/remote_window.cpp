#include "remote/remote_window.h"

#include "link/can_analyzer.h"
#include "remote/relay.h"
#include "text/texts.h"
#include "widgets/kit.h"

#include <gtk/gtk.h>

namespace tq {
namespace {

const GdkColor kRed = {0, 0xFFFF, 0, 0};

void set_toggle(RelayState& s, bool active)
{
    s.toggle_by_program = true;
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(s.toggle), active);
    s.toggle_by_program = false;
}

void show_connected(RelayState& s, bool connected)
{
    if (!s.window)
        return;
    set_toggle(s, connected);
    gtk_button_set_label(GTK_BUTTON(s.toggle), text(connected ? kTextDisconnect : kTextConnect));
    gtk_widget_modify_bg(s.toggle, GTK_STATE_ACTIVE, connected ? &kRed : nullptr);
    gtk_widget_modify_bg(s.toggle, GTK_STATE_PRELIGHT, connected ? &kRed : nullptr);
    gtk_label_set_text(GTK_LABEL(s.connection_label), connected ? text(kTextConnectedToMakerServer) : "");
    if (!connected)
        gtk_label_set_text(GTK_LABEL(s.device_label), "");
}

void set_device_label(RelayState& s, const std::string& label)
{
    if (!s.window)
        return;
    // The idle step sets the same text often; redraw only on change.
    if (label != gtk_label_get_text(GTK_LABEL(s.device_label)))
        gtk_label_set_text(GTK_LABEL(s.device_label), label.c_str());
}

// The window as the relay sees it.
class WindowView final : public RelayView {
public:
    explicit WindowView(RelayState& s) : s_(s) {}

    void set_device_label(const std::string& label) override { tq::set_device_label(s_, label); }
    void show_connected(bool connected) override { tq::show_connected(s_, connected); }
    bool reconnect_ticked() override
    {
        return s_.reconnect_check &&
               gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(s_.reconnect_check));
    }
    void untick_reconnect() override
    {
        if (s_.reconnect_check)
            gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(s_.reconnect_check), FALSE);
    }
    void start_automatic_connect() override
    {
        if (!s_.toggle)
            return;
        s_.automatic_attempt = true;
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(s_.toggle), TRUE);
        s_.automatic_attempt = false;
    }
    void show_message(const std::string& message) override { tq::show_message(message); }

private:
    RelayState& s_;
};

void on_toggled(GtkToggleButton* button, gpointer data)
{
    auto& ctx = *static_cast<RemoteAccessContext*>(data);
    RelayState& s = ctx.relay;
    if (s.toggle_by_program)
        return;
    WindowView view(s);
    if (gtk_toggle_button_get_active(button)) {
        const bool user = !s.automatic_attempt;
        s.automatic_attempt = false;
        remote_connect(s, ctx.link, ctx.radio, view,
                       gtk_entry_get_text(GTK_ENTRY(s.password_entry)), user);
    } else {
        remote_disconnect(s, ctx.link, ctx.radio, view, true);
    }
}

gboolean on_delete(GtkWidget*, GdkEvent*, gpointer data)
{
    close_remote_access_window(*static_cast<RemoteAccessContext*>(data));
    return TRUE;
}

void build_window(RemoteAccessContext& ctx)
{
    RelayState& s = ctx.relay;
    s.window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(s.window), text(kTextRemoteAccess));
    gtk_window_set_resizable(GTK_WINDOW(s.window), FALSE);
    gtk_window_set_position(GTK_WINDOW(s.window), GTK_WIN_POS_CENTER);
    gtk_container_set_border_width(GTK_CONTAINER(s.window), 4);
    g_signal_connect(s.window, "delete-event", G_CALLBACK(on_delete), &ctx);

    GtkWidget* content = gtk_vbox_new(FALSE, 1);
    gtk_widget_set_size_request(content, 500, 160);
    gtk_container_add(GTK_CONTAINER(s.window), content);

    GtkWidget* row = gtk_hbox_new(FALSE, 1);
    pack(content, row);
    pack(row, new_label(text(kTextPassword)));
    s.password_entry = gtk_entry_new();
    gtk_entry_set_max_length(GTK_ENTRY(s.password_entry), int(kPasswordMax));
    gtk_widget_set_size_request(s.password_entry, 300, 30);
    pack(row, s.password_entry);

    GtkWidget* lower = gtk_hbox_new(FALSE, 1);
    pack(content, lower);
    s.toggle = gtk_toggle_button_new_with_label(text(kTextConnect));
    gtk_widget_set_size_request(s.toggle, 100, 100);
    g_signal_connect(s.toggle, "toggled", G_CALLBACK(on_toggled), &ctx);
    pack(lower, s.toggle);

    GtkWidget* column = gtk_vbox_new(FALSE, 1);
    pack(lower, column);
    s.connection_label = new_label("");
    pack(column, s.connection_label);
    GtkWidget* gap = new_label("");
    gtk_widget_set_size_request(gap, -1, 10);
    pack(column, gap);
    s.device_label = new_label("");
    pack(column, s.device_label);
    GtkWidget* gap2 = new_label("");
    gtk_widget_set_size_request(gap2, -1, 30);
    pack(column, gap2);
    s.reconnect_check = gtk_check_button_new_with_label(text(kTextTryReconnect));
    pack(column, s.reconnect_check);

    gtk_widget_show_all(s.window);
}

} // namespace

void open_remote_access_window(RemoteAccessContext& ctx)
{
    RelayState& s = ctx.relay;
    if (s.window)
        return;
    if (ctx.host)
        ctx.host->close_tool_windows();
    device_close(ctx.link, "remote access takes the devices");
    if (ctx.host)
        ctx.host->clear_console();
    // Text frames from the unit go to the relay, not to the console.
    ctx.link.return_text_frames = true;
    s.reconnect_countdown = kNoReconnect;
    build_window(ctx);
    if (ctx.main_window)
        gtk_widget_hide(ctx.main_window);
}

void close_remote_access_window(RemoteAccessContext& ctx)
{
    RelayState& s = ctx.relay;
    if (!s.window)
        return;
    WindowView view(s);
    remote_disconnect(s, ctx.link, ctx.radio, view, true);
    // The serial port was the relay's; another program may want it now.
    release_can_analyzer_port(ctx.link.serial);
    GtkWidget* window = s.window;
    s.window = nullptr;
    s.password_entry = s.toggle = s.connection_label = s.device_label = s.reconnect_check =
        nullptr;
    gtk_widget_destroy(window);
    ctx.link.return_text_frames = false;
    if (ctx.main_window)
        gtk_widget_show(ctx.main_window);
    device_close(ctx.link, "remote access window closed");
}

void remote_access_step(RemoteAccessContext& ctx)
{
    WindowView view(ctx.relay);
    remote_relay_step(ctx.relay, ctx.link, ctx.radio, ctx.firmware, view);
}

} // namespace tq
