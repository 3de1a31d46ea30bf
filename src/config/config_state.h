// The configuration folder's state: the record of the connected unit (each
// field's shown value and reference value), the vehicle choice, and the
// hooks through which the settings pages reach the rest of the program.
#pragma once

#include "config/fields.h"
#include "config/vehicle_table.h"
#include "prefs/prefs_state.h"

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tq {

// A field's value. Combo, pair, group and check fields use number; text
// fields use text. A number field shows text and keeps its reference as a
// number.
struct FieldValue {
    long number = 0;
    std::string text;
};

struct ConfigRecord {
    // What the controls show.
    std::array<FieldValue, kFieldCount> shown{};
    // What was last loaded from or stored to the unit or a .cfg file.
    std::array<FieldValue, kFieldCount> reference{};
    // The change marks as last evaluated (red text of a control).
    std::array<bool, kFieldCount> marked{};
    // The Save button's caption: red once any change handler found a
    // difference, until refresh_change_marks.
    bool save_marked = false;
};

// A vehicle the unit or a .cfg file names by a key and CAN level that no
// model of the table has. The pages keep it as a choice of its own, so that
// what was loaded is saved back unchanged until the fitter picks another.
struct KeptVehicle {
    int key = 0;
    long level = 0;
};

// The chosen make and model (the make and model lists of Settings 1).
struct VehicleSelection {
    // Index into the table, or the table's make count for the kept vehicle,
    // which the make list shows after the table's makes; -1: none chosen.
    int make = -1;
    std::vector<int> rows;         // for each model-list row, the model's index within the make
    int row = -1;                  // chosen row; -1: none
    long last_lookup_level = 0;    // level of the last lookup or model choice
    bool level_entry_follows = true;
    std::string level_caption;     // caption of the CAN level row; empty until a model is chosen
    std::optional<KeptVehicle> kept;
};

// What the settings pages implement so that the record can show itself.
// Each call says which part of the record changed; the view reads the new
// state from ConfigState.
class ConfigView {
public:
    virtual ~ConfigView() = default;
    // The field's shown value or mark changed (and with it what depends on
    // it: visibility of rows, the SMS check box's sensitivity).
    virtual void field_changed(Field f) = 0;
    virtual void save_mark_changed() = 0;
    // Make, model rows, chosen row or the level caption changed.
    virtual void vehicle_changed() = 0;
    virtual void aux_text_changed() = 0;
    virtual void sim_pin_row_changed() = 0;
};

// A block of the unit's memory as it was last read from the unit or written
// to it (held), beside what a save of the pages' values would have written at
// that moment (built). A save compares what it builds now with built: the
// bytes of a value that did not change go back as held, so that values the
// pages cannot show or choose survive a save unchanged.
struct HeldBlock {
    std::vector<std::uint8_t> held;
    std::vector<std::uint8_t> built;
};

struct SettingsPages; // the GTK side (settings_pages.h)
struct UnitToolsState; // event memory, diagnostics (unit_tools_state.h)

// The windows of other folders that the settings pages' command buttons
// open; the program implements it.
class SettingsWindows {
public:
    virtual ~SettingsWindows() = default;
    virtual void open_signal_monitor() = 0;
    virtual void open_radio_monitor() = 0;      // fourth button below firmware 1065
    virtual void open_additional_modules() = 0; // fourth button from 1065 on
};

struct ConfigHooks {
    // Shows a message to the user (the message window); unset: dropped.
    std::function<void(const std::string&)> message;
    // Asks the user a Yes/No question; true for Yes. Unset: taken as Yes.
    std::function<bool(const std::string&)> ask;
};

// Where the configuration history of the connected unit is kept, and what
// its lines say about the unit.
struct HistoryPlace {
    std::string root;     // the folder of every unit's history; empty: none kept
    std::string serial;   // the unit's serial number as shown; empty: not known
    std::string model;    // the unit's model and firmware as the status line shows them
    std::string firmware; // the firmware version
};

struct ConfigState {
    // True while a unit is identified and the settings pages belong to it.
    bool active = false;
    UnitKind unit;
    ConfigRecord record;
    VehicleSelection vehicle;
    // The table lookups walk; the built-in one unless a test supplies another.
    const VehicleTable* vehicles = nullptr;
    // The hidden SIM PIN row has been revealed (Ctrl+I): save writes the PIN.
    bool sim_pin_revealed = false;
    // Read-only AUX row of later units: the mode found after the last load.
    std::string aux_text;
    // The unit's blocks by address, as far as they were read since the unit
    // was identified.
    std::map<int, HeldBlock> held_blocks;
    // A load, save or file operation is running (GUI events run meanwhile).
    bool busy = false;
    // The preferences keep the last folder of the .cfg file choosers; null:
    // it is remembered for this run only, in cfg_folder.
    PrefsState* prefs = nullptr;
    std::string cfg_folder;
    HistoryPlace history;

    ConfigView* view = nullptr;
    SettingsPages* pages = nullptr;
    ConfigHooks hooks;
    // What the command buttons open: the event memory and diagnostics
    // windows of unit_tools, the others' windows through windows; null:
    // those buttons do nothing.
    UnitToolsState* unit_tools = nullptr;
    SettingsWindows* windows = nullptr;
};

} // namespace tq
