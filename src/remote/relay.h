// The relay protocol: logging in, the step the poll loop runs while the
// remote-access window is open, and the command parser fed with the relay's
// byte blocks. Plain code: it drives the link and its CAN-analyzer port, the
// radio module behind the unit and the firmware image itself, and shows what
// it does through a RelayView.
//
// Relay to program, each command introduced by "@":
//   @@                     one "@" of serial data
//   @!  @#  @H             release / find the CAN-analyzer port / reopen the
//                          device; answered with the status message
//   @h @i  code n data     a frame to the unit (@i first keeps text frames)
//   @R                     the collected replies as "@R" n records
//   @B @C  code n x data   a radio command; "@A" L text
//   @b @c  code n data     a radio command, acknowledge only; "@a" result
//   @f                     the unit's listing as "@f" n text records, then "@g"
//   @F  n data             forward data (frame 0x66); @G tells whether it
//                          timed out
//   @E0..@E5               bootloader: image reset, image chunk, blocking
//                          reads, raw report out, raw report in, programming
// Every other byte is serial data for the CAN-analyzer port.
#pragma once

#include "firmware/firmware_state.h"
#include "link/link.h"
#include "radio/radio_state.h"
#include "remote/relay_state.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace tq {

namespace platform {
class TcpConnection;
}

// Connects to the relay and logs in with the password. user: the attempt
// was the user's (failures are shown; automatic ones fail silently). True
// when the relay answered "OK"; the radio path is open while connected.
bool remote_connect(RelayState& s, LinkState& link, RadioState& radio, RelayView& view,
                    const std::string& password, bool user);

// Ends the connection. user: the user's doing (no automatic reconnection);
// otherwise the connection was lost and may be tried again after the
// countdown. Closes the device in every case; an open CAN-analyzer port
// stays open for the next connection.
void remote_disconnect(RelayState& s, LinkState& link, RadioState& radio, RelayView& view,
                       bool user);

// One step of the poll loop while the window is open: waits up to 10 ms
// for the relay and obeys what came; while not connected it counts down to
// an automatic reconnection, 10 ms a step.
void remote_relay_step(RelayState& s, LinkState& link, RadioState& radio,
                       FirmwareState& firmware, RelayView& view);

// Obeys one block received from the relay. False when the connection was
// lost meanwhile (it is then closed as a lost one).
bool relay_handle_block(RelayState& s, LinkState& link, RadioState& radio,
                        FirmwareState& firmware, RelayView& view, const std::uint8_t* data,
                        std::size_t count);

// "Disconnected.", "Remote access active: %s." or "No USB device found.".
void refresh_device_label(RelayState& s, const LinkState& link, RelayView& view);

// The relay channel over a TCP connection.
std::unique_ptr<RelayChannel> tcp_relay_channel(std::unique_ptr<platform::TcpConnection> c);

} // namespace tq
