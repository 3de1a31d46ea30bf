// The fields of the configuration record: what kind of control edits each
// one, which units have that control, and the option texts it offers. The
// option lists depend on the unit's model M (511 is the smaller unit) and its
// firmware version word V (major * 256 + minor).
#pragma once

#include <string>
#include <vector>

namespace tq {

enum class Field : int {
    OperatingMode,
    CanLevel,
    GreyWire,
    In1Time,
    HazardLights,
    CanBusControl,
    AudibleConfirmation,
    PowerWindows,
    Rearming,
    RemoteOperation,
    IgnoreCode,
    AntiHijack,
    GpsModule,
    AuxMode,
    Immobiliser,
    Siren,
    InhibitArm,
    HazardBlink,
    TrunkCheck,
    TrunkDisarm,
    Prealarm3x,
    AdditionalInput,
    PaAuthorise,
    PowerSupplySms,
    SupplySelection,
    Voltage,
    Tqpin,
    PhoneCount,
    Phone1Tel,
    Phone1Sms,
    Phone1Ap,
    Phone1Number,
    Phone2Tel,
    Phone2Sms,
    Phone2Ap,
    Phone2Number,
    Phone3Tel,
    Phone3Sms,
    Phone3Ap,
    Phone3Number,
    VoiceCalls,
    IgnitionSms,
    SystemSms,
    DoorSms,
    SmsForward,
    Language,
    SimPin,
};
inline constexpr int kFieldCount = int(Field::SimPin) + 1;

// What edits a field:
//   Combo   a list of texts; the value is the chosen index
//   Pair    two radio buttons; the value is the index of the active one
//   Group   three or four radio buttons labelled with digits
//   Check   a check box, 0 or 1
//   Number  an entry of decimal text, compared with its reference as a number
//   Text    an entry of text, compared with its reference as text
enum class Kind { Combo, Pair, Group, Check, Number, Text };

Kind field_kind(Field f);

// The identified unit.
struct UnitKind {
    int model = 512;   // M
    int version = 0;   // V
    bool small() const { return model < 512; }
};

// Whether the settings pages have a control for the field on this unit.
// Fields without one still keep the value loaded from the unit.
bool field_present(Field f, UnitKind u);

// Combo option texts, pair and group button labels, in the current UI
// language. Empty for entries and check boxes.
std::vector<std::string> field_options(Field f, UnitKind u);

// The row caption (without its number).
std::string field_caption(Field f, UnitKind u);

// Phones 1..3 and their four fields.
enum class PhonePart { Tel = 0, Sms = 1, Ap = 2, Number = 3 };
Field phone_field(int phone, PhonePart part);
// 1..3 for a phone field, 0 otherwise.
int phone_of(Field f);

// The text of AUX output mode n (0..17), shown read-only on later units.
std::string aux_mode_text(int mode);

inline bool is_phone_field(Field f) { return phone_of(f) != 0; }

} // namespace tq
