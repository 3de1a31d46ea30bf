// tq512-texts: prints one language's text table as "number<TAB>text" lines,
// so that translators and reviewers can compare the tables side by side
// (for example: diff <(tq512-texts en) <(tq512-texts de)).
#include "text/text_listing.h"
#include "text/texts.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    const int index = argc == 2 ? tq::find_language(argv[1]) : -1;
    if (index < 0) {
        std::string codes;
        for (const tq::Language& l : tq::kLanguages) {
            codes += ' ';
            codes += l.code;
        }
        std::fprintf(stderr, "usage: tq512-texts LANGUAGE\n  LANGUAGE is one of:%s\n", codes.c_str());
        return 2;
    }
    const std::string listing = tq::table_listing(*tq::kLanguages[std::size_t(index)].table);
    std::fwrite(listing.data(), 1, listing.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}
