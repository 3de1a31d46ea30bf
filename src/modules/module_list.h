// The additional-modules list: which modules the unit has stored, which are
// on its one-wire bus, and the row actions that store, delete and change
// them. Plain code; the window shows ModulesState::rows and implements
// ModuleListView.
#pragma once

#include "link/link.h"
#include "modules/modules_state.h"
#include "modules/onewire.h"
#include "text/text_rows.h"

#include <optional>
#include <span>
#include <string>

namespace tq {

// Configuration addresses.
inline constexpr int kRadioIdAddress = 612;
inline constexpr int kModuleMemoryAddress = 1012; // 56 bytes: 4 ids, 8 mode bytes, 2 ids
inline constexpr int kModuleMemoryLength = 56;
inline constexpr int kModeByteAddress = 1044;     // first of the eight mode bytes

// What sets one row apart from the others.
struct ModuleRowInfo {
    int name_text;            // text row of the name
    int name_number;          // %d of the name, 0 when it has none
    int family;               // family matched on the bus, -1 for pseudo modules
    int kind;                 // second identifier byte matched, -1 any
    std::optional<PseudoModule> pseudo;
    int stored_index;         // index into stored_ids, -1 none
    int id_slot;              // configuration address of the identifier, 0 none
    int mode_address;         // configuration address of the mode byte, 0 none
    std::span<const int> modes; // text rows of the mode list (empty: none)
    int action_text;          // "Configure" or "Test"
    bool activity_bit;        // bit 7 of the mode byte marks the module active
};

const ModuleRowInfo& module_row_info(int row);

// Reads the stored identifiers and mode bytes (1012..1067, 612) and the bus
// list, and assigns stored identifiers found on the bus to their rows. 0 on
// success, else the text row of the message to show: "EEPROM read error."
// and "Error reading onewire device list." leave the state as it was; "No
// onewire devices detected. Connect cables." has loaded an empty list.
int load_module_list(ModulesState& m, LinkState& link, int firmware_version);

// Assigns the remaining bus devices to free rows, in row order, and works
// out every row's view.
void build_module_rows(ModulesState& m);

// "Unlisted devices: ID, ID." for bus devices no row took; "" when none.
std::string unlisted_devices_line(const ModulesState& m);

// The row actions. Messages and window changes go through m.view.
void activate_module(ModulesState& m, LinkState& link, int firmware_version, int row);
void delete_module(ModulesState& m, LinkState& link, int firmware_version, int row);
void change_module_mode(ModulesState& m, LinkState& link, int firmware_version, int row,
                        int position);
// Shows a row as not active.
void reset_module_row(ModulesState& m, int row);

// Command 0xFC 0x01 until the unit confirms, up to 10 times.
bool apply_module_config(LinkState& link);

// Reads the AUX function (read_aux_mode) and shows its text on the settings
// pages.
void show_aux_function(ModulesState& m, LinkState& link, int firmware_version);

// "Brak urządzenia." (the module vanished from the bus before Activate).
inline constexpr const char* kNoDeviceText = "Brak urz\xC4\x85" "dzenia.";

} // namespace tq
