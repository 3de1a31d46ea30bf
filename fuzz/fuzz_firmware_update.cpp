// A firmware file and a bootloader's answers, both from the input: the
// first two bytes give the file's length, the file follows, and the rest is
// served as the bootloader's 64-byte input reports. The update runs as from
// the bootloader dialog, on a virtual clock.
#include "firmware/firmware_file.h"
#include "firmware/update.h"
#include "platform/clock.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

namespace {

struct Stream {
    const std::uint8_t* data;
    std::size_t size;
    int silent_reads = 0; // reads since the answers ran out
};

// Once its answers are used up the bootloader stays silent for this many
// reads, enough for every wait to run out, and then leaves the bus: an
// input ends soon after its answers do.
constexpr int kSilentReadsAtEnd = 256;

class FuzzBootloader final : public tq::HidDevice {
public:
    explicit FuzzBootloader(Stream& s) : s_(s) {}
    std::string product_string() override { return "USB Bootloader"; }
    int write(const std::uint8_t*, std::size_t length) override
    {
        return s_.silent_reads > kSilentReadsAtEnd ? -1 : int(length);
    }
    int read_timeout(std::uint8_t* data, std::size_t length, int timeout_ms) override
    {
        if (s_.size == 0) {
            if (++s_.silent_reads > kSilentReadsAtEnd)
                return -1;
            tq::platform::sleep_ms(timeout_ms);
            return 0;
        }
        // A short last report reads as short, as a device might deliver it.
        const std::size_t n = std::min({length, s_.size, std::size_t(64)});
        std::memcpy(data, s_.data, n);
        s_.data += n;
        s_.size -= n;
        return int(n);
    }
    int set_nonblocking(bool) override { return 0; }

private:
    Stream& s_;
};

class FuzzPort final : public tq::HidPort {
public:
    explicit FuzzPort(Stream& s) : s_(s) {}
    std::unique_ptr<tq::HidDevice> open(std::uint16_t, std::uint16_t product) override
    {
        if (product != tq::kProduct64)
            return nullptr;
        return std::make_unique<FuzzBootloader>(s_);
    }

private:
    Stream& s_;
};

// The update's windows: the file is chosen once and read from the input,
// short files padded; how much of the buffer it filled is kept.
class View final : public tq::FirmwareView {
public:
    View(const std::uint8_t* file, std::size_t file_size, std::size_t& written)
        : file_(file), file_size_(file_size), written_(written)
    {
    }
    std::optional<std::string> choose_file() override
    {
        return chosen_++ == 0 ? std::optional<std::string>("fuzz.bin") : std::nullopt;
    }
    std::optional<std::size_t> read_file(const std::string&, std::uint8_t* buffer,
                                         std::size_t max) override
    {
        const std::size_t n = std::min(max, std::max(file_size_, tq::kFirmwareMinFileSize));
        if (file_size_ == 0)
            std::memset(buffer, 0, n);
        for (std::size_t at = 0; file_size_ && at < n; at += file_size_)
            std::memcpy(buffer + at, file_, std::min(file_size_, n - at));
        written_ = std::max(written_, n);
        return n;
    }

private:
    const std::uint8_t* file_;
    std::size_t file_size_;
    std::size_t& written_;
    int chosen_ = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    const std::size_t file_size = std::min<std::size_t>(std::size_t(data[0]) << 8 | data[1], size - 2);
    // Short files are padded with their own bytes up to the smallest size
    // that is checked further (tag and CRC still decide).
    const std::uint8_t* file = data + 2;
    Stream replies{file + file_size, size - 2 - file_size, 0};

    tq::platform::VirtualClock clock;
    tq::platform::set_clock(&clock);
    FuzzPort port(replies);
    tq::LinkState link;
    link.port = &port;
    // One state for all inputs: its 525 KB buffer is made once, and what an
    // input wrote into it is cleared again after the run.
    static tq::FirmwareState fw;
    fw.image_size = 0;
    fw.updating = false;
    std::size_t written = 0;
    View view(file, file_size, written);
    tq::update_firmware(link, fw, view, tq::kFirmwareNoSwitch);
    std::fill_n(fw.buffer.begin(), written, std::uint8_t(0));
    tq::platform::set_clock(nullptr);
    return 0;
}
