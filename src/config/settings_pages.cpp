#include "config/settings_pages.h"

#include "config/config_io.h"
#include "config/diagnostics_window.h"
#include "config/event_memory_window.h"
#include "config/record.h"
#include "config/vehicle.h"
#include "text/texts.h"
#include "widgets/kit.h"

#include <gdk/gdkkeysyms.h>
#include <gtk/gtk.h>


namespace tq {
namespace {

const GdkColor kRed = {0, 0xFFFF, 0, 0};

constexpr int kComboWidth = 520;
constexpr int kComboHeight = 30;
// Row captions, and entries that are not given a width of their own.
constexpr int kCaptionWidth = 450;
constexpr int kEntryWidth = 300;

FieldBinding* bind(SettingsPages* p, Field f, int index = 0)
{
    return &p->bindings.emplace_back(FieldBinding{p, f, index});
}

FieldControl& control(SettingsPages* p, Field f) { return p->controls[std::size_t(f)]; }

GtkWidget* label_child(GtkWidget* button)
{
    GtkWidget* child = gtk_bin_get_child(GTK_BIN(button));
    return child ? child : button;
}

// Captions are as wide as the pages allow; one that does not fit in the
// user's font ends in an ellipsis and shows whole as a tooltip.
GtkWidget* fit_caption(GtkWidget* label)
{
    gtk_label_set_ellipsize(GTK_LABEL(label), PANGO_ELLIPSIZE_END);
    gtk_widget_set_tooltip_text(label, gtk_label_get_text(GTK_LABEL(label)));
    return label;
}

// A chosen option too long for its 520-pixel list shows whole as the list's
// tooltip, as a caption does.
void show_choice_tooltip(GtkComboBox* combo, gpointer)
{
    gchar* chosen = gtk_combo_box_get_active_text(combo);
    gtk_widget_set_tooltip_text(GTK_WIDGET(combo), chosen);
    g_free(chosen);
}

void paint(GtkWidget* widget, bool red)
{
    if (widget)
        set_text_colour(widget, red ? &kRed : nullptr);
}

// ---- Signal handlers -------------------------------------------------------

void on_combo_changed(GtkComboBox* combo, gpointer data)
{
    const FieldBinding* b = static_cast<FieldBinding*>(data);
    if (b->pages->updating || !b->pages->state)
        return;
    const int active = gtk_combo_box_get_active(combo);
    if (active >= 0)
        set_number(*b->pages->state, b->field, active);
}

void on_choice_toggled(GtkToggleButton* button, gpointer data)
{
    const FieldBinding* b = static_cast<FieldBinding*>(data);
    if (b->pages->updating || !b->pages->state || !gtk_toggle_button_get_active(button))
        return;
    set_number(*b->pages->state, b->field, b->index);
}

void on_check_toggled(GtkToggleButton* button, gpointer data)
{
    const FieldBinding* b = static_cast<FieldBinding*>(data);
    if (b->pages->updating || !b->pages->state)
        return;
    set_number(*b->pages->state, b->field, gtk_toggle_button_get_active(button) ? 1 : 0);
}

void on_entry_changed(GtkEditable*, gpointer data)
{
    const FieldBinding* b = static_cast<FieldBinding*>(data);
    SettingsPages* p = b->pages;
    if (p->updating || !p->state)
        return;
    set_text(*p->state, b->field, buffer_text(control(p, b->field).buffer));
}

void fill_combo(GtkWidget* combo, const std::vector<std::string>& rows)
{
    gtk_list_store_clear(GTK_LIST_STORE(gtk_combo_box_get_model(GTK_COMBO_BOX(combo))));
    for (const std::string& row : rows)
        gtk_combo_box_append_text(GTK_COMBO_BOX(combo), row.c_str());
}

void on_make_changed(GtkComboBox* combo, gpointer data)
{
    SettingsPages* p = static_cast<SettingsPages*>(data);
    if (p->updating || !p->state)
        return;
    choose_make(*p->state, gtk_combo_box_get_active(combo));
}

void on_model_changed(GtkComboBox* combo, gpointer data)
{
    SettingsPages* p = static_cast<SettingsPages*>(data);
    if (p->updating || !p->state)
        return;
    choose_model(*p->state, gtk_combo_box_get_active(combo));
}

// Key presses that reach a page stop there, so that none goes on to the
// notebook; Ctrl+I reveals the SIM PIN row. Tab is let through: the window
// moves the focus with it, and a fitter going from field to field needs it.
gboolean on_page_key(GtkWidget*, GdkEventKey* event, gpointer data)
{
    SettingsPages* p = static_cast<SettingsPages*>(data);
    if (p->state && (event->state & GDK_CONTROL_MASK) &&
        (event->keyval == GDK_i || event->keyval == GDK_I))
        reveal_sim_pin(*p->state);
    const bool tab = event->keyval == GDK_Tab || event->keyval == GDK_ISO_Left_Tab ||
                     event->keyval == GDK_KP_Tab;
    return tab ? FALSE : TRUE;
}

void on_command(GtkWidget*, gpointer data)
{
    const CommandBinding* b = static_cast<CommandBinding*>(data);
    SettingsPages* p = b->pages;
    if (!p->state)
        return;
    ConfigState& s = *p->state;
    switch (b->command) {
    case SettingsCommand::SignalMonitor:
        if (s.windows)
            s.windows->open_signal_monitor();
        break;
    case SettingsCommand::LoadDefaults:
    case SettingsCommand::Load:
    case SettingsCommand::Save: {
        set_busy_cursor();
        if (b->command == SettingsCommand::Save)
            save_configuration(s, *p->link);
        else
            load_configuration(s, *p->link,
                               b->command == SettingsCommand::LoadDefaults ? kLoadDefaults
                                                                           : kLoadFromUnit);
        clear_busy_cursor();
        break;
    }
    case SettingsCommand::EventMemory:
        if (s.unit_tools)
            open_event_window(*s.unit_tools);
        break;
    case SettingsCommand::Diagnostics:
        if (s.unit_tools)
            open_diagnostics_window(*s.unit_tools);
        break;
    case SettingsCommand::RadioOrModules:
        if (!s.windows)
            break;
        if (s.unit.version < 1065)
            s.windows->open_radio_monitor();
        else
            s.windows->open_additional_modules();
        break;
    }
}

// ---- Building --------------------------------------------------------------

struct Builder {
    SettingsPages* p;
    ConfigState& s;
    GtkWidget* page = nullptr;
    int counter = 1;

    UnitKind unit() const { return s.unit; }

    GtkWidget* new_page(const char* title)
    {
        page = gtk_vbox_new(FALSE, 0);
        gtk_widget_show(page);
        GtkWidget* tab = new_label(title);
        gtk_notebook_append_page(GTK_NOTEBOOK(p->notebook), page, tab);
        g_signal_connect(page, "key_press_event", G_CALLBACK(on_page_key), p);
        p->pages.push_back(page);
        return page;
    }

    GtkWidget* row(Field f)
    {
        GtkWidget* r = new_row_box();
        pack(page, r);
        control(p, f).row = r;
        return r;
    }

    GtkWidget* numbered(GtkWidget* r, Field f)
    {
        GtkWidget* label =
            fit_caption(add_numbered_row_label(counter, r, field_caption(f, unit()).c_str(),
                                               kCaptionWidth));
        control(p, f).caption = label;
        p->numbered_captions.push_back(label);
        return label;
    }

    GtkWidget* combo_widget(Field f, int width, int height)
    {
        GtkWidget* combo = gtk_combo_box_new_text();
        for (const std::string& o : field_options(f, unit()))
            gtk_combo_box_append_text(GTK_COMBO_BOX(combo), o.c_str());
        gtk_widget_set_size_request(combo, width, height);
        gtk_widget_show(combo);
        control(p, f).combo = combo;
        g_signal_connect(combo, "changed", G_CALLBACK(on_combo_changed), bind(p, f));
        g_signal_connect(combo, "changed", G_CALLBACK(show_choice_tooltip), nullptr);
        return combo;
    }

    void combo_row(Field f, int width = kComboWidth)
    {
        GtkWidget* r = row(f);
        numbered(r, f);
        pack(r, combo_widget(f, width, kComboHeight));
    }

    void entry_row(Field f, int width)
    {
        GtkWidget* r = row(f);
        numbered(r, f);
        entry(r, f, width);
    }

    void entry(GtkWidget* box, Field f, int width)
    {
        FieldControl& c = control(p, f);
        c.buffer = add_entry_with_handler(box, width > 0 ? width : kEntryWidth,
                                          G_CALLBACK(on_entry_changed), &c.entry, bind(p, f));
    }

    // Radio buttons labelled with the field's options; groups get a hidden
    // member that stands for "none of them".
    void choice_row(Field f, bool numbered_row = true)
    {
        GtkWidget* r = row(f);
        if (numbered_row)
            numbered(r, f);
        FieldControl& c = control(p, f);
        GtkWidget* first = nullptr;
        const auto options = field_options(f, unit());
        for (std::size_t i = 0; i < options.size(); ++i) {
            GtkWidget* b = new_radio_button(first, options[i].c_str());
            if (!first)
                first = b;
            pack(r, b);
            g_signal_connect(b, "toggled", G_CALLBACK(on_choice_toggled), bind(p, f, int(i)));
            c.buttons.push_back(b);
        }
        if (field_kind(f) == Kind::Group) {
            c.none_button = gtk_radio_button_new_from_widget(GTK_RADIO_BUTTON(first));
            gtk_box_pack_start(GTK_BOX(r), c.none_button, FALSE, FALSE, 0);
        }
    }

    void skip(int rows) { counter += rows; }

    // ---- Settings 1
    void settings1()
    {
        new_page(text(kTextSettings1));
        combo_row(Field::OperatingMode);

        // "2. Vehicle type:" carries its number in the text.
        GtkWidget* vehicle = new_row_box();
        pack(page, vehicle);
        fit_caption(add_row_label(vehicle, (std::string("  ") + text(kTextVehicleType)).c_str(), kCaptionWidth));
        p->make_combo = gtk_combo_box_new_text();
        gtk_widget_set_size_request(p->make_combo, 120, kComboHeight);
        gtk_widget_show(p->make_combo);
        pack(vehicle, p->make_combo);
        p->model_combo = gtk_combo_box_new_text();
        gtk_widget_set_size_request(p->model_combo, 394, kComboHeight);
        gtk_widget_show(p->model_combo);
        pack(vehicle, p->model_combo);
        g_signal_connect(p->make_combo, "changed", G_CALLBACK(on_make_changed), p);
        g_signal_connect(p->model_combo, "changed", G_CALLBACK(on_model_changed), p);
        skip(1);

        GtkWidget* level = row(Field::CanLevel);
        p->level_label = add_row_label(level, s.vehicle.level_caption.c_str(), kCaptionWidth);
        control(p, Field::CanLevel).caption = p->level_label;
        entry(level, Field::CanLevel, 50);
        skip(1);

        combo_row(Field::GreyWire);
        combo_row(Field::In1Time);
        combo_row(Field::HazardLights);
        combo_row(Field::CanBusControl);
        if (unit().small()) {
            skip(3);
        } else {
            combo_row(Field::AudibleConfirmation);
            combo_row(Field::PowerWindows);
            combo_row(Field::Rearming);
        }
        combo_row(Field::RemoteOperation);
        if (unit().version < 1064)
            entry_row(Field::IgnoreCode, 50);
        combo_row(Field::AntiHijack);
        choice_row(Field::GpsModule);
        if (unit().version <= 1064) {
            combo_row(Field::AuxMode);
        } else {
            GtkWidget* r = row(Field::AuxMode);
            control(p, Field::AuxMode).caption =
                fit_caption(add_numbered_row_label(counter, r, text(kTextAuxConfiguration), kCaptionWidth));
            p->numbered_captions.push_back(control(p, Field::AuxMode).caption);
            p->aux_buffer = add_readonly_entry(r, kComboWidth, &p->aux_entry);
        }
        combo_row(Field::Immobiliser);
        combo_row(Field::Siren);
    }

    // ---- Settings 2
    void settings2()
    {
        new_page(text(kTextSettings2));
        entry_row(Field::IgnoreCode, 50);
        combo_row(Field::InhibitArm);
        combo_row(Field::HazardBlink);
        combo_row(Field::TrunkCheck);
        if (unit().version > 1068)
            choice_row(Field::TrunkDisarm);
        choice_row(Field::Prealarm3x);
        combo_row(Field::AdditionalInput);
        if (unit().version <= 1100)
            gtk_widget_hide(control(p, Field::AdditionalInput).row);
        if (unit().version >= 1104)
            choice_row(Field::PaAuthorise);
    }

    // ---- GSM/SMS configuration
    void gsm()
    {
        new_page(text(kTextGsmSmsConfiguration));
        counter = 1;

        GtkWidget* supply = row(Field::PowerSupplySms);
        numbered(supply, Field::PowerSupplySms);
        pack(supply, combo_widget(Field::PowerSupplySms, 375, kComboHeight));
        p->supply_box = gtk_hbox_new(FALSE, 1);
        pack(supply, p->supply_box);
        pack(p->supply_box, combo_widget(Field::SupplySelection, 100, kComboHeight));
        control(p, Field::SupplySelection).row = p->supply_box;
        entry(p->supply_box, Field::Voltage, 40);

        entry_row(Field::Tqpin, 0);
        choice_row(Field::PhoneCount);
        for (int n = 1; n <= 3; ++n) {
            const Field number = phone_field(n, PhonePart::Number);
            GtkWidget* r = new_row_box();
            pack(page, r);
            p->phone_rows[std::size_t(n - 1)] = r;
            GtkWidget* caption = fit_caption(add_row_label(r, field_caption(number, unit()).c_str(), kCaptionWidth));
            gtk_widget_set_size_request(caption, 350, 20);
            GtkWidget* checks = gtk_hbox_new(FALSE, 1);
            gtk_widget_set_size_request(checks, 150, 20);
            gtk_widget_show(checks);
            pack(r, checks);
            const char* names[] = {"TEL", "SMS", "AP"};
            for (int k = 0; k < 3; ++k) {
                const Field f = phone_field(n, PhonePart(k));
                GtkWidget* b = new_check_button(names[k]);
                pack(checks, b);
                g_signal_connect(b, "toggled", G_CALLBACK(on_check_toggled), bind(p, f));
                control(p, f).buttons.push_back(b);
                control(p, f).row = r;
            }
            control(p, number).row = r;
            control(p, number).caption = caption;
            entry(r, number, 0);
        }
        choice_row(Field::VoiceCalls);
        choice_row(Field::IgnitionSms);
        choice_row(Field::SystemSms);
        choice_row(Field::DoorSms);
        choice_row(Field::SmsForward);
        combo_row(Field::Language);
        entry_row(Field::SimPin, 0);
        gtk_widget_hide(control(p, Field::SimPin).row);
    }
};

void show_value(SettingsPages* p, Field f)
{
    const ConfigState& s = *p->state;
    FieldControl& c = control(p, f);
    const long v = number_of(s, f);
    switch (field_kind(f)) {
    case Kind::Combo:
        if (c.combo) {
            const int count = gtk_tree_model_iter_n_children(
                gtk_combo_box_get_model(GTK_COMBO_BOX(c.combo)), nullptr);
            const int active = v >= 0 && v < count ? int(v) : -1;
            if (gtk_combo_box_get_active(GTK_COMBO_BOX(c.combo)) != active)
                gtk_combo_box_set_active(GTK_COMBO_BOX(c.combo), active);
        }
        break;
    case Kind::Pair:
    case Kind::Group:
        if (!c.buttons.empty()) {
            GtkWidget* b = v >= 0 && v < long(c.buttons.size()) ? c.buttons[std::size_t(v)]
                                                                 : c.none_button;
            if (b)
                gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(b), TRUE);
        }
        break;
    case Kind::Check:
        if (!c.buttons.empty())
            gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(c.buttons[0]), v != 0);
        break;
    case Kind::Number:
    case Kind::Text:
        if (c.buffer && buffer_text(c.buffer) != text_of(s, f))
            set_buffer_text(c.buffer, text_of(s, f));
        break;
    }
}

void show_mark(SettingsPages* p, Field f)
{
    FieldControl& c = control(p, f);
    const bool red = p->state->record.marked[std::size_t(f)];
    if (c.combo) {
        paint(gtk_bin_get_child(GTK_BIN(c.combo)), red);
        paint(c.combo, red);
    }
    for (GtkWidget* b : c.buttons)
        paint(label_child(b), red);
    paint(c.entry, red);
}

// What other controls show because of this field's value.
void show_dependents(SettingsPages* p, Field f)
{
    const ConfigState& s = *p->state;
    const auto visible = [](GtkWidget* w, bool on) {
        if (!w)
            return;
        if (on)
            gtk_widget_show(w);
        else
            gtk_widget_hide(w);
    };
    switch (f) {
    case Field::PhoneCount:
        for (int n = 1; n <= 3; ++n)
            visible(p->phone_rows[std::size_t(n - 1)], number_of(s, f) >= n);
        break;
    case Field::PowerSupplySms:
        visible(p->supply_box, number_of(s, f) == 2);
        break;
    case Field::SupplySelection:
        visible(control(p, Field::Voltage).entry, number_of(s, f) == 2);
        break;
    default:
        if (phone_of(f) != 0) {
            const int n = phone_of(f);
            FieldControl& sms = control(p, phone_field(n, PhonePart::Sms));
            if (!sms.buttons.empty())
                gtk_widget_set_sensitive(sms.buttons[0],
                                         number_of(s, phone_field(n, PhonePart::Ap)) == 0);
        }
        break;
    }
}

void on_pages_destroyed(GtkWidget*, gpointer data)
{
    SettingsPages* p = static_cast<SettingsPages*>(data);
    p->notebook = nullptr;
}

// The bar goes with the main window when that is destroyed first.
void on_button_bar_destroyed(GtkWidget* bar, gpointer data)
{
    SettingsPages* p = static_cast<SettingsPages*>(data);
    if (p->button_bar == bar)
        p->button_bar = nullptr;
}

} // namespace

// ---- The view --------------------------------------------------------------

void SettingsPages::field_changed(Field f)
{
    if (!state)
        return;
    ++updating;
    show_value(this, f);
    --updating;
    show_mark(this, f);
    show_dependents(this, f);
}

void SettingsPages::save_mark_changed()
{
    if (state)
        paint(save_label, state->record.save_marked);
}

void SettingsPages::vehicle_changed()
{
    if (!state)
        return;
    const VehicleSelection& v = state->vehicle;
    ++updating;
    // The make list changes only when a kept vehicle comes or goes.
    std::vector<std::string> makes = make_names(*state);
    if (makes != shown_makes) {
        fill_combo(make_combo, makes);
        shown_makes = std::move(makes);
    }
    if (gtk_combo_box_get_active(GTK_COMBO_BOX(make_combo)) != v.make)
        gtk_combo_box_set_active(GTK_COMBO_BOX(make_combo), v.make);
    if (shown_make != v.make || shown_rows != v.rows) {
        fill_combo(model_combo, model_row_texts(*state));
        shown_make = v.make;
        shown_rows = v.rows;
    }
    if (gtk_combo_box_get_active(GTK_COMBO_BOX(model_combo)) != v.row)
        gtk_combo_box_set_active(GTK_COMBO_BOX(model_combo), v.row);
    if (level_label)
        gtk_label_set_text(GTK_LABEL(level_label), v.level_caption.c_str());
    --updating;
}

void SettingsPages::aux_text_changed()
{
    if (state && aux_buffer)
        set_buffer_text(aux_buffer, state->aux_text);
}

void SettingsPages::sim_pin_row_changed()
{
    if (state && state->sim_pin_revealed)
        gtk_widget_show(controls[std::size_t(Field::SimPin)].row);
}

// ---- Building and tearing down ---------------------------------------------

GtkWidget* build_button_bar(ConfigState& s, LinkState& link)
{
    if (!s.pages) {
        s.pages = new SettingsPages;
        s.pages->state = &s;
        s.pages->link = &link;
    }
    SettingsPages* p = s.pages;

    // The row of four columns sits between two expanding spacers.
    p->button_bar = gtk_vbox_new(FALSE, 0);
    g_signal_connect(p->button_bar, "destroy", G_CALLBACK(on_button_bar_destroyed), p);
    gtk_box_pack_start(GTK_BOX(p->button_bar), new_label(""), TRUE, TRUE, 0);
    GtkWidget* columns = gtk_hbox_new(FALSE, 0);
    gtk_box_pack_start(GTK_BOX(p->button_bar), columns, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(p->button_bar), new_label(""), TRUE, TRUE, 0);
    gtk_box_pack_start(GTK_BOX(columns), new_label(""), TRUE, TRUE, 0);

    // Two buttons a column, in the order of the commands; the fourth column
    // has one and a gap.
    const int fourth = s.unit.version < 1065 ? kTextRadioModule : kTextAdditionalModules;
    const std::array<int, kSettingsCommandCount> captions = {
        kTextSignalMonitor, kTextDefaultSettings, kTextEventMemory, kTextLoad, kTextDiagnostics, kTextSave, fourth};
    for (std::size_t column = 0; column < 4; ++column) {
        GtkWidget* box = gtk_vbox_new(FALSE, 1);
        gtk_widget_show(box);
        gtk_box_pack_start(GTK_BOX(columns), box, FALSE, FALSE, 1);
        for (std::size_t i = 2 * column; i < 2 * column + 2; ++i) {
            if (i >= kSettingsCommandCount) {
                GtkWidget* empty = new_label("");
                gtk_widget_set_size_request(empty, 200, 30);
                pack(box, empty);
                continue;
            }
            GtkWidget* button = new_wide_button(text(captions[i]));
            pack(box, button);
            p->commands[i] = {p, SettingsCommand(i)};
            g_signal_connect(button, "clicked", G_CALLBACK(on_command), &p->commands[i]);
            p->buttons[i] = button;
        }
    }
    gtk_box_pack_start(GTK_BOX(columns), new_label(""), TRUE, TRUE, 0);
    gtk_widget_show(columns);
    gtk_widget_show(p->button_bar);

    p->save_button = p->button(SettingsCommand::Save);
    p->save_label = gtk_bin_get_child(GTK_BIN(p->save_button));
    return p->button_bar;
}

GtkWidget* build_settings_pages(ConfigState& s, LinkState& link)
{
    if (!s.pages)
        build_button_bar(s, link);
    SettingsPages* p = s.pages;
    if (!s.hooks.message)
        s.hooks.message = [](const std::string& m) { show_message(m); };

    p->notebook = gtk_notebook_new();
    g_signal_connect(p->notebook, "destroy", G_CALLBACK(on_pages_destroyed), p);
    Builder b{p, s};
    b.settings1();
    if (s.unit.version >= 1064)
        b.settings2();
    b.gsm();
    gtk_widget_show(p->notebook);

    // Show what the record holds now.
    s.view = p;
    for (int f = 0; f < kFieldCount; ++f)
        p->field_changed(Field(f));
    p->vehicle_changed();
    p->save_mark_changed();
    p->aux_text_changed();
    return p->notebook;
}

void destroy_settings_pages(ConfigState& s)
{
    SettingsPages* p = s.pages;
    end_config_session(s);
    if (!p)
        return;
    p->state = nullptr;
    ++p->updating;
    if (p->notebook)
        gtk_widget_destroy(p->notebook);
    if (p->button_bar)
        gtk_widget_destroy(p->button_bar);
    delete p;
}

void settings_unit_identified(ConfigState& s, LinkState& link, UnitKind unit,
                              GtkWidget* main_box, GtkWidget* main_scroller,
                              GtkWidget* pin_menu_item)
{
    destroy_settings_pages(s);
    begin_config_session(s, unit);
    GtkWidget* bar = build_button_bar(s, link);
    GtkWidget* notebook = build_settings_pages(s, link);
    gtk_box_pack_start(GTK_BOX(main_box), notebook, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(main_box), bar, TRUE, TRUE, 0);
    gtk_widget_set_size_request(main_scroller, 1010, unit.model == 511 ? 650 : 705);
    if (pin_menu_item && unit.version >= 1100)
        gtk_widget_show(pin_menu_item);
    load_configuration(s, link, kLoadSilent);
    run_pending_events();
}

} // namespace tq
