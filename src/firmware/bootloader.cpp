#include "firmware/bootloader.h"

#include "link/bytes.h"

#include <algorithm>
#include <cstring>

namespace tq {
namespace {

constexpr std::array<std::uint8_t, 13> kQueryLayout = {0x02, 0x38, 0x03, 0x01, 0x00, 0x60, 0x00,
                                                       0x1D, 0x00, 0xA0, 0x07, 0x00, 0xFE};

// Get data with the same arguments as a program report; the reply must
// repeat that report from its command byte on.
int read_back(HidDevice& device, BootReport report)
{
    report[1] = boot::kGetData;
    if (!boot_send(device, report))
        return 1;
    BootReply reply;
    if (!boot_receive(device, reply, kBootReplyTimeoutMs))
        return 1;
    return std::equal(reply.begin(), reply.end(), report.begin() + 1) ? 0 : 1;
}

} // namespace

BootReport boot_command(std::uint8_t command)
{
    BootReport r{};
    r[1] = command;
    return r;
}

BootReport program_report(std::uint32_t address, const std::uint8_t* bytes, std::size_t count)
{
    count = std::min(count, kBlockBytes);
    BootReport r = boot_command(boot::kProgram);
    for (int i = 0; i < 4; ++i)
        r[std::size_t(2 + i)] = std::uint8_t(address >> (8 * i));
    r[6] = std::uint8_t(count);
    if (count)
        std::memcpy(r.data() + kBootOutReport - count, bytes, count);
    return r;
}

bool boot_send(HidDevice& device, const BootReport& report)
{
    return device.write(report.data(), report.size()) == int(report.size());
}

bool boot_receive(HidDevice& device, BootReply& reply, int timeout_ms)
{
    return device.read_timeout(reply.data(), reply.size(), timeout_ms) == int(reply.size());
}

std::optional<BootloaderInfo> bootloader_query(HidDevice& device)
{
    BootReply reply;
    if (!boot_send(device, boot_command(boot::kQuery)) ||
        !boot_receive(device, reply, kBootReplyTimeoutMs))
        return std::nullopt;
    BootloaderInfo info;
    info.start = le32(&reply[4]);
    info.size = le32(&reply[8]);
    info.device_type = le32(&reply[13]);
    const std::uint32_t version = le32(&reply[17]);
    info.major = int(version >> 8);
    info.minor = int(version & 0xFF);
    return info;
}

int bootloader_status_check(HidDevice& device, int timeout_ms)
{
    BootReply reply;
    if (!boot_send(device, boot_command(boot::kQuery)) || !boot_receive(device, reply, timeout_ms))
        return 1;
    return std::equal(kQueryLayout.begin(), kQueryLayout.end(), reply.begin()) ? 0 : 1;
}

int write_firmware_block(HidDevice& device, const std::uint8_t* image, std::size_t image_size,
                         std::size_t offset, std::uint32_t start)
{
    // The last block always carries 56 bytes; what lies past the image is
    // zero, never whatever follows in memory.
    std::array<std::uint8_t, kBlockBytes> block{};
    if (offset < image_size)
        std::memcpy(block.data(), image + offset, std::min(kBlockBytes, image_size - offset));
    const BootReport report = program_report(start + std::uint32_t(offset), block.data(), block.size());
    if (!boot_send(device, report))
        return 1;
    return read_back(device, report);
}

int write_firmware_block(HidDevice& device, const FirmwareState& firmware, std::size_t offset,
                         std::uint32_t start)
{
    const std::size_t size = std::min(std::size_t(std::max(firmware.image_size, 0)),
                                      kFirmwareImageCapacity);
    return write_firmware_block(device, firmware.image(), size, offset, start);
}

int erase_flash(HidDevice& device)
{
    for (std::uint8_t command : {boot::kProgramComplete, boot::kUnlockConfig, boot::kUnlockConfig,
                                 boot::kErase}) {
        BootReport r = boot_command(command);
        if (command == boot::kUnlockConfig)
            r[2] = 0;
        if (!boot_send(device, r))
            return 1;
    }
    return bootloader_status_check(device, kBootEraseTimeoutMs);
}

int program_image(HidDevice& device, const std::uint8_t* image, std::size_t image_size,
                  std::uint32_t start, const std::function<void(int per_mille)>& progress)
{
    int shown = -1;
    for (std::size_t offset = 0; offset < image_size; offset += kBlockBytes) {
        const int per_mille = int(std::uint64_t(offset) * 1000 / image_size);
        if (per_mille != shown) {
            shown = per_mille;
            if (progress)
                progress(per_mille);
        }
        if (write_firmware_block(device, image, image_size, offset, start) != 0)
            return 1;
    }
    return 0;
}

int finish_programming(HidDevice& device, const std::array<std::uint8_t, 8>& marker)
{
    if (!boot_send(device, boot_command(boot::kProgramComplete)) ||
        bootloader_status_check(device) != 0)
        return 1;
    const BootReport report = program_report(kMarkerAddress, marker.data(), marker.size());
    if (!boot_send(device, report) || !boot_send(device, boot_command(boot::kProgramComplete)) ||
        read_back(device, report) != 0)
        return 1;
    return bootloader_status_check(device);
}

bool image_fits(std::uint32_t start, std::size_t image_size)
{
    const std::uint64_t blocks = (std::uint64_t(image_size) + kBlockBytes - 1) / kBlockBytes;
    return std::uint64_t(start) + blocks * kBlockBytes <= kMarkerAddress;
}

} // namespace tq
