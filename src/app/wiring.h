// Where the subsystems are plugged into the shell: Tools menu actions, the
// periodic steps of the connected state, windows closed with a connection.
#pragma once

#include "app/app_state.h"
#include "firmware/firmware_update_dialog.h"
#include "modules/modules_window.h"
#include "radio/radio_window.h"
#include "remote/remote_window.h"

#include <string>

namespace tq {

// Called once at start-up, before the main window is built.
void wire_subsystems(AppState& a);

// The program-update check of start-up, before the device layer starts:
// the text to show once the main window exists, or nothing.
std::string startup_update_check(AppState& a);

// State 16: each open tool window's periodic step looks at the reply just
// polled (code 0 when nothing arrived), in this fixed order.
void run_periodic_steps(AppState& a);

// What the radio windows and the additional-modules window work on.
RadioWindowStates radio_window_states(AppState& a);
ModulesWindowStates modules_window_states(AppState& a);

// The remote-access window's context: the relay, the devices it drives and
// what it closes and empties when it opens.
RemoteAccessContext& remote_access(AppState& a);

// The unit's firmware update (Tools menu, version dialog): the connected
// unit is switched into its bootloader first.
void update_unit_firmware(AppState& a);
// The same for a unit that already sits in its bootloader.
void program_bootloader(AppState& a);
// The remote-access window (Tools menu, bootloader dialog).
void open_remote_access(AppState& a);

// What the firmware update asks of the program: the file dialog, closing
// the connection's windows, keeping the unit's configuration before writing.
class ProgramFirmwareHost : public FirmwareHost {
public:
    explicit ProgramFirmwareHost(AppState& a);
    std::optional<std::string> choose_file(const FirmwareWindowStates& s) override;
    void close_tool_windows() override;
    bool keep_configuration() override;

private:
    AppState& a_;
};

// What the firmware update and autoflash work on: the link, the firmware
// state, the preferences and the main window's status rows.
FirmwareWindowStates firmware_window_states(AppState& a, FirmwareHost& host);

// The main loop's autoflash step: a scan of the watched folder when one is
// due, and the update of a new file.
void autoflash_loop_step(AppState& a);

} // namespace tq
