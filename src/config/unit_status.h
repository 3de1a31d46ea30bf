// The unit's event memory (three event codes at address 640) and its
// diagnostics status reply (code 0x0F): decoding and the requests the
// windows send.
#pragma once

#include "link/link.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace tq {

inline constexpr int kEventMemoryAddress = 640;
inline constexpr int kEventCount = 3;
// The event memory is read every this many periodic steps.
inline constexpr unsigned kEventReadInterval = 8;

// The name of an event code ("Alarm no %d" for codes without one).
std::string event_name(int code);

// The event window's periodic step: shows the three names when the reply
// just dispatched is the event memory, then every eighth call (the first
// included) asks for it again without draining pending replies.
void event_memory_step(LinkState& link, unsigned& poll_count,
                       const std::function<void(int index, const std::string& name)>& show);
// "Erase": three zero bytes at 640; nothing is read back.
void erase_event_memory(LinkState& link);

struct Diagnostics {
    int gsm_registered = 0;
    int gsm_csq = 0;
    int gnss_hdop = 0;
    float longitude = 0;
    float latitude = 0;
    float supply_voltage = 0;
};

// The status reply just dispatched, if it is one (code 0x0F with all 16
// bytes).
std::optional<Diagnostics> decode_diagnostics(const LinkState& link);
// The six values as the window shows them: three integers, two floats with
// six decimals, the voltage with two.
std::array<std::string, 6> diagnostics_texts(const Diagnostics& d);
// Whether the first three values are good (green) or not (red).
bool gsm_registered_ok(int value);
bool gsm_csq_ok(int value);
bool gnss_hdop_ok(int value);

} // namespace tq
