// Choosing the UI language: once at start-up, before the toolkit starts,
// from the command line, the preferences or the user's locale. A change
// takes effect only through a restart of the program.
#pragma once

#include "text/texts.h"

#include <functional>
#include <string>
#include <vector>

namespace tq {

// Selects the language: the value after the first "--lang" among the
// arguments (the program path excluded, a trailing "--lang" ignored); else
// the stored code when not empty; else the locale's language. The whole
// code is kept in language_code; it is cut at its first underscore and
// looked up in the registry; anything unknown leaves English. Returns true
// when the code came from the command line: the caller then stores it in
// the preferences.
bool select_language(TextState& t, const std::vector<std::string>& args,
                     const std::string& stored_code,
                     const std::function<std::string()>& locale_code);

// The Language menu's handler: restarts with the code unless it is already
// the current language.
void choose_language(const TextState& t, const std::string& code,
                     const std::function<void(const std::string&)>& restart);

} // namespace tq
