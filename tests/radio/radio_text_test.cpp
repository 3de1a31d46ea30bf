#include "radio/radio_text.h"

#include <gtest/gtest.h>

namespace tq {
namespace {

TEST(RadioLine, Crc8MaximCheckValueAndRequestLines)
{
    EXPECT_EQ(crc8_maxim("123456789"), 0xA1);
    EXPECT_EQ(crc8_maxim(""), 0x00);

    struct Case {
        std::uint8_t code;
        std::string data;
    } cases[] = {{0x01, ""}, {0x07, "03"}, {0x1E, "A1B2C3"}, {0x09, "05HELLO"}, {0xFF, "x"}};
    for (const Case& c : cases) {
        const std::string line = radio_request_line(c.code, c.data);
        SCOPED_TRACE(line);
        ASSERT_EQ(line.size(), c.data.size() + 5);
        char code[3];
        std::snprintf(code, sizeof code, "%02X", c.code);
        EXPECT_EQ(line.substr(0, 2), code);
        EXPECT_EQ(line.substr(2, c.data.size()), c.data);
        char crc[3];
        std::snprintf(crc, sizeof crc, "%02X", crc8_maxim(line.substr(0, line.size() - 3)));
        EXPECT_EQ(line.substr(line.size() - 3, 2), crc);
        EXPECT_EQ(line.back(), '\n');
    }
    // Whole lines, their CRCs worked out independently.
    EXPECT_EQ(radio_request_line(0x01, ""), "01CD\n");
    EXPECT_EQ(radio_request_line(0x07, "03"), "07039D\n");
    EXPECT_EQ(radio_request_line(0x1E, "A1B2C3"), "1EA1B2C35E\n");
}

// A reply line as the module writes it: code, "e", status, data, CRC, LF.
std::string reply(const std::string& code, char status, const std::string& data)
{
    std::string body = code + "e" + status + data;
    char crc[3];
    std::snprintf(crc, sizeof crc, "%02X", crc8_maxim(body));
    return body + crc + "\n";
}

TEST(RadioLine, ReplyAcceptance)
{
    const std::string good = reply("06", '0', "MY NAME   ");
    std::string bad_crc = good;
    bad_crc[bad_crc.size() - 2] ^= 1;
    struct Case {
        const char* what;
        std::string text;
        std::uint8_t code;
        std::optional<std::string> expect;
    } cases[] = {
        {"one line", good, 0x06, "MY NAME   "},
        {"empty data", reply("10", '0', ""), 0x10, ""},
        {"last complete line counts", reply("06", '0', "OLD") + good, 0x06, "MY NAME   "},
        {"partial line after it is ignored", good + "06e0PART", 0x06, "MY NAME   "},
        {"earlier good line does not save a bad last one", good + reply("07", '0', "X"), 0x06,
         std::nullopt},
        {"no line feed", good.substr(0, good.size() - 1), 0x06, std::nullopt},
        {"wrong CRC", bad_crc, 0x06, std::nullopt},
        {"wrong echo", good, 0x07, std::nullopt},
        {"status 6", reply("06", '6', ""), 0x06, std::nullopt},
        {"third character not e", reply("06", '0', "").replace(2, 1, "E"), 0x06, std::nullopt},
        {"too short", "06\n", 0x06, std::nullopt},
        {"lower-case CRC digits", "01e0" + std::string("1.5.6") + "ab\n", 0x01, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(accept_radio_reply(c.text, c.code), c.expect);
    }
}

TEST(RadioRecords, VersionIdentifierAndListState)
{
    EXPECT_FALSE(radio_version_has_password("1.5.5"));
    EXPECT_TRUE(radio_version_has_password("1.5.6"));
    EXPECT_TRUE(radio_version_has_password("1.6.0"));
    EXPECT_TRUE(radio_version_has_password("2.0.0"));
    EXPECT_FALSE(radio_version_has_password("1.4.99"));
    EXPECT_FALSE(radio_version_has_password("garbage"));
    EXPECT_FALSE(radio_version_has_password("1.6"));

    // Ten characters or fewer: no high half.
    auto id = parse_radio_identifier("0012D687FF");
    EXPECT_EQ(id.low, 0x0012D687u);
    EXPECT_EQ(id.high, 0u);
    EXPECT_EQ(radio_serial_text(id), "220001234567");
    id = parse_radio_identifier("0012D68700A1B2C3");
    EXPECT_EQ(id.high, 0x00A1B2C3u);
    EXPECT_EQ(radio_id_hex(id), "00A1B2C30012D687");

    auto list = parse_list_state("E70300");
    ASSERT_TRUE(list);
    EXPECT_EQ(list->mode, 0xE7u);
    EXPECT_EQ(list->count, 3);
    EXPECT_EQ(parse_list_state("E8FF00")->count, 12); // never more rows than there are
    EXPECT_FALSE(parse_list_state("E"));
    EXPECT_TRUE(pairing_ended("E8"));
    EXPECT_TRUE(pairing_ended("EA"));
    EXPECT_FALSE(pairing_ended("E7"));

    EXPECT_EQ(parse_heard_slots("00000003000B000C"), 0b1000'0000'1001);
    EXPECT_EQ(parse_heard_slots(""), 0);
}

TEST(RadioRecords, EventShortAndLongForms)
{
    auto ev = parse_radio_event("0301020080C805DC3F");
    ASSERT_TRUE(ev);
    EXPECT_EQ(ev->bits, 0x03u);
    EXPECT_EQ(ev->flag, 0x01u);
    EXPECT_EQ(ev->slot, 0x02u);
    EXPECT_EQ(ev->power, 0x80C8u);
    EXPECT_EQ(ev->voltage, 0x05DCu);
    EXPECT_EQ(ev->signal, 0x3Fu);
    EXPECT_EQ(ev->major, 0);

    ev = parse_radio_event("0301020080C805DC3F020107");
    ASSERT_TRUE(ev);
    EXPECT_EQ(ev->major, 2);
    EXPECT_EQ(ev->minor, 1);
    EXPECT_EQ(ev->patch, 7);

    EXPECT_FALSE(parse_radio_event("0301020080C805DC"));  // cut short
    EXPECT_FALSE(parse_radio_event("03010200ZZC805DC3F")); // not hex

    auto row = parse_device_record("03000300000000Remote 1   ");
    ASSERT_TRUE(row);
    EXPECT_EQ(row->type, 3);
    EXPECT_EQ(row->subtype, 0);
    EXPECT_EQ(row->columns, 2);
    EXPECT_EQ(row->name, "Remote 1");
    EXPECT_FALSE(parse_device_record("030003"));
}

TEST(RadioRecords, DeviceLooks)
{
    struct Case {
        int type, subtype;
        DeviceArt art;
        int columns;
    } cases[] = {
        {1, 2, DeviceArt::PhoneAndroid, 2}, {1, 3, DeviceArt::PhoneApple, 2},
        {1, 9, DeviceArt::Unknown, 2},      {2, 4, DeviceArt::CardQr, 0},
        {2, 1, DeviceArt::Fob, 1},          {3, 7, DeviceArt::Remote, 2},
        {4, 0, DeviceArt::Siren, 3},        {5, 0, DeviceArt::Lugged, 3},
        {6, 0, DeviceArt::Oval, 3},         {9, 0, DeviceArt::Unknown, 5},
    };
    for (const Case& c : cases) {
        const DeviceLook l = device_look(c.type, c.subtype);
        EXPECT_EQ(l.art, c.art) << c.type << "/" << c.subtype;
        EXPECT_EQ(l.columns, c.columns) << c.type << "/" << c.subtype;
    }
}

TEST(RadioRecords, PowerAndSignalPictures)
{
    struct Power {
        unsigned e, f;
        int level;
    } power[] = {
        {0x8000 | 49, 0, 1}, {0x8000 | 50, 0, 2},   {0x8000 | 149, 0, 2}, {0x8000 | 249, 0, 3},
        {0x8000 | 349, 0, 4}, {0x8000 | 350, 0, 5}, {0x8000 | 449, 0, 5}, {0x8000 | 450, 0, 6},
        {254, 0, kBatteryPlusMinus}, {255, 9999, kBatteryNone},
        {0, 1424, 1}, {0, 1425, 2}, {0, 1486, 2}, {0, 1532, 3}, {0, 1566, 4}, {0, 1567, 5},
        {0, 1589, 5}, {0, 1590, 6},
    };
    for (const Power& p : power)
        EXPECT_EQ(battery_level(p.e, p.f), p.level) << std::hex << p.e << " " << std::dec << p.f;

    const std::pair<unsigned, int> signal[] = {{93, 0}, {120, 0}, {92, 1}, {79, 1}, {78, 2},
                                               {65, 2}, {64, 3},  {51, 3}, {50, 4}, {0, 4}};
    for (const auto& [g, waves] : signal)
        EXPECT_EQ(antenna_waves(g), waves) << g;
}

TEST(RadioRecords, RowButtonPictures)
{
    using C = ButtonCell;
    const C grey_open{C::Button, 0, 0, 0}, red_open{C::Button, 0, 0, 1};
    const C grey_closed{C::Button, 0, 1, 0}, blue_closed{C::Button, 0, 1, 2};

    // A remote: lock opening on column 0 with no event flag.
    RowButtons b = row_buttons(3, 2, 0x01, 0);
    EXPECT_EQ(b.cells, (std::vector<C>{red_open, grey_closed}));
    EXPECT_EQ(b.spacer_width, 3 * 33);
    EXPECT_EQ(b.info, InfoEffect::LockOpening);
    // Bit 7 presses column 0 as well, but it is not an opening then.
    b = row_buttons(3, 2, 0x80, 0);
    EXPECT_EQ(b.cells[0], red_open);
    EXPECT_EQ(b.info, InfoEffect::Clear);
    // Closing with an event flag shows blue and is no lock message.
    b = row_buttons(3, 2, 0x02, 1);
    EXPECT_EQ(b.cells, (std::vector<C>{grey_open, blue_closed}));
    EXPECT_EQ(b.info, InfoEffect::Clear);
    EXPECT_EQ(row_buttons(3, 2, 0x02, 0).info, InfoEffect::LockClosing);
    EXPECT_EQ(row_buttons(3, 2, 0, 0).info, InfoEffect::None);
    // A fobrix: power symbol.
    EXPECT_EQ(row_buttons(2, 1, 0x01, 0).cells[0], (C{C::Button, 0, 5, 1}));
    // A fobrix card has no columns at all.
    EXPECT_TRUE(row_buttons(2, 0, 0xFF, 0).cells.empty());

    // Sensors: two state columns, then buttons from bit 3 on.
    struct State {
        int type;
        unsigned bits;
        int first, second;
    } states[] = {{5, 0, 0, 0}, {5, 1, 2, 0}, {5, 2, 1, 0}, {5, 3, 3, 0}, {5, 4, 0, 1},
                  {4, 1, 4, -1}, {4, 2, 2, -1}, {6, 0x80, 2, 0}};
    for (const State& s : states) {
        b = row_buttons(s.type, 3, s.bits, 0);
        SCOPED_TRACE(testing::Message() << s.type << " " << s.bits);
        ASSERT_EQ(b.cells.size(), 3u);
        EXPECT_EQ(b.cells[0], (C{C::State, s.first, 0, 0}));
        if (s.second < 0)
            EXPECT_EQ(b.cells[1].kind, C::Empty);
        else
            EXPECT_EQ(b.cells[1], (C{C::State, s.second, 0, 0}));
        EXPECT_EQ(b.info, InfoEffect::None); // sensors never write lock messages
    }
    b = row_buttons(4, 3, 0x08, 1);
    EXPECT_EQ(b.cells[2], (C{C::Button, 0, 2, 2})); // bell, blue
}

TEST(RadioRecords, NameTrimming)
{
    EXPECT_EQ(trim_radio_name("   my car  "), "my car");
    EXPECT_EQ(trim_radio_name("    "), "");
    EXPECT_EQ(trim_radio_name(std::string(60, 'x')).size(), 49u);
    // Cut to 49 first, then trailing blanks go.
    EXPECT_EQ(trim_radio_name(std::string(45, 'x') + "     yy"), std::string(45, 'x'));
}

} // namespace
} // namespace tq
