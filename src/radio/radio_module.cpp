#include "radio/radio_module.h"

#include "platform/clock.h"
#include "radio/bridge.h"
#include "text/texts.h"

#include <cstdio>

namespace tq {
namespace {

constexpr int kRowTries = 3;

std::string hex2(unsigned v)
{
    char buf[3];
    std::snprintf(buf, sizeof buf, "%02X", v & 0xFF);
    return buf;
}

bool command(RadioContext& c, std::uint8_t code, std::string_view data, std::string& reply)
{
    return radio_command(c.link, c.radio, code, data, reply);
}

// Step 12 of the opening: everything undone, the unit back to normal.
void opening_failed(RadioContext& c)
{
    RadioState& r = c.radio;
    r.placeholder = false;
    r.opening = false;
    c.view.busy_cursor(false);
    c.view.message(text(r.busy ? kTextRadioUsedByRemote : kTextRadioCommunicationError));
    r.busy = false;
    leave_radio_mode(c.link);
}

bool load_row(RadioContext& c, int slot);

void draw_row_buttons(RadioContext& c, int slot, unsigned bits, unsigned flag)
{
    RadioState& r = c.radio;
    const std::uint16_t bit = std::uint16_t(1u << slot);
    for (int t = 0; t < kRowTries && !(r.rows_loaded & bit) && r.window_open; ++t)
        load_row(c, slot);
    if (!(r.rows_loaded & bit) || !r.window_open)
        return;
    const RadioRow& row = r.rows[std::size_t(slot)];
    const RowButtons b = row_buttons(row.type, row.columns, bits, flag);
    c.view.set_row_buttons(slot, b);
    switch (b.info) {
    case InfoEffect::LockOpening: c.view.set_info(text(kTextCentralLockOpening)); break;
    case InfoEffect::LockClosing: c.view.set_info(text(kTextCentralLockClosing)); break;
    case InfoEffect::Clear: c.view.set_info(""); break;
    case InfoEffect::None: break;
    }
}

bool load_row(RadioContext& c, int slot)
{
    std::string reply;
    if (!command(c, 0x07, hex2(unsigned(slot)), reply))
        return false;
    const auto row = parse_device_record(reply);
    if (!row)
        return false;
    RadioState& r = c.radio;
    r.rows[std::size_t(slot)] = *row;
    c.view.show_row(slot, *row);
    r.rows_loaded |= std::uint16_t(1u << slot);
    draw_row_buttons(c, slot, 0, 0);
    return true;
}

void stop_pairing_shown(RadioContext& c)
{
    c.radio.pairing = false;
    c.view.set_pairing_caption(false);
    c.view.set_info("");
}

// Stops active pairing before a removal; false when the module failed.
bool stop_pairing_first(RadioContext& c)
{
    if (!c.radio.pairing)
        return true;
    std::string reply;
    if (!command(c, 0x11, "", reply)) {
        radio_fail_and_close(c);
        return false;
    }
    stop_pairing_shown(c);
    return true;
}

void handle_event(RadioContext& c)
{
    RadioState& r = c.radio;
    std::string reply;
    if (!command(c, 0x15, "", reply)) {
        radio_fail_and_close(c);
        return;
    }
    const auto ev = parse_radio_event(reply);
    if (!ev)
        return;
    if (ev->slot == 0xFF && ev->bits == 0x3F) {
        // A device asks for its record to be reset.
        if (!command(c, 0x1F, "", reply)) {
            radio_fail_and_close(c);
            return;
        }
        const auto q = parse_radio_query(reply);
        if (q && q->code == 0x0408 &&
            !command(c, 0x18, hex2(q->slot) + std::string(36, 'F'), reply))
            radio_fail_and_close(c);
        return;
    }
    if (ev->slot >= unsigned(r.device_count))
        return;
    unsigned slot = ev->slot;
    if (ev->bits == 0) {
        slot = 0;
    } else {
        std::string tooltip;
        if (ev->major != 0)
            tooltip = "Firmware ver. " + std::to_string(ev->major) + "." +
                      std::to_string(ev->minor) + "." + std::to_string(ev->patch);
        c.view.set_row_status(int(slot), battery_level(ev->power, ev->voltage),
                              antenna_waves(ev->signal), "-" + std::to_string(ev->signal),
                              tooltip);
        c.view.set_row_heard(int(slot), true);
    }
    for (int s = 0; s < r.device_count && r.window_open; ++s)
        draw_row_buttons(c, s, unsigned(s) == slot ? ev->bits : 0, ev->flag);
}

} // namespace

void radio_open(RadioContext& c)
{
    RadioState& r = c.radio;
    if (!c.link.open() || r.opening || r.window_open)
        return;
    r.opening = true;
    c.view.busy_cursor(true);
    platform::pump_events();

    if (!enter_radio_mode(c.link)) {
        r.opening = false;
        c.view.busy_cursor(false);
        c.view.message(text(kTextRadioUsedByRemote));
        return;
    }

    r.placeholder = true;
    std::array<std::uint8_t, 16> info{};
    std::string info_version;
    if (read_radio_info_block(c.link, r, info))
        info_version = info_block_version(info);

    std::string version;
    if (!command(c, 0x01, "", version)) {
        opening_failed(c);
        return;
    }

    r.opening = false;
    r.placeholder = false;
    r.window_open = true;
    c.view.build_window();
    r.version = version;
    if (radio_version_has_password(version))
        c.view.show_password_button();

    c.view.set_info(text(kTextDownloadingRadioConfiguration));
    platform::sleep_ms(10);
    platform::pump_events();

    std::string mac, id_text, name_max;
    bool ok = command(c, 0x03, "", mac) && command(c, 0x04, "", id_text);
    if (ok) {
        const RadioIdentifier id = parse_radio_identifier(id_text);
        const std::string serial = radio_serial_text(id);
        r.id_hex = radio_id_hex(id);
        r.info_short = textf(kTextRadioModuleId, serial.c_str());
        const auto& ow = c.onewire_id;
        r.info_long = textf(kTextRadioModuleInfo, version.c_str(), mac.c_str(), serial.c_str(), ow[0], ow[1],
                            ow[2], ow[3], ow[4], ow[5], ow[6], ow[7]);
        if (!info_version.empty())
            r.info_long += ", OW ver. " + info_version;
        r.info_long_shown = false;
        c.view.set_identity(r.info_short);

        platform::sleep_ms(10);
        platform::pump_events();
        ok = command(c, 0x05, "", name_max);
    }
    if (ok) {
        r.name_max = int(hex_field(name_max, 0, 2).value_or(0));
        c.view.show_name_controls(textf(kTextRadioModuleName, r.name_max));
        ok = radio_load_device_list(c);
    }
    if (!ok) {
        radio_close(c);
        opening_failed(c);
        return;
    }
    c.view.busy_cursor(false);
}

bool radio_load_device_list(RadioContext& c)
{
    RadioState& r = c.radio;
    c.view.busy_cursor(true);
    for (int slot = 0; slot < kRadioSlots; ++slot) {
        r.rows[std::size_t(slot)] = RadioRow{};
        c.view.clear_row(slot);
    }
    c.view.set_info(text(kTextDownloadingDeviceList));
    platform::sleep_ms(20);

    std::string reply;
    std::optional<RadioListState> list;
    if (command(c, 0x08, "", reply))
        list = parse_list_state(reply);
    if (!list) {
        c.view.busy_cursor(false);
        return false;
    }
    r.pairing = list->mode == 0xE7;
    c.view.set_pairing_caption(r.pairing);
    c.view.set_info(text(r.pairing ? kTextPressAndHoldButton : kTextDownloadingDeviceList));
    r.device_count = list->count;
    c.view.set_device_warning(r.device_count >= 6);

    if (!command(c, 0x06, "", reply)) {
        c.view.busy_cursor(false);
        return false;
    }
    c.view.set_name(trim_trailing_blanks(reply));

    r.rows_loaded = 0;
    for (int slot = 0; slot < r.device_count && r.window_open; ++slot)
        for (int t = 0; t < kRowTries && !load_row(c, slot) && r.window_open; ++t) {
        }
    c.view.busy_cursor(false);
    return true;
}

void radio_poll_step(RadioContext& c)
{
    RadioState& r = c.radio;
    if (!r.window_open)
        return;
    const unsigned tick = r.poll_tick++;
    std::string reply;

    if (r.pairing) {
        if (tick % 8 != 0)
            return;
        if (!command(c, 0x08, "", reply)) {
            radio_fail_and_close(c);
            return;
        }
        const auto list = parse_list_state(reply);
        if (!list || !pairing_ended(list->mode_digits))
            return;
        if (list->mode_digits[1] == 'A')
            c.view.message(text(kTextTooManyPaired));
        c.view.set_pairing_caption(false);
        r.pairing = false;
        if (!radio_load_device_list(c))
            radio_fail_and_close(c);
        return;
    }

    c.view.set_info("");
    if (tick % 8 == 0) {
        if (!command(c, 0x02, "", reply)) {
            radio_fail_and_close(c);
            return;
        }
        const std::uint16_t heard = parse_heard_slots(reply);
        for (int slot = 0; slot < r.device_count; ++slot)
            c.view.set_row_heard(slot, (heard >> slot) & 1);
    } else if (tick % 8 == 2 && r.device_count != 0) {
        handle_event(c);
    }
}

void radio_toggle_pairing(RadioContext& c)
{
    RadioState& r = c.radio;
    std::string reply;
    if (!command(c, r.pairing ? 0x11 : 0x10, "", reply)) {
        radio_fail_and_close(c);
        return;
    }
    if (r.pairing) {
        stop_pairing_shown(c);
        return;
    }
    r.pairing = true;
    c.view.set_pairing_caption(true);
    c.view.set_info(text(kTextPressAndHoldButton));
    for (int slot = 0; slot < kRadioSlots; ++slot)
        c.view.set_row_heard(slot, false);
}

namespace {

void erase(RadioContext& c, std::uint8_t code, const std::string& data, int question)
{
    if (!stop_pairing_first(c))
        return;
    if (!c.view.ask(text(question)))
        return;
    if (radio_command_ack_only(c.link, c.radio, code, data)) {
        platform::sleep_ms(1000);
        if (radio_load_device_list(c))
            return;
    }
    radio_close(c);
}

} // namespace

void radio_erase_device(RadioContext& c, int slot)
{
    if (slot < 0 || slot >= kRadioSlots)
        return;
    erase(c, 0x12, hex2(unsigned(slot)), kTextRemoveDeviceQuestion);
}

void radio_erase_all(RadioContext& c)
{
    if (c.radio.device_count == 0)
        return;
    erase(c, 0x13, "", kTextRemoveAllDevicesQuestion);
}

void radio_reset_module(RadioContext& c)
{
    c.view.busy_cursor(true);
    platform::sleep_ms(20);
    platform::pump_events();
    for (int i = 0; i < 3; ++i)
        bridge_write(c.link, kSeqRepeat, kBufReset, {});
    c.view.busy_cursor(false);
}

void radio_change_name(RadioContext& c, const std::string& entry_text)
{
    const std::string name = trim_radio_name(entry_text);
    if (name.empty()) {
        c.view.message(text(kTextNameCannotBeEmpty));
        return;
    }
    if (int(name.size()) > c.radio.name_max) {
        c.view.message(text(kTextNameTooLong));
        return;
    }
    c.view.set_name(name);
    std::string reply;
    if (command(c, 0x09, hex2(unsigned(name.size())) + name, reply))
        c.view.message(text(kTextNameChanged));
    else
        radio_fail_and_close(c);
}

void radio_default_name(RadioContext& c)
{
    std::string reply;
    if (!command(c, 0x09, "00", reply) || !command(c, 0x06, "", reply)) {
        radio_fail_and_close(c);
        return;
    }
    c.view.set_name(trim_trailing_blanks(reply));
    c.view.message(text(kTextNameChanged));
}

void radio_set_password(RadioContext& c, const std::function<bool(std::uint32_t&)>& random)
{
    std::uint32_t n = 0;
    if (!random || !random(n))
        return;
    n &= 0xFFFFFF;
    char digits[8];
    std::snprintf(digits, sizeof digits, "%06X", unsigned(n));
    std::string reply;
    if (command(c, 0x1E, digits, reply))
        c.view.message(textf(kTextNewPasswordSet, unsigned(n)));
    else
        radio_fail_and_close(c);
}

const std::string& radio_toggle_identity(RadioState& radio)
{
    radio.info_long_shown = !radio.info_long_shown;
    return radio.info_long_shown ? radio.info_long : radio.info_short;
}

void radio_close(RadioContext& c)
{
    RadioState& r = c.radio;
    r.rows = {};
    r.rows_loaded = 0;
    r.device_count = 0;
    r.pairing = false;
    r.poll_tick = 0;
    r.info_short.clear();
    r.info_long.clear();
    r.info_long_shown = false;
    if (r.window_open) {
        r.window_open = false;
        c.view.destroy_window();
    }
    leave_radio_mode(c.link);
}

void radio_fail_and_close(RadioContext& c)
{
    RadioState& r = c.radio;
    if (r.window_open)
        c.view.message(text(r.busy ? kTextRadioUsedByRemote : kTextRadioCommunicationError));
    r.busy = false;
    leave_radio_mode(c.link);
    radio_close(c);
}

} // namespace tq
