#include "radio/radio_window.h"

#include "platform/clock.h"
#include "platform/secure_random.h"
#include "radio/radio_module.h"
#include "text/texts.h"
#include "widgets/kit.h"
#include "widgets/pictures.h"

#include <gdk/gdkkeysyms.h>
#include <gtk/gtk.h>

#include <array>

namespace tq {
namespace {

// The text of a button made with a label child.
void set_button_text(GtkWidget* button, const char* caption)
{
    GtkWidget* label = gtk_bin_get_child(GTK_BIN(button));
    if (label && GTK_IS_LABEL(label))
        gtk_label_set_text(GTK_LABEL(label), caption);
}

constexpr int kCell = 33;

struct Row {
    GtkWidget* buttons = nullptr;   // button pictures and spacer, 165 wide
    GtkWidget* spacer = nullptr;
    GtkWidget* name = nullptr;      // insensitive button holding the name
    GtkWidget* name_label = nullptr;
    GtkWidget* pictures = nullptr;  // device, power, signal, signal text
    GtkWidget* device = nullptr;
    GtkWidget* power = nullptr;
    GtkWidget* signal = nullptr;
    GtkWidget* signal_text = nullptr;
    GtkWidget* blank = nullptr;     // 207-pixel placeholder of an empty row
    GtkWidget* erase = nullptr;
};

struct Widgets {
    GtkWidget* identity = nullptr;
    std::array<Row, kRadioSlots> rows{};
    GtkWidget* pairing = nullptr;
    GtkWidget* info = nullptr;
    GtkWidget* device_warning = nullptr;
    GtkWidget* name_caption = nullptr;
    GtkWidget* name_entry = nullptr;
    GtkEntryBuffer* name_buffer = nullptr;
    GtkWidget* change = nullptr;
    GtkWidget* default_name = nullptr;
    GtkWidget* password = nullptr;
};

Widgets parts;
// What the open window was opened with.
RadioWindowStates states;
const GdkColor kRed = {0, 0xFFFF, 0, 0};
const GdkColor kHeard = {0, 0, 0xD000, 0};

Picture device_picture(DeviceArt art)
{
    switch (art) {
    case DeviceArt::PhoneAndroid: return Picture::PhoneAndroid;
    case DeviceArt::PhoneApple: return Picture::PhoneApple;
    case DeviceArt::CardQr: return Picture::CardQr;
    case DeviceArt::Fob: return Picture::FobEmblem;
    case DeviceArt::Remote: return Picture::RemoteFourButton;
    case DeviceArt::Siren: return Picture::SirenBox;
    case DeviceArt::Lugged: return Picture::LuggedDevice;
    case DeviceArt::Oval: return Picture::OvalDevice;
    case DeviceArt::Unknown: break;
    }
    return Picture::UnknownDevice;
}

Picture cell_picture(const ButtonCell& cell)
{
    if (cell.kind == ButtonCell::State) {
        static constexpr Picture pictures[] = {Picture::CircleGrey, Picture::CircleRed,
                                               Picture::CircleGreen, Picture::CircleGreenPlus,
                                               Picture::CircleGreenMinus};
        return pictures[cell.state];
    }
    static constexpr Picture symbols[] = {Picture::PadlockOpenGrey, Picture::PadlockClosedGrey,
                                          Picture::BellGrey, Picture::TrunkGrey,
                                          Picture::EmblemGrey, Picture::PowerGrey};
    return symbol_picture(symbols[cell.symbol], cell.colour);
}

GtkWidget* sized_label(const char* text, int width, int height)
{
    GtkWidget* label = new_label(text);
    gtk_widget_set_size_request(label, width, height);
    return label;
}

class WindowView final : public RadioView {
public:
    void busy_cursor(bool on) override { on ? set_busy_cursor() : clear_busy_cursor(); }
    void message(const std::string& t) override { show_message(t); }
    bool ask(const std::string& t) override { return ask_question(states.radio->window, t.c_str()); }
    void build_window() override;
    void destroy_window() override;
    void show_password_button() override
    {
        if (parts.password)
            gtk_widget_show(parts.password);
    }
    void set_identity(const std::string& t) override
    {
        if (parts.identity)
            gtk_label_set_text(GTK_LABEL(parts.identity), t.c_str());
    }
    void show_name_controls(const std::string& caption) override
    {
        if (!parts.name_caption)
            return;
        gtk_label_set_text(GTK_LABEL(parts.name_caption), caption.c_str());
        for (GtkWidget* w : {parts.name_caption, parts.name_entry, parts.change, parts.default_name})
            gtk_widget_show(w);
    }
    void set_info(const std::string& t) override
    {
        if (parts.info)
            gtk_label_set_text(GTK_LABEL(parts.info), t.c_str());
    }
    void set_pairing_caption(bool pairing) override
    {
        if (parts.pairing)
            set_button_text(parts.pairing, text(pairing ? kTextStopPairing : kTextEnablePairing));
    }
    void set_device_warning(bool shown) override
    {
        if (parts.device_warning)
            gtk_label_set_text(GTK_LABEL(parts.device_warning), shown ? text(kTextFobrixRangeWarning) : "");
    }
    void set_name(const std::string& name) override
    {
        if (parts.name_buffer)
            set_buffer_text(parts.name_buffer, name);
    }
    void clear_row(int slot) override;
    void show_row(int slot, const RadioRow& row) override;
    void set_row_buttons(int slot, const RowButtons& buttons) override;
    void set_row_heard(int slot, bool heard) override
    {
        if (Row* r = row(slot))
            gtk_widget_modify_bg(r->name, GTK_STATE_INSENSITIVE, heard ? &kHeard : nullptr);
    }
    void set_row_status(int slot, int battery, int waves, const std::string& signal_text,
                        const std::string& tooltip) override;

private:
    static Row* row(int slot)
    {
        if (!states.radio->window || slot < 0 || slot >= kRadioSlots)
            return nullptr;
        return &parts.rows[std::size_t(slot)];
    }
};

WindowView view;

RadioContext context()
{
    return RadioContext{*states.link, *states.radio, view, *states.onewire_id};
}

void clear_children(GtkWidget* box)
{
    GList* children = gtk_container_get_children(GTK_CONTAINER(box));
    for (GList* c = children; c; c = c->next)
        gtk_widget_destroy(GTK_WIDGET(c->data));
    g_list_free(children);
}

void WindowView::clear_row(int slot)
{
    Row* r = row(slot);
    if (!r)
        return;
    clear_children(r->buttons);
    r->spacer = sized_label("", 5 * kCell, kCell);
    pack(r->buttons, r->spacer);
    gtk_label_set_text(GTK_LABEL(r->name_label), "");
    gtk_widget_modify_bg(r->name, GTK_STATE_INSENSITIVE, nullptr);
    gtk_widget_set_tooltip_text(r->name, nullptr);
    gtk_widget_set_tooltip_text(r->signal, nullptr);
    gtk_image_clear(GTK_IMAGE(r->device));
    gtk_image_clear(GTK_IMAGE(r->power));
    gtk_image_clear(GTK_IMAGE(r->signal));
    gtk_label_set_text(GTK_LABEL(r->signal_text), "");
    gtk_widget_hide(r->pictures);
    gtk_widget_show(r->blank);
    gtk_widget_hide(r->erase);
}

void WindowView::show_row(int slot, const RadioRow& data)
{
    Row* r = row(slot);
    if (!r)
        return;
    gtk_label_set_text(GTK_LABEL(r->name_label), data.name.c_str());
    set_picture(r->device, device_picture(device_look(data.type, data.subtype).art));
    gtk_widget_show(r->pictures);
    gtk_widget_hide(r->blank);
    gtk_widget_show(r->erase);
}

void WindowView::set_row_buttons(int slot, const RowButtons& b)
{
    Row* r = row(slot);
    if (!r)
        return;
    clear_children(r->buttons);
    for (const ButtonCell& cell : b.cells) {
        if (cell.kind == ButtonCell::Empty) {
            pack(r->buttons, sized_label("", kCell, kCell));
            continue;
        }
        GtkWidget* image = new_picture(cell_picture(cell));
        gtk_widget_set_size_request(image, kCell, kCell);
        pack(r->buttons, image);
    }
    r->spacer = sized_label("", std::max(b.spacer_width, 1), kCell);
    pack(r->buttons, r->spacer);
}

void WindowView::set_row_status(int slot, int battery, int waves, const std::string& signal_text,
                                const std::string& tooltip)
{
    Row* r = row(slot);
    if (!r)
        return;
    if (!tooltip.empty()) {
        gtk_widget_set_tooltip_text(r->name, tooltip.c_str());
        gtk_widget_set_tooltip_text(r->signal, tooltip.c_str());
    }
    if (battery == kBatteryNone)
        gtk_image_clear(GTK_IMAGE(r->power));
    else if (battery == kBatteryPlusMinus)
        set_picture(r->power, Picture::BatteryPlusMinus);
    else
        set_picture(r->power, Picture(int(Picture::Battery1) + battery - 1));
    set_picture(r->signal, Picture(int(Picture::Antenna0) + waves));
    gtk_label_set_text(GTK_LABEL(r->signal_text), signal_text.c_str());
}

// ------------------------------------------------------------------ handlers

gboolean on_delete(GtkWidget*, GdkEvent*, gpointer)
{
    close_radio_window(states);
    return TRUE;
}

void on_destroy(GtkWidget* w, gpointer)
{
    RadioState& r = *states.radio;
    if (r.window == w) {
        r.window = nullptr;
        parts = Widgets{};
    }
}

void on_id_window_destroy(GtkWidget*, gpointer) { states.radio->id_window = nullptr; }

void open_id_window()
{
    RadioState& r = *states.radio;
    if (r.id_window)
        return;
    GtkWidget* w = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    r.id_window = w;
    gtk_window_set_title(GTK_WINDOW(w), "ID");
    gtk_window_set_modal(GTK_WINDOW(w), TRUE);
    gtk_window_set_transient_for(GTK_WINDOW(w), GTK_WINDOW(r.window));
    gtk_window_set_position(GTK_WINDOW(w), GTK_WIN_POS_CENTER_ON_PARENT);
    gtk_window_set_resizable(GTK_WINDOW(w), FALSE);
    gtk_container_set_border_width(GTK_CONTAINER(w), 8);
    g_signal_connect(w, "destroy", G_CALLBACK(on_id_window_destroy), nullptr);
    GtkWidget* entry = gtk_entry_new();
    gtk_entry_set_text(GTK_ENTRY(entry), r.id_hex.c_str());
    gtk_entry_set_width_chars(GTK_ENTRY(entry), 20);
    gtk_container_add(GTK_CONTAINER(w), entry);
    gtk_widget_show_all(w);
    gtk_editable_select_region(GTK_EDITABLE(entry), 0, -1);
}

gboolean on_key(GtkWidget*, GdkEventKey* event, gpointer)
{
    if (event->keyval == GDK_A && (event->state & GDK_CONTROL_MASK)) {
        open_id_window();
        return TRUE;
    }
    return FALSE;
}

gboolean on_identity_click(GtkWidget*, GdkEventButton*, gpointer)
{
    view.set_identity(radio_toggle_identity(*states.radio));
    return TRUE;
}

void on_erase(GtkWidget*, gpointer slot)
{
    auto c = context();
    radio_erase_device(c, GPOINTER_TO_INT(slot));
}

void on_erase_all(GtkWidget*, gpointer)
{
    auto c = context();
    radio_erase_all(c);
}

void on_pairing(GtkWidget*, gpointer)
{
    auto c = context();
    radio_toggle_pairing(c);
}

void on_reset(GtkWidget*, gpointer)
{
    auto c = context();
    radio_reset_module(c);
}

void on_change(GtkWidget*, gpointer)
{
    auto c = context();
    radio_change_name(c, buffer_text(parts.name_buffer));
}

void on_default(GtkWidget*, gpointer)
{
    auto c = context();
    radio_default_name(c);
}

void on_password(GtkWidget*, gpointer)
{
    auto c = context();
    radio_set_password(c, [](std::uint32_t& n) { return platform::secure_random_u32(n); });
}

GtkWidget* add_button(GtkWidget* box, const char* caption, GCallback handler, gpointer data = nullptr)
{
    GtkWidget* b = new_button(caption);
    g_signal_connect(b, "clicked", handler, data);
    pack(box, b);
    return b;
}

void build_row(GtkWidget* box, int slot)
{
    Row& r = parts.rows[std::size_t(slot)];
    GtkWidget* line = gtk_hbox_new(FALSE, 0);
    gtk_widget_show(line);
    gtk_box_pack_start(GTK_BOX(box), line, FALSE, FALSE, 0);

    r.buttons = gtk_hbox_new(FALSE, 0);
    gtk_widget_set_size_request(r.buttons, 5 * kCell, kCell);
    gtk_widget_show(r.buttons);
    gtk_box_pack_start(GTK_BOX(line), r.buttons, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(line), sized_label("", 3, kCell), FALSE, FALSE, 0);

    r.name = gtk_button_new();
    r.name_label = new_label("");
    // The cell is insensitive, yet its name is read: black, not the
    // toolkit's pale insensitive grey, which vanishes on the green of a
    // heard device.
    static const GdkColor black = {0, 0, 0, 0};
    gtk_widget_modify_fg(r.name_label, GTK_STATE_INSENSITIVE, &black);
    gtk_container_add(GTK_CONTAINER(r.name), r.name_label);
    gtk_widget_set_size_request(r.name, 147, kCell);
    gtk_widget_set_sensitive(r.name, FALSE);
    gtk_widget_show(r.name);
    gtk_box_pack_start(GTK_BOX(line), r.name, FALSE, FALSE, 0);

    r.pictures = gtk_hbox_new(FALSE, 0);
    r.device = gtk_image_new();
    gtk_widget_set_size_request(r.device, 46, 34);
    r.power = gtk_image_new();
    gtk_widget_set_size_request(r.power, 58, 34);
    r.signal = gtk_image_new();
    gtk_widget_set_size_request(r.signal, 58, 34);
    r.signal_text = sized_label("", 45, 34);
    for (GtkWidget* w : {r.device, r.power, r.signal, r.signal_text}) {
        gtk_widget_show(w);
        gtk_box_pack_start(GTK_BOX(r.pictures), w, FALSE, FALSE, 0);
    }
    gtk_box_pack_start(GTK_BOX(line), r.pictures, FALSE, FALSE, 0);
    r.blank = sized_label("", 207, kCell);
    gtk_box_pack_start(GTK_BOX(line), r.blank, FALSE, FALSE, 0);

    r.erase = new_button(text(kTextErase));
    gtk_widget_set_size_request(r.erase, 50, kCell);
    g_signal_connect(r.erase, "clicked", G_CALLBACK(on_erase), GINT_TO_POINTER(slot));
    gtk_box_pack_start(GTK_BOX(line), r.erase, FALSE, FALSE, 0);
    gtk_widget_hide(r.erase);
}

void WindowView::build_window()
{
    GtkWidget* w = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    states.radio->window = w;
    gtk_window_set_title(GTK_WINDOW(w), text(kTextRadioModuleTitle));
    gtk_container_set_border_width(GTK_CONTAINER(w), 4);
    g_signal_connect(w, "delete-event", G_CALLBACK(on_delete), nullptr);
    g_signal_connect(w, "destroy", G_CALLBACK(on_destroy), nullptr);
    g_signal_connect(w, "key-press-event", G_CALLBACK(on_key), nullptr);
    if (states.start_maximized || states.min_work_width < 1000 || states.min_work_height < 715) {
        gtk_window_maximize(GTK_WINDOW(w));
    } else {
        gtk_widget_set_size_request(w, 1000, 715);
        gtk_window_set_resizable(GTK_WINDOW(w), FALSE);
    }
    const Fonts& fonts = widget_state().fonts;

    GtkWidget* box = gtk_vbox_new(FALSE, 1);
    gtk_container_add(GTK_CONTAINER(w), box);

    GtkWidget* events = gtk_event_box_new();
    parts.identity = new_label("");
    if (fonts.bold)
        gtk_widget_modify_font(parts.identity, fonts.bold);
    gtk_container_add(GTK_CONTAINER(events), parts.identity);
    g_signal_connect(events, "button-press-event", G_CALLBACK(on_identity_click), nullptr);
    gtk_box_pack_start(GTK_BOX(box), events, FALSE, FALSE, 4);

    GtkWidget* header = gtk_hbox_new(FALSE, 0);
    const std::pair<const char*, int> heads[] = {
        {text(kTextButtons), 165}, {text(kTextRemoteName), 160}, {"", 210}, {"RSSI", 50}};
    for (const auto& [caption, width] : heads) {
        GtkWidget* l = sized_label(caption, width, 20);
        if (fonts.bold)
            gtk_widget_modify_font(l, fonts.bold);
        gtk_box_pack_start(GTK_BOX(header), l, FALSE, FALSE, 0);
    }
    gtk_box_pack_start(GTK_BOX(box), header, FALSE, FALSE, 1);

    for (int slot = 0; slot < kRadioSlots; ++slot)
        build_row(box, slot);

    GtkWidget* actions = gtk_hbox_new(FALSE, 4);
    GtkWidget* erase_all = add_button(actions, text(kTextEraseAll), G_CALLBACK(on_erase_all));
    gtk_widget_set_size_request(erase_all, 200, 30);
    parts.pairing = add_button(actions, text(kTextEnablePairing), G_CALLBACK(on_pairing));
    add_button(actions, text(kTextResetRadioModule), G_CALLBACK(on_reset));
    gtk_box_pack_start(GTK_BOX(box), actions, FALSE, FALSE, 4);

    parts.info = sized_label("", 900, 50);
    gtk_misc_set_alignment(GTK_MISC(parts.info), 0.0f, 0.5f);
    pack(box, parts.info);
    parts.device_warning = new_label("");
    gtk_widget_modify_fg(parts.device_warning, GTK_STATE_NORMAL, &kRed);
    pack(box, parts.device_warning);
    GtkWidget* warning = new_label(text(kTextRadioWindowWarning));
    gtk_widget_modify_fg(warning, GTK_STATE_NORMAL, &kRed);
    pack(box, warning);

    GtkWidget* name_line = gtk_hbox_new(FALSE, 4);
    parts.name_caption = new_label("");
    pack(name_line, parts.name_caption);
    parts.name_buffer = gtk_entry_buffer_new(nullptr, -1);
    parts.name_entry = gtk_entry_new_with_buffer(parts.name_buffer);
    g_object_unref(parts.name_buffer);
    gtk_widget_set_size_request(parts.name_entry, 250, -1);
    pack(name_line, parts.name_entry);
    parts.change = add_button(name_line, text(kTextChange), G_CALLBACK(on_change));
    parts.default_name = add_button(name_line, text(kTextDefault), G_CALLBACK(on_default));
    parts.password = add_button(name_line, text(kTextSetPassword), G_CALLBACK(on_password));
    gtk_box_pack_start(GTK_BOX(box), name_line, FALSE, FALSE, 4);

    gtk_widget_show_all(w);
    for (GtkWidget* hidden : {parts.name_caption, parts.name_entry, parts.change,
                              parts.default_name, parts.password})
        gtk_widget_hide(hidden);
    for (int slot = 0; slot < kRadioSlots; ++slot)
        clear_row(slot);
    if (states.main_window)
        gtk_window_set_transient_for(GTK_WINDOW(w), GTK_WINDOW(states.main_window));
    gtk_window_set_position(GTK_WINDOW(w), GTK_WIN_POS_CENTER);
}

void WindowView::destroy_window()
{
    RadioState& r = *states.radio;
    if (r.id_window)
        gtk_widget_destroy(r.id_window);
    GtkWidget* w = r.window;
    r.window = nullptr;
    parts = Widgets{};
    if (w)
        gtk_widget_destroy(w);
}

} // namespace

void open_radio_window(const RadioWindowStates& s)
{
    states = s;
    RadioState& r = *states.radio;
    if (r.window) {
        gtk_window_present(GTK_WINDOW(r.window));
        return;
    }
    auto c = context();
    radio_open(c);
}

void close_radio_window(const RadioWindowStates& s)
{
    if (!s.radio->window_open)
        return;
    states = s;
    auto c = context();
    radio_close(c);
}

void radio_poll_step(const RadioWindowStates& s)
{
    states = s;
    auto c = context();
    radio_poll_step(c);
}

} // namespace tq
