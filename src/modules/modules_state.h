// State of the additional-modules folder: the one-wire module list, the
// AUX-FORTIN interface window and the module test windows.
#pragma once

#include <array>
#include <cstdint>
#include <string>

typedef struct _GtkWidget GtkWidget;
typedef struct _GtkEntryBuffer GtkEntryBuffer;

namespace tq {

struct ConfigState;

// A one-wire identifier: family code, six serial bytes, CRC-8.
using OneWireId = std::array<std::uint8_t, 8>;
// No identifier (an empty slot is written as eight 0xFF bytes).
inline constexpr OneWireId kNoId = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
inline bool id_empty(const OneWireId& id) { return id[0] == 0xFF; }

inline constexpr int kModuleRows = 9;
inline constexpr int kMaxBusDevices = 20;
inline constexpr int kModeBytes = 8;      // configuration bytes 1044..1051
inline constexpr int kStoredIds = 6;      // identifiers at 1012, 1020, 1028, 1036, 1052, 1060
inline constexpr int kModuleTestWindows = 6;

enum ModuleRow : int {
    kRowBrevan = 0,
    kRowSolvek = 1,
    kRowAuxFortin = 2,
    kRowCableLoom = 3,
    kRowTq001First = 4,
    kRowTq001Second = 5,
    kRowTq002First = 6,
    kRowTq002Second = 7,
    kRowAuxModule = 8,
};

// What a row shows; computed from the unit's memory and the bus list, and
// changed by Activate, Delete and reset.
enum class RowStatus : int { None, StoredNotActive, Active };

struct ModuleRowView {
    OneWireId stored = kNoId;   // the stored identifier the row shows (kNoId: none)
    RowStatus status = RowStatus::None;
    bool activate_enabled = false;
    bool delete_enabled = false;
    bool mode_enabled = false;
    bool action_enabled = false;
    int mode_position = -1;     // -1: the stored mode is not in the list
};

struct ModuleRowWidgets {
    GtkWidget* name = nullptr;
    GtkWidget* connected = nullptr;
    GtkWidget* stored = nullptr;
    GtkWidget* status = nullptr;
    GtkWidget* activate = nullptr;
    GtkWidget* remove = nullptr;
    GtkWidget* mode = nullptr;       // null for rows without a mode list
    GtkWidget* action = nullptr;
};

// What the module list needs from the windows around it: the additional-
// modules window implements it, tests record. A member not overridden does
// nothing (a refresh counts as failed).
class ModuleListView {
public:
    virtual ~ModuleListView() = default;
    // Closes the test windows, reads the list again and rebuilds the window;
    // false when the list could not be read (its message is shown).
    virtual bool refresh() { return false; }
    // Closes the window that belongs to a row's module (radio module window,
    // radio monitor, AUX-FORTIN window, test window).
    virtual void close_row_window(int row) {}
    // The row's view changed: show it.
    virtual void row_changed(int row) {}
    virtual void message(const std::string& text) {}
};

struct AuxInterfaceState {
    GtkWidget* window = nullptr;
    bool more_info = false;
    unsigned poll_count = 0;
    int last_mode = -1;              // no reply produces -1: the first reply sets the buttons
    int last_not_responding = -1;

    std::array<GtkWidget*, 29> flags{};
    std::array<GtkWidget*, 2> flag_columns{};
    std::array<GtkWidget*, 4> values{};
    GtkWidget* led = nullptr;
    GtkWidget* programming = nullptr;
    GtkWidget* status = nullptr;
    GtkWidget* more_info_button = nullptr;
    std::array<GtkWidget*, 7> commands{};
};

struct ModuleTestWindow {
    GtkWidget* window = nullptr;
    GtkWidget* status = nullptr;
    GtkWidget* toggle = nullptr;
    std::array<GtkEntryBuffer*, 6> entries{};   // TQ002 test values
    std::array<GtkWidget*, 3> inputs{};         // input pictures
    std::array<GtkWidget*, 2> voltages{};       // TQ002 input voltage labels
};

struct ModulesState {
    // The additional-modules window.
    GtkWidget* window = nullptr;
    GtkWidget* content = nullptr;
    std::array<ModuleRowWidgets, kModuleRows> row_widgets{};

    // The bus list and its assignment to rows; an entry assigned to a row is
    // overwritten with 0xFF.
    std::array<OneWireId, kMaxBusDevices> found_ids{};
    std::array<OneWireId, kModuleRows> row_connected{};
    // Identifiers at 1012..1067 and the radio identifier at 612.
    std::array<OneWireId, kStoredIds> stored_ids{};
    OneWireId radio_onewire_id = kNoId;
    // Configuration bytes 1044..1051 as last read or written.
    std::array<std::uint8_t, kModeBytes> mode_bytes{};

    std::array<ModuleRowView, kModuleRows> rows{};
    std::array<int, kModuleRows> last_mode_position{};

    ModuleListView* view = nullptr; // null: nothing shown, a refresh fails
    // The settings pages' record, whose AUX function text follows the AUX
    // module's rows; null: not shown.
    ConfigState* config = nullptr;

    AuxInterfaceState aux;

    // The module test windows: AUX module, cable loom, TQ001 1 and 2,
    // TQ002 1 and 2.
    std::array<ModuleTestWindow, kModuleTestWindows> tests{};
    // Output of the AUX and cable loom modules; kept while the program runs.
    std::array<int, 2> output_state{};
    int poll_slot = 0;

    ModulesState()
    {
        found_ids.fill(kNoId);
        row_connected.fill(kNoId);
        stored_ids.fill(kNoId);
    }
};

} // namespace tq
