#include "modules/modules_window.h"

#include "modules/aux_window.h"
#include "modules/module_list.h"
#include "modules/module_test.h"
#include "modules/module_test_window.h"
#include "modules/onewire.h"
#include "radio/radio_monitor_window.h"
#include "radio/radio_window.h"
#include "text/texts.h"
#include "widgets/kit.h"
#include "widgets/pictures.h"

namespace tq {
namespace {

constexpr int kRowHeight = 33;

// True while the window sets its own mode lists (their "changed" signals
// are not the user's).
bool g_setting_modes = false;

// What the open window was opened with.
ModulesWindowStates states;

GtkWidget* cell_label(const char* text, int width, int height, float xalign = 0.0f)
{
    GtkWidget* label = gtk_label_new(text);
    gtk_misc_set_alignment(GTK_MISC(label), xalign, 0.5f);
    gtk_widget_set_size_request(label, width, height);
    gtk_widget_show(label);
    return label;
}

GtkWidget* cell_button(const char* text, int width, GCallback handler, int row)
{
    GtkWidget* button = new_button(text);
    gtk_widget_set_size_request(button, width, kRowHeight);
    g_signal_connect(button, "clicked", handler, GINT_TO_POINTER(row));
    return button;
}

GtkWidget* id_label()
{
    GtkWidget* label = cell_label("", -1, kRowHeight);
    if (widget_state().fonts.small)
        gtk_widget_modify_font(label, widget_state().fonts.small);
    return label;
}

// The whole text of the chosen mode, for a list too narrow to show it.
void show_mode_tooltip(GtkWidget* combo)
{
    gchar* chosen = gtk_combo_box_get_active_text(GTK_COMBO_BOX(combo));
    gtk_widget_set_tooltip_text(combo, chosen);
    g_free(chosen);
}

void attach(GtkWidget* table, GtkWidget* child, int column, int row)
{
    gtk_table_attach(GTK_TABLE(table), child, guint(column), guint(column + 1), guint(row),
                     guint(row + 1), GTK_FILL, GTK_FILL, 1, 1);
}

Picture status_picture(RowStatus s)
{
    switch (s) {
    case RowStatus::Active: return Picture::CircleGreen;
    case RowStatus::StoredNotActive: return Picture::CircleRed;
    default: return Picture::CircleGrey;
    }
}

std::string shown_id(const OneWireId& id) { return id_empty(id) ? std::string() : id_hex(id); }

void show_row(int row)
{
    ModulesState& m = *states.modules;
    const ModuleRowWidgets& w = m.row_widgets[std::size_t(row)];
    if (!w.name)
        return;
    const ModuleRowView& v = m.rows[std::size_t(row)];
    gtk_label_set_text(GTK_LABEL(w.connected), shown_id(m.row_connected[std::size_t(row)]).c_str());
    gtk_label_set_text(GTK_LABEL(w.stored), shown_id(v.stored).c_str());
    set_picture(w.status, status_picture(v.status));
    gtk_widget_set_sensitive(w.activate, v.activate_enabled);
    gtk_widget_set_sensitive(w.remove, v.delete_enabled);
    gtk_widget_set_sensitive(w.action, v.action_enabled);
    if (w.mode) {
        gtk_widget_set_sensitive(w.mode, v.mode_enabled);
        g_setting_modes = true;
        gtk_combo_box_set_active(GTK_COMBO_BOX(w.mode), v.mode_position);
        g_setting_modes = false;
        show_mode_tooltip(w.mode);
    }
}

void on_activate(GtkWidget*, gpointer row)
{
    activate_module(*states.modules, *states.link, states.firmware_version, GPOINTER_TO_INT(row));
}

void on_delete(GtkWidget*, gpointer row)
{
    delete_module(*states.modules, *states.link, states.firmware_version, GPOINTER_TO_INT(row));
}

void on_mode_changed(GtkWidget* combo, gpointer row)
{
    if (g_setting_modes)
        return;
    show_mode_tooltip(combo);
    const int position = gtk_combo_box_get_active(GTK_COMBO_BOX(combo));
    if (position < 0)
        return;
    change_module_mode(*states.modules, *states.link, states.firmware_version,
                       GPOINTER_TO_INT(row), position);
}

// The identifier a module's test window is titled with.
OneWireId row_identifier(const ModulesState& m, int row)
{
    const ModuleRowInfo& row_info = module_row_info(row);
    if (row_info.pseudo)
        return pseudo_identifier(*row_info.pseudo);
    return m.rows[std::size_t(row)].stored;
}

void on_action(GtkWidget*, gpointer data)
{
    ModulesState& m = *states.modules;
    const int row = GPOINTER_TO_INT(data);
    switch (row) {
    case kRowBrevan: open_radio_window(states.radio); break;
    // The stored receiver: no search.
    case kRowSolvek: open_radio_monitor(states.radio, false); break;
    case kRowAuxFortin: open_aux_window(states); break;
    case kRowCableLoom:
        open_module_test_window(states, kTestKindAuxOrLoom, 1, row_identifier(m, row));
        break;
    case kRowAuxModule:
        open_module_test_window(states, kTestKindAuxOrLoom, 0, row_identifier(m, row));
        break;
    default: {
        const int kind = row < kRowTq002First ? kTestKindTq001 : kTestKindTq002;
        const int number = (row - kRowTq001First) % 2;
        open_module_test_window(states, kind, number, row_identifier(m, row));
        break;
    }
    }
}

void close_row_window(int row)
{
    ModulesState& m = *states.modules;
    switch (row) {
    case kRowBrevan: close_radio_window(states.radio); break;
    case kRowSolvek: close_radio_monitor(states.radio); break;
    case kRowAuxFortin: close_aux_window(m); break;
    case kRowCableLoom: close_module_test_window(m, kTestCableLoom); break;
    case kRowAuxModule: close_module_test_window(m, kTestAux); break;
    default: close_module_test_window(m, kTestTq001First + (row - kRowTq001First)); break;
    }
}

void on_refresh(GtkWidget*, gpointer)
{
    close_module_test_windows(*states.modules);
    open_modules_window(states, true);
}

void add_row(GtkWidget* table, int row)
{
    ModulesState& m = *states.modules;
    const ModuleRowInfo& row_info = module_row_info(row);
    ModuleRowWidgets& w = m.row_widgets[std::size_t(row)];
    const int line = row + 1;

    const std::string name = row_info.name_number ? textf(row_info.name_text, row_info.name_number)
                                              : std::string(text(row_info.name_text));
    // Text cells take their natural width; the header cells hold the
    // columns' least widths, so that nothing is cut off.
    w.name = cell_label(name.c_str(), -1, kRowHeight);
    attach(table, w.name, 0, line);
    w.connected = id_label();
    attach(table, w.connected, 1, line);
    w.stored = id_label();
    attach(table, w.stored, 2, line);
    w.status = new_picture(Picture::CircleGrey);
    gtk_widget_set_size_request(w.status, 33, kRowHeight);
    attach(table, w.status, 3, line);
    w.activate = cell_button(text(kTextActivate), 77, G_CALLBACK(on_activate), row);
    attach(table, w.activate, 4, line);
    w.remove = cell_button(text(kTextDelete), 58, G_CALLBACK(on_delete), row);
    attach(table, w.remove, 5, line);
    if (!row_info.modes.empty()) {
        w.mode = gtk_combo_box_new_text();
        for (int t : row_info.modes)
            gtk_combo_box_append_text(GTK_COMBO_BOX(w.mode), text(t));
        gtk_widget_set_size_request(w.mode, 160, kRowHeight);
        g_signal_connect(w.mode, "changed", G_CALLBACK(on_mode_changed), GINT_TO_POINTER(row));
        gtk_widget_show(w.mode);
        attach(table, w.mode, 6, line);
    } else {
        w.mode = nullptr;
        attach(table, cell_label("", 160, kRowHeight), 6, line);
    }
    w.action = cell_button(text(row_info.action_text), 80, G_CALLBACK(on_action), row);
    attach(table, w.action, 7, line);
    if (row == kRowCableLoom) {
        // Built into the unit: nothing to store or delete.
        gtk_widget_set_child_visible(w.activate, FALSE);
        gtk_widget_set_child_visible(w.remove, FALSE);
    }
    show_row(row);
}

void build_content(ModulesState& m)
{
    GtkWidget* box = gtk_vbox_new(FALSE, 2);
    gtk_container_set_border_width(GTK_CONTAINER(box), 6);
    gtk_widget_show(box);
    m.content = box;

    GtkWidget* table = gtk_table_new(kModuleRows + 1, 8, FALSE);
    gtk_table_set_col_spacings(GTK_TABLE(table), 3);
    gtk_widget_show(table);
    pack(box, table);
    attach(table, cell_label(text(kTextName), 237, 40), 0, 0);
    attach(table, cell_label(text(kTextConnectedModuleId), 140, 40), 1, 0);
    attach(table, cell_label(text(kTextIdInMemory), 140, 40), 2, 0);
    attach(table, cell_label("", 33, 40), 3, 0);
    attach(table, cell_label("", 77, 40), 4, 0);
    attach(table, cell_label("", 68, 40), 5, 0);
    attach(table, cell_label(text(kTextOperatingModeColumn), 160, 40), 6, 0);
    for (int row = 0; row < kModuleRows; ++row)
        add_row(table, row);

    const std::string unlisted = unlisted_devices_line(m);
    if (!unlisted.empty()) {
        GtkWidget* line = gtk_label_new(unlisted.c_str());
        gtk_misc_set_alignment(GTK_MISC(line), 0.0f, 0.5f);
        gtk_label_set_line_wrap(GTK_LABEL(line), TRUE);
        gtk_widget_set_size_request(line, 900, -1);
        gtk_widget_show(line);
        pack(box, line);
    }

    GtkWidget* buttons = gtk_hbox_new(FALSE, 1);
    gtk_widget_show(buttons);
    pack(box, buttons);
    GtkWidget* refresh = new_wide_button(text(kTextRefreshList));
    g_signal_connect(refresh, "clicked", G_CALLBACK(on_refresh), nullptr);
    pack(buttons, refresh);

    gtk_container_add(GTK_CONTAINER(m.window), box);
}

void forget_rows(ModulesState& m)
{
    for (ModuleRowWidgets& w : m.row_widgets)
        w = ModuleRowWidgets{};
}

void on_window_destroy(GtkWidget*, gpointer)
{
    ModulesState& m = *states.modules;
    close_module_test_windows(m);
    forget_rows(m);
    m.window = nullptr;
    m.content = nullptr;
    if (widget_state().module_window)
        widget_state().module_window = nullptr;
}

} // namespace

bool open_modules_window(const ModulesWindowStates& s, bool refresh)
{
    ModulesState& m = *s.modules;
    if (!s.link->open())
        return false;
    states = s;
    if (m.window && !refresh) {
        gtk_window_present(GTK_WINDOW(m.window));
        return true;
    }

    set_busy_cursor();
    const int result = load_module_list(m, *s.link, s.firmware_version);
    if (result == kTextEepromReadError || result == kTextListError) {
        clear_busy_cursor();
        show_message(text(result));
        return false;
    }
    build_module_rows(m);

    if (!m.window) {
        m.window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
        gtk_window_set_title(GTK_WINDOW(m.window), text(kTextAdditionalModules));
        gtk_window_set_resizable(GTK_WINDOW(m.window), FALSE);
        gtk_window_set_position(GTK_WINDOW(m.window), GTK_WIN_POS_CENTER);
        g_signal_connect(m.window, "destroy", G_CALLBACK(on_window_destroy), nullptr);
    } else if (m.content) {
        // The rows go; their widgets are forgotten before the new ones come.
        forget_rows(m);
        gtk_widget_destroy(m.content);
        m.content = nullptr;
    }
    build_content(m);
    gtk_widget_show(m.window);
    widget_state().module_window = m.window;
    clear_busy_cursor();
    if (result == kTextNoDevices)
        show_message(text(result));
    return true;
}

void close_modules_window(ModulesState& m)
{
    if (m.window)
        gtk_widget_destroy(m.window); // the destroy handler forgets it
}

namespace {

// The module list's view: this window, its test windows and the message
// window.
struct ModulesWindowView final : ModuleListView {
    bool refresh() override
    {
        close_module_test_windows(*states.modules);
        return open_modules_window(states, true);
    }
    void close_row_window(int row) override { tq::close_row_window(row); }
    void row_changed(int row) override { show_row(row); }
    void message(const std::string& t) override { show_message(t); }
};

} // namespace

void wire_module_windows(ModulesState& m)
{
    static ModulesWindowView view;
    m.view = &view;
}

} // namespace tq
