// The seven text tables: row for row alike, printf-safe in every language,
// valid UTF-8, and as fully translated as we promise.
#include "text/text_listing.h"
#include "text/texts.h"

#include <glib.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <sys/wait.h>

namespace tq {
namespace {

// The conversions of a printf format in order, each as written ("%%",
// "%02X", "%.2f", "%-5lld"...); nullopt when the format holds a '%' that
// does not start a complete conversion, or a %n.
std::optional<std::vector<std::string>> conversions(const char* format)
{
    std::vector<std::string> out;
    for (const char* p = format; *p; ++p) {
        if (*p != '%')
            continue;
        const char* start = p++;
        if (*p == '%') {
            out.emplace_back("%%");
            continue;
        }
        // A width or a precision: '*' or digits.
        const auto skip_count = [&p] {
            if (*p == '*')
                ++p;
            else
                while (*p >= '0' && *p <= '9')
                    ++p;
        };
        while (*p && std::strchr("-+ #0", *p))
            ++p;
        skip_count();
        if (*p == '.') {
            ++p;
            skip_count();
        }
        if ((p[0] == 'h' && p[1] == 'h') || (p[0] == 'l' && p[1] == 'l'))
            p += 2;
        else if (*p && std::strchr("hljztL", *p))
            ++p;
        if (!*p || !std::strchr("diouxXfFeEgGaAcsp", *p))
            return std::nullopt;
        out.emplace_back(start, std::size_t(p - start + 1));
    }
    return out;
}

TEST(Conversions, ReadsEveryPartOfAConversion)
{
    using V = std::vector<std::string>;
    const struct {
        const char* format;
        std::optional<V> expected;
    } cases[] = {
        {"plain text", V{}},
        {"Sending firmware %d%%", V{"%d", "%%"}},
        {"(%04d-%02d%02d/%d-%d).", V{"%04d", "%02d", "%02d", "%d", "%d"}},
        {"Temperature: %.2f [°C]", V{"%.2f"}},
        {"22%010u", V{"%010u"}},
        {"%-+ #8.3lld|%hhx|%*.*s|%zu|%Lg", V{"%-+ #8.3lld", "%hhx", "%*.*s", "%zu", "%Lg"}},
        {"50%", std::nullopt},
        {"50% done", V{"% d"}}, // a stray '%' can still take an argument
        {"%q", std::nullopt},
        {"%n", std::nullopt},
        {"%5", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(conversions(c.format), c.expected) << c.format;
}

TEST(Tables, RegistryHasTheSevenLanguagesInMenuOrder)
{
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"en", "English"}, {"pl", "Polski"},    {"de", "Deutsch"}, {"ru", "Русский"},
        {"bg", "български"}, {"cs", "český"}, {"el", "ελληνικά"},
    };
    const TextTable* tables[] = {&kTextsEnglish, &kTextsPolish,    &kTextsGerman, &kTextsRussian,
                                 &kTextsBulgarian, &kTextsCzech, &kTextsGreek};
    ASSERT_EQ(kLanguages.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(kLanguages[i].code, expected[i].first);
        EXPECT_EQ(kLanguages[i].name, expected[i].second);
        EXPECT_EQ(kLanguages[i].table, tables[i]) << expected[i].first;
    }
}

TEST(Tables, EveryRowIsFilledExceptTheLastAndIsValidUtf8)
{
    for (const Language& l : kLanguages) {
        const TextTable& t = *l.table;
        for (int n = 0; n < kTextCount - 1; ++n) {
            const char* s = t[std::size_t(n)];
            ASSERT_NE(s, nullptr) << l.code << " row " << n;
            EXPECT_GT(std::strlen(s), 0u) << l.code << " row " << n;
            EXPECT_TRUE(g_utf8_validate(s, -1, nullptr)) << l.code << " row " << n;
        }
        ASSERT_NE(t[kTextCount - 1], nullptr) << l.code;
        EXPECT_STREQ(t[kTextCount - 1], "") << l.code;
    }
    // The added rows: written out in every language, none left in English.
    for (int n = kTextCount; n < kTextEnd; ++n) {
        for (std::size_t i = 0; i < kLanguages.size(); ++i) {
            const char* s = kAddedTexts[std::size_t(n - kTextCount)][i];
            ASSERT_NE(s, nullptr) << kLanguages[i].code << " row " << n;
            EXPECT_GT(std::strlen(s), 0u) << kLanguages[i].code << " row " << n;
            EXPECT_TRUE(g_utf8_validate(s, -1, nullptr)) << kLanguages[i].code << " row " << n;
            if (i > 0) {
                EXPECT_STRNE(s, text_in(0, n)) << kLanguages[i].code << " row " << n;
            }
        }
    }
}

// A translated row is handed the English row's arguments: a conversion that
// differs in number, order or type would misprint or crash at run time.
TEST(Tables, EveryRowKeepsTheEnglishConversionsInOrder)
{
    for (int n = 0; n < kTextEnd; ++n) {
        const auto english = conversions(text_in(0, n));
        ASSERT_TRUE(english) << "English row " << n;
        for (int l = 0; l < int(kLanguages.size()); ++l) {
            const char* s = text_in(l, n);
            EXPECT_EQ(conversions(s), english) << kLanguages[std::size_t(l)].code << " row " << n << ": " << s;
        }
    }
}

const Language& language(const char* code)
{
    return kLanguages[std::size_t(find_language(code))];
}

// How many rows of each table may still read in English. Names of
// products, signals and the like stay as they are in every language.
TEST(Tables, UntranslatedRowsStayWithinTheirLimits)
{
    const std::map<std::string, int> limit = {{"pl", 23},  {"de", 280}, {"ru", 284},
                                              {"bg", 190}, {"cs", 91},  {"el", 49}};
    for (const auto& [code, most] : limit) {
        const TextTable& t = *language(code.c_str()).table;
        int english = 0;
        for (int n = 0; n < kTextCount - 1; ++n)
            english += std::strcmp(t[std::size_t(n)], kTextsEnglish[std::size_t(n)]) == 0;
        EXPECT_LE(english, most) << code;
    }
}

TEST(Listing, EscapesLineBreaksTabsAndBackslashes)
{
    EXPECT_EQ(escape_text("a\nb\tc\\d\re"), "a\\nb\\tc\\\\d\\re");
    EXPECT_EQ(escape_text(""), "");
}

struct ToolRun {
    int status = -1;
    std::string out, err;
};

ToolRun run_tool(std::vector<const char*> args)
{
    const std::string tool = std::string(TQ_BINARY_DIR) + "/tq512-texts";
    std::vector<char*> argv{const_cast<char*>(tool.c_str())};
    for (const char* a : args)
        argv.push_back(const_cast<char*>(a));
    argv.push_back(nullptr);
    ToolRun r;
    gchar* out = nullptr;
    gchar* err = nullptr;
    GError* error = nullptr;
    const bool ran = g_spawn_sync(nullptr, argv.data(), nullptr, G_SPAWN_DEFAULT, nullptr, nullptr,
                                  &out, &err, &r.status, &error);
    EXPECT_TRUE(ran) << (error ? error->message : "");
    if (error)
        g_error_free(error);
    r.out = out ? out : "";
    r.err = err ? err : "";
    g_free(out);
    g_free(err);
    return r;
}

bool exited_cleanly(int status)
{
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool has_line(const std::string& listing, const std::string& line)
{
    return ("\n" + listing).find("\n" + line + "\n") != std::string::npos;
}

TEST(Listing, ToolPrintsOneLinePerRowWithEscapedBreaks)
{
    const ToolRun en = run_tool({"en"});
    EXPECT_TRUE(exited_cleanly(en.status));
    EXPECT_TRUE(has_line(en.out, "0\tYes"));
    EXPECT_TRUE(has_line(en.out,
                         "14\tProgram doesn't work with this firmware version.\\n(%04d-%02d%02d/%d-%d)."));
    EXPECT_TRUE(has_line(en.out, "389\tStart update over wireless transmission (smartphone app).\\n"
                                 "Press OK to finish/stop update.\\n"
                                 "After 5 minutes this window will close automatically."));
    EXPECT_TRUE(has_line(en.out, "399\t"));
    EXPECT_TRUE(has_line(en.out, std::to_string(kTextKeptVehicle) +
                                     "\tvehicle no. %d (not in this program's table)"));
    EXPECT_EQ(std::count(en.out.begin(), en.out.end(), '\n'), kTextEnd);

    // A regional code picks its language, as --lang does.
    const ToolRun pl = run_tool({"pl_PL"});
    EXPECT_TRUE(exited_cleanly(pl.status));
    EXPECT_EQ(pl.out, table_listing(kTextsPolish));
    EXPECT_TRUE(has_line(pl.out, "143\tWczytano ustawienia domyślne.\\n"
                                 "Naciśnij Zapisz, aby zapisać je w urządzeniu."));
}

TEST(Listing, ToolRefusesAnUnknownLanguage)
{
    for (const std::vector<const char*>& args : {std::vector<const char*>{"xx"},
                                                 std::vector<const char*>{},
                                                 std::vector<const char*>{"pl", "de"}}) {
        const ToolRun r = run_tool(args);
        EXPECT_FALSE(exited_cleanly(r.status));
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find("usage: tq512-texts"), std::string::npos);
    }
}

} // namespace
} // namespace tq
