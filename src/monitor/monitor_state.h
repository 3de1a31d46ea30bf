// The monitoring folder's state: the console (store, log file, filter,
// history, message sound) and the signal monitor, with the handles of their
// windows while they are open.
#pragma once

#include "monitor/console.h"
#include "monitor/signals.h"
#include "prefs/prefs_state.h"

#include <array>
#include <string>

typedef struct _GtkWidget GtkWidget;
typedef struct _GtkTextBuffer GtkTextBuffer;

namespace tq {

struct ConsoleWindowHandles {
    GtkWidget* window = nullptr;
    GtkWidget* command_entry = nullptr;
    GtkWidget* data_entry = nullptr;
    GtkWidget* view = nullptr;
    GtkTextBuffer* buffer = nullptr;
    GtkWidget* autoscroll = nullptr;
    GtkWidget* response = nullptr;
    GtkWidget* filter_toggle = nullptr;
    GtkWidget* log_label = nullptr;
    GtkWidget* filter_dialog = nullptr; // "Filter settings" while it runs
    unsigned view_timer = 0;            // the source that feeds the view
};

struct SoundDialogHandles {
    GtkWidget* window = nullptr;
    GtkWidget* trigger_entry = nullptr;
    GtkWidget* file_label = nullptr;
};

struct SignalWindowHandles {
    GtkWidget* window = nullptr;
    std::array<GtkWidget*, kSignalCount> buttons{};
};

struct MonitorState {
    LinkState* link = nullptr; // where the console sends and the monitor polls
    ConsoleState console;
    SignalMonitorState signals;
    // The preferences keep the log folder and the filter texts; null: they
    // live for this run only.
    PrefsState* prefs = nullptr;

    ConsoleWindowHandles console_ui;
    SoundDialogHandles sound_ui;
    SignalWindowHandles signal_ui;
    std::string log_folder; // used while no preferences keep it
    unsigned log_flush_timer = 0; // flushes the log file while one is open
};

} // namespace tq
