#include "app/menus_window.h"

#include "app/main_window.h"
#include "prefs/themes.h"
#include "text/language.h"
#include "text/texts.h"
#include "widgets/kit.h"

#include <gtk/gtk.h>

namespace tq {
namespace {

void on_language_item(GtkWidget*, gpointer data)
{
    const auto* language = static_cast<const Language*>(data);
    choose_language(text_state(), language->code,
                    [](const std::string& code) { restart_program(code); });
}

void on_theme_item(GtkWidget* item, gpointer)
{
    GtkWidget* label = gtk_bin_get_child(GTK_BIN(item));
    const std::string theme = gtk_label_get_text(GTK_LABEL(label));
    write_theme_file(app().prefs, theme);
    restart_program();
}

GtkWidget* menu_with_submenu(const char* label, GtkWidget*& submenu)
{
    GtkWidget* item = new_menu_item(label);
    submenu = gtk_menu_new();
    gtk_menu_item_set_submenu(GTK_MENU_ITEM(item), submenu);
    return item;
}

} // namespace

void use_theme_file(const PrefsState& p)
{
    gtk_rc_add_default_file(theme_file_path(p).c_str());
}

void prefer_chosen_theme(const PrefsState& p)
{
    // On GNOME, Xfce, MATE or Cinnamon an XSETTINGS daemon names the
    // desktop's theme, and that outranks the theme file's setting: without
    // this, choosing a theme would restart the program and change nothing.
    // A value the program sets itself outranks both.
    if (const auto theme = chosen_theme(p))
        gtk_settings_set_string_property(gtk_settings_get_default(), "gtk-theme-name",
                                         theme->c_str(), "tq512");
}

GtkWidget* build_language_menu()
{
    GtkWidget* submenu = nullptr;
    GtkWidget* item = menu_with_submenu(text(kTextLanguage), submenu);
    for (const Language& language : kLanguages) {
        GtkWidget* entry = new_menu_item(language.name);
        g_signal_connect(entry, "activate", G_CALLBACK(on_language_item),
                         const_cast<Language*>(&language));
        gtk_menu_shell_append(GTK_MENU_SHELL(submenu), entry);
    }
    return item;
}

GtkWidget* build_themes_menu(const std::string& program_path)
{
    const auto themes = list_themes(themes_folder(program_path));
    if (!themes)
        return nullptr;
    GtkWidget* submenu = nullptr;
    GtkWidget* item = menu_with_submenu(text(kTextThemes), submenu);
    for (const std::string& theme : *themes) {
        // The label is the theme's folder name as it is, not a mnemonic.
        GtkWidget* entry = new_menu_item(theme.c_str());
        g_signal_connect(entry, "activate", G_CALLBACK(on_theme_item), nullptr);
        gtk_menu_shell_append(GTK_MENU_SHELL(submenu), entry);
    }
    return item;
}

void add_shell_menus(AppState& a)
{
    a.shell.extra_menus.push_back(build_language_menu());
    if (GtkWidget* themes = build_themes_menu(a.shell.program_path))
        a.shell.extra_menus.push_back(themes);
}

} // namespace tq
