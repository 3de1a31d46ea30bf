#include "radio/radio_update_window.h"

#include "platform/clock.h"
#include "radio/bridge.h"
#include "radio/radio_update.h"
#include "text/texts.h"
#include "widgets/kit.h"

#include <glib/gstdio.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace tq {
namespace {

constexpr std::int64_t kWirelessLimitMs = 300000;
constexpr int kKeepAlivePasses = 64;

GtkWidget* progress_bar = nullptr;
// What the running update was started with.
RadioWindowStates states;

gboolean refuse_close(GtkWidget*, GdkEvent*, gpointer) { return TRUE; }

void pump_twice()
{
    for (int i = 0; i < 2; ++i) {
        run_pending_events();
        platform::sleep_ms(10);
    }
}

void open_progress_window()
{
    GtkWidget* w = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    states.radio->progress_window = w;
    gtk_window_set_title(GTK_WINDOW(w), text(kTextLoadingFirmware));
    gtk_container_set_border_width(GTK_CONTAINER(w), 4);
    gtk_window_set_type_hint(GTK_WINDOW(w), GDK_WINDOW_TYPE_HINT_DIALOG);
    gtk_window_set_modal(GTK_WINDOW(w), TRUE);
    gtk_window_set_position(GTK_WINDOW(w), GTK_WIN_POS_CENTER);
    gtk_window_set_resizable(GTK_WINDOW(w), FALSE);
    if (states.main_window)
        gtk_window_set_transient_for(GTK_WINDOW(w), GTK_WINDOW(states.main_window));
    g_signal_connect(w, "delete-event", G_CALLBACK(refuse_close), nullptr);
    progress_bar = gtk_progress_bar_new();
    gtk_widget_set_size_request(progress_bar, 600, 40);
    gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(progress_bar), 0.0);
    gtk_progress_bar_set_text(GTK_PROGRESS_BAR(progress_bar), text(kTextSwitchingToFlashMode));
    gtk_container_add(GTK_CONTAINER(w), progress_bar);
    gtk_widget_show_all(w);
    pump_twice();
}

void close_progress_window()
{
    GtkWidget* w = states.radio->progress_window;
    states.radio->progress_window = nullptr;
    progress_bar = nullptr;
    if (w)
        gtk_widget_destroy(w);
}

void show_progress(const std::string& t, double fraction)
{
    if (!progress_bar)
        return;
    gtk_progress_bar_set_text(GTK_PROGRESS_BAR(progress_bar), t.c_str());
    gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(progress_bar), std::clamp(fraction, 0.0, 1.0));
}

// At most kRadioFileLimit bytes of the file; empty when it cannot be read
// (the message has then been shown).
std::vector<std::uint8_t> read_firmware_file(const std::string& path)
{
    std::vector<std::uint8_t> data;
    FILE* f = g_fopen(path.c_str(), "rb");
    if (!f) {
        show_message(text(kTextErrorOpeningFile));
        return data;
    }
    data.resize(kRadioFileLimit);
    const std::size_t n = std::fread(data.data(), 1, data.size(), f);
    std::fclose(f);
    data.resize(n);
    return data;
}

} // namespace

GtkWidget* radio_progress_window() { return states.radio ? states.radio->progress_window : nullptr; }
GtkWidget* radio_progress_bar() { return progress_bar; }

void update_radio_firmware_from_file(const RadioWindowStates& s)
{
    GtkWidget* chooser = gtk_file_chooser_dialog_new(
        text(kTextSelectFirmwareFile), s.main_window ? GTK_WINDOW(s.main_window) : nullptr,
        GTK_FILE_CHOOSER_ACTION_OPEN, GTK_STOCK_CANCEL, GTK_RESPONSE_CANCEL, GTK_STOCK_OPEN,
        GTK_RESPONSE_ACCEPT, nullptr);
    GtkFileFilter* filter = gtk_file_filter_new();
    gtk_file_filter_add_pattern(filter, "*.ble");
    gtk_file_filter_add_pattern(filter, "*.zip");
    gtk_file_chooser_add_filter(GTK_FILE_CHOOSER(chooser), filter);
    std::string path;
    if (gtk_dialog_run(GTK_DIALOG(chooser)) == GTK_RESPONSE_ACCEPT) {
        if (gchar* name = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(chooser))) {
            path = name;
            g_free(name);
        }
    }
    gtk_widget_destroy(chooser);
    if (!path.empty())
        update_radio_firmware_with(s, path);
}

void update_radio_firmware_with(const RadioWindowStates& s, const std::string& path)
{
    if (s.radio->progress_window)
        return;
    states = s;
    const auto kind = radio_file_kind(path);
    if (!kind) {
        show_message(text(kTextFileCorrupted));
        return;
    }
    const std::vector<std::uint8_t> file = read_firmware_file(path);
    if (file.empty())
        return;
    if (!radio_file_valid(*kind, file)) {
        show_message(text(kTextFileCorrupted));
        return;
    }
    open_progress_window();
    const std::string result = run_radio_file_update(*s.link, *s.radio, *kind, file, show_progress);
    close_progress_window();
    show_message(result);
}

namespace {

// enter_radio_mode with its message: a unit that stays busy says so, and
// that message takes the place of whatever message was open.
bool enter_radio_mode_or_say_busy(LinkState& link)
{
    if (enter_radio_mode(link))
        return true;
    show_message(text(kTextRadioUsedByRemote));
    return false;
}

} // namespace

void update_radio_firmware_wireless(const RadioWindowStates& s)
{
    LinkState& link = *s.link;
    RadioState& radio = *s.radio;
    enter_radio_mode_or_say_busy(link);
    if (!switch_radio_boot_mode(link, radio, RadioBootMode::Wireless)) {
        // Without the radio module window the busy message (if any) stays.
        if (radio.window_open)
            show_message(text(kTextRadioCommunicationError));
    } else if (radio.chipset == 0) {
        show_message(text(kTextWirelessUpdateUnsupported));
    } else {
        show_message(text(kTextStartWirelessUpdate));
        // The update runs until this message is gone: closed by the user,
        // after five minutes, or replaced by the busy message of a
        // keep-alive.
        GtkWidget* message = widget_state().message_window;
        const std::int64_t start = platform::now_ms();
        for (long pass = 0; message && widget_state().message_window == message; ++pass) {
            if (platform::now_ms() - start >= kWirelessLimitMs) {
                close_message_window();
                break;
            }
            if (pass % kKeepAlivePasses == 0 && !enter_radio_mode_or_say_busy(link))
                break;
            run_pending_events();
            platform::sleep_ms(20);
        }
    }
    leave_radio_mode(link);
}

} // namespace tq
