#include "remote/relay_devices.h"

#include "firmware/bootloader.h"
#include "link/can_analyzer.h"
#include "radio/bridge.h"

#include <string_view>

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

void connect_radio(RelayHooks& h, LinkState& link, RadioState& radio)
{
    h.radio_command = [&link, &radio](std::uint8_t code, const std::uint8_t* data,
                                      std::size_t length, std::string& answer) {
        return radio_command(link, radio, code, data, length, answer);
    };
    h.radio_command_ack_only = [&link, &radio](std::uint8_t code, const std::uint8_t* data,
                                               std::size_t length) {
        const std::string_view line(reinterpret_cast<const char*>(data), length);
        return std::uint8_t(radio_command_ack_only(link, radio, code, line) ? 1 : 0);
    };
    h.session_changed = [&radio](bool connected) { radio.remote_access = connected; };
}

void connect_firmware(RelayHooks& h, FirmwareState& firmware)
{
    h.firmware_image = [&firmware] {
        return RelayImage{firmware.image(), kFirmwareImageCapacity, &firmware.image_size};
    };
    h.write_firmware_block = [&firmware](HidDevice& device, std::size_t offset,
                                         std::uint32_t start) {
        return write_firmware_block(device, firmware, offset, start);
    };
}

} // namespace tq
