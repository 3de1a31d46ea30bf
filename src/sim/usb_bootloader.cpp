#include "sim/usb_bootloader.h"

#include "platform/clock.h"

#include <algorithm>
#include <memory>

namespace tq::sim {
namespace {

std::uint32_t le32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

void put_le32(std::uint8_t* p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = std::uint8_t(v >> (8 * i));
}

} // namespace

UsbBootloader::UsbBootloader() : flash(kSize, 0xFF) {}

bool UsbBootloader::in_flash(std::uint32_t address, std::size_t count) const
{
    return address >= kStart && std::uint64_t(address) + count <= std::uint64_t(kStart) + kSize;
}

std::span<const std::uint8_t> UsbBootloader::at(std::uint32_t address, std::size_t count) const
{
    return std::span<const std::uint8_t>(flash).subspan(address - kStart, count);
}

bool UsbBootloader::marker_valid() const
{
    const auto m = at(kMarkerAddress, kMarker.size());
    return std::equal(m.begin(), m.end(), kMarker.begin());
}

void UsbBootloader::enter(Programmer& programmer)
{
    if (faults.ignores_switch)
        return;
    if (programmer.variant() != Variant::Bootloader)
        unit_variant = programmer.variant();
    programmer.reenumerate(Variant::Bootloader, faults.never_appears ? -1 : restart_ms);
}

void UsbBootloader::report(Programmer& programmer, std::span<const std::uint8_t> data)
{
    // data[0] is the report ID; the command follows.
    if (data.size() != 65)
        return;
    const std::uint8_t* r = data.data() + 1;
    commands.push_back(r[0]);
    switch (r[0]) {
    case 0x02: { // query
        if (faults.silent)
            return;
        std::vector<std::uint8_t> reply(64, 0);
        reply[0] = 0x02;
        reply[1] = 56;
        reply[2] = 0x03;
        reply[3] = 0x01;
        put_le32(&reply[4], kStart);
        put_le32(&reply[8], kSize);
        reply[12] = 0xFE;
        put_le32(&reply[13], device_type);
        put_le32(&reply[17], std::uint32_t(version_major) << 8 | std::uint32_t(version_minor));
        programmer.queue_input_report(std::move(reply));
        break;
    }
    case 0x03: // unlock configuration
        ++unlocks;
        break;
    case 0x04: // erase program memory
        ++erases;
        std::fill(flash.begin(), flash.end(), std::uint8_t(0xFF));
        platform::sleep_ms(erase_ms);
        if (faults.hangs_in_erase)
            faults.silent = true;
        break;
    case 0x05: { // program: address, count, data right-aligned to the report's end
        const std::uint32_t address = le32(r + 1);
        const std::size_t count = r[5];
        if (count > 56 || !in_flash(address, count))
            return;
        const std::uint8_t* bytes = r + 64 - count;
        for (std::size_t i = 0; i < count; ++i) {
            std::uint8_t b = bytes[i];
            if (faults.corrupt_block_at == address && i == 0)
                b ^= 0x01;
            flash[address - kStart + i] &= b;
        }
        break;
    }
    case 0x06: // program complete
        break;
    case 0x07: { // get data: the program report's layout, with what flash holds
        const std::uint32_t address = le32(r + 1);
        const std::size_t count = r[5];
        if (count > 56 || !in_flash(address, count))
            return;
        std::vector<std::uint8_t> reply(64, 0);
        reply[0] = 0x07;
        std::copy(r + 1, r + 6, reply.begin() + 1);
        const auto held = at(address, count);
        std::copy(held.begin(), held.end(), reply.end() - std::ptrdiff_t(count));
        programmer.queue_input_report(std::move(reply));
        break;
    }
    case 0x08: // reset: the firmware starts when it is marked valid
        ++resets;
        programmer.reenumerate(marker_valid() ? unit_variant : Variant::Bootloader, restart_ms);
        break;
    default:
        break;
    }
}

UsbBootloader& attach_bootloader(Programmer& programmer)
{
    auto bootloader = std::make_shared<UsbBootloader>();
    UsbBootloader& ref = *bootloader;
    programmer.unit.on(0x10, [&programmer, bootloader](AlarmUnit&, auto) {
        bootloader->enter(programmer);
    });
    programmer.bootloader_reports = [bootloader](Programmer& p, std::span<const std::uint8_t> d) {
        bootloader->report(p, d);
    };
    return ref;
}

} // namespace tq::sim
