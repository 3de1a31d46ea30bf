// The HID port: the one interface between the link and whatever carries its
// reports. The production back end is the system's hidapi; the simulated
// programmer in sim/ is the other.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tq {

class HidDevice {
public:
    virtual ~HidDevice() = default;
    // The product string narrowed to bytes (the low byte of each character).
    virtual std::string product_string() = 0;
    // As hid_write: data[0] is the report ID (0 here). Returns the number of
    // bytes written or -1.
    virtual int write(const std::uint8_t* data, std::size_t length) = 0;
    // As hid_read_timeout: an input report without its ID byte. Returns the
    // number of bytes read, 0 on time-out, -1 on error.
    virtual int read_timeout(std::uint8_t* data, std::size_t length, int timeout_ms) = 0;
    virtual int set_nonblocking(bool nonblocking) = 0;
};

class HidPort {
public:
    virtual ~HidPort() = default;
    // Opens the first device with this vendor and product, or returns null.
    virtual std::unique_ptr<HidDevice> open(std::uint16_t vendor, std::uint16_t product) = 0;
    // The product IDs of this vendor's devices plugged in now, whether or
    // not this user may open them; nullopt when the port cannot tell, and
    // then every product is tried with open.
    virtual std::optional<std::vector<std::uint16_t>> plugged_in(std::uint16_t /*vendor*/)
    {
        return std::nullopt;
    }
};

// The port over the system's hidapi library. hid_init must have succeeded.
HidPort& hidapi_port();
// hid_init; false when the library cannot start.
bool hidapi_start();

} // namespace tq
