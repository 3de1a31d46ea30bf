// The window that shows an update's progress: modal, centred, fixed, and
// not closable while the flash is being written.
#pragma once

#include "firmware/firmware_state.h"

#include <string>

namespace tq {

void open_progress_window(FirmwareState& firmware, GtkWidget* parent);
void close_progress_window(FirmwareState& firmware);
void set_progress_label(FirmwareState& firmware, const std::string& text);
void set_progress_text(FirmwareState& firmware, const std::string& text);
void set_progress_fraction(FirmwareState& firmware, double fraction);

} // namespace tq
