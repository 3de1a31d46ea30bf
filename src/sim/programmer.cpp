#include "sim/programmer.h"

#include "link/frame.h"
#include "platform/clock.h"

#include <algorithm>
#include <string_view>

namespace tq::sim {
namespace {

class SimDevice final : public HidDevice {
public:
    explicit SimDevice(Programmer& p) : p_(p), generation_(p.generation()) {}
    std::string product_string() override { return p_.product_string(); }
    int write(const std::uint8_t* data, std::size_t length) override
    {
        return stale() ? -1 : p_.write(data, length);
    }
    int read_timeout(std::uint8_t* data, std::size_t length, int timeout_ms) override
    {
        return stale() ? -1 : p_.read(data, length, timeout_ms);
    }
    int set_nonblocking(bool) override { return 0; }

private:
    // The device this handle was opened on has left the bus.
    bool stale() const { return generation_ != p_.generation(); }

    Programmer& p_;
    int generation_;
};

} // namespace

Programmer::Programmer(Variant variant) : variant_(variant) {}

std::uint16_t Programmer::product_id() const
{
    switch (variant_) {
    case Variant::Programmer8: return 0xF1F7;
    case Variant::Usbic: return 0xF1F5;
    case Variant::Programmer64:
    case Variant::Bootloader: break;
    }
    return 0xF1C9;
}

std::string Programmer::product_string() const
{
    switch (variant_) {
    case Variant::Usbic: return "USBIC";
    case Variant::Bootloader: return "USB Bootloader";
    case Variant::Programmer64:
    case Variant::Programmer8: break;
    }
    return "USB HID Progr";
}

int Programmer::report_size() const
{
    return variant_ == Variant::Programmer8 || variant_ == Variant::Usbic ? 8 : 64;
}

bool Programmer::charge_report()
{
    ++reports_carried;
    if (latency_per_report_ms > 0)
        platform::sleep_ms(latency_per_report_ms);
    if (faults.unplug_after_reports == 0) {
        faults.unplug_after_reports = -1;
        unplug();
    } else if (faults.unplug_after_reports > 0) {
        --faults.unplug_after_reports;
    }
    return plugged;
}

int Programmer::write(const std::uint8_t* data, std::size_t length)
{
    if (!charge_report())
        return -1;
    const int size = report_size();
    if (length != std::size_t(size) + 1 || data[0] != 0)
        return -1;
    if (keep_written)
        written.emplace_back(data, data + length);
    int result = int(length);
    if (faults.short_write >= 0) {
        result = faults.short_write;
        faults.short_write = -1;
    }
    if (variant_ == Variant::Bootloader && bootloader_reports) {
        bootloader_reports(*this, std::span<const std::uint8_t>(data, length));
        return result;
    }

    const std::uint8_t* r = data + 1;
    const std::uint8_t flags = r[0];
    if (flags == 0x60) {
        ++polls_seen;
        if (variant_ != Variant::Bootloader)
            unit.idle();
        if (input_.empty() && unit.has_reply()) {
            reply_text_.clear();
            do {
                append_reply_text(reply_text_, unit.take_reply());
            } while (batch_replies && unit.has_reply());
            queue_text(reply_text_);
        }
        return result;
    }

    std::size_t count;
    const std::uint8_t* chars;
    if (size == 64) {
        count = r[1];
        chars = r + 2;
        if (count > 62)
            return result;
    } else {
        count = (flags >> 1) & 0x0F;
        chars = r + 1;
        if (count > 7)
            return result;
    }
    if (flags & 0x01)
        assembling_.clear();
    assembling_.append(reinterpret_cast<const char*>(chars), count);
    if ((flags & 0xC0) == 0xC0)
        take_frame_text();
    return result;
}

void Programmer::take_frame_text()
{
    // The text is read where it was assembled, which keeps its room for the
    // next frame.
    const std::string_view text = assembling_;
    if (variant_ == Variant::Bootloader || text.size() < 8 || text.front() != '!' ||
        text.back() != '#' || text.size() % 2 != 0) {
        assembling_.clear();
        return;
    }
    // Between '!' and '#': an even number of digits (the size is even).
    frame_bytes_.resize(text.size() / 2 - 1);
    std::uint8_t* out = frame_bytes_.data();
    for (const char* c = text.data() + 1; c != text.data() + text.size() - 1; c += 2) {
        const int hi = hex_value(c[0]);
        const int lo = hex_value(c[1]);
        if ((hi | lo) < 0) {
            assembling_.clear();
            return;
        }
        *out++ = std::uint8_t(hi * 16 + lo);
    }
    assembling_.clear();
    const std::vector<std::uint8_t>& bytes = frame_bytes_;
    unsigned sum = 0;
    for (const std::uint8_t* b = bytes.data(); b != bytes.data() + bytes.size() - 1; ++b)
        sum += *b + 0x55u;
    if (std::uint8_t(sum) != bytes.back() || bytes[0] != bytes.size() - 2)
        return;
    unit.command(bytes[1], std::span<const std::uint8_t>(bytes.data() + 2, bytes.size() - 3));
}

void Programmer::append_reply_text(std::string& text, const Frame& frame)
{
    if (faults.drop_next_reply) {
        faults.drop_next_reply = false;
        return;
    }
    // "!", the hex of count, code, data and checksum, "#", written into
    // the text's final size at once.
    const std::size_t begin = text.size();
    text.resize(begin + 2 * (frame.data.size() + 3) + 2, '#');
    char* p = text.data() + begin;
    *p++ = '!';
    unsigned sum = 0;
    const auto put = [&p, &sum](std::uint8_t b) {
        sum += b + 0x55u;
        *p++ = kHexDigits[b >> 4];
        *p++ = kHexDigits[b & 0x0F];
    };
    put(std::uint8_t(frame.data.size() + 1));
    put(frame.code);
    for (const std::uint8_t* b = frame.data.data(); b != frame.data.data() + frame.data.size(); ++b)
        put(*b);
    std::uint8_t check = std::uint8_t(sum);
    if (faults.corrupt_next_reply) {
        faults.corrupt_next_reply = false;
        check ^= 0x01;
    }
    put(check);
}

void Programmer::queue_text(const std::string& text)
{
    const int size = report_size();
    const std::size_t room = size == 64 ? 62 : 7;
    for (std::size_t at = 0; at < text.size(); at += room) {
        const std::size_t n = std::min(room, text.size() - at);
        InputReport& report = input_.emplace_back();
        report.size = std::size_t(size);
        std::uint8_t flags = 0x40;
        if (at + n < text.size())
            flags |= 0x20;
        if (size == 64) {
            report.bytes[1] = std::uint8_t(n);
            std::copy_n(text.begin() + std::ptrdiff_t(at), n, report.bytes.begin() + 2);
        } else {
            flags |= std::uint8_t(n << 1);
            std::copy_n(text.begin() + std::ptrdiff_t(at), n, report.bytes.begin() + 1);
        }
        report.bytes[0] = flags;
    }
}

void Programmer::queue_input_report(std::vector<std::uint8_t> report)
{
    InputReport& queued = input_.emplace_back();
    queued.size = std::size_t(report_size());
    std::copy_n(report.begin(), std::min(report.size(), queued.size), queued.bytes.begin());
}

int Programmer::read(std::uint8_t* data, std::size_t length, int timeout_ms)
{
    if (!plugged)
        return -1;
    if (input_.empty()) {
        timeout_ms_waited += timeout_ms;
        platform::sleep_ms(timeout_ms);
        return plugged ? 0 : -1;
    }
    if (!charge_report())
        return -1;
    const InputReport& report = input_.front();
    const std::size_t n = std::min(length, report.size);
    std::copy_n(report.bytes.begin(), n, data);
    input_.pop_front();
    return int(n);
}

void Programmer::unplug()
{
    // The programmer takes its power from the cable: what it held is lost,
    // and a handle opened before does not come back with it.
    plugged = false;
    ++generation_;
    input_.clear();
    assembling_.clear();
    unit.clear_replies();
}

void Programmer::reenumerate(Variant variant, int absent_ms)
{
    variant_ = variant;
    ++generation_;
    input_.clear();
    assembling_.clear();
    unit.clear_replies();
    gone_for_good_ = absent_ms < 0;
    back_at_ms_ = platform::now_ms() + std::max(absent_ms, 0);
}

bool Programmer::present() const
{
    return plugged && !gone_for_good_ && platform::now_ms() >= back_at_ms_;
}

std::unique_ptr<HidDevice> SimPort::open(std::uint16_t vendor, std::uint16_t product)
{
    if (!programmer_.present() || !programmer_.openable || vendor != 0x12AA ||
        product != programmer_.product_id())
        return nullptr;
    ++opens;
    return std::make_unique<SimDevice>(programmer_);
}

std::optional<std::vector<std::uint16_t>> SimPort::plugged_in(std::uint16_t vendor)
{
    if (!programmer_.present() || vendor != 0x12AA)
        return std::vector<std::uint16_t>{};
    return std::vector<std::uint16_t>{programmer_.product_id()};
}

} // namespace tq::sim
