// The two radio firmware entries of the Tools menu (GTK side; the transfer
// lives in radio_update.h).
#pragma once

#include "radio/radio_window.h"

#include <string>

typedef struct _GtkWidget GtkWidget;

namespace tq {

// "radio module firmware update": choose a .ble or .zip file and send it.
void update_radio_firmware_from_file(const RadioWindowStates& s);
// The same once a file has been chosen (tests call this directly).
void update_radio_firmware_with(const RadioWindowStates& s, const std::string& path);
// "radio module firmware update over wireless transmission".
void update_radio_firmware_wireless(const RadioWindowStates& s);

// The modal progress window; null while no transfer runs.
GtkWidget* radio_progress_window();
GtkWidget* radio_progress_bar();

} // namespace tq
