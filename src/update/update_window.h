// The update check as the user sees it: the progress window, the question,
// and handing the downloaded installer to the desktop.
#pragma once

#include "update/update_check.h"

#include <functional>
#include <string>

namespace tq {

// Runs the check with its progress window. Returns the outcome; when an
// installer was downloaded it has been opened and UpdateState::quit has
// been called (which ends the program).
UpdateOutcome check_for_update(UpdateState& s);

// The Tools menu item: flips the preference, stores it, relabels the item
// through relabel, and when now on checks at once and shows the result
// ("You have the latest version of program." when up to date).
void toggle_update_check(UpdateState& s, const std::function<void(bool)>& relabel);

// Opens a file with the desktop's default handler for it; false when none
// could be started.
bool open_with_default_handler(const std::string& path);

} // namespace tq
