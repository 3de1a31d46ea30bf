#include "config/unit_status.h"

#include "link/bytes.h"
#include "link/commands.h"
#include "text/texts.h"

#include <charconv>
#include <cstring>

namespace tq {
namespace {

// Text rows of the event names, by event code.
constexpr std::array<int, 21> kEventTextRows = {
    kTextDashes, kTextFlDoor, kTextFrDoor, kTextRlDoor, kTextRrDoor, kTextTrunk, kTextBonnet,
    kTextBonnetAdditionalInput, kTextAdditionalSensor, kTextAcc, kTextIgnition, kTextIgnitionAdditionalInput,
    kTextOemAlarm, kTextDoorAdditionalInput, kTextAdditionalSensor2Prealarm, kTextAdditionalSensor2,
    kTextPagerFunction, kTextPanicFunction, kTextAntiHijackFunction, kTextGeofenceFunction,
    kTextProgrammerConnected,
};

constexpr int kEventAddressByte = kEventMemoryAddress - 512;

float float_at(const std::uint8_t* p)
{
    const std::uint32_t bits = le32(p);
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

// printf's "%.Nf", but always with a decimal point whatever the locale.
std::string fixed(float value, int decimals)
{
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, double(value), std::chars_format::fixed, decimals);
    return r.ec == std::errc() ? std::string(buf, r.ptr) : std::string("?");
}

} // namespace

std::string event_name(int code)
{
    if (code >= 0 && code < int(kEventTextRows.size()))
        return text(kEventTextRows[std::size_t(code)]);
    return textf(kTextAlarmNo, code);
}

void event_memory_step(LinkState& link, unsigned& poll_count,
                       const std::function<void(int index, const std::string& name)>& show)
{
    const std::uint8_t* p = link.payload();
    if (link.reply_code() == reply::kBlock && link.reply_length - 3 >= 2 + kEventCount &&
        p[0] == kEventAddressByte) {
        for (int i = 0; i < kEventCount; ++i)
            show(i, event_name(p[2 + i]));
    }
    if (poll_count++ % kEventReadInterval == 0) {
        const std::uint8_t request[2] = {kEventAddressByte, kEventCount};
        send_frame(link, cmd::kReadShort, request, 2);
    }
}

void erase_event_memory(LinkState& link)
{
    const std::uint8_t data[5] = {kEventAddressByte, kEventCount, 0, 0, 0};
    send_command(link, cmd::kWriteShort, data, 5);
}

std::optional<Diagnostics> decode_diagnostics(const LinkState& link)
{
    if (link.reply_code() != reply::kDiagnostics || link.reply_length - 3 < 16)
        return std::nullopt;
    const std::uint8_t* p = link.payload();
    Diagnostics d;
    d.gsm_registered = p[0];
    d.gsm_csq = p[1];
    d.gnss_hdop = p[2];
    d.longitude = float_at(p + 4);
    d.latitude = float_at(p + 8);
    d.supply_voltage = float_at(p + 12);
    return d;
}

std::array<std::string, 6> diagnostics_texts(const Diagnostics& d)
{
    return {std::to_string(d.gsm_registered), std::to_string(d.gsm_csq),
            std::to_string(d.gnss_hdop),      fixed(d.longitude, 6),
            fixed(d.latitude, 6),             fixed(d.supply_voltage, 2)};
}

bool gsm_registered_ok(int value) { return value != 0; }
bool gsm_csq_ok(int value) { return value > 18 && value != 99; }
bool gnss_hdop_ok(int value) { return value >= 1 && value <= 34; }

} // namespace tq
