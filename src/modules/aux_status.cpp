#include "modules/aux_status.h"

#include "link/bytes.h"
#include "link/commands.h"
#include "text/texts.h"

#include <cstdio>
#include <cstring>

namespace tq {
namespace {

constexpr int kStatusPayload = 46;

std::string format(const char* f, auto value)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, f, value);
    return buffer;
}

} // namespace

const std::array<const char*, kAuxFlagCount> kAuxFlagNames = {
    "SERVICE ENGINE",      "FUEL LOW",          "VEHICLE ARMED",        "DOORS OPEN",
    "TRUNK OPEN",          "HOOD OPEN",         "IGNITION ON",          "ENGINE STARTED",
    "REMOTE STARTED",      "VALET ACTIVATED",   "PANIC ACTIVATED",      "UNABLE TO START",
    "SIREN ACTIVE",        "SHOCK SENSOR ACTIVE", "AUTO DOOR ENABLED",  "TIMER 24H ON",
    "COLD WEATHER START ON", "TURBO ON",        "PASSIVE ON",           "IGNITION LOCK ACTIVE",
    "BRAKE ACTIVE",        "HAND BRAKE ACTIVE", "DOOR FRONT LEFT",      "DOOR FRONT RIGHT",
    "DOOR REAR LEFT",      "DOOR REAR RIGHT",   "COLD WEATHER MODE",    "PROGRAMMING_MODE",
    "AUX_INPUT",
};

const std::array<const char*, kAuxCommandCount> kAuxCommandNames = {
    "LOCK&ARM", "UNLOCK&DISARM", "TRUNK", "ENGINE START", "ENGINE STOP", "QUERY", "PROGRAM REMOTE",
};
const std::array<std::uint8_t, kAuxCommandCount> kAuxCommandCodes = {0x0A, 0x16, 0x19, 0x12,
                                                                     0x13, 0xFF, 0xFE};

std::optional<AuxStatus> decode_aux_status(const LinkState& link)
{
    if (link.reply_code() != reply::kAuxStatus || link.reply_length - 3 < kStatusPayload)
        return std::nullopt;
    const std::uint8_t* p = link.payload();
    if (p[1] > 2)
        return std::nullopt;
    AuxStatus s;
    s.data_flag = p[0];
    s.state = p[1];
    s.program_runtime = std::int32_t(le32(p + 2));
    s.engine_runtime = std::int32_t(le32(p + 6));
    s.temperature = p[10];
    const std::uint32_t trip_bits = le32(p + 11);
    std::memcpy(&s.trip, &trip_bits, sizeof s.trip);
    for (int i = 0; i < 27; ++i)
        s.flags[std::size_t(i)] = p[16 + i] != 0;
    s.led = p[43] != 0;
    s.present = p[44] != 0;
    s.aux_input = p[45] != 0;
    return s;
}

AuxView aux_view(const AuxStatus& status, AuxInterfaceState& s)
{
    AuxView v;
    for (int i = 0; i < 27; ++i)
        v.flag_colour[std::size_t(i)] = status.flags[std::size_t(i)] ? kAuxRed : kAuxDefault;
    v.flag_colour[kAuxFlagProgramming] = status.state == 1   ? kAuxRed
                                         : status.state == 2 ? kAuxYellow
                                                             : kAuxDefault;
    v.flag_colour[kAuxFlagAuxInput] = status.aux_input ? kAuxRed : kAuxDefault;

    if (status.data_flag == 0) {
        v.values[0] = format("Program runtime: %d [min]", int(status.program_runtime));
        v.values[1] = format("Engine runtime: %d [s]", int(status.engine_runtime));
        v.values[2] = format("Temperature: %d [\xC2\xB0" "C]", int(status.temperature));
        if (status.trip != 0.0f)
            v.values[3] = format("Trip counter: %.1f [km]", double(status.trip));
    }

    v.led = status.led;
    v.programming = status.state == 0 ? kAuxDefault : status.state == 1 ? kAuxRed : kAuxGreen;

    int mode = status.state == 0 ? kAuxReady : kAuxProgramming;
    std::string t = text(kTextModuleReady); // "Module ready."
    if (mode == kAuxReady && status.data_flag == 0) {
        t = text(kTextModuleNotResponding); // "Module not responding."
        mode = kAuxNotResponding;
    }
    if (mode == kAuxProgramming)
        t.clear();
    if (!status.present) {
        t = text(kTextInterfaceNotPresent); // "Interface not present."
        mode = kAuxNotPresent;
    }
    v.status = t;
    v.mode = mode;

    const int not_responding = mode == kAuxNotResponding ? 1 : 0;
    if (mode != s.last_mode || not_responding != s.last_not_responding) {
        v.buttons_changed = true;
        for (int i = 0; i < kAuxProgramRemote; ++i)
            v.buttons[std::size_t(i)] = mode == kAuxReady;
        v.buttons[kAuxProgramRemote] = mode == kAuxProgramming;
        if (mode == kAuxNotResponding)
            v.buttons[kAuxQuery] = true;
        s.last_mode = mode;
        s.last_not_responding = not_responding;
    }
    return v;
}

std::optional<AuxView> aux_poll(AuxInterfaceState& s, LinkState& link)
{
    if (s.poll_count++ % 4 == 0)
        send_frame(link, cmd::kAuxStatus);
    const std::optional<AuxStatus> status = decode_aux_status(link);
    if (!status)
        return std::nullopt;
    return aux_view(*status, s);
}

void send_aux_command(LinkState& link, int index)
{
    if (index < 0 || index >= kAuxCommandCount)
        return;
    const std::uint8_t code[1] = {kAuxCommandCodes[std::size_t(index)]};
    send_command(link, cmd::kAuxCommand, code, 1);
}

} // namespace tq
