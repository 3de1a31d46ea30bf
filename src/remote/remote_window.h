// The "Remote access" window: password, the Connect toggle, the connection
// and device labels and the reconnect box. While it is open the main window
// is hidden and the poll loop runs the relay step instead of its own device
// work.
#pragma once

#include "firmware/firmware_state.h"
#include "link/link.h"
#include "radio/radio_state.h"
#include "remote/relay_state.h"

namespace tq {

// What the window asks of the program around it when it opens. What is
// not overridden does nothing.
class RemoteAccessHost {
public:
    virtual ~RemoteAccessHost() = default;
    // Closes every window that belongs to the connection.
    virtual void close_tool_windows() {}
    // Empties the console store and closes an open log file.
    virtual void clear_console() {}
};

// What the window works on. The window keeps a pointer to it while it is
// open.
struct RemoteAccessContext {
    RelayState& relay;
    LinkState& link;
    RadioState& radio;
    FirmwareState& firmware;
    GtkWidget* main_window = nullptr;
    RemoteAccessHost* host = nullptr; // null: nothing closed or emptied
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
