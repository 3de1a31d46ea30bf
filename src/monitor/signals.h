// The signal monitor's data: the 96 status bits the unit reports in its
// signal reply (code 0x09, 12 bytes, least significant bit first), their
// names and colours, and which buttons must change when a reply arrives.
#pragma once

#include "link/link.h"

#include <array>
#include <cstdint>
#include <functional>

namespace tq {

inline constexpr int kSignalCount = 96;
inline constexpr int kSignalBytes = kSignalCount / 8;

struct SignalInfo {
    const char* name;   // nullptr: a bit without a name (an empty button)
    std::uint32_t rgb;  // 0xRRGGBB while the bit is 1
};

extern const std::array<SignalInfo, kSignalCount> kSignals;

// Bit i of a 12-byte field: byte i / 8, bit i mod 8.
bool signal_bit(const std::uint8_t* field, int bit);

struct SignalMonitorState {
    // 1 while a button shows its signal's colour.
    std::array<std::uint8_t, kSignalCount> shown{};
};

// Called for a button whose bit changed: on shows the signal's colour, off
// the theme's default.
using SignalRedraw = std::function<void(int bit, bool on)>;

// Takes a signal field: redraws exactly the buttons whose bit differs from
// what they show. Returns how many were redrawn.
int apply_signal_field(SignalMonitorState& s, const std::uint8_t* field, const SignalRedraw& redraw);

// The periodic step while the window is open: applies a signal reply that
// has just arrived, then asks for the next one (0x08 0x00, not drained).
void signal_monitor_poll(LinkState& link, SignalMonitorState& s, const SignalRedraw& redraw);

} // namespace tq
