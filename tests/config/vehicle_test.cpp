#include "config/record.h"
#include "config/vehicle.h"
#include "config/vehicle_table.h"
#include "support/temp_folder.h"
#include "text/texts.h"

#include <gtest/gtest.h>

namespace tq {
namespace {

// A small table built for the lookup rules: a model with a secondary level
// ahead of a model with the same primary level, two models sharing a key,
// firmware minimums that leave gaps in the model list, notes in some
// languages only, an empty make.
constexpr const char* kFixture = R"(# fixture
make "Alpha" 4
model "One" "X1" "2001-2005" 3 110 10 0 "Notatka" "Note" - 1049 0
model "Two" - - 5 0 11 0 - - "Примечание" 1049 0
model "Three" "" "2010->" 7 0 12 0 - - - 1107 0
model "Four" "X4" - 3 0 16 0 - "Only English" - 1049 0
make "Beta" 3
  model "Five" "B5" - 110 0 13 0 - - - 1049 0
	model "Shared1" - - 8 20 14 0 - - - 1049 0
model "Shared2" - - 9 8 14 0 - - - 1049 0
make "Empty" 0
make "Gamma" 2
model "Future" - - 4 0 15 0 - - - 1107 0
model "Now" - - 4 0 17 0 - - - 1052 0
)";

VehicleTable fixture()
{
    VehicleTable t;
    std::string error;
    EXPECT_TRUE(parse_vehicle_table(kFixture, t, error)) << error;
    return t;
}

struct Lookup : ::testing::Test {
    VehicleTable table = fixture();
    ConfigState s;
    void start(int version)
    {
        s.vehicles = &table;
        begin_config_session(s, UnitKind{512, version});
    }
    // "Make/Model" of the chosen row, "kept" for the kept vehicle, or "" when
    // none.
    std::string chosen() const
    {
        const VehicleSelection& v = s.vehicle;
        if (v.make < 0 || v.row < 0)
            return "";
        if (v.make == int(table.makes.size()))
            return "kept";
        const VehicleMake& mk = table.makes[std::size_t(v.make)];
        return mk.name + "/" + *mk.models[std::size_t(v.rows[std::size_t(v.row)])].name;
    }
};

TEST_F(Lookup, ExactMatchThenPrimaryThenSecondary)
{
    start(1106);
    struct Case {
        long level;
        int key;
        const char* result;
    } cases[] = {
        {3, 0xFFFF, "Alpha/One"},     // unknown key: first primary match
        {110, 10, "Alpha/One"},       // exact match on the secondary level
        {110, 13, "Beta/Five"},
        {110, 0, "Beta/Five"},        // a primary match beats an earlier secondary one
        {20, 0, "Beta/Shared1"},      // secondary only
        {8, 14, "Beta/Shared1"},      // two models share key 14: the first wins
        {9, 14, "Beta/Shared2"},
        {3, 16, "Alpha/Four"},
        {7, 12, ""},                  // needs firmware 1107
        {4, 0, "Gamma/Now"},          // the earlier Future needs 1107
        {0, 10, ""},                  // level 0 searches nothing
        {999, 0, ""},
    };
    for (const Case& c : cases) {
        select_vehicle(s, c.level, c.key, false);
        EXPECT_EQ(chosen(), c.result) << c.level << "/" << c.key;
        EXPECT_EQ(s.vehicle.last_lookup_level, c.level);
        EXPECT_TRUE(s.vehicle.level_entry_follows);
    }
    select_vehicle(s, 999, 0, false);
    EXPECT_EQ(s.vehicle.make, -1);
    EXPECT_TRUE(s.vehicle.rows.empty());
    EXPECT_EQ(selected_vehicle_key(s), 0);
}

TEST_F(Lookup, FirmwareFilterLeavesRowsAndRecordsApart)
{
    start(1106);
    select_vehicle(s, 4, 0, false);
    ASSERT_EQ(s.vehicle.rows, (std::vector<int>{1}));
    EXPECT_EQ(s.vehicle.row, 0);
    EXPECT_EQ(selected_vehicle_key(s), 17);

    choose_make(s, 0);
    EXPECT_EQ(s.vehicle.rows, (std::vector<int>{0, 1, 3}));
    start(1107);
    choose_make(s, 0);
    EXPECT_EQ(s.vehicle.rows, (std::vector<int>{0, 1, 2, 3}));
    choose_make(s, 2); // a make without models
    EXPECT_TRUE(s.vehicle.rows.empty());
    EXPECT_EQ(s.vehicle.row, -1);
    EXPECT_EQ(selected_vehicle_key(s), 0);
    EXPECT_EQ(make_names(s).size(), 4u);
}

TEST_F(Lookup, TheLevelEntryFollowsChoicesButNotTyping)
{
    start(1106);
    EXPECT_TRUE(s.vehicle.level_caption.empty());
    // A model choice writes its primary level and sets the caption.
    choose_make(s, 1);
    EXPECT_EQ(text_of(s, Field::CanLevel), "110");
    EXPECT_EQ(s.vehicle.level_caption, "  3. CAN-bus level selection:");
    choose_model(s, 1);
    EXPECT_EQ(text_of(s, Field::CanLevel), "8");

    // Typing a level looks it up without rewriting what is typed.
    set_text(s, Field::CanLevel, "20abc");
    EXPECT_EQ(chosen(), "Beta/Shared1");
    EXPECT_EQ(text_of(s, Field::CanLevel), "20abc");
    set_text(s, Field::CanLevel, "12345");
    EXPECT_EQ(chosen(), "");
    EXPECT_EQ(text_of(s, Field::CanLevel), "12345");

    // A lookup with update writes the requested level, even a secondary one.
    select_vehicle(s, 110, 10, true);
    EXPECT_EQ(chosen(), "Alpha/One");
    EXPECT_EQ(text_of(s, Field::CanLevel), "110");
}

// A unit's vehicle that the table lacks is kept as the unit stores it: the
// lists name it by its key, typing a level keeps it, and only choosing a
// model of the table replaces it (until it is chosen again).
TEST_F(Lookup, AVehicleTheTableLacksIsKept)
{
    start(1106);
    restore_vehicle(s, 3, 999, true); // level 3 has models, key 999 has none
    EXPECT_EQ(chosen(), "kept");
    EXPECT_EQ(selected_vehicle_key(s), 999);
    EXPECT_EQ(text_of(s, Field::CanLevel), "3");
    EXPECT_EQ(s.vehicle.level_caption, "  3. CAN-bus level selection:");
    ASSERT_EQ(make_names(s).size(), 5u);
    EXPECT_EQ(make_names(s).back(), "no. 999");
    EXPECT_EQ(model_row_texts(s),
              std::vector<std::string>{"vehicle no. 999 (not in this program's table)"});

    set_text(s, Field::CanLevel, "8");
    EXPECT_EQ(selected_vehicle_key(s), 999);
    EXPECT_EQ(text_of(s, Field::CanLevel), "8");

    choose_make(s, 0);
    EXPECT_EQ(chosen(), "Alpha/One");
    EXPECT_EQ(selected_vehicle_key(s), 10);
    EXPECT_EQ(make_names(s).size(), 5u); // the way back stays open
    choose_make(s, 4);
    EXPECT_EQ(selected_vehicle_key(s), 999);
    EXPECT_EQ(text_of(s, Field::CanLevel), "3");

    // A vehicle the table has is chosen as usual, and the kept one goes.
    restore_vehicle(s, 110, 10, true);
    EXPECT_EQ(chosen(), "Alpha/One");
    EXPECT_EQ(make_names(s).size(), 4u);
    // Its key with another level, or a model the firmware lacks, is kept.
    restore_vehicle(s, 5, 10, true);
    EXPECT_EQ(selected_vehicle_key(s), 10);
    EXPECT_EQ(chosen(), "kept");
    restore_vehicle(s, 7, 12, true);
    EXPECT_EQ(selected_vehicle_key(s), 12);
    EXPECT_EQ(chosen(), "kept");
}

// A dealer's table: the user's folder before the system's before the
// built-in table; a file that does not parse is passed over with its line.
TEST(VehicleTableSources, FirstUsableFileWins)
{
    test::TempFolder user, system1, system2, empty;
    const std::string dealer = "make \"Dealer\" 1\nmodel \"X\" - - 3 0 999 0 - - - 1049 0\n";
    const std::string bad = "make \"Broken\" 1\nmodel \"X\" - - 3\n";
    system2.write("tq512/vehicles.txt", dealer);

    VehicleTableChoice c = choose_vehicle_table({empty.path(), system2.path()});
    EXPECT_EQ(c.path, system2 / "tq512/vehicles.txt");
    ASSERT_EQ(c.table.makes.size(), 1u);
    EXPECT_EQ(c.table.makes[0].name, "Dealer");
    EXPECT_TRUE(c.refused.empty());

    user.write("tq512/vehicles.txt", bad);
    system1.write("tq512/vehicles.txt", "");
    c = choose_vehicle_table({user.path(), system1.path(), system2.path()});
    EXPECT_EQ(c.path, system2 / "tq512/vehicles.txt");
    ASSERT_EQ(c.refused.size(), 2u);
    EXPECT_EQ(c.refused[0].first, user / "tq512/vehicles.txt");
    EXPECT_EQ(c.refused[0].second, "line 2: a model line has 12 fields");
    EXPECT_EQ(c.refused[1].second, "no make");

    c = choose_vehicle_table({user.path(), empty.path()});
    EXPECT_TRUE(c.path.empty());
    EXPECT_EQ(c.table.makes.size(), builtin_vehicle_table().makes.size());
    EXPECT_EQ(c.refused.size(), 1u);

    std::string report;
    EXPECT_EQ(check_vehicle_table(system2 / "tq512/vehicles.txt", report), 0);
    EXPECT_EQ(report, system2 / "tq512/vehicles.txt" + ": 1 makes, 1 models\n");
    EXPECT_EQ(check_vehicle_table(user / "tq512/vehicles.txt", report), 1);
    EXPECT_EQ(report, user / "tq512/vehicles.txt" + ": line 2: a model line has 12 fields\n");
    EXPECT_EQ(check_vehicle_table(empty / "none.txt", report), 1);
    EXPECT_NE(report.find("none.txt: "), std::string::npos);
}

TEST(ModelRow, TextAndNotePerLanguage)
{
    const VehicleTable t = fixture();
    const auto& alpha = t.makes[0].models;
    struct Case {
        std::size_t model;
        const char* language;
        const char* text;
    } cases[] = {
        {0, "en", "One X1 year 2001-2005\nNote"},
        {0, "pl", "One X1 year 2001-2005\nNotatka"},
        {0, "ru", "One X1 year 2001-2005\nNote"},   // no Russian note: the English one
        {1, "ru", "Two\nПримечание"},
        {1, "de", "Two"},                           // only a Russian note: none
        {1, "en", "Two"},
        {2, "en", "Three  year 2010->"},            // an empty variant keeps its blank
        {3, "pl", "Four X4"},                       // only an English note: none in Polish
        {3, "cs", "Four X4\nOnly English"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(model_row_text(alpha[c.model], c.language, "year"), c.text)
            << c.model << " " << c.language;
}

TEST(VehicleTableText, MalformedTablesAreRefusedWithTheLine)
{
    struct Case {
        const char* text;
        const char* error;
    } cases[] = {
        {"make \"A\" 2\nmodel \"x\" - - 1 0 1 0 - - - 1049 0\n", "line 2: the last make has fewer"},
        {"make \"A\" 0\nmodel \"x\" - - 1 0 1 0 - - - 1049 0\n", "line 2: a model line beyond"},
        {"make \"A\" 1\nmodel \"x\" - - 70000 0 1 0 - - - 1049 0\n", "line 2: bad number"},
        {"make \"A\" 1\nmodel \"x\" - - 1 0 1 0 - - - 1049\n", "line 2: a model line has 12"},
        {"make \"A\" 1\nmodel x - - 1 0 1 0 - - - 1049 0\n", "line 2: texts must be quoted"},
        {"make \"A\" 1\nmodel \"x - - 1 0 1 0 - - - 1049 0\n", "line 2: unterminated text"},
        {"make \"A\" 1\nmodel \"\xff\" - - 1 0 1 0 - - - 1049 0\n", "line 2: text is not UTF-8"},
        {"car \"A\" 1\n", "line 1: unknown record"},
        {"make A 1\n", "line 1: a make line is"},
    };
    for (const Case& c : cases) {
        VehicleTable t;
        std::string error;
        EXPECT_FALSE(parse_vehicle_table(c.text, t, error)) << c.text;
        EXPECT_EQ(error.rfind(c.error, 0), 0u) << error;
        EXPECT_TRUE(t.makes.empty());
    }
    // Escapes, CR LF line ends and no final line end.
    VehicleTable t;
    std::string error;
    ASSERT_TRUE(parse_vehicle_table("make \"A \\\"B\\\"\" 1\r\nmodel \"a\\\\b\" - - 1 0 1 0 - - - 1049 0",
                                    t, error))
        << error;
    EXPECT_EQ(t.makes[0].name, "A \"B\"");
    EXPECT_EQ(*t.makes[0].models[0].name, "a\\b");
}

// The table the program ships.
struct Shipped : ::testing::Test {
    ConfigState s;
    void start(int version) { begin_config_session(s, UnitKind{512, version}); }
    std::string chosen_row() const
    {
        const auto rows = model_row_texts(s);
        return s.vehicle.row < 0 ? "" : make_names(s)[std::size_t(s.vehicle.make)] + "/" +
                                            rows[std::size_t(s.vehicle.row)];
    }
};

TEST_F(Shipped, AllMakesInOrder)
{
    start(1105);
    const std::vector<std::string> makes = {
        "Acura", "Alfa Romeo", "Aston Martin", "Audi", "Bentley", "BMW", "Chevrolet", "Chrysler",
        "Citroen", "Cupra", "Dacia", "DAF", "Dodge", "DS Automobiles", "Fiat", "Ford", "Honda",
        "Hyundai", "Infiniti", "Isuzu", "Iveco", "Jaguar", "Jeep", "Kia", "Lada", "Lamborghini",
        "Land Rover", "Lexus", "MAN", "Maserati", "Maxus", "Mazda", "Mercedes", "MG", "Mini",
        "Mitsubishi", "Nissan", "Opel", "Peugeot", "Porsche", "Renault", "Rolls-Royce", "Saab",
        "Scania", "Seat", "Skoda", "Smart", "Ssangyong", "Subaru", "Suzuki", "Tesla", "Toyota",
        "Volkswagen", "Volvo"};
    EXPECT_EQ(make_names(s), makes);

    const VehicleModel& bmw = builtin_vehicle_table().makes[5].models[0];
    EXPECT_EQ(bmw.name, std::optional<std::string>(""));
    EXPECT_EQ(bmw.variant, std::optional<std::string>("G__"));
    EXPECT_FALSE(bmw.years);
    EXPECT_EQ(bmw.primary_level, 265);
    EXPECT_EQ(bmw.key, 1415);
    EXPECT_EQ(bmw.min_firmware, 1075u);
    const VehicleModel& aveo = builtin_vehicle_table().makes[6].models[0];
    EXPECT_EQ(aveo.note_en, std::optional<std::string>("check installation diagram for proper level "));
}

TEST_F(Shipped, LookupsOfKnownCars)
{
    start(1106);
    struct Case {
        long level;
        int key;
        const char* row;
    } cases[] = {
        {3, 0xFFFF, "Audi/A1 8X year 2010-2018"},
        {110, 73, "Audi/A4 8E year 2004-2008\nAfter facelift. (FL)"},
        {110, 0, "Audi/A1 8X year 2010-2018"},
        {188, 1576, "Maserati/Grecale  year 2022->"},
        {29, 190, "Acura/TSX  year 2004-2008"},
        {295, 1528, ""}, // BMW iX needs firmware 1107
        {265, 1415, "BMW/ G__"},
    };
    for (const Case& c : cases) {
        select_vehicle(s, c.level, c.key, true);
        EXPECT_EQ(chosen_row(), c.row) << c.level << "/" << c.key;
    }
    choose_make(s, 5);
    EXPECT_EQ(model_row_texts(s), (std::vector<std::string>{" G__"}));
    start(1107);
    select_vehicle(s, 295, 1528, true);
    EXPECT_EQ(chosen_row(), "BMW/iX I20 year 2022->");
}

TEST_F(Shipped, RowTextsUseTheUiLanguage)
{
    start(1105);
    TextState& t = text_state();
    const TextState saved = t;
    t.language_index = find_language("pl");
    t.texts = kLanguages[std::size_t(t.language_index)].table;
    select_vehicle(s, 104, 544, true);
    const std::string row = model_row_texts(s)[std::size_t(s.vehicle.row)];
    t = saved;
    EXPECT_EQ(row, std::string("A6 4G ") + kTextsPolish[8] +
                       " 2011->\nOtwarcie bagażnika bez kluczyka NIE odblokowuje wszystkich drzwi");
}

} // namespace
} // namespace tq
