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

const char* text_in(int language, int n)
{
    if (language < 0 || language >= int(kLanguages.size()) || n < 0 || n >= kTextEnd)
        return "";
    const char* t = n < kTextCount ? (*kLanguages[std::size_t(language)].table)[std::size_t(n)]
                                   : kAddedTexts[std::size_t(n - kTextCount)][std::size_t(language)];
    return t ? t : "";
}

const char* text(int n)
{
    const TextState& t = text_state();
    if (n < kTextCount) {
        const char* row = n >= 0 ? (*t.texts)[std::size_t(n)] : nullptr;
        return row ? row : "";
    }
    return text_in(t.language_index, n);
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
