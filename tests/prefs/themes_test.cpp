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
    const auto add_theme = [&](const std::string& name) {
        dir.write(name + "/gtk-2.0/gtkrc", "gtk-color-scheme = \"\"\n");
    };
    for (const char* name : {"Zeta", "Alpha", ".hidden", "alpha", "Ölfarbe", "Mist"})
        add_theme(name);
    dir.write("README", "not a theme");
    add_theme(std::string(100, 'L')); // too long a name to keep
    add_theme(std::string(99, 'K'));
    // Folders without a GTK 2 part: choosing them would change nothing.
    dir.write("Adwaita-only3/gtk-3.0/gtk.css", "");
    dir.write("hicolor/index.theme", "[Icon Theme]\n");
    dir.make_folder("Empty/gtk-2.0");
    dir.make_folder("FolderNotFile/gtk-2.0/gtkrc");
    add_theme("two\nlines"); // the theme file could not name it
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
        dir.write("t" + std::to_string(i) + "/gtk-2.0/gtkrc", "");
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

TEST(Themes, TheChosenThemeIsReadBackFromTheThemeFile)
{
    for (const char* theme : {"Clearlooks", "a\"b", "back\\slash\\", "Ölfarbe", "x"})
        EXPECT_EQ(theme_in_file_text(theme_file_text(theme)), theme) << theme;
    for (const char* text : {"", "gtk-theme-name = \"", "gtk-theme-name = \"open\n\"",
                             "gtk-theme-name = \"end\\", "gtk-theme-name = \"a\\\nb\"",
                             "gtk-icon-theme-name = \"X\"",
                             " gtk-theme-name = \"X\""})
        EXPECT_FALSE(theme_in_file_text(text)) << text;

    test::TempFolder home;
    PrefsState p;
    p.folder = home.path();
    EXPECT_FALSE(chosen_theme(p)) << "no theme file: the desktop's theme";
    ASSERT_TRUE(write_theme_file(p, "Mist"));
    EXPECT_EQ(chosen_theme(p), "Mist");
    home.write(".tqgrc-2.0", "gtk-theme-name = \"\"\n");
    EXPECT_FALSE(chosen_theme(p));
}

} // namespace
} // namespace tq
