#include "config/cfg_file.h"

#include "config/record.h"
#include "config/vehicle.h"
#include "prefs/files.h"
#include "text/texts.h"

#include <glib.h>

#include <algorithm>

namespace tq {
namespace {

const CfgKey kKeys[] = {
    {"operatingmode", CfgKind::Option, Field::OperatingMode, false},
    {"carnumber", CfgKind::VehicleKey, Field::CanLevel, false},
    {"canlevel", CfgKind::Number, Field::CanLevel, false},
    {"greywireactivesignal", CfgKind::Option, Field::GreyWire, false},
    {"greywiresignalminlength", CfgKind::Option, Field::In1Time, false},
    {"hazardlightsmode", CfgKind::Option, Field::HazardLights, false},
    {"canbuscontrol", CfgKind::Option, Field::CanBusControl, false},
    {"audibleconfirmation", CfgKind::Option, Field::AudibleConfirmation, true},
    {"powerwindows", CfgKind::Option, Field::PowerWindows, true},
    {"rearming", CfgKind::Option, Field::Rearming, true},
    {"disarmingzorvikremotesonly", CfgKind::Option, Field::RemoteOperation, false},
    {"antihijackfunction", CfgKind::Option, Field::AntiHijack, false},
    {"canbusignorecode", CfgKind::Number, Field::IgnoreCode, false},
    {"immobiliser", CfgKind::Option, Field::Immobiliser, false},
    {"siren", CfgKind::Option, Field::Siren, false},
    {"smspowersupplystatus", CfgKind::Option, Field::PowerSupplySms, false},
    {"batteryvoltdropthreshold", CfgKind::Supply, Field::SupplySelection, false},
    {"inhibitarm", CfgKind::Option, Field::InhibitArm, false},
    {"hazardblink", CfgKind::Option, Field::HazardBlink, false},
    {"dtrunkcheck", CfgKind::Option, Field::TrunkCheck, false},
    {"3xprealarm", CfgKind::Pair, Field::Prealarm3x, false},
    {"wej_dod", CfgKind::Option, Field::AdditionalInput, false},
    {"autorizepa", CfgKind::Pair, Field::PaAuthorise, false},
    {"doorsunlockwithtrunk", CfgKind::Pair, Field::TrunkDisarm, false},
    {"gpsmodule", CfgKind::Pair, Field::GpsModule, false},
    {"tqpin", CfgKind::Number, Field::Tqpin, false},
    {"phonenumbercount", CfgKind::Group, Field::PhoneCount, false},
    {"phone1tel", CfgKind::Check, Field::Phone1Tel, false},
    {"phone1sms", CfgKind::Check, Field::Phone1Sms, false},
    {"phone1ap", CfgKind::Check, Field::Phone1Ap, false},
    {"phone1number", CfgKind::Text, Field::Phone1Number, false},
    {"phone2tel", CfgKind::Check, Field::Phone2Tel, false},
    {"phone2sms", CfgKind::Check, Field::Phone2Sms, false},
    {"phone2ap", CfgKind::Check, Field::Phone2Ap, false},
    {"phone2number", CfgKind::Text, Field::Phone2Number, false},
    {"phone3tel", CfgKind::Check, Field::Phone3Tel, false},
    {"phone3sms", CfgKind::Check, Field::Phone3Sms, false},
    {"phone3ap", CfgKind::Check, Field::Phone3Ap, false},
    {"phone3number", CfgKind::Text, Field::Phone3Number, false},
    {"voicecallnotifyattempts", CfgKind::Group, Field::VoiceCalls, false},
    {"ignitionstatesmsstatus", CfgKind::Pair, Field::IgnitionSms, false},
    {"systemstatesmsstatus", CfgKind::Pair, Field::SystemSms, false},
    {"doorstatesmsstatus", CfgKind::Pair, Field::DoorSms, false},
    {"smsforwardfirstnumber", CfgKind::Pair, Field::SmsForward, false},
    {"language", CfgKind::Option, Field::Language, false},
};

void tell(ConfigState& s, const std::string& message)
{
    if (s.hooks.message)
        s.hooks.message(message);
}

// Text for an entry: up to a NUL, made valid UTF-8.
std::string entry_text(std::string_view value)
{
    const std::size_t nul = value.find('\0');
    if (nul != std::string_view::npos)
        value = value.substr(0, nul);
    if (g_utf8_validate(value.data(), gssize(value.size()), nullptr))
        return std::string(value);
    gchar* valid = g_utf8_make_valid(value.data(), gssize(value.size()));
    std::string result(valid);
    g_free(valid);
    return result;
}

bool all_digits(const std::string& t)
{
    return !t.empty() && std::all_of(t.begin(), t.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string number_text(const ConfigState& s, Field f)
{
    const std::string& t = text_of(s, f);
    // A TQPIN keeps its leading zeros: it is five digits, not a quantity.
    if (f == Field::Tqpin && all_digits(t))
        return t;
    return std::to_string(decimal_value(t));
}

// The number of choices a control offers; 0 for entries and check boxes.
long choices(const ConfigState& s, Field f) { return long(field_options(f, s.unit).size()); }

// An index the control can show, or -1.
long index_value(const ConfigState& s, Field f, std::string_view value)
{
    const long v = decimal_value(value);
    return v >= 0 && v < choices(s, f) ? v : -1;
}

void read_value(ConfigState& s, Field f, long value)
{
    set_reference_number(s, f, value);
    set_number(s, f, value);
    clear_mark(s, f);
}

void read_text(ConfigState& s, Field f, const std::string& text)
{
    if (field_kind(f) == Kind::Number)
        set_reference_number(s, f, decimal_value(text));
    else
        set_reference_text(s, f, text);
    set_text(s, f, text);
    clear_mark(s, f);
}

struct ReadState {
    bool have_key = false;
    bool have_level = false;
    int key = 0;
};

void apply(ConfigState& s, const CfgKey& k, std::string_view value, ReadState& rs)
{
    if (k.kind == CfgKind::VehicleKey) {
        const long key = decimal_value(value);
        rs.key = key < 0 || key > 0xFFFF ? 0 : int(key);
        rs.have_key = true;
        select_vehicle(s, 0, rs.key, false);
        return;
    }
    if (!field_present(k.field, s.unit))
        return;
    switch (k.kind) {
    case CfgKind::Option:
    case CfgKind::Pair:
    case CfgKind::Group: {
        const long index = index_value(s, k.field, value);
        if (index >= 0)
            read_value(s, k.field, index);
        break;
    }
    case CfgKind::Check:
        read_value(s, k.field, decimal_value(value) != 0 ? 1 : 0);
        break;
    case CfgKind::Number:
    case CfgKind::Text:
        read_text(s, k.field, entry_text(value));
        if (k.field == Field::CanLevel)
            rs.have_level = true;
        break;
    case CfgKind::Supply: {
        const std::size_t semicolon = value.find(';');
        const long index = index_value(s, Field::SupplySelection, value.substr(0, semicolon));
        if (index >= 0)
            read_value(s, Field::SupplySelection, index);
        if (semicolon != std::string_view::npos)
            read_text(s, Field::Voltage, entry_text(value.substr(semicolon + 1)));
        break;
    }
    case CfgKind::VehicleKey:
        break;
    }
}

} // namespace

std::vector<CfgKey> cfg_keys(UnitKind unit)
{
    std::vector<CfgKey> keys;
    for (const CfgKey& k : kKeys) {
        if (!k.large_only || !unit.small())
            keys.push_back(k);
    }
    return keys;
}

std::string write_cfg_text(ConfigState& s)
{
    std::string out;
    for (const CfgKey& k : cfg_keys(s.unit)) {
        std::string value;
        switch (k.kind) {
        case CfgKind::Option:
        case CfgKind::Pair:
        case CfgKind::Group:
            value = std::to_string(number_of(s, k.field));
            break;
        case CfgKind::Check:
            value.assign(1, number_of(s, k.field) ? '1' : '0');
            break;
        case CfgKind::Number:
            value = number_text(s, k.field);
            break;
        case CfgKind::Text:
            value = text_of(s, k.field);
            break;
        case CfgKind::Supply:
            value = std::to_string(number_of(s, Field::SupplySelection));
            if (number_of(s, Field::SupplySelection) == 2)
                value.append(1, ';').append(text_of(s, Field::Voltage));
            take_as_reference(s, Field::Voltage);
            clear_mark(s, Field::Voltage);
            break;
        case CfgKind::VehicleKey:
            value = std::to_string(selected_vehicle_key(s));
            break;
        }
        if (k.kind != CfgKind::VehicleKey) {
            take_as_reference(s, k.field);
            clear_mark(s, k.field);
        }
        out += k.key;
        out += '=';
        out += value;
        out += "\r\n";
    }
    return out;
}

int read_cfg_text(ConfigState& s, std::string_view bytes, bool cut_short)
{
    if (bytes.size() > kCfgMaxBytes) {
        bytes = bytes.substr(0, kCfgMaxBytes);
        cut_short = true;
    }
    const std::vector<CfgKey> keys = cfg_keys(s.unit);
    ReadState rs;
    int applied = 0;
    std::string line;
    while (!bytes.empty()) {
        const std::size_t end = bytes.find('\n');
        if (end == std::string_view::npos && cut_short)
            break; // the unfinished line of a longer file
        const std::string_view raw = bytes.substr(0, end);
        bytes.remove_prefix(end == std::string_view::npos ? bytes.size() : end + 1);

        line.clear();
        for (char c : raw) {
            if (c != '\r')
                line += c;
        }
        if (line.size() > kCfgMaxLine)
            continue;
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos)
            continue;
        const std::string_view key = std::string_view(line).substr(0, equals);
        const std::string_view value = std::string_view(line).substr(equals + 1);
        for (const CfgKey& k : keys) {
            if (key == k.key) {
                apply(s, k, value, rs);
                ++applied;
            }
        }
        if (!s.active)
            return applied;
    }
    // The file's vehicle as the file names it: its model, or its key kept
    // when the table has no such model.
    if (rs.have_key && rs.have_level)
        restore_vehicle(s, leading_digits_value(text_of(s, Field::CanLevel)), rs.key, false);
    return applied;
}

std::string cfg_file_name(const std::string& chosen)
{
    const auto ends_with = [&](const char* suffix) {
        const std::size_t n = std::char_traits<char>::length(suffix);
        return chosen.size() >= n && chosen.compare(chosen.size() - n, n, suffix) == 0;
    };
    return ends_with(".cfg") || ends_with(".CFG") ? chosen : chosen + ".cfg";
}

CfgFileResult save_configuration_file(ConfigState& s, const std::string& path)
{
    if (!s.active)
        return CfgFileResult::NoUnit;
    if (s.busy)
        return CfgFileResult::Busy;
    const std::string text = write_cfg_text(s);
    if (!write_file_utf8(text, path)) // says "Error writing file"
        return CfgFileResult::WriteError;
    tell(s, tq::text(kTextConfigurationSaved));
    return CfgFileResult::Done;
}

CfgFileResult load_configuration_file(ConfigState& s, const std::string& path)
{
    if (!s.active)
        return CfgFileResult::NoUnit;
    if (s.busy)
        return CfgFileResult::Busy;
    // One byte more than is used tells whether the file goes on.
    std::string bytes;
    if (read_file_utf8(bytes, path, kCfgMaxBytes + 1) == 0) // says "Error opening file"
        return CfgFileResult::NothingRead;
    read_cfg_text(s, bytes);
    tell(s, tq::text(kTextConfigurationLoaded));
    return CfgFileResult::Done;
}

} // namespace tq
