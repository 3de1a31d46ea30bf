#include "link/can_analyzer.h"

#include "platform/usb_serial.h"

namespace tq {

void find_can_analyzer_port(SerialState& s, const std::function<void()>& driver_missing,
                            const CanPortRefused& port_refused)
{
    if (s.can_port_state != kCanPortNone)
        return;
    for (const platform::UsbSerialDevice& unit :
         platform::find_usb_serial_devices(s.sysfs_root, kCanAnalyzerVendor, kCanAnalyzerProduct)) {
        if (unit.ttys.empty()) {
            if (driver_missing)
                driver_missing();
            s.can_port_state = kCanPortDriverMissing;
            return;
        }
        for (const std::string& tty : unit.ttys) {
            const int index = serial_port_for(s, s.dev_root + "/" + tty);
            if (index < 0)
                return;
            int error = 0;
            if (serial_open(s, index, 115200, "8N1", &error) == 0) {
                s.can_port_index = index;
                s.can_port_state = kCanPortOpen;
                if (s.refused_unit == unit.name)
                    s.refused_unit.clear();
                return;
            }
            const bool told = s.refused_unit == unit.name && s.refused_number == unit.devnum;
            s.refused_unit = unit.name;
            s.refused_number = unit.devnum;
            if (!told && port_refused)
                port_refused(s.paths[std::size_t(index)], error);
        }
    }
}

bool can_analyzer_replugged(const SerialState& s)
{
    if (s.refused_unit.empty())
        return false;
    const std::string number = platform::usb_device_number(s.sysfs_root, s.refused_unit);
    return !number.empty() && number != s.refused_number;
}

void release_can_analyzer_port(SerialState& s)
{
    if (s.can_port_state == kCanPortNone)
        return;
    s.can_port_state = kCanPortNone;
    serial_close(s, s.can_port_index);
}

} // namespace tq
