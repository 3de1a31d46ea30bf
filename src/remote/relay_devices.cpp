#include "remote/relay_devices.h"

#include "link/can_analyzer.h"

namespace tq {

void connect_can_analyzer_port(RelayHooks& h, SerialState& s, std::function<void()> driver_missing)
{
    h.find_can_port = [&s, driver_missing] { find_can_analyzer_port(s, driver_missing); };
    h.can_port_state = [&s] { return int(s.can_port_state); };
    h.set_can_port_state = [&s](int v) { s.can_port_state = std::uint8_t(v); };
    // The port reports no read errors (a failed read gives 0 bytes); a
    // failed write is -1.
    h.can_read = [&s](std::uint8_t* buffer, std::size_t count) -> long {
        return serial_read(s, s.can_port_index, buffer, int(count));
    };
    h.can_write = [&s](const std::uint8_t* data, std::size_t count) -> long {
        return serial_write(s, s.can_port_index, data, int(count));
    };
    h.release_can_port = [&s] { release_can_analyzer_port(s); };
}

} // namespace tq
