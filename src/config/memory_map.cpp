#include "config/memory_map.h"

#include "link/block.h"

namespace tq {
namespace {

// Units before the long access form reach only addresses 512..1023: their
// phone slots are 16 bytes below 1024, later ones 20 bytes from 950 on, and
// only later ones have block D.
constexpr int kLastShortForm = kFirstLongAddressingVersion - 1;
constexpr int kFirstLongForm = kFirstLongAddressingVersion;
// From this firmware on, levels from 255 on are kept in bytes 528 and 535.
constexpr int kExtendedLevel = 1068;

constexpr MemoryBlock kBlocks[] = {
    {kBlockA, 9},
    {kBlockB, 11},
    {kCanLevelLowByte, 1, kExtendedLevel, kAnyFirmware, BlockUse::LevelEscape},
    {kCanLevelHighByte, 1, kExtendedLevel, kAnyFirmware, BlockUse::LevelEscape},
    {kSmsBlock, 9},
    {kTqpinBlock, 16},
    {564, 16, 0, kLastShortForm}, // phone 1
    {580, 32, 0, kLastShortForm}, // phones 2 and 3
    {950, 20, kFirstLongForm},    // phone 1
    {970, 40, kFirstLongForm},    // phones 2 and 3
    {kBlockC, 5},
    {kSimPinBlock, 5, 0, kAnyFirmware, BlockUse::Revealed},
    {kBlockD, 3, kFirstLongForm},
};

using F = Field;
using C = Codec;

// Writes a row as its plain columns, then what differs from a byte that
// every unit stores and shows as it is.
class Row {
    // Defined before its callers: clang 14 evaluates the table only then.
    template <class T> constexpr Row with(T MemoryRow::*column, T value) const
    {
        Row copy = *this;
        copy.r_.*column = value;
        return copy;
    }

public:
    constexpr Row(Field f, int address, int offset, int length, Codec c)
        : r_{f, address, offset, length, c}
    {
    }
    constexpr Row from(int version) const { return with(&MemoryRow::first, version); }
    constexpr Row upto(int version) const { return with(&MemoryRow::last, version); }
    constexpr Row large_only() const { return with(&MemoryRow::large_only, true); }
    constexpr Row shown_anyway() const { return with(&MemoryRow::shown_anyway, true); }
    constexpr Row clamp(std::uint8_t max, std::uint8_t above_max) const
    {
        return with(&MemoryRow::max, max).with(&MemoryRow::above_max, above_max);
    }
    constexpr Row characters(int n) const { return with(&MemoryRow::characters, n); }
    constexpr operator MemoryRow() const { return r_; }

private:
    MemoryRow r_;
};

// The rows name the .cfg key of their value. A block's rows are in the
// order a load shows them.
constexpr MemoryRow kRows[] = {
    // Settings block A. The CAN level comes last: it is shown after the
    // block's other values, once its escape has been read.
    Row(F::OperatingMode, kBlockA, 0, 1, C::Byte),                           // operatingmode
    Row(F::GreyWire, kBlockA, 2, 1, C::Byte),                                // greywireactivesignal
    Row(F::HazardLights, kBlockA, 3, 1, C::Byte),                            // hazardlightsmode
    Row(F::CanBusControl, kBlockA, 4, 1, C::Byte),                           // canbuscontrol
    Row(F::AudibleConfirmation, kBlockA, 5, 1, C::Byte).large_only(),        // audibleconfirmation
    Row(F::PowerWindows, kBlockA, 6, 1, C::Byte).large_only(),               // powerwindows
    Row(F::AntiHijack, kBlockA, 7, 1, C::Byte),                              // antihijackfunction
    Row(F::GpsModule, kBlockA, 8, 1, C::Byte).clamp(1, 1),                   // gpsmodule
    Row(F::CanLevel, kBlockA, 1, 1, C::CanLevel),                            // canlevel

    // Settings block B. Later units configure the AUX output as a module.
    Row(F::Rearming, kBlockB, 0, 1, C::Byte).large_only().clamp(4, 0),       // rearming
    Row(F::RemoteOperation, kBlockB, 1, 1, C::RemoteOperation).clamp(3, 3),  // disarmingzorvikremotesonly
    Row(F::IgnoreCode, kBlockB, 2, 1, C::Decimal),                           // canbusignorecode
    Row(F::In1Time, kBlockB, 3, 1, C::Byte),                                 // greywiresignalminlength
    Row(F::AuxMode, kBlockB, 4, 1, C::Byte).upto(1064),                      // (AUX output mode)
    Row(F::Immobiliser, kBlockB, 5, 1, C::Byte),                             // immobiliser
    Row(F::Siren, kBlockB, 6, 1, C::Siren),                                  // siren
    Row(F::InhibitArm, kBlockB, 7, 1, C::Byte).clamp(3, 0),                  // inhibitarm
    Row(F::HazardBlink, kBlockB, 8, 1, C::Byte),                             // hazardblink
    Row(F::TrunkCheck, kBlockB, 9, 1, C::Byte),                              // dtrunkcheck
    Row(F::Prealarm3x, kBlockB, 10, 1, C::Byte).from(1064).shown_anyway().clamp(1, 0), // 3xprealarm

    // The extended CAN level, read through byte 513's escape.
    Row(F::CanLevel, kCanLevelLowByte, 0, 1, C::CanLevelLow).from(kExtendedLevel),     // canlevel
    Row(F::CanLevel, kCanLevelHighByte, 0, 1, C::CanLevelHigh).from(kExtendedLevel),   // canlevel

    // SMS block.
    Row(F::PhoneCount, kSmsBlock, 0, 1, C::Byte).clamp(3, 3),                // phonenumbercount
    Row(F::IgnitionSms, kSmsBlock, 1, 1, C::Byte).clamp(1, 1),               // ignitionstatesmsstatus
    Row(F::SystemSms, kSmsBlock, 2, 1, C::Byte).clamp(1, 1),                 // systemstatesmsstatus
    Row(F::DoorSms, kSmsBlock, 3, 1, C::Byte).clamp(1, 1),                   // doorstatesmsstatus
    Row(F::PowerSupplySms, kSmsBlock, 4, 1, C::Byte),                        // smspowersupplystatus
    Row(F::SmsForward, kSmsBlock, 5, 1, C::Byte).clamp(1, 1),                // smsforwardfirstnumber
    Row(F::Phone1Tel, kSmsBlock, 6, 1, C::PhoneCalls),                       // phone1tel, phone1sms
    Row(F::Phone2Tel, kSmsBlock, 6, 1, C::PhoneCalls),                       // phone2tel, phone2sms
    Row(F::Phone3Tel, kSmsBlock, 6, 1, C::PhoneCalls),                       // phone3tel, phone3sms
    Row(F::Voltage, kSmsBlock, 7, 1, C::Voltage),                            // batteryvoltdropthreshold
    Row(F::Phone1Ap, kSmsBlock, 8, 1, C::PhoneAuthorised),                   // phone1ap
    Row(F::Phone2Ap, kSmsBlock, 8, 1, C::PhoneAuthorised),                   // phone2ap
    Row(F::Phone3Ap, kSmsBlock, 8, 1, C::PhoneAuthorised),                   // phone3ap

    // TQPIN: five digits; a load takes the sixth byte as the end.
    Row(F::Tqpin, kTqpinBlock, 0, 16, C::Digits).characters(5),              // tqpin

    // Phone numbers: 15 characters in 16-byte slots, later 18 in 20 bytes.
    Row(F::Phone1Number, 564, 0, 16, C::PhoneNumber).upto(kLastShortForm),      // phone1number
    Row(F::Phone2Number, 580, 0, 16, C::PhoneNumber).upto(kLastShortForm),      // phone2number
    Row(F::Phone3Number, 580, 16, 16, C::PhoneNumber).upto(kLastShortForm),     // phone3number
    Row(F::Phone1Number, 950, 0, 20, C::PhoneNumber).from(kFirstLongForm),       // phone1number
    Row(F::Phone2Number, 970, 0, 20, C::PhoneNumber).from(kFirstLongForm),       // phone2number
    Row(F::Phone3Number, 970, 20, 20, C::PhoneNumber).from(kFirstLongForm),      // phone3number

    // Block C. The vehicle comes last: its lookup takes the loaded level.
    Row(F::Language, kBlockC, 1, 1, C::Byte),                                // language
    Row(F::VoiceCalls, kBlockC, 4, 1, C::Byte),                              // voicecallnotifyattempts
    Row(F::SupplySelection, kBlockC, 0, 1, C::Byte),                         // batteryvoltdropthreshold
    Row(F::CanLevel, kBlockC, 2, 2, C::VehicleKey),                          // carnumber

    // SIM card PIN: four digits and a zero byte.
    Row(F::SimPin, kSimPinBlock, 0, 5, C::Digits).characters(4),

    // Block D, from firmware 1054; a load of an older unit shows zeros.
    Row(F::TrunkDisarm, kBlockD, 0, 1, C::Byte).from(1069).shown_anyway().clamp(1, 0), // doorsunlockwithtrunk
    Row(F::AdditionalInput, kBlockD, 1, 1, C::Byte).from(kFirstLongForm).shown_anyway(),   // wej_dod
    Row(F::PaAuthorise, kBlockD, 2, 1, C::Byte).from(1104).shown_anyway().clamp(1, 0), // autorizepa
};

} // namespace

std::span<const MemoryBlock> memory_blocks() { return kBlocks; }
std::span<const MemoryRow> memory_rows() { return kRows; }

const MemoryBlock* memory_block(int address)
{
    for (const MemoryBlock& b : kBlocks) {
        if (b.address == address)
            return &b;
    }
    return nullptr;
}

bool has_block(const MemoryBlock& b, UnitKind u)
{
    return u.version >= b.first && u.version <= b.last;
}

bool stores(const MemoryRow& r, UnitKind u)
{
    return u.version >= r.first && u.version <= r.last && !(r.large_only && u.small());
}

const MemoryRow* memory_row(Field f, UnitKind u)
{
    for (const MemoryRow& r : kRows) {
        if (r.field == f && stores(r, u))
            return &r;
    }
    return nullptr;
}

bool has_extended_can_level(UnitKind u)
{
    for (const MemoryRow& r : kRows) {
        if (r.codec == Codec::CanLevelHigh)
            return stores(r, u);
    }
    return false;
}

} // namespace tq
