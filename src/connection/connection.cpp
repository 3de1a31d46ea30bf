#include "connection/connection.h"

#include "link/bytes.h"
#include "link/can_analyzer.h"
#include "link/commands.h"
#include "text/texts.h"

#include <glib.h>

#include <array>
#include <cerrno>
#include <cstdio>

namespace tq {
namespace {

constexpr std::uint32_t kModel512 = 1u << 30;
constexpr std::uint32_t kModel511 = 1u << 31;
constexpr std::uint32_t kUnsupportedKind = 1u << 29;
constexpr int kQueryPolls = 99;

constexpr std::array<std::uint32_t, 20> kHardwareTypes = {
    0,                               // 0: none
    kModel512 | kTextZorvikGpsAlarm, // 1  ZORVIK GPS ALARM
    kModel512 | kTextZorvikGpsAlarm, // 2
    kModel512 | kTextZorvikGpsAlarm, // 3
    kModel511 | kTextZorvikGpsAlarm, // 4
    kModel512 | kTextZorvikGpsAlarm, // 5
    kModel511 | kTextZorvikGpsPager, // 6  ZORVIK GPS PAGER
    kModel512 | kTextZorvikGpsPager, // 7
    kModel511 | kTextZorvikGpsPager, // 8
    kModel512 | kTextZorvikGpsPager, // 9
    kModel511 | kTextZorvikGpsPager, // 10
    kModel512 | kTextNordavelTq512,  // 11 NORDAVEL TQ512
    kModel511 | kTextNordavelTq511,  // 12 NORDAVEL TQ511
    kModel511,                       // 13 (number shown)
    kUnsupportedKind,                // 14 not supported
    kUnsupportedKind,                // 15 not supported
    kModel512 | kTextZorvikGpsAlarm, // 16
    kModel512 | kTextZorvikGpsAlarm, // 17
    kModel511 | kTextZorvikGpsPager, // 18
    kModel511 | kTextZorvikGpsAlarm, // 19
};

// Payload bytes of the reply in the buffer. Replies too short for what a
// step reads are passed over, so that nothing stale is taken for an answer.
int payload_size(const LinkState& link) { return link.reply_length - 3; }

void read_serial_number(LinkState& link, ConnectionState& c, ConnectionView& view)
{
    c.serial.clear();
    send_frame(link, cmd::kSerialNumber);
    for (int i = 0; i < kQueryPolls; ++i) {
        if (poll_reply(link) == 0 || link.reply_code() != reply::kData || payload_size(link) < 4)
            continue;
        const std::uint32_t serial = le32(link.payload());
        if (serial != 0xFFFFFFFFu) {
            char digits[16];
            std::snprintf(digits, sizeof digits, "22%010u", unsigned(serial));
            c.serial = digits;
        }
        view.set_serial(serial == 0xFFFFFFFFu ? std::string() : textf(kTextSerialNumber, serial));
        return;
    }
}

void search(LinkState& link, ConnectionState& c, ConnectionView& view)
{
    if (!c.can_check_pending && can_analyzer_replugged(link.serial))
        c.can_check_pending = true;
    if (c.can_check_pending) {
        if (!view.can_analyzer_check())
            return;
        c.can_check_pending = false;
    }
    switch (device_open(link)) {
    case OpenResult::Programmer:
        view.set_status(text(kTextPleaseWait));
        poll_reply(link);
        c.state = kWaitingForUnit;
        break;
    case OpenResult::Bootloader:
        device_close(link, "a unit waiting in its bootloader");
        view.bootloader_found();
        device_close(link); // whatever the dialog opened is not ours to keep
        break;
    default:
        break;
    }
}

} // namespace

std::uint32_t hardware_type_entry(int type)
{
    return type >= 0 && type < int(kHardwareTypes.size()) ? kHardwareTypes[std::size_t(type)] : 0;
}

std::string can_driver_message() { return text(kTextCanDriverMissing); }

std::string can_port_refused_message(const std::string& port, int error)
{
    if (error == EACCES || error == EPERM)
        return textf(kTextCanPortNoAccess, port.c_str());
    return textf(kTextCanPortUnopenable, port.c_str(), g_strerror(error));
}

bool check_can_analyzer(SerialState& s, const std::function<bool(const std::string&)>& ask,
                        const std::function<void(const std::string&)>& show)
{
    find_can_analyzer_port(
        s,
        [&] {
            if (show)
                show(can_driver_message());
        },
        [&](const std::string& port, int error) {
            if (show)
                show(can_port_refused_message(port, error));
        });
    if (s.can_port_state == kCanPortDriverMissing)
        s.can_port_state = kCanPortNone;
    if (s.can_port_state == kCanPortOpen && ask && ask(text(kTextCanAnalyzerFound))) {
        serial_write(s, s.can_port_index, "zzz", 3);
        release_can_analyzer_port(s);
        return false;
    }
    return true;
}

std::string model_string(int model, int major, int minor)
{
    char s[48];
    std::snprintf(s, sizeof s, "TQ%d-%02d%02d", model, major, minor);
    return s;
}

HardwareQuery query_hardware_type(LinkState& link, ConnectionState& c, ConnectionView& view)
{
    send_command(link, cmd::kHardwareType);
    for (int i = 0; i < kQueryPolls; ++i) {
        if (poll_reply(link) == 0 || link.reply_code() != reply::kData || payload_size(link) < 2)
            continue;
        c.hardware_family = link.payload()[0];
        c.hardware_type = link.payload()[1];
        if (c.hardware_family != 6)
            return HardwareQuery::Refused;

        const std::uint32_t entry = hardware_type_entry(c.hardware_type);
        const std::string label = (entry & 0xFFFF)
                                      ? "(" + std::string(text(int(entry & 0xFFFF))) + ")  "
                                      : "(" + std::to_string(c.hardware_type) + ")  ";
        // The label shows the type even when it is refused, so that the
        // fitter can tell which hardware it is.
        view.set_hardware(label);
        if (entry & kModel512)
            c.unit_model = 512;
        else if (entry & kModel511)
            c.unit_model = 511;
        else if (c.service_mode)
            c.unit_model = 512;
        else
            return HardwareQuery::Refused;
        return HardwareQuery::Supported;
    }
    return HardwareQuery::NoAnswer;
}

Identification identify_unit(LinkState& link, ConnectionState& c, ConnectionView& view)
{
    const std::uint8_t* p = link.payload();
    const int reported_model = p[0] | p[1] << 8;
    c.unit_model = reported_model;
    const int major = p[2];
    const int minor = p[3];
    c.firmware_version = major * 256 + minor;

    bool accepted = c.unit_model == 512 || c.unit_model == 513 ||
                    (c.unit_model == 612 && c.service_mode);
    HardwareQuery hardware = query_hardware_type(link, c, view);
    if (c.service_mode)
        hardware = HardwareQuery::Supported;
    if (hardware == HardwareQuery::Refused)
        accepted = false;

    if (!accepted) {
        // The message names the firmware's own model: the hardware lookup
        // may have replaced it with a model this program does serve.
        view.unit_refused(textf(kTextFirmwareNotSupported, reported_model, major, minor,
                                    c.hardware_family, c.hardware_type));
        return Identification::Refused;
    }
    view.set_status(model_string(c.unit_model, major, minor));
    if (hardware == HardwareQuery::NoAnswer)
        return Identification::Later;

    read_serial_number(link, c, view);
    if (!link.open())
        return Identification::Identified; // lost meanwhile: there is nothing to build pages for
    view.unit_identified();
    // A unit that went away while its configuration was read is not
    // connected (the loss may already have reset the state).
    if (link.open())
        c.state = kConnected;
    return Identification::Identified;
}

bool connection_step(LinkState& link, ConnectionState& c, ConnectionView& view)
{
    if (c.state > 7) {
        poll_pass_reply(link);
        const std::uint8_t code = link.reply_code();
        if (code == reply::kStatus && c.state == kWaitingForUnit && link.reply_length > 4 &&
            link.payload()[0] == 2 && link.payload()[1] == 1) {
            c.state = kAskingVersion;
        } else if (code == reply::kVersion && payload_size(link) >= 4 &&
                   (c.state == kWaitingForUnit || c.state == kAskingVersion)) {
            if (identify_unit(link, c, view) != Identification::Later)
                return true;
        }
    }

    switch (c.state) {
    case kSearching:
        search(link, c, view);
        break;
    case kWaitingForUnit:
        send_command(link, cmd::kHello);
        break;
    case kAskingVersion:
        send_frame(link, cmd::kVersion);
        break;
    case kConnected:
        view.periodic_steps();
        break;
    default:
        break;
    }
    return false;
}

void disconnect_reset(ConnectionState& c, ConnectionView& view)
{
    c.state = kSearching;
    view.disconnected();
}

} // namespace tq
