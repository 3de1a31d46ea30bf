// The firmware update with its windows: the file dialog, the progress
// window and the closing message, around update_firmware.
#pragma once

#include "firmware/autoflash.h"
#include "firmware/firmware_state.h"
#include "firmware/update.h"
#include "link/link.h"
#include "prefs/prefs_state.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

typedef struct _GtkWidget GtkWidget;

namespace tq {

struct FirmwareWindowStates;

// What the update asks of the program around it, which the firmware folder
// does not know: the file to write, closing the connection's windows and
// keeping the unit's configuration. The program answers with its windows
// and states; tests answer with a recorder.
class FirmwareHost {
public:
    virtual ~FirmwareHost() = default;
    // The .bin file to write; nothing when the fitter cancelled. The
    // program asks with choose_firmware_file.
    virtual std::optional<std::string> choose_file(const FirmwareWindowStates& s) = 0;
    // Closes every window that belongs to the connection.
    virtual void close_tool_windows() = 0;
    // Keeps the connected unit's configuration before the update replaces
    // the firmware; false: the update must not go ahead.
    virtual bool keep_configuration() = 0;
};

// What the update works on, from its caller: its states, the main window
// and the status rows it clears (any widget may be null), and the host
// (null: the file dialog, nothing closed, nothing kept).
struct FirmwareWindowStates {
    LinkState& link;
    FirmwareState& firmware;
    // The firmware folder the dialogs start in and remember; null: none.
    PrefsState* prefs = nullptr;
    FirmwareHost* host = nullptr;
    GtkWidget* main_window = nullptr;
    GtkWidget* status_label = nullptr;
    GtkWidget* hardware_label = nullptr;
    GtkWidget* serial_label = nullptr;
    GtkWidget* mode_label = nullptr;
};

// The open-file dialog "Select firmware file" (*.bin), starting in the
// firmware folder; a folder the fitter moved to is remembered.
std::optional<std::string> choose_firmware_file(const FirmwareWindowStates& s);

// The update's windows over GTK: the file dialog (or the host's choice),
// the progress window, the message box and the main window's rows. The
// states must outlive it.
class FirmwareWindow final : public FirmwareView {
public:
    explicit FirmwareWindow(const FirmwareWindowStates& s) : s_(s) {}

    std::optional<std::string> choose_file() override;
    std::optional<std::size_t> read_file(const std::string& path, std::uint8_t* buffer,
                                         std::size_t max) override;
    void show_message(const std::string& text) override;
    void wait_for_message() override;
    bool keep_configuration() override;
    void close_tool_windows() override;
    void clear_status() override;
    void clear_identity() override;
    void open_progress() override;
    void close_progress() override;
    void progress_label(const std::string& text) override;
    void progress_text(const std::string& text) override;
    void progress_fraction(double fraction) override;

private:
    const FirmwareWindowStates& s_;
};

// update_firmware with the windows; mode as there.
int run_firmware_update(const FirmwareWindowStates& s, int mode);

// The autoflash scan with the real folder and system time, and the update
// with its windows.
AutoflashEnv autoflash_env(const FirmwareWindowStates& s);

} // namespace tq
