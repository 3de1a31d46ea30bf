#include "modules/module_list.h"

#include "config/config_io.h"
#include "config/fields.h"
#include "config/record.h"

#include "link/block.h"
#include "link/commands.h"
#include "modules/onewire.h"
#include "platform/clock.h"
#include "radio/bridge.h"
#include "text/texts.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace tq {
namespace {

constexpr int kListTries = 7;
constexpr int kListPolls = 30;
constexpr int kApplyTries = 10;
constexpr int kApplyPolls = 10;

constexpr int kAuxFortinModes[] = {kTextAuxMode16, kTextAuxMode17};
constexpr int kTq001Modes[] = {kTextModeObdLock, kTextModeImmoLock};
constexpr int kTq002Modes[] = {kTextModeObdLock,    kTextModeImmoLock,   kTextModeStartLock0,
                               kTextModeStartLock1, kTextModeStartLock2, kTextModeStartLock3};
constexpr int kAuxModes[] = {kTextAuxMode1,  kTextAuxMode2,  kTextAuxMode3,  kTextAuxMode4,  kTextAuxMode5,
                             kTextAuxMode6,  kTextAuxMode7,  kTextAuxMode8,  kTextAuxMode9,  kTextAuxMode10,
                             kTextAuxMode11, kTextAuxMode12, kTextAuxMode13, kTextAuxMode14, kTextAuxMode15};

const std::array<ModuleRowInfo, kModuleRows> kRows = {{
    {kTextBrevanModule, 0, kFamilyBrevan, -1, std::nullopt, -1, kRadioIdAddress, 0, {}, kTextConfigure, false},
    {kTextSolvekModule, 0, kFamilySolvek, -1, std::nullopt, -1, kRadioIdAddress, 0, {}, kTextConfigure, false},
    {kTextAuxFortinModule, 0, -1, -1, PseudoModule::AuxFortin, -1, 0, 1044, kAuxFortinModes, kTextTest, true},
    {kTextCableLoomModule, 0, -1, -1, PseudoModule::CableLoom, -1, 0, 0, {}, kTextTest, false},
    {kTextTq001Module, 1, kFamilyCutoff, 1, std::nullopt, 0, 1012, 1045, kTq001Modes, kTextTest, true},
    {kTextTq001Module, 2, kFamilyCutoff, 1, std::nullopt, 1, 1020, 1046, kTq001Modes, kTextTest, true},
    {kTextTq002Module, 1, kFamilyCutoff, 2, std::nullopt, 2, 1028, 1047, kTq002Modes, kTextTest, true},
    {kTextTq002Module, 2, kFamilyCutoff, 2, std::nullopt, 3, 1036, 1048, kTq002Modes, kTextTest, true},
    {kTextAuxModule, 0, -1, -1, PseudoModule::AuxModule, -1, 0, 1049, kAuxModes, kTextTest, true},
}};

std::uint8_t& mode_byte(ModulesState& m, int address)
{
    return m.mode_bytes[std::size_t(address - kModeByteAddress)];
}

bool family_matches(const ModuleRowInfo& row_info, const OneWireId& id)
{
    return !id_empty(id) && row_info.family >= 0 && id[0] == row_info.family &&
           (row_info.kind < 0 || id[1] == row_info.kind);
}

// The identifier the unit holds for a row (kNoId: none).
OneWireId stored_for_row(const ModulesState& m, int row)
{
    const ModuleRowInfo& row_info = kRows[std::size_t(row)];
    switch (row) {
    case kRowBrevan:
    case kRowSolvek:
        return m.radio_onewire_id;
    case kRowAuxFortin:
        return (m.mode_bytes[0] & 0x80) ? pseudo_identifier(PseudoModule::AuxFortin) : kNoId;
    case kRowCableLoom:
        return pseudo_identifier(PseudoModule::CableLoom);
    case kRowAuxModule:
        return (m.mode_bytes[5] & 0x80) ? pseudo_identifier(PseudoModule::AuxModule) : kNoId;
    default:
        return m.stored_ids[std::size_t(row_info.stored_index)];
    }
}

bool stored_matches(const ModuleRowInfo& row_info, const OneWireId& stored)
{
    if (row_info.pseudo)
        return !id_empty(stored);
    return family_matches(row_info, stored);
}

// Moves a bus entry equal to id (if any) to the row.
void take_found(ModulesState& m, const OneWireId& id, int row)
{
    if (id_empty(id))
        return;
    for (OneWireId& found : m.found_ids)
        if (found == id) {
            if (row >= 0)
                m.row_connected[std::size_t(row)] = found;
            found = kNoId;
            return;
        }
}

// Writes one mode byte and keeps the copy; false when the unit did not
// take it.
bool write_mode_byte(ModulesState& m, LinkState& link, int firmware_version, int address,
                     std::uint8_t value)
{
    const std::uint8_t data[1] = {value};
    if (write_block(link, firmware_version, address, data) != 0)
        return false;
    mode_byte(m, address) = value;
    return true;
}

void tell(const ModulesState& m, int text_row)
{
    if (m.view)
        m.view->message(text(text_row));
}

void row_changed(const ModulesState& m, int row)
{
    if (m.view)
        m.view->row_changed(row);
}

std::uint8_t mode_value(const ModuleRowInfo& row_info, int position, bool active)
{
    std::uint8_t value = std::uint8_t((std::max(position, 0) + 1) & 0x7F);
    if (active && row_info.activity_bit)
        value |= 0x80;
    return value;
}

// Steps shared by Activate and Delete: the identifier, the mode byte, the
// radio identifier and the unit's reload of its module set. False after a
// failed write (the message is shown).
bool store_row(ModulesState& m, LinkState& link, int firmware_version, int row,
               const OneWireId& id, bool active)
{
    const ModuleRowInfo& row_info = kRows[std::size_t(row)];
    if (row_info.id_slot && write_block(link, firmware_version, row_info.id_slot, id) != 0) {
        tell(m, kTextEepromSaveError);
        return false;
    }
    if (row_info.stored_index >= 0)
        m.stored_ids[std::size_t(row_info.stored_index)] = id;
    if (row_info.mode_address) {
        const int position = m.last_mode_position[std::size_t(row)];
        if (!write_mode_byte(m, link, firmware_version, row_info.mode_address,
                             mode_value(row_info, position, active))) {
            tell(m, kTextEepromSaveError);
            return false;
        }
    }
    if (row == kRowBrevan || row == kRowSolvek)
        m.radio_onewire_id = id;
    apply_module_config(link);
    return true;
}

} // namespace

const ModuleRowInfo& module_row_info(int row) { return kRows[std::size_t(row)]; }

int load_module_list(ModulesState& m, LinkState& link, int firmware_version)
{
    // Read everything first; the state changes only when the reads worked.
    std::array<std::uint8_t, kModuleMemoryLength> memory{};
    if (read_block(link, firmware_version, kModuleMemoryAddress, kModuleMemoryLength) != 0)
        return kTextEepromReadError;
    std::memcpy(memory.data(), link.reply.data() + 4, memory.size());
    OneWireId radio{};
    if (read_block(link, firmware_version, kRadioIdAddress, 8) != 0)
        return kTextEepromReadError;
    std::memcpy(radio.data(), link.reply.data() + 4, 8);

    bool listed = false;
    std::array<OneWireId, kMaxBusDevices> found{};
    found.fill(kNoId);
    for (int attempt = 0; attempt < kListTries && !listed; ++attempt) {
        send_command(link, cmd::kOneWireList);
        for (int poll = 0; poll < kListPolls; ++poll) {
            if (poll_reply(link) != 0 && link.reply_code() == reply::kData) {
                parse_bus_list(link.reply.data(), link.reply_length, found);
                listed = true;
                break;
            }
        }
    }
    if (!listed)
        return kTextListError;

    m.found_ids = found;
    m.row_connected.fill(kNoId);
    for (int i = 0; i < kStoredIds; ++i) {
        const int offset = i < 4 ? 8 * i : 40 + 8 * (i - 4);
        std::memcpy(m.stored_ids[std::size_t(i)].data(), memory.data() + offset, 8);
    }
    std::memcpy(m.mode_bytes.data(), memory.data() + 32, kModeBytes);
    m.radio_onewire_id = radio;

    // Stored identifiers that are on the bus go to their rows; the
    // thermometer slots only leave the list.
    take_found(m, m.radio_onewire_id, m.radio_onewire_id[0] == kFamilyBrevan ? kRowBrevan
                                                                             : kRowSolvek);
    for (int i = 0; i < 4; ++i)
        take_found(m, m.stored_ids[std::size_t(i)], kRowTq001First + i);
    take_found(m, m.stored_ids[4], -1);
    take_found(m, m.stored_ids[5], -1);

    const bool any = std::any_of(found.begin(), found.end(),
                                 [](const OneWireId& id) { return !id_empty(id); });
    return any ? 0 : kTextNoDevices;
}

void build_module_rows(ModulesState& m)
{
    for (int row = 0; row < kModuleRows; ++row) {
        const ModuleRowInfo& row_info = kRows[std::size_t(row)];
        OneWireId& connected = m.row_connected[std::size_t(row)];
        if (id_empty(connected)) {
            for (OneWireId& found : m.found_ids) {
                const bool fits = row_info.pseudo ? found == pseudo_identifier(*row_info.pseudo)
                                              : family_matches(row_info, found);
                if (!id_empty(found) && fits) {
                    connected = found;
                    found = kNoId;
                    break;
                }
            }
        }

        const OneWireId stored = stored_for_row(m, row);
        const bool matches = stored_matches(row_info, stored);
        ModuleRowView& v = m.rows[std::size_t(row)];
        v = ModuleRowView{};
        v.stored = matches ? stored : kNoId;
        if (!matches)
            v.status = RowStatus::None;
        else if (stored == connected &&
                 (!row_info.mode_address || (m.mode_bytes[std::size_t(row_info.mode_address - kModeByteAddress)] & 0x80)))
            v.status = RowStatus::Active;
        else
            v.status = RowStatus::StoredNotActive;

        const bool active = v.status == RowStatus::Active;
        v.activate_enabled = !id_empty(connected) && row != kRowCableLoom && !active;
        v.delete_enabled = matches && row != kRowCableLoom;
        v.mode_enabled = v.delete_enabled && !row_info.modes.empty();
        v.action_enabled = active;

        int position = -1;
        if (row_info.mode_address) {
            const int mode = (m.mode_bytes[std::size_t(row_info.mode_address - kModeByteAddress)] & 0x7F) - 1;
            position = mode <= 0 ? 0 : mode < int(row_info.modes.size()) ? mode : -1;
        }
        v.mode_position = position;
        m.last_mode_position[std::size_t(row)] = position;
    }
}

std::string unlisted_devices_line(const ModulesState& m)
{
    std::string line;
    for (const OneWireId& id : m.found_ids) {
        if (id_empty(id))
            continue;
        line += line.empty() ? text(kTextUnlistedDevices) : ",";
        line += " " + id_hex(id);
    }
    return line.empty() ? line : line + ".";
}

void reset_module_row(ModulesState& m, int row)
{
    ModuleRowView& v = m.rows[std::size_t(row)];
    v.activate_enabled = !id_empty(m.row_connected[std::size_t(row)]);
    v.action_enabled = false;
    v.delete_enabled = false;
    v.mode_enabled = false;
    v.stored = kNoId;
    v.status = RowStatus::None;
    row_changed(m, row);
}

void activate_module(ModulesState& m, LinkState& link, int firmware_version, int row)
{
    const ModuleRowInfo& row_info = kRows[std::size_t(row)];
    OneWireId id;
    if (row_info.pseudo) {
        id = pseudo_identifier(*row_info.pseudo);
    } else {
        // The bus may have changed since the list was read: read it again
        // and store what the row holds now. A row left without a module
        // stores nothing (an empty identifier would delete the module).
        if (!m.view || !m.view->refresh())
            return;
        id = m.row_connected[std::size_t(row)];
        if (id_empty(id)) {
            if (m.view)
                m.view->message(kNoDeviceText);
            return;
        }
    }

    if (!store_row(m, link, firmware_version, row, id, true))
        return;

    ModuleRowView& v = m.rows[std::size_t(row)];
    v.activate_enabled = false;
    v.action_enabled = true;
    v.delete_enabled = true;
    v.mode_enabled = !row_info.modes.empty();
    v.stored = id;
    v.status = RowStatus::Active;
    if (v.mode_position < 0)
        v.mode_position = 0;
    m.last_mode_position[std::size_t(row)] = v.mode_position;
    row_changed(m, row);

    if (row == kRowBrevan || row == kRowSolvek) {
        // Both share the radio slot: the other one is gone now.
        reset_module_row(m, row == kRowBrevan ? kRowSolvek : kRowBrevan);
        leave_radio_mode(link);
    }

    // The AUX output drives one of the two AUX modules at a time.
    bool saved = true;
    if (row == kRowAuxModule && (m.mode_bytes[0] & 0x80)) {
        reset_module_row(m, kRowAuxFortin);
        saved = write_mode_byte(m, link, firmware_version, 1044, m.mode_bytes[0] & 0x7F);
    } else if (row == kRowAuxFortin) {
        reset_module_row(m, kRowAuxModule);
        saved = write_mode_byte(m, link, firmware_version, 1049, m.mode_bytes[5] & 0x7F);
    }
    if (!saved)
        tell(m, kTextEepromSaveError);

    if (row == kRowAuxFortin || row == kRowAuxModule)
        show_aux_function(m, link, firmware_version);
}

void delete_module(ModulesState& m, LinkState& link, int firmware_version, int row)
{
    if (m.view)
        m.view->close_row_window(row);
    if (!store_row(m, link, firmware_version, row, kNoId, false))
        return;
    reset_module_row(m, row);
    if (row == kRowAuxFortin || row == kRowAuxModule)
        show_aux_function(m, link, firmware_version);
}

void change_module_mode(ModulesState& m, LinkState& link, int firmware_version, int row,
                        int position)
{
    const ModuleRowInfo& row_info = kRows[std::size_t(row)];
    if (!row_info.mode_address || position < 0)
        return;
    int& last = m.last_mode_position[std::size_t(row)];
    if (position != last) {
        last = position;
        m.rows[std::size_t(row)].mode_position = position;
        if (!write_mode_byte(m, link, firmware_version, row_info.mode_address,
                             mode_value(row_info, position, true)))
            tell(m, kTextEepromSaveError);
    }
    apply_module_config(link);
    if (row == kRowAuxFortin || row == kRowAuxModule)
        show_aux_function(m, link, firmware_version);
}

bool apply_module_config(LinkState& link)
{
    const std::uint8_t apply[1] = {0x01};
    for (int attempt = 0; attempt < kApplyTries; ++attempt) {
        if (!send_command(link, cmd::kApplyModules, apply, 1))
            return false;
        platform::sleep_ms(100);
        for (int poll = 0; poll < kApplyPolls; ++poll) {
            if (poll_reply(link) == 0)
                break;
            if (link.reply_code() == reply::kData)
                return true;
        }
    }
    return false;
}

void show_aux_function(ModulesState& m, LinkState& link, int firmware_version)
{
    const std::string t = aux_mode_text(read_aux_mode(link, firmware_version));
    if (m.config)
        set_aux_text(*m.config, t);
}

} // namespace tq
