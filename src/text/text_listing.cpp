#include "text/text_listing.h"

namespace tq {

std::string escape_text(const char* text)
{
    std::string out;
    for (const char* p = text ? text : ""; *p; ++p) {
        switch (*p) {
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        case '\r': out += "\\r"; break;
        case '\\': out += "\\\\"; break;
        default: out += *p;
        }
    }
    return out;
}

std::string table_listing(const TextTable& table)
{
    std::string out;
    for (int n = 0; n < kTextCount; ++n) {
        out += std::to_string(n);
        out += '\t';
        out += escape_text(table[std::size_t(n)]);
        out += '\n';
    }
    return out;
}

} // namespace tq
