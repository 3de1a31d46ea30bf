// Sends a 200 KB application image to the simulated radio module's DFU
// target (init packet, data objects of 4096 bytes, all over SLIP through the
// bridge) with 1 ms charged per report, and prints the time the update took
// over the time the reports themselves needed. Runs on a virtual clock, so
// the protocol's own pauses count exactly without being waited for.
#include "platform/clock.h"
#include "radio/bridge.h"
#include "radio/radio_update.h"
#include "sim/programmer.h"
#include "sim/radio_module_sim.h"

#include <cstdio>
#include <random>
#include <vector>

using namespace tq;

int main()
{
    std::printf("%-28s %10s %10s %10s %8s\n", "radio DFU, 200 KB image", "taken ms", "wire ms",
                "waits ms", "ratio");
    for (auto variant : {sim::Variant::Programmer64, sim::Variant::Programmer8}) {
        platform::ScopedVirtualClock clock;
        sim::Programmer programmer(variant);
        sim::RadioModuleSim module(programmer.unit);
        module.chipset = 1;
        programmer.latency_per_report_ms = 1;
        sim::SimPort port(programmer);
        LinkState link;
        link.port = &port;
        device_open(link);
        RadioState radio;
        if (switch_radio_boot_mode(link, radio, 0) != 0) {
            std::fprintf(stderr, "no boot mode\n");
            return 1;
        }

        std::vector<std::uint8_t> image(200 * 1024);
        std::mt19937 gen(1);
        for (auto& b : image)
            b = std::uint8_t(gen());
        const std::vector<std::uint8_t> init = sim::sim_init_packet(image);
        programmer.reports_carried = 0;
        programmer.timeout_ms_waited = 0;

        const auto start = platform::now_ms();
        SlipChannel ch{link, {}};
        const int result = send_dfu_package(ch, DfuPackage{init, image}, {});
        const auto taken = platform::now_ms() - start;
        if (result != 0 || module.dfu.image != image || !module.dfu.activated) {
            std::fprintf(stderr, "update failed\n");
            return 1;
        }
        const long wire = programmer.reports_carried * programmer.latency_per_report_ms;
        std::printf("%-28s %10lld %10ld %10lld %8.2f\n",
                    variant == sim::Variant::Programmer64 ? "64-byte reports" : "8-byte reports",
                    static_cast<long long>(taken), wire,
                    static_cast<long long>(taken - wire), double(taken) / double(wire));
    }
    return 0;
}
