#include "sim/can_analyzer_unit.h"

#include <glib.h>
#include <glib/gstdio.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tq::sim {
namespace {

constexpr const char* kDevicePrefix = "devices/pci0000:00/0000:00:14.0/usb1/";

// Removes a file, a link or a folder with everything in it; a link is
// removed, not followed.
void remove_tree(const std::string& path)
{
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

std::string parent_of(const std::string& path) { return path.substr(0, path.rfind('/')); }

} // namespace

Pty::Pty()
{
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master_ >= 0 && grantpt(master_) == 0 && unlockpt(master_) == 0) {
        char name[128];
        if (ptsname_r(master_, name, sizeof name) == 0)
            slave_name_ = name;
    }
}

Pty::~Pty()
{
    if (master_ >= 0)
        close(master_);
}

std::string Pty::drain() const
{
    std::string got;
    char buffer[4096];
    for (;;) {
        const ssize_t n = read(master_, buffer, sizeof buffer);
        if (n <= 0)
            return got;
        got.append(buffer, std::size_t(n));
    }
}

void Pty::send(const std::string& bytes) const
{
    if (write(master_, bytes.data(), bytes.size()) < 0)
        std::perror("pty");
}

SysfsTree::SysfsTree()
{
    gchar* p = g_dir_make_tmp("tq512-sysfs-XXXXXX", nullptr);
    folder_ = p ? p : "";
    g_free(p);
    g_mkdir_with_parents(dev().c_str(), 0700);
    g_mkdir_with_parents((root() + "/class/tty").c_str(), 0700);
    g_mkdir_with_parents((root() + "/bus/usb/devices").c_str(), 0700);
}

SysfsTree::~SysfsTree() { remove_tree(folder_); }

void SysfsTree::write(const std::string& name, const std::string& content)
{
    const std::string full = root() + "/" + name;
    g_mkdir_with_parents(parent_of(full).c_str(), 0700);
    g_file_set_contents(full.c_str(), content.data(), gssize(content.size()), nullptr);
}

void SysfsTree::link(const std::string& name, const std::string& target)
{
    const std::string full = root() + "/" + name;
    g_mkdir_with_parents(parent_of(full).c_str(), 0700);
    if (symlink(target.c_str(), full.c_str()) != 0)
        std::perror(full.c_str());
}

void SysfsTree::add_tty(const std::string& tty, const std::string& parent)
{
    const std::string node = parent + "/tty/" + tty;
    write(node + "/dev", "166:0\n");
    link(node + "/device", "../../"); // the parent, relative as the kernel makes it
    link("class/tty/" + tty, "../../" + node);
}

void SysfsTree::add_usb_device(const std::string& port, const std::string& vendor,
                               const std::string& product, const std::vector<std::string>& ttys)
{
    const std::string device = kDevicePrefix + port;
    write(device + "/idVendor", vendor + "\n");
    write(device + "/idProduct", product + "\n");
    write(device + "/devnum", std::to_string(++devices_added_) + "\n");
    link("bus/usb/devices/" + port, "../../../" + device);
    std::vector<std::string>& added = added_[port];
    added.push_back(root() + "/" + device);
    added.push_back(root() + "/bus/usb/devices/" + port);
    const std::size_t interfaces = ttys.empty() ? 1 : ttys.size();
    for (std::size_t i = 0; i < interfaces; ++i) {
        const std::string interface = port + ":1." + std::to_string(i);
        write(device + "/" + interface + "/bInterfaceClass", "02\n");
        link("bus/usb/devices/" + interface, "../../../" + device + "/" + interface);
        added.push_back(root() + "/bus/usb/devices/" + interface);
        if (i < ttys.size()) {
            add_tty(ttys[i], device + "/" + interface);
            added.push_back(root() + "/class/tty/" + ttys[i]);
        }
    }
}

void SysfsTree::remove_usb_device(const std::string& port)
{
    for (const std::string& path : added_[port])
        remove_tree(path);
    added_.erase(port);
}

void SysfsTree::add_platform_tty(const std::string& tty)
{
    write("devices/platform/serial8250/driver_override", "\n");
    add_tty(tty, "devices/platform/serial8250");
}

void SysfsTree::point_dev(const std::string& tty, const std::string& target)
{
    const std::string full = dev() + "/" + tty;
    if (symlink(target.c_str(), full.c_str()) != 0)
        std::perror(full.c_str());
}

CanAnalyzerUnit::CanAnalyzerUnit(Programmer* programmer, bool driver_bound)
    : programmer_(programmer)
{
    tree_.add_usb_device("1-2", "12aa", "4f58",
                         driver_bound ? std::vector<std::string>{"ttyACM0"} : std::vector<std::string>{});
    tree_.point_dev("ttyACM0", pty_.slave_name());
    if (programmer_)
        programmer_->plugged = false;
}

void CanAnalyzerUnit::replug()
{
    tree_.remove_usb_device("1-2");
    tree_.add_usb_device("1-2", "12aa", "4f58", {"ttyACM0"});
    present_ = true;
}

void CanAnalyzerUnit::set_port_mode(unsigned mode)
{
    if (chmod(pty_.slave_name().c_str(), mode) != 0)
        std::perror(pty_.slave_name().c_str());
}

void CanAnalyzerUnit::step()
{
    if (!present_)
        return;
    received += pty_.drain();
    if (received.find("zzz") == std::string::npos)
        return;
    present_ = false;
    tree_.remove_usb_device("1-2");
    if (programmer_)
        programmer_->plugged = true;
}

} // namespace tq::sim
