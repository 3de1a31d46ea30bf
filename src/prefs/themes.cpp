#include "prefs/themes.h"

#include "prefs/files.h"
#include "prefs/preferences.h"

#include <glib.h>

#include <algorithm>

namespace tq {

std::string themes_folder(const std::string& program_path)
{
    const std::size_t file = program_path.rfind('/');
    if (file == std::string::npos || file == 0)
        return {};
    const std::size_t folder = program_path.rfind('/', file - 1);
    if (folder == std::string::npos)
        return {};
    return program_path.substr(0, folder + 1) + "share/themes/";
}

std::optional<std::vector<std::string>> list_themes(const std::string& folder)
{
    if (folder.empty())
        return std::nullopt;
    GDir* dir = g_dir_open(folder.c_str(), 0, nullptr);
    if (!dir)
        return std::nullopt;
    std::vector<std::string> names;
    while (const gchar* name = g_dir_read_name(dir)) { // never "." or ".."
        if (names.size() >= kMaxThemes)
            break;
        const std::string n = name;
        // A name the menu could not show is no theme one could choose.
        if (n[0] == '.' || n.size() > kMaxThemeNameLength || n.find('\n') != std::string::npos ||
            !g_utf8_validate(name, -1, nullptr))
            continue;
        gchar* gtkrc = g_build_filename(folder.c_str(), name, "gtk-2.0", "gtkrc", nullptr);
        const bool gtk2_theme = g_file_test(gtkrc, G_FILE_TEST_IS_REGULAR);
        g_free(gtkrc);
        if (gtk2_theme)
            names.push_back(n);
    }
    g_dir_close(dir);
    // std::string compares its characters as unsigned bytes, as strcmp does.
    std::sort(names.begin(), names.end());
    return names;
}

std::string theme_file_path(const PrefsState& p)
{
    return profile_folder(p) + "/" + kThemeFileName;
}

std::string theme_file_text(const std::string& theme)
{
    // A quote or backslash in a folder name must not end the string early.
    std::string quoted;
    for (char c : theme) {
        if (c == '"' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    return "gtk-theme-name = \"" + quoted + "\"\n" + "gtk-cursor-theme-name = \"" + quoted +
           "\"\n" + "gtk-icon-theme-name = \"" + quoted + "\"\n";
}

bool write_theme_file(const PrefsState& p, const std::string& theme)
{
    return write_file_utf8(theme_file_text(theme), theme_file_path(p), FileReport::Quiet);
}

std::optional<std::string> theme_in_file_text(std::string_view text)
{
    constexpr std::string_view kStart = "gtk-theme-name = \"";
    if (!text.starts_with(kStart))
        return std::nullopt;
    std::string theme;
    for (std::size_t i = kStart.size(); i < text.size(); ++i) {
        char c = text[i];
        if (c == '"')
            return theme;
        if (c == '\n')
            break;
        if (c == '\\') {
            if (++i == text.size() || text[i] == '\n')
                break;
            c = text[i];
        }
        theme += c;
    }
    return std::nullopt;
}

std::optional<std::string> chosen_theme(const PrefsState& p)
{
    gchar* text = nullptr;
    gsize length = 0;
    if (!g_file_get_contents(theme_file_path(p).c_str(), &text, &length, nullptr))
        return std::nullopt;
    auto theme = theme_in_file_text(std::string_view(text, length));
    g_free(text);
    if (theme && (theme->empty() || !g_utf8_validate(theme->c_str(), -1, nullptr)))
        return std::nullopt;
    return theme;
}

} // namespace tq
