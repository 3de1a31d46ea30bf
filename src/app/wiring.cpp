#include "app/wiring.h"

#include "app/main_window.h"
#include "config/cfg_file_dialog.h"
#include "config/diagnostics_window.h"
#include "config/event_memory_window.h"
#include "config/history.h"
#include "config/history_window.h"
#include "config/record.h"
#include "config/settings_pages.h"
#include "firmware/autoflash_dialog.h"
#include "firmware/bootloader.h"
#include "firmware/firmware_update_dialog.h"
#include "modules/aux_window.h"
#include "modules/module_test_window.h"
#include "modules/modules_window.h"
#include "monitor/console.h"
#include "monitor/signal_monitor_window.h"
#include "platform/paths.h"
#include "prefs/preferences.h"
#include "radio/bridge.h"
#include "radio/radio_monitor_window.h"
#include "radio/radio_update_window.h"
#include "radio/radio_window.h"
#include "remote/relay.h"
#include "remote/remote_window.h"
#include "update/update_window.h"
#include "widgets/kit.h"
#include "widgets/message.h"

#include <cstdlib>

#ifndef TQ_RELAY_HOST
#define TQ_RELAY_HOST ""
#endif
#ifndef TQ_UPDATE_HOST
#define TQ_UPDATE_HOST ""
#endif

namespace tq {
namespace {

// A host from the command line wins over the one built in.
std::string chosen_host(const std::string& from_switch, const char* built_in)
{
    return from_switch.empty() ? std::string(built_in) : from_switch;
}

void wire_remote_access(AppState& a)
{
    a.remote.host = chosen_host(a.shell.switches.relay_host, TQ_RELAY_HOST);
}

// Every text of the unit goes to the console (Ctrl+S on the main window
// opens it). The log folder and the filter texts are kept in the
// preferences.
void wire_monitoring(AppState& a)
{
    MonitorState& m = a.monitor;
    m.link = &a.link;
    m.prefs = &a.prefs;
    for (std::size_t i = 0; i < m.console.filter.texts.size(); ++i)
        m.console.filter.texts[i] = a.prefs.console_filters[i];
    a.link.text_sink = [&m](std::string_view t) { console_log(m.console, t, true); };
    m.console.radio_command = [&a](std::uint8_t code, const std::uint8_t* data, std::size_t count,
                                   std::string& answer) {
        return radio_command(a.link, a.radio, code, data, count, answer);
    };
}

// Event memory, diagnostics and the service PIN.
void wire_unit_tools(AppState& a)
{
    a.unit_tools.link = &a.link;
    a.unit_tools.connection = &a.connection;
}

void wire_update_check(AppState& a)
{
    UpdateState& u = a.update;
    u.host = chosen_host(a.shell.switches.update_host, TQ_UPDATE_HOST);
    u.download_folder = platform::downloads_folder();
    u.prefs = &a.prefs;
}

// The settings pages come with an identified unit and go with it; the
// Tools menu saves and loads them as .cfg files, whose folder the
// preferences keep.
void wire_configuration(AppState& a)
{
    a.config.history.root = default_history_root();
    a.config.windows = &a.settings_windows;
    a.config.unit_tools = &a.unit_tools;
    a.modules.config = &a.config; // the AUX row follows the AUX module
    a.config.hooks.ask = [&a](const std::string& question) {
        return ask_question(a.shell.main_window, question.c_str());
    };
    a.config.prefs = &a.prefs;
}

} // namespace

RadioWindowStates radio_window_states(AppState& a)
{
    return RadioWindowStates{&a.link,
                             &a.radio,
                             a.connection.firmware_version,
                             &a.modules.radio_onewire_id,
                             a.shell.main_window,
                             a.shell.start_maximized,
                             a.shell.min_work_width,
                             a.shell.min_work_height};
}

ModulesWindowStates modules_window_states(AppState& a)
{
    return ModulesWindowStates{&a.modules, &a.link, a.connection.firmware_version,
                               radio_window_states(a)};
}

RemoteAccessContext& remote_access(AppState& a)
{
    a.remote_access.main_window = a.shell.main_window;
    return a.remote_access;
}

void ProgramRemoteAccessHost::close_tool_windows() { tq::close_tool_windows(a_); }

void ProgramRemoteAccessHost::clear_console() { console_reset(a_.monitor.console); }

void ProgramSettingsWindows::open_signal_monitor() { tq::open_signal_monitor(a_.monitor); }

// Older units' button: the receiver is searched.
void ProgramSettingsWindows::open_radio_monitor()
{
    tq::open_radio_monitor(radio_window_states(a_), true);
}

void ProgramSettingsWindows::open_additional_modules()
{
    open_modules_window(modules_window_states(a_), false);
}

ProgramFirmwareHost::ProgramFirmwareHost(AppState& a) : a_(a) {}

std::optional<std::string> ProgramFirmwareHost::choose_file(const FirmwareWindowStates& s)
{
    return choose_firmware_file(s);
}

void ProgramFirmwareHost::close_tool_windows() { tq::close_tool_windows(a_); }

bool ProgramFirmwareHost::keep_configuration()
{
    return keep_before_write(a_.config, a_.link, kHistoryFirmware);
}

FirmwareWindowStates firmware_window_states(AppState& a, FirmwareHost& host)
{
    ShellState& s = a.shell;
    return FirmwareWindowStates{a.link,           a.firmware,         &a.prefs,
                                &host,            s.main_window,      s.status_label,
                                s.hardware_label, s.serial_label,     s.mode_label};
}

void update_unit_firmware(AppState& a)
{
    ProgramFirmwareHost host(a);
    run_firmware_update(firmware_window_states(a, host), kFirmwareSwitch);
}

void program_bootloader(AppState& a)
{
    ProgramFirmwareHost host(a);
    run_firmware_update(firmware_window_states(a, host), kFirmwareNoSwitch);
}

void autoflash_loop_step(AppState& a)
{
    ProgramFirmwareHost host(a);
    const FirmwareWindowStates states = firmware_window_states(a, host);
    autoflash_step(a.firmware, autoflash_env(states));
}

void open_remote_access(AppState& a)
{
    open_remote_access_window(remote_access(a));
}

void run_periodic_steps(AppState& a)
{
    // Order: signal monitor, radio monitor, diagnostics, event memory, radio
    // module, AUX status (each while its window is open); then, always, the
    // module test step.
    signal_monitor_step(a.monitor);
    if (a.radio.monitor_open)
        radio_monitor_poll_step(radio_window_states(a));
    diagnostics_window_step(a.unit_tools);
    event_window_step(a.unit_tools);
    if (a.radio.window_open)
        radio_poll_step(radio_window_states(a));
    if (a.modules.aux.window)
        aux_status_poll_step(a.modules, a.link);
    module_test_poll_step(a.modules, a.link);
}

std::string startup_update_check(AppState& a)
{
    wire_update_check(a);
    return check_for_update(a.update).text;
}

void wire_subsystems(AppState& a)
{
    wire_update_check(a);
    wire_remote_access(a);
    wire_module_windows(a.modules);
    wire_configuration(a);
    wire_monitoring(a);
    wire_unit_tools(a);
}

} // namespace tq
