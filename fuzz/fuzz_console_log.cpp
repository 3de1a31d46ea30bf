// Console text from the unit: any bytes, in any split, with the filter on
// or off. The store must stay bounded and NUL-free, the view, however often
// it takes its updates, must end equal to the filtered store, and the
// escapes of the command line must parse.
#include "monitor/console.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

using namespace tq;

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    ConsoleState c;
    c.wall_clock = [] { return std::time_t(1715954580); };
    int sounds = 0;
    c.sound.trigger = "*A";
    c.sound.file = "x.wav";
    c.sound.player = [&sounds](const std::string&) { ++sounds; };
    c.filter.active = data[0] & 1;
    c.filter.untagged = data[0] & 2;
    c.filter.enabled = (data[0] >> 2) & 0x1F;
    c.filter.texts[0] = "A";
    c.filter.texts[3] = "";
    // Half the inputs start with a nearly full store, so that dropping old
    // text is reached too. Its lines are long, tagged and untagged in turn:
    // every input that starts with it walks them all at least once.
    if (data[0] & 0x80) {
        static const std::string full = [] {
            std::string s;
            for (int i = 0; s.size() < kConsoleStoreSize - 3000; ++i) {
                s += i % 2 ? "[2024.05.17 14:03:00]> *A filler " : "[2024.05.17 14:03:00]> filler ";
                s.append(std::size_t(900 + i % 7 * 50), 'f');
                s += "\r\n";
            }
            s.resize(kConsoleStoreSize - 3000);
            s.resize(s.rfind('\n') + 1);
            return s;
        }();
        c.store = full;
        c.line_start = true;
    }
    // An open view, rebuilt through the filter as the filter toggle does.
    std::string view = console_open_view(c);
    console_rebuild_view(c);

    // Byte 1 picks where the text is cut into messages and how often the
    // view takes what was logged.
    const std::size_t chunk = std::size_t(data[1] % 64) + 1;
    const std::size_t every = std::size_t(data[1] >> 6) + 1;
    const std::string_view text(reinterpret_cast<const char*>(data + 2), size - 2);
    for (std::size_t at = 0, n = 0; at < text.size(); at += chunk, ++n) {
        const std::string_view part = text.substr(at, chunk);
        console_log(c, part, (at / chunk) % 5 != 4);
        check(c.store.size() < kConsoleStoreSize);
        check(c.cut <= c.store.size());
        if (n % every == 0)
            console_apply_view_update(view, console_take_view_update(c));
    }
    console_apply_view_update(view, console_take_view_update(c));
    check(c.store.find('\0') == std::string::npos);
    check(view == console_filtered_text(c.filter, std::string_view(c.store).substr(c.cut)));
    // The same bytes as a typed command line.
    (void)parse_command_field(text.substr(0, 3));
    const auto payload = parse_data_field(text);
    check(payload.size() <= text.size());
    history_store(c.history, text.substr(0, 3), text);
    std::string cmd, line;
    history_browse(c.history, -1, cmd, line);
    history_browse(c.history, +1, cmd, line);
    check(line.size() <= kHistoryDataMax);
    return 0;
}
