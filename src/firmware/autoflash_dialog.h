// Switching autoflash on: a key combination of the main window opens a
// folder dialog; the chosen folder is watched from then on.
#pragma once

#include "firmware/firmware_update_dialog.h"

namespace tq {

// The main window's key press: Ctrl with Alt, Mod3 or Mod4 and F opens the
// folder dialog and returns true; other keys return false (passed on).
bool autoflash_key_pressed(const FirmwareWindowStates& s, unsigned keyval, unsigned state);

// The folder dialog "Wybierz katalog"; on "Open" the folder is watched,
// becomes the firmware folder, and the main window shows "AUTOFLASH".
void choose_autoflash_folder(const FirmwareWindowStates& s);

// After the folder was chosen (also what the dialog does on "Open"). A
// folder that does not exist or cannot be read (a typed path, say) is
// refused with a message and nothing changes; false then.
bool start_autoflash(const FirmwareWindowStates& s, const std::string& folder);

} // namespace tq
