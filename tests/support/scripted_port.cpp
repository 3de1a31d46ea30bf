#include "support/scripted_port.h"

#include "platform/clock.h"

#include <algorithm>

namespace tq::test {
namespace {

class ScriptedDevice final : public HidDevice {
public:
    explicit ScriptedDevice(Script& s) : s_(s) {}
    std::string product_string() override { return s_.product; }
    int write(const std::uint8_t* data, std::size_t length) override
    {
        const int index = int(s_.written.size());
        s_.written.emplace_back(data, data + length);
        return index == s_.short_write_at ? int(length) - 2 : int(length);
    }
    int read_timeout(std::uint8_t* data, std::size_t length, int timeout_ms) override
    {
        ++s_.reads;
        if (s_.input.empty()) {
            platform::sleep_ms(timeout_ms);
            return 0;
        }
        const auto report = std::move(s_.input.front());
        s_.input.pop_front();
        const std::size_t n = std::min(length, report.size());
        std::copy_n(report.begin(), n, data);
        return int(n);
    }
    int set_nonblocking(bool) override { return 0; }

private:
    Script& s_;
};

} // namespace

void Script::queue_text(std::string_view text, int report_size)
{
    const std::size_t room = report_size == 64 ? 62 : 7;
    for (std::size_t at = 0; at < text.size(); at += room) {
        const std::size_t n = std::min(room, text.size() - at);
        std::vector<std::uint8_t> r(std::size_t(report_size), 0);
        r[0] = 0x40 | (at + n < text.size() ? 0x20 : 0);
        const std::size_t start = report_size == 64 ? 2 : 1;
        if (report_size == 64)
            r[1] = std::uint8_t(n);
        else
            r[0] |= std::uint8_t(n << 1);
        std::copy_n(text.begin() + std::ptrdiff_t(at), n, r.begin() + std::ptrdiff_t(start));
        input.push_back(std::move(r));
    }
}

void Script::queue_report(std::vector<std::uint8_t> report, int report_size)
{
    report.resize(std::size_t(report_size));
    input.push_back(std::move(report));
}

int Script::polls() const
{
    return int(std::count_if(written.begin(), written.end(),
                             [](const auto& r) { return r.size() > 1 && r[1] == 0x60; }));
}

std::unique_ptr<HidDevice> ScriptedPort::open(std::uint16_t vendor, std::uint16_t product)
{
    if (vendor != 0x12AA || product != product_id_)
        return nullptr;
    return std::make_unique<ScriptedDevice>(script_);
}

} // namespace tq::test
