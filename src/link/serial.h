// The serial path to units running CAN-analyzer firmware: a USB virtual
// serial port driven raw, non-blocking and exclusive. Ports are addressed by
// an index 0..255; each index stands for a device path given to it with
// serial_port_for. All messages go to standard output, never to a window.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace tq {

inline constexpr int kSerialPortCount = 256;

enum CanPortState : std::uint8_t {
    kCanPortNone = 0,          // not found, or not searched
    kCanPortOpen = 1,          // found and open at can_port_index
    kCanPortDriverMissing = 2, // the driver message has been shown
};

struct SerialState {
    SerialState() { fds.fill(-1); }
    ~SerialState();
    SerialState(const SerialState&) = delete;
    SerialState& operator=(const SerialState&) = delete;

    std::array<int, kSerialPortCount> fds; // open descriptor per index, or -1
    // Device path per index, as serial_port_for gives them out; grown on
    // demand (a link is made often, a port given rarely). Past its end or
    // empty: none.
    std::vector<std::string> paths;

    std::uint8_t can_port_state = kCanPortNone;
    int can_port_index = 0;
    // The plug-in of a CAN-analyzer unit whose port could not be opened
    // (USB device name and bus address): told once, tried again when it is
    // plugged in again.
    std::string refused_unit, refused_number;

    // Where the CAN-analyzer search looks (tests point them at fixtures).
    std::string sysfs_root = "/sys";
    std::string dev_root = "/dev";
};

// The index of a device path: the one it already has, else the first free
// one; -1 when all are taken.
int serial_port_for(SerialState& s, const std::string& path);

// Opens port index at baud with a mode like "8N1" (data bits 5-8, parity
// N/E/O in either case, stop bits 1 or 2). 0 on success, 1 on any error,
// with the reason printed. When the port itself could not be had, error
// gets the system's reason (EACCES, EBUSY, ...); otherwise 0.
int serial_open(SerialState& s, int index, int baud, const char* mode, int* error = nullptr);
// Whatever has arrived, up to count bytes; never waits. 0 on any failure.
int serial_read(SerialState& s, int index, void* buffer, int count);
// Writes, waiting at most 300 ms in all for the port to take the bytes;
// returns the count written, or -1 on failure.
int serial_write(SerialState& s, int index, const void* buffer, int count);
void serial_close(SerialState& s, int index);

} // namespace tq
