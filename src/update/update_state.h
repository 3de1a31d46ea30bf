// The program update check: the update server, where the installer goes,
// and the progress window.
#pragma once

#include <functional>
#include <string>

typedef struct _GtkWidget GtkWidget;

namespace tq {

struct UpdateState {
    // HOST[:PORT] of the update server; empty: the check is skipped.
    std::string host;
    // Where the installer is saved (the user's temporary folder).
    std::string download_folder;

    // The check-at-startup preference and its storing (writes the
    // preferences file). Unset: on, and nothing is stored.
    std::function<bool()> preference;
    std::function<void(bool)> store_preference;
    // Hands the downloaded installer to the desktop; false when nothing
    // could open it. Unset: the desktop's default handler for the file.
    std::function<bool(const std::string&)> open_installer;
    // Ends the program once the installer has been handed over.
    std::function<void()> quit;

    GtkWidget* progress_window = nullptr;
    GtkWidget* progress_bar = nullptr;
};

} // namespace tq
