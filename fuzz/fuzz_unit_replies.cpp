// The unit's replies as the exchanges and periodic steps read them, fed with
// any frames. Byte 0 picks what runs; the rest is a stream of replies, each
// a length byte n, the reply code and n payload bytes, sent as a checked
// frame in input reports whenever the link reads (a length byte of 0xFF is
// a read that times out). The frame codec has its own target; this one is
// about what the readers of reply payloads do with short, long, stale or
// unexpected answers: identification, the signal monitor, event memory,
// diagnostics, AUX status, module tests, the module list, configuration and
// PIN reads, the radio module window, the radio monitor and the radio
// firmware transfer. All of it on a virtual clock, within its poll budgets.
#include "config/config_io.h"
#include "config/record.h"
#include "config/service_pin.h"
#include "config/unit_status.h"
#include "connection/connection.h"
#include "link/frame.h"
#include "link/link.h"
#include "modules/aux_status.h"
#include "modules/module_list.h"
#include "modules/module_test.h"
#include "monitor/signals.h"
#include "platform/clock.h"
#include "radio/radio_module.h"
#include "radio/radio_monitor.h"
#include "radio/radio_update.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

// Once its replies are used up the programmer stays silent for a few reads
// and then leaves the bus, so that an input ends soon after its replies do
// instead of running every remaining exchange through its whole budget.
// Silences long enough to use up a request's budget (a radio command's 140
// polls, a block read's 100) are the input's own: a run of 0xFF length
// bytes, which the fuzzer finds as readily as any other repeat.
constexpr int kSilentReadsAtEnd = 16;

// The stream is the fixture, not what is explored: its own branches are
// kept out of the fuzzer's coverage and comparison tracing.
#define TQ_FIXTURE __attribute__((no_sanitize("coverage")))

class ReplyStream final : public tq::HidDevice {
public:
    ReplyStream(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::string product_string() override { return "USB HID Progr"; }
    TQ_FIXTURE int write(const std::uint8_t*, std::size_t length) override
    {
        return gone() ? -1 : int(length);
    }
    int set_nonblocking(bool) override { return 0; }
    TQ_FIXTURE int read_timeout(std::uint8_t* out, std::size_t length, int timeout_ms) override
    {
        if (gone())
            return -1;
        if (sent_ == text_.size && !next_reply()) {
            if (size_ < 2)
                ++silent_at_end_;
            tq::platform::sleep_ms(timeout_ms);
            return 0;
        }
        // One 64-byte input report of the frame text.
        std::uint8_t report[64] = {};
        const std::size_t n = std::min<std::size_t>(62, text_.size - sent_);
        report[0] = std::uint8_t(0x40 | (sent_ + n < text_.size ? 0x20 : 0));
        report[1] = std::uint8_t(n);
        std::memcpy(report + 2, text_.chars.data() + sent_, n);
        sent_ += n;
        const std::size_t give = std::min(length, sizeof report);
        std::memcpy(out, report, give);
        return int(give);
    }

private:
    // Takes the next reply of the stream as frame text; false when the
    // stream is used up or the reply is a silent read.
    TQ_FIXTURE bool next_reply()
    {
        if (size_ < 2)
            return false;
        const std::uint8_t n = data_[0];
        if (n == 0xFF) {
            ++data_;
            --size_;
            return false;
        }
        const std::size_t count = std::min<std::size_t>({n, size_ - 2, tq::kMaxFrameData});
        text_ = tq::encode_frame(data_[1], data_ + 2, count);
        sent_ = 0;
        data_ += 2 + count;
        size_ -= 2 + count;
        return true;
    }

    TQ_FIXTURE bool gone() const { return silent_at_end_ > kSilentReadsAtEnd; }

    const std::uint8_t* data_;
    std::size_t size_;
    tq::FrameText text_; // the reply being sent, up to sent_
    std::size_t sent_ = 0;
    int silent_at_end_ = 0;
};

class StreamPort final : public tq::HidPort {
public:
    StreamPort(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::unique_ptr<tq::HidDevice> open(std::uint16_t, std::uint16_t product) override
    {
        if (product != tq::kProduct64)
            return nullptr;
        return std::make_unique<ReplyStream>(data_, size_);
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
};

class NullRadioView final : public tq::RadioView {
public:
    void busy_cursor(bool) override {}
    void message(const std::string&) override {}
    bool ask(const std::string&) override { return true; }
    void build_window() override {}
    void destroy_window() override {}
    void show_password_button() override {}
    void set_identity(const std::string&) override {}
    void show_name_controls(const std::string&) override {}
    void set_info(const std::string&) override {}
    void set_pairing_caption(bool) override {}
    void set_device_warning(bool) override {}
    void set_name(const std::string&) override {}
    void clear_row(int slot) override { check_slot(slot); }
    void show_row(int slot, const tq::RadioRow& row) override
    {
        check_slot(slot);
        if (row.columns < 0 || row.columns > 5)
            __builtin_trap();
    }
    void set_row_buttons(int slot, const tq::RowButtons& buttons) override
    {
        check_slot(slot);
        if (buttons.cells.size() > 5)
            __builtin_trap();
    }
    void set_row_heard(int slot, bool) override { check_slot(slot); }
    void set_row_status(int slot, int, int, const std::string&, const std::string&) override
    {
        check_slot(slot);
    }

private:
    static void check_slot(int slot)
    {
        if (slot < 0 || slot >= tq::kRadioSlots)
            __builtin_trap();
    }
};

class NullMonitorView final : public tq::MonitorView {
public:
    void busy_cursor(bool) override {}
    void message(const std::string&) override {}
    void wait_for_message() override {}
    void close_radio_window() override {}
    void build_window(const std::string&) override {}
    void destroy_window() override {}
    void show_mode(int) override {}
    void set_instruction(const std::string&) override {}
    void set_indicator_text(const std::string&) override {}
    void set_indicator_colour(Colour) override {}
};

constexpr int kPasses = 48;
constexpr int kVersions[] = {1053, 1054, 1064, 1065, 1068, 1100, 1105};

void run(tq::LinkState& link, std::uint8_t what, std::uint8_t option)
{
    const int version = kVersions[option % (sizeof kVersions / sizeof kVersions[0])];
    switch (what % 8) {
    case 0: { // identification
        tq::ConnectionState c;
        c.state = tq::kWaitingForUnit;
        c.can_check_pending = false;
        c.service_mode = option & 0x80;
        tq::ConnectionView nothing_shown;
        for (int i = 0; i < kPasses && link.open(); ++i)
            tq::connection_step(link, c, nothing_shown);
        break;
    }
    case 1: { // the periodic steps of the unit's tool windows
        tq::SignalMonitorState signals;
        unsigned event_polls = 0;
        tq::AuxInterfaceState aux;
        tq::ModulesState modules;
        std::array<bool, 6> open;
        open.fill(true);
        for (int i = 0; i < kPasses; ++i) {
            tq::poll_pass_reply(link);
            tq::signal_monitor_poll(link, signals, [](int bit, bool) {
                if (bit < 0 || bit >= tq::kSignalCount)
                    __builtin_trap();
            });
            tq::event_memory_step(link, event_polls, [](int index, const std::string&) {
                if (index < 0 || index >= tq::kEventCount)
                    __builtin_trap();
            });
            if (const auto d = tq::decode_diagnostics(link))
                tq::diagnostics_texts(*d);
            tq::aux_poll(aux, link);
            const tq::ModulePoll p = tq::module_test_poll(modules, link, open);
            if (p.window >= 6)
                __builtin_trap();
        }
        break;
    }
    case 2: { // configuration, module list, PIN and AUX reads
        tq::ConfigState config;
        tq::begin_config_session(config, tq::UnitKind{option & 1 ? 511 : 512, version});
        tq::load_configuration(config, link, tq::kLoadFromUnit);
        tq::ModulesState modules;
        if (tq::load_module_list(modules, link, version) == 0)
            tq::build_module_rows(modules);
        std::array<std::uint8_t, tq::kServicePinDigits> pin{};
        tq::read_service_pin(link, version, pin);
        tq::read_aux_mode(link, version);
        break;
    }
    case 3: { // the radio module window
        tq::RadioState radio;
        NullRadioView view;
        const std::array<std::uint8_t, 8> id = {0xA1, 1, 2, 3, 4, 5, 6, 7};
        tq::RadioContext c{link, radio, view, id};
        tq::radio_open(c);
        for (int i = 0; i < kPasses && radio.window_open; ++i) {
            tq::poll_pass_reply(link);
            tq::radio_poll_step(c);
        }
        if (radio.window_open)
            tq::radio_load_device_list(c);
        break;
    }
    case 4: { // the radio monitor
        tq::RadioState radio;
        NullMonitorView view;
        std::array<std::uint8_t, 8> id = {0xA0, 1, 2, 3, 4, 5, 6, 7};
        tq::MonitorContext c{link, radio, version, view, id};
        tq::open_radio_monitor(c, option & 1);
        if (radio.monitor_open)
            tq::set_monitor_mode(c, 1 + (option >> 1) % 2);
        for (int i = 0; i < kPasses && radio.monitor_open; ++i) {
            tq::poll_pass_reply(link);
            tq::radio_monitor_poll_step(c);
        }
        break;
    }
    case 5: { // the .ble loader
        std::vector<std::uint8_t> file = {'B', 'L', 'E', 'R', 'A', 'D', 'I', 'o'};
        file.resize(8 + 40 + option % 64, 0x5A);
        tq::RadioState radio;
        tq::switch_radio_boot_mode(link, radio,
                                   (option & 1) ? tq::RadioBootMode::Wireless : tq::RadioBootMode::File);
        tq::send_ble_image(link, file, {});
        break;
    }
    case 6: { // DFU over SLIP
        static const std::vector<std::uint8_t> init(140, 0x11), image(1000, 0x22);
        tq::SlipChannel ch{link, {}};
        ch.piece_sends = 3;
        tq::send_dfu_package(ch, tq::DfuPackage{init, image}, {});
        break;
    }
    default: { // the module test windows' own requests
        tq::switch_bistable(link, 1 + option % 2, (option >> 1) % 2, option & 4);
        tq::run_output_test(link, option % 2, {1, 2, 3, 4, 5, 6});
        tq::apply_module_config(link);
        break;
    }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    tq::platform::ScopedVirtualClock clock;
    StreamPort port(data + 2, size - 2);
    tq::LinkState link;
    link.port = &port;
    if (tq::device_open(link) != tq::OpenResult::Programmer)
        __builtin_trap();
    const std::int64_t start = tq::platform::now_ms();
    run(link, data[0], data[1]);
    // Every exchange is bounded: an hour of virtual time is far beyond any.
    if (tq::platform::now_ms() - start > 3'600'000)
        __builtin_trap();
    return 0;
}
