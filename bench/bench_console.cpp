// The console under load: a burst of 1 MB of received text through
// console_log with the console window open and autoscroll on, the GUI
// events run every 10 ms as the program's poll loop runs them (at most once
// per pass, and a pass sleeps 10 ms); once on a quiet
// machine and once with two busy processes beside it (started here). Then
// the filtered rebuild of a full store into the window, against the same
// rebuild unfiltered. Prints figures; it is not a test.
#include "monitor/console.h"
#include "monitor/console_window.h"
#include "platform/clock.h"
#include "widgets/kit.h"

#include <gtk/gtk.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

using namespace tq;
using Clock = std::chrono::steady_clock;

namespace {

double seconds_since(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Text messages as the unit sends them: tagged and untagged lines.
std::vector<std::string> messages(std::size_t total)
{
    const char* lines[] = {"*GSM registered, CSQ 23\r\n", "*GPS fix 3D, HDOP 12, sats 9\r\n",
                           "Central lock: LOCK (remote)\r\n", "*CAN level 174 frame 0x3B3 ok\r\n",
                           "Door FL opened while armed\r\nALARM 1 FL door\r\n"};
    std::vector<std::string> out;
    std::size_t size = 0;
    for (std::size_t i = 0; size < total; ++i) {
        out.emplace_back(lines[i % 5]);
        size += out.back().size();
    }
    return out;
}

// Bytes per second of one burst, until the view shows the last of it; -1
// when the view does not end up showing what the store holds.
double burst(MonitorState& m, const std::vector<std::string>& texts)
{
    console_clear(m.console);
    console_window_update(m);
    std::size_t bytes = 0;
    const auto start = Clock::now();
    auto pumped = start;
    for (const std::string& text : texts) {
        console_log(m.console, text, true);
        bytes += text.size();
        if (Clock::now() - pumped >= std::chrono::milliseconds(10)) {
            platform::pump_events();
            pumped = Clock::now();
        }
    }
    console_window_update(m);
    while (gtk_events_pending())
        gtk_main_iteration();
    const double took = seconds_since(start);
    const ConsoleState& c = m.console;
    if (console_window_text(m) != c.store.substr(c.cut))
        return -1;
    return double(bytes) / took;
}

// Processes that only burn a core each, as builds beside the program do.
std::vector<pid_t> start_busy(int n)
{
    std::vector<pid_t> pids;
    for (int i = 0; i < n; ++i) {
        const pid_t pid = fork();
        if (pid == 0) {
            volatile unsigned long spin = 0;
            for (;;)
                spin = spin + 1;
        }
        if (pid > 0)
            pids.push_back(pid);
    }
    return pids;
}

void stop_busy(const std::vector<pid_t>& pids)
{
    for (pid_t pid : pids) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
}

double rebuild_seconds(MonitorState& m, int rounds)
{
    const auto start = Clock::now();
    for (int i = 0; i < rounds; ++i) {
        console_rebuild_view(m.console);
        console_window_update(m);
    }
    return seconds_since(start) / rounds;
}

} // namespace

int main(int argc, char** argv)
{
    if (!gtk_init_check(&argc, &argv)) {
        std::fprintf(stderr, "bench_console needs a display (xvfb-run -a)\n");
        return 1;
    }
    MonitorState m;
    create_fonts();
    platform::set_event_pump([] {
        while (gtk_events_pending())
            gtk_main_iteration();
    });
    open_console_window(m);
    while (gtk_events_pending())
        gtk_main_iteration();

    const auto texts = messages(1 << 20);
    std::printf("burst of 1 MB of unit text into the open console, autoscroll on\n");
    const double quiet = burst(m, texts);
    std::printf("  quiet:                   %10.0f bytes/s\n", quiet);
    const auto busy = start_busy(2);
    const double loaded = burst(m, texts);
    stop_busy(busy);
    std::printf("  two busy processes:      %10.0f bytes/s\n", loaded);
    if (quiet < 0 || loaded < 0) {
        std::fprintf(stderr, "the view does not show what the store holds\n");
        return 1;
    }

    // A full store (just short of dropping old text), then the rebuild into
    // the window with and without the filter.
    ConsoleState& c = m.console;
    console_clear(c);
    for (std::size_t i = 0; c.store.size() + 64 < kConsoleStoreSize - kConsoleMinFree; ++i)
        c.store += console_stamp(0, '>') + texts[i % 5];
    c.filter.untagged = false;
    c.filter.enabled = 1u << 2;
    c.filter.texts[2] = "GPS";
    const int rounds = 5;
    c.filter.active = false;
    const double plain = rebuild_seconds(m, rounds);
    c.filter.active = true;
    const double filtered = rebuild_seconds(m, rounds);
    std::printf("rebuild of a %zu-byte store into the window: filtered %.2f ms, unfiltered %.2f ms\n",
                c.store.size(), filtered * 1e3, plain * 1e3);
    close_console_window(m);
    return 0;
}
