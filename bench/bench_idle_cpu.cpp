// CPU time of the real program's poll loop while nothing happens: searching
// for a programmer with none plugged in (hidapi), and connected to the
// simulated unit with no tool window and with the signal monitor open.
// Runs build/tq512 under its own Xvfb (or the display set) and reads its CPU
// time and the main thread's wake-ups from /proc over a fixed interval.
// Prints figures; it is not a test.
//
//   bench_idle_cpu [--seconds N] [--program PATH]
#include "program_runner.h"
#include "text/texts.h"

using namespace tq;
using namespace tq::bench;

namespace {

bool measure(const std::string& program, const Phase& phase, int seconds, MapWatch& watch)
{
    Child child(program, phase.switches, phase.actions);
    if (!wait_settled(child, phase, watch, 48))
        return false;
    pause_ms(2000); // let the connection's first exchanges and redraws pass
    const double cpu0 = child.cpu_seconds();
    const long wakes0 = child.status_value("voluntary_ctxt_switches");
    const double t0 = monotonic_ms();
    pause_ms(seconds * 1000);
    const double cpu1 = child.cpu_seconds();
    const long wakes1 = child.status_value("voluntary_ctxt_switches");
    const double wall = (monotonic_ms() - t0) / 1e3;
    if (!child.alive()) {
        std::printf("%-48s the program ended during the run\n", phase.name);
        return false;
    }
    std::printf("%-48s %8.2f %10.0f\n", phase.name, 100.0 * (cpu1 - cpu0) / wall,
                double(wakes1 - wakes0) / wall);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    ensure_display(argv);
    const std::string program = program_path(argc, argv);
    const int seconds = int_option(argc, argv, "--seconds", 10);
    print_machine();
    MapWatch watch;

    const std::string monitor_button = text(kTextSignalMonitor);
    const Phase phases[] = {
        {"searching, nothing plugged in (hidapi)", {}, {}},
        {"connected (simulated), no tool window", {"--simulate"}, {monitor_button, false, 0}},
        {"connected (simulated), signal monitor open", {"--simulate"}, {monitor_button, true, 0}},
    };
    std::printf("%-48s %8s %10s\n",
                ("poll loop over " + std::to_string(seconds) + " s").c_str(), "CPU %",
                "wake-ups/s");
    bool all = true;
    for (const Phase& phase : phases)
        all = measure(program, phase, seconds, watch) && all;
    std::printf("CPU %% is of one core; wake-ups are the main thread's voluntary switches\n");
    return all ? 0 : 1;
}
