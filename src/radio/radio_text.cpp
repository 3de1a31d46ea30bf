#include "radio/radio_text.h"

#include <algorithm>
#include <cstdio>

#include <glib.h>

namespace tq {
namespace {

// The leading hex digits of s (at most max_digits); 0 when there are none.
std::uint32_t hex_prefix(std::string_view s, std::size_t max_digits)
{
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < s.size() && i < max_digits; ++i) {
        const int d = g_ascii_xdigit_value(s[i]);
        if (d < 0)
            break;
        v = v * 16 + std::uint32_t(d);
    }
    return v;
}

std::string hex2(unsigned v)
{
    char buf[3];
    std::snprintf(buf, sizeof buf, "%02X", v & 0xFF);
    return buf;
}

} // namespace

std::string radio_request_line(std::uint8_t code, std::string_view data)
{
    std::string line = hex2(code);
    line += data;
    line += hex2(crc8_maxim(line));
    line += '\n';
    return line;
}

std::optional<std::string> accept_radio_reply(std::string_view text, std::uint8_t code)
{
    const std::size_t end = text.rfind('\n');
    if (end == std::string_view::npos)
        return std::nullopt;
    const std::size_t prev = end == 0 ? std::string_view::npos : text.rfind('\n', end - 1);
    const std::size_t start = prev == std::string_view::npos ? 0 : prev + 1;
    const std::string_view line = text.substr(start, end - start);
    if (line.size() < 6)
        return std::nullopt;
    const std::string_view body = line.substr(0, line.size() - 2);
    if (line.substr(line.size() - 2) != hex2(crc8_maxim(body)))
        return std::nullopt;
    if (line.substr(0, 2) != hex2(code) || line[2] != 'e' || line[3] == '6')
        return std::nullopt;
    return std::string(body.substr(4));
}

std::optional<unsigned> hex_field(std::string_view s, std::size_t pos, std::size_t width)
{
    if (pos > s.size() || width > s.size() - pos || width == 0)
        return std::nullopt;
    unsigned v = 0;
    for (std::size_t i = 0; i < width; ++i) {
        const int d = g_ascii_xdigit_value(s[pos + i]);
        if (d < 0)
            return std::nullopt;
        v = v * 16 + unsigned(d);
    }
    return v;
}

std::optional<std::array<int, 3>> parse_radio_version(std::string_view text)
{
    std::array<int, 3> v{};
    std::size_t i = 0;
    for (int part = 0; part < 3; ++part) {
        if (part > 0) {
            if (i >= text.size() || text[i] != '.')
                return std::nullopt;
            ++i;
        }
        const std::size_t first = i;
        long n = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9' && i - first < 6)
            n = n * 10 + (text[i++] - '0');
        if (i == first)
            return std::nullopt;
        v[std::size_t(part)] = int(n);
    }
    return v;
}

bool radio_version_has_password(std::string_view text)
{
    const auto v = parse_radio_version(text);
    return v && *v > std::array<int, 3>{1, 5, 5};
}

RadioIdentifier parse_radio_identifier(std::string_view text)
{
    RadioIdentifier id;
    id.low = hex_prefix(text, 8);
    if (text.size() > 10)
        id.high = hex_prefix(text.substr(8), 8);
    return id;
}

std::string radio_serial_text(const RadioIdentifier& id)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "22%010u", unsigned(id.low));
    return buf;
}

std::string radio_id_hex(const RadioIdentifier& id)
{
    char buf[20];
    std::snprintf(buf, sizeof buf, "%08X%08X", unsigned(id.high), unsigned(id.low));
    return buf;
}

DeviceLook device_look(int type, int subtype)
{
    switch (type) {
    case 1:
        if (subtype == 2)
            return {DeviceArt::PhoneAndroid, 2};
        if (subtype == 3)
            return {DeviceArt::PhoneApple, 2};
        return {DeviceArt::Unknown, 2};
    case 2:
        return subtype == 4 ? DeviceLook{DeviceArt::CardQr, 0} : DeviceLook{DeviceArt::Fob, 1};
    case 3: return {DeviceArt::Remote, 2};
    case 4: return {DeviceArt::Siren, 3};
    case 5: return {DeviceArt::Lugged, 3};
    case 6: return {DeviceArt::Oval, 3};
    default: return {DeviceArt::Unknown, 5};
    }
}

std::optional<RadioRow> parse_device_record(std::string_view text)
{
    const auto subtype = hex_field(text, 2, 2);
    const auto type = hex_field(text, 4, 2);
    if (!hex_field(text, 0, 2) || !subtype || !type || text.size() < 14)
        return std::nullopt;
    RadioRow row;
    row.type = int(*type);
    row.subtype = int(*subtype);
    row.columns = device_look(row.type, row.subtype).columns;
    row.name = trim_trailing_blanks(text.substr(14));
    return row;
}

std::optional<RadioEvent> parse_radio_event(std::string_view text)
{
    const auto a = hex_field(text, 0, 2), b = hex_field(text, 2, 2), c = hex_field(text, 4, 2);
    const auto e = hex_field(text, 8, 4), f = hex_field(text, 12, 4), g = hex_field(text, 16, 2);
    if (!a || !b || !c || !e || !f || !g)
        return std::nullopt;
    RadioEvent ev{*a, *b, *c, *e, *f, *g};
    if (text.size() != 18) {
        ev.major = int(hex_field(text, 18, 2).value_or(0));
        ev.minor = int(hex_field(text, 20, 2).value_or(0));
        ev.patch = int(hex_field(text, 22, 2).value_or(0));
    }
    return ev;
}

std::optional<RadioListState> parse_list_state(std::string_view text)
{
    const auto mode = hex_field(text, 0, 2);
    const auto count = hex_field(text, 2, 2);
    if (!mode || !count)
        return std::nullopt;
    RadioListState s;
    s.mode = *mode;
    s.count = int(std::min(*count, unsigned(kRadioSlots)));
    s.mode_digits = std::string(text.substr(0, 2));
    return s;
}

bool pairing_ended(std::string_view d)
{
    return d.size() >= 2 && d[0] == 'E' && (d[1] == '8' || d[1] == '9' || d[1] == 'A');
}

std::uint16_t parse_heard_slots(std::string_view text)
{
    std::uint16_t heard = 0;
    for (std::size_t g = 0; g < 8; ++g) {
        const auto slot = hex_field(text, g * 4, 4);
        if (!slot)
            break;
        if (*slot < unsigned(kRadioSlots))
            heard |= std::uint16_t(1u << *slot);
    }
    return heard;
}

std::optional<RadioQuery> parse_radio_query(std::string_view text)
{
    const auto slot = hex_field(text, 0, 2);
    const auto code = hex_field(text, 2, 4);
    if (!slot || !code)
        return std::nullopt;
    return RadioQuery{*slot, *code};
}

int battery_level(unsigned e, unsigned f)
{
    if (e & 0x8000) {
        const unsigned v = e & 0x7FFF;
        if (v < 50)
            return 1;
        if (v < 150)
            return 2;
        if (v < 250)
            return 3;
        if (v < 350)
            return 4;
        return v >= 450 ? 6 : 5;
    }
    if (e == 254)
        return kBatteryPlusMinus;
    if (e == 255)
        return kBatteryNone;
    if (f <= 1424)
        return 1;
    if (f <= 1486)
        return 2;
    if (f <= 1532)
        return 3;
    if (f <= 1566)
        return 4;
    return f >= 1590 ? 6 : 5;
}

int antenna_waves(unsigned g)
{
    if (g >= 93)
        return 0;
    if (g >= 79)
        return 1;
    if (g >= 65)
        return 2;
    if (g >= 51)
        return 3;
    return 4;
}

RowButtons row_buttons(int type, int columns, unsigned bits, unsigned flag)
{
    RowButtons r;
    columns = std::clamp(columns, 0, 5);
    r.spacer_width = (5 - columns) * 33;
    if (bits & 0x80)
        bits |= 0x01;
    const bool sensor = type >= 4 && type <= 6;
    for (int c = 0; c < columns; ++c) {
        ButtonCell cell;
        if (sensor && c == 0) {
            cell.kind = ButtonCell::State;
            switch (bits & 3) {
            case 0: cell.state = 0; break;
            case 1: cell.state = type == 4 ? 4 : 2; break;
            case 2: cell.state = type == 4 ? 2 : 1; break;
            default: cell.state = 3; break;
            }
        } else if (sensor && c == 1) {
            if (type == 4) {
                cell.kind = ButtonCell::Empty;
            } else {
                cell.kind = ButtonCell::State;
                cell.state = (bits & 4) && bits != 0 ? 1 : 0;
            }
        } else {
            cell.kind = ButtonCell::Button;
            const bool pressed = sensor ? (bits >> (c + 1)) & 1 : (bits >> c) & 1;
            cell.symbol = c == 0 && type == 2 ? 5 : c;
            cell.colour = !pressed ? 0 : flag == 0 ? 1 : 2;
            if (pressed && !sensor) {
                if (flag == 0 && c == 0 && !(bits & 0x80))
                    r.info = InfoEffect::LockOpening;
                else if (flag == 0 && c == 1)
                    r.info = InfoEffect::LockClosing;
                else
                    r.info = InfoEffect::Clear;
            }
        }
        r.cells.push_back(cell);
    }
    return r;
}

std::string trim_trailing_blanks(std::string_view text)
{
    std::size_t n = text.size();
    while (n > 0 && text[n - 1] == ' ')
        --n;
    return std::string(text.substr(0, n));
}

std::string trim_radio_name(std::string_view text)
{
    std::size_t first = 0;
    while (first < text.size() && text[first] == ' ')
        ++first;
    text = text.substr(first);
    if (text.size() > 49)
        text = text.substr(0, 49);
    return trim_trailing_blanks(text);
}

} // namespace tq
