// The radio monitor of older units: the one-wire radio receiver that hears
// remotes and fobrix identifiers, teaches up to 10 remotes and erases them.
// What the window does apart from drawing; the window implements MonitorView.
#pragma once

#include "link/link.h"
#include "radio/radio_state.h"

#include <array>
#include <cstdint>
#include <string>

namespace tq {

class MonitorView {
public:
    virtual ~MonitorView() = default;
    virtual void busy_cursor(bool on) = 0;
    virtual void message(const std::string& text) = 0;
    // Runs the toolkit until the message window is closed.
    virtual void wait_for_message() = 0;
    // The radio module window must not stay open beside the monitor.
    virtual void close_radio_window() = 0;
    virtual void build_window(const std::string& id_hex) = 0;
    virtual void destroy_window() = 0;
    // kind 0: idle ("Erase remotes" shown, instruction hidden, caption
    // "Program remotes"); 1 programming, 2 erasing.
    virtual void show_mode(int kind) = 0;
    virtual void set_instruction(const std::string& text) = 0;
    virtual void set_indicator_text(const std::string& text) = 0;
    enum class Colour { Default, Red, Blue };
    virtual void set_indicator_colour(Colour colour) = 0;
};

struct MonitorContext {
    LinkState& link;
    RadioState& radio;
    int firmware_version;
    MonitorView& view;
    // The receiver's one-wire identifier (configuration address 612), shared
    // with the additional-modules window; the search replaces it.
    std::array<std::uint8_t, 8>& onewire_id;
};

inline constexpr std::uint8_t kReceiverFamily = 0xA0;
inline constexpr int kReceiverAddress = 612;
inline constexpr int kMaxRemotes = 10;

// Opens the monitor; search looks for the receiver on the one-wire bus
// first and stores a new one.
void open_radio_monitor(MonitorContext& c, bool search);
// One pass of the main loop: the poll packet on every fourth pass, then the
// reply the loop polled (code 0 when nothing arrived).
void radio_monitor_poll_step(MonitorContext& c);
// 1 programming, 2 erasing; with a mode active, any kind ends it (3: the
// receiver reported the erase complete).
void set_monitor_mode(MonitorContext& c, int kind);
void close_radio_monitor(MonitorContext& c);

// The poll packet's mode byte for the current state.
std::uint8_t monitor_mode_byte(const RadioState& radio);

} // namespace tq
