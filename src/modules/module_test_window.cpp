#include "modules/module_test_window.h"

#include "modules/module_test.h"
#include "text/texts.h"
#include "widgets/kit.h"
#include "widgets/pictures.h"

namespace tq {
namespace {

const GdkColor kRed = {0, 0xFFFF, 0, 0};

// What the open windows were opened with.
ModulesWindowStates states;

ModuleTestWindow& test_window(int index) { return states.modules->tests[std::size_t(index)]; }

int index_of(gpointer data) { return GPOINTER_TO_INT(data); }

int kind_of(int index)
{
    return index <= kTestCableLoom ? kTestKindAuxOrLoom
           : index <= kTestTq001Second ? kTestKindTq001
                                       : kTestKindTq002;
}

int number_of(int index) { return index <= kTestCableLoom ? index : (index - kTestTq001First) % 2; }

void set_status(int index, int text_row)
{
    ModuleTestWindow& w = test_window(index);
    if (w.status)
        gtk_label_set_text(GTK_LABEL(w.status), text(text_row));
}

void show_toggle(int index)
{
    ModuleTestWindow& w = test_window(index);
    const bool on = states.modules->output_state[std::size_t(index)] != 0;
    for (GtkStateType state : {GTK_STATE_NORMAL, GTK_STATE_ACTIVE, GTK_STATE_PRELIGHT})
        gtk_widget_modify_bg(w.toggle, state, on ? &kRed : nullptr);
    if (index == kTestAux)
        gtk_button_set_label(GTK_BUTTON(w.toggle), text(on ? kTextSwitchOff : kTextSwitchOn));
}

void on_toggle(GtkToggleButton* toggle, gpointer data)
{
    const int index = index_of(data);
    states.modules->output_state[std::size_t(index)] = gtk_toggle_button_get_active(toggle) ? 1 : 0;
    show_toggle(index);
}

void on_switch(GtkWidget* button, gpointer data)
{
    const int index = index_of(data);
    const bool connect = g_object_get_data(G_OBJECT(button), "connect") != nullptr;
    const int result = switch_bistable(*states.link, kind_of(index), number_of(index), connect);
    set_status(index, result);
}

void on_output_test(GtkWidget*, gpointer data)
{
    const int index = index_of(data);
    ModuleTestWindow& w = test_window(index);
    std::array<std::string, 6> entries;
    for (std::size_t i = 0; i < entries.size(); ++i)
        entries[i] = buffer_text(w.entries[i]);
    const auto values = parse_output_test(entries);
    if (!values) {
        set_status(index, kTextInvalidValues);
        return;
    }
    set_status(index, run_output_test(*states.link, number_of(index), *values));
}

void on_destroy(GtkWidget*, gpointer data)
{
    test_window(index_of(data)) = ModuleTestWindow{};
}

GtkWidget* line_box(GtkWidget* box)
{
    GtkWidget* line = gtk_hbox_new(FALSE, 4);
    gtk_widget_show(line);
    pack(box, line);
    return line;
}

GtkWidget* left_label(GtkWidget* box, const char* t, int width = -1)
{
    GtkWidget* label = new_label(t);
    gtk_misc_set_alignment(GTK_MISC(label), 0.0f, 0.5f);
    if (width > 0)
        gtk_widget_set_size_request(label, width, 25);
    pack(box, label);
    return label;
}

GtkEntryBuffer* small_entry(GtkWidget* box, const char* initial)
{
    GtkEntryBuffer* buffer = gtk_entry_buffer_new(initial, -1);
    GtkWidget* entry = gtk_entry_new_with_buffer(buffer);
    g_object_unref(buffer);
    gtk_entry_set_width_chars(GTK_ENTRY(entry), 4);
    gtk_entry_set_max_length(GTK_ENTRY(entry), 3);
    gtk_widget_show(entry);
    pack(box, entry);
    return buffer;
}

void add_switch_buttons(GtkWidget* box, int index)
{
    GtkWidget* line = line_box(box);
    GtkWidget* off = new_button(text(kTextDisconnectBistableSwitch));
    gtk_widget_set_size_request(off, 200, 30);
    g_signal_connect(off, "clicked", G_CALLBACK(on_switch), GINT_TO_POINTER(index));
    pack(line, off);
    GtkWidget* on = new_button(text(kTextConnectBistableSwitch));
    gtk_widget_set_size_request(on, 200, 30);
    g_object_set_data(G_OBJECT(on), "connect", GINT_TO_POINTER(1));
    g_signal_connect(on, "clicked", G_CALLBACK(on_switch), GINT_TO_POINTER(index));
    pack(line, on);
}

void add_output_test(GtkWidget* box, int index)
{
    ModuleTestWindow& w = test_window(index);
    struct Line {
        int caption;
        const char* unit;
    } lines[2] = {{kTextSwitch, "*100ms"}, {kTextBuzzer, "*50ms  "}};
    for (int l = 0; l < 2; ++l) {
        GtkWidget* line = line_box(box);
        left_label(line, text(lines[l].caption), 60);
        w.entries[std::size_t(3 * l)] = small_entry(line, "1");
        left_label(line, text(kTextTimesTurnOnFor));
        w.entries[std::size_t(3 * l + 1)] = small_entry(line, "1");
        left_label(line, lines[l].unit);
        left_label(line, text(kTextAndTurnOffFor));
        w.entries[std::size_t(3 * l + 2)] = small_entry(line, "5");
        left_label(line, lines[l].unit);
    }
    GtkWidget* test = new_button(text(kTextTest));
    gtk_widget_set_size_request(test, 100, 30);
    g_signal_connect(test, "clicked", G_CALLBACK(on_output_test), GINT_TO_POINTER(index));
    pack(line_box(box), test);
    for (int i = 0; i < 2; ++i) {
        GtkWidget* line = line_box(box);
        const std::string caption = textf(kTextInput, i + 1);
        left_label(line, caption.c_str(), 70);
        w.voltages[std::size_t(i)] = left_label(line, "", 70);
    }
}

void add_inputs(GtkWidget* box, int index, std::initializer_list<int> captions)
{
    ModuleTestWindow& w = test_window(index);
    std::size_t i = 0;
    for (int caption : captions) {
        GtkWidget* line = line_box(box);
        left_label(line, text(caption), 240);
        w.inputs[i] = new_picture(Picture::CircleGrey);
        pack(line, w.inputs[i]);
        ++i;
    }
}

void add_warning(GtkWidget* box, int text_row)
{
    GtkWidget* warning = left_label(box, text(text_row));
    set_text_colour(warning, &kRed);
}

} // namespace

void open_module_test_window(const ModulesWindowStates& s, int kind, int number,
                             const OneWireId& id)
{
    const int index = module_test_index(kind, number);
    if (index < 0 || s.modules->tests[std::size_t(index)].window)
        return;
    states = s;
    ModuleTestWindow& w = test_window(index);
    const std::string title = module_test_title(kind, number, id);
    w.window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(w.window), title.c_str());
    gtk_window_set_resizable(GTK_WINDOW(w.window), FALSE);
    gtk_window_set_position(GTK_WINDOW(w.window), GTK_WIN_POS_CENTER);
    g_signal_connect(w.window, "destroy", G_CALLBACK(on_destroy), GINT_TO_POINTER(index));

    GtkWidget* box = gtk_vbox_new(FALSE, 4);
    gtk_container_set_border_width(GTK_CONTAINER(box), 8);
    gtk_widget_show(box);
    gtk_container_add(GTK_CONTAINER(w.window), box);
    GtkWidget* caption = left_label(box, title.c_str());
    if (widget_state().fonts.bold)
        gtk_widget_modify_font(caption, widget_state().fonts.bold);

    if (kind == kTestKindAuxOrLoom) {
        const bool on = states.modules->output_state[std::size_t(index)] != 0;
        const int toggle_caption =
            index != kTestAux ? kTextSensorPower : on ? kTextSwitchOff : kTextSwitchOn;
        w.toggle = gtk_toggle_button_new_with_label(text(toggle_caption));
        gtk_widget_set_size_request(w.toggle, index == kTestAux ? 200 : 400, 35);
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(w.toggle), on);
        g_signal_connect(w.toggle, "toggled", G_CALLBACK(on_toggle), GINT_TO_POINTER(index));
        gtk_widget_show(w.toggle);
        pack(line_box(box), w.toggle);
        show_toggle(index);
    } else {
        add_switch_buttons(box, index);
        if (kind == kTestKindTq002)
            add_output_test(box, index);
    }

    w.status = left_label(box, "", 400);

    if (index == kTestAux)
        add_inputs(box, index, {kTextInputWhiteYellow, kTextInputBrownYellow});
    else if (index == kTestCableLoom)
        add_inputs(box, index, {kTextSensor2PrealarmInput, kTextSensor2Input, kTextSensor1Input});

    if (index == kTestAux)
        add_warning(box, kTextAuxTestWarning);
    else if (index != kTestCableLoom)
        add_warning(box, kTextTq00TestWarning);

    gtk_widget_show(w.window);
}

void close_module_test_window(ModulesState& m, int index)
{
    if (index < 0 || index >= kModuleTestWindows)
        return;
    if (GtkWidget* window = m.tests[std::size_t(index)].window)
        gtk_widget_destroy(window); // the destroy handler forgets it
}

void close_module_test_windows(ModulesState& m)
{
    for (int i = 0; i < kModuleTestWindows; ++i)
        close_module_test_window(m, i);
}

void module_test_poll_step(ModulesState& m, LinkState& link)
{
    std::array<bool, kModuleTestWindows> open{};
    for (int i = 0; i < kModuleTestWindows; ++i)
        open[std::size_t(i)] = m.tests[std::size_t(i)].window != nullptr;
    const ModulePoll p = module_test_poll(m, link, open);
    if (p.window < 0)
        return;
    ModuleTestWindow& w = m.tests[std::size_t(p.window)];
    if (!w.window)
        return;
    if (p.what == ModulePoll::Voltages) {
        for (std::size_t i = 0; i < 2; ++i)
            gtk_label_set_text(GTK_LABEL(w.voltages[i]), volts_text(p.volts[i]).c_str());
    } else if (p.what == ModulePoll::Status) {
        gtk_label_set_text(GTK_LABEL(w.status),
                           text(p.responding ? kTextModuleReady : kTextModuleNotResponding));
        if (p.responding)
            for (std::size_t i = 0; i < w.inputs.size(); ++i)
                if (w.inputs[i])
                    set_picture(w.inputs[i], p.inputs[i] ? Picture::CircleGreen : Picture::CircleGrey);
    }
}

} // namespace tq
