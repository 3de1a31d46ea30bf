#include "app/startup.h"

#include "prefs/preferences.h"
#include "text/language.h"

namespace tq {

void load_preferences_and_language(PrefsState& prefs, TextState& texts,
                                   const std::vector<std::string>& args,
                                   const std::function<std::string()>& locale_code)
{
    load_preferences(prefs);
    const bool from_args = select_language(texts, args, prefs.language_code, locale_code);
    prefs.language_code = texts.language_code;
    if (from_args)
        save_preferences(prefs);
}

} // namespace tq
