// A history.tsv as a damaged disk or a hand edit might leave it: reading
// never goes past the text, and every line taken names a file of the
// history's own pattern.
#include "config/history.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (const tq::KeptConfiguration& e : tq::read_history_log(text)) {
        if (!tq::is_kept_file_name(e.file) || e.file.find('/') != std::string::npos ||
            e.file.find('\t') != std::string::npos)
            std::abort();
    }
    (void)tq::is_kept_file_name(std::string(text));
    return 0;
}
