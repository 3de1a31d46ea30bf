// The settings pages of one simulated unit in a window, for the GUI tests.
#pragma once

#include "config/config_fixture.h"
#include "config/config_io.h"
#include "config/record.h"
#include "config/settings_pages.h"
#include "gui/gui_support.h"
#include "widgets/kit.h"

#include <gtk/gtk.h>

#include <string>
#include <vector>

namespace tq::test {

// A unit's settings pages in a window of the main area's size.
struct Pages : ConfiguredUnit {
    Pages(int model, int version) : ConfiguredUnit(model, version)
    {
        test::ensure_gtk();
        poke(kBlockA, {3, 5, 1, 2, 3, 1, 1, 2, 1});
        poke(kBlockB, {2, 1, 7, 2, 4, 1, 3, 1, 2, 1, 1});
        poke(kSmsBlock, {2, 1, 0, 1, 2, 2, 0x19, 96, 0x01});
        poke_text(Field::Tqpin, "52817");
        poke_text(Field::Phone1Number, "+48601234567");
        poke_text(Field::Phone2Number, "+48698765432");
        poke(kBlockC, {2, 0, 0, 73, 1});
        poke(kBlockD, {1, 2, 1});

        window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
        gtk_widget_set_size_request(window, 1010, model == 511 ? 650 : 705);
        GtkWidget* box = gtk_vbox_new(FALSE, 0);
        gtk_container_add(GTK_CONTAINER(window), box);
        GtkWidget* bar = build_button_bar(config, link);
        GtkWidget* notebook = build_settings_pages(config, link);
        gtk_box_pack_start(GTK_BOX(box), notebook, FALSE, FALSE, 0);
        gtk_box_pack_start(GTK_BOX(box), bar, TRUE, TRUE, 0);
        gtk_widget_show(box);
        load_configuration(config, link, kLoadSilent);
        gtk_widget_show(window);
        test::pump_gtk(5);
    }
    ~Pages()
    {
        destroy_settings_pages(config);
        gtk_widget_destroy(window);
    }

    SettingsPages& p() { return *config.pages; }
    FieldControl& c(Field f) { return p().controls[std::size_t(f)]; }

    std::vector<std::string> tabs()
    {
        std::vector<std::string> t;
        GtkNotebook* nb = GTK_NOTEBOOK(p().notebook);
        for (int i = 0; i < gtk_notebook_get_n_pages(nb); ++i)
            t.push_back(gtk_notebook_get_tab_label_text(nb, gtk_notebook_get_nth_page(nb, i)));
        return t;
    }

    // The caption of every visible row of a page, top to bottom.
    std::vector<std::string> captions(int page)
    {
        std::vector<std::string> out;
        GList* rows = gtk_container_get_children(GTK_CONTAINER(p().pages[std::size_t(page)]));
        for (GList* r = rows; r; r = r->next) {
            GtkWidget* row = GTK_WIDGET(r->data);
            if (!gtk_widget_get_visible(row))
                continue;
            GList* children = gtk_container_get_children(GTK_CONTAINER(row));
            if (children && GTK_IS_LABEL(children->data))
                out.push_back(gtk_label_get_text(GTK_LABEL(children->data)));
            g_list_free(children);
        }
        g_list_free(rows);
        return out;
    }

    void click(SettingsCommand c) { gtk_button_clicked(GTK_BUTTON(p().button(c))); }
    void show_page(int page)
    {
        gtk_notebook_set_current_page(GTK_NOTEBOOK(p().notebook), page);
        test::pump_gtk(5);
    }

    GtkWidget* window = nullptr;
};

inline bool is_red(GtkWidget* w)
{
    GtkRcStyle* rc = gtk_widget_get_modifier_style(w);
    const bool fg = (rc->color_flags[GTK_STATE_NORMAL] & GTK_RC_FG) && rc->fg[GTK_STATE_NORMAL].red == 0xFFFF &&
                    rc->fg[GTK_STATE_NORMAL].green == 0;
    const bool text = (rc->color_flags[GTK_STATE_NORMAL] & GTK_RC_TEXT) &&
                      rc->text[GTK_STATE_NORMAL].red == 0xFFFF && rc->text[GTK_STATE_NORMAL].green == 0;
    return fg || text;
}

inline GtkWidget* label_of(GtkWidget* button) { return gtk_bin_get_child(GTK_BIN(button)); }

} // namespace tq::test
