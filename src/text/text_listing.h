// A table as plain lines for translators and reviewers: one row per line,
// "number<TAB>text", with line breaks, tabs and backslashes written as the
// escapes \n, \t and \\ so that every row stays on one line.
#pragma once

#include "text/texts.h"

#include <string>

namespace tq {

std::string escape_text(const char* text);

// All rows of a registry language's table, 0 to 399 and then the added
// rows, each line ended by '\n'.
std::string table_listing(const TextTable& table);

} // namespace tq
