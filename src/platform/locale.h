#pragma once

#include <string>

namespace tq::platform {

// The user's language as an ISO 639 code ("cs", "de", ...), from the locale
// environment; empty when it names none (the C or POSIX locale).
std::string user_language_code();

} // namespace tq::platform
