// The relay's hooks onto the devices of the rest of the program.
#pragma once

#include "firmware/firmware_state.h"
#include "link/link.h"
#include "link/serial.h"
#include "radio/radio_state.h"
#include "remote/relay_state.h"

#include <functional>

namespace tq {

// The serial hooks on the CAN-analyzer port of s; driver_missing shows the
// driver message when a search finds the unit without its driver.
void connect_can_analyzer_port(RelayHooks& h, SerialState& s, std::function<void()> driver_missing);

// The radio hooks on the radio text commands through the unit; the radio
// path counts as open while the relay is connected.
void connect_radio(RelayHooks& h, LinkState& link, RadioState& radio);

// The image hooks on the firmware buffer, and block programming through the
// bootloader.
void connect_firmware(RelayHooks& h, FirmwareState& firmware);

} // namespace tq
