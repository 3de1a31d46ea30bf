// Remote access: the relay connection that hands the programmer, the
// bootloader, the radio module and the CAN-analyzer port to a technician
// elsewhere. The relay leads; this program obeys its byte stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

typedef struct _GtkWidget GtkWidget;

namespace tq {

class HidDevice;

inline constexpr std::uint16_t kRelayPort = 55555;
inline constexpr std::uint16_t kNoReconnect = 0xFFFF;
inline constexpr std::uint16_t kReconnectSteps = 300;
inline constexpr std::uint32_t kRelayIdleLimit = 2000;
inline constexpr int kActivitySteps = 50;
inline constexpr std::size_t kCollectorSize = 32768;
inline constexpr std::size_t kRelayReceiveSize = 8192;
inline constexpr std::size_t kPasswordMax = 38;
// device_kind after the relay released the device with "@!".
inline constexpr int kDeviceReleased = -1;

// The byte stream to the relay. The production one is a TCP connection;
// tests and the fuzz target may put another behind it.
class RelayChannel {
public:
    virtual ~RelayChannel() = default;
    // Sends every byte; false when not all of them went out.
    virtual bool send(const std::uint8_t* data, std::size_t count) = 0;
    // Waits up to timeout_ms: true when data, an error or the close waits.
    virtual bool wait_readable(int timeout_ms) = 0;
    virtual bool wait_writable(int timeout_ms) = 0;
    // Up to max bytes, waiting up to timeout_ms: the count, 0 when the
    // relay closed the connection, -1 on error, -2 when nothing came.
    virtual long receive(std::uint8_t* data, std::size_t max, int timeout_ms) = 0;
};

// The firmware image the relay fills with "@E1" and writes with "@E5".
struct RelayImage {
    std::uint8_t* data = nullptr;
    std::size_t capacity = 0;
    int* size = nullptr;
};

// What the relay needs of the rest of the program. Unset members do
// nothing (or report failure where they return something).
struct RelayHooks {
    // The CAN-analyzer port.
    std::function<void()> find_can_port;               // state 1 found, 2 driver missing
    std::function<int()> can_port_state;
    std::function<void(int)> set_can_port_state;
    std::function<long(std::uint8_t*, std::size_t)> can_read;         // bytes, -1 error
    std::function<long(const std::uint8_t*, std::size_t)> can_write;  // bytes, -1 error
    std::function<void()> release_can_port;

    // Radio text commands through the unit: true when answered, with the
    // answer text.
    std::function<bool(std::uint8_t, const std::uint8_t*, std::size_t, std::string&)>
        radio_command;
    // The result byte of a command whose answer is not read.
    std::function<std::uint8_t(std::uint8_t, const std::uint8_t*, std::size_t)>
        radio_command_ack_only;

    // Bootloader programming: 56 image bytes at offset to flash start +
    // offset, read back; 0 on success.
    std::function<int(HidDevice&, std::size_t offset, std::uint32_t start)> write_firmware_block;
    std::function<RelayImage()> firmware_image;

    // A relay session began (true) or ended (false).
    std::function<void(bool)> session_changed;

    // The window.
    std::function<void(const std::string&)> set_device_label;
    // Connected: connection label, "Disconnect" on red. Not connected:
    // toggle off with "Connect", both labels empty.
    std::function<void(bool connected)> show_connected;
    std::function<bool()> reconnect_ticked;
    std::function<void()> untick_reconnect;
    // An automatic attempt: the toggle turned on by the program.
    std::function<void()> start_automatic_connect;
    std::function<void(const std::string&)> show_message;
};

struct RelayState {
    std::string host;                       // HOST[:PORT]
    std::unique_ptr<RelayChannel> channel;  // null: not connected
    std::uint16_t reconnect_countdown = kNoReconnect;
    std::uint32_t idle_steps = 0;
    int activity_countdown = 0;
    // The relay's last bytes began a command that is not complete yet: the
    // command from its "@" on, finished by the next block.
    bool escape_pending = false;
    std::vector<std::uint8_t> pending_command;
    // Unit replies waiting for "@R", as records.
    std::vector<std::uint8_t> collector;
    std::size_t dropped_records = 0;        // did not fit; the relay can ask for them sooner
    bool f_timeout = false;
    bool blocking_reads = false;            // "@E2" was given for the open device

    RelayHooks hooks;

    // The window.
    GtkWidget* window = nullptr;
    GtkWidget* password_entry = nullptr;
    GtkWidget* toggle = nullptr;
    GtkWidget* connection_label = nullptr;
    GtkWidget* device_label = nullptr;
    GtkWidget* reconnect_check = nullptr;
    bool toggle_by_program = false;         // the toggle is being set, not clicked
    bool automatic_attempt = false;
};

} // namespace tq
