// TQ512/TQ511 programmer: identifies an alarm unit through the USB HID
// programmer, edits its configuration, watches it and updates its firmware.
#include "app/app_state.h"
#include "app/main_window.h"
#include "app/menus_window.h"
#include "app/startup.h"
#include "app/wiring.h"
#include "config/vehicle_table.h"
#include "link/hid_port.h"
#include "link/trace.h"
#include "platform/locale.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "sim/demo.h"
#include "sim/programmer.h"
#include "text/texts.h"
#include "widgets/message.h"

#include <cstdio>
#include <string>
#include <vector>

using namespace tq;

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv, argv + argc);
    if (args.size() >= 2 && args[1] == "--check-vehicles") {
        if (args.size() != 3) {
            std::fprintf(stderr, "usage: tq512 --check-vehicles FILE\n");
            return 1;
        }
        std::string report;
        const int status = check_vehicle_table(args[2], report);
        std::fputs(report.c_str(), status == 0 ? stdout : stderr);
        return status;
    }

    AppState& a = app();
    a.shell.program_path = platform::own_program_path(argv[0]);
    a.connection.can_check_pending = true;

    // Preferences first: they may name the language, and the language must
    // be chosen before any text is made.
    a.prefs.folder = platform::home_folder();
    load_preferences_and_language(a.prefs, text_state(), args, platform::user_language_code);

    use_theme_file(a.prefs);
    start_toolkit(argc, argv);
    prefer_chosen_theme(a.prefs);

    a.shell.switches = parse_switches(args);
    a.shell.start_maximized = a.shell.switches.maximized;
    a.connection.service_mode = a.shell.switches.service_mode;

    if (!platform::claim_single_instance("tq512.lock"))
        refuse_second_instance();
    const std::string update_message = startup_update_check(a);

    if (a.shell.switches.simulate) {
        a.simulated = sim::make_demo_programmer();
        a.simulated_port = std::make_unique<sim::SimPort>(*a.simulated);
        a.link.port = a.simulated_port.get();
    } else {
        if (!hidapi_start()) {
            std::fprintf(stderr, "ERROR: %s\n", "hid_init");
            return 1;
        }
        a.link.port = &hidapi_port();
    }
    static std::unique_ptr<LinkTrace> trace;
    static std::unique_ptr<HidPort> traced;
    if (!a.shell.switches.trace_file.empty()) {
        std::string error;
        trace = LinkTrace::open(a.shell.switches.trace_file, error);
        if (!trace) {
            std::fprintf(stderr, "--trace %s: %s\n", a.shell.switches.trace_file.c_str(), error.c_str());
            return 1;
        }
        traced = traced_port(*a.link.port, *trace);
        a.link.port = traced.get();
        a.link.trace = trace.get();
    }

    // A dealer's table in the data folders wins over the built-in one.
    static const VehicleTableChoice vehicles = choose_vehicle_table(vehicle_table_folders());
    a.config.vehicles = &vehicles.table;

    add_shell_menus(a);
    wire_subsystems(a);
    build_main_window(a);
    // One message window: the update check's word, then each table file
    // that could not be used.
    std::string start_message = update_message;
    for (const auto& [file, why] : vehicles.refused) {
        const std::string line = textf(kTextVehicleTableUnusable, file.c_str(), why.c_str());
        std::fprintf(stderr, "vehicle table %s: %s\n", file.c_str(), why.c_str());
        start_message += (start_message.empty() ? "" : "\n\n") + line;
    }
    if (!start_message.empty())
        show_message(start_message);
    watch_for_link_loss(a);
    run_main_loop(a);
}
