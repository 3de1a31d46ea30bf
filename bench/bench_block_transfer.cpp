// Reads and writes the configuration's blocks through the simulated
// programmer, charging 1 ms of real time per report, and prints the time
// taken over the time the wire itself needed (reports plus read time-outs).
#include "config/memory_map.h"
#include "link/block.h"
#include "platform/clock.h"
#include "sim/programmer.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

using namespace tq;

namespace {

double run(sim::Variant variant, bool write, long& wire_ms)
{
    sim::Programmer programmer(variant);
    programmer.unit.identity.major = 4;
    programmer.unit.identity.minor = 81;
    programmer.latency_per_report_ms = 1;
    sim::SimPort port(programmer);
    LinkState link;
    link.port = &port;
    device_open(link);
    const int version = programmer.unit.identity.firmware_version();
    programmer.reports_carried = 0;
    programmer.timeout_ms_waited = 0;

    const auto start = std::chrono::steady_clock::now();
    // Every block of the configuration of this (current) unit, in the order
    // a save writes them.
    for (const MemoryBlock& b : memory_blocks()) {
        if (!has_block(b, UnitKind{512, version}))
            continue;
        const std::vector<std::uint8_t> data(std::size_t(b.length), 0x5A);
        const int failed = write ? write_block(link, version, b.address, data)
                                 : read_block(link, version, b.address, b.length);
        if (failed)
            std::fprintf(stderr, "block %d failed\n", b.address);
    }
    const auto elapsed = std::chrono::steady_clock::now() - start;
    wire_ms = programmer.reports_carried * programmer.latency_per_report_ms +
              programmer.timeout_ms_waited;
    return std::chrono::duration<double, std::milli>(elapsed).count();
}

} // namespace

int main()
{
    std::printf("%-26s %10s %10s %8s\n", "configuration transfer", "taken ms", "wire ms", "ratio");
    for (auto variant : {sim::Variant::Programmer64, sim::Variant::Programmer8}) {
        for (bool write : {false, true}) {
            long wire = 0;
            const double taken = run(variant, write, wire);
            std::printf("%-26s %10.1f %10ld %8.3f\n",
                        (std::string(write ? "write" : "read") +
                         (variant == sim::Variant::Programmer64 ? ", 64-byte" : ", 8-byte"))
                            .c_str(),
                        taken, wire, taken / double(wire));
        }
    }
    return 0;
}
