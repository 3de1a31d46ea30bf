#include "firmware/autoflash_dialog.h"

#include "platform/paths.h"
#include "prefs/preferences.h"
#include "text/texts.h"
#include "widgets/message.h"

#include <gtk/gtk.h>

namespace tq {

bool autoflash_key_pressed(const FirmwareWindowStates& s, unsigned keyval, unsigned state)
{
    if (!is_autoflash_key(keyval, state))
        return false;
    choose_autoflash_folder(s);
    return true;
}

bool start_autoflash(const FirmwareWindowStates& s, const std::string& folder)
{
    if (!platform::folder_readable(folder)) {
        show_message(textf(kTextFolderUnreadable, folder.c_str()));
        return false;
    }
    autoflash_arm(s.firmware, folder, autoflash_env(s));
    if (s.prefs)
        remember_folder(*s.prefs, &PrefsState::firmware_folder, folder);
    if (s.mode_label)
        gtk_label_set_text(GTK_LABEL(s.mode_label), "AUTOFLASH");
    return true;
}

void choose_autoflash_folder(const FirmwareWindowStates& s)
{
    GtkWidget* parent = s.main_window;
    GtkWidget* dialog = gtk_file_chooser_dialog_new(
        "Wybierz katalog", parent ? GTK_WINDOW(parent) : nullptr,
        GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER, text(kTextCancel), GTK_RESPONSE_CANCEL, text(kTextOpen),
        GTK_RESPONSE_ACCEPT, nullptr);
    const std::string start = s.prefs ? s.prefs->firmware_folder : std::string();
    if (!start.empty())
        gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(dialog), start.c_str());
    std::string folder;
    if (gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_ACCEPT) {
        gchar* chosen = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(dialog));
        if (chosen)
            folder = chosen;
        g_free(chosen);
    }
    gtk_widget_destroy(dialog);
    if (!folder.empty())
        start_autoflash(s, folder);
}

} // namespace tq
