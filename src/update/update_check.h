// The update check itself, without the toolkit: ask the server for the
// current version, offer a newer one, download its installer.
#pragma once

#include "update/http.h"
#include "update/update_state.h"

#include <functional>
#include <optional>
#include <string>

namespace tq {

// What the check shows on the way.
struct UpdateUi {
    // Shows the progress window (again) with this fraction and bar text,
    // then lets GUI events run.
    std::function<void(double fraction, const std::string& text)> progress;
    std::function<void()> hide_progress;
    std::function<void()> close_progress;
    // Yes/No; true for "Yes".
    std::function<bool(const std::string& question)> ask;
    // Where to save the installer: the full path chosen, starting in folder
    // with name suggested; nothing when the user cancels. Unset: folder/name.
    std::function<std::optional<std::string>(const std::string& folder, const std::string& name)>
        choose_destination;
};

enum class UpdateResult {
    skipped,          // preference off, or no update server in this build
    up_to_date,
    declined,         // a newer version exists; the user did not want it (or where to save it)
    failed,           // text says why
    installer_saved,  // installer is the path the downloaded file was saved as
};

struct UpdateOutcome {
    UpdateResult result = UpdateResult::skipped;
    std::string text;
    std::string installer;
    Version offered;
};

inline constexpr std::uint16_t kUpdatePort = 80;

UpdateOutcome run_update_check(const UpdateState& s, const UpdateUi& ui);

} // namespace tq
