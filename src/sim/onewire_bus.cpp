#include "sim/onewire_bus.h"

#include <algorithm>
#include <cstring>

namespace tq::sim {
namespace {

std::uint8_t rom_crc(const std::uint8_t* data, std::size_t length)
{
    std::uint8_t crc = 0;
    for (std::size_t i = 0; i < length; ++i) {
        std::uint8_t byte = data[i];
        for (int bit = 0; bit < 8; ++bit) {
            const bool mix = (crc ^ byte) & 1;
            crc >>= 1;
            if (mix)
                crc ^= 0x8C;
            byte >>= 1;
        }
    }
    return crc;
}

Id pseudo(const char* tag, std::uint8_t kind)
{
    Id id{};
    id[0] = 0xA7;
    std::memcpy(id.data() + 1, tag, 5);
    id[6] = kind;
    id[7] = rom_crc(id.data(), 7);
    return id;
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(std::uint8_t(v >> (8 * i)));
}

void set_flag(AuxInterface& aux, int flag, bool on) { aux.flags[std::size_t(flag)] = on ? 1 : 0; }

} // namespace

Id make_onewire_id(std::uint8_t family, std::uint8_t kind, std::uint32_t serial)
{
    Id id{};
    id[0] = family;
    id[1] = kind;
    for (int i = 0; i < 4; ++i)
        id[std::size_t(2 + i)] = std::uint8_t(serial >> (8 * i));
    id[6] = 0x00;
    id[7] = rom_crc(id.data(), 7);
    return id;
}

Id aux_fortin_id() { return pseudo("ZORVO", 0x7C); }
Id cable_loom_id() { return pseudo("ZORVN", 0x00); }
Id aux_module_id() { return pseudo("ZORVN", 0x10); }

void store_id(AlarmUnit& unit, int address, const Id& id)
{
    std::memcpy(unit.memory.data() + address, id.data(), id.size());
}

std::vector<std::uint8_t> OneWireBus::aux_status_payload() const
{
    std::vector<std::uint8_t> p;
    p.push_back(aux.data_flag);
    p.push_back(aux.state);
    put32(p, std::uint32_t(aux.program_runtime));
    put32(p, std::uint32_t(aux.engine_runtime));
    p.push_back(aux.temperature);
    std::uint32_t trip_bits;
    std::memcpy(&trip_bits, &aux.trip, 4);
    put32(p, trip_bits);
    p.push_back(0);
    p.insert(p.end(), aux.flags.begin(), aux.flags.end());
    p.push_back(aux.led);
    p.push_back(aux.present);
    p.push_back(aux.aux_input);
    return p;
}

std::shared_ptr<OneWireBus> install_onewire_bus(AlarmUnit& unit)
{
    auto bus = std::make_shared<OneWireBus>();
    using Data = std::span<const std::uint8_t>;

    unit.on(0x80, [bus](AlarmUnit& u, Data) {
        ++bus->list_requests;
        if (bus->silent_list_requests > 0) {
            --bus->silent_list_requests;
            return;
        }
        std::vector<std::uint8_t> p = {std::uint8_t(bus->devices.size()), 0};
        for (const Id& id : bus->devices) {
            p.insert(p.end(), id.begin(), id.end());
            p.insert(p.end(), 4, 0); // per-device status, not used by the host
        }
        // A frame carries at most 255 bytes of data.
        if (p.size() > 254)
            p.resize(2 + ((254 - 2) / 12) * 12);
        u.reply(0x01, std::move(p));
    });

    unit.on(0xFC, [bus](AlarmUnit& u, Data d) {
        ++bus->apply_requests;
        if (bus->confirms_apply && d.size() == 1 && d[0] == 0x01)
            u.reply(0x01, {0x01});
    });

    unit.on(0xA5, [bus](AlarmUnit& u, Data d) {
        if (d.size() != 1 || d[0] > 1)
            return;
        std::vector<std::uint8_t> p = {std::uint8_t(bus->tq002_present[d[0]] ? 1 : 0)};
        put32(p, bus->tq002_millivolts[d[0]][0]);
        put32(p, bus->tq002_millivolts[d[0]][1]);
        u.reply(0x01, std::move(p));
    });

    const auto bistable = [bus](std::array<int, 2> OneWireBus::*which) {
        return [bus, which](AlarmUnit& u, Data d) {
            if (d.size() != 2 || d[0] > 1)
                return;
            ((*bus).*which)[d[0]] = d[1] ? 1 : 0;
            if (bus->answers_switch)
                u.reply(0x01, {bus->switch_result});
        };
    };
    unit.on(0xA6, bistable(&OneWireBus::tq001_switch));
    unit.on(0xA7, bistable(&OneWireBus::tq002_switch));

    unit.on(0xA8, [bus](AlarmUnit& u, Data d) {
        if (d.size() != 7 || d[0] > 1)
            return;
        bus->output_tests[d[0]].assign(d.begin() + 1, d.end());
        if (bus->answers_switch)
            u.reply(0x01, {bus->switch_result});
    });

    unit.on(0xA9, [bus](AlarmUnit& u, Data d) {
        if (d.size() != 2 || d[0] > 1)
            return;
        bus->module_output[d[0]] = d[1];
        if (!bus->module_responds[d[0]]) {
            u.reply(0x01, {0, 0});
            return;
        }
        u.reply(0x01, {1, bus->module_inputs[d[0]]});
    });

    unit.on(0xAC, [bus](AlarmUnit&, Data) { ++bus->keep_test_requests; });

    unit.on(0x8D, [bus](AlarmUnit&, Data d) {
        if (d.size() != 1)
            return;
        bus->aux_commands.push_back(d[0]);
        AuxInterface& aux = bus->aux;
        switch (d[0]) {
        case 0x0A: set_flag(aux, 2, true); set_flag(aux, 3, false); break;    // lock & arm
        case 0x16: set_flag(aux, 2, false); break;                           // unlock & disarm
        case 0x19: set_flag(aux, 4, !aux.flags[4]); break;                   // trunk
        case 0x12: set_flag(aux, 6, true); set_flag(aux, 7, true); set_flag(aux, 8, true); break;
        case 0x13: set_flag(aux, 6, false); set_flag(aux, 7, false); set_flag(aux, 8, false); break;
        case 0xFE: aux.state = aux.state == 0 ? 1 : 0; break;               // remote programming
        case 0xFF: aux.data_flag = 1; break;                                // query
        default: break;
        }
    });

    unit.on(0x8E, [bus](AlarmUnit& u, Data) { u.reply(0x8E, bus->aux_status_payload()); });

    return bus;
}

std::shared_ptr<OneWireBus> install_demo_onewire_bus(AlarmUnit& unit)
{
    auto bus = install_onewire_bus(unit);
    const Id brevan = make_onewire_id(0xA1, 0x01, 0x00C0FFEE);
    const Id tq001 = make_onewire_id(0xA7, 0x01, 0x00011001);
    const Id tq002_stored = make_onewire_id(0xA7, 0x02, 0x00022001);
    const Id tq002_new = make_onewire_id(0xA7, 0x02, 0x00022002);
    const Id thermometer = make_onewire_id(0x28, 0x11, 0x00281234);
    const Id unknown = make_onewire_id(0x3A, 0x00, 0x003A0001);

    std::fill(unit.memory.begin() + 1012, unit.memory.begin() + 1068, 0xFF);
    store_id(unit, 612, brevan);
    store_id(unit, 1012, tq001);
    store_id(unit, 1028, tq002_stored);
    store_id(unit, 1052, thermometer);
    const std::uint8_t modes[8] = {0x81, 0x81, 0x01, 0x83, 0x01, 0x01, 0x00, 0x00};
    std::copy(modes, modes + 8, unit.memory.begin() + 1044);

    bus->devices = {brevan, tq001, aux_fortin_id(), cable_loom_id(), tq002_new,
                    aux_module_id(), thermometer, unknown};
    bus->tq002_millivolts = {{{12340, 11870}, {0, 0}}};
    bus->module_inputs = {0x02, 0x05};

    AuxInterface& aux = bus->aux;
    aux.data_flag = 0;
    aux.program_runtime = 15;
    aux.engine_runtime = 0;
    aux.temperature = 21;
    aux.trip = 12345.6f;
    aux.flags[2] = 1; // vehicle armed
    aux.flags[15] = 1; // timer 24h on
    aux.led = 1;
    return bus;
}

} // namespace tq::sim
