// Choosing the vehicle: the make and model lists of Settings 1 and the
// lookup that turns a CAN level and a vehicle key into a make and model.
#pragma once

#include "config/config_state.h"

#include <string>
#include <vector>

namespace tq {

// The row number of the CAN level row on Settings 1 (after "2. Vehicle type:").
inline constexpr int kLevelRowNumber = 3;

const VehicleTable& vehicle_table(const ConfigState& s);

// The make list: every make of the table, in table order, then the kept
// vehicle when there is one.
std::vector<std::string> make_names(const ConfigState& s);
// The model list of the chosen make: the row texts in the current UI
// language (empty when no make is chosen).
std::vector<std::string> model_row_texts(const ConfigState& s);

// Fills the make list state at build time: the first make with its models,
// its first model chosen; the level row does not exist yet, so neither its
// caption nor its entry change.
void vehicle_begin(ConfigState& s);

// A make was chosen: its models that the firmware supports fill the model
// list and the first row is chosen. A negative make does nothing.
void choose_make(ConfigState& s, int make);
// A model row was chosen: the level caption is set, and the model's primary
// level becomes the last lookup level and, while the entry follows the
// choice, the CAN level entry's text.
void choose_model(ConfigState& s, int row);

// Finds make and model for a level and a vehicle key: an exact match (key
// and either level) first, else the first model with that primary level,
// else the first with that secondary level; models the firmware does not
// support are skipped, and level 0 finds nothing. update also writes the
// level into the CAN level entry.
void select_vehicle(ConfigState& s, long level, int key, bool update);

// Shows a vehicle as the unit or a .cfg file stores it: the model whose key
// and level match exactly, or else the stored key and level kept as they are
// (the make and model lists then show it as the vehicle with that number;
// choosing a model of the table replaces it). update also writes the level
// into the CAN level entry.
void restore_vehicle(ConfigState& s, long level, int key, bool update);

// The CAN level entry changed: a value other than the last lookup level
// looks the level up (key 0, entry untouched), except while the kept vehicle
// is chosen, which stays chosen.
void on_level_edited(ConfigState& s);

// The key of the chosen model or of the kept vehicle; 0 when no make or
// model is chosen.
int selected_vehicle_key(const ConfigState& s);

} // namespace tq
