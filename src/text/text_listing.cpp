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
    int language = -1;
    for (std::size_t i = 0; i < kLanguages.size(); ++i) {
        if (kLanguages[i].table == &table)
            language = int(i);
    }
    std::string out;
    const int rows = language < 0 ? kTextCount : kTextEnd;
    for (int n = 0; n < rows; ++n) {
        out += std::to_string(n);
        out += '\t';
        out += escape_text(n < kTextCount ? table[std::size_t(n)] : text_in(language, n));
        out += '\n';
    }
    return out;
}

} // namespace tq
