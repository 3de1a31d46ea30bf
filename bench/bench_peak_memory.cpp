// Peak resident memory (VmHWM) of the real program: searching with nothing
// plugged in, connected to the simulated unit, and connected with the
// heavier windows open (signal monitor, console). Runs build/tq512 under its
// own Xvfb (or the display set). Prints figures; it is not a test.
//
//   bench_peak_memory [--program PATH]
#include "program_runner.h"
#include "text/texts.h"

using namespace tq;
using namespace tq::bench;

namespace {

bool measure(const std::string& program, const Phase& phase, MapWatch& watch)
{
    Child child(program, phase.switches, phase.actions);
    if (!wait_settled(child, phase, watch, 52))
        return false;
    pause_ms(3000); // the windows drawn and a few seconds of polling
    const long peak = child.status_value("VmHWM");
    const long now = child.status_value("VmRSS");
    if (!child.alive() || peak < 0) {
        std::printf("%-52s the program ended during the run\n", phase.name);
        return false;
    }
    std::printf("%-52s %10.1f %10.1f\n", phase.name, peak / 1024.0, now / 1024.0);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    ensure_display(argv);
    const std::string program = program_path(argc, argv);
    print_machine();
    MapWatch watch;

    const std::string monitor_button = text(kTextSignalMonitor);
    const Phase phases[] = {
        {"searching, nothing plugged in (hidapi)", {}, {}},
        {"connected (simulated)", {"--simulate"}, {monitor_button, false, 0}},
        {"connected, signal monitor and console open", {"--simulate"}, {monitor_button, true, 's'}},
    };
    std::printf("%-52s %10s %10s\n", "resident memory", "VmHWM MB", "VmRSS MB");
    bool all = true;
    for (const Phase& phase : phases)
        all = measure(program, phase, watch) && all;
    return all ? 0 : 1;
}
