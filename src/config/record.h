// The configuration record as the settings pages edit it: shown values,
// reference values, change marks, and the byte encodings of the unit's
// memory blocks. Plain code: the pages are a view (ConfigView) of it.
#pragma once

#include "config/config_state.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tq {

// ---- Session ---------------------------------------------------------------

// Starts the record of a newly identified unit: every control at its first
// option (the SMS language at Polish), references 0, no vehicle level yet,
// the SIM PIN row hidden.
void begin_config_session(ConfigState& s, UnitKind unit);
// The unit is gone: nothing may reach the pages any more.
void end_config_session(ConfigState& s);

// ---- Values and marks ------------------------------------------------------

long number_of(const ConfigState& s, Field f);
const std::string& text_of(const ConfigState& s, Field f);

// Sets what a control shows and runs the control's change handler, as an
// edit of the control would.
void set_number(ConfigState& s, Field f, long value);
void set_text(ConfigState& s, Field f, const std::string& text);

void set_reference_number(ConfigState& s, Field f, long value);
void set_reference_text(ConfigState& s, Field f, const std::string& text);
// The reference becomes what the control shows (a number field's text read
// as a decimal number).
void take_as_reference(ConfigState& s, Field f);

// Whether the control shows something else than its reference.
bool differs(const ConfigState& s, Field f);

// The change handler of a field's control: the CAN level entry first runs
// the vehicle lookup; a phone's fields apply the AP rule (AP checked forces
// SMS); then the mark is evaluated, and a difference marks the Save button
// too (a differing phone number marks only its entry).
void run_change_handler(ConfigState& s, Field f);
// Re-runs every handler in the pages' fixed order, then clears the Save
// button's mark.
void refresh_change_marks(ConfigState& s);
// Marks the Save button again when any control that marks it differs (after
// a refresh that leaves changes unstored, as "Default settings" does).
void remark_save_button(ConfigState& s);
// Removes a control's mark without touching the Save button's.
void clear_mark(ConfigState& s, Field f);

// The order in which refresh_change_marks runs the handlers.
const std::vector<Field>& refresh_order();

void reveal_sim_pin(ConfigState& s);
void set_aux_text(ConfigState& s, const std::string& text);

// ---- Number texts ----------------------------------------------------------

// A text read as a decimal number the way the change marks compare it:
// leading blanks, an optional sign, then digits; 0 without digits; limited
// to the range of long.
long decimal_value(std::string_view text);
// The CAN level entry's value for lookups: the digits at the start of the
// text, anything else ending the number.
long leading_digits_value(std::string_view text);

// ---- Encodings -------------------------------------------------------------

// Byte 513: S = level - 1 itself for 0..253, 255 for level 0, 254 (escape)
// from S = 254 on.
std::uint8_t can_level_byte(long level);
// The extended form in bytes 528 (low) and 535 (high): S from 254 on, else 0.
std::uint16_t can_level_extension(long level);
// The level from byte 513 and, when that is the escape, the extended bytes.
long can_level_from_bytes(std::uint8_t byte513, std::uint8_t high, std::uint8_t low);

// Low-battery threshold byte in units of 0.12 V: 11.0 V for "12V" (0), 22.0 V
// for "24V" (1), otherwise the typed voltage (11.0 V when it is no number).
std::uint8_t voltage_byte(long selection, const std::string& voltage_text);
// The voltage entry's text for a threshold byte ("%2.1f").
std::string voltage_text(std::uint8_t byte);

// Phone slots: 16 bytes up to firmware 1053 (15 characters), 20 bytes from
// 1054 on (18 characters).
int phone_slot_size(int version);
int phone_max_length(int version);
// A phone number as typed becomes the stored text: at most the slot's
// length, a '+', then only digits, blanks and tabs; blanks and tabs are
// removed. False when the text does not qualify.
bool phone_to_stored(const std::string& typed, int version, std::string& stored);

// Texts from the unit's memory: the bytes up to the first zero (at most
// length), made valid UTF-8 for the controls.
std::string memory_text(const std::uint8_t* bytes, std::size_t length);

// ---- Validation ------------------------------------------------------------

struct Validation {
    int text_row = 0; // 0: valid; else the text-table row of the message
    int phone = 0;    // the phone for "Wrong phone %d number."
    bool ok() const { return text_row == 0; }
    std::string message() const;
};

// The checks before a save, in order: TQPIN, SIM PIN (when revealed), CAN
// level, CAN ignore code, phones 1..count. The first failure wins.
Validation validate_configuration(const ConfigState& s);

// ---- Blocks ----------------------------------------------------------------

struct BlockImage {
    int address;
    std::vector<std::uint8_t> bytes;
};

// The bytes of every block a save writes, in writing order, built from the
// shown values. Only valid after validate_configuration succeeded.
std::vector<BlockImage> build_blocks(const ConfigState& s, int vehicle_key);

// The SIM card PIN block as a save writes it once its row is revealed.
BlockImage sim_pin_block(const ConfigState& s);

// Which bytes of a block a value owns: length bytes from offset, and of each
// only the bits in mask.
struct ValueSpan {
    int address;
    int offset;
    int length;
    std::uint8_t mask = 0xFF;
};
// The values of the unit's blocks that a save writes only when they changed.
// Bytes outside them are written as the pages' values give them: the bits
// that must be zero, and the fields this unit does not have, which are
// written as 0.
std::vector<ValueSpan> held_value_spans(UnitKind u);

// What a save writes into a block: the block as built, except that each value
// whose bytes are built as they were when the block was last read or written
// goes back as the unit held it then.
std::vector<std::uint8_t> bytes_to_write(const ConfigState& s, const BlockImage& built);

// The built-in values of "Default settings", block by block; the blocks
// not named are all zeros.
std::vector<BlockImage> default_blocks();

} // namespace tq
