// A unit that runs CAN-analyzer firmware shows up as a USB serial port
// (vendor 0x12AA, product 0x4F58) instead of the HID programmer. The search
// opens its port at 115200 8N1; a unit whose port has no driver gets the
// driver message once per search.
#pragma once

#include "link/serial.h"

#include <cstdint>
#include <functional>
#include <string>

namespace tq {

inline constexpr std::uint16_t kCanAnalyzerVendor = 0x12AA;
inline constexpr std::uint16_t kCanAnalyzerProduct = 0x4F58;

// The port's device path and the system's reason (EACCES, EBUSY, ...).
using CanPortRefused = std::function<void(const std::string& port, int error)>;

// Runs only while can_port_state is kCanPortNone. A unit with a port that
// opens: kCanPortOpen and can_port_index. A unit without any port (no
// driver bound): driver_missing is called, kCanPortDriverMissing, and the
// search ends. A port that cannot be opened: port_refused is called, once
// per plug-in of that unit, and the next unit is tried.
void find_can_analyzer_port(SerialState& s, const std::function<void()>& driver_missing,
                            const CanPortRefused& port_refused = {});

// True when the unit whose port could not be opened has been plugged in
// again since (it has a new bus address): time to search again. Costs one
// small sysfs read while such a unit is remembered, nothing otherwise.
bool can_analyzer_replugged(const SerialState& s);

// Closes the CAN-analyzer port, if one was found, and forgets it.
void release_can_analyzer_port(SerialState& s);

} // namespace tq
