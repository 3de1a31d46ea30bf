#include "config/history_window.h"

#include "config/cfg_file.h"
#include "config/history.h"
#include "text/texts.h"
#include "widgets/kit.h"
#include "widgets/message.h"

#include <string>

namespace tq {
namespace {

enum Column { kColumnDate, kColumnOperation, kColumnFirmware, kColumnFile, kColumns };

struct HistoryWindow {
    GtkWidget* window = nullptr;
    GtkWidget* list = nullptr;
    ConfigState* state = nullptr;
    std::string folder; // the unit's folder the list shows
};

HistoryWindow& history_window()
{
    static HistoryWindow w;
    return w;
}

// The operation as the fitter knows it: the caption of what wrote.
std::string operation_text(const std::string& operation)
{
    if (operation == kHistorySave)
        return text(kTextSave);
    if (operation == kHistoryFirmware)
        return text(kTextFirmwareUpdate);
    return operation;
}

std::string chosen_file()
{
    HistoryWindow& w = history_window();
    GtkTreeSelection* selection = gtk_tree_view_get_selection(GTK_TREE_VIEW(w.list));
    GtkTreeModel* model = nullptr;
    GtkTreeIter iter;
    if (!gtk_tree_selection_get_selected(selection, &model, &iter))
        return {};
    gchar* file = nullptr;
    gtk_tree_model_get(model, &iter, kColumnFile, &file, -1);
    std::string name = file ? file : "";
    g_free(file);
    return name;
}

void on_response(GtkDialog*, gint response, gpointer)
{
    HistoryWindow& w = history_window();
    const std::string file = response == GTK_RESPONSE_ACCEPT ? chosen_file() : std::string();
    ConfigState* s = w.state;
    const std::string folder = w.folder;
    close_configuration_history();
    // The list belongs to the unit it was opened for.
    if (file.empty() || !s || !s->active || history_folder(s->history) != folder)
        return;
    gchar* path = g_build_filename(folder.c_str(), file.c_str(), nullptr);
    load_configuration_file(*s, path);
    g_free(path);
}

void on_row_activated(GtkTreeView*, GtkTreePath*, GtkTreeViewColumn*, gpointer)
{
    gtk_dialog_response(GTK_DIALOG(history_window().window), GTK_RESPONSE_ACCEPT);
}

void add_column(GtkWidget* list, int title, int column)
{
    GtkCellRenderer* cell = gtk_cell_renderer_text_new();
    GtkTreeViewColumn* c =
        gtk_tree_view_column_new_with_attributes(text(title), cell, "text", column, nullptr);
    gtk_tree_view_column_set_resizable(c, TRUE);
    gtk_tree_view_append_column(GTK_TREE_VIEW(list), c);
}

} // namespace

void open_configuration_history(ConfigState& s)
{
    if (!s.active) {
        show_message(text(kTextConnectProgrammer)); // "Connect the programming device."
        return;
    }
    if (s.busy)
        return;
    close_configuration_history();
    const std::string folder = history_folder(s.history);
    const std::vector<KeptConfiguration> entries = folder.empty() ? std::vector<KeptConfiguration>{}
                                                             : list_history(folder);
    if (entries.empty()) {
        show_message(text(kTextHistoryEmpty));
        return;
    }

    GtkListStore* store = gtk_list_store_new(kColumns, G_TYPE_STRING, G_TYPE_STRING,
                                             G_TYPE_STRING, G_TYPE_STRING);
    for (const KeptConfiguration& e : entries) {
        GtkTreeIter iter;
        gtk_list_store_append(store, &iter);
        gtk_list_store_set(store, &iter, kColumnDate, e.time.c_str(), kColumnOperation,
                           operation_text(e.operation).c_str(), kColumnFirmware,
                           e.firmware.c_str(), kColumnFile, e.file.c_str(), -1);
    }

    HistoryWindow& w = history_window();
    w.state = &s;
    w.folder = folder;
    GtkWidget* parent = widget_state().main_window;
    w.window = gtk_dialog_new_with_buttons(
        text(kTextConfigurationHistory), parent ? GTK_WINDOW(parent) : nullptr, GTK_DIALOG_MODAL,
        text(kTextCancel), GTK_RESPONSE_CANCEL, text(kTextLoad), GTK_RESPONSE_ACCEPT, nullptr);
    gtk_dialog_set_default_response(GTK_DIALOG(w.window), GTK_RESPONSE_ACCEPT);
    gtk_window_set_default_size(GTK_WINDOW(w.window), 520, 360);
    g_signal_connect(w.window, "response", G_CALLBACK(on_response), nullptr);
    g_signal_connect(w.window, "destroy", G_CALLBACK(gtk_widget_destroyed), &w.window);

    w.list = gtk_tree_view_new_with_model(GTK_TREE_MODEL(store));
    g_object_unref(store);
    add_column(w.list, kTextHistoryDate, kColumnDate);
    add_column(w.list, kTextHistoryOperation, kColumnOperation);
    add_column(w.list, kTextHistoryFirmware, kColumnFirmware);
    g_signal_connect(w.list, "row-activated", G_CALLBACK(on_row_activated), nullptr);
    GtkTreePath* first = gtk_tree_path_new_first();
    gtk_tree_view_set_cursor(GTK_TREE_VIEW(w.list), first, nullptr, FALSE);
    gtk_tree_path_free(first);

    GtkWidget* scroller = gtk_scrolled_window_new(nullptr, nullptr);
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scroller), GTK_POLICY_AUTOMATIC,
                                   GTK_POLICY_AUTOMATIC);
    gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(scroller), GTK_SHADOW_IN);
    gtk_container_add(GTK_CONTAINER(scroller), w.list);
    gtk_box_pack_start(GTK_BOX(gtk_dialog_get_content_area(GTK_DIALOG(w.window))), scroller,
                       TRUE, TRUE, 0);
    gtk_widget_show_all(w.window);
}

GtkWidget* configuration_history_window() { return history_window().window; }

GtkWidget* configuration_history_list()
{
    return history_window().window ? history_window().list : nullptr;
}

void close_configuration_history()
{
    HistoryWindow& w = history_window();
    if (w.window)
        gtk_widget_destroy(w.window); // clears w.window
    w.list = nullptr;
    w.state = nullptr;
}

} // namespace tq
