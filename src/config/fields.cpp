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

Options no_yes() { return rows({kTextNo, kTextYes}); }

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
        Options o = range(kTextModeAnaloguePager, kTextModeOemCanPager);
        if (!u.small()) {
            for (int n : {kTextModeSilentAlarm, kTextModeFullAlarm, kTextModePlipMinusAlarm,
                          kTextModePlipPlusAlarm, kTextModePulseMinusAlarm})
                o.push_back(text(n));
        }
        return o;
    }
    case Field::GreyWire:
        return range(kTextGreyWireToGroundNo, kTextGreyWireFromPositiveNc);
    case Field::In1Time:
        return {"0", "200 ms", "500ms", "1.5s", "5s"};
    case Field::HazardLights:
        if (v < 1064)
            return range(kTextHazardPerimeter, kTextHazardFiat);
        if (v < 1094)
            return rows(
                {kTextHazardPerimeter, kTextHazardAnalogue, kTextHazardFiat, kTextHazardPerimeterFeedback});
        return rows({kTextHazardPerimeterTypeA, kTextHazardAnalogue, kTextHazardFiat,
                     kTextHazardPerimeterTypeB, kTextHazardPerimeterTypeC, kTextHazardPerimeterTypeD});
    case Field::CanBusControl: {
        Options o = range(kTextCanControlDisabled, kTextCanCentralLock);
        o.push_back(text(kTextCanReserved));
        if (v >= 1064)
            o.push_back(text(kTextCanBmwLockHorn));
        return o;
    }
    case Field::AudibleConfirmation:
        return range(kTextDisabled, kTextEnabled);
    case Field::PowerWindows:
        return v < 1064 ? range(kTextDisabled, kTextEnabled)
                        : range(kTextPulseLock1sUnlock1s, kTextPulseWindows30sUnlock3s);
    case Field::Rearming:
        if (v < 1064)
            return no_yes();
        return {text(kTextNo), "30s", "60s", "90s", "120s"};
    case Field::RemoteOperation:
        if (v < 1065)
            return rows({kTextYes, kTextNo});
        if (!u.small())
            return range(kTextRemoteArmingOemOrZorvik, kTextRemoteAuthoriseImmobiliser);
        return rows({kTextRemoteCentralLock, kTextRemoteAuthoriseImmobiliser});
    case Field::AntiHijack: {
        Options o = range(kTextAntiHijackDisabled, kTextAntiHijackIfIgnitionOff);
        if (v > 1104)
            o.push_back(text(kTextAntiHijackSilent));
        return o;
    }
    case Field::AuxMode:
        return range(kTextAuxModeOff, kTextAuxMode17);
    case Field::Immobiliser: {
        Options o = range(kTextImmobiliserOff, kTextImmobiliserAfterDoor);
        if (v > 1064) {
            o.push_back(text(kTextImmobiliserAfterLeftDoor));
            o.push_back(text(kTextImmobiliserAfterRightDoor));
        }
        if (v > 1098)
            o.push_back(text(kTextImmobiliserExternal));
        return o;
    }
    case Field::Siren: {
        Options o = range(kTextSirenAnalogue, kTextSirenPulsed);
        if (v >= 1095)
            o.push_back(text(kTextSirenDigital));
        return o;
    }
    case Field::InhibitArm:
        return {text(kTextNo), text(kTextInhibit5sAfterDisarming), text(kTextInhibitDoorOpen),
                text(kTextInhibitDoorOpenAnd5s)};
    case Field::HazardBlink:
    case Field::TrunkCheck:
        return rows({kTextDefaultSetting, kTextYes, kTextNo});
    case Field::AdditionalInput:
        return range(kTextInputNegativeNo, kTextInputGroundNcSensorsOff);
    case Field::PowerSupplySms:
        return rows({kTextNo, kTextPowerSupplyDetection, kTextPowerSupplyAndBattery});
    case Field::SupplySelection:
        return {"12V", "24V", text(kTextOther)};
    case Field::Language:
        return v > 1101 ? range(kTextEnglish, kTextItalian) : range(kTextEnglish, kTextFrench);
    case Field::PaAuthorise:
        return rows({kTextYes, kTextNo});
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
    case Field::OperatingMode: return text(kTextOperatingMode);
    case Field::CanLevel: return {}; // set by the vehicle choice
    case Field::GreyWire: return text(kTextGreyWireSignal);
    case Field::In1Time: return text(kTextMinimalIn1Time);
    case Field::HazardLights: return text(kTextHazardLightsMode);
    case Field::CanBusControl: return text(kTextCanBusControl);
    case Field::AudibleConfirmation: return text(kTextAudibleConfirmation);
    case Field::PowerWindows: return text(v < 1064 ? kTextPowerWindows : kTextPulseLengthSetup);
    case Field::Rearming: return text(kTextRearming);
    case Field::RemoteOperation:
        if (v < 1065)
            return text(kTextDisarmingByRemotesOnly);
        return text(u.small() ? kTextRemotesOperation : kTextRemoteAuthorisation);
    case Field::IgnoreCode: return text(kTextCanIgnoreCode);
    case Field::AntiHijack: return text(kTextAntiHijack);
    case Field::GpsModule: return text(kTextGpsModule);
    case Field::AuxMode: return text(kTextAuxConfiguration);
    case Field::Immobiliser: return text(kTextImmobiliser);
    case Field::Siren: return text(kTextSirenType);
    case Field::InhibitArm: return text(kTextInhibitAccidentalArming);
    case Field::HazardBlink: return text(kTextHazardBlink);
    case Field::TrunkCheck: return text(kTextDelayedTrunkCheck);
    case Field::TrunkDisarm: return text(kTextTrunkDisarms);
    case Field::Prealarm3x: return text(kTextPrealarm3x);
    case Field::AdditionalInput: return text(kTextAdditionalInput);
    case Field::PaAuthorise: return text(kTextPaAuthorise);
    case Field::PowerSupplySms: return text(kTextPowerSupplySms);
    case Field::Tqpin: return text(kTextTqpin);
    case Field::PhoneCount: return text(kTextPhoneCount);
    case Field::Phone1Number: return text(kTextPhone1Number);
    case Field::Phone2Number: return text(kTextPhone2Number);
    case Field::Phone3Number: return text(kTextPhone3Number);
    case Field::VoiceCalls: return text(kTextVoiceCallAttempts);
    case Field::IgnitionSms: return text(kTextIgnitionSms);
    case Field::SystemSms: return text(kTextSystemSms);
    case Field::DoorSms: return text(kTextDoorSms);
    case Field::SmsForward: return text(kTextSmsForwarding);
    case Field::Language: return text(kTextLanguage);
    case Field::SimPin: return text(kTextSimPin);
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
    return mode >= 0 && mode <= 17 ? text(kTextAuxModeOff + mode) : std::string();
}

} // namespace tq
