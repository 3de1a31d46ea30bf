// Sends a 200 KB firmware to the simulated radio module, once as a DFU
// package (init packet, data objects of 4096 bytes, all over SLIP through
// the bridge) and once as a .ble image (32-byte chunks, erase, save, reset),
// with 1 ms charged per report, and prints the time each update took beside
// its floor: the time its reports need plus the pauses the protocol
// prescribes, as counted by the code that waits them. Runs on a virtual
// clock, so those pauses count exactly without being waited for.
#include "platform/clock.h"
#include "radio/bridge.h"
#include "radio/radio_update.h"
#include "sim/programmer.h"
#include "sim/radio_module_sim.h"

#include <cstdio>
#include <random>
#include <vector>

using namespace tq;

namespace {

constexpr std::size_t kImageSize = 200 * 1024;

std::vector<std::uint8_t> random_image(std::size_t size)
{
    std::vector<std::uint8_t> image(size);
    std::mt19937 gen(1);
    for (auto& b : image)
        b = std::uint8_t(gen());
    return image;
}

// One update on a fresh simulated unit; false when it failed.
bool measure(bool ble, sim::Variant variant)
{
    platform::ScopedVirtualClock clock;
    sim::Programmer programmer(variant);
    sim::RadioModuleSim module(programmer.unit);
    module.chipset = ble ? 0 : 1;
    programmer.latency_per_report_ms = 1;
    sim::SimPort port(programmer);
    LinkState link;
    link.port = &port;
    device_open(link);
    RadioState radio;
    if (!switch_radio_boot_mode(link, radio, RadioBootMode::File)) {
        std::fprintf(stderr, "no boot mode\n");
        return false;
    }

    const std::vector<std::uint8_t> image = random_image(kImageSize);
    std::vector<std::uint8_t> file = {'B', 'L', 'E', 'R', 'A', 'D', 'I', 'o'};
    file.insert(file.end(), image.begin(), image.end());
    const std::vector<std::uint8_t> init = sim::sim_init_packet(image);
    programmer.reports_carried = 0;
    link.paused_ms = 0;

    const auto start = platform::now_ms();
    bool sent = false;
    if (ble) {
        sent = send_ble_image(link, file, {});
    } else {
        SlipChannel ch{link, {}};
        sent = send_dfu_package(ch, DfuPackage{init, image}, {});
    }
    const auto taken = platform::now_ms() - start;
    const bool arrived = ble ? module.saved && std::equal(image.begin(), image.end(),
                                                          module.flash.begin())
                             : module.dfu.image == image && module.dfu.activated;
    if (!sent || !arrived) {
        std::fprintf(stderr, "update failed\n");
        return false;
    }
    const long long wire = programmer.reports_carried * programmer.latency_per_report_ms;
    const long long floor = wire + link.paused_ms;
    std::printf("%-5s %-16s %10lld %10lld %10lld %10lld %8.3f\n", ble ? ".ble" : "DFU",
                variant == sim::Variant::Programmer64 ? "64-byte reports" : "8-byte reports",
                static_cast<long long>(taken), wire, static_cast<long long>(link.paused_ms), floor,
                double(taken) / double(floor));
    return true;
}

} // namespace

int main()
{
    std::printf("radio firmware of %zu bytes, 1 ms per report\n", kImageSize);
    std::printf("%-22s %10s %10s %10s %10s %8s\n", "", "taken ms", "wire ms", "pauses ms",
                "floor ms", "taken/floor");
    for (bool ble : {false, true})
        for (auto variant : {sim::Variant::Programmer64, sim::Variant::Programmer8})
            if (!measure(ble, variant))
                return 1;
    return 0;
}
