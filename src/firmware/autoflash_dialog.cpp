#include "firmware/autoflash_dialog.h"

#include "platform/paths.h"
#include "text/texts.h"
#include "widgets/message.h"

#include <gtk/gtk.h>

namespace tq {
namespace {

gboolean on_key(GtkWidget*, GdkEventKey* event, gpointer data)
{
    if (!is_autoflash_key(event->keyval, event->state))
        return FALSE;
    choose_autoflash_folder(*static_cast<FirmwareShell*>(data));
    return TRUE;
}

} // namespace

KeyHandler autoflash_key_handler() { return reinterpret_cast<KeyHandler>(on_key); }

bool start_autoflash(FirmwareShell& shell, const std::string& folder)
{
    if (!platform::folder_readable(folder)) {
        show_message(textf(kTextFolderUnreadable, folder.c_str()));
        return false;
    }
    autoflash_arm(*shell.firmware, folder, autoflash_env(shell));
    if (shell.remember_folder)
        shell.remember_folder(folder);
    if (GtkWidget* label = shell.mode_label ? *shell.mode_label : nullptr)
        gtk_label_set_text(GTK_LABEL(label), "AUTOFLASH");
    return true;
}

void choose_autoflash_folder(FirmwareShell& shell)
{
    GtkWidget* parent = shell.main_window ? *shell.main_window : nullptr;
    GtkWidget* dialog = gtk_file_chooser_dialog_new(
        "Wybierz katalog", parent ? GTK_WINDOW(parent) : nullptr,
        GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER, text(24), GTK_RESPONSE_CANCEL, text(20),
        GTK_RESPONSE_ACCEPT, nullptr);
    const std::string start = shell.folder ? shell.folder() : std::string();
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
        start_autoflash(shell, folder);
}

} // namespace tq
