// The unit's one-wire bus and the add-on modules on it, as the simulated
// unit presents them: the bus device list (0x80), the module commands
// 0xA5..0xAC, the configuration reload (0xFC) and the AUX remote-start
// interface (status 0x8E, commands 0x8D).
#pragma once

#include "sim/alarm_unit.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace tq::sim {

using Id = std::array<std::uint8_t, 8>;

// An identifier with a correct CRC: family, kind (second byte), the serial
// number little-endian in bytes 2..5, byte 6 zero.
Id make_onewire_id(std::uint8_t family, std::uint8_t kind, std::uint32_t serial);
// The fixed identifiers of the unit's built-in modules.
Id aux_fortin_id();
Id cable_loom_id();
Id aux_module_id();

// Writes an identifier into the unit's configuration memory.
void store_id(AlarmUnit& unit, int address, const Id& id);

struct AuxInterface {
    std::uint8_t data_flag = 0;       // 0: the values are valid
    std::uint8_t state = 0;           // 0 ready, 1 and 2 programming
    std::int32_t program_runtime = 0; // minutes
    std::int32_t engine_runtime = 0;  // seconds
    std::uint8_t temperature = 0;     // degrees C
    float trip = 0.0f;                // km
    std::array<std::uint8_t, 27> flags{};
    std::uint8_t led = 0;
    std::uint8_t present = 1;
    std::uint8_t aux_input = 0;       // flag 28
};

struct OneWireBus {
    // Devices the bus list reports, in order.
    std::vector<Id> devices;
    // This many list requests go unanswered (a busy or broken bus).
    int silent_list_requests = 0;
    int list_requests = 0;

    // 0xFC: how often the unit was told to reload its modules; whether it
    // confirms.
    int apply_requests = 0;
    bool confirms_apply = true;

    // TQ002 input voltages in millivolts (0xA5); a module not present
    // answers result 0.
    std::array<bool, 2> tq002_present{true, true};
    std::array<std::array<std::uint32_t, 2>, 2> tq002_millivolts{};
    // Bistable switches (0xA6 TQ001, 0xA7 TQ002): -1 never set, else 0/1.
    std::array<int, 2> tq001_switch{-1, -1};
    std::array<int, 2> tq002_switch{-1, -1};
    // Result byte of the switch and test commands (0 = refused); unanswered
    // when false.
    std::uint8_t switch_result = 1;
    bool answers_switch = true;
    // The last output test (0xA8) per module: six values.
    std::array<std::vector<std::uint8_t>, 2> output_tests;
    int keep_test_requests = 0; // 0xAC

    // AUX module (0) and cable loom module (1): responding, input bits, and
    // the output state the last status poll set.
    std::array<bool, 2> module_responds{true, true};
    std::array<std::uint8_t, 2> module_inputs{};
    std::array<int, 2> module_output{-1, -1};

    AuxInterface aux;
    std::vector<std::uint8_t> aux_commands;

    // The 0x8E status payload (46 bytes).
    std::vector<std::uint8_t> aux_status_payload() const;
};

// Gives the unit a one-wire bus; the returned model stays alive with the
// unit's handlers.
std::shared_ptr<OneWireBus> install_onewire_bus(AlarmUnit& unit);

// The bus of the demonstration unit: a radio module, cut-off modules (one
// active, one stored but missing, one new), the built-in modules, a stored
// thermometer and a device no row takes.
std::shared_ptr<OneWireBus> install_demo_onewire_bus(AlarmUnit& unit);

} // namespace tq::sim
