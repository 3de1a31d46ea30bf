// The update check as the user sees it: the progress window, the question,
// and saving the downloaded installer where the user chooses.
#pragma once

#include "update/update_check.h"

#include <functional>
#include <optional>
#include <string>

namespace tq {

// Runs the check with its progress window, the question and the save
// dialog. An installer that was downloaded has been saved where the user
// chose, and the outcome's text says where; it is not opened.
UpdateOutcome check_for_update(UpdateState& s);

// The Tools menu item: flips the preference, stores it, relabels the item
// through relabel, and when now on checks at once and shows the result
// ("You have the latest version of program." when up to date).
void toggle_update_check(UpdateState& s, const std::function<void(bool)>& relabel);

// The save dialog for the installer: starts in folder (the home folder when
// that cannot be read) with name filled in, asks before replacing a file.
std::optional<std::string> choose_installer_destination(const std::string& folder,
                                                        const std::string& name);

} // namespace tq
