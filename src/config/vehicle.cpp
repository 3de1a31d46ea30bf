#include "config/vehicle.h"

#include "config/record.h"
#include "text/texts.h"

namespace tq {
namespace {

bool supported(const ConfigState& s, const VehicleModel& m)
{
    return long(m.min_firmware) <= long(s.unit.version);
}

// The make index under which the make list shows the kept vehicle.
int kept_make(const ConfigState& s)
{
    return int(vehicle_table(s).makes.size());
}

bool kept_chosen(const ConfigState& s)
{
    return s.vehicle.kept && s.vehicle.make == kept_make(s);
}

void fill_rows(ConfigState& s, int make)
{
    VehicleSelection& v = s.vehicle;
    v.rows.clear();
    v.row = -1;
    v.make = make;
    if (make < 0)
        return;
    if (make == kept_make(s)) {
        v.rows.push_back(0); // the kept vehicle's one row
        return;
    }
    const auto& models = vehicle_table(s).makes[std::size_t(make)].models;
    for (std::size_t i = 0; i < models.size(); ++i) {
        if (supported(s, models[i]))
            v.rows.push_back(int(i));
    }
}

const VehicleModel* chosen_model(const ConfigState& s)
{
    const VehicleSelection& v = s.vehicle;
    if (v.make < 0 || v.make >= kept_make(s) || v.row < 0 || v.row >= int(v.rows.size()))
        return nullptr;
    return &vehicle_table(s).makes[std::size_t(v.make)].models[std::size_t(v.rows[std::size_t(v.row)])];
}

void notify(ConfigState& s)
{
    if (s.view)
        s.view->vehicle_changed();
}

struct Found {
    int make = -1;
    int model = -1;
    bool exact = false;
};

// The walk of the lookup: an exact match (key and either level) ends it;
// otherwise the first model with the level as its primary one, else the
// first with it as its secondary one. Level 0 finds nothing.
Found find_model(const ConfigState& s, long level, int key)
{
    Found primary, secondary;
    if (level == 0)
        return {};
    const auto& makes = vehicle_table(s).makes;
    for (std::size_t mk = 0; mk < makes.size(); ++mk) {
        const auto& models = makes[mk].models;
        for (std::size_t i = 0; i < models.size(); ++i) {
            const VehicleModel& m = models[i];
            if (!supported(s, m))
                continue;
            const bool is_primary = m.primary_level == level;
            const bool is_secondary = m.secondary_level == level;
            if (m.key == key && (is_primary || is_secondary))
                return {int(mk), int(i), true};
            if (is_primary && primary.make < 0)
                primary = {int(mk), int(i), false};
            if (is_secondary && secondary.make < 0)
                secondary = {int(mk), int(i), false};
        }
    }
    return primary.make >= 0 ? primary : secondary;
}

// Shows the found model chosen in its make, or no make at all.
void show_found(ConfigState& s, const Found& found)
{
    VehicleSelection& v = s.vehicle;
    fill_rows(s, found.make);
    notify(s);
    if (found.make < 0)
        return;
    int row = 0;
    for (std::size_t r = 0; r < v.rows.size(); ++r) {
        if (v.rows[r] == found.model)
            row = int(r);
    }
    choose_model(s, row);
}

std::string kept_text(const KeptVehicle& kept)
{
    return textf(kTextKeptVehicle, kept.key);
}

std::string kept_make_text(const KeptVehicle& kept)
{
    return textf(kTextKeptMake, kept.key);
}

} // namespace

const VehicleTable& vehicle_table(const ConfigState& s)
{
    return s.vehicles ? *s.vehicles : builtin_vehicle_table();
}

std::vector<std::string> make_names(const ConfigState& s)
{
    std::vector<std::string> names;
    for (const VehicleMake& m : vehicle_table(s).makes)
        names.push_back(m.name);
    if (s.vehicle.kept)
        names.push_back(kept_make_text(*s.vehicle.kept));
    return names;
}

std::vector<std::string> model_row_texts(const ConfigState& s)
{
    std::vector<std::string> texts;
    if (s.vehicle.make < 0)
        return texts;
    if (kept_chosen(s)) {
        texts.push_back(kept_text(*s.vehicle.kept));
        return texts;
    }
    const auto& models = vehicle_table(s).makes[std::size_t(s.vehicle.make)].models;
    const char* code = kLanguages[std::size_t(text_state().language_index)].code;
    for (int index : s.vehicle.rows)
        texts.push_back(model_row_text(models[std::size_t(index)], code, text(kTextYear)));
    return texts;
}

void vehicle_begin(ConfigState& s)
{
    VehicleSelection& v = s.vehicle;
    v = VehicleSelection{};
    if (vehicle_table(s).makes.empty())
        return;
    fill_rows(s, 0);
    if (!v.rows.empty()) {
        v.row = 0;
        v.last_lookup_level = chosen_model(s)->primary_level;
    }
    notify(s);
}

void choose_make(ConfigState& s, int make)
{
    const int makes = kept_make(s) + (s.vehicle.kept ? 1 : 0);
    if (make < 0 || make >= makes)
        return;
    fill_rows(s, make);
    notify(s);
    choose_model(s, 0);
}

void choose_model(ConfigState& s, int row)
{
    VehicleSelection& v = s.vehicle;
    if (row < 0 || row >= int(v.rows.size()))
        return;
    v.row = row;
    v.level_caption = "  " + textf(kTextCanLevelSelection, kLevelRowNumber, "");
    const long level = kept_chosen(s) ? v.kept->level : long(chosen_model(s)->primary_level);
    v.last_lookup_level = level;
    notify(s);
    if (v.level_entry_follows)
        set_text(s, Field::CanLevel, std::to_string(level));
}

void select_vehicle(ConfigState& s, long level, int key, bool update)
{
    VehicleSelection& v = s.vehicle;
    v.level_entry_follows = update;
    show_found(s, find_model(s, level, key));
    v.last_lookup_level = level;
    if (update)
        set_text(s, Field::CanLevel, std::to_string(level));
    v.level_entry_follows = true;
}

void restore_vehicle(ConfigState& s, long level, int key, bool update)
{
    VehicleSelection& v = s.vehicle;
    const Found found = find_model(s, level, key);
    if (found.exact) {
        v.kept.reset();
        select_vehicle(s, level, key, update);
        return;
    }
    v.kept = KeptVehicle{key, level};
    v.level_entry_follows = update;
    fill_rows(s, kept_make(s));
    notify(s);
    choose_model(s, 0);
    v.level_entry_follows = true;
}

void on_level_edited(ConfigState& s)
{
    const long value = leading_digits_value(text_of(s, Field::CanLevel));
    if (value == s.vehicle.last_lookup_level)
        return;
    if (kept_chosen(s)) {
        // The fitter tunes the level of a vehicle the table does not know:
        // the vehicle stays as it is.
        s.vehicle.last_lookup_level = value;
        return;
    }
    select_vehicle(s, value, 0, false);
}

int selected_vehicle_key(const ConfigState& s)
{
    if (kept_chosen(s))
        return s.vehicle.kept->key;
    const VehicleModel* m = chosen_model(s);
    return m ? m->key : 0;
}

} // namespace tq
