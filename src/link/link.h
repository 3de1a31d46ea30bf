// The link to the alarm unit through the USB HID programmer: opening the
// programmer, sending frames in reports, polling for input, reassembling and
// checking received frames into the reply buffer.
//
// Reply buffer layout: byte 0 count L (payload length + 1), byte 1 reply
// code, bytes 2..L payload, byte L + 1 checksum; reply_length = L + 2.
#pragma once

#include "link/hid_port.h"
#include "link/serial.h"
#include "link/trace.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

namespace tq {

inline constexpr std::uint16_t kVendorId = 0x12AA;
inline constexpr std::uint16_t kProduct64 = 0xF1C9;
inline constexpr std::array<std::uint16_t, 3> kProducts8 = {0xF1F7, 0xF1F5, 0xF1F4};

// What the open device is, by its product string. The values are the
// digits the relay's status reports.
enum class DeviceKind : int {
    None = 0,
    Programmer = 1, // "USB HID Progr"
    Bootloader = 2, // "USB Bootloader"
    Usbic = 3,      // "USBIC": a programmer that needs a pause after each frame
};

// What device_open found: nothing it can use, a programmer (either kind),
// or a unit's bootloader.
enum class OpenResult { None, Programmer, Bootloader };

struct LinkState {
    HidPort* port = nullptr;            // where devices are opened; hidapi unless simulated
    std::unique_ptr<HidDevice> device;  // the open programmer; null: no device
    DeviceKind device_kind = DeviceKind::None;
    // The last device_open saw a programmer plugged in that could not be
    // opened (no permission: udev rule missing, or the user is not at the
    // seat).
    bool programmer_unopenable = false;
    int report_size = 64;               // payload bytes of one report, without the ID byte
    bool long_reports = true;           // 64-byte reports with a separate count byte

    std::array<std::uint8_t, 1024> reply{};
    int reply_length = 0;

    std::array<char, 1024> rx_text{};
    int rx_fill = 0;
    bool rx_pending = false;

    // Text from the unit (0xFF frames) and the programmer's error burst, as
    // received text. Empty: dropped.
    std::function<void(std::string_view)> text_sink;
    // While set (remote access), 0xFF frames are returned to the caller
    // instead of going to text_sink.
    bool return_text_frames = false;

    // The CAN-analyzer serial port, beside the HID programmer.
    SerialState serial;

    // The support trace (--trace FILE); null: off. Its owner outlives the link.
    LinkTrace* trace = nullptr;

    // Called right after a failed write has closed the device: the
    // programmer went away. The program ends the connection's session
    // here, in the middle of whatever operation was running, so that the
    // failure message the operation shows afterwards is not swept away by
    // a later clean-up. Unset: nothing happens until someone looks.
    std::function<void()> on_lost;

    // Milliseconds waited in protocol_pause since the link was made.
    std::int64_t paused_ms = 0;

    bool open() const { return device != nullptr; }
    std::uint8_t reply_code() const { return reply[1]; }
    const std::uint8_t* payload() const { return reply.data() + 2; }
};

OpenResult device_open(LinkState& link);
// Closes the device; the reason goes into the support trace.
void device_close(LinkState& link, std::string_view reason = "closed by the program");

// Sends one frame; nothing is read. False when nothing (or not all of it)
// went out: no device, more than kMaxFrameData bytes, or a short write,
// which also closes the device.
bool send_frame(LinkState& link, std::uint8_t code, const std::uint8_t* data = nullptr,
                std::size_t count = 0);
// The usual way to issue a request: drain_replies, then send_frame.
bool send_command(LinkState& link, std::uint8_t code, const std::uint8_t* data = nullptr,
                  std::size_t count = 0);

// 0 on success, -1 after a short write (the device is then closed).
int send_poll_request(LinkState& link);
// 1 when reply holds a newly accepted frame, 0 otherwise.
int receive_frame(LinkState& link);
// One polling step: a poll request (unless text is still pending) and one
// receive; returns what receive_frame returned.
int poll_reply(LinkState& link);
// The one reply of a main-loop pass: poll_reply, and when nothing new came,
// reply code 0, so that the pass's steps never take the last pass's reply
// for a new one.
void poll_pass_reply(LinkState& link);
// Polls until nothing more arrives, discarding it.
void drain_replies(LinkState& link);

// A pause the protocol itself prescribes (a device's settling time, the
// USBIC's rest after each frame): waited on the clock and counted in
// link.paused_ms, so that what an operation took can be set against what
// its reports and its prescribed pauses need.
void protocol_pause(LinkState& link, int ms);

} // namespace tq
