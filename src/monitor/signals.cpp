#include "monitor/signals.h"

#include "link/commands.h"

namespace tq {

// clang-format off
const std::array<SignalInfo, kSignalCount> kSignals = {{
    /*  0 */ {"LOCK", 0xCD0000},
    /*  1 */ {"UNLOCK", 0x00CD00},
    /*  2 */ {"UNLOCK TRUNK", 0x008B00},
    /*  3 */ {"ALARM", 0xFF0000},
    /*  4 */ {"ALARM_OEM", 0xEEEE00},
    /*  5 */ {"ALARM_PAGER", 0xEEEE00},
    /*  6 */ {"LOCK_STATE", 0xFFA54F},
    /*  7 */ {"LOCKwoTRUNK_STATE", 0xEE9A49},
    /*  8 */ {"DOOR_FRONT_LEFT", 0xCAE1FF},
    /*  9 */ {"DOOR_FRONT_RIGHT", 0xBCD2EE},
    /* 10 */ {"DOOR_REAR_LEFT", 0xBFEFFF},
    /* 11 */ {"DOOR_REAR_RIGHT", 0xB2DFEE},
    /* 12 */ {"TRUNK", 0x00BFFF},
    /* 13 */ {"BONNET_(CAN)", 0x63B8FF},
    /* 14 */ {"BONNET_(Switch)", 0x5CACEE},
    /* 15 */ {"DOOR/TRUNK/BONNET", 0x7FFFD4},
    /* 16 */ {"GLOBAL_IGNITION", 0xFF0000},
    /* 17 */ {"IGNITION_(CAN)", 0xEE0000},
    /* 18 */ {"ACC", 0xFFFF00},
    /* 19 */ {"HZD_LEFT", 0x00FF7F},
    /* 20 */ {"HAZARD_LIGHTS", 0xFF0000},
    /* 21 */ {"HZD_RIGHT", 0x00FF7F},
    /* 22 */ {"STATUS1-", 0x1E90FF},
    /* 23 */ {"STATUS3+", 0xEE9A00},
    /* 24 */ {"SEND_LOCK", 0xFF7256},
    /* 25 */ {nullptr, 0},
    /* 26 */ {"SEND_UNLOCK_ALL", 0xEE6A50},
    /* 27 */ {"SEND_OPEN_TRUNK", 0xFFA07A},
    /* 28 */ {nullptr, 0},
    /* 29 */ {"SEND_CLOSE_WIN", 0xCD8162},
    /* 30 */ {nullptr, 0},
    /* 31 */ {nullptr, 0},
    /* 32 */ {"SEND_HAZARD_LIGHTS", 0xFF7F00},
    /* 33 */ {"PA_button/ultrasonic", 0xCDB5CD},
    /* 34 */ {"LED", 0x00F5FF},
    /* 35 */ {"ALARM_STATE", 0xFF0000},
    /* 36 */ {"ENGINE_BLOCKED", 0xFF0000},
    /* 37 */ {"EXT_SENSOR_INP", 0x00BFFF},
    /* 38 */ {"EXT_SENSOR2_PRE", 0xEEEE00},
    /* 39 */ {"EXT_SENSOR2", 0xCDCD00},
    /* 40 */ {"OUT_IMMORELAY_(pin12)", 0xFFFACD},
    /* 41 */ {"OUT_HAZARD_(pin11)", 0xEEE9BF},
    /* 42 */ {"OUT_SIREN_(pin13)", 0xFFF8DC},
    /* 43 */ {"OUT_LED_(pin10)", 0xEEE8CD},
    /* 44 */ {nullptr, 0},
    /* 45 */ {nullptr, 0},
    /* 46 */ {nullptr, 0},
    /* 47 */ {nullptr, 0},
    /* 48 */ {"AI0_(pin9)", 0xBBFFFF},
    /* 49 */ {nullptr, 0},
    /* 50 */ {"DI0_(pin6)", 0x96CDCD},
    /* 51 */ {"DI2_(pin4)", 0x668B8B},
    /* 52 */ {nullptr, 0},
    /* 53 */ {"DI1_(pin3)", 0x8EE5EE},
    /* 54 */ {nullptr, 0},
    /* 55 */ {"DI5_(pin5)", 0x53868B},
    /* 56 */ {"RMT LOCK", 0xCD0000},
    /* 57 */ {"RMT UNLOCK", 0x00CD00},
    /* 58 */ {"RMT UNLOCKTRUNK", 0x008B00},
    /* 59 */ {"RMT_FOBRIX_AUTH", 0x00CD00},
    /* 60 */ {"RMT_FOBRIX_BUTTON", 0x00CD66},
    /* 61 */ {"RMT_FOBRIX_PASSIVE", 0x008B45},
    /* 62 */ {"OUT_LOCK", 0xFF7256},
    /* 63 */ {"OUT_UNLOCK", 0xEE6A50},
    /* 64 */ {"AUX_SET", 0xBBFFFF},
    /* 65 */ {"AUX_OUTPUT", 0xAEEEEE},
    /* 66 */ {"AUX_STATUS", 0x96CDCD},
    /* 67 */ {"AUX_INPUT+", 0x668B8B},
    /* 68 */ {"AUX_INPUT-", 0x98F5FF},
    /* 69 */ {nullptr, 0},
    /* 70 */ {nullptr, 0},
    /* 71 */ {"AUX-AUTOSTART_mode", 0x53868B},
    /* 72 */ {nullptr, 0},
    /* 73 */ {"HIJACK_WARNING", 0xBBFFFF},
    /* 74 */ {"IMMOALARM_WARNING", 0x9AFF9A},
    /* 75 */ {"DOOR_(switch)", 0x90EE90},
    /* 76 */ {"VEHICLE_SPEED_(CAN)", 0x7CCD7C},
    /* 77 */ {"IGNORE_LOCK", 0x00CD00},
    /* 78 */ {"IGNORE_UNLOCK", 0x00CD00},
    /* 79 */ {"STATUS2-", 0x1E90FF},
    /* 80 */ {nullptr, 0},
    /* 81 */ {nullptr, 0},
    /* 82 */ {nullptr, 0},
    /* 83 */ {nullptr, 0},
    /* 84 */ {nullptr, 0},
    /* 85 */ {nullptr, 0},
    /* 86 */ {nullptr, 0},
    /* 87 */ {nullptr, 0},
    /* 88 */ {"FORTIN_LED", 0xEE0000},
    /* 89 */ {nullptr, 0},
    /* 90 */ {nullptr, 0},
    /* 91 */ {nullptr, 0},
    /* 92 */ {nullptr, 0},
    /* 93 */ {nullptr, 0},
    /* 94 */ {nullptr, 0},
    /* 95 */ {nullptr, 0},
}};
// clang-format on

bool signal_bit(const std::uint8_t* field, int bit)
{
    return (field[bit / 8] >> (bit % 8) & 1) != 0;
}

int apply_signal_field(SignalMonitorState& s, const std::uint8_t* field, const SignalRedraw& redraw)
{
    int redrawn = 0;
    for (int i = 0; i < kSignalCount; ++i) {
        const std::uint8_t wanted = signal_bit(field, i) ? 1 : 0;
        if (wanted == s.shown[std::size_t(i)])
            continue;
        if (redraw)
            redraw(i, wanted != 0);
        s.shown[std::size_t(i)] = wanted;
        ++redrawn;
    }
    return redrawn;
}

void signal_monitor_poll(LinkState& link, SignalMonitorState& s, const SignalRedraw& redraw)
{
    // A reply too short to hold every bit is not a signal field.
    if (link.reply_code() == reply::kSignals && link.reply_length - 3 >= kSignalBytes)
        apply_signal_field(s, link.payload(), redraw);
    const std::uint8_t request = 0x00;
    send_frame(link, cmd::kSignals, &request, 1);
}

} // namespace tq
