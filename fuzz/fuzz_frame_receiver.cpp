// The frame receiver fed with whatever a programmer might send: the input is
// cut into input reports and the link polls until it has read them all.
#include "link/link.h"
#include "platform/clock.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <deque>
#include <memory>
#include <vector>

namespace {

struct Reports {
    std::deque<std::vector<std::uint8_t>> input;
};

class FuzzDevice final : public tq::HidDevice {
public:
    explicit FuzzDevice(Reports& r) : r_(r) {}
    std::string product_string() override { return "USB HID Progr"; }
    int write(const std::uint8_t*, std::size_t length) override { return int(length); }
    int read_timeout(std::uint8_t* data, std::size_t length, int timeout_ms) override
    {
        if (r_.input.empty()) {
            tq::platform::sleep_ms(timeout_ms);
            return 0;
        }
        const auto report = std::move(r_.input.front());
        r_.input.pop_front();
        const std::size_t n = std::min(length, report.size());
        std::memcpy(data, report.data(), n);
        return int(n);
    }
    int set_nonblocking(bool) override { return 0; }

private:
    Reports& r_;
};

class FuzzPort final : public tq::HidPort {
public:
    FuzzPort(Reports& r, std::uint16_t product) : r_(r), product_(product) {}
    std::unique_ptr<tq::HidDevice> open(std::uint16_t, std::uint16_t product) override
    {
        if (product != product_)
            return nullptr;
        return std::make_unique<FuzzDevice>(r_);
    }

private:
    Reports& r_;
    std::uint16_t product_;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    tq::platform::ScopedVirtualClock clock;
    const bool wide = data[0] & 1;
    const std::size_t report_size = wide ? 64 : 8;
    Reports reports;
    for (std::size_t at = 1; at < size; at += report_size) {
        std::vector<std::uint8_t> r(report_size, 0);
        std::memcpy(r.data(), data + at, std::min(report_size, size - at));
        reports.input.push_back(std::move(r));
    }
    FuzzPort port(reports, wide ? 0xF1C9 : 0xF1F7);
    tq::LinkState link;
    link.port = &port;
    std::size_t text_seen = 0;
    link.text_sink = [&](std::string_view t) { text_seen += t.size(); };
    if (tq::device_open(link) != tq::OpenResult::Programmer)
        return 0;
    // Each poll consumes at least one report or finds none left.
    for (std::size_t i = 0; i <= reports.input.size() + 2 && link.open(); ++i) {
        if (tq::poll_reply(link) == 1 &&
            (link.reply_length < 3 || std::size_t(link.reply_length) > link.reply.size()))
            __builtin_trap();
    }
    return 0;
}
