// The dialogs of the connection step. Each takes the message-window slot
// and runs its own event loop until it is closed.
#pragma once

#include "app/app_state.h"

#include <string>

namespace tq {

// "Device is not programmed properly": Program, Enable remote access, Exit.
void run_bootloader_dialog(AppState& a);
// The unit is refused: Exit program, Change firmware, Try again.
void run_version_mismatch_dialog(AppState& a, const std::string& message);

} // namespace tq
