// The AUX remote-start interface as the unit reports it (status 0x8E) and
// drives it (command 0x8D): decoding the status, what the window shows for
// it, and the interface commands.
#pragma once

#include "link/link.h"
#include "modules/modules_state.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace tq {

inline constexpr int kAuxFlagCount = 29;
inline constexpr int kAuxFlagProgramming = 27; // shows the interface state
inline constexpr int kAuxFlagAuxInput = 28;
inline constexpr int kAuxFirstColumnFlags = 17; // flags 0..16, then 17..28

extern const std::array<const char*, kAuxFlagCount> kAuxFlagNames;

// The command buttons in window order, their captions and codes.
inline constexpr int kAuxCommandCount = 7;
inline constexpr int kAuxQuery = 5;
inline constexpr int kAuxProgramRemote = 6;
extern const std::array<const char*, kAuxCommandCount> kAuxCommandNames;
extern const std::array<std::uint8_t, kAuxCommandCount> kAuxCommandCodes;

struct AuxStatus {
    std::uint8_t data_flag = 0;   // 0: the values are shown
    std::uint8_t state = 0;       // 0, 1 or 2
    std::int32_t program_runtime = 0;
    std::int32_t engine_runtime = 0;
    std::uint8_t temperature = 0;
    float trip = 0.0f;
    std::array<bool, 27> flags{};
    bool led = false;
    bool present = false;
    bool aux_input = false;
};

// The status in the reply buffer; none for another reply code, a state
// above 2 or a payload too short to hold the status.
std::optional<AuxStatus> decode_aux_status(const LinkState& link);

enum AuxMode : int { kAuxReady = 0, kAuxProgramming = 1, kAuxNotPresent = 2, kAuxNotResponding = 3 };
enum AuxColour : int { kAuxDefault = 0, kAuxRed = 1, kAuxYellow = 2, kAuxGreen = 3 };

struct AuxView {
    std::array<int, kAuxFlagCount> flag_colour{}; // kAuxDefault, kAuxRed or kAuxYellow
    std::array<std::string, 4> values;            // empty: not shown
    bool led = false;
    int programming = kAuxDefault;                 // kAuxDefault (grey), kAuxRed, kAuxGreen
    std::string status;
    int mode = kAuxReady;
    // Set when the buttons must change: which command buttons are enabled.
    bool buttons_changed = false;
    std::array<bool, kAuxCommandCount> buttons{};
};

// What the window shows for a status; remembers the mode in s.
AuxView aux_view(const AuxStatus& status, AuxInterfaceState& s);

// One pass of the poll step: on every fourth pass the status request goes
// out (without waiting); a status in the current reply gives its view.
std::optional<AuxView> aux_poll(AuxInterfaceState& s, LinkState& link);

void send_aux_command(LinkState& link, int index);

} // namespace tq
