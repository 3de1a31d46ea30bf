// Helpers of the GUI tests under the shared Xvfb: toolkit start, event
// pumping, window screenshots and reading what the windows show.
#pragma once

#include "widgets/kit.h"

#include <gtk/gtk.h>

#include <functional>
#include <string>

namespace tq::test {

// Starts GTK once per program (DISPLAY comes from the test run). A display
// that cannot be reached is a broken test run, not a test result: say so
// and stop rather than fail later in some toolkit call.
inline void ensure_gtk()
{
    static bool started = [] {
        for (int attempt = 0; attempt < 20; ++attempt) {
            int argc = 0;
            char** argv = nullptr;
            if (gtk_init_check(&argc, &argv))
                return true;
            g_usleep(100000);
        }
        g_error("cannot open the display \"%s\"", g_getenv("DISPLAY"));
        return false;
    }();
    (void)started;
}

inline void pump_gtk(int rounds = 30)
{
    for (int i = 0; i < rounds; ++i) {
        while (gtk_events_pending())
            gtk_main_iteration_do(FALSE);
        g_usleep(2000);
    }
}

// Saves what the window shows on screen as a PNG under the build folder's
// screenshots/ and returns the path ("" when it could not be taken).
inline std::string save_screenshot(GtkWidget* window, const std::string& name)
{
    pump_gtk();
    gdk_window_process_all_updates();
    gdk_flush();
    pump_gtk();
    GdkWindow* w = window ? gtk_widget_get_window(window) : nullptr;
    if (!w)
        return "";
    int width = 0, height = 0;
    gdk_drawable_get_size(w, &width, &height);
    GdkPixbuf* shot = gdk_pixbuf_get_from_drawable(nullptr, w, gdk_drawable_get_colormap(w), 0, 0,
                                                   0, 0, width, height);
    if (!shot)
        return "";
    const std::string dir = std::string(TQ_BINARY_DIR) + "/screenshots";
    g_mkdir_with_parents(dir.c_str(), 0755);
    const std::string path = dir + "/" + name + ".png";
    const gboolean ok = gdk_pixbuf_save(shot, path.c_str(), "png", nullptr, nullptr);
    g_object_unref(shot);
    return ok ? path : "";
}

// Every widget below root, root first, parents before their children.
inline void each_widget(GtkWidget* root, const std::function<void(GtkWidget*)>& f)
{
    f(root);
    if (GTK_IS_CONTAINER(root)) {
        GList* children = gtk_container_get_children(GTK_CONTAINER(root));
        for (GList* c = children; c; c = c->next)
            each_widget(GTK_WIDGET(c->data), f);
        g_list_free(children);
    }
}

inline std::string label_text(GtkWidget* label) { return gtk_label_get_text(GTK_LABEL(label)); }

// The caption a button shows: the text of its label, else the label it was
// given ("" for neither).
inline std::string button_text(GtkWidget* button)
{
    GtkWidget* child = gtk_bin_get_child(GTK_BIN(button));
    if (child && GTK_IS_LABEL(child))
        return label_text(child);
    const char* given = gtk_button_get_label(GTK_BUTTON(button));
    return given ? given : "";
}

// The first label at or below w that shows some text ("" when none does).
inline std::string first_label_text(GtkWidget* w)
{
    std::string found;
    each_widget(w, [&](GtkWidget* x) {
        if (found.empty() && GTK_IS_LABEL(x))
            found = label_text(x);
    });
    return found;
}

// What the open message window says ("" when none is open).
inline std::string message_text()
{
    GtkWidget* w = widget_state().message_window;
    return w ? first_label_text(w) : "";
}

} // namespace tq::test
