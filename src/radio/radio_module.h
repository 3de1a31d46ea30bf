// What the "radio module" window does, apart from drawing: the opening
// sequence, the device list, the poll step and the user's actions. The
// window itself implements RadioView; tests put a recorder in its place.
#pragma once

#include "link/link.h"
#include "radio/radio_state.h"
#include "radio/radio_text.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace tq {

class RadioView {
public:
    virtual ~RadioView() = default;

    virtual void busy_cursor(bool on) = 0;
    virtual void message(const std::string& text) = 0;
    virtual bool ask(const std::string& text) = 0;

    // The window with its 12 empty rows; name controls and "Set password"
    // hidden.
    virtual void build_window() = 0;
    virtual void destroy_window() = 0;

    virtual void show_password_button() = 0;
    virtual void set_identity(const std::string& text) = 0;
    // Shows the name caption (with its text), entry, "Change", "Default".
    virtual void show_name_controls(const std::string& caption) = 0;
    virtual void set_info(const std::string& text) = 0;
    virtual void set_pairing_caption(bool pairing) = 0;
    virtual void set_device_warning(bool shown) = 0;
    virtual void set_name(const std::string& name) = 0;

    // Empties a row: pictures removed, texts cleared, "Erase" hidden.
    virtual void clear_row(int slot) = 0;
    // Name, device picture and "Erase" of a loaded row.
    virtual void show_row(int slot, const RadioRow& row) = 0;
    virtual void set_row_buttons(int slot, const RowButtons& buttons) = 0;
    virtual void set_row_heard(int slot, bool heard) = 0;
    // Battery level (kBatteryNone: nothing), antenna waves and the signal
    // text; tooltip "" leaves the tooltips as they are.
    virtual void set_row_status(int slot, int battery, int waves, const std::string& signal_text,
                                const std::string& tooltip) = 0;
};

struct RadioContext {
    LinkState& link;
    RadioState& radio;
    RadioView& view;
    // The radio module's one-wire identifier (configuration address 612),
    // kept by the additional-modules window; shown, never changed here.
    const std::array<std::uint8_t, 8>& onewire_id;
};

// The opening sequence. Nothing happens without a programmer or while an
// opening is already running. On failure the window is gone again, the
// message shown and the unit back in normal radio operation.
void radio_open(RadioContext& c);

// One pass of the main loop while the window is open.
void radio_poll_step(RadioContext& c);

// Loads the device list into the rows; false on a failed command.
bool radio_load_device_list(RadioContext& c);

void radio_toggle_pairing(RadioContext& c);
void radio_erase_device(RadioContext& c, int slot);
void radio_erase_all(RadioContext& c);
void radio_reset_module(RadioContext& c);
void radio_change_name(RadioContext& c, const std::string& entry_text);
void radio_default_name(RadioContext& c);
// random supplies 24 bits for the password; false when no secure random
// number could be had (nothing is sent then).
void radio_set_password(RadioContext& c, const std::function<bool(std::uint32_t&)>& random);
// The identity label was clicked: the other text.
const std::string& radio_toggle_identity(RadioState& radio);

// Clears the window's state, destroys it and leaves radio mode.
void radio_close(RadioContext& c);
// A failed exchange: the message (busy or communication error) when the
// window is open, then leave radio mode and close.
void radio_fail_and_close(RadioContext& c);

} // namespace tq
