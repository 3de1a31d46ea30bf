#include "config/vehicle.h"

#include "config/record.h"
#include "text/texts.h"

namespace tq {
namespace {

bool supported(const ConfigState& s, const VehicleModel& m)
{
    return long(m.min_firmware) <= long(s.unit.version);
}

void fill_rows(ConfigState& s, int make)
{
    VehicleSelection& v = s.vehicle;
    v.rows.clear();
    v.row = -1;
    v.make = make;
    if (make < 0)
        return;
    const auto& models = vehicle_table(s).makes[std::size_t(make)].models;
    for (std::size_t i = 0; i < models.size(); ++i) {
        if (supported(s, models[i]))
            v.rows.push_back(int(i));
    }
}

const VehicleModel* chosen_model(const ConfigState& s)
{
    const VehicleSelection& v = s.vehicle;
    if (v.make < 0 || v.row < 0 || v.row >= int(v.rows.size()))
        return nullptr;
    return &vehicle_table(s).makes[std::size_t(v.make)].models[std::size_t(v.rows[std::size_t(v.row)])];
}

void notify(ConfigState& s)
{
    if (s.view)
        s.view->vehicle_changed();
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
    return names;
}

std::vector<std::string> model_row_texts(const ConfigState& s)
{
    std::vector<std::string> texts;
    if (s.vehicle.make < 0)
        return texts;
    const auto& models = vehicle_table(s).makes[std::size_t(s.vehicle.make)].models;
    const char* code = kLanguages[std::size_t(text_state().language_index)].code;
    for (int index : s.vehicle.rows)
        texts.push_back(model_row_text(models[std::size_t(index)], code, text(8)));
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
    if (make < 0 || make >= int(vehicle_table(s).makes.size()))
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
    v.level_caption = "  " + textf(43, kLevelRowNumber, "");
    const long level = chosen_model(s)->primary_level;
    v.last_lookup_level = level;
    notify(s);
    if (v.level_entry_follows)
        set_text(s, Field::CanLevel, std::to_string(level));
}

void select_vehicle(ConfigState& s, long level, int key, bool update)
{
    VehicleSelection& v = s.vehicle;
    v.level_entry_follows = update;

    int found_make = -1;
    int found_model = -1;
    if (level != 0) {
        int primary_make = -1, primary_model = -1;
        int secondary_make = -1, secondary_model = -1;
        const auto& makes = vehicle_table(s).makes;
        for (std::size_t mk = 0; mk < makes.size() && found_make < 0; ++mk) {
            const auto& models = makes[mk].models;
            for (std::size_t i = 0; i < models.size(); ++i) {
                const VehicleModel& m = models[i];
                if (!supported(s, m))
                    continue;
                const bool primary = m.primary_level == level;
                const bool secondary = m.secondary_level == level;
                if (m.key == key && (primary || secondary)) {
                    found_make = int(mk);
                    found_model = int(i);
                    break;
                }
                if (primary && primary_make < 0) {
                    primary_make = int(mk);
                    primary_model = int(i);
                }
                if (secondary && secondary_make < 0) {
                    secondary_make = int(mk);
                    secondary_model = int(i);
                }
            }
        }
        if (found_make < 0) {
            found_make = primary_make >= 0 ? primary_make : secondary_make;
            found_model = primary_make >= 0 ? primary_model : secondary_model;
        }
    }

    if (found_make < 0) {
        fill_rows(s, -1);
        notify(s);
    } else {
        fill_rows(s, found_make);
        int row = 0;
        for (std::size_t r = 0; r < v.rows.size(); ++r) {
            if (v.rows[r] == found_model)
                row = int(r);
        }
        notify(s);
        choose_model(s, row);
    }

    v.last_lookup_level = level;
    if (update)
        set_text(s, Field::CanLevel, std::to_string(level));
    v.level_entry_follows = true;
}

void on_level_edited(ConfigState& s)
{
    const long value = leading_digits_value(text_of(s, Field::CanLevel));
    if (value != s.vehicle.last_lookup_level)
        select_vehicle(s, value, 0, false);
}

int selected_vehicle_key(const ConfigState& s)
{
    const VehicleModel* m = chosen_model(s);
    return m ? m->key : 0;
}

} // namespace tq
