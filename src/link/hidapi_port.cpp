#include "link/hid_port.h"

#include <hidapi.h>

namespace tq {
namespace {

class HidapiDevice final : public HidDevice {
public:
    explicit HidapiDevice(hid_device* handle) : handle_(handle) {}
    ~HidapiDevice() override { hid_close(handle_); }
    HidapiDevice(const HidapiDevice&) = delete;
    HidapiDevice& operator=(const HidapiDevice&) = delete;

    std::string product_string() override
    {
        wchar_t wide[128] = {};
        if (hid_get_product_string(handle_, wide, 128) != 0)
            return {};
        std::string narrow;
        for (std::size_t i = 0; i < 128 && wide[i] != 0; ++i)
            narrow += char(wide[i] & 0xFF);
        return narrow;
    }

    int write(const std::uint8_t* data, std::size_t length) override
    {
        return hid_write(handle_, data, length);
    }

    int read_timeout(std::uint8_t* data, std::size_t length, int timeout_ms) override
    {
        return hid_read_timeout(handle_, data, length, timeout_ms);
    }

    int set_nonblocking(bool nonblocking) override
    {
        return hid_set_nonblocking(handle_, nonblocking ? 1 : 0);
    }

private:
    hid_device* handle_;
};

class HidapiPort final : public HidPort {
public:
    std::unique_ptr<HidDevice> open(std::uint16_t vendor, std::uint16_t product) override
    {
        hid_device* handle = hid_open(vendor, product, nullptr);
        if (!handle)
            return nullptr;
        return std::make_unique<HidapiDevice>(handle);
    }

    // One enumeration answers for every product of the vendor, so a search
    // that finds nothing plugged in costs one walk of the HID devices
    // instead of one per product.
    std::optional<std::vector<std::uint16_t>> plugged_in(std::uint16_t vendor) override
    {
        std::vector<std::uint16_t> products;
        hid_device_info* list = hid_enumerate(vendor, 0);
        for (const hid_device_info* d = list; d; d = d->next)
            products.push_back(d->product_id);
        hid_free_enumeration(list);
        return products;
    }
};

} // namespace

HidPort& hidapi_port()
{
    static HidapiPort port;
    return port;
}

bool hidapi_start() { return hid_init() == 0; }

} // namespace tq
