// The question window has two answers, Yes and No: closing it or pressing
// Escape answers nothing and leaves it open.
#include "gui/gui_support.h"
#include "text/texts.h"
#include "widgets/kit.h"

#include <gdk/gdkkeysyms.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tq {
namespace {

GtkWidget* question_window()
{
    GtkWidget* found = nullptr;
    GList* windows = gtk_window_list_toplevels();
    for (GList* l = windows; l; l = l->next) {
        GtkWidget* w = GTK_WIDGET(l->data);
        const char* title = gtk_window_get_title(GTK_WINDOW(w));
        if (GTK_WIDGET_VISIBLE(w) && title && std::string(title) == text(kTextQuestion))
            found = w;
    }
    g_list_free(windows);
    return found;
}

void press_escape(GtkWidget* window)
{
    GdkEvent* event = gdk_event_new(GDK_KEY_PRESS);
    event->key.window = GDK_WINDOW(g_object_ref(window->window));
    event->key.send_event = TRUE;
    event->key.time = GDK_CURRENT_TIME;
    event->key.keyval = GDK_Escape;
    GdkKeymapKey* keys = nullptr;
    gint n = 0;
    if (gdk_keymap_get_entries_for_keyval(gdk_keymap_get_default(), GDK_Escape, &keys, &n) && n)
        event->key.hardware_keycode = guint16(keys[0].keycode);
    g_free(keys);
    gtk_main_do_event(event);
    gdk_event_free(event);
}

// What the window manager's close button sends.
void close_by_window_manager(GtkWidget* window)
{
    GdkEvent* event = gdk_event_new(GDK_DELETE);
    event->any.window = GDK_WINDOW(g_object_ref(window->window));
    event->any.send_event = TRUE;
    gtk_main_do_event(event);
    gdk_event_free(event);
}

struct Fitter {
    enum Step { kEscape, kClose, kYes, kNo };
    std::vector<Step> steps;
    std::size_t next = 0;
    int still_open_after_refusals = 0;
    bool deletable = true;
};

void click_caption(GtkWidget* window, const char* caption)
{
    test::each_widget(window, [&](GtkWidget* w) {
        if (GTK_IS_BUTTON(w) && test::button_text(w) == caption)
            gtk_button_clicked(GTK_BUTTON(w));
    });
}

gboolean fitter_step(gpointer data)
{
    auto* f = static_cast<Fitter*>(data);
    GtkWidget* q = question_window();
    if (!q || !GTK_WIDGET_MAPPED(q))
        return TRUE;
    if (f->next > 0 && f->steps[f->next - 1] <= Fitter::kClose)
        ++f->still_open_after_refusals;
    if (f->next >= f->steps.size())
        return TRUE;
    f->deletable = gtk_window_get_deletable(GTK_WINDOW(q));
    switch (f->steps[f->next++]) {
    case Fitter::kEscape:
        press_escape(q);
        return TRUE;
    case Fitter::kClose:
        close_by_window_manager(q);
        return TRUE;
    case Fitter::kYes:
        click_caption(q, text(kTextYes));
        return TRUE;
    case Fitter::kNo:
        click_caption(q, text(kTextNo));
        return TRUE;
    }
    return TRUE;
}

TEST(Question, OnlyYesOrNoAnswers)
{
    test::ensure_gtk();
    struct Case {
        std::vector<Fitter::Step> steps;
        bool answer;
    } cases[] = {
        {{Fitter::kEscape, Fitter::kClose, Fitter::kYes}, true},
        {{Fitter::kClose, Fitter::kEscape, Fitter::kEscape, Fitter::kNo}, false},
        {{Fitter::kYes}, true},
    };
    for (const Case& c : cases) {
        Fitter f;
        f.steps = c.steps;
        const guint source = g_timeout_add(20, fitter_step, &f);
        const bool answer = ask_question(nullptr, "Do you want to remove it?");
        g_source_remove(source);
        EXPECT_EQ(answer, c.answer);
        EXPECT_EQ(f.next, c.steps.size()) << "every step was taken, the last one answered";
        EXPECT_EQ(f.still_open_after_refusals, int(c.steps.size()) - 1)
            << "Escape and the close button leave the question open";
        EXPECT_FALSE(f.deletable);
        test::pump_gtk(3);
        EXPECT_EQ(question_window(), nullptr);
    }
}

} // namespace
} // namespace tq
