#include "app/monitor_wiring.h"

#include "config/pin_dialog.h"
#include "monitor/console_window.h"
#include "prefs/preferences.h"
#include "radio/bridge.h"

namespace tq {

// Every text of the unit goes to the console (Ctrl+S on the main window
// opens it). The log folder and the filter texts are kept in the
// preferences.
void wire_monitoring(AppState& a)
{
    MonitorState& m = a.monitor;
    m.link = &a.link;
    a.link.text_sink = [](std::string_view t) { console_log(app().monitor.console, t, true); };
    m.console.radio_command = [](std::uint8_t code, const std::uint8_t* data, std::size_t count,
                                 std::string& answer) {
        AppState& s = app();
        return radio_command(s.link, s.radio, code, data, count, answer);
    };
    a.config.hooks.open_signal_monitor = [] { open_signal_monitor(app().monitor); };

    for (std::size_t i = 0; i < m.console.filter.texts.size(); ++i)
        m.console.filter.texts[i] = a.prefs.console_filters[i];
    m.prefs = &a.prefs;
}

// Event memory, diagnostics and the service PIN.
void wire_unit_tools(AppState& a)
{
    a.unit_tools.link = &a.link;
    a.unit_tools.connection = &a.connection;
    a.config.hooks.open_event_memory = [] { open_event_window(app().unit_tools); };
    a.config.hooks.open_diagnostics = [] { open_diagnostics_window(app().unit_tools); };
}

} // namespace tq
