#include "modules/aux_window.h"

#include "modules/aux_status.h"
#include "text/texts.h"
#include "widgets/kit.h"
#include "widgets/pictures.h"

#include <algorithm>

namespace tq {
namespace {

// What the open window was opened with.
ModulesWindowStates states;

const GdkColor kFlagRed = {0, 0xFFFF, 0, 0};
const GdkColor kFlagYellow = {0, 0xFFFF, 0xFFFF, 0};

// Flag labels are insensitive buttons; their background shows the flag.
void colour_flag(GtkWidget* flag, int colour)
{
    const GdkColor* c = colour == kAuxRed ? &kFlagRed : colour == kAuxYellow ? &kFlagYellow : nullptr;
    for (GtkStateType state : {GTK_STATE_NORMAL, GTK_STATE_INSENSITIVE, GTK_STATE_PRELIGHT})
        gtk_widget_modify_bg(flag, state, c);
}

void show_flags(AuxInterfaceState& s)
{
    for (GtkWidget* column : s.flag_columns)
        gtk_widget_set_visible(column, s.more_info);
    gtk_widget_set_visible(s.commands[kAuxQuery], s.more_info);
    GtkWidget* label = gtk_bin_get_child(GTK_BIN(s.more_info_button));
    gtk_label_set_text(GTK_LABEL(label), text(s.more_info ? kTextLessInfo : kTextMoreInfo));
}

// The window grows with the flag columns: keep it on the screen.
void keep_on_screen(GtkWidget* window)
{
    GtkRequisition size;
    gtk_widget_size_request(window, &size);
    GdkScreen* screen = gtk_window_get_screen(GTK_WINDOW(window));
    const int screen_width = gdk_screen_get_width(screen);
    const int screen_height = gdk_screen_get_height(screen);
    int x = 0, y = 0;
    gtk_window_get_position(GTK_WINDOW(window), &x, &y);
    const int nx = std::max(0, std::min(x, screen_width - size.width));
    const int ny = std::max(0, std::min(y, screen_height - size.height));
    if (nx != x || ny != y)
        gtk_window_move(GTK_WINDOW(window), nx, ny);
}

void on_more_info(GtkWidget*, gpointer)
{
    AuxInterfaceState& s = states.modules->aux;
    s.more_info = !s.more_info;
    show_flags(s);
    keep_on_screen(s.window);
}

void on_command(GtkWidget*, gpointer index)
{
    send_aux_command(*states.link, GPOINTER_TO_INT(index));
}

void on_destroy(GtkWidget*, gpointer)
{
    states.modules->aux = AuxInterfaceState{};
}

GtkWidget* picture_line(GtkWidget* box, GtkWidget** picture, const char* caption)
{
    GtkWidget* line = gtk_hbox_new(FALSE, 4);
    gtk_widget_show(line);
    *picture = new_picture(Picture::CircleGrey);
    pack(line, *picture);
    pack(line, new_label(caption));
    pack(box, line);
    return line;
}

void apply(AuxInterfaceState& s, const AuxView& v)
{
    for (int i = 0; i < kAuxFlagCount; ++i)
        colour_flag(s.flags[std::size_t(i)], v.flag_colour[std::size_t(i)]);
    for (std::size_t i = 0; i < s.values.size(); ++i)
        gtk_label_set_text(GTK_LABEL(s.values[i]), v.values[i].c_str());
    set_picture(s.led, v.led ? Picture::CircleRed : Picture::CircleGrey);
    set_picture(s.programming, v.programming == kAuxRed     ? Picture::CircleRed
                               : v.programming == kAuxGreen ? Picture::CircleGreen
                                                            : Picture::CircleGrey);
    gtk_label_set_text(GTK_LABEL(s.status), v.status.c_str());
    if (v.buttons_changed)
        for (int i = 0; i < kAuxCommandCount; ++i)
            gtk_widget_set_sensitive(s.commands[std::size_t(i)], v.buttons[std::size_t(i)]);
}

} // namespace

void open_aux_window(const ModulesWindowStates& given)
{
    AuxInterfaceState& s = given.modules->aux;
    if (s.window) {
        gtk_window_present(GTK_WINDOW(s.window));
        return;
    }
    const RadioState& radio = *given.radio.radio;
    if (radio.window_open || radio.monitor_open || radio.opening)
        return;
    states = given;

    s = AuxInterfaceState{};
    s.window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(s.window), text(kTextAuxFortinModule));
    gtk_window_set_resizable(GTK_WINDOW(s.window), FALSE);
    gtk_window_set_position(GTK_WINDOW(s.window), GTK_WIN_POS_CENTER);
    g_signal_connect(s.window, "destroy", G_CALLBACK(on_destroy), nullptr);

    GtkWidget* outer = gtk_hbox_new(FALSE, 8);
    gtk_container_set_border_width(GTK_CONTAINER(outer), 6);
    gtk_container_add(GTK_CONTAINER(s.window), outer);

    // Left: the two flag columns and the value lines.
    GtkWidget* left = gtk_vbox_new(FALSE, 1);
    pack(outer, left);
    GtkWidget* columns = gtk_hbox_new(FALSE, 4);
    pack(left, columns);
    for (int c = 0; c < 2; ++c) {
        s.flag_columns[std::size_t(c)] = gtk_vbox_new(FALSE, 1);
        pack(columns, s.flag_columns[std::size_t(c)]);
    }
    for (int i = 0; i < kAuxFlagCount; ++i) {
        GtkWidget* flag = new_button(kAuxFlagNames[std::size_t(i)]);
        gtk_widget_set_size_request(flag, 250, 30);
        gtk_widget_set_sensitive(flag, FALSE);
        pack(s.flag_columns[i < kAuxFirstColumnFlags ? 0 : 1], flag);
        s.flags[std::size_t(i)] = flag;
    }
    for (GtkWidget*& value : s.values) {
        value = new_label("");
        gtk_misc_set_alignment(GTK_MISC(value), 0.0f, 0.5f);
        gtk_widget_set_size_request(value, 250, 30);
        pack(left, value);
    }

    // Right: LED, programming, status, MORE INFO and the commands.
    GtkWidget* right = gtk_vbox_new(FALSE, 1);
    pack(outer, right);
    picture_line(right, &s.led, text(kTextFortinLed));
    picture_line(right, &s.programming, text(kTextProgramming));
    s.status = new_label("");
    gtk_misc_set_alignment(GTK_MISC(s.status), 0.0f, 0.5f);
    gtk_widget_set_size_request(s.status, -1, 30);
    pack(right, s.status);
    s.more_info_button = new_button(text(kTextMoreInfo));
    gtk_widget_set_size_request(s.more_info_button, 150, 30);
    g_signal_connect(s.more_info_button, "clicked", G_CALLBACK(on_more_info), nullptr);
    pack(right, s.more_info_button);
    for (int i = 0; i < kAuxCommandCount; ++i) {
        GtkWidget* button = new_button(kAuxCommandNames[std::size_t(i)]);
        gtk_widget_set_size_request(button, 150, 30);
        gtk_widget_set_sensitive(button, i == kAuxProgramRemote);
        g_signal_connect(button, "clicked", G_CALLBACK(on_command), GINT_TO_POINTER(i));
        pack(right, button);
        s.commands[std::size_t(i)] = button;
    }

    gtk_widget_show(left);
    gtk_widget_show(columns);
    gtk_widget_show(right);
    gtk_widget_show(outer);
    s.more_info = false;
    show_flags(s);
    gtk_widget_show(s.window);
}

void close_aux_window(ModulesState& m)
{
    AuxInterfaceState& s = m.aux;
    if (s.window)
        gtk_widget_destroy(s.window);
}

void aux_status_poll_step(ModulesState& m, LinkState& link)
{
    AuxInterfaceState& s = m.aux;
    if (!s.window)
        return;
    const std::optional<AuxView> v = aux_poll(s, link);
    // A programmer lost in the request has closed the window meanwhile.
    if (v && s.window)
        apply(s, *v);
}

} // namespace tq
