#include "sim/alarm_unit.h"

namespace tq::sim {

AlarmUnit::AlarmUnit() { install_core_handlers(); }

void AlarmUnit::command(std::uint8_t code, std::span<const std::uint8_t> data)
{
    if (keep_received)
        received.push_back({code, {data.begin(), data.end()}});
    const auto it = handlers_.find(code);
    if (it != handlers_.end())
        it->second(*this, data);
}

void AlarmUnit::idle()
{
    for (auto& handler : idle_handlers_)
        handler(*this);
}

void AlarmUnit::reply(std::uint8_t code, std::vector<std::uint8_t> payload)
{
    outbox_.push_back({code, std::move(payload)});
}

void AlarmUnit::send_text(const std::string& text)
{
    reply(0xFF, std::vector<std::uint8_t>(text.begin(), text.end()));
}

Frame AlarmUnit::take_reply()
{
    Frame f = std::move(outbox_.front());
    outbox_.pop_front();
    return f;
}

void AlarmUnit::install_core_handlers()
{
    const auto version_reply = [](AlarmUnit& u) {
        const UnitIdentity& id = u.identity;
        u.reply(0x08, {std::uint8_t(id.model & 0xFF), std::uint8_t(id.model >> 8),
                       std::uint8_t(id.major), std::uint8_t(id.minor)});
    };

    on(0x01, [version_reply](AlarmUnit& u, auto) {
        if (u.identity.hello_with_status)
            u.reply(0x07, {2, 1});
        else
            version_reply(u);
    });
    on(0x04, [version_reply](AlarmUnit& u, auto) { version_reply(u); });

    on(0xF4, [](AlarmUnit& u, auto) {
        if (u.identity.answers_hardware_type)
            u.reply(0x01, {u.identity.hardware_family, u.identity.hardware_type});
    });
    on(0xF6, [](AlarmUnit& u, auto) {
        if (!u.identity.answers_serial)
            return;
        const std::uint32_t s = u.identity.serial;
        u.reply(0x01, {std::uint8_t(s), std::uint8_t(s >> 8), std::uint8_t(s >> 16),
                       std::uint8_t(s >> 24)});
    });

    // Short form: one address byte meaning 512 + byte.
    on(0x05, [](AlarmUnit& u, std::span<const std::uint8_t> d) {
        if (d.size() != 2)
            return;
        const int address = 512 + d[0];
        if (u.unanswered_reads.contains(address))
            return;
        std::vector<std::uint8_t> payload = {d[0], d[1]};
        payload.insert(payload.end(), u.memory.begin() + address,
                       u.memory.begin() + address + d[1]);
        u.reply(0x06, std::move(payload));
    });
    on(0x06, [](AlarmUnit& u, std::span<const std::uint8_t> d) {
        if (d.size() < 2 || d.size() != std::size_t(d[1]) + 2)
            return;
        const int address = 512 + d[0];
        std::copy(d.begin() + 2, d.end(), u.memory.begin() + address);
        u.writes.push_back({address, {d.begin() + 2, d.end()}});
    });

    // Long form, from firmware 4.30 on: 16-bit big-endian address.
    on(0x11, [](AlarmUnit& u, std::span<const std::uint8_t> d) {
        if (d.size() != 3 || u.identity.firmware_version() < 1054)
            return;
        const int address = d[0] << 8 | d[1];
        if (address + d[2] > int(u.memory.size()) || u.unanswered_reads.contains(address))
            return;
        std::vector<std::uint8_t> payload = {d[0], d[1], d[2]};
        payload.insert(payload.end(), u.memory.begin() + address,
                       u.memory.begin() + address + d[2]);
        u.reply(0x06, std::move(payload));
    });
    on(0x12, [](AlarmUnit& u, std::span<const std::uint8_t> d) {
        if (d.size() < 3 || d.size() != std::size_t(d[2]) + 3 ||
            u.identity.firmware_version() < 1054)
            return;
        const int address = d[0] << 8 | d[1];
        if (address + d[2] > int(u.memory.size()))
            return;
        std::copy(d.begin() + 3, d.end(), u.memory.begin() + address);
        u.writes.push_back({address, {d.begin() + 3, d.end()}});
    });
}

} // namespace tq::sim
