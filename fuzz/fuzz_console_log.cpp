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

// A store a little short of full, so that dropping old text is reached too.
// Its lines are long, tagged and untagged in turn: every input that starts
// with it walks them all at least once.
const std::string& nearly_full_store()
{
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
    return full;
}

// One console for all inputs, put back to its empty state before each: its
// store keeps the room of a full one, so that an input does not pay for
// growing a 200 KB string (fresh pages, each one faulted in) again.
ConsoleState& fresh_console()
{
    static ConsoleState* const c = [] {
        auto* s = new ConsoleState;
        s->wall_clock = [] { return std::time_t(1715954580); };
        s->sound.trigger = "*A";
        s->sound.file = "x.wav";
        s->sound.player = [](const std::string&) {};
        s->filter.texts[0] = "A";
        s->filter.texts[3] = "";
        s->store.reserve(kConsoleStoreSize);
        return s;
    }();
    c->store.clear();
    c->cut = 0;
    c->line_start = true;
    c->line_text.clear();
    c->view_open = false;
    c->view_update.replace = false;
    c->view_update.text.clear();
    c->view_update.trim = 0;
    for (tq::HistoryEntry& e : c->history.entries) {
        e.command.clear();
        e.data.clear();
    }
    c->history.last = 0;
    c->history.browse = 0;
    return *c;
}

// The view takes what was logged, as the window does, and gives the
// update's room back for the next one: a full store's rebuild then finds
// its 200 KB in place instead of a new buffer each input (fresh pages,
// each faulted in).
void take_into_view(ConsoleState& c, std::string& view)
{
    ConsoleViewUpdate u = console_take_view_update(c);
    console_apply_view_update(view, u);
    if (c.view_update.text.empty() && !c.view_update.replace) {
        u.text.clear();
        c.view_update.text.swap(u.text);
    }
}

// The view holds the store's lines from the cut on that pass the filter, in
// order, and an unfinished last line only while the filter is off.
bool view_shows_store(const ConsoleState& c, std::string_view view)
{
    std::string_view store = std::string_view(c.store).substr(c.cut);
    while (!store.empty()) {
        const std::size_t lf = store.find('\n');
        const std::string_view line = store.substr(0, lf == std::string_view::npos ? lf : lf + 1);
        store.remove_prefix(line.size());
        const bool shown = lf == std::string_view::npos ? !c.filter.active
                                                         : console_filter_line(c.filter, line);
        if (!shown)
            continue;
        if (!view.starts_with(line))
            return false;
        view.remove_prefix(line.size());
    }
    return view.empty();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    ConsoleState& c = fresh_console();
    c.filter.active = data[0] & 1;
    c.filter.untagged = data[0] & 2;
    c.filter.enabled = (data[0] >> 2) & 0x1F;
    // An open view. Half the inputs then find a nearly full store (put in
    // place here, not logged), and the view is rebuilt through the filter as
    // the filter toggle does, which the window applies at once. The view
    // keeps its room from input to input, as the store does.
    static std::string view = [] {
        std::string v;
        v.reserve(2 * kConsoleStoreSize);
        return v;
    }();
    view.assign(std::string_view(console_open_view(c))); // copied into the view's room
    if (data[0] & 0x80) {
        c.store = nearly_full_store();
        c.line_start = true;
    }
    console_rebuild_view(c);
    take_into_view(c, view);

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
            take_into_view(c, view);
    }
    take_into_view(c, view);
    check(c.store.find('\0') == std::string::npos);
    check(view_shows_store(c, view));
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
