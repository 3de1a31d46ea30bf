// A unit running CAN-analyzer firmware, as the host sees it: a USB device
// 12aa:4f58 in a sysfs tree of its own, with a tty whose dev entry leads to
// a pseudo-terminal. Sending it "zzz" removes the firmware: the unit
// leaves the bus and comes back as the alarm unit behind the programmer.
#pragma once

#include "sim/programmer.h"

#include <map>
#include <string>
#include <vector>

namespace tq::sim {

// A pseudo-terminal pair: the host opens the slave by its name, the
// simulated peer talks through the master.
class Pty {
public:
    Pty();
    ~Pty();
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    const std::string& slave_name() const { return slave_name_; }
    int master() const { return master_; }
    // Everything the host wrote since the last call.
    std::string drain() const;
    void send(const std::string& bytes) const;

private:
    int master_ = -1;
    std::string slave_name_;
};

// A sysfs tree and a dev folder in a temporary folder, laid out as the
// kernel lays out USB devices, their interfaces and ttys, with the same
// symlinks. Removed with everything in it.
class SysfsTree {
public:
    SysfsTree();
    ~SysfsTree();
    SysfsTree(const SysfsTree&) = delete;
    SysfsTree& operator=(const SysfsTree&) = delete;

    std::string root() const { return folder_ + "/sys"; }
    std::string dev() const { return folder_ + "/dev"; }

    // A USB device at a bus port path ("1-2") with vendor and product as
    // sysfs writes them ("12aa"), one interface per tty (none: an interface
    // without a bound driver).
    void add_usb_device(const std::string& port, const std::string& vendor,
                        const std::string& product, const std::vector<std::string>& ttys);
    void remove_usb_device(const std::string& port);
    // A tty of a device that is no USB device (a built-in serial port).
    void add_platform_tty(const std::string& tty);
    // The dev entry of a tty: a link to target (a pseudo-terminal's slave).
    void point_dev(const std::string& tty, const std::string& target);

private:
    void add_tty(const std::string& tty, const std::string& parent);
    void link(const std::string& name, const std::string& target);
    void write(const std::string& name, const std::string& content);

    std::string folder_;
    std::map<std::string, std::vector<std::string>> added_; // per port: what removal takes away
    int devices_added_ = 0; // the bus addresses handed out so far
};

class CanAnalyzerUnit {
public:
    // programmer: plugged in when the firmware has been removed (may be null).
    explicit CanAnalyzerUnit(Programmer* programmer = nullptr, bool driver_bound = true);

    std::string sysfs_root() const { return tree_.root(); }
    std::string dev_root() const { return tree_.dev(); }
    bool present() const { return present_; }

    // Reads what the host sent; "zzz" removes the firmware.
    void step();
    // Pulled out and plugged in again (on the same socket, with a new bus
    // address), driver bound.
    void replug();
    // The permissions of its tty's device node (as a udev rule sets them).
    void set_port_mode(unsigned mode);
    std::string received;

private:
    Programmer* programmer_;
    Pty pty_;
    SysfsTree tree_;
    bool present_ = true;
};

} // namespace tq::sim
