#include "config/cfg_file_dialog.h"

#include "config/cfg_file.h"
#include "prefs/preferences.h"
#include "text/texts.h"
#include "widgets/kit.h"

#include <gtk/gtk.h>

namespace tq {
namespace {

// Runs a .cfg chooser; the chosen path, or empty when cancelled or closed.
std::string choose_file(ConfigState& s, bool saving)
{
    GtkWidget* parent = widget_state().main_window;
    GtkWidget* chooser = gtk_file_chooser_dialog_new(
        text(saving ? kTextSaveToDisk : kTextLoadFromFile), parent ? GTK_WINDOW(parent) : nullptr,
        saving ? GTK_FILE_CHOOSER_ACTION_SAVE : GTK_FILE_CHOOSER_ACTION_OPEN, text(kTextCancel),
        GTK_RESPONSE_CANCEL, text(saving ? kTextSave : kTextOpen), GTK_RESPONSE_ACCEPT, nullptr);
    gtk_file_chooser_add_filter(GTK_FILE_CHOOSER(chooser), cfg_file_filter());
    // Without a last folder the chooser starts in the home folder rather
    // than in its list of recent files, where nothing can be saved.
    std::string folder = cfg_chooser_folder(s);
    if (folder.empty() || !g_file_test(folder.c_str(), G_FILE_TEST_IS_DIR))
        folder = g_get_home_dir();
    gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(chooser), folder.c_str());

    std::string path;
    if (gtk_dialog_run(GTK_DIALOG(chooser)) == GTK_RESPONSE_ACCEPT) {
        if (gchar* current = gtk_file_chooser_get_current_folder(GTK_FILE_CHOOSER(chooser))) {
            remember_cfg_folder(s, current);
            g_free(current);
        }
        if (gchar* name = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(chooser))) {
            path = name;
            g_free(name);
        }
    }
    gtk_widget_destroy(chooser);
    return path;
}

bool ready(ConfigState& s)
{
    if (!s.active) {
        show_message(text(kTextConnectProgrammer)); // "Connect the programming device."
        return false;
    }
    return !s.busy;
}

} // namespace

GtkFileFilter* cfg_file_filter()
{
    GtkFileFilter* filter = gtk_file_filter_new();
    gtk_file_filter_set_name(filter, "*.cfg");
    // Files saved on Windows PCs often end in .CFG.
    gtk_file_filter_add_pattern(filter, "*.[cC][fF][gG]");
    return filter;
}

std::string cfg_chooser_folder(const ConfigState& s)
{
    if (s.prefs && !s.prefs->config_folder.empty())
        return s.prefs->config_folder;
    return s.cfg_folder;
}

void remember_cfg_folder(ConfigState& s, const std::string& folder)
{
    s.cfg_folder = folder;
    if (s.prefs)
        remember_folder(*s.prefs, &PrefsState::config_folder, folder);
}

void run_save_configuration_file(ConfigState& s)
{
    if (!ready(s))
        return;
    const std::string path = choose_file(s, true);
    if (path.empty() || !s.active)
        return;
    save_configuration_file(s, cfg_file_name(path));
}

void run_load_configuration_file(ConfigState& s)
{
    if (!ready(s))
        return;
    const std::string path = choose_file(s, false);
    if (path.empty() || !s.active)
        return;
    load_configuration_file(s, path);
}

} // namespace tq
