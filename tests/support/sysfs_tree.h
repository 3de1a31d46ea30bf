// A small sysfs tree in a temporary folder, laid out as the kernel lays out
// USB devices, their interfaces and ttys (with the same symlinks), and a
// dev folder whose tty names point at pseudo-terminals.
#pragma once

#include "support/temp_folder.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

namespace tq::test {

// A pseudo-terminal pair: the program opens the slave by its name, the
// test talks through the master.
struct Pty {
    Pty()
    {
        master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0) {
            char name[128];
            if (ptsname_r(master, name, sizeof name) == 0)
                slave_name = name;
        }
    }
    ~Pty()
    {
        if (master >= 0)
            close(master);
    }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    // Everything the program wrote so far.
    std::string drain() const
    {
        std::string got;
        char buffer[4096];
        for (;;) {
            const ssize_t n = read(master, buffer, sizeof buffer);
            if (n <= 0)
                return got;
            got.append(buffer, std::size_t(n));
        }
    }

    int master = -1;
    std::string slave_name;
};

class SysfsTree {
public:
    std::string root() const { return folder_ / "sys"; }
    std::string dev() const { return folder_ / "dev"; }

    // A USB device at bus port path (e.g. "1-2") with vendor and product,
    // and one interface per tty name given (none: no driver bound).
    void add_usb_device(const std::string& port, const char* vendor, const char* product,
                        const std::vector<std::string>& ttys)
    {
        const std::string device = "devices/pci0000:00/0000:00:14.0/usb1/" + port;
        folder_.write("sys/" + device + "/idVendor", std::string(vendor) + "\n");
        folder_.write("sys/" + device + "/idProduct", std::string(product) + "\n");
        link("sys/bus/usb/devices/" + port, "../../../" + device);
        int number = 0;
        for (const std::string& tty : ttys) {
            const std::string interface = port + ":1." + std::to_string(number++);
            folder_.write("sys/" + device + "/" + interface + "/bInterfaceClass", "02\n");
            link("sys/bus/usb/devices/" + interface, "../../../" + device + "/" + interface);
            add_tty(tty, device + "/" + interface);
        }
        if (ttys.empty()) {
            const std::string interface = port + ":1.0";
            folder_.write("sys/" + device + "/" + interface + "/bInterfaceClass", "02\n");
            link("sys/bus/usb/devices/" + interface, "../../../" + device + "/" + interface);
        }
    }

    // A tty of a device that is no USB device (a built-in serial port).
    void add_platform_tty(const std::string& tty)
    {
        folder_.write("sys/devices/platform/serial8250/driver_override", "\n");
        add_tty(tty, "devices/platform/serial8250");
    }

    // The dev entry of a tty: a link to the pseudo-terminal's slave.
    void point_dev(const std::string& tty, const std::string& target)
    {
        folder_.make_folder("dev");
        symlink(target.c_str(), (folder_ / ("dev/" + tty)).c_str());
    }

private:
    void add_tty(const std::string& tty, const std::string& parent)
    {
        const std::string node = parent + "/tty/" + tty;
        folder_.write("sys/" + node + "/dev", "166:0\n");
        // device -> the parent, relative as the kernel makes it.
        link("sys/" + node + "/device", "../../");
        link("sys/class/tty/" + tty, "../../" + node);
    }

    void link(const std::string& name, const std::string& target)
    {
        const std::string full = folder_ / name;
        folder_.make_folder(full.substr(folder_.path().size() + 1, full.rfind('/') - folder_.path().size() - 1));
        symlink(target.c_str(), full.c_str());
    }

    TempFolder folder_;
};

} // namespace tq::test
