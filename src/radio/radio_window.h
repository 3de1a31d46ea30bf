// The "radio module" window and its entry points for the rest of the
// program (GTK side; the behaviour lives in radio_module.h).
#pragma once

#include "link/link.h"
#include "radio/radio_state.h"

#include <array>
#include <cstdint>

typedef struct _GtkWidget GtkWidget;

namespace tq {

// What the radio windows (module window, radio monitor, firmware update)
// work on, given by their caller; an open window keeps what it was opened
// with for its handlers.
struct RadioWindowStates {
    LinkState* link = nullptr;
    RadioState* radio = nullptr;
    // The unit's firmware version.
    int firmware_version = 0;
    // The radio module's one-wire identifier (configuration address 612),
    // kept by the additional-modules window; the radio monitor's search
    // replaces it.
    std::array<std::uint8_t, 8>* onewire_id = nullptr;
    GtkWidget* main_window = nullptr;
    // The radio module window opens maximised when the main window did, or
    // when the smallest work area cannot hold it.
    bool start_maximized = false;
    int min_work_width = 10000;
    int min_work_height = 10000;
};

// Opens the window (raises it when open): the Configure button of the
// radio module's row in the additional-modules window.
void open_radio_window(const RadioWindowStates& s);
// Closes it and returns the unit to normal radio operation; nothing when
// it is closed.
void close_radio_window(const RadioWindowStates& s);
// The periodic step while the window is open.
void radio_poll_step(const RadioWindowStates& s);

} // namespace tq
