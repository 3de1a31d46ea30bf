// Runs tq512-cli's station over a row of simulated units, each flashed with
// a 200,000-byte image and given a configuration, with 1 ms charged per
// report, and prints the station's time per unit over the time the unit's
// reports themselves need. The reports' time and every pause are charged on
// a virtual clock; the program's own work is measured in real time and
// added, so the ratio shows what the station adds to the wire.
#include "cli/cli.h"
#include "firmware/firmware_file.h"
#include "platform/clock.h"
#include "sim/demo.h"
#include "sim/programmer.h"

#include <glib.h>
#include <glib/gstdio.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

using namespace tq;

namespace {

constexpr int kUnits = 5;
constexpr std::size_t kImage = 200'000;

std::string firmware_file()
{
    std::string f(16 + kImage, '\0');
    f.replace(0, 8, "TQ510F3 ");
    std::uint32_t x = 4711;
    for (std::size_t i = 16; i < f.size(); ++i) {
        x = x * 1103515245u + 12345u;
        f[i] = char(x >> 16);
    }
    const std::uint16_t crc = crc16_arc(reinterpret_cast<const std::uint8_t*>(f.data()) + 16, kImage);
    f[14] = char(crc & 0xFF);
    f[15] = char(crc >> 8);
    return f;
}

std::string slurp(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

// The cable to whichever unit is on the line now.
class LinePort final : public HidPort {
public:
    std::unique_ptr<HidDevice> open(std::uint16_t vendor, std::uint16_t product) override
    {
        return sim::SimPort(*units.back()).open(vendor, product);
    }
    std::optional<std::vector<std::uint16_t>> plugged_in(std::uint16_t vendor) override
    {
        return sim::SimPort(*units.back()).plugged_in(vendor);
    }
    void next_unit()
    {
        if (!units.empty())
            units.back()->unplug();
        units.push_back(sim::make_demo_programmer());
        units.back()->unit.identity.minor = 70; // older firmware: every unit is flashed
        units.back()->latency_per_report_ms = 1;
    }
    std::vector<std::unique_ptr<sim::Programmer>> units;
};

} // namespace

int main()
{
    platform::ScopedVirtualClock clock;
    gchar* dir = g_dir_make_tmp("tq512-bench-XXXXXX", nullptr);
    const std::string folder = dir;
    g_free(dir);
    const std::string bin = folder + "/line.bin";
    const std::string cfg = folder + "/line.cfg";
    const std::string csv = folder + "/line.csv";
    std::ofstream(bin, std::ios::binary) << firmware_file();

    LinePort port;
    port.next_unit();
    cli::CliEnv env;
    env.out = std::fopen("/dev/null", "w");
    env.err = env.out;
    env.claim_programmer = [] { return true; };
    env.port = [&](bool) -> HidPort* { return &port; };
    {
        // The line's configuration is the demo unit's own.
        std::FILE* cfg_out = std::fopen(cfg.c_str(), "wb");
        env.out = cfg_out;
        cli::run({"tq512-cli", "config", "get", "-"}, env);
        std::fclose(cfg_out);
        env.out = env.err;
        port.units.clear();
        port.next_unit();
    }

    int reported = 0;
    env.interrupted = [&] {
        std::istringstream lines(slurp(csv));
        int n = 0;
        for (std::string line; std::getline(lines, line);)
            ++n;
        n = n > 0 ? n - 1 : 0; // the header
        if (n > reported && n < kUnits)
            port.next_unit();
        reported = n;
        return n >= kUnits;
    };

    const std::int64_t virtual_start = platform::now_ms();
    const auto real_start = std::chrono::steady_clock::now();
    const int status = cli::run({"tq512-cli", "station", "--flash", bin, "--config", cfg, "--report",
                                 csv, "--firmware-version", "4.81"},
                                env);
    const double real_ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - real_start).count();
    const double loop_ms = double(platform::now_ms() - virtual_start) + real_ms;

    // The station's own figure per unit: from identification to its report line.
    double reported_ms = 0;
    std::istringstream lines(slurp(csv));
    std::string line;
    std::getline(lines, line); // header
    int ok = 0;
    while (std::getline(lines, line)) {
        reported_ms += 1000.0 * std::stod(line.substr(line.rfind(',') + 1));
        ok += line.find(",ok,") != std::string::npos;
    }
    double wire_ms = 0;
    for (const auto& unit : port.units)
        wire_ms += double(unit->reports_carried * unit->latency_per_report_ms);

    std::printf("station, %d units, 200,000-byte image and configuration, 1 ms per report\n", kUnits);
    std::printf("%-46s %10s %10s %8s\n", "", "per unit ms", "wire ms", "ratio");
    std::printf("%-46s %10.1f %10.1f %8.3f\n", "reported time (identified to report line)",
                reported_ms / kUnits, wire_ms / kUnits, reported_ms / wire_ms);
    std::printf("%-46s %10.1f %10.1f %8.3f\n", "whole loop (with waiting for unplug)",
                loop_ms / kUnits, wire_ms / kUnits, loop_ms / wire_ms);
    std::printf("units ok: %d of %d, exit status %d\n", ok, kUnits, status);
    std::fclose(env.err);
    std::remove(bin.c_str());
    std::remove(cfg.c_str());
    std::remove(csv.c_str());
    g_rmdir(folder.c_str());
    return ok == kUnits && status == 0 ? 0 : 1;
}
