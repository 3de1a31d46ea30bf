// A GTK module the benchmarks load into the real tq512 (GTK_MODULES) to do
// what a fitter would do once the unit is connected: it waits until a button
// with the label TQ_BENCH_BUTTON is on screen, presses it when
// TQ_BENCH_PRESS is 1, then sends Ctrl and TQ_BENCH_CTRL_KEY to the window
// that holds it. Then it writes "ready" to the file descriptor
// TQ_BENCH_READY_FD and removes its timer, so that nothing of it runs while
// the benchmark measures.
#include <gdk/gdkkeysyms.h>
#include <gtk/gtk.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

struct Plan {
    std::string button;
    bool press = false;
    guint ctrl_key = 0;
    int ready_fd = -1;
};

Plan plan;

struct Search {
    const char* label;
    GtkWidget* found;
};

void find_button(GtkWidget* widget, gpointer data)
{
    Search* s = static_cast<Search*>(data);
    if (s->found)
        return;
    if (GTK_IS_BUTTON(widget) && gtk_widget_get_mapped(widget) &&
        gtk_widget_is_sensitive(widget)) {
        GtkWidget* child = gtk_bin_get_child(GTK_BIN(widget));
        if (child && GTK_IS_LABEL(child) &&
            std::strcmp(gtk_label_get_text(GTK_LABEL(child)), s->label) == 0) {
            s->found = widget;
            return;
        }
    }
    if (GTK_IS_CONTAINER(widget))
        gtk_container_forall(GTK_CONTAINER(widget), find_button, data);
}

GtkWidget* mapped_button(const char* label)
{
    Search s{label, nullptr};
    GList* windows = gtk_window_list_toplevels();
    for (GList* w = windows; w && !s.found; w = w->next)
        find_button(GTK_WIDGET(w->data), &s);
    g_list_free(windows);
    return s.found;
}

void send_ctrl_key(GtkWidget* window, guint keyval)
{
    GdkEvent* event = gdk_event_new(GDK_KEY_PRESS);
    event->key.window = GDK_WINDOW(g_object_ref(window->window));
    event->key.send_event = TRUE;
    event->key.time = GDK_CURRENT_TIME;
    event->key.state = GDK_CONTROL_MASK;
    event->key.keyval = keyval;
    GdkKeymapKey* keys = nullptr;
    gint count = 0;
    if (gdk_keymap_get_entries_for_keyval(gdk_keymap_get_default(), keyval, &keys, &count) &&
        count > 0)
        event->key.hardware_keycode = guint16(keys[0].keycode);
    g_free(keys);
    gtk_widget_event(window, event);
    gdk_event_free(event);
}

void report_ready()
{
    if (plan.ready_fd < 0)
        return;
    const char line[] = "ready\n";
    if (write(plan.ready_fd, line, sizeof line - 1) < 0) {
        // The benchmark went away; the program carries on regardless.
    }
    close(plan.ready_fd);
    plan.ready_fd = -1;
}

gboolean step(gpointer)
{
    GtkWidget* anchor = nullptr;
    if (!plan.button.empty()) {
        GtkWidget* button = mapped_button(plan.button.c_str());
        if (!button)
            return TRUE; // not connected yet
        anchor = gtk_widget_get_toplevel(button);
        if (plan.press)
            gtk_button_clicked(GTK_BUTTON(button));
    }
    if (plan.ctrl_key) {
        if (!anchor) {
            GList* windows = gtk_window_list_toplevels();
            for (GList* w = windows; w && !anchor; w = w->next) {
                if (gtk_widget_get_mapped(GTK_WIDGET(w->data)))
                    anchor = GTK_WIDGET(w->data);
            }
            g_list_free(windows);
            if (!anchor)
                return TRUE;
        }
        send_ctrl_key(anchor, plan.ctrl_key);
    }
    report_ready();
    return FALSE;
}

} // namespace

extern "C" G_MODULE_EXPORT void gtk_module_init(gint*, gchar***)
{
    if (const char* button = std::getenv("TQ_BENCH_BUTTON"))
        plan.button = button;
    if (const char* press = std::getenv("TQ_BENCH_PRESS"))
        plan.press = std::strcmp(press, "1") == 0;
    if (const char* key = std::getenv("TQ_BENCH_CTRL_KEY"); key && *key)
        plan.ctrl_key = gdk_unicode_to_keyval(guint32(key[0]));
    if (const char* fd = std::getenv("TQ_BENCH_READY_FD"))
        plan.ready_fd = std::atoi(fd);
    // The variables are for this process only, not for programs it starts.
    g_unsetenv("GTK_MODULES");
    g_unsetenv("TQ_BENCH_READY_FD");
    if (plan.ready_fd >= 0)
        fcntl(plan.ready_fd, F_SETFD, FD_CLOEXEC);
    if (!plan.button.empty() || plan.ctrl_key)
        g_timeout_add(100, step, nullptr);
}
