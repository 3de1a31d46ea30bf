// The console: a store of time-stamped text from and to the unit, mirrored
// into an optional log file and shown, through a line filter, in the console
// window while it is open. Plain code; the window takes what it has to
// show through console_take_view_update.
//
// Every logged line looks like
//   [2024.05.17 14:03:09]> text CR LF
// where '>' marks received and '<' sent text; the text starts at column 23.
#pragma once

#include "link/link.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tq {

inline constexpr std::size_t kConsoleStoreSize = 200000;
// When less than this is free the oldest kConsoleDropSize bytes go.
inline constexpr std::size_t kConsoleMinFree = 2048;
inline constexpr std::size_t kConsoleDropSize = 100000;
inline constexpr std::size_t kConsoleStampLength = 21; // "[YYYY.MM.DD hh:mm:ss]"
inline constexpr std::size_t kConsoleTextColumn = 23;  // after the mark and a blank

inline constexpr int kConsoleFilterSlots = 25;
inline constexpr std::size_t kConsoleFilterTextMax = 49;
inline constexpr int kHistorySize = 100;
inline constexpr std::size_t kHistoryDataMax = 99;
inline constexpr std::size_t kSoundTriggerMax = 199;
inline constexpr std::size_t kSoundFileMax = 4999;

// Which logged lines the console view shows.
struct ConsoleFilter {
    bool active = false;
    bool untagged = false;         // show lines whose text does not start with '*'
    std::uint32_t enabled = 0;     // bit i enables texts[i]
    std::array<std::string, kConsoleFilterSlots> texts;
};

// A sound played when a finished line's text begins with the trigger.
struct MessageSound {
    std::string trigger;           // empty: off
    std::string file;              // WAV file; empty: off
    // Plays a file and returns when it has sounded; unset: the platform's
    // WAV player.
    std::function<void(const std::string&)> player;
};

struct HistoryEntry {
    std::string command; // the first three characters of the command field
    std::string data;    // at most kHistoryDataMax bytes
};

struct ConsoleHistory {
    std::array<HistoryEntry, kHistorySize> entries;
    int last = 0;   // where the newest command was stored
    int browse = 0; // the entry the fields show while browsing
};

// What the console window has yet to show. Logging only adds to it; the
// window takes it at most 20 times a second (console_take_view_update), so
// that a burst of text from the unit costs no GUI work per text.
struct ConsoleViewUpdate {
    bool replace = false;  // the view's whole text becomes `text` (FF, F8, a rebuild)
    std::string text;      // otherwise appended at the end, filtered
    // Then this many bytes go from the view's top, rounded up to whole lines:
    // the lines of text the store dropped.
    std::size_t trim = 0;
};

// The log file is flushed at least this often while text is written to it.
inline constexpr int kConsoleLogFlushMs = 200;

struct ConsoleState {
    std::string store;             // logged text; always shorter than kConsoleStoreSize
    // The store's first `cut` bytes finish a line whose start was dropped:
    // no view shows them, and the filter never judges them.
    std::size_t cut = 0;
    bool line_start = true;        // the next logged character begins a line
    std::string logged_text;       // console_log's work space, kept for its room
    std::string line_text;         // the current line's text so far (for the sound trigger)
    std::time_t stamp_when = 0;    // the time of stamp_text, the last line stamp (with its mark)
    std::string stamp_text;
    std::FILE* log_file = nullptr; // everything logged is written through to it (buffered)
    std::int64_t log_flushed_ms = 0;
    ConsoleFilter filter;
    ConsoleHistory history;
    MessageSound sound;
    bool view_open = false;        // a window shows the store
    ConsoleViewUpdate view_update; // kept only while view_open
    // Sends a command to the radio module and returns true with its answer
    // as text; unset while there is no radio path.
    std::function<bool(std::uint8_t code, const std::uint8_t* data, std::size_t count,
                       std::string& answer)>
        radio_command;
    // Wall-clock time of the stamps; unset: the system's.
    std::function<std::time_t()> wall_clock;
};

// "[%04d.%02d.%02d %02d:%02d:%02d]%c " in local time.
std::string console_stamp(std::time_t when, char mark);

// Logs text as received ('>') or sent ('<'): stamps line starts, reduces
// characters to 7 bits, drops CR, ends lines with CR LF, clears everything
// on FF and stops at NUL. Writes the result through to the log file, keeps
// it in the store and adds it to what the view has yet to show.
void console_log(ConsoleState& c, std::string_view text, bool received);

// A window starts showing the console: the store, unfiltered (its text is
// returned); later text comes through the view updates, filtered.
std::string console_open_view(ConsoleState& c);
void console_close_view(ConsoleState& c);
// What the view has to do now; afterwards nothing is pending.
ConsoleViewUpdate console_take_view_update(ConsoleState& c);
// An update applied to a view held as plain text, as the window applies it
// to its text buffer.
void console_apply_view_update(std::string& view, const ConsoleViewUpdate& u);

// Whether the view shows one logged line (stamp included).
bool console_filter_line(const ConsoleFilter& f, std::string_view line);
// The lines of a text that pass the filter, in order. While the filter is
// active the view holds finished lines only: an unfinished last line is
// left out until its line feed arrives.
std::string console_filtered_text(const ConsoleFilter& f, std::string_view text);
// The same into shown, which keeps its room.
void console_filtered_text(const ConsoleFilter& f, std::string_view text, std::string& shown);
// The view's next update replaces its text with the store through the filter.
void console_rebuild_view(ConsoleState& c);
// F8: empties the store and the view; the log file is left alone.
void console_clear(ConsoleState& c);
// Before remote access takes the link: empties the store, closes an open
// log file, and the next text starts a fresh line.
void console_reset(ConsoleState& c);

// Plays the message sound when both the trigger and the file are set.
void play_message_sound(const MessageSound& s);

// The log file. Opening appends to the file, empties the store and writes
// what the view displays as the file's first new text; false when the file
// cannot be opened (logging stays off).
bool console_open_log(ConsoleState& c, const std::string& path, std::string_view displayed);
void console_close_log(ConsoleState& c);
// Writes what the log file's buffer holds to the file.
void console_flush_log(ConsoleState& c);

// The command field: its first two characters as one hex byte, a third
// character 'B' or 'b' for the radio path. Nothing when the byte cannot be
// read (also for fewer than two characters).
struct ConsoleCommand {
    std::uint8_t code = 0;
    bool radio = false;
};
std::optional<ConsoleCommand> parse_command_field(std::string_view field);

// The data field as payload bytes: "\x" or "\X" and two hex digits give
// that byte, a backslash and any other character give that character, all
// else is taken as it is; an escape cut off by the end of the text is
// dropped.
std::vector<std::uint8_t> parse_data_field(std::string_view field);

// The line the console logs for a sent command: "\xHH", "B" on the radio
// path, a blank, the data field as typed, LF.
std::string sent_command_line(const ConsoleCommand& command, std::string_view data_field);

// The logged form of a reply: code, " - ", payload in hex, " - ", the
// payload as 7-bit text in double quotes (control characters as '?'), LF.
std::string reply_line(const std::uint8_t* reply, int reply_length);

// History: stores the fields unless they equal the newest entry; browsing
// first keeps the fields in the entry shown, then moves one back (step -1)
// or forward (+1) with wrap-around and loads that entry into the fields.
void history_store(ConsoleHistory& h, std::string_view command_field, std::string_view data_field);
void history_browse(ConsoleHistory& h, int step, std::string& command_field, std::string& data_field);

// The first n characters (not bytes) of UTF-8 text.
std::string first_characters(std::string_view text, std::size_t n);
// UTF-8 text cut to at most max bytes without splitting a character.
std::string cut_utf8(std::string_view text, std::size_t max);

enum class SendResult {
    BadCommand, // the command field is red, nothing was sent or logged
    TooLong,    // more data than one frame carries: nothing was sent or logged
    Sent,
};

// The most data one console command carries: what fits into one frame to
// the unit, or into one request line to the radio module.
std::size_t console_data_max(const ConsoleCommand& command);

// The console's "Send": parses both fields, keeps them in the history, logs
// the command as sent text and sends it to the unit (or through
// radio_command). Data longer than console_data_max is refused before any
// of that. With response set it then waits up to 40 x 50 ms for a
// data reply (code 0x01) on the unit path, or logs the radio's answer.
SendResult console_send(ConsoleState& c, LinkState& link, std::string_view command_field,
                        std::string_view data_field, bool response);

} // namespace tq
