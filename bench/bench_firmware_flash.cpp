// Flashes the largest image that fits (499,688 bytes, 8,923 blocks) through
// the simulated bootloader with 1 ms charged per report, and prints the time
// taken over the time the reports themselves need. The reports' time is
// charged on a virtual clock; the program's own work is measured in real
// time and added, so the ratio shows what the tool adds to the wire.
#include "firmware/bootloader.h"
#include "firmware/firmware_file.h"
#include "firmware/update.h"
#include "platform/clock.h"
#include "sim/usb_bootloader.h"

#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

using namespace tq;

namespace {

constexpr std::size_t kImage = 499'688;

std::vector<std::uint8_t> make_file()
{
    std::vector<std::uint8_t> f(16 + kImage);
    std::copy_n("TQ510F3 ", 8, f.begin());
    std::uint32_t x = 12345;
    for (std::size_t i = 16; i < f.size(); ++i) {
        x = x * 1103515245u + 12345u;
        f[i] = std::uint8_t(x >> 16);
    }
    const std::uint16_t crc = crc16_arc(f.data() + 16, kImage);
    f[14] = std::uint8_t(crc);
    f[15] = std::uint8_t(crc >> 8);
    return f;
}

// The update's windows: the file chosen once and served from memory, the
// closing message kept.
class BenchView final : public FirmwareView {
public:
    BenchView(const std::vector<std::uint8_t>& file, std::string& message)
        : file_(file), message_(message)
    {
    }
    std::optional<std::string> choose_file() override
    {
        if (chosen_)
            return std::nullopt;
        chosen_ = true;
        return "bench.bin";
    }
    std::optional<std::size_t> read_file(const std::string&, std::uint8_t* buffer,
                                         std::size_t max) override
    {
        const std::size_t n = std::min(max, file_.size());
        std::copy_n(file_.begin(), n, buffer);
        return n;
    }
    void show_message(const std::string& m) override { message_ = m; }

private:
    const std::vector<std::uint8_t>& file_;
    std::string& message_;
    bool chosen_ = false;
};

struct Figures {
    double taken_ms;
    double wire_ms;
    bool ok;
};

template <class Work> Figures measure(sim::Programmer& p, Work&& work)
{
    p.reports_carried = 0;
    p.timeout_ms_waited = 0;
    const std::int64_t virtual_start = platform::now_ms();
    const auto real_start = std::chrono::steady_clock::now();
    const bool ok = work();
    const double real_ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - real_start).count();
    const double virtual_ms = double(platform::now_ms() - virtual_start);
    return {virtual_ms + real_ms, double(p.reports_carried * p.latency_per_report_ms), ok};
}

void print(const char* what, const Figures& f)
{
    std::printf("%-44s %10.1f %10.1f %8.4f%s\n", what, f.taken_ms, f.wire_ms, f.taken_ms / f.wire_ms,
                f.ok ? "" : "  (FAILED)");
}

} // namespace

int main()
{
    platform::ScopedVirtualClock clock;
    const std::vector<std::uint8_t> file = make_file();
    std::printf("%-44s %10s %10s %8s\n", "firmware, 499,688 bytes", "taken ms", "wire ms", "ratio");

    // The programming itself: erase, every block with its read-back, marker.
    {
        sim::Programmer programmer(sim::Variant::Bootloader);
        sim::attach_bootloader(programmer);
        programmer.latency_per_report_ms = 1;
        sim::SimPort port(programmer);
        auto device = port.open(kVendorId, kProduct64);
        const auto f = measure(programmer, [&] {
            return erase_flash(*device) == 0 &&
                   program_image(*device, file.data() + 16, kImage, 0x1D006000, nullptr) == 0 &&
                   finish_programming(*device, kFirmwareTags[0].marker) == 0;
        });
        print("erase, blocks with read-back, marker", f);
    }

    // The whole update from a connected unit. Besides the reports it waits
    // on purpose: 500 ms for the unit to leave the bus, the search's own
    // pauses, and short pauses for the progress window.
    {
        sim::Programmer programmer(sim::Variant::Programmer64);
        sim::UsbBootloader& bl = sim::attach_bootloader(programmer);
        bl.restart_ms = 0; // the unit's own restart time is not the tool's
        programmer.latency_per_report_ms = 1;
        sim::SimPort port(programmer);
        LinkState link;
        link.port = &port;
        device_open(link);
        FirmwareState fw;
        std::string message;
        BenchView view(file, message);
        const auto f = measure(programmer, [&] {
            update_firmware(link, fw, view, kFirmwareSwitch);
            return message == "Successfully programmed device.";
        });
        print("whole update (switch, search, program, reset)", f);
    }
    return 0;
}
