#include "sim/demo_config.h"

#include <cstring>
#include <initializer_list>

namespace tq::sim {
namespace {

void put(AlarmUnit& unit, int address, std::initializer_list<std::uint8_t> bytes)
{
    for (std::uint8_t b : bytes)
        unit.memory[std::size_t(address++)] = b;
}

void put_text(AlarmUnit& unit, int address, int slot, const char* text)
{
    std::memset(unit.memory.data() + address, 0, std::size_t(slot));
    std::memcpy(unit.memory.data() + address, text, std::strlen(text));
}

} // namespace

void fill_demo_configuration(AlarmUnit& unit)
{
    const int version = unit.identity.firmware_version();
    // A full alarm on an Audi A4 (8E, 2004-2008): CAN level 6, vehicle key 73;
    // hazard lights and central lock over CAN, audible confirmation, 10 s
    // window closing, anti-hijack while stationary, GPS module fitted.
    put(unit, 512, {3, 5, 0, 0, 3, 1, 1, 2, 1});
    // Rearming after 60 s, remotes arm and disarm, IN1 500 ms, immobiliser on,
    // digital siren, no accidental arming for 5 s, 3x prealarm on.
    put(unit, 524, {2, 0, 0, 2, 0, 1, 3, 1, 0, 0, 1});
    put(unit, 528, {0});
    put(unit, 535, {0});
    // Two phones: the first calls and texts and may authorise, the second
    // only gets texts; supply state and low battery (11.5 V) reported.
    put(unit, 536, {2, 1, 1, 1, 2, 0, 0x19, 96, 0x01});
    put_text(unit, 548, 16, "52817");
    if (version < 1054) {
        put_text(unit, 564, 16, "+48601234567");
        put_text(unit, 580, 16, "+48698765432");
        put_text(unit, 596, 16, "");
    } else {
        put_text(unit, 950, 20, "+48601234567");
        put_text(unit, 970, 20, "+48698765432");
        put_text(unit, 990, 20, "");
    }
    // Supply selection "other", SMS in English, vehicle key 73, two call attempts.
    put(unit, 710, {2, 0, 0, 73, 1});
    put_text(unit, 716, 5, "1234");
    if (version >= 1054)
        put(unit, 1095, {0, 1, 0});
}

} // namespace tq::sim
