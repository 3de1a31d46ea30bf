#include "monitor/console.h"

#include "link/commands.h"
#include "link/frame.h"
#include "platform/clock.h"
#include "platform/sound.h"
#include "radio/radio_text.h"

#include <algorithm>
#include <cstring>

#include <glib.h>

namespace tq {
namespace {

constexpr int kResponseCycles = 40;
constexpr int kResponsePauseMs = 50;

std::time_t wall_now(const ConsoleState& c)
{
    return c.wall_clock ? c.wall_clock() : std::time(nullptr);
}

// Drops the oldest n bytes of the store (the cut is not aligned to a line).
void drop_oldest(std::string& store, std::size_t n)
{
    store.erase(0, std::min(n, store.size()));
}

// Adds text to the store so that it never reaches kConsoleStoreSize: older
// text gives way first, and of a text larger than the store only its end is
// kept. True when older text had to go.
bool keep_in_store(std::string& store, std::string_view out)
{
    constexpr std::size_t room = kConsoleStoreSize - 1;
    bool dropped = false;
    if (out.size() > room) {
        out.remove_prefix(out.size() - room);
        dropped = !store.empty();
        store.clear();
    } else if (store.size() + out.size() > room) {
        drop_oldest(store, std::max(kConsoleDropSize, store.size() + out.size() - room));
        dropped = true;
    }
    store.append(out);
    return dropped;
}

void show_in_view(ConsoleState& c, std::size_t begin, bool rebuild)
{
    if (rebuild) {
        console_rebuild_view(c);
        return;
    }
    if (!c.view.append || begin >= c.store.size())
        return;
    const std::string_view store = c.store;
    if (!c.filter.active) {
        c.view.append(store.substr(begin));
        return;
    }
    // Filtered, the view takes whole lines once they are finished: a line
    // begun by an earlier text is judged and shown from its stamp on.
    std::size_t line_begin = 0;
    if (begin > 0) {
        const std::size_t lf = store.rfind('\n', begin - 1);
        line_begin = lf == std::string_view::npos ? 0 : lf + 1;
    }
    for (;;) {
        const std::size_t lf = store.find('\n', std::max(line_begin, begin));
        if (lf == std::string_view::npos)
            break;
        const std::string_view line = store.substr(line_begin, lf + 1 - line_begin);
        if (console_filter_line(c.filter, line))
            c.view.append(line);
        line_begin = lf + 1;
    }
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
    bool rebuild = false;
    if (kConsoleStoreSize - c.store.size() < kConsoleMinFree) {
        drop_oldest(c.store, kConsoleDropSize);
        rebuild = true;
    }

    std::string out;
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
            out += console_stamp(wall_now(c), mark);
        }
        if (ch == '\f') {
            out.clear();
            c.store.clear();
            c.line_text.clear();
            rebuild = true;
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
        std::fflush(c.log_file);
    }

    const std::size_t begin = c.store.size();
    if (keep_in_store(c.store, out))
        rebuild = true;
    show_in_view(c, std::min(begin, c.store.size()), rebuild);

    // The window may close while GUI events run; keep the callee alive.
    if (const auto settle = c.view.settle)
        settle();
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

std::string console_filtered_text(const ConsoleFilter& f, std::string_view text)
{
    if (!f.active)
        return std::string(text);
    std::string shown;
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
    return shown;
}

void console_rebuild_view(ConsoleState& c)
{
    if (c.view.replace)
        c.view.replace(console_filtered_text(c.filter, c.store));
}

void console_clear(ConsoleState& c)
{
    c.store.clear();
    if (c.view.replace)
        c.view.replace({});
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
    c.log_file = f;
    c.store.clear();
    if (!displayed.empty()) {
        std::fwrite(displayed.data(), 1, displayed.size(), f);
        std::fflush(f);
    }
    return true;
}

void console_close_log(ConsoleState& c)
{
    if (c.log_file) {
        std::fclose(c.log_file);
        c.log_file = nullptr;
    }
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
