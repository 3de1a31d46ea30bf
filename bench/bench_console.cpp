// The console under load: a burst of 1 MB of received text through
// console_log with the console window open and autoscroll on, and a
// filtered rebuild of a full store against the same rebuild unfiltered.
// Prints figures; it is not a test.
#include "monitor/console.h"
#include "monitor/console_window.h"
#include "platform/clock.h"
#include "widgets/kit.h"

#include <gtk/gtk.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

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

double rebuild_seconds(ConsoleState& c, int rounds)
{
    const auto start = Clock::now();
    for (int i = 0; i < rounds; ++i)
        console_rebuild_view(c);
    return seconds_since(start) / rounds;
}

} // namespace

int main(int argc, char** argv)
{
    const bool gui = gtk_init_check(&argc, &argv);
    MonitorState m;
    if (gui) {
        create_fonts();
        platform::set_event_pump([] {
            while (gtk_events_pending())
                gtk_main_iteration();
        });
        open_console_window(m);
    } else {
        std::printf("no display: the burst runs without the window\n");
    }

    const auto burst = messages(1 << 20);
    std::size_t bytes = 0;
    const auto start = Clock::now();
    for (const std::string& text : burst) {
        console_log(m.console, text, true);
        bytes += text.size();
    }
    const double took = seconds_since(start);
    std::printf("burst: %zu bytes in %.2f s: %.0f bytes/s received%s\n", bytes, took, bytes / took,
                gui ? " (window open, autoscroll on)" : "");

    // A full store (just short of dropping old text), then the rebuild with
    // and without the filter, into the open window where there is one.
    ConsoleState& c = m.console;
    c.store.clear();
    for (std::size_t i = 0; c.store.size() + 64 < kConsoleStoreSize - kConsoleMinFree; ++i)
        c.store += console_stamp(0, '>') + burst[i % 5];
    std::string text;
    if (!gui)
        c.view.replace = [&text](const std::string& t) { text = t; };
    c.filter.untagged = false;
    c.filter.enabled = 1u << 2;
    c.filter.texts[2] = "GPS";
    const int rounds = gui ? 5 : 50;
    c.filter.active = false;
    const double plain = rebuild_seconds(c, rounds);
    c.filter.active = true;
    const double filtered = rebuild_seconds(c, rounds);
    std::printf("rebuild of a %zu-byte store%s: filtered %.3f ms, unfiltered %.3f ms, ratio %.2f\n",
                c.store.size(), gui ? " into the window" : "", filtered * 1e3, plain * 1e3,
                filtered / plain);
    if (gui)
        close_console_window(m);
    return 0;
}
