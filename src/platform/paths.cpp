#include "platform/paths.h"

#include <glib.h>

#include <climits>
#include <cstdlib>
#include <memory>

namespace tq::platform {

std::string home_folder() { return g_get_home_dir(); }
std::string runtime_folder() { return g_get_user_runtime_dir(); }
std::string downloads_folder()
{
    const gchar* downloads = g_get_user_special_dir(G_USER_DIRECTORY_DOWNLOAD);
    return downloads ? downloads : g_get_home_dir();
}

bool folder_readable(const std::string& path)
{
    GDir* dir = path.empty() ? nullptr : g_dir_open(path.c_str(), 0, nullptr);
    if (!dir)
        return false;
    g_dir_close(dir);
    return true;
}

std::string own_program_path(const char* argv0)
{
    char resolved[PATH_MAX];
    if (realpath("/proc/self/exe", resolved))
        return resolved;
    return argv0 ? argv0 : "";
}

} // namespace tq::platform
