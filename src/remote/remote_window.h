// The "Remote access" window: password, the Connect toggle, the connection
// and device labels and the reconnect box. While it is open the main window
// is hidden and the poll loop runs the relay step instead of its own device
// work.
#pragma once

#include "firmware/firmware_state.h"
#include "link/link.h"
#include "radio/radio_state.h"
#include "remote/relay_state.h"

#include <functional>

namespace tq {

struct RemoteAccessContext {
    RelayState& relay;
    LinkState& link;
    RadioState& radio;
    FirmwareState& firmware;
    GtkWidget* main_window = nullptr;
    std::function<void()> close_tool_windows;
    // Empties the console store and closes an open log file.
    std::function<void()> clear_console;
};

// Nothing when the window is open. Otherwise closes the tool windows and
// the device, empties the console, builds the window and hides the main
// window. The context must outlive the window.
void open_remote_access_window(RemoteAccessContext& ctx);
// Disconnects as the user, destroys the window, shows the main window and
// closes the device.
void close_remote_access_window(RemoteAccessContext& ctx);
// The poll loop's step while the window is open: the relay step, shown in
// the window.
void remote_access_step(RemoteAccessContext& ctx);

} // namespace tq
