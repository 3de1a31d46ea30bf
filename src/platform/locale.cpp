#include "platform/locale.h"

#include <glib.h>

#include <clocale>

namespace tq::platform {

std::string user_language_code()
{
    std::setlocale(LC_ALL, "");
    const gchar* const* names = g_get_language_names();
    if (!names || !names[0])
        return {};
    std::string name = names[0];
    name = name.substr(0, name.find_first_of("_.@"));
    if (name == "C" || name == "POSIX")
        return {};
    return name;
}

} // namespace tq::platform
