#include "gui/x_selection.h"

#include <gdk/gdkx.h>

namespace tq::test {

bool x_selection_owned(const char* name)
{
    Display* x = GDK_DISPLAY_XDISPLAY(gdk_display_get_default());
    return XGetSelectionOwner(x, XInternAtom(x, name, False)) != None;
}

} // namespace tq::test
