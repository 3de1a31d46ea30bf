// The open-file dialog of the firmware updates. While it is open the device
// link is kept serviced: whatever the unit sends is polled and dropped, so
// that the programmer's queue does not fill up behind the dialog.
#pragma once

#include "link/link.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

typedef struct _GtkWidget GtkWidget;

namespace tq {

struct FileChooserRequest {
    const char* title = "";
    std::vector<std::string> patterns;    // one filter made of these
    std::string folder;                   // where it starts; empty: the default
    GtkWidget* parent = nullptr;
};

// The chosen file; nothing on "Cancel". On "Open", folder_chosen gets the
// folder the dialog ended in.
std::optional<std::string> choose_file_polling(
    LinkState& link, const FileChooserRequest& request,
    const std::function<void(const std::string& folder)>& folder_chosen);

} // namespace tq
