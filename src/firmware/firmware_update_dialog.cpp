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

FirmwareUi firmware_ui(const FirmwareWindowStates& states)
{
    const FirmwareWindowStates* s = &states;
    FirmwareUi ui;
    ui.choose_file = [s]() -> std::optional<std::string> {
        return s->host ? s->host->choose_file(*s) : choose_firmware_file(*s);
    };
    ui.read_file = [](const std::string& path, std::uint8_t* buffer,
                      std::size_t max) -> std::optional<std::size_t> {
        return read_file_utf8(buffer, path, max); // says "Error opening file" itself
    };
    ui.show_message = [](const std::string& t) { show_message(t); };
    ui.wait_for_message = [] { wait_for_message(); };
    if (s->host) {
        ui.close_tool_windows = [s] { s->host->close_tool_windows(); };
        ui.keep_configuration = [s] { return s->host->keep_configuration(); };
    }
    ui.clear_status = [s] { clear_label(s->status_label); };
    ui.clear_identity = [s] {
        clear_label(s->hardware_label);
        clear_label(s->serial_label);
    };
    ui.open_progress = [s] { open_progress_window(s->firmware, s->main_window); };
    ui.close_progress = [s] { close_progress_window(s->firmware); };
    ui.progress_label = [s](const std::string& t) { set_progress_label(s->firmware, t); };
    ui.progress_text = [s](const std::string& t) { set_progress_text(s->firmware, t); };
    ui.progress_fraction = [s](double f) { set_progress_fraction(s->firmware, f); };
    return ui;
}

int run_firmware_update(const FirmwareWindowStates& s, int mode)
{
    return update_firmware(s.link, s.firmware, firmware_ui(s), mode);
}

AutoflashEnv autoflash_env(const FirmwareWindowStates& s)
{
    AutoflashEnv env;
    env.now_us = [] { return std::int64_t(g_get_real_time()); };
    env.update = [&s] { return run_firmware_update(s, kFirmwareAutoflash); };
    return env;
}

} // namespace tq
