#include "platform/usb_serial.h"

#include <glib.h>

#include <algorithm>
#include <climits>
#include <cstdlib>

namespace tq::platform {
namespace {

std::vector<std::string> folder_names(const std::string& folder)
{
    std::vector<std::string> names;
    if (GDir* dir = g_dir_open(folder.c_str(), 0, nullptr)) {
        while (const gchar* name = g_dir_read_name(dir))
            names.push_back(name);
        g_dir_close(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// A sysfs attribute holding a hex number ("12aa\n"); -1 when absent.
long read_hex(const std::string& path)
{
    gchar* text = nullptr;
    if (!g_file_get_contents(path.c_str(), &text, nullptr, nullptr))
        return -1;
    char* end = nullptr;
    const long value = std::strtol(text, &end, 16);
    const bool ok = end != text;
    g_free(text);
    return ok ? value : -1;
}

std::string real_path(const std::string& path)
{
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) ? std::string(resolved) : std::string();
}

} // namespace

std::vector<UsbSerialDevice> find_usb_serial_devices(const std::string& sysfs_root,
                                                     std::uint16_t vendor, std::uint16_t product)
{
    struct Found {
        UsbSerialDevice device;
        std::string real;
    };
    std::vector<Found> found;
    const std::string usb = sysfs_root + "/bus/usb/devices/";
    for (const std::string& name : folder_names(usb)) {
        // Interfaces ("1-2:1.0") have no idVendor; only devices do.
        if (read_hex(usb + name + "/idVendor") != vendor ||
            read_hex(usb + name + "/idProduct") != product)
            continue;
        const std::string real = real_path(usb + name);
        if (!real.empty())
            found.push_back({{name, usb_device_number(sysfs_root, name), {}}, real + "/"});
    }
    if (found.empty())
        return {};

    // A tty's device link points at the interface that made it, which
    // lies below its USB device.
    const std::string ttys = sysfs_root + "/class/tty/";
    for (const std::string& tty : folder_names(ttys)) {
        const std::string parent = real_path(ttys + tty + "/device");
        if (parent.empty())
            continue;
        for (Found& f : found) {
            if ((parent + "/").starts_with(f.real))
                f.device.ttys.push_back(tty);
        }
    }
    std::vector<UsbSerialDevice> devices;
    for (Found& f : found)
        devices.push_back(std::move(f.device));
    return devices;
}

std::string usb_device_number(const std::string& sysfs_root, const std::string& name)
{
    gchar* text = nullptr;
    const std::string path = sysfs_root + "/bus/usb/devices/" + name + "/devnum";
    if (!g_file_get_contents(path.c_str(), &text, nullptr, nullptr))
        return {};
    std::string number = g_strstrip(text);
    g_free(text);
    return number;
}

} // namespace tq::platform
