// State of the unit's small tool windows that belong to the configuration:
// the event memory, the diagnostics and the emergency/service PIN dialog.
#pragma once

#include "connection/connection_state.h"
#include "link/link.h"

#include <array>

typedef struct _GtkWidget GtkWidget;
typedef struct _GtkEntryBuffer GtkEntryBuffer;

namespace tq {

struct UnitToolsState {
    LinkState* link = nullptr;                   // the link to the unit
    const ConnectionState* connection = nullptr; // the identified unit (firmware version)

    GtkWidget* event_window = nullptr;
    std::array<GtkWidget*, 3> event_entries{};
    unsigned event_poll_count = 0; // periodic steps seen; counts on across openings

    GtkWidget* diagnostics_window = nullptr;
    std::array<GtkWidget*, 6> diagnostics_values{};

    GtkWidget* pin_dialog = nullptr;
    GtkWidget* pin_entry = nullptr;
    GtkEntryBuffer* pin_buffer = nullptr;
};

} // namespace tq
