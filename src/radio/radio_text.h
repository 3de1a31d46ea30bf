// The radio module's text lines and the records carried in them: request
// and reply lines with their CRC-8, version, identifier, device and event
// records, and what a device row shows for them. Plain code, no I/O.
#pragma once

#include "link/crc8.h"
#include "radio/radio_state.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tq {

// The longest request data a line may carry: a line travels in one bridge
// write inside one link frame.
inline constexpr std::size_t kMaxRadioRequestData = 116;

// Request line: the code as two upper-case hex digits, the data, the CRC of
// both as two upper-case hex digits, a line feed.
std::string radio_request_line(std::uint8_t code, std::string_view data);

// Judges the text read back after a request: its last complete line must
// carry a correct CRC, echo the code, have "e" third and not "6" fourth.
// Returns the line's data (from its fifth character, CRC digits cut off).
std::optional<std::string> accept_radio_reply(std::string_view text, std::uint8_t code);

// Hex field of the given width at pos; nullopt when it is not all hex digits
// or runs past the end.
std::optional<unsigned> hex_field(std::string_view s, std::size_t pos, std::size_t width);

// "1.5.6" as {1, 5, 6}; nullopt unless three decimal numbers.
std::optional<std::array<int, 3>> parse_radio_version(std::string_view text);
// Module firmware above 1.5.5 can set a password.
bool radio_version_has_password(std::string_view text);

// Command 04: low 32 bits in the first eight digits; the high half from the
// ninth character when the text is longer than 10 characters.
struct RadioIdentifier {
    std::uint32_t low = 0;
    std::uint32_t high = 0;
};
RadioIdentifier parse_radio_identifier(std::string_view text);
// "22" and the low half as ten decimal digits.
std::string radio_serial_text(const RadioIdentifier& id);
// High half first, 16 upper-case hex digits.
std::string radio_id_hex(const RadioIdentifier& id);

// Command 07: slot, subtype, type, eight further characters, the name.
std::optional<RadioRow> parse_device_record(std::string_view text);

// The picture of a device kind.
enum class DeviceArt { PhoneAndroid, PhoneApple, Unknown, CardQr, Fob, Remote, Siren, Lugged, Oval };
struct DeviceLook {
    DeviceArt art;
    int columns;
};
DeviceLook device_look(int type, int subtype);

// Command 15: the last device event.
struct RadioEvent {
    unsigned bits = 0;      // A: button bits
    unsigned flag = 0;      // B: event flag
    unsigned slot = 0;      // C
    unsigned power = 0;     // E
    unsigned voltage = 0;   // F
    unsigned signal = 0;    // G
    int major = 0, minor = 0, patch = 0; // long form only
};
std::optional<RadioEvent> parse_radio_event(std::string_view text);

// Command 08: mode, device count.
struct RadioListState {
    unsigned mode = 0;
    int count = 0;          // clamped to 0..12
    std::string mode_digits;
};
std::optional<RadioListState> parse_list_state(std::string_view text);
// Pairing has ended: mode digits "E8", "E9" or "EA".
bool pairing_ended(std::string_view mode_digits);

// Command 02: slots heard (0..11) as a bit mask.
std::uint16_t parse_heard_slots(std::string_view text);

// Command 1F: slot and code.
struct RadioQuery {
    unsigned slot = 0;
    unsigned code = 0;
};
std::optional<RadioQuery> parse_radio_query(std::string_view text);

// Battery: 0 nothing, 1..6 levels from empty to full, 7 marked plus/minus.
inline constexpr int kBatteryNone = 0;
inline constexpr int kBatteryPlusMinus = 7;
int battery_level(unsigned power, unsigned voltage);
// Antenna waves 0..4 for a signal value.
int antenna_waves(unsigned signal);

// One cell of a row's button pictures.
struct ButtonCell {
    enum Kind { Empty, State, Button } kind = Empty;
    // State: 0 grey, 1 red, 2 green, 3 green with plus, 4 green with minus.
    int state = 0;
    // Button: 0 open padlock, 1 closed padlock, 2 bell, 3 trunk, 4 emblem,
    // 5 power; colour 0 grey, 1 red, 2 blue.
    int symbol = 0;
    int colour = 0;
    bool operator==(const ButtonCell&) const = default;
};
// What a press does to the info line.
enum class InfoEffect { None, Clear, LockOpening, LockClosing };
struct RowButtons {
    std::vector<ButtonCell> cells;
    int spacer_width = 0;
    InfoEffect info = InfoEffect::None;
};
RowButtons row_buttons(int type, int columns, unsigned bits, unsigned flag);

// Name for command 09: leading blanks removed, cut to 49 characters,
// trailing blanks removed.
std::string trim_radio_name(std::string_view text);
std::string trim_trailing_blanks(std::string_view text);

} // namespace tq
