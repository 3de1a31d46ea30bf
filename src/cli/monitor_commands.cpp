// events, signals and console: the unit watched as the tool windows watch it.
#include "cli/session.h"

#include "config/unit_status.h"
#include "link/commands.h"
#include "monitor/console.h"
#include "monitor/signals.h"
#include "platform/clock.h"
#include "text/texts.h"

#include <array>
#include <cstdio>

namespace tq::cli {
namespace {

// The pause between passes, as in the window's loop.
constexpr int kPassPauseMs = 10;
// How many passes a one-off answer may take (each pass waits for a reply).
constexpr int kAnswerPasses = 200;

int lost(Session& s)
{
    return s.fail(text(kTextCliUnitLost));
}

std::string signal_name(int bit)
{
    const char* name = kSignals[std::size_t(bit)].name;
    return name ? name : "";
}

std::string signal_line(int bit, bool on)
{
    char line[64];
    std::snprintf(line, sizeof line, "%2d %-22s %s\n", bit,
                  signal_name(bit).empty() ? "-" : signal_name(bit).c_str(), on ? "on" : "off");
    return line;
}

std::string signal_json(int bit, bool on)
{
    return "{\"bit\": " + std::to_string(bit) + ", \"name\": " + json_string(signal_name(bit)) +
           ", \"on\": " + (on ? "true" : "false") + "}";
}

} // namespace

int run_events(Session& s)
{
    const Found found = s.find_unit();
    if (found != Found::Unit)
        return s.not_found(found);
    std::array<std::string, kEventCount> names;
    std::array<int, kEventCount> codes{};
    bool shown = false;
    unsigned poll_count = 0;
    for (int pass = 0; pass < kAnswerPasses && !shown; ++pass) {
        if (s.interrupted())
            return kExitFailed;
        poll_pass_reply(s.link);
        event_memory_step(s.link, poll_count, [&](int i, const std::string& name) {
            names[std::size_t(i)] = name;
            codes[std::size_t(i)] = s.link.payload()[i + 2];
            shown = true;
        });
        if (!s.link.open())
            return lost(s);
        platform::sleep_ms(kPassPauseMs);
    }
    if (!shown)
        return s.fail(text(kTextConfigurationLoadError));
    if (s.options.json) {
        std::string j = "[";
        for (int i = 0; i < kEventCount; ++i)
            j += std::string(i ? ", " : "") + "{\"code\": " + std::to_string(codes[std::size_t(i)]) +
                 ", \"name\": " + json_string(names[std::size_t(i)]) + "}";
        s.out(j + "]\n");
    } else {
        for (int i = 0; i < kEventCount; ++i)
            s.out(std::to_string(i + 1) + " " + names[std::size_t(i)] + "\n");
    }
    return kExitDone;
}

int run_signals(Session& s)
{
    const Found found = s.find_unit();
    if (found != Found::Unit)
        return s.not_found(found);
    SignalMonitorState state;
    bool first = true;
    int quiet_passes = 0;
    for (;;) {
        if (s.interrupted())
            return kExitDone;
        poll_pass_reply(s.link);
        const bool answered = s.link.reply_code() == reply::kSignals &&
                              s.link.reply_length >= 2 + 1 + kSignalBytes;
        if (answered && first) {
            // The whole field once; later only what changed.
            const std::uint8_t* field = s.link.payload();
            std::string all = s.options.json ? "[" : "";
            for (int bit = 0; bit < kSignalCount; ++bit) {
                const bool on = signal_bit(field, bit);
                all += s.options.json ? (bit ? ", " : "") + signal_json(bit, on)
                                      : signal_line(bit, on);
            }
            s.out(s.options.json ? all + "]\n" : all);
            apply_signal_field(state, field, [](int, bool) {});
            first = false;
            if (!s.options.watch)
                return kExitDone;
        }
        signal_monitor_poll(s.link, state, [&](int bit, bool on) {
            s.out(s.options.json ? signal_json(bit, on) + "\n" : signal_line(bit, on));
        });
        if (!s.link.open())
            return lost(s);
        quiet_passes = answered ? 0 : quiet_passes + 1;
        if (first && quiet_passes > kAnswerPasses)
            return s.fail(text(kTextCliUnitLost));
        platform::sleep_ms(kPassPauseMs);
    }
}

int run_console(Session& s)
{
    ConsoleState console;
    if (s.env.wall_clock)
        console.wall_clock = s.env.wall_clock;
    console_open_view(console); // the store is empty: everything logged from now on
    if (!s.options.log_file.empty() && !console_open_log(console, s.options.log_file, ""))
        return s.fail(std::string(text(kTextCannotOpenFile)) + " " + s.options.log_file);
    struct CloseLog {
        ConsoleState& c;
        ~CloseLog() { console_close_log(c); }
    } close_log{console};

    const Found found = s.find_unit();
    if (found != Found::Unit)
        return s.not_found(found);
    // Text frames from here on go to the console as the frame receiver
    // hands them over.
    s.link.text_sink = [&](std::string_view t) {
        console_log(console, t, true);
        const ConsoleViewUpdate shown = console_take_view_update(console);
        if (!shown.text.empty())
            s.out(shown.text);
    };
    for (;;) {
        if (s.interrupted())
            return kExitDone;
        poll_pass_reply(s.link);
        if (!s.link.open())
            return lost(s);
        platform::sleep_ms(kPassPauseMs);
    }
}

} // namespace tq::cli
