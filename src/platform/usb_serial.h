// Finding USB serial devices through sysfs: every USB device with a given
// vendor and product, with the tty devices its drivers made (none when no
// driver is bound).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tq::platform {

struct UsbSerialDevice {
    std::string name;              // the USB device's sysfs name, e.g. "1-2.4"
    std::string devnum;            // its bus address, new on every plug-in
    std::vector<std::string> ttys; // tty names below it, e.g. "ttyACM0"
};

// Looks under sysfs_root (normally "/sys") at bus/usb/devices for the
// devices and at class/tty for their ttys; both lists in name order.
std::vector<UsbSerialDevice> find_usb_serial_devices(const std::string& sysfs_root,
                                                     std::uint16_t vendor, std::uint16_t product);

// The bus address (devnum) of the USB device of that sysfs name; empty when
// no device is there. A device plugged in again gets a new one.
std::string usb_device_number(const std::string& sysfs_root, const std::string& name);

} // namespace tq::platform
