#include "config/config_io.h"

#include "config/cfg_file.h"
#include "config/history.h"
#include "config/record.h"
#include "config/vehicle.h"
#include "link/block.h"
#include "link/commands.h"
#include "platform/clock.h"
#include "text/texts.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <string>

namespace tq {
namespace {

void tell(ConfigState& s, const std::string& message)
{
    if (s.hooks.message)
        s.hooks.message(message);
}

// Marks a config operation as running for its lifetime.
class BusyScope {
public:
    explicit BusyScope(ConfigState& s) : s_(s) { s_.busy = true; }
    ~BusyScope() { s_.busy = false; }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    ConfigState& s_;
};

class Loader {
public:
    // held: blocks taken as they are instead of being read from the unit.
    Loader(ConfigState& s, LinkState& link, bool references,
           const std::map<int, HeldBlock>* held = nullptr)
        : s_(s), link_(link), references_(references), held_(held)
    {
    }

    // Reads a block into out; false when the read failed or the session
    // ended while GUI events ran.
    bool read(int address, std::uint8_t* out, int length)
    {
        if (held_) {
            const auto found = held_->find(address);
            if (found != held_->end() && found->second.held.size() == std::size_t(length)) {
                std::copy(found->second.held.begin(), found->second.held.end(), out);
                return true;
            }
        }
        if (!s_.active || read_block(link_, s_.unit.version, address, length) != 0)
            return false;
        std::memcpy(out, link_.reply.data() + 4, std::size_t(length));
        read_[address].assign(out, out + length);
        platform::pump_events();
        return s_.active;
    }

    void put(Field f, long value)
    {
        if (references_)
            set_reference_number(s_, f, value);
        set_number(s_, f, value);
    }

    void put_text(Field f, const std::string& text)
    {
        if (references_) {
            if (field_kind(f) == Kind::Number)
                set_reference_number(s_, f, decimal_value(text));
            else
                set_reference_text(s_, f, text);
        }
        set_text(s_, f, text);
    }

    // The blocks read: from now on what the unit holds. A save keeps each
    // value of them that the fitter does not change as it is read here.
    void remember_blocks()
    {
        if (read_.empty())
            return;
        s_.held_blocks.clear();
        std::vector<BlockImage> built = build_blocks(s_, selected_vehicle_key(s_));
        built.push_back(sim_pin_block(s_));
        for (BlockImage& b : built) {
            auto found = read_.find(b.address);
            if (found != read_.end() && found->second.size() == b.bytes.size())
                s_.held_blocks[b.address] = {std::move(found->second), std::move(b.bytes)};
        }
    }

private:
    ConfigState& s_;
    LinkState& link_;
    bool references_;
    const std::map<int, HeldBlock>* held_;
    std::map<int, std::vector<std::uint8_t>> read_;
};

LoadResult load_blocks(ConfigState& s, Loader& in, int kind)
{
    const bool defaults = kind == kLoadDefaults;
    const UnitKind u = s.unit;
    const int v = u.version;
    const DefaultBlocks def = default_blocks();
    const auto clamp = [](std::uint8_t value, std::uint8_t max, std::uint8_t above) {
        return value > max ? above : value;
    };

    // Block A and the CAN level.
    std::uint8_t a[9];
    if (defaults)
        std::copy(def.a.begin(), def.a.end(), a);
    else if (!in.read(512, a, 9))
        return LoadResult::ReadError;
    if (defaults && u.small())
        a[0] = 0;
    in.put(Field::OperatingMode, a[0]);
    in.put(Field::GreyWire, a[2]);
    in.put(Field::HazardLights, a[3]);
    in.put(Field::CanBusControl, a[4]);
    if (!u.small()) {
        in.put(Field::AudibleConfirmation, a[5]);
        in.put(Field::PowerWindows, a[6]);
    }
    in.put(Field::AntiHijack, a[7]);
    in.put(Field::GpsModule, clamp(a[8], 1, 1));

    std::uint8_t high = 0;
    std::uint8_t low = 0;
    if (a[1] == 254 && !defaults) {
        if (!in.read(535, &high, 1) || !in.read(528, &low, 1))
            return LoadResult::ReadError;
    }
    const long level = can_level_from_bytes(a[1], high, low);
    in.put_text(Field::CanLevel, std::to_string(level));

    // Block B.
    std::uint8_t b[11];
    if (defaults)
        std::copy(def.b.begin(), def.b.end(), b);
    else if (!in.read(524, b, 11))
        return LoadResult::ReadError;
    if (!u.small())
        in.put(Field::Rearming, clamp(b[0], 4, 0));
    std::uint8_t remote = clamp(b[1], 3, 3);
    if (u.small() && remote == 3)
        remote = 1;
    in.put(Field::RemoteOperation, remote);
    in.put_text(Field::IgnoreCode, std::to_string(b[2]));
    in.put(Field::In1Time, b[3]);
    if (v <= 1064)
        in.put(Field::AuxMode, b[4]);
    in.put(Field::Immobiliser, b[5]);
    in.put(Field::Siren, b[6] == 3 ? 2 : b[6]);
    in.put(Field::InhibitArm, clamp(b[7], 3, 0));
    in.put(Field::HazardBlink, b[8]);
    in.put(Field::TrunkCheck, b[9]);
    in.put(Field::Prealarm3x, clamp(b[10], 1, 0));

    // SMS block.
    std::uint8_t m[9];
    if (defaults)
        std::copy(def.sms.begin(), def.sms.end(), m);
    else if (!in.read(536, m, 9))
        return LoadResult::ReadError;
    in.put(Field::PhoneCount, clamp(m[0], 3, 3));
    in.put(Field::IgnitionSms, clamp(m[1], 1, 1));
    in.put(Field::SystemSms, clamp(m[2], 1, 1));
    in.put(Field::DoorSms, clamp(m[3], 1, 1));
    in.put(Field::PowerSupplySms, m[4]);
    in.put(Field::SmsForward, clamp(m[5], 1, 1));
    for (int p = 1; p <= 3; ++p) {
        in.put(phone_field(p, PhonePart::Tel), (m[6] >> (p - 1)) & 1);
        in.put(phone_field(p, PhonePart::Sms), (m[6] >> (p + 2)) & 1);
    }
    in.put_text(Field::Voltage, voltage_text(m[7]));
    for (int p = 1; p <= 3; ++p)
        in.put(phone_field(p, PhonePart::Ap), (m[8] >> (p - 1)) & 1);

    // TQPIN: five digits, the sixth byte taken as the end.
    std::uint8_t pin[16] = {};
    if (defaults)
        std::memcpy(pin, def.tqpin, 5);
    else if (!in.read(548, pin, 16))
        return LoadResult::ReadError;
    in.put_text(Field::Tqpin, memory_text(pin, 5));

    // Phone numbers.
    const int slot = phone_slot_size(v);
    std::uint8_t phones[60] = {};
    if (!defaults) {
        if (!in.read(v < 1054 ? 564 : 950, phones, slot) ||
            !in.read(v < 1054 ? 580 : 970, phones + slot, 2 * slot))
            return LoadResult::ReadError;
    }
    for (int p = 1; p <= 3; ++p) {
        in.put_text(phone_field(p, PhonePart::Number),
                    memory_text(phones + (p - 1) * slot, std::size_t(slot)));
    }

    // Block C and the vehicle.
    std::uint8_t c[5];
    if (defaults)
        std::copy(def.c.begin(), def.c.end(), c);
    else if (!in.read(710, c, 5))
        return LoadResult::ReadError;
    in.put(Field::Language, c[1]);
    in.put(Field::VoiceCalls, c[4]);
    in.put(Field::SupplySelection, c[0]);
    if (defaults)
        select_vehicle(s, level, c[2] << 8 | c[3], true);
    else
        restore_vehicle(s, level, c[2] << 8 | c[3], true);

    // SIM card PIN.
    std::uint8_t sim[5] = {};
    if (!defaults && !in.read(716, sim, 5))
        return LoadResult::ReadError;
    in.put_text(Field::SimPin, memory_text(sim, 4));

    // Block D.
    std::uint8_t d[3] = {};
    if (v >= 1054 && !defaults && !in.read(1095, d, 3))
        return LoadResult::ReadError;
    in.put(Field::TrunkDisarm, clamp(d[0], 1, 0));
    in.put(Field::AdditionalInput, d[1]);
    in.put(Field::PaAuthorise, clamp(d[2], 1, 0));
    return LoadResult::Loaded;
}

// The fields a verified block stores, which take what was written as their
// references.
void take_written(ConfigState& s, const BlockImage& block)
{
    const UnitKind u = s.unit;
    const auto take = [&](std::initializer_list<Field> fields) {
        for (Field f : fields)
            take_as_reference(s, f);
    };
    const int phone1 = u.version < 1054 ? 564 : 950;
    const int phones23 = u.version < 1054 ? 580 : 970;
    const long count = number_of(s, Field::PhoneCount);

    switch (block.address) {
    case 512:
        take({Field::OperatingMode, Field::GreyWire, Field::HazardLights, Field::CanBusControl,
              Field::AudibleConfirmation, Field::PowerWindows, Field::AntiHijack,
              Field::GpsModule});
        if (u.version < 1068)
            take({Field::CanLevel});
        return;
    case 524:
        take({Field::Rearming, Field::RemoteOperation, Field::IgnoreCode, Field::In1Time,
              Field::AuxMode, Field::Immobiliser, Field::Siren, Field::InhibitArm,
              Field::HazardBlink, Field::TrunkCheck, Field::Prealarm3x});
        return;
    case 535:
        take({Field::CanLevel});
        return;
    case 536:
        take({Field::PhoneCount, Field::IgnitionSms, Field::SystemSms, Field::DoorSms,
              Field::PowerSupplySms, Field::SmsForward, Field::Voltage});
        // A phone above the count was stored without its TEL, SMS and AP bits.
        for (int p = 1; p <= 3; ++p) {
            for (PhonePart part : {PhonePart::Tel, PhonePart::Sms, PhonePart::Ap}) {
                const Field f = phone_field(p, part);
                set_reference_number(s, f, count >= p ? number_of(s, f) : 0);
            }
        }
        return;
    case 548:
        take({Field::Tqpin});
        return;
    case 710:
        take({Field::SupplySelection, Field::Language, Field::VoiceCalls});
        return;
    case 716:
        take({Field::SimPin});
        return;
    case 1095:
        take({Field::TrunkDisarm, Field::AdditionalInput, Field::PaAuthorise});
        return;
    default:
        break;
    }
    // Phone numbers: the stored text (blanks removed; empty above the count).
    const int first = block.address == phone1 ? 1 : block.address == phones23 ? 2 : 0;
    if (first == 0)
        return;
    for (int p = first; p <= (first == 1 ? 1 : 3); ++p) {
        const Field f = phone_field(p, PhonePart::Number);
        std::string stored;
        if (count >= p)
            phone_to_stored(text_of(s, f), u.version, stored);
        set_reference_text(s, f, stored);
    }
}

} // namespace

int read_aux_mode(LinkState& link, int firmware_version)
{
    // Byte 1049 is asked whenever 1044 does not name the mode, also when
    // 1044 could not be read.
    int mode = 0;
    if (read_block(link, firmware_version, 1044, 1) == 0 && link.reply[4] > 128)
        mode = link.reply[4] - 113;
    else if (read_block(link, firmware_version, 1049, 1) == 0 && link.reply[4] > 128)
        mode = link.reply[4] - 128;
    return mode > 17 ? 0 : mode;
}

LoadResult load_configuration(ConfigState& s, LinkState& link, int kind)
{
    if (s.busy || !s.active)
        return LoadResult::Busy;
    BusyScope busy(s);

    Loader in(s, link, kind != kLoadDefaults);
    // A unit that went away meanwhile ended the session: the load still
    // says that it failed.
    const LoadResult result = load_blocks(s, in, kind);
    if (s.active)
        in.remember_blocks();
    if (result != LoadResult::Loaded || !s.active) {
        tell(s, text(13));
        return LoadResult::ReadError;
    }
    refresh_change_marks(s);
    if (kind == kLoadDefaults)
        remark_save_button(s); // the defaults are not stored yet
    if (kind == kLoadFromUnit)
        tell(s, text(12));
    else if (kind == kLoadDefaults)
        tell(s, text(143));

    if (s.unit.version > 1064)
        set_aux_text(s, aux_mode_text(read_aux_mode(link, s.unit.version)));
    return LoadResult::Loaded;
}

std::optional<std::string> held_configuration_text(const ConfigState& s, LinkState& link)
{
    if (s.held_blocks.empty())
        return std::nullopt;
    // A record of its own, read the way a load reads the unit, so that the
    // pages, their references and marks stay as they are.
    ConfigState unit;
    unit.vehicles = s.vehicles;
    begin_config_session(unit, s.unit);
    Loader in(unit, link, true, &s.held_blocks);
    if (load_blocks(unit, in, kLoadFromUnit) != LoadResult::Loaded || !unit.active)
        return std::nullopt;
    refresh_change_marks(unit);
    return write_cfg_text(unit);
}

SaveResult save_configuration(ConfigState& s, LinkState& link)
{
    if (s.busy || !s.active)
        return SaveResult::Busy;
    BusyScope busy(s);

    const Validation check = validate_configuration(s);
    if (!check.ok()) {
        tell(s, check.message());
        return SaveResult::Invalid;
    }
    // What the unit holds now is kept before anything of it is replaced.
    if (!keep_before_write(s, link, kHistorySave))
        return SaveResult::NotKept;

    const int key = selected_vehicle_key(s);
    // A unit that went away meanwhile ended the session: the fitter is
    // still told that the save stopped half-way.
    for (BlockImage& block : build_blocks(s, key)) {
        std::vector<std::uint8_t> bytes = bytes_to_write(s, block);
        if (!s.active || write_block(link, s.unit.version, block.address, bytes) != 0) {
            tell(s, text(28));
            return SaveResult::WriteError;
        }
        take_written(s, block);
        s.held_blocks[block.address] = {std::move(bytes), std::move(block.bytes)};
        platform::pump_events();
    }
    if (!s.active) {
        tell(s, text(28));
        return SaveResult::WriteError;
    }
    refresh_change_marks(s);
    send_command(link, cmd::kStored);
    tell(s, text(18));
    return SaveResult::Saved;
}

} // namespace tq
