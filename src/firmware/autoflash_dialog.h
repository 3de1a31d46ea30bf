// Switching autoflash on: a key combination of the main window opens a
// folder dialog; the chosen folder is watched from then on.
#pragma once

#include "firmware/firmware_update_dialog.h"

namespace tq {

// The main window's key handler (connect to "key_press_event" with the
// FirmwareShell as data): Ctrl with Alt, Mod3 or Mod4 and F opens the
// folder dialog; other keys are passed on.
using KeyHandler = void (*)();
KeyHandler autoflash_key_handler();

// The folder dialog "Wybierz katalog"; on "Open" the folder is watched,
// becomes the firmware folder, and the main window shows "AUTOFLASH".
void choose_autoflash_folder(FirmwareShell& shell);

// After the folder was chosen (also what the dialog does on "Open"). A
// folder that does not exist or cannot be read (a typed path, say) is
// refused with a message and nothing changes; false then.
bool start_autoflash(FirmwareShell& shell, const std::string& folder);

} // namespace tq
