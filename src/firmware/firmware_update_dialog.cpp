#include "firmware/firmware_update_dialog.h"

#include "firmware/file_chooser_dialog.h"
#include "firmware/firmware_progress_window.h"
#include "prefs/files.h"
#include "text/texts.h"
#include "widgets/kit.h"

#include <gtk/gtk.h>

namespace tq {
namespace {

GtkWidget* widget(GtkWidget** slot) { return slot ? *slot : nullptr; }

void clear_label(GtkWidget** slot)
{
    if (GtkWidget* w = widget(slot))
        gtk_label_set_text(GTK_LABEL(w), "");
}

} // namespace

FirmwareUi firmware_ui(FirmwareShell& shell)
{
    FirmwareShell* s = &shell;
    FirmwareUi ui;
    ui.choose_file = [s]() -> std::optional<std::string> {
        if (s->choose_file)
            return s->choose_file();
        FileChooserRequest request;
        request.title = text(26);
        request.patterns = {"*.bin"};
        request.folder = s->folder ? s->folder() : std::string();
        request.parent = widget(s->main_window);
        return choose_file_polling(*s->link, request, s->remember_folder);
    };
    ui.read_file = [](const std::string& path, std::uint8_t* buffer,
                      std::size_t max) -> std::optional<std::size_t> {
        return read_file_utf8(buffer, path, max); // says "Error opening file" itself
    };
    ui.show_message = [](const std::string& t) { show_message(t); };
    ui.wait_for_message = [] { wait_for_message(); };
    ui.close_tool_windows = shell.close_tool_windows;
    ui.keep_configuration = shell.keep_configuration;
    ui.clear_status = [s] { clear_label(s->status_label); };
    ui.clear_identity = [s] {
        clear_label(s->hardware_label);
        clear_label(s->serial_label);
    };
    ui.open_progress = [s] { open_progress_window(*s->firmware, widget(s->main_window)); };
    ui.close_progress = [s] { close_progress_window(*s->firmware); };
    ui.progress_label = [s](const std::string& t) { set_progress_label(*s->firmware, t); };
    ui.progress_text = [s](const std::string& t) { set_progress_text(*s->firmware, t); };
    ui.progress_fraction = [s](double f) { set_progress_fraction(*s->firmware, f); };
    return ui;
}

int run_firmware_update(FirmwareShell& shell, int mode)
{
    return update_firmware(*shell.link, *shell.firmware, firmware_ui(shell), mode);
}

AutoflashEnv autoflash_env(FirmwareShell& shell)
{
    AutoflashEnv env;
    env.now_us = [] { return std::int64_t(g_get_real_time()); };
    env.update = [&shell] { return run_firmware_update(shell, kFirmwareAutoflash); };
    return env;
}

} // namespace tq
