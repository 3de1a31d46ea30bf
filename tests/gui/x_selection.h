// Asking the X server about selections, kept apart from the tests' other
// headers: Xlib's macros (None, Bool, ...) clash with GoogleTest's names.
#pragma once

namespace tq::test {

// True when some client owns the selection of that name on the display
// GTK has opened.
bool x_selection_owned(const char* name);

} // namespace tq::test
