#include "config/history.h"
#include "config/history_window.h"
#include "config/record.h"
#include "config/settings_pages.h"
#include "gui/main_window_rig.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace tq {
namespace {

using test::label_text;

// The Tools menu item with this label.
GtkWidget* tools_item(const std::string& label)
{
    GtkWidget* found = nullptr;
    test::each_widget(app().shell.main_window, [&](GtkWidget* w) {
        if (!found && GTK_IS_MENU_ITEM(w) && gtk_menu_item_get_submenu(GTK_MENU_ITEM(w))) {
            GtkWidget* menu = gtk_menu_item_get_submenu(GTK_MENU_ITEM(w));
            GList* children = gtk_container_get_children(GTK_CONTAINER(menu));
            for (GList* l = children; l; l = l->next) {
                GtkWidget* child = gtk_bin_get_child(GTK_BIN(l->data));
                if (child && GTK_IS_LABEL(child) && label_text(child) == label)
                    found = GTK_WIDGET(l->data);
            }
            g_list_free(children);
        }
    });
    return found;
}

// The rows of the history window's list: date | operation | firmware.
std::vector<std::string> listed_rows()
{
    std::vector<std::string> rows;
    GtkTreeModel* model = gtk_tree_view_get_model(GTK_TREE_VIEW(configuration_history_list()));
    GtkTreeIter iter;
    for (gboolean ok = gtk_tree_model_get_iter_first(model, &iter); ok;
         ok = gtk_tree_model_iter_next(model, &iter)) {
        gchar *date = nullptr, *operation = nullptr, *firmware = nullptr;
        gtk_tree_model_get(model, &iter, 0, &date, 1, &operation, 2, &firmware, -1);
        rows.push_back(std::string(date).substr(0, 2) + "|" + operation + "|" + firmware);
        g_free(date);
        g_free(operation);
        g_free(firmware);
    }
    return rows;
}

// A wrong Save, undone from the history: Tools > "Configuration history",
// the newest entry, "Load", then "Save".
TEST(ConfigurationHistory, UndoesASaveFromTheWindow)
{
    test::MainWindowRig rig;
    rig.run_until_connected();
    ConfigState& config = app().config;
    ASSERT_TRUE(config.active && config.pages);
    char serial[16];
    std::snprintf(serial, sizeof serial, "22%010u", unsigned(rig.programmer->unit.identity.serial));
    EXPECT_EQ(config.history.serial, serial);
    GtkWidget* item = tools_item("Configuration history");
    ASSERT_TRUE(item);

    // Nothing kept yet.
    gtk_menu_item_activate(GTK_MENU_ITEM(item));
    EXPECT_FALSE(configuration_history_window());
    EXPECT_EQ(test::message_text(), "No configuration of this device has been kept yet.");
    close_message_window();

    const auto before = rig.programmer->unit.memory;
    const std::string tqpin = text_of(config, Field::Tqpin);
    SettingsPages& p = *config.pages;
    set_buffer_text(p.controls[std::size_t(Field::Tqpin)].buffer, "99999");
    gtk_combo_box_set_active(GTK_COMBO_BOX(p.controls[std::size_t(Field::HazardLights)].combo), 2);
    gtk_button_clicked(GTK_BUTTON(p.button(SettingsCommand::Save)));
    EXPECT_EQ(test::message_text(), "Configuration saved.");
    close_message_window();
    ASSERT_NE(rig.programmer->unit.memory, before);
    EXPECT_EQ(list_history(rig.home / "units/" + serial).size(), 1u);

    gtk_menu_item_activate(GTK_MENU_ITEM(item));
    GtkWidget* window = configuration_history_window();
    ASSERT_TRUE(window);
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(window)), "Configuration history");
    char firmware[32];
    std::snprintf(firmware, sizeof firmware, "%02d%02d", app().connection.firmware_version / 256,
                  app().connection.firmware_version % 256);
    EXPECT_EQ(listed_rows(), std::vector<std::string>{"20|Save|" + std::string(firmware)});
    EXPECT_NE(test::save_screenshot(window, "configuration_history"), "");

    gtk_dialog_response(GTK_DIALOG(window), GTK_RESPONSE_ACCEPT);
    EXPECT_FALSE(configuration_history_window());
    EXPECT_EQ(test::message_text(), "Configuration loaded successfully.");
    close_message_window();
    EXPECT_EQ(buffer_text(p.controls[std::size_t(Field::Tqpin)].buffer), tqpin);

    gtk_button_clicked(GTK_BUTTON(p.button(SettingsCommand::Save)));
    EXPECT_EQ(test::message_text(), "Configuration saved.");
    close_message_window();
    EXPECT_EQ(rig.programmer->unit.memory, before);

    // The restore kept what it replaced; the list shows both, newest first.
    gtk_menu_item_activate(GTK_MENU_ITEM(item));
    ASSERT_TRUE(configuration_history_window());
    EXPECT_EQ(listed_rows().size(), 2u);
    gtk_dialog_response(GTK_DIALOG(configuration_history_window()), GTK_RESPONSE_CANCEL);
    EXPECT_FALSE(configuration_history_window());
}

} // namespace
} // namespace tq
