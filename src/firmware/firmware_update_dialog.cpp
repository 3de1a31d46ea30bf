#include "firmware/firmware_update_dialog.h"

#include "firmware/file_chooser_dialog.h"
#include "firmware/firmware_progress_window.h"
#include "prefs/files.h"
#include "prefs/preferences.h"
#include "text/texts.h"
#include "widgets/kit.h"

#include <gtk/gtk.h>

namespace tq {
namespace {

void clear_label(GtkWidget* label)
{
    if (label)
        gtk_label_set_text(GTK_LABEL(label), "");
}

} // namespace

std::optional<std::string> choose_firmware_file(const FirmwareWindowStates& s)
{
    FileChooserRequest request;
    request.title = text(kTextSelectFirmwareFile);
    request.patterns = {"*.bin"};
    request.folder = s.prefs ? s.prefs->firmware_folder : std::string();
    request.parent = s.main_window;
    PrefsState* prefs = s.prefs;
    return choose_file_polling(s.link, request, [prefs](const std::string& folder) {
        if (prefs)
            remember_folder(*prefs, &PrefsState::firmware_folder, folder);
    });
}

std::optional<std::string> FirmwareWindow::choose_file()
{
    return s_.host ? s_.host->choose_file(s_) : choose_firmware_file(s_);
}

std::optional<std::size_t> FirmwareWindow::read_file(const std::string& path, std::uint8_t* buffer,
                                                     std::size_t max)
{
    return read_file_utf8(buffer, path, max); // says "Error opening file" itself
}

void FirmwareWindow::show_message(const std::string& text)
{
    tq::show_message(text);
}

void FirmwareWindow::wait_for_message()
{
    tq::wait_for_message();
}

// Without a host nothing is kept and the update goes on.
bool FirmwareWindow::keep_configuration()
{
    return s_.host ? s_.host->keep_configuration() : true;
}

void FirmwareWindow::close_tool_windows()
{
    if (s_.host)
        s_.host->close_tool_windows();
}

void FirmwareWindow::clear_status()
{
    clear_label(s_.status_label);
}

void FirmwareWindow::clear_identity()
{
    clear_label(s_.hardware_label);
    clear_label(s_.serial_label);
}

void FirmwareWindow::open_progress()
{
    open_progress_window(s_.firmware, s_.main_window);
}

void FirmwareWindow::close_progress()
{
    close_progress_window(s_.firmware);
}

void FirmwareWindow::progress_label(const std::string& text)
{
    set_progress_label(s_.firmware, text);
}

void FirmwareWindow::progress_text(const std::string& text)
{
    set_progress_text(s_.firmware, text);
}

void FirmwareWindow::progress_fraction(double fraction)
{
    set_progress_fraction(s_.firmware, fraction);
}

int run_firmware_update(const FirmwareWindowStates& s, int mode)
{
    FirmwareWindow window(s);
    return update_firmware(s.link, s.firmware, window, mode);
}

AutoflashEnv autoflash_env(const FirmwareWindowStates& s)
{
    AutoflashEnv env;
    env.now_us = [] { return std::int64_t(g_get_real_time()); };
    env.update = [&s] { return run_firmware_update(s, kFirmwareAutoflash); };
    return env;
}

} // namespace tq
