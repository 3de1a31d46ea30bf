#include "link/trace.h"

#include "platform/clock.h"

#include <glib.h>

#include <cerrno>
#include <cinttypes>
#include <cstring>

namespace tq {
namespace {

std::string hex_id(std::uint16_t value)
{
    char text[8];
    std::snprintf(text, sizeof text, "%04X", value);
    return text;
}

class TracedDevice : public HidDevice {
public:
    TracedDevice(std::unique_ptr<HidDevice> inner, LinkTrace& trace, std::string name)
        : inner_(std::move(inner)), trace_(trace), name_(std::move(name))
    {
    }
    ~TracedDevice() override { trace_.line("close " + name_); }

    std::string product_string() override
    {
        std::string product = inner_->product_string();
        trace_.line("product string of " + name_ + ": \"" + product + "\"");
        return product;
    }
    int write(const std::uint8_t* data, std::size_t length) override
    {
        const int written = inner_->write(data, length);
        trace_.bytes(written == int(length) ? "out" : "out (write failed: " + std::to_string(written) + ")",
                     data, length);
        return written;
    }
    int read_timeout(std::uint8_t* data, std::size_t length, int timeout_ms) override
    {
        const int got = inner_->read_timeout(data, length, timeout_ms);
        if (got > 0)
            trace_.bytes("in", data, std::size_t(got));
        else if (got < 0)
            trace_.line("in: read error");
        return got;
    }
    int set_nonblocking(bool nonblocking) override { return inner_->set_nonblocking(nonblocking); }

private:
    std::unique_ptr<HidDevice> inner_;
    LinkTrace& trace_;
    std::string name_;
};

class TracedPort : public HidPort {
public:
    TracedPort(HidPort& inner, LinkTrace& trace) : inner_(inner), trace_(trace) {}

    std::unique_ptr<HidDevice> open(std::uint16_t vendor, std::uint16_t product) override
    {
        const std::string name = hex_id(vendor) + ":" + hex_id(product);
        std::unique_ptr<HidDevice> device = inner_.open(vendor, product);
        if (!device) {
            trace_.line("open " + name + ": not opened");
            return nullptr;
        }
        trace_.line("open " + name + ": opened");
        return std::make_unique<TracedDevice>(std::move(device), trace_, name);
    }
    std::optional<std::vector<std::uint16_t>> plugged_in(std::uint16_t vendor) override
    {
        auto plugged = inner_.plugged_in(vendor);
        // Only what changed: the search asks every pass.
        std::string seen = "unknown";
        if (plugged) {
            seen.clear();
            for (std::uint16_t product : *plugged)
                seen += (seen.empty() ? "" : " ") + hex_id(product);
            if (seen.empty())
                seen = "none";
        }
        if (seen != last_seen_) {
            trace_.line("plugged in of vendor " + hex_id(vendor) + ": " + seen);
            last_seen_ = seen;
        }
        return plugged;
    }

private:
    HidPort& inner_;
    LinkTrace& trace_;
    std::string last_seen_;
};

} // namespace

std::unique_ptr<LinkTrace> LinkTrace::open(const std::string& path, std::string& error)
{
    // Appended: a restart into another language keeps what came before.
    std::FILE* file = std::fopen(path.c_str(), "a");
    if (!file) {
        error = std::strerror(errno);
        return nullptr;
    }
    std::unique_ptr<LinkTrace> trace(new LinkTrace(file, platform::now_ms()));
    GDateTime* now = g_date_time_new_now_local();
    gchar* stamp = g_date_time_format(now, "%Y-%m-%d %H:%M:%S");
    trace->line(std::string("trace begins ") + stamp);
    g_free(stamp);
    g_date_time_unref(now);
    return trace;
}

LinkTrace::~LinkTrace()
{
    std::fclose(file_);
}

void LinkTrace::line(std::string_view what)
{
    const std::int64_t ms = platform::now_ms() - start_ms_;
    std::fprintf(file_, "[%6" PRId64 ".%03d] %.*s\n", ms / 1000, int(ms % 1000), int(what.size()),
                 what.data());
    std::fflush(file_);
}

void LinkTrace::bytes(std::string_view what, const std::uint8_t* data, std::size_t length)
{
    std::string text(what);
    char hex[4];
    for (std::size_t i = 0; i < length; ++i) {
        std::snprintf(hex, sizeof hex, " %02X", data[i]);
        text += hex;
    }
    line(text);
}

std::unique_ptr<HidPort> traced_port(HidPort& inner, LinkTrace& trace)
{
    return std::make_unique<TracedPort>(inner, trace);
}

} // namespace tq
