// The program update check: the update server, where the installer goes,
// and the progress window.
#pragma once

#include "prefs/prefs_state.h"

#include <string>

typedef struct _GtkWidget GtkWidget;

namespace tq {

struct UpdateState {
    // HOST[:PORT] of the update server; empty: the check is skipped.
    std::string host;
    // Where the save dialog for the installer starts (the user's Downloads
    // folder).
    std::string download_folder;
    // Each answer as a whole must have come by then, however the server
    // drips it: the version answer, and the installer's download.
    int answer_deadline_ms = 30 * 1000;
    int download_deadline_ms = 10 * 60 * 1000;

    // The preferences hold the check-at-start-up choice; null: on, and
    // nothing is stored.
    PrefsState* prefs = nullptr;

    GtkWidget* progress_window = nullptr;
    GtkWidget* progress_bar = nullptr;
};

} // namespace tq
