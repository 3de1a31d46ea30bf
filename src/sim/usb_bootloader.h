// The unit's USB HID bootloader, simulated: the device the unit restarts
// into on command 0x10. It answers the bootloader's own 65-byte output
// reports (query, unlock configuration, erase, program, program complete,
// get data, reset) over a flash array of the size it reports, and restarts
// into the unit on reset when the flash carries the validity marker.
#pragma once

#include "sim/programmer.h"

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace tq::sim {

struct BootloaderFaults {
    // A program report for this flash address is stored with one bit
    // flipped, so that its read-back differs. 0: none.
    std::uint32_t corrupt_block_at = 0;
    // On 0x10 the unit leaves the bus and never comes back.
    bool never_appears = false;
    // The unit ignores 0x10 and goes on as the programmer.
    bool ignores_switch = false;
    // Queries go unanswered (a bootloader that hangs).
    bool silent = false;
    // The erase never finishes: no query is answered after it.
    bool hangs_in_erase = false;
};

class UsbBootloader {
public:
    static constexpr std::uint32_t kStart = 0x1D006000;
    static constexpr std::uint32_t kSize = 0x0007A000;
    static constexpr std::uint32_t kMarkerAddress = 0x1D07FFF8;
    static constexpr std::array<std::uint8_t, 8> kMarker = {0xEF, 0xE0, 0xF2, 0x68,
                                                             0xEC, 0xBF, 0x6C, 0x48};

    UsbBootloader();

    // Flash from kStart; erased bytes are 0xFF and programming can only
    // clear bits, as on the real part.
    std::vector<std::uint8_t> flash;
    std::uint32_t device_type = 5;
    int version_major = 1;
    int version_minor = 2;
    // How long the device is off the bus while it restarts.
    int restart_ms = 800;
    // Charged on the clock by an erase (the next query waits for it).
    int erase_ms = 0;
    BootloaderFaults faults;

    // What it was asked to do, for tests.
    std::vector<std::uint8_t> commands;
    int erases = 0;
    int unlocks = 0;
    int resets = 0;

    // The variant the unit returns as after a reset with a valid marker.
    Variant unit_variant = Variant::Programmer64;

    bool marker_valid() const;
    // Bytes of flash at a bus address (address must lie in flash).
    std::span<const std::uint8_t> at(std::uint32_t address, std::size_t count) const;

    // One output report (report ID first, 65 bytes).
    void report(Programmer& programmer, std::span<const std::uint8_t> data);
    // The unit was told to restart into the bootloader.
    void enter(Programmer& programmer);

private:
    bool in_flash(std::uint32_t address, std::size_t count) const;
};

// Gives the programmer's unit a bootloader: command 0x10 restarts it into
// the bootloader, and the bootloader's reports are served. The bootloader
// lives as long as the programmer's report hook.
UsbBootloader& attach_bootloader(Programmer& programmer);

} // namespace tq::sim
