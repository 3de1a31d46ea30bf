// The firmware update with its windows: the file dialog, the progress
// window and the closing message, around update_firmware.
#pragma once

#include "firmware/autoflash.h"
#include "firmware/firmware_state.h"
#include "firmware/update.h"
#include "link/link.h"

#include <functional>
#include <string>

namespace tq {

// What the update needs of the main window and of the rest of the program.
// The widget members point at the shell's own handles, which exist only
// once the main window is built.
struct FirmwareShell {
    LinkState* link = nullptr;
    FirmwareState* firmware = nullptr;
    GtkWidget** main_window = nullptr;
    GtkWidget** status_label = nullptr;
    GtkWidget** hardware_label = nullptr;
    GtkWidget** serial_label = nullptr;
    GtkWidget** mode_label = nullptr;
    std::function<void()> close_tool_windows;
    // Keeps the connected unit's configuration before the update replaces
    // the firmware; false: the update must not go ahead.
    std::function<bool()> keep_configuration;
    // The folder the firmware dialogs start in, and what to do when the
    // user picked another one (remember it in the preferences).
    std::function<std::string()> folder;
    std::function<void(const std::string&)> remember_folder;
    // Replaces the file dialog (tests); unset: the dialog.
    std::function<std::optional<std::string>()> choose_file;
};

// The update's user interface over GTK.
FirmwareUi firmware_ui(FirmwareShell& shell);

// update_firmware with the windows; mode as there.
int run_firmware_update(FirmwareShell& shell, int mode);

// The autoflash scan with the real folder and system time, and the update
// with its windows.
AutoflashEnv autoflash_env(FirmwareShell& shell);

} // namespace tq
