// The preferences file as a damaged or hostile file might hold it: decoding
// never reads past the data, every filter fits its slot, and what is
// written back decodes to the same values.
#include "prefs/preferences.h"

#include <cstdint>
#include <cstdlib>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    tq::PrefsState p;
    tq::decode_preferences(p, std::span(data, size));
    for (const std::string& f : p.console_filters) {
        if (f.size() > tq::kConsoleFilterMax)
            std::abort();
    }
    const auto image = tq::encode_preferences(p);
    tq::PrefsState again;
    tq::decode_preferences(again, image);
    if (again.check_updates != p.check_updates || again.language_code != p.language_code ||
        again.firmware_folder != p.firmware_folder || again.log_folder != p.log_folder ||
        again.spare_folder != p.spare_folder || again.config_folder != p.config_folder ||
        again.console_filters != p.console_filters || tq::encode_preferences(again) != image)
        std::abort();
    return 0;
}
