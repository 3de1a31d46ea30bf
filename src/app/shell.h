// The application shell: start-up switches, the main window's parts and the
// poll loop that drives the device between GUI events.
#pragma once

#include <string>
#include <vector>

typedef struct _GtkWidget GtkWidget;

namespace tq {

// The command-line switches of the program.
struct Switches {
    bool maximized = false;      // "maximized"
    bool service_mode = false;   // "ravlin"
    bool simulate = false;       // --simulate: the simulated programmer instead of USB
    std::string relay_host;      // --relay-host HOST[:PORT]
    std::string update_host;     // --update-host HOST[:PORT]
    std::string trace_file;      // --trace FILE: the support trace of the link
};
struct ShellState {
    std::string program_path;
    Switches switches;
    bool start_maximized = false;

    GtkWidget* main_window = nullptr;
    GtkWidget* main_scroller = nullptr;
    GtkWidget* main_box = nullptr;
    GtkWidget* status_label = nullptr;
    GtkWidget* hardware_label = nullptr;
    GtkWidget* serial_label = nullptr;
    GtkWidget* mode_label = nullptr;
    GtkWidget* pin_menu_item = nullptr;     // "Change emergency/service PIN"
    GtkWidget* update_check_item = nullptr; // its label flips with the preference

    int min_work_width = 10000;
    int min_work_height = 10000;
    bool combo_closed = false;

    // Menus after "Tools" ("Language", "Themes"), added before the window
    // is built.
    std::vector<GtkWidget*> extra_menus;
};

Switches parse_switches(const std::vector<std::string>& args);

struct WorkArea {
    int width;
    int height;
};
// Lowers the smallest work area by every monitor's; true when the window
// must start maximised (narrower than 1010 or lower than 680 + 80).
bool apply_monitor_rule(const std::vector<WorkArea>& areas, int& min_width, int& min_height);

// The restart command line: program, "ravlin" when in service mode, the
// program's own switches (simulation, hosts) as they were, then "--lang" and
// the code when one is given.
std::vector<std::string> restart_arguments(const std::string& program_path, const Switches& s,
                                           const std::string& language_code);

} // namespace tq
