#include "app/shell.h"

#include <gtest/gtest.h>

namespace tq {
namespace {

using Args = std::vector<std::string>;

// A language change restarts with the new --lang; a theme change with no
// --lang at all (the stored language applies). Both keep the switches.
TEST(Restart, KeepsTheSwitchesAndNamesTheNewLanguage)
{
    struct Case {
        Args started;
        std::string language;
        Args restarted;
    } cases[] = {
        {{"/usr/bin/tq512", "ravlin", "--lang", "de"}, "pl",
         {"/usr/bin/tq512", "ravlin", "--lang", "pl"}},
        {{"/usr/bin/tq512", "ravlin", "--lang", "de"}, "", {"/usr/bin/tq512", "ravlin"}},
        {{"/usr/bin/tq512", "--lang", "de", "maximized"}, "el", {"/usr/bin/tq512", "--lang", "el"}},
        {{"/usr/bin/tq512", "--simulate", "--update-host", "localhost:8080"}, "",
         {"/usr/bin/tq512", "--simulate", "--update-host", "localhost:8080"}},
        {{"/usr/bin/tq512", "--trace", "/tmp/t.txt", "--lang", "de"}, "cs",
         {"/usr/bin/tq512", "--trace", "/tmp/t.txt", "--lang", "cs"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(restart_arguments(c.started[0], parse_switches(c.started), c.language),
                  c.restarted);
}

} // namespace
} // namespace tq
