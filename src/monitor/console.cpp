#include "monitor/console.h"

#include "link/commands.h"
#include "link/frame.h"
#include "platform/clock.h"
#include "platform/sound.h"
#include "radio/radio_text.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include <glib.h>

namespace tq {
namespace {

constexpr int kResponseCycles = 40;
constexpr int kResponsePauseMs = 50;

std::time_t wall_now(const ConsoleState& c)
{
    return c.wall_clock ? c.wall_clock() : std::time(nullptr);
}

// Whether a view shows this store line: finished lines through the filter;
// an unfinished last line only while the filter is off.
bool view_shows(const ConsoleFilter& f, std::string_view line)
{
    if (line.empty() || line.back() != '\n')
        return !f.active;
    return console_filter_line(f, line);
}

// Drops the oldest n bytes of the store (the cut is not aligned to a line).
// The view loses the lines it showed of them, the line cut in two included.
void drop_oldest(ConsoleState& c, std::size_t n)
{
    const std::string_view store = c.store;
    n = std::min(n, store.size());
    if (n <= c.cut) {
        c.cut -= n;
    } else {
        std::size_t at = c.cut;
        while (at < n) {
            const std::size_t lf = store.find('\n', at);
            const std::size_t end = lf == std::string_view::npos ? store.size() : lf + 1;
            if (c.view_open && view_shows(c.filter, store.substr(at, end - at)))
                c.view_update.trim += end - at;
            at = end;
        }
        c.cut = at - n;
    }
    c.store.erase(0, n);
}

// The store is emptied; so is the view.
void clear_store(ConsoleState& c)
{
    c.store.clear();
    c.cut = 0;
    if (c.view_open)
        c.view_update = {true, {}, 0};
}

// Adds text to the store so that it never reaches kConsoleStoreSize: older
// text gives way first, and of a text larger than the store only its end is
// kept. Returns where the added text begins in the store.
std::size_t keep_in_store(ConsoleState& c, std::string_view out)
{
    constexpr std::size_t room = kConsoleStoreSize - 1;
    if (out.size() > room) {
        const bool at_line_start = out[out.size() - room - 1] == '\n';
        out.remove_prefix(out.size() - room);
        clear_store(c);
        if (!at_line_start) {
            const std::size_t lf = out.find('\n');
            c.cut = lf == std::string_view::npos ? out.size() : lf + 1;
        }
        c.store.assign(out);
        return 0;
    }
    if (c.store.size() + out.size() > room)
        drop_oldest(c, std::max(kConsoleDropSize, c.store.size() + out.size() - room));
    if (c.cut > 0 && c.cut == c.store.size() && c.store.back() != '\n') {
        // The cut line has not ended yet: it goes on into this text.
        const std::size_t lf = out.find('\n');
        c.cut += lf == std::string_view::npos ? out.size() : lf + 1;
    }
    const std::size_t begin = c.store.size();
    c.store.append(out);
    return begin;
}

// The text from store position begin on, as the view shows it.
void add_to_view(ConsoleState& c, std::size_t begin)
{
    begin = std::max(begin, c.cut);
    if (!c.view_open || begin >= c.store.size())
        return;
    const std::string_view store = c.store;
    std::string& pending = c.view_update.text;
    if (!c.filter.active) {
        pending.append(store.substr(begin));
    } else {
        // Filtered, the view takes whole lines once they are finished: a
        // line begun by an earlier text is judged and shown from its stamp on.
        std::size_t line_begin = c.cut;
        if (begin > c.cut) {
            const std::size_t lf = store.rfind('\n', begin - 1);
            line_begin = lf == std::string_view::npos || lf < c.cut ? c.cut : lf + 1;
        }
        for (;;) {
            const std::size_t lf = store.find('\n', std::max(line_begin, begin));
            if (lf == std::string_view::npos)
                break;
            const std::string_view line = store.substr(line_begin, lf + 1 - line_begin);
            if (console_filter_line(c.filter, line))
                pending.append(line);
            line_begin = lf + 1;
        }
    }
    // A view that has not taken its text for a long time gets the store anew.
    if (pending.size() > kConsoleStoreSize)
        console_rebuild_view(c);
}

// A line's stamp in console_log. Lines come in bursts within one second:
// the date and time are worked out once per second, not once per line.
void append_line_stamp(ConsoleState& c, std::string& out, char mark)
{
    const std::time_t when = wall_now(c);
    if (c.stamp_text.empty() || when != c.stamp_when) {
        c.stamp_text = console_stamp(when, mark);
        c.stamp_when = when;
    }
    out += c.stamp_text;
    // The mark stands between the closing bracket and the space.
    out[out.size() - 2] = mark;
}

std::string_view shown_part(const ConsoleState& c)
{
    return std::string_view(c.store).substr(std::min(c.cut, c.store.size()));
}

} // namespace

std::string console_stamp(std::time_t when, char mark)
{
    std::tm t{};
    localtime_r(&when, &t);
    char buf[48];
    std::snprintf(buf, sizeof buf, "[%04d.%02d.%02d %02d:%02d:%02d]%c ", t.tm_year + 1900,
                  t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, mark);
    return buf;
}

void console_log(ConsoleState& c, std::string_view text, bool received)
{
    if (kConsoleStoreSize - c.store.size() < kConsoleMinFree)
        drop_oldest(c, kConsoleDropSize);

    std::string& out = c.logged_text;
    out.clear();
    out.reserve(text.size() + 64);
    if (!received) {
        out += '\n';
        c.line_start = true;
    }
    const char mark = received ? '>' : '<';
    for (const char raw : text) {
        const char ch = char(raw & 0x7F);
        if (c.line_start) {
            c.line_start = false;
            c.line_text.clear();
            append_line_stamp(c, out, mark);
        }
        if (ch == '\f') {
            out.clear();
            clear_store(c);
            c.line_text.clear();
            c.line_start = true;
            continue;
        }
        if (ch == '\0')
            break;
        if (ch == '\n') {
            const std::string& trigger = c.sound.trigger;
            if (!trigger.empty() && c.line_text.compare(0, trigger.size(), trigger) == 0)
                play_message_sound(c.sound);
            out += "\r\n";
            c.line_start = true;
            continue;
        }
        if (ch == '\r')
            continue;
        out += ch;
        if (c.line_text.size() < kSoundTriggerMax)
            c.line_text += ch;
    }

    if (c.log_file && !out.empty()) {
        std::fwrite(out.data(), 1, out.size(), c.log_file);
        if (platform::now_ms() - c.log_flushed_ms >= kConsoleLogFlushMs)
            console_flush_log(c);
    }

    add_to_view(c, keep_in_store(c, out));
}

std::string console_open_view(ConsoleState& c)
{
    c.view_open = true;
    c.view_update = {};
    return std::string(shown_part(c));
}

void console_close_view(ConsoleState& c)
{
    c.view_open = false;
    c.view_update = {};
}

ConsoleViewUpdate console_take_view_update(ConsoleState& c)
{
    return std::exchange(c.view_update, {});
}

void console_apply_view_update(std::string& view, const ConsoleViewUpdate& u)
{
    if (u.replace)
        view = u.text;
    else
        view += u.text;
    std::size_t cut = std::min(u.trim, view.size());
    if (cut > 0 && view[cut - 1] != '\n') {
        const std::size_t lf = view.find('\n', cut);
        cut = lf == std::string::npos ? view.size() : lf + 1;
    }
    view.erase(0, cut);
}

bool console_filter_line(const ConsoleFilter& f, std::string_view line)
{
    if (!f.active)
        return true;
    if (line.size() <= kConsoleTextColumn || line[kConsoleTextColumn] != '*')
        return f.untagged;
    std::string_view tag = line.substr(kConsoleTextColumn + 1);
    if (!tag.empty() && tag.front() == ' ')
        tag.remove_prefix(1);
    const std::size_t end = tag.find_first_of(" \r\n");
    tag = tag.substr(0, std::min({end, tag.size(), kConsoleFilterTextMax}));
    for (int i = 0; i < kConsoleFilterSlots; ++i) {
        if (!(f.enabled >> i & 1u))
            continue;
        if (f.texts[std::size_t(i)].empty() || f.texts[std::size_t(i)] == tag)
            return true;
    }
    return false;
}

void console_filtered_text(const ConsoleFilter& f, std::string_view text, std::string& shown)
{
    shown.clear();
    if (!f.active) {
        shown.assign(text);
        return;
    }
    std::size_t at = 0;
    for (;;) {
        const std::size_t lf = text.find('\n', at);
        if (lf == std::string_view::npos)
            break; // an unfinished line is shown once it ends
        const std::string_view line = text.substr(at, lf + 1 - at);
        if (console_filter_line(f, line))
            shown += line;
        at = lf + 1;
    }
}

std::string console_filtered_text(const ConsoleFilter& f, std::string_view text)
{
    std::string shown;
    console_filtered_text(f, text, shown);
    return shown;
}

void console_rebuild_view(ConsoleState& c)
{
    if (!c.view_open)
        return;
    // Written into the pending text's own room: while that room lasts, a
    // rebuild of a full store needs no new buffer.
    c.view_update.replace = true;
    c.view_update.trim = 0;
    console_filtered_text(c.filter, shown_part(c), c.view_update.text);
}

void console_clear(ConsoleState& c)
{
    clear_store(c);
}

void console_reset(ConsoleState& c)
{
    console_clear(c);
    console_close_log(c);
    c.line_start = true;
    c.line_text.clear();
}

void play_message_sound(const MessageSound& s)
{
    if (s.file.empty())
        return;
    if (s.player)
        s.player(s.file);
    else
        platform::play_wav_file(s.file);
}

bool console_open_log(ConsoleState& c, const std::string& path, std::string_view displayed)
{
    std::FILE* f = std::fopen(path.c_str(), "ab");
    if (!f)
        return false;
    console_close_log(c);
    // A buffer that holds a burst of text; flushed at least every
    // kConsoleLogFlushMs, when logging stops and at exit.
    std::setvbuf(f, nullptr, _IOFBF, 64 * 1024);
    c.log_file = f;
    c.store.clear();
    c.cut = 0;
    if (!displayed.empty())
        std::fwrite(displayed.data(), 1, displayed.size(), f);
    console_flush_log(c);
    return true;
}

void console_close_log(ConsoleState& c)
{
    if (c.log_file) {
        std::fclose(c.log_file);
        c.log_file = nullptr;
    }
}

void console_flush_log(ConsoleState& c)
{
    c.log_flushed_ms = platform::now_ms();
    if (c.log_file)
        std::fflush(c.log_file);
}

std::optional<ConsoleCommand> parse_command_field(std::string_view field)
{
    if (field.size() < 2)
        return std::nullopt;
    const int hi = g_ascii_xdigit_value(field[0]);
    const int lo = g_ascii_xdigit_value(field[1]);
    if (hi < 0 || lo < 0)
        return std::nullopt;
    ConsoleCommand c;
    c.code = std::uint8_t(hi * 16 + lo);
    c.radio = field.size() > 2 && (field[2] == 'B' || field[2] == 'b');
    return c;
}

std::vector<std::uint8_t> parse_data_field(std::string_view field)
{
    std::vector<std::uint8_t> bytes;
    bytes.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '\\') {
            bytes.push_back(std::uint8_t(field[i]));
            continue;
        }
        if (i + 1 >= field.size())
            break; // a lone backslash at the end
        const char next = field[i + 1];
        if (next == 'x' || next == 'X') {
            if (i + 3 >= field.size())
                break; // "\x" and less than two characters: cut off
            const int hi = g_ascii_xdigit_value(field[i + 2]);
            const int lo = g_ascii_xdigit_value(field[i + 3]);
            if (hi >= 0 && lo >= 0) {
                bytes.push_back(std::uint8_t(hi * 16 + lo));
                i += 3;
                continue;
            }
        }
        bytes.push_back(std::uint8_t(next));
        ++i;
    }
    return bytes;
}

std::string sent_command_line(const ConsoleCommand& command, std::string_view data_field)
{
    char head[8];
    std::snprintf(head, sizeof head, "\\x%02X%s ", command.code, command.radio ? "B" : "");
    std::string line = head;
    line.append(data_field);
    line += '\n';
    return line;
}

std::string reply_line(const std::uint8_t* reply, int reply_length)
{
    const int count = std::max(0, reply_length - 3);
    const std::uint8_t* payload = reply + 2;
    char hex[4];
    std::snprintf(hex, sizeof hex, "%02X", reply[1]);
    std::string line = hex;
    line += " - ";
    for (int i = 0; i < count; ++i) {
        std::snprintf(hex, sizeof hex, "%02X", payload[i]);
        line += hex;
    }
    line += " - \"";
    for (int i = 0; i < count; ++i) {
        const char ch = char(payload[i] & 0x7F);
        line += ch < 0x20 ? '?' : ch;
    }
    line += "\"\n";
    return line;
}

std::string first_characters(std::string_view text, std::size_t n)
{
    std::size_t at = 0;
    for (std::size_t k = 0; k < n && at < text.size(); ++k) {
        ++at;
        while (at < text.size() && (std::uint8_t(text[at]) & 0xC0) == 0x80)
            ++at;
    }
    return std::string(text.substr(0, at));
}

std::string cut_utf8(std::string_view text, std::size_t max)
{
    if (text.size() <= max)
        return std::string(text);
    std::size_t end = max;
    while (end > 0 && (std::uint8_t(text[end]) & 0xC0) == 0x80)
        --end;
    return std::string(text.substr(0, end));
}

void history_store(ConsoleHistory& h, std::string_view command_field, std::string_view data_field)
{
    std::string command = first_characters(command_field, 3);
    std::string data = cut_utf8(data_field, kHistoryDataMax);
    const HistoryEntry& newest = h.entries[std::size_t(h.last)];
    if (newest.command == command && newest.data == data)
        return;
    h.last = (h.last + 1) % kHistorySize;
    h.entries[std::size_t(h.last)] = {std::move(command), std::move(data)};
    h.browse = h.last;
}

void history_browse(ConsoleHistory& h, int step, std::string& command_field, std::string& data_field)
{
    h.entries[std::size_t(h.browse)] = {first_characters(command_field, 3),
                                        cut_utf8(data_field, kHistoryDataMax)};
    h.browse = ((h.browse + step) % kHistorySize + kHistorySize) % kHistorySize;
    const HistoryEntry& e = h.entries[std::size_t(h.browse)];
    command_field = e.command;
    data_field = e.data;
}

std::size_t console_data_max(const ConsoleCommand& command)
{
    return command.radio ? kMaxRadioRequestData : kMaxFrameData;
}

SendResult console_send(ConsoleState& c, LinkState& link, std::string_view command_field,
                        std::string_view data_field, bool response)
{
    const std::optional<ConsoleCommand> command = parse_command_field(command_field);
    if (!command)
        return SendResult::BadCommand;
    const std::vector<std::uint8_t> payload = parse_data_field(data_field);
    if (payload.size() > console_data_max(*command))
        return SendResult::TooLong;

    history_store(c.history, command_field, data_field);
    console_log(c, sent_command_line(*command, data_field), false);

    if (command->radio) {
        std::string answer;
        const bool answered = c.radio_command &&
                              c.radio_command(command->code, payload.data(), payload.size(), answer);
        if (answered && response) {
            if (answer.empty() || answer.back() != '\n')
                answer += '\n';
            console_log(c, answer, true);
        }
        return SendResult::Sent;
    }

    if (!send_command(link, command->code, payload.data(), payload.size()) || !response)
        return SendResult::Sent;
    for (int cycle = 0; cycle < kResponseCycles; ++cycle) {
        platform::sleep_ms(kResponsePauseMs);
        if (poll_reply(link) && link.reply_code() == reply::kData) {
            console_log(c, reply_line(link.reply.data(), link.reply_length), true);
            break;
        }
    }
    return SendResult::Sent;
}

} // namespace tq
