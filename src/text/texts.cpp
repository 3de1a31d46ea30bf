#include "text/texts.h"

namespace tq {

const std::array<Language, 7> kLanguages = {{
    {"en", &kTextsEnglish, "English"},
    {"pl", &kTextsPolish, "Polski"},
    {"de", &kTextsGerman, "Deutsch"},
    {"ru", &kTextsRussian, "Русский"},
    {"bg", &kTextsBulgarian, "български"},
    {"cs", &kTextsCzech, "český"},
    {"el", &kTextsGreek, "ελληνικά"},
}};

TextState& text_state()
{
    static TextState state;
    return state;
}

const char* text(int n)
{
    if (n < 0 || n >= kTextCount)
        return "";
    const char* t = (*text_state().texts)[std::size_t(n)];
    return t ? t : "";
}

int find_language(const std::string& code)
{
    const std::string base = code.substr(0, code.find('_'));
    for (std::size_t i = 0; i < kLanguages.size(); ++i) {
        if (base == kLanguages[i].code)
            return int(i);
    }
    return -1;
}

} // namespace tq

#include <cstdarg>
#include <cstdio>
#include <vector>

namespace tq {

std::string textf(int n, ...)
{
    const char* format = text(n);
    va_list args;
    va_start(args, n);
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string result;
    if (length > 0) {
        std::vector<char> buffer(std::size_t(length) + 1);
        std::vsnprintf(buffer.data(), buffer.size(), format, args);
        result.assign(buffer.data(), std::size_t(length));
    }
    va_end(args);
    return result;
}

} // namespace tq
