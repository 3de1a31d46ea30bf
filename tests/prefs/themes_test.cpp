#include "prefs/themes.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

namespace tq {
namespace {

TEST(Themes, FolderBesideTheProgram)
{
    struct Case {
        const char* program;
        const char* folder;
    } cases[] = {
        {"/usr/bin/tq512", "/usr/share/themes/"},
        {"/opt/arvenco/bin/tq512", "/opt/arvenco/share/themes/"},
        {"/bin/tq512", "/share/themes/"},
        {"/tq512", ""},
        {"tq512", ""},
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(themes_folder(c.program), c.folder) << c.program;
}

TEST(Themes, ListsSubfoldersInByteOrder)
{
    test::TempFolder dir;
    for (const char* name : {"Zeta", "Alpha", ".hidden", "alpha", "Ölfarbe", "Mist"})
        dir.make_folder(name);
    dir.write("README", "not a theme");
    dir.make_folder(std::string(100, 'L')); // too long a name to keep
    dir.make_folder(std::string(99, 'K'));
    const auto themes = list_themes(dir.path());
    ASSERT_TRUE(themes);
    EXPECT_EQ(*themes, (std::vector<std::string>{"Alpha", std::string(99, 'K'), "Mist", "Zeta",
                                                 "alpha", "Ölfarbe"}));

    EXPECT_FALSE(list_themes(dir / "missing"));
    EXPECT_FALSE(list_themes(""));
}

TEST(Themes, KeepsAtMostFiveHundred)
{
    test::TempFolder dir;
    for (int i = 0; i < 510; ++i)
        dir.make_folder("t" + std::to_string(i));
    const auto themes = list_themes(dir.path());
    ASSERT_TRUE(themes);
    EXPECT_EQ(themes->size(), kMaxThemes);
}

TEST(Themes, ThemeFileNamesTheThemeThreeTimes)
{
    EXPECT_EQ(theme_file_text("Clearlooks"), "gtk-theme-name = \"Clearlooks\"\n"
                                             "gtk-cursor-theme-name = \"Clearlooks\"\n"
                                             "gtk-icon-theme-name = \"Clearlooks\"\n");
    EXPECT_EQ(theme_file_text("a\"b"), "gtk-theme-name = \"a\\\"b\"\n"
                                       "gtk-cursor-theme-name = \"a\\\"b\"\n"
                                       "gtk-icon-theme-name = \"a\\\"b\"\n");
    test::TempFolder home;
    PrefsState p;
    p.folder = home.path();
    ASSERT_TRUE(write_theme_file(p, "Mist"));
    ASSERT_TRUE(write_theme_file(p, "Raleigh"));
    EXPECT_EQ(home.read(".tqgrc-2.0"), theme_file_text("Raleigh"));
}

} // namespace
} // namespace tq
