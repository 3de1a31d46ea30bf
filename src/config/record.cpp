#include "config/record.h"

#include "config/memory_map.h"
#include "config/vehicle.h"
#include "text/texts.h"

#include <glib.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace tq {
namespace {

void notify_field(ConfigState& s, Field f)
{
    if (s.view)
        s.view->field_changed(f);
}

void notify_save_mark(ConfigState& s)
{
    if (s.view)
        s.view->save_mark_changed();
}

void set_mark(ConfigState& s, Field f, bool on, bool marks_save_button)
{
    s.record.marked[std::size_t(f)] = on;
    notify_field(s, f);
    if (on && marks_save_button && !s.record.save_marked) {
        s.record.save_marked = true;
        notify_save_mark(s);
    }
}

void evaluate(ConfigState& s, Field f)
{
    set_mark(s, f, differs(s, f), true);
}

void phone_handler(ConfigState& s, int phone)
{
    const Field sms = phone_field(phone, PhonePart::Sms);
    if (number_of(s, phone_field(phone, PhonePart::Ap)) != 0 && number_of(s, sms) == 0)
        set_number(s, sms, 1); // runs this handler again, with SMS now set
    for (PhonePart p : {PhonePart::Tel, PhonePart::Sms, PhonePart::Ap})
        evaluate(s, phone_field(phone, p));
    const Field number = phone_field(phone, PhonePart::Number);
    set_mark(s, number, differs(s, number), false);
}

FieldValue& shown(ConfigState& s, Field f) { return s.record.shown[std::size_t(f)]; }
FieldValue& reference(ConfigState& s, Field f) { return s.record.reference[std::size_t(f)]; }

std::uint8_t byte_of(long v) { return std::uint8_t(v & 0xFF); }

} // namespace

// ---- Session ---------------------------------------------------------------

void begin_config_session(ConfigState& s, UnitKind unit)
{
    s.unit = unit;
    s.record = ConfigRecord{};
    s.held_blocks.clear();
    s.record.shown[std::size_t(Field::Language)].number = 1;
    s.sim_pin_revealed = false;
    s.aux_text.clear();
    s.busy = false;
    s.active = true;
    vehicle_begin(s);
}

void end_config_session(ConfigState& s)
{
    s.active = false;
    s.view = nullptr;
    s.pages = nullptr;
}

// ---- Values and marks ------------------------------------------------------

long number_of(const ConfigState& s, Field f) { return s.record.shown[std::size_t(f)].number; }

const std::string& text_of(const ConfigState& s, Field f)
{
    return s.record.shown[std::size_t(f)].text;
}

void set_number(ConfigState& s, Field f, long value)
{
    shown(s, f).number = value;
    notify_field(s, f);
    run_change_handler(s, f);
}

void set_text(ConfigState& s, Field f, const std::string& text)
{
    shown(s, f).text = text;
    notify_field(s, f);
    run_change_handler(s, f);
}

void set_reference_number(ConfigState& s, Field f, long value) { reference(s, f).number = value; }

void set_reference_text(ConfigState& s, Field f, const std::string& text)
{
    reference(s, f).text = text;
}

void take_as_reference(ConfigState& s, Field f)
{
    switch (field_kind(f)) {
    case Kind::Number:
        reference(s, f).number = decimal_value(shown(s, f).text);
        break;
    case Kind::Text:
        reference(s, f).text = shown(s, f).text;
        break;
    default:
        reference(s, f).number = shown(s, f).number;
        break;
    }
}

bool differs(const ConfigState& s, Field f)
{
    const FieldValue& v = s.record.shown[std::size_t(f)];
    const FieldValue& r = s.record.reference[std::size_t(f)];
    switch (field_kind(f)) {
    case Kind::Number:
        return decimal_value(v.text) != r.number;
    case Kind::Text:
        return v.text != r.text;
    default:
        return v.number != r.number;
    }
}

void run_change_handler(ConfigState& s, Field f)
{
    // The SIM PIN entry carries no mark.
    if (!s.active || !field_present(f, s.unit) || f == Field::SimPin)
        return;
    if (const int phone = phone_of(f)) {
        phone_handler(s, phone);
        return;
    }
    if (f == Field::CanLevel)
        on_level_edited(s);
    evaluate(s, f);
}

const std::vector<Field>& refresh_order()
{
    static const std::vector<Field> order = {
        Field::OperatingMode, Field::CanLevel, Field::GreyWire, Field::In1Time,
        Field::HazardLights, Field::CanBusControl, Field::AudibleConfirmation,
        Field::PowerWindows, Field::Rearming, Field::RemoteOperation, Field::AntiHijack,
        Field::Immobiliser, Field::Siren, Field::HazardBlink, Field::TrunkCheck,
        Field::InhibitArm, Field::Prealarm3x, Field::TrunkDisarm, Field::IgnoreCode,
        Field::AuxMode, Field::GpsModule, Field::Tqpin, Field::Phone1Number,
        Field::Phone2Number, Field::Phone3Number, Field::Language, Field::VoiceCalls,
        Field::IgnitionSms, Field::SystemSms, Field::DoorSms, Field::SmsForward,
        Field::PhoneCount, Field::PowerSupplySms, Field::SupplySelection, Field::Voltage,
        Field::AdditionalInput, Field::PaAuthorise,
    };
    return order;
}

void refresh_change_marks(ConfigState& s)
{
    if (!s.active)
        return;
    for (Field f : refresh_order())
        run_change_handler(s, f);
    s.record.save_marked = false;
    notify_save_mark(s);
}

void remark_save_button(ConfigState& s)
{
    for (Field f : refresh_order()) {
        const bool marks_save = !(is_phone_field(f) && field_kind(f) == Kind::Text);
        if (marks_save && field_present(f, s.unit) && s.record.marked[std::size_t(f)]) {
            s.record.save_marked = true;
            notify_save_mark(s);
            return;
        }
    }
    for (int p = 1; p <= 3; ++p) {
        for (PhonePart part : {PhonePart::Tel, PhonePart::Sms, PhonePart::Ap}) {
            if (s.record.marked[std::size_t(phone_field(p, part))]) {
                s.record.save_marked = true;
                notify_save_mark(s);
                return;
            }
        }
    }
}

void clear_mark(ConfigState& s, Field f)
{
    s.record.marked[std::size_t(f)] = false;
    notify_field(s, f);
}

void reveal_sim_pin(ConfigState& s)
{
    if (s.sim_pin_revealed)
        return;
    s.sim_pin_revealed = true;
    if (s.view)
        s.view->sim_pin_row_changed();
}

void set_aux_text(ConfigState& s, const std::string& text)
{
    s.aux_text = text;
    if (s.view)
        s.view->aux_text_changed();
}

// ---- Number texts ----------------------------------------------------------

long decimal_value(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        const int digit = text[i] - '0';
        if (value > (LONG_MAX - digit) / 10)
            return negative ? LONG_MIN : LONG_MAX;
        value = value * 10 + digit;
    }
    return negative ? -value : value;
}

long leading_digits_value(std::string_view text)
{
    long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            break;
        if (value > (LONG_MAX - (c - '0')) / 10)
            return LONG_MAX;
        value = value * 10 + (c - '0');
    }
    return value;
}

// ---- Encodings -------------------------------------------------------------

std::uint8_t can_level_byte(long level)
{
    if (level <= 0)
        return 255;
    const long stored = level - 1;
    return stored >= 254 ? 254 : std::uint8_t(stored);
}

std::uint16_t can_level_extension(long level)
{
    const long stored = level - 1;
    return stored >= 254 && stored <= 0xFFFF ? std::uint16_t(stored) : 0;
}

long can_level_from_bytes(std::uint8_t byte513, std::uint8_t high, std::uint8_t low)
{
    long stored = byte513;
    if (byte513 == 254)
        stored = long(high) * 256 + low;
    else if (byte513 == 255)
        stored = -1;
    return stored + 1;
}

std::uint8_t voltage_byte(long selection, const std::string& voltage_text)
{
    double volts = 11.0;
    if (selection == 1) {
        volts = 22.0;
    } else if (selection != 0) {
        // A decimal fraction; a comma is taken for the point as well.
        std::string t = voltage_text;
        for (char& c : t) {
            if (c == ',')
                c = '.';
        }
        const char* start = t.c_str();
        char* end = nullptr;
        const double typed = g_ascii_strtod(start, &end);
        if (end != start && std::isfinite(typed))
            volts = typed;
    }
    double stored = volts / 0.12 + 0.5;
    if (stored < 0)
        stored = 0;
    if (stored > 255)
        stored = 255;
    return std::uint8_t(stored);
}

std::string voltage_text(std::uint8_t byte)
{
    char buffer[G_ASCII_DTOSTR_BUF_SIZE];
    g_ascii_formatd(buffer, sizeof buffer, "%2.1f", byte * 0.12);
    return buffer;
}

int phone_slot_size(int version)
{
    return memory_row(Field::Phone1Number, UnitKind{512, version})->length;
}
int phone_max_length(int version) { return version < 1054 ? 15 : 18; }

bool phone_to_stored(const std::string& typed, int version, std::string& stored)
{
    stored.clear();
    if (typed.size() > std::size_t(phone_max_length(version)) || typed.empty() || typed[0] != '+')
        return false;
    stored.push_back('+');
    for (std::size_t i = 1; i < typed.size(); ++i) {
        const char c = typed[i];
        if (c >= '0' && c <= '9')
            stored += c;
        else if (c != ' ' && c != '\t')
            return false;
    }
    return true;
}

std::string memory_text(const std::uint8_t* bytes, std::size_t length)
{
    std::size_t n = 0;
    while (n < length && bytes[n] != 0)
        ++n;
    const char* text = reinterpret_cast<const char*>(bytes);
    if (g_utf8_validate(text, gssize(n), nullptr))
        return std::string(text, n);
    gchar* valid = g_utf8_make_valid(text, gssize(n));
    std::string result(valid);
    g_free(valid);
    return result;
}

// ---- Validation ------------------------------------------------------------

std::string Validation::message() const
{
    if (text_row == kTextWrongPhoneNumber)
        return textf(kTextWrongPhoneNumber, phone);
    return text(text_row);
}

Validation validate_configuration(const ConfigState& s)
{
    const auto digits_only = [](const std::string& t) {
        return std::all_of(t.begin(), t.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    const std::string& tqpin = text_of(s, Field::Tqpin);
    if (tqpin.size() != 5 || !digits_only(tqpin))
        return {kTextTqpinFiveDigits, 0};

    if (s.sim_pin_revealed) {
        const std::string& pin = text_of(s, Field::SimPin);
        if (pin.size() != 4 || !digits_only(pin))
            return {kTextSimPinFourDigits, 0};
    }

    const std::string& level_text = text_of(s, Field::CanLevel);
    const long level = leading_digits_value(level_text);
    if (!digits_only(level_text) || level > 65535 || level == 255 || level == 256)
        return {kTextCanLevelRange, 0};

    const std::string& ignore_text = text_of(s, Field::IgnoreCode);
    if (!digits_only(ignore_text) || leading_digits_value(ignore_text) > 255)
        return {kTextCanIgnoreCodeRange, 0};

    const long count = number_of(s, Field::PhoneCount);
    std::string stored;
    for (int n = 1; n <= 3 && n <= count; ++n) {
        if (!phone_to_stored(text_of(s, phone_field(n, PhonePart::Number)), s.unit.version, stored))
            return {kTextWrongPhoneNumber, n};
    }
    return {};
}

// ---- Blocks ----------------------------------------------------------------

namespace {

// The bit of phone p (1..3) in the TEL bits, its SMS bit 3 above.
std::uint8_t phone_bit(int p) { return std::uint8_t(1 << (p - 1)); }

// Writes one value into its bytes (zero until then; the phone flags of the
// three phones share their bytes).
void encode(const ConfigState& s, const MemoryRow& row, int vehicle_key, std::uint8_t* out)
{
    const auto n = [&](Field f) { return number_of(s, f); };
    const long level = leading_digits_value(text_of(s, Field::CanLevel));
    const int p = phone_of(row.field);
    const bool counted = n(Field::PhoneCount) >= p;
    switch (row.codec) {
    case Codec::Byte:
        out[0] = byte_of(n(row.field));
        return;
    case Codec::CanLevel:
        out[0] = can_level_byte(level);
        return;
    case Codec::CanLevelLow:
        out[0] = std::uint8_t(can_level_extension(level) & 0xFF);
        return;
    case Codec::CanLevelHigh:
        out[0] = std::uint8_t(can_level_extension(level) >> 8);
        return;
    case Codec::RemoteOperation:
        out[0] = byte_of(s.unit.small() && n(row.field) == 1 ? 3 : n(row.field));
        return;
    case Codec::Siren:
        out[0] = byte_of(n(row.field) == 2 ? 3 : n(row.field));
        return;
    case Codec::Decimal:
        out[0] = byte_of(leading_digits_value(text_of(s, row.field)));
        return;
    case Codec::PhoneCalls:
        if (counted && n(phone_field(p, PhonePart::Tel)))
            out[0] |= phone_bit(p);
        if (counted && n(phone_field(p, PhonePart::Sms)))
            out[0] |= std::uint8_t(phone_bit(p) << 3);
        return;
    case Codec::PhoneAuthorised:
        if (counted && n(row.field))
            out[0] |= phone_bit(p);
        return;
    case Codec::Voltage:
        out[0] = voltage_byte(n(Field::SupplySelection), text_of(s, Field::Voltage));
        return;
    case Codec::Digits: {
        const std::string& t = text_of(s, row.field);
        std::copy_n(t.begin(), std::min(t.size(), std::size_t(row.characters)), out);
        return;
    }
    case Codec::PhoneNumber: {
        std::string stored;
        if (counted)
            phone_to_stored(text_of(s, row.field), s.unit.version, stored);
        std::copy_n(stored.begin(), std::min(stored.size(), std::size_t(row.length - 1)), out);
        return;
    }
    case Codec::VehicleKey:
        out[0] = std::uint8_t(vehicle_key >> 8);
        out[1] = std::uint8_t(vehicle_key & 0xFF);
        return;
    }
}

BlockImage build_block(const ConfigState& s, const MemoryBlock& block, int vehicle_key)
{
    BlockImage image{block.address, std::vector<std::uint8_t>(std::size_t(block.length), 0)};
    for (const MemoryRow& row : memory_rows()) {
        if (row.address == block.address && stores(row, s.unit))
            encode(s, row, vehicle_key, image.bytes.data() + row.offset);
    }
    return image;
}

// The mask of a value's bytes: the phone flags own only their bits.
std::uint8_t value_mask(const MemoryRow& row)
{
    const int p = phone_of(row.field);
    switch (row.codec) {
    case Codec::PhoneCalls:
        return std::uint8_t(phone_bit(p) | phone_bit(p) << 3);
    case Codec::PhoneAuthorised:
        return phone_bit(p);
    default:
        return 0xFF;
    }
}

} // namespace

std::vector<BlockImage> build_blocks(const ConfigState& s, int vehicle_key)
{
    std::vector<BlockImage> blocks;
    for (const MemoryBlock& block : memory_blocks()) {
        if (!has_block(block, s.unit) || (block.use == BlockUse::Revealed && !s.sim_pin_revealed))
            continue;
        blocks.push_back(build_block(s, block, vehicle_key));
    }
    return blocks;
}

BlockImage sim_pin_block(const ConfigState& s)
{
    return build_block(s, *memory_block(kSimPinBlock), 0);
}

std::vector<ValueSpan> held_value_spans(UnitKind u)
{
    std::vector<ValueSpan> spans;
    for (const MemoryRow& row : memory_rows()) {
        if (stores(row, u))
            spans.push_back({row.address, row.offset, row.length, value_mask(row)});
    }
    return spans;
}

std::vector<std::uint8_t> bytes_to_write(const ConfigState& s, const BlockImage& built)
{
    std::vector<std::uint8_t> out = built.bytes;
    const auto found = s.held_blocks.find(built.address);
    if (found == s.held_blocks.end())
        return out;
    const HeldBlock& then = found->second;
    if (then.held.size() != out.size() || then.built.size() != out.size())
        return out;
    for (const ValueSpan& span : held_value_spans(s.unit)) {
        if (span.address != built.address)
            continue;
        const auto at = [&](int i) { return std::size_t(span.offset + i); };
        bool changed = false;
        for (int i = 0; i < span.length; ++i)
            changed = changed || ((out[at(i)] ^ then.built[at(i)]) & span.mask) != 0;
        if (changed)
            continue;
        for (int i = 0; i < span.length; ++i) {
            out[at(i)] = std::uint8_t((out[at(i)] & ~span.mask) | (then.held[at(i)] & span.mask));
        }
    }
    return out;
}

std::vector<BlockImage> default_blocks()
{
    std::vector<std::uint8_t> tqpin(16, 0);
    std::copy_n("47193", 5, tqpin.begin());
    return {
        {kBlockA, {3, 2, 0, 0, 0, 0, 0, 0, 1}},
        {kBlockB, {1, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0}},
        {kSmsBlock, {0, 1, 1, 1, 1, 0, 0, 0, 0}},
        {kTqpinBlock, tqpin},
        {kBlockC, {0xFF, 0, 0xFF, 0xFF, 0}},
        {kBlockD, {0, 0, 0}},
    };
}

} // namespace tq
