// A vehicle table file as a dealer, a damaged disk or a hostile file might
// hold it: parsing never reads past the text, a refusal names a line and
// leaves no table, and every model of an accepted table belongs to a make
// that counted it.
#include "config/vehicle_table.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    tq::VehicleTable table;
    std::string error;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (!tq::parse_vehicle_table(text, table, error)) {
        if (!table.makes.empty() || error.rfind("line ", 0) != 0)
            std::abort();
        return 0;
    }
    for (const tq::VehicleMake& make : table.makes) {
        for (const tq::VehicleModel& m : make.models)
            (void)tq::model_row_text(m, "ru", "year");
    }
    return 0;
}
