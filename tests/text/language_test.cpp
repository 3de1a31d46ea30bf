#include "app/startup.h"
#include "platform/locale.h"
#include "prefs/preferences.h"
#include "support/temp_folder.h"
#include "text/language.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace tq {
namespace {

using Args = std::vector<std::string>;

TEST(Language, SelectsFromArgumentsPreferencesOrLocale)
{
    struct Case {
        const char* name;
        Args args;
        std::string stored;
        std::string locale;
        const TextTable* table;
        int index;
        std::string code;
        bool from_args;
        bool asks_locale;
    } cases[] = {
        {"--lang de", {"tq512", "--lang", "de"}, "", "cs", &kTextsGerman, 2, "de", true, false},
        {"--lang wins over the stored code", {"tq512", "--lang", "el"}, "ru", "", &kTextsGreek, 6, "el", true, false},
        {"a region is cut off but kept in the code", {"tq512", "--lang", "pl_PL"}, "", "", &kTextsPolish, 1, "pl_PL", true, false},
        {"--lang after other switches", {"tq512", "ravlin", "maximized", "--lang", "bg"}, "", "", &kTextsBulgarian, 4, "bg", true, false},
        {"the first --lang counts", {"tq512", "--lang", "cs", "--lang", "ru"}, "", "", &kTextsCzech, 5, "cs", true, false},
        {"--lang as the last argument is ignored", {"tq512", "--lang"}, "", "cs", &kTextsCzech, 5, "cs", false, true},
        {"a stored code beats the locale", {"tq512"}, "ru", "cs", &kTextsRussian, 3, "ru", false, false},
        {"the locale when nothing is stored", {"tq512"}, "", "cs", &kTextsCzech, 5, "cs", false, true},
        {"unknown codes leave English", {"tq512", "--lang", "xx"}, "", "", &kTextsEnglish, 0, "xx", true, false},
        {"codes are case-sensitive", {"tq512"}, "PL", "", &kTextsEnglish, 0, "PL", false, false},
        {"a region alone is no language", {"tq512"}, "_pl", "", &kTextsEnglish, 0, "_pl", false, false},
        {"no source at all", {"tq512"}, "", "", &kTextsEnglish, 0, "", false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TextState t;
        t.language_index = 6;
        t.texts = &kTextsGreek;
        bool asked = false;
        const bool from_args = select_language(t, c.args, c.stored, [&] {
            asked = true;
            return c.locale;
        });
        EXPECT_EQ(t.texts, c.table);
        EXPECT_EQ(t.language_index, c.index);
        EXPECT_EQ(t.language_code, c.code);
        EXPECT_EQ(from_args, c.from_args);
        EXPECT_EQ(asked, c.asks_locale);
    }
}

TEST(Language, ChoosingRestartsOnlyForAnotherLanguage)
{
    TextState t;
    select_language(t, {"tq512", "--lang", "pl_PL"}, "", {});
    std::vector<std::string> restarts;
    const auto restart = [&](const std::string& code) { restarts.push_back(code); };
    choose_language(t, "pl", restart);
    EXPECT_TRUE(restarts.empty());
    choose_language(t, "en", restart);
    EXPECT_EQ(restarts, std::vector<std::string>{"en"});

    TextState english;
    choose_language(english, "en", restart);
    choose_language(english, "pl", restart);
    EXPECT_EQ(restarts, (std::vector<std::string>{"en", "pl"}));
}

TEST(Language, TheRegistryNamesEveryTableOnce)
{
    const char* codes[] = {"en", "pl", "de", "ru", "bg", "cs", "el"};
    const TextTable* tables[] = {&kTextsEnglish,   &kTextsPolish, &kTextsGerman, &kTextsRussian,
                                 &kTextsBulgarian, &kTextsCzech,  &kTextsGreek};
    ASSERT_EQ(kLanguages.size(), 7u);
    for (std::size_t i = 0; i < kLanguages.size(); ++i) {
        EXPECT_STREQ(kLanguages[i].code, codes[i]);
        EXPECT_EQ(kLanguages[i].table, tables[i]);
        EXPECT_EQ(find_language(codes[i]), int(i));
    }
    EXPECT_STREQ(kLanguages[3].name, "Русский");
    for (const Language& l : kLanguages)
        EXPECT_STREQ((*l.table)[399], "") << l.code;
}

// Start-up: a code given with --lang is stored at once, one from the locale
// only with the next save.
TEST(Language, StartUpStoresOnlyACodeFromTheCommandLine)
{
    test::TempFolder home;
    {
        PrefsState p;
        p.folder = home.path();
        TextState t;
        load_preferences_and_language(p, t, {"tq512", "--lang", "pl_PL"}, [] { return "cs"; });
        EXPECT_EQ(t.texts, &kTextsPolish);
        EXPECT_EQ(home.read(".tq512rc"), std::string("\x01pl_PL\0", 7) + std::string(29, '\0'));
    }
    {
        PrefsState p;
        p.folder = home.path();
        TextState t;
        load_preferences_and_language(p, t, {"tq512"}, [] { return "cs"; });
        EXPECT_EQ(t.texts, &kTextsPolish) << "the stored pl_PL";
    }
    test::TempFolder fresh;
    PrefsState p;
    p.folder = fresh.path();
    TextState t;
    load_preferences_and_language(p, t, {"tq512"}, [] { return "cs"; });
    EXPECT_EQ(t.texts, &kTextsCzech);
    EXPECT_FALSE(fresh.exists(".tq512rc"));
    p.log_folder = "/logs"; // the next save for another reason takes the code along
    save_preferences(p);
    PrefsState again;
    again.folder = fresh.path();
    load_preferences(again);
    EXPECT_EQ(again.language_code, "cs");
}

TEST(Language, LocaleNamesTheUserLanguage)
{
    struct Env {
        const char* language;
        const char* lc_all;
        const char* lang;
        const char* code;
    } cases[] = {
        {nullptr, nullptr, "cs_CZ.UTF-8", "cs"},
        {nullptr, "de_AT.UTF-8", "cs_CZ.UTF-8", "de"},
        {"el:en", nullptr, "cs_CZ.UTF-8", "el"},
        {nullptr, nullptr, "bg_BG@euro", "bg"},
        {nullptr, nullptr, "C", ""},
        {nullptr, nullptr, "POSIX", ""},
        {nullptr, nullptr, nullptr, ""},
    };
    const auto set = [](const char* name, const char* value) {
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    };
    for (const Env& e : cases) {
        SCOPED_TRACE(e.lang ? e.lang : "(unset)");
        set("LANGUAGE", e.language);
        set("LC_ALL", e.lc_all);
        unsetenv("LC_MESSAGES");
        set("LANG", e.lang);
        EXPECT_EQ(platform::user_language_code(), e.code);
    }
    unsetenv("LANGUAGE");
    unsetenv("LC_ALL");
    unsetenv("LANG");
}

} // namespace
} // namespace tq
