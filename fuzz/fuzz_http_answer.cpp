// The update server's answer as the update check reads it: the header
// search, the body cut at its length, the status line and the version text.
#include "update/http.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const tq::HttpBody body = tq::find_http_body(data, size);
    if (body.offset > size || (body.ended && body.offset > tq::kHeaderSearch))
        std::abort();
    const std::string_view text = tq::http_body_text(data, size);
    if (!text.empty() && (text.data() < reinterpret_cast<const char*>(data) ||
                          text.data() + text.size() > reinterpret_cast<const char*>(data) + size))
        std::abort();
    tq::http_status_ok(data, size);
    if (const auto v = tq::parse_version_text(text)) {
        if (v->major < 0 || v->minor < 0 || v->patch < 0)
            std::abort();
    }
    return 0;
}
