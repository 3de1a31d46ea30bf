// Fuzzes the .cfg reader: any bytes, read into the settings of a unit whose
// model and firmware come from the first two bytes. The controls must end up
// with valid UTF-8 texts and the record must still build its blocks.
#include "config/cfg_file.h"
#include "config/record.h"
#include "config/vehicle.h"

#include <glib.h>

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    static const int versions[] = {1053, 1063, 1064, 1068, 1094, 1100, 1104, 1105, 1107};
    const tq::UnitKind unit{data[0] & 1 ? 511 : 512,
                            versions[data[1] % (sizeof versions / sizeof versions[0])]};
    tq::ConfigState s;
    tq::begin_config_session(s, unit);
    const std::string_view text(reinterpret_cast<const char*>(data + 2), size - 2);
    tq::read_cfg_text(s, text, data[0] & 2);

    for (int f = 0; f < tq::kFieldCount; ++f) {
        const std::string& t = tq::text_of(s, tq::Field(f));
        if (!g_utf8_validate(t.data(), gssize(t.size()), nullptr))
            std::abort();
    }
    if (tq::validate_configuration(s).ok())
        tq::build_blocks(s, tq::selected_vehicle_key(s));
    tq::write_cfg_text(s);
    return 0;
}
