// Remote access: the relay connection that hands the programmer, the
// bootloader, the radio module and the CAN-analyzer port to a technician
// elsewhere. The relay leads; this program obeys its byte stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

typedef struct _GtkWidget GtkWidget;

namespace tq {

inline constexpr std::uint16_t kRelayPort = 55555;
inline constexpr std::uint16_t kNoReconnect = 0xFFFF;
inline constexpr std::uint16_t kReconnectSteps = 300;
inline constexpr std::uint32_t kRelayIdleLimit = 2000;
inline constexpr int kActivitySteps = 50;
inline constexpr std::size_t kCollectorSize = 32768;
inline constexpr std::size_t kRelayReceiveSize = 8192;
inline constexpr std::size_t kPasswordMax = 38;

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

// The remote-access window as the relay sees it. The window implements it;
// tests put a recorder in its place.
class RelayView {
public:
    virtual ~RelayView() = default;
    // "Disconnected.", "Remote access active: ...", "Waiting for remote
    // access." and the like.
    virtual void set_device_label(const std::string& label) = 0;
    // Connected: connection label, "Disconnect" on red. Not connected:
    // toggle off with "Connect", both labels empty.
    virtual void show_connected(bool connected) = 0;
    // The reconnect box.
    virtual bool reconnect_ticked() = 0;
    virtual void untick_reconnect() = 0;
    // An automatic attempt: the toggle turned on by the program.
    virtual void start_automatic_connect() = 0;
    virtual void show_message(const std::string& message) = 0;
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

    // The relay released the devices with "@!": the device label says
    // "Disconnected." once.
    bool devices_released = false;

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
