// Start-up time of the real program: from starting `tq512 --simulate` until
// its main window is mapped, over several runs. Runs build/tq512 under its
// own Xvfb (or the display set). Prints figures; it is not a test.
//
//   bench_startup [--runs N] [--program PATH]
#include "program_runner.h"

using namespace tq::bench;

int main(int argc, char** argv)
{
    ensure_display(argv);
    const std::string program = program_path(argc, argv);
    const int runs = int_option(argc, argv, "--runs", 9);
    print_machine();
    MapWatch watch;

    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        Child child(program, {"--simulate"});
        const double mapped = watch.wait_mapped(child.pid(), 30000);
        if (mapped < 0) {
            std::printf("run %d: the main window never appeared\n", i + 1);
            return 1;
        }
        times.push_back(mapped - child.started_ms());
        child.stop();
        pause_ms(300);
    }
    std::sort(times.begin(), times.end());
    const double median = times.size() % 2 ? times[times.size() / 2]
                                           : (times[times.size() / 2 - 1] + times[times.size() / 2]) / 2;
    std::printf("start to mapped main window, %d runs: median %.0f ms (fastest %.0f, slowest %.0f)\n",
                runs, median, times.front(), times.back());
    return 0;
}
