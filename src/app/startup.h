// Start-up steps that come before the toolkit.
#pragma once

#include "prefs/prefs_state.h"
#include "text/texts.h"

#include <functional>
#include <string>
#include <vector>

namespace tq {

// Loads the preferences of the profile folder, then selects the UI language
// from the arguments, the stored code or the locale. A code given with
// --lang is stored at once; one taken from the locale is kept for the next
// time the preferences are saved.
void load_preferences_and_language(PrefsState& prefs, TextState& texts,
                                   const std::vector<std::string>& args,
                                   const std::function<std::string()>& locale_code);

} // namespace tq
