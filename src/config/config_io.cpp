#include "config/config_io.h"

#include "config/cfg_file.h"
#include "config/history.h"
#include "config/memory_map.h"
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

    // Shows one value from its bytes. The CAN level's escape reads the
    // extended bytes (535, then 528); false when that read fails.
    bool show(const MemoryRow& row, const std::uint8_t* b, bool defaults)
    {
        const Field f = row.field;
        const std::uint8_t clamped = b[0] > row.max ? row.above_max : b[0];
        const int p = phone_of(f);
        switch (row.codec) {
        case Codec::Byte:
            put(f, clamped);
            break;
        case Codec::CanLevel: {
            std::uint8_t high = 0;
            std::uint8_t low = 0;
            if (b[0] == 254 && !defaults) {
                if (!read(kCanLevelHighByte, &high, 1) || !read(kCanLevelLowByte, &low, 1))
                    return false;
            }
            level_ = can_level_from_bytes(b[0], high, low);
            put_text(f, std::to_string(level_));
            break;
        }
        case Codec::CanLevelLow:
        case Codec::CanLevelHigh:
            break; // read with byte 513
        case Codec::RemoteOperation:
            // The smaller unit shows stored 3 as its second option.
            put(f, s_.unit.small() && clamped == 3 ? 1 : clamped);
            break;
        case Codec::Siren:
            put(f, b[0] == 3 ? 2 : b[0]);
            break;
        case Codec::Decimal:
            put_text(f, std::to_string(b[0]));
            break;
        case Codec::PhoneCalls:
            put(phone_field(p, PhonePart::Tel), (b[0] >> (p - 1)) & 1);
            put(phone_field(p, PhonePart::Sms), (b[0] >> (p + 2)) & 1);
            break;
        case Codec::PhoneAuthorised:
            put(f, (b[0] >> (p - 1)) & 1);
            break;
        case Codec::Voltage:
            put_text(f, voltage_text(b[0]));
            break;
        case Codec::Digits:
            put_text(f, memory_text(b, std::size_t(row.characters)));
            break;
        case Codec::PhoneNumber:
            put_text(f, memory_text(b, std::size_t(row.length)));
            break;
        case Codec::VehicleKey:
            if (defaults)
                select_vehicle(s_, level_, b[0] << 8 | b[1], true);
            else
                restore_vehicle(s_, level_, b[0] << 8 | b[1], true);
            break;
        }
        return true;
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
    long level_ = 0; // the CAN level shown, for the vehicle lookup
};

LoadResult load_blocks(ConfigState& s, Loader& in, int kind)
{
    const bool defaults = kind == kLoadDefaults;
    const UnitKind u = s.unit;
    const std::vector<BlockImage> built_in = default_blocks();
    for (const MemoryBlock& block : memory_blocks()) {
        if (block.use == BlockUse::LevelEscape)
            continue; // read by the CAN level when it needs them
        // A block the unit does not have shows as zeros; so do the blocks
        // without built-in values.
        std::vector<std::uint8_t> bytes(std::size_t(block.length), 0);
        if (defaults) {
            for (const BlockImage& d : built_in) {
                if (d.address == block.address)
                    bytes = d.bytes;
            }
            if (block.address == kBlockA && u.small())
                bytes[0] = 0; // the smaller unit has no full alarm
        } else if (has_block(block, u) && !in.read(block.address, bytes.data(), block.length)) {
            return LoadResult::ReadError;
        }
        for (const MemoryRow& row : memory_rows()) {
            if (row.address == block.address && (stores(row, u) || row.shown_anyway) &&
                !in.show(row, bytes.data() + row.offset, defaults))
                return LoadResult::ReadError;
        }
    }
    return LoadResult::Loaded;
}

// A verified block's fields take what was written as their references; a
// field this unit lacks (written as 0) takes what its control holds.
void take_written(ConfigState& s, const BlockImage& block)
{
    const UnitKind u = s.unit;
    const long count = number_of(s, Field::PhoneCount);
    // A phone above the count was stored without its flags.
    const auto take_flag = [&](Field f, int phone) {
        set_reference_number(s, f, count >= phone ? number_of(s, f) : 0);
    };
    for (const MemoryRow& row : memory_rows()) {
        if (row.address != block.address)
            continue;
        const int p = phone_of(row.field);
        switch (row.codec) {
        case Codec::CanLevel:
            // With the extended form the level is written last in byte 535.
            if (!has_extended_can_level(u))
                take_as_reference(s, row.field);
            break;
        case Codec::CanLevelLow:
        case Codec::VehicleKey:
            break;
        case Codec::PhoneCalls:
            take_flag(phone_field(p, PhonePart::Tel), p);
            take_flag(phone_field(p, PhonePart::Sms), p);
            break;
        case Codec::PhoneAuthorised:
            take_flag(row.field, p);
            break;
        case Codec::PhoneNumber: {
            // The stored text: blanks removed, empty above the count.
            std::string stored;
            if (count >= p)
                phone_to_stored(text_of(s, row.field), u.version, stored);
            set_reference_text(s, row.field, stored);
            break;
        }
        default:
            take_as_reference(s, row.field);
            break;
        }
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
        tell(s, text(kTextConfigurationLoadError));
        return LoadResult::ReadError;
    }
    refresh_change_marks(s);
    if (kind == kLoadDefaults)
        remark_save_button(s); // the defaults are not stored yet
    if (kind == kLoadFromUnit)
        tell(s, text(kTextConfigurationLoaded));
    else if (kind == kLoadDefaults)
        tell(s, text(kTextDefaultsLoaded));

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
            tell(s, text(kTextWriteError));
            return SaveResult::WriteError;
        }
        take_written(s, block);
        s.held_blocks[block.address] = {std::move(bytes), std::move(block.bytes)};
        platform::pump_events();
    }
    if (!s.active) {
        tell(s, text(kTextWriteError));
        return SaveResult::WriteError;
    }
    refresh_change_marks(s);
    send_command(link, cmd::kStored);
    tell(s, text(kTextConfigurationSaved));
    return SaveResult::Saved;
}

} // namespace tq
