#include "config/fields.h"

#include "text/texts.h"

namespace tq {
namespace {

using Options = std::vector<std::string>;

Options rows(std::initializer_list<int> text_rows)
{
    Options o;
    for (int n : text_rows)
        o.push_back(text(n));
    return o;
}

Options range(int first, int last)
{
    Options o;
    for (int n = first; n <= last; ++n)
        o.push_back(text(n));
    return o;
}

Options no_yes() { return rows({1, 0}); }

} // namespace

Kind field_kind(Field f)
{
    switch (f) {
    case Field::CanLevel:
    case Field::IgnoreCode:
    case Field::Tqpin:
        return Kind::Number;
    case Field::Voltage:
    case Field::SimPin:
    case Field::Phone1Number:
    case Field::Phone2Number:
    case Field::Phone3Number:
        return Kind::Text;
    case Field::GpsModule:
    case Field::TrunkDisarm:
    case Field::Prealarm3x:
    case Field::PaAuthorise:
    case Field::IgnitionSms:
    case Field::SystemSms:
    case Field::DoorSms:
    case Field::SmsForward:
        return Kind::Pair;
    case Field::PhoneCount:
    case Field::VoiceCalls:
        return Kind::Group;
    case Field::Phone1Tel:
    case Field::Phone1Sms:
    case Field::Phone1Ap:
    case Field::Phone2Tel:
    case Field::Phone2Sms:
    case Field::Phone2Ap:
    case Field::Phone3Tel:
    case Field::Phone3Sms:
    case Field::Phone3Ap:
        return Kind::Check;
    default:
        return Kind::Combo;
    }
}

bool field_present(Field f, UnitKind u)
{
    const int v = u.version;
    switch (f) {
    case Field::AudibleConfirmation:
    case Field::PowerWindows:
    case Field::Rearming:
        return !u.small();
    case Field::AuxMode:
        return v <= 1064;
    case Field::InhibitArm:
    case Field::HazardBlink:
    case Field::TrunkCheck:
    case Field::Prealarm3x:
    case Field::AdditionalInput: // built from 1064 on, shown only above 1100
        return v >= 1064;
    case Field::TrunkDisarm:
        return v > 1068;
    case Field::PaAuthorise:
        return v >= 1104;
    default:
        return true;
    }
}

std::vector<std::string> field_options(Field f, UnitKind u)
{
    const int v = u.version;
    switch (f) {
    case Field::OperatingMode: {
        Options o = range(37, 38);
        if (!u.small()) {
            for (int n : {39, 40, 41, 42, 386})
                o.push_back(text(n));
        }
        return o;
    }
    case Field::GreyWire:
        return range(45, 48);
    case Field::In1Time:
        return {"0", "200 ms", "500ms", "1.5s", "5s"};
    case Field::HazardLights:
        if (v < 1064)
            return range(51, 53);
        if (v < 1094)
            return rows({51, 52, 53, 54});
        return rows({55, 52, 53, 56, 57, 58});
    case Field::CanBusControl: {
        Options o = range(60, 67);
        o.push_back(text(367));
        if (v >= 1064)
            o.push_back(text(368));
        return o;
    }
    case Field::AudibleConfirmation:
        return range(71, 72);
    case Field::PowerWindows:
        return v < 1064 ? range(71, 72) : range(369, 376);
    case Field::Rearming:
        if (v < 1064)
            return no_yes();
        return {text(1), "30s", "60s", "90s", "120s"};
    case Field::RemoteOperation:
        if (v < 1065)
            return rows({0, 1});
        if (!u.small())
            return range(77, 80);
        return rows({76, 80});
    case Field::AntiHijack: {
        Options o = range(206, 209);
        if (v > 1104)
            o.push_back(text(210));
        return o;
    }
    case Field::AuxMode:
        return range(84, 101);
    case Field::Immobiliser: {
        Options o = range(104, 107);
        if (v > 1064) {
            o.push_back(text(108));
            o.push_back(text(109));
        }
        if (v > 1098)
            o.push_back(text(110));
        return o;
    }
    case Field::Siren: {
        Options o = range(112, 113);
        if (v >= 1095)
            o.push_back(text(390));
        return o;
    }
    case Field::InhibitArm:
        return {text(1), text(377), text(378), text(379)};
    case Field::HazardBlink:
    case Field::TrunkCheck:
        return rows({364, 0, 1});
    case Field::AdditionalInput:
        return range(394, 397);
    case Field::PowerSupplySms:
        return rows({1, 124, 125});
    case Field::SupplySelection:
        return {"12V", "24V", text(126)};
    case Field::Language:
        return v > 1101 ? range(129, 136) : range(129, 135);
    case Field::PaAuthorise:
        return rows({0, 1});
    case Field::GpsModule:
    case Field::TrunkDisarm:
    case Field::Prealarm3x:
    case Field::IgnitionSms:
    case Field::SystemSms:
    case Field::DoorSms:
    case Field::SmsForward:
        return no_yes();
    case Field::PhoneCount:
        return {"0", "1", "2", "3"};
    case Field::VoiceCalls:
        return {"1", "2", "3"};
    default:
        return {};
    }
}

std::string field_caption(Field f, UnitKind u)
{
    const int v = u.version;
    switch (f) {
    case Field::OperatingMode: return text(303);
    case Field::CanLevel: return {}; // set by the vehicle choice
    case Field::GreyWire: return text(44);
    case Field::In1Time: return text(49);
    case Field::HazardLights: return text(50);
    case Field::CanBusControl: return text(59);
    case Field::AudibleConfirmation: return text(68);
    case Field::PowerWindows: return text(v < 1064 ? 70 : 69);
    case Field::Rearming: return text(215);
    case Field::RemoteOperation:
        if (v < 1065)
            return text(73);
        return text(u.small() ? 75 : 74);
    case Field::IgnoreCode: return text(102);
    case Field::AntiHijack: return text(81);
    case Field::GpsModule: return text(82);
    case Field::AuxMode: return text(83);
    case Field::Immobiliser: return text(103);
    case Field::Siren: return text(111);
    case Field::InhibitArm: return text(362);
    case Field::HazardBlink: return text(363);
    case Field::TrunkCheck: return text(365);
    case Field::TrunkDisarm: return text(385);
    case Field::Prealarm3x: return text(366);
    case Field::AdditionalInput: return text(393);
    case Field::PaAuthorise: return text(398);
    case Field::PowerSupplySms: return text(123);
    case Field::Tqpin: return text(114);
    case Field::PhoneCount: return text(115);
    case Field::Phone1Number: return text(116);
    case Field::Phone2Number: return text(117);
    case Field::Phone3Number: return text(118);
    case Field::VoiceCalls: return text(119);
    case Field::IgnitionSms: return text(120);
    case Field::SystemSms: return text(121);
    case Field::DoorSms: return text(122);
    case Field::SmsForward: return text(127);
    case Field::Language: return text(128);
    case Field::SimPin: return text(195);
    default: return {};
    }
}

Field phone_field(int phone, PhonePart part)
{
    return Field(int(Field::Phone1Tel) + (phone - 1) * 4 + int(part));
}

int phone_of(Field f)
{
    const int i = int(f) - int(Field::Phone1Tel);
    return i >= 0 && i < 12 ? i / 4 + 1 : 0;
}

std::string aux_mode_text(int mode)
{
    return mode >= 0 && mode <= 17 ? text(84 + mode) : std::string();
}

} // namespace tq
