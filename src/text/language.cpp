#include "text/language.h"

namespace tq {

bool select_language(TextState& t, const std::vector<std::string>& args,
                     const std::string& stored_code,
                     const std::function<std::string()>& locale_code)
{
    std::string code;
    bool from_command_line = false;
    for (std::size_t i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == "--lang") {
            code = args[i + 1];
            from_command_line = true;
            break;
        }
    }
    if (!from_command_line)
        code = !stored_code.empty() ? stored_code : locale_code ? locale_code() : std::string();

    t.language_index = 0;
    t.texts = &kTextsEnglish;
    t.language_code = code;
    const int index = find_language(code);
    if (index >= 0) {
        t.language_index = index;
        t.texts = kLanguages[std::size_t(index)].table;
    }
    return from_command_line;
}

void choose_language(const TextState& t, const std::string& code,
                     const std::function<void(const std::string&)>& restart)
{
    if (code != kLanguages[std::size_t(t.language_index)].code && restart)
        restart(code);
}

} // namespace tq
