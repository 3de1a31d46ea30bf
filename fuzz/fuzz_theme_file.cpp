// The theme file as an edited or damaged file might hold it: reading the
// theme name never reads past the text, and a name read back is what the
// program would write for it.
#include "prefs/themes.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto theme = tq::theme_in_file_text(text);
    if (theme && tq::theme_in_file_text(tq::theme_file_text(*theme)) != *theme)
        std::abort();
    return 0;
}
