// Driving add-on modules from their test windows: bistable switches and the
// output test of the cut-off modules, the status and output of the AUX and
// cable loom modules, and the poll that keeps open test windows current.
#pragma once

#include "link/link.h"
#include "modules/modules_state.h"
#include "text/text_rows.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace tq {

enum ModuleTestIndex : int {
    kTestAux = 0,
    kTestCableLoom = 1,
    kTestTq001First = 2,
    kTestTq001Second = 3,
    kTestTq002First = 4,
    kTestTq002Second = 5,
};

// Module kinds of the test windows.
enum ModuleTestKind : int { kTestKindAuxOrLoom = 0, kTestKindTq001 = 1, kTestKindTq002 = 2 };

// The window index of a kind and number (kind 0: 0 AUX, 1 cable loom;
// kinds 1 and 2: module number 0 or 1); -1 for anything else.
int module_test_index(int kind, int number);
std::string module_test_title(int kind, int number, const OneWireId& id);

// Up to `tries` times: wait 50 ms, then take replies until one with reply
// code 0x01 has arrived (true, it is in the reply buffer) or none is left.
bool await_module_reply(LinkState& link, int tries);

// "Connect/Disconnect bistable switch" (kind 1 or 2); the text row of the
// status line.
int switch_bistable(LinkState& link, int kind, int number, bool connect);

// The six TQ002 test entries: switch count, on, off; buzzer count, on, off.
// Each a decimal integer below 255; counts from 0, times from 1.
std::optional<std::array<std::uint8_t, 6>> parse_output_test(const std::array<std::string, 6>& entries);
// Sends the output test; the text row of the status line.
int run_output_test(LinkState& link, int number, const std::array<std::uint8_t, 6>& values);

// What one pass of the poll found for the windows to show.
struct ModulePoll {
    enum What { Nothing, Voltages, Status } what = Nothing;
    int window = -1;
    std::array<double, 2> volts{};   // Voltages
    bool responding = false;          // Status
    std::array<bool, 3> inputs{};     // Status: the window's input pictures, in window order
};

// One pass: advances the poll slot (1, 2, 3, 4, 0, 1, ...) and serves the
// slot's window when it is open.
ModulePoll module_test_poll(ModulesState& m, LinkState& link, const std::array<bool, 6>& open);

// "%.2f [V]".
std::string volts_text(double volts);

} // namespace tq
