// State of the radio folder: the radio module window, the radio monitor and
// the radio path shared with the console and remote access.
#pragma once

#include <array>
#include <cstdint>
#include <string>

typedef struct _GtkWidget GtkWidget;

namespace tq {

inline constexpr int kRadioSlots = 12;

// One paired device as the module describes it (command 07).
struct RadioRow {
    int type = 0;
    int subtype = 0;
    int columns = 0;       // button columns, at most 5
    std::string name;
};

struct RadioState {
    // The radio text path is usable while the window is open (or being
    // opened, through the placeholder) or a remote-access session runs.
    bool window_open = false;
    bool placeholder = false;
    bool remote_access = false;   // set by the remote-access relay while connected

    bool busy = false;            // the unit answered busy: selects the closing message
    bool opening = false;         // the window (or the radio monitor) is being opened
    bool pairing = false;
    int device_count = 0;         // 0..12, from command 08
    int name_max = 0;             // from command 05
    unsigned poll_tick = 0;
    std::array<RadioRow, kRadioSlots> rows{};
    std::uint16_t rows_loaded = 0; // bit per slot whose record was read

    std::string version;           // module firmware, "1.5.6"
    std::string info_short, info_long;
    bool info_long_shown = false;
    std::string id_hex;            // 64-bit identifier, 16 upper-case hex digits
    int chipset = 0;               // chipset variant from the information block

    // Radio monitor.
    bool monitor_open = false;
    int monitor_mode = 0;          // 0 idle, 1 programming, 2 erasing
    int remote_counter = 0;        // while programming: 1 + remotes taught so far
    unsigned monitor_tick = 0;

    // Windows (GTK side); null when closed.
    GtkWidget* window = nullptr;
    GtkWidget* id_window = nullptr;
    GtkWidget* monitor_window = nullptr;
    GtkWidget* progress_window = nullptr;

    bool path_open() const { return window_open || placeholder || remote_access; }
};

} // namespace tq
