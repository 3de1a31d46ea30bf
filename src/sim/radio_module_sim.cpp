#include "sim/radio_module_sim.h"

#include "platform/clock.h"
#include "sim/programmer.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace tq::sim {
namespace {

// Dallas/Maxim CRC-8 as the module computes it (bit by bit, MSB-side table
// free form of x^8 + x^5 + x^4 + 1, reflected).
std::uint8_t maxim_crc(std::string_view s)
{
    std::uint8_t crc = 0;
    for (unsigned char ch : s) {
        for (int i = 0; i < 8; ++i) {
            const bool mix = (crc ^ ch) & 1;
            crc >>= 1;
            if (mix)
                crc ^= 0x8C;
            ch >>= 1;
        }
    }
    return crc;
}

std::string hex(unsigned v, int digits)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%0*X", digits, v);
    return buf;
}

std::uint32_t crc32_of(const std::vector<std::uint8_t>& d)
{
    return std::uint32_t(::crc32(0, d.data(), uInt(d.size())));
}

void put32(std::vector<std::uint8_t>& v, std::uint32_t x)
{
    for (int i = 0; i < 4; ++i)
        v.push_back(std::uint8_t(x >> (8 * i)));
}

std::uint32_t get32(const std::vector<std::uint8_t>& v, std::size_t at)
{
    return std::uint32_t(v[at]) | std::uint32_t(v[at + 1]) << 8 | std::uint32_t(v[at + 2]) << 16 |
           std::uint32_t(v[at + 3]) << 24;
}

constexpr std::uint8_t kAck = 0x01;

} // namespace

// ---------------------------------------------------------------- DFU target

std::vector<std::uint8_t> sim_init_packet(const std::vector<std::uint8_t>& image, std::size_t length)
{
    std::vector<std::uint8_t> p = {'S', 'I', 'M', 'D', 'F', 'U', '1', 0};
    put32(p, std::uint32_t(image.size()));
    put32(p, crc32_of(image));
    if (p.size() < length)
        p.resize(length, 0x5A);
    return p;
}

void DfuTargetSim::feed(const std::vector<std::uint8_t>& bytes, std::vector<std::uint8_t>& out)
{
    for (std::uint8_t b : bytes) {
        if (b != 0xC0) {
            pending_.push_back(b);
            continue;
        }
        std::vector<std::uint8_t> req;
        bool ok = true;
        for (std::size_t i = 0; i < pending_.size(); ++i) {
            if (pending_[i] != 0xDB) {
                req.push_back(pending_[i]);
            } else if (i + 1 < pending_.size() && pending_[i + 1] == 0xDC) {
                req.push_back(0xC0);
                ++i;
            } else if (i + 1 < pending_.size() && pending_[i + 1] == 0xDD) {
                req.push_back(0xDB);
                ++i;
            } else {
                ok = false;
            }
        }
        pending_.clear();
        if (ok && !req.empty())
            handle(req, out);
    }
}

void DfuTargetSim::respond(std::vector<std::uint8_t> resp, std::vector<std::uint8_t>& out)
{
    if (drop_responses > 0) {
        --drop_responses;
        return;
    }
    resp.insert(resp.begin(), 0x60);
    for (std::uint8_t b : resp) {
        if (b == 0xC0) {
            out.push_back(0xDB);
            out.push_back(0xDC);
        } else if (b == 0xDB) {
            out.push_back(0xDB);
            out.push_back(0xDD);
        } else {
            out.push_back(b);
        }
    }
    out.push_back(0xC0);
}

void DfuTargetSim::handle(const std::vector<std::uint8_t>& req, std::vector<std::uint8_t>& out)
{
    const std::uint8_t op = req[0];
    switch (op) {
    case 0x09: // PING
        if (req.size() == 2)
            respond({0x09, kAck, req[1]}, out);
        return;
    case 0x02: // receipt notifications
        respond({0x02, kAck}, out);
        return;
    case 0x01: { // CREATE
        if (req.size() != 6) {
            respond({0x01, 0x03}, out);
            return;
        }
        ++creates;
        const std::uint32_t size = get32(req, 2);
        if (req[1] == 1) {
            if (size > kCommandMax) {
                respond({0x01, 0x04}, out);
                return;
            }
            init.clear();
            init_valid = false;
            command_size_ = size;
            object_type_ = 1;
        } else if (req[1] == 2) {
            if (!init_valid) {
                respond({0x01, 0x08}, out);
                return;
            }
            if (size > kDataMax || size == 0) {
                respond({0x01, 0x04}, out);
                return;
            }
            image.resize(executed_); // an object not executed is dropped
            object_start_ = executed_;
            object_size_ = size;
            object_type_ = 2;
        } else {
            respond({0x01, 0x07}, out);
            return;
        }
        respond({0x01, kAck}, out);
        return;
    }
    case 0x06: { // SELECT
        if (req.size() != 2 || (req[1] != 1 && req[1] != 2)) {
            respond({0x06, 0x07}, out);
            return;
        }
        std::vector<std::uint8_t> r = {0x06, kAck};
        if (req[1] == 1) {
            put32(r, kCommandMax);
            put32(r, std::uint32_t(init.size()));
            put32(r, crc32_of(init));
        } else {
            std::uint32_t offset = std::uint32_t(image.size());
            if (skew_select_offset > 0) {
                --skew_select_offset;
                offset += 4;
            }
            put32(r, kDataMax);
            put32(r, offset);
            put32(r, crc32_of(image));
        }
        respond(std::move(r), out);
        return;
    }
    case 0x08: // WRITE: no response (receipts off)
        ++writes;
        if (object_type_ == 1) {
            if (init.size() + req.size() - 1 <= command_size_)
                init.insert(init.end(), req.begin() + 1, req.end());
        } else if (object_type_ == 2) {
            if (image.size() + req.size() - 1 <= object_start_ + object_size_)
                image.insert(image.end(), req.begin() + 1, req.end());
        }
        return;
    case 0x03: { // CRC_GET
        std::vector<std::uint8_t> r = {0x03, kAck};
        const auto& obj = object_type_ == 1 ? init : image;
        put32(r, std::uint32_t(obj.size()));
        put32(r, crc32_of(obj));
        respond(std::move(r), out);
        return;
    }
    case 0x04: // EXECUTE
        ++executes;
        if (object_type_ == 1) {
            if (init.size() != command_size_) {
                respond({0x04, 0x08}, out);
                return;
            }
            static const std::uint8_t magic[8] = {'S', 'I', 'M', 'D', 'F', 'U', '1', 0};
            if (init.size() < 16 || !std::equal(magic, magic + 8, init.begin())) {
                respond({0x04, 0x0B, 0x04}, out); // init command invalid
                return;
            }
            expected_size_ = get32(init, 8);
            expected_crc_ = get32(init, 12);
            init_valid = true;
            executed_ = 0;
            image.clear();
            activated = false;
            respond({0x04, kAck}, out);
            return;
        }
        if (object_type_ == 2) {
            if (image.size() == executed_ && executed_ > object_start_) {
                respond({0x04, kAck}, out); // already executed: a repeated request
                return;
            }
            if (image.size() != object_start_ + object_size_) {
                respond({0x04, 0x08}, out);
                return;
            }
            executed_ = std::uint32_t(image.size());
            if (executed_ >= expected_size_) {
                if (fail_verification || executed_ != expected_size_ ||
                    crc32_of(image) != expected_crc_) {
                    respond({0x04, 0x0B, 0x0C}, out);
                    return;
                }
                activated = true;
            }
            respond({0x04, kAck}, out);
            return;
        }
        respond({0x04, 0x08}, out);
        return;
    default:
        respond({op, 0x02}, out); // opcode not supported
        return;
    }
}

// ------------------------------------------------------------- radio module

RadioModuleSim::RadioModuleSim(AlarmUnit& unit) : unit_(unit)
{
    unit.on(0x85, [this](AlarmUnit&, std::span<const std::uint8_t> d) {
        access_times.emplace_back(0x85, platform::now_ms());
        on_access(d);
    });
    unit.on(0x8C, [this](AlarmUnit&, std::span<const std::uint8_t>) {
        access_times.emplace_back(0x8C, platform::now_ms());
    });
    unit.on(0x86, [this](AlarmUnit&, std::span<const std::uint8_t> d) { on_write(d); });
    unit.on(0x87, [this](AlarmUnit&, std::span<const std::uint8_t> d) { on_read(d); });
    unit.on_idle([this](AlarmUnit&) {
        while (!late_acks_.empty() && late_acks_.front().first <= platform::now_ms()) {
            unit_.reply(0x01, std::move(late_acks_.front().second));
            late_acks_.pop_front();
        }
    });
}

void RadioModuleSim::pair(const RadioDevice& device)
{
    if (!pairing)
        return;
    if (devices.size() < 12)
        devices.push_back(device);
    pairing = false;
    end_mode = devices.size() >= 12 ? 0xEA : 0xE8;
}

void RadioModuleSim::on_access(std::span<const std::uint8_t> d)
{
    const int mode = d.empty() ? 0 : d[0];
    if (mode == 0 && busy_access_after > 0) {
        --busy_access_after;
    } else if (mode == 0 && busy_access > 0) {
        --busy_access;
        unit_.reply(0x01, {0xFE, 0xFF});
        return;
    }
    if (mode == 1) {
        radio_mode = false;
        boot_mode = false;
        ++leaves;
    } else {
        radio_mode = true;
        ++enters;
    }
    unit_.reply(0x01, {0x85, std::uint8_t(mode)});
}

void RadioModuleSim::on_write(std::span<const std::uint8_t> d)
{
    if (d.size() < 4 || d[3] != 0xFF || d.size() != std::size_t(d[2]) + 4 || !radio_mode)
        return;
    const std::uint8_t seq = d[0], buffer = d[1], n = d[2];
    const std::span<const std::uint8_t> data = d.subspan(4);
    const auto ack = [&] { unit_.reply(0x01, {seq, buffer, n, kAck}); };

    switch (buffer) {
    case 0xBB:
        if (boot_mode && chipset == 0) {
            ack();
            ble_packet(data);
            return;
        }
        if (busy_writes > 0) {
            --busy_writes;
            unit_.reply(0x01, {0xFE, 0xFF});
            return;
        }
        ack();
        text_command(std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
        return;
    case 0xC0: // reset
        ack();
        ++resets;
        boot_mode = false;
        pairing = false;
        out_.clear();
        return;
    case 0xC1: // boot-mode request
        ack();
        if (confirm_boot && n == 1) {
            boot_mode = true;
            boot_kind = data[0];
            out_.clear();
        }
        return;
    case 0xCB:
    case 0xCF:
        if (silent_slip_writes > 0) {
            --silent_slip_writes;
            return;
        }
        if (buffer == 0xCB && late_slip_acks > 0) {
            --late_slip_acks;
            late_acks_.emplace_back(platform::now_ms() + late_ack_ms,
                                    std::vector<std::uint8_t>{seq, buffer, n, kAck});
        } else {
            ack();
        }
        if (buffer == 0xCB) {
            slip_first_.assign(data.begin(), data.end());
        } else {
            std::vector<std::uint8_t> piece = std::move(slip_first_);
            slip_first_.clear();
            piece.insert(piece.end(), data.begin(), data.end());
            if (boot_mode && boot_kind == 0 && chipset == 1)
                dfu.feed(piece, out_);
        }
        return;
    default:
        ack();
        return;
    }
}

void RadioModuleSim::on_read(std::span<const std::uint8_t> d)
{
    if (d.size() != 3 || !radio_mode)
        return;
    const std::uint8_t seq = d[0], buffer = d[1], n = d[2];
    // Room for the longest answer at once: a read is answered on every poll.
    std::vector<std::uint8_t> r;
    r.reserve(5 + std::max<std::size_t>(n, info_bytes));
    r.insert(r.end(), {seq, buffer, n});
    switch (buffer) {
    case 0xBC: {
        if (read_errors > 0) {
            --read_errors;
            r.push_back(0xFF);
            break;
        }
        r.push_back(kAck);
        std::size_t count = 0;
        if (platform::now_ms() >= out_ready_at_)
            count = std::min({out_.size(), std::size_t(n), read_limit});
        r.push_back(std::uint8_t(count));
        r.insert(r.end(), out_.begin(), out_.begin() + std::ptrdiff_t(count));
        out_.erase(out_.begin(), out_.begin() + std::ptrdiff_t(count));
        break;
    }
    case 0xBD: {
        r.push_back(kAck);
        r.push_back(7);
        const std::vector<std::uint8_t> status = {0x01, 0x00, std::uint8_t(boot_mode ? 0x80 : 0x00),
                                                  0, 0, 0, 0};
        r.insert(r.end(), status.begin(), status.end());
        break;
    }
    case 0xF0: {
        r.push_back(kAck);
        r.push_back(std::uint8_t(info_count));
        std::vector<std::uint8_t> block(16, 0);
        std::copy_n(info_version.begin(), std::min<std::size_t>(info_version.size(), 15), block.begin());
        block[15] = std::uint8_t(info_chip_byte >= 0 ? info_chip_byte : '0' + chipset);
        block.resize(info_bytes);
        r.insert(r.end(), block.begin(), block.end());
        break;
    }
    default:
        r.push_back(kAck);
        r.push_back(0);
        break;
    }
    unit_.reply(0x01, std::move(r));
}

void RadioModuleSim::text_command(std::string_view line)
{
    if (keep_lines)
        lines.emplace_back(line);
    const std::string code(line.size() >= 2 ? line.substr(0, 2) : "00");
    char status = '0';
    std::string data;
    if (line.size() < 5 || line.back() != '\n' ||
        hex(maxim_crc(line.substr(0, line.size() - 3)), 2) != line.substr(line.size() - 3, 2))
        status = '6';
    else
        data = answer(code, std::string(line.substr(2, line.size() - 5)), status);
    if (refused_replies > 0) {
        --refused_replies;
        status = '6';
        data.clear();
    }
    std::string reply;
    reply.reserve(code.size() + 2 + data.size() + 3);
    reply.append(code).append(1, 'e').append(1, status).append(data);
    std::uint8_t crc = maxim_crc(reply);
    if (broken_replies > 0) {
        --broken_replies;
        crc ^= 0x5A;
    }
    reply.append(hex(crc, 2)).append(1, '\n');
    out_.assign(stale_text.begin(), stale_text.end());
    stale_text.clear();
    out_.insert(out_.end(), reply.begin(), reply.end());
    out_ready_at_ = platform::now_ms() + reply_delay_ms;
}

std::string RadioModuleSim::answer(const std::string& code, const std::string& data, char& status)
{
    const auto slot_arg = [&]() -> int {
        if (data.size() < 2)
            return -1;
        return int(std::strtoul(data.substr(0, 2).c_str(), nullptr, 16));
    };
    if (code == "01")
        return version;
    if (code == "02") {
        std::string s;
        for (int slot = 0; slot < 12; ++slot)
            if (heard >> slot & 1 && s.size() < 32)
                s += hex(unsigned(slot), 4);
        return s;
    }
    if (code == "03")
        return mac;
    if (code == "04")
        return hex(id_low, 8) + (id_high ? hex(id_high, 8) : "");
    if (code == "05")
        return hex(unsigned(name_max), 2);
    if (code == "06") {
        std::string padded = name;
        padded.resize(std::max<std::size_t>(padded.size(), std::size_t(name_max)), ' ');
        return padded;
    }
    if (code == "07") {
        const int slot = slot_arg();
        if (slot < 0 || slot >= int(devices.size())) {
            status = '6';
            return "";
        }
        const RadioDevice& d = devices[std::size_t(slot)];
        return hex(unsigned(slot), 2) + hex(unsigned(d.subtype), 2) + hex(unsigned(d.type), 2) +
               "00000000" + d.name;
    }
    if (code == "08")
        return hex(pairing ? 0xE7u : end_mode, 2) + hex(unsigned(devices.size()), 2) + "00";
    if (code == "09") {
        const int length = slot_arg();
        if (length == 0) {
            name = default_name;
        } else if (length < 0 || length > name_max || data.size() != std::size_t(length) + 2) {
            status = '6';
        } else {
            name = data.substr(2);
        }
        return "";
    }
    if (code == "10") {
        pairing = true;
        return "";
    }
    if (code == "11") {
        pairing = false;
        return "";
    }
    if (code == "12") {
        const int slot = slot_arg();
        if (slot >= 0 && slot < int(devices.size()))
            devices.erase(devices.begin() + slot);
        return "";
    }
    if (code == "13") {
        devices.clear();
        return "";
    }
    if (code == "15") {
        if (events.empty())
            return "0000FF00" "00FF" "0000" "00";
        const RadioEventRecord e = events.front();
        events.pop_front();
        std::string s = hex(e.bits, 2) + hex(e.flag, 2) + hex(e.slot, 2) + hex(e.fourth, 2) +
                        hex(e.power, 4) + hex(e.voltage, 4) + hex(e.signal, 2);
        if (e.long_form)
            s += hex(unsigned(e.major), 2) + hex(unsigned(e.minor), 2) + hex(unsigned(e.patch), 2);
        return s;
    }
    if (code == "18") {
        record_resets.push_back(data);
        return "";
    }
    if (code == "1E") {
        if (data.size() != 6) {
            status = '6';
            return "";
        }
        password = data;
        return "";
    }
    if (code == "1F")
        return hex(query_slot, 2) + hex(query_code, 4);
    if (!answer_unknown_codes)
        status = '6';
    return "";
}

void RadioModuleSim::ble_packet(std::span<const std::uint8_t> p)
{
    out_.clear();
    out_ready_at_ = 0;
    if (p.size() == 2) {
        if (p[0] == 0x60 && p[1] == 0xE0) {
            flash.clear();
            erased = true;
            out_ = {'O', 'K'};
        } else if (p[0] == 0x00 && p[1] == 0x80 && erased) {
            flash = ble_staging;
            saved = true;
            out_ = {'O', 'K'};
        } else {
            out_ = {'E', 'R'};
        }
        return;
    }
    // A chunk: offset, top bits, 32 seven-bit bytes, check, 0xA0.
    unsigned check = 0;
    for (std::size_t i = 0; p.size() == 42 && i < 40; ++i)
        check += p[i];
    if (p.size() != 42 || p[41] != 0xA0 || p[40] != ((check + 0xA0) & 0x7F)) {
        out_ = {'E', 'R', 'R', '!'};
        return;
    }
    const std::size_t offset = std::size_t(p[0]) * 16384 + std::size_t(p[1]) * 128 + p[2];
    const std::uint32_t top = std::uint32_t(p[3]) << 28 | std::uint32_t(p[4]) << 21 |
                              std::uint32_t(p[5]) << 14 | std::uint32_t(p[6]) << 7 | p[7];
    if (ble_staging.size() < offset + 32)
        ble_staging.resize(offset + 32, 0xFF);
    unsigned sum = 0;
    for (std::size_t i = 0; i < 32; ++i) {
        const std::uint8_t b = std::uint8_t(p[8 + i] | ((top >> (31 - i)) & 1) << 7);
        ble_staging[offset + i] = b;
        sum += b;
    }
    ++ble_chunks;
    out_ = {std::uint8_t(sum / 128), std::uint8_t(sum & 0x7F), 'O', 'K'};
}

// ---------------------------------------------------------- one-wire receiver

OneWireReceiverSim::OneWireReceiverSim(AlarmUnit& unit) : unit_(unit)
{
    unit.on(0x82, [this](AlarmUnit&, std::span<const std::uint8_t> d) { on_poll(d); });
}

void OneWireReceiverSim::press_remote(int number)
{
    if (mode_ == 0x80) {
        taught.clear();
        erased = true;
        events_.push_back({0x20, 0, 0, 0});
    } else if (mode_ == 0x81 || (mode_ >= 0x02 && mode_ <= 0x0A)) {
        const int slot = mode_ == 0x81 ? 1 : mode_;
        taught.push_back(slot);
        events_.push_back({std::uint8_t(slot), 1, 0x10, 0});
    } else {
        const bool known = std::find(taught.begin(), taught.end(), number) != taught.end();
        events_.push_back({std::uint8_t(known ? number : 0), 1, 0, 0});
    }
}

void OneWireReceiverSim::press_fobrix(int number)
{
    events_.push_back({std::uint8_t(0x10 | (number & 0x0F)), 2, 0, 0});
}

void OneWireReceiverSim::on_poll(std::span<const std::uint8_t> d)
{
    packets.emplace_back(d.begin(), d.end());
    if (d.size() != 10 || !present)
        return;
    if (d[1] != 0x00 || !std::equal(id.begin(), id.end(), d.begin() + 2))
        return; // opening and closing packets, or another receiver
    mode_ = d[0];
    if (!events_.empty()) {
        const auto e = events_.front();
        events_.pop_front();
        unit_.reply(0x01, {e[0], e[1], e[2], e[3]});
    }
}

void install_demo_radio(Programmer& programmer)
{
    static std::unique_ptr<RadioModuleSim> module;
    module = std::make_unique<RadioModuleSim>(programmer.unit);
    module->devices = {{1, 2, "Phone Anna"}, {3, 0, "Remote 1"}, {2, 1, "Fobrix"},
                       {4, 0, "Siren"}, {5, 0, "Sensor"}};
    module->heard = 0b00011;
    module->events.push_back({0x01, 0, 1, 0, 0x8000 | 400, 0, 62, true, 2, 1, 7});
}

} // namespace tq::sim
