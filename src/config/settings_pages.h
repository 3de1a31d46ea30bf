// The settings pages: a notebook of numbered rows, one control per field of
// the configuration record, and the bar of command buttons below it. The
// pages are a view of the record (ConfigState): an edit goes into the record,
// and the record tells the pages what to show and which marks to paint.
#pragma once

#include "config/config_state.h"
#include "link/link.h"

#include <array>
#include <cstddef>
#include <deque>
#include <vector>

typedef struct _GtkWidget GtkWidget;
typedef struct _GtkEntryBuffer GtkEntryBuffer;

namespace tq {

// The command buttons below the pages, in building order (column by column).
enum class SettingsCommand {
    SignalMonitor,
    LoadDefaults,
    EventMemory,
    Load,
    Diagnostics,
    Save,
    RadioOrModules, // the radio monitor before firmware 1065, the additional modules from it
};
inline constexpr std::size_t kSettingsCommandCount = 7;

struct SettingsPages;

// What the signal handler of a field's widget needs: the pages, the field it
// edits and the button's index in its group.
struct FieldBinding {
    SettingsPages* pages = nullptr;
    Field field{};
    int index = 0;
};

// What the handler of a command button needs.
struct CommandBinding {
    SettingsPages* pages = nullptr;
    SettingsCommand command{};
};

// The widgets of one field.
struct FieldControl {
    GtkWidget* combo = nullptr;          // combo
    std::vector<GtkWidget*> buttons;     // radio buttons (pairs, groups) or the check box
    GtkWidget* none_button = nullptr;    // a hidden group member: "no button chosen"
    GtkWidget* entry = nullptr;          // number and text entries
    GtkEntryBuffer* buffer = nullptr;
    GtkWidget* row = nullptr;            // the row, for showing and hiding it
    GtkWidget* caption = nullptr;        // the row's label
};

struct SettingsPages final : ConfigView {
    ConfigState* state = nullptr;
    LinkState* link = nullptr;

    GtkWidget* notebook = nullptr;
    GtkWidget* button_bar = nullptr;
    GtkWidget* save_button = nullptr;
    GtkWidget* save_label = nullptr;
    std::vector<GtkWidget*> pages;       // in tab order
    std::array<GtkWidget*, kSettingsCommandCount> buttons{}; // the command buttons

    std::array<FieldControl, kFieldCount> controls;
    GtkWidget* make_combo = nullptr;
    GtkWidget* model_combo = nullptr;
    GtkWidget* level_label = nullptr;
    GtkWidget* aux_entry = nullptr;      // read-only AUX text of later units
    GtkEntryBuffer* aux_buffer = nullptr;
    GtkWidget* supply_box = nullptr;
    std::array<GtkWidget*, 3> phone_rows{};
    // The numbered captions in building order, for whoever reads the pages.
    std::vector<GtkWidget*> numbered_captions;

    int updating = 0;                    // > 0 while the record is being shown
    std::vector<std::string> shown_makes; // what the make list holds
    int shown_make = -2;                 // the make whose rows the model list holds
    std::vector<int> shown_rows;

    // The handlers' data; the widgets point at them, so they live as long
    // as the pages (a deque keeps them in place as it grows).
    std::deque<FieldBinding> bindings;
    std::array<CommandBinding, kSettingsCommandCount> commands{};

    GtkWidget* button(SettingsCommand c) const { return buttons[std::size_t(c)]; }

    void field_changed(Field f) override;
    void save_mark_changed() override;
    void vehicle_changed() override;
    void aux_text_changed() override;
    void sim_pin_row_changed() override;
};

// Builds the command buttons for the record's unit.
GtkWidget* build_button_bar(ConfigState& s, LinkState& link);
// Builds the notebook of settings pages for the record's unit (after
// begin_config_session and build_button_bar) and makes it the record's view.
GtkWidget* build_settings_pages(ConfigState& s, LinkState& link);
// Destroys the notebook and the button bar and ends the record's session.
void destroy_settings_pages(ConfigState& s);

// The unit has been identified: builds the button bar and the pages, packs
// them below the status rows, sizes the main area, shows the emergency/service
// PIN menu item for firmware 1100 and later, and reads the configuration
// without a message on success.
void settings_unit_identified(ConfigState& s, LinkState& link, UnitKind unit,
                              GtkWidget* main_box, GtkWidget* main_scroller,
                              GtkWidget* pin_menu_item);

} // namespace tq
