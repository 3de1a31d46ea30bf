// Who is on the other end: the connection state and the identified unit.
// Plain data that every subsystem may read.
#pragma once

#include <cstdint>
#include <string>

namespace tq {

enum ConnectionStateValue : int {
    kSearching = 0,
    kWaitingForUnit = 8,
    kAskingVersion = 9,
    kConnected = 16,
};

struct ConnectionState {
    int state = kSearching;
    bool can_check_pending = true;
    int unit_model = 0;
    int firmware_version = 0;
    std::uint8_t hardware_family = 0;
    std::uint8_t hardware_type = 0;
    bool service_mode = false;
    // The unit's serial number as its twelve digits; empty when the unit
    // did not tell it.
    std::string serial = {};
};

} // namespace tq
