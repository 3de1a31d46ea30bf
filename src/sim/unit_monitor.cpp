#include "sim/unit_monitor.h"

#include "platform/clock.h"

#include <cstring>

namespace tq::sim {
namespace {

void set_bit(std::array<std::uint8_t, 12>& field, int bit)
{
    field[std::size_t(bit / 8)] |= std::uint8_t(1u << (bit % 8));
}

void put_float(std::uint8_t* p, float value)
{
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    for (int i = 0; i < 4; ++i)
        p[i] = std::uint8_t(bits >> (8 * i));
}

// Sends what is due; a schedule that fell behind catches up with one message.
void run_schedule(AlarmUnit& unit, MonitorPeer& peer)
{
    const std::int64_t now = platform::now_ms();
    if (peer.status_period_ms > 0) {
        if (peer.next_status_ms < 0)
            peer.next_status_ms = now;
        if (now >= peer.next_status_ms) {
            unit.reply(0x0F, {peer.status.begin(), peer.status.end()});
            peer.next_status_ms = now + peer.status_period_ms;
        }
    }
    if (peer.text_period_ms > 0 && !peer.texts.empty()) {
        if (peer.next_text_ms < 0)
            peer.next_text_ms = now + peer.text_period_ms;
        if (now >= peer.next_text_ms) {
            unit.send_text(peer.texts[peer.next_text % peer.texts.size()]);
            ++peer.next_text;
            peer.next_text_ms = now + peer.text_period_ms;
        }
    }
}

} // namespace

std::shared_ptr<MonitorPeer> add_monitor_peer(AlarmUnit& unit)
{
    auto peer = std::make_shared<MonitorPeer>();
    unit.on(0x08, [peer](AlarmUnit& u, std::span<const std::uint8_t> data) {
        if (data.size() != 1 || data[0] != 0x00)
            return;
        if (peer->animate_signals)
            peer->signals = demo_signals(platform::now_ms());
        u.reply(0x09, {peer->signals.begin(), peer->signals.end()});
    });
    unit.on_idle([peer](AlarmUnit& u) { run_schedule(u, *peer); });
    return peer;
}

std::array<std::uint8_t, 16> status_payload(int registered, int csq, int hdop, float longitude,
                                            float latitude, float voltage)
{
    std::array<std::uint8_t, 16> p{};
    p[0] = std::uint8_t(registered);
    p[1] = std::uint8_t(csq);
    p[2] = std::uint8_t(hdop);
    put_float(p.data() + 4, longitude);
    put_float(p.data() + 8, latitude);
    put_float(p.data() + 12, voltage);
    return p;
}

std::array<std::uint8_t, 12> demo_signals(std::int64_t now_ms)
{
    std::array<std::uint8_t, 12> f{};
    const std::int64_t second = now_ms / 1000;
    const std::int64_t cycle = second % 20;
    const bool locked = cycle < 12;
    if (locked) {
        set_bit(f, 6);  // LOCK_STATE
        set_bit(f, 35); // ALARM_STATE
        set_bit(f, 36); // ENGINE_BLOCKED
        if (cycle < 3 && (now_ms / 500) % 2 == 0) {
            set_bit(f, 19); // HZD_LEFT
            set_bit(f, 20); // HAZARD_LIGHTS
            set_bit(f, 21); // HZD_RIGHT
            set_bit(f, 41); // OUT_HAZARD
        }
        if (cycle < 1) {
            set_bit(f, 0);  // LOCK
            set_bit(f, 56); // RMT LOCK
        }
    } else {
        set_bit(f, 18); // ACC
        if (cycle >= 14) {
            set_bit(f, 16); // GLOBAL_IGNITION
            set_bit(f, 17); // IGNITION_(CAN)
        }
        if (cycle == 12) {
            set_bit(f, 1);  // UNLOCK
            set_bit(f, 57); // RMT UNLOCK
        }
        if (cycle == 12 || cycle == 13) {
            set_bit(f, 8);  // DOOR_FRONT_LEFT
            set_bit(f, 15); // DOOR/TRUNK/BONNET
            set_bit(f, 75); // DOOR_(switch)
        }
    }
    set_bit(f, 48); // AI0
    set_bit(f, 50); // DI0
    set_bit(f, 64); // AUX_SET
    return f;
}

void add_monitor_demo(AlarmUnit& unit)
{
    auto peer = add_monitor_peer(unit);
    peer->animate_signals = true;
    peer->status = status_payload(1, 23, 12, 21.01223f, 52.22968f, 12.6f);
    peer->status_period_ms = 1000;
    peer->texts = {
        "*GSM registered, CSQ 23\r\n",
        "*GPS fix 3D, HDOP 12, sats 9\r\n",
        "Central lock: LOCK (remote)\r\n",
        "*CAN level 174 frame 0x3B3 ok\r\n",
        "Door FL opened while armed\r\nALARM 1 FL door\r\n",
        "*SMS sent to phone 1\r\n",
        "Central lock: UNLOCK (remote)\r\n",
        "*Supply 12.6 V\r\n",
    };
    peer->text_period_ms = 3000;

    // The event memory: FL door, OEM alarm, programmer connected.
    unit.memory[640] = 1;
    unit.memory[641] = 12;
    unit.memory[642] = 20;
    // The emergency/service PIN 1234 (digit values, then a zero byte).
    unit.memory[1106] = 1;
    unit.memory[1107] = 2;
    unit.memory[1108] = 3;
    unit.memory[1109] = 4;
    unit.memory[1110] = 0;
}

} // namespace tq::sim
