#include "modules/module_test.h"

#include "link/commands.h"
#include "link/bytes.h"
#include "modules/onewire.h"
#include "platform/clock.h"
#include "text/texts.h"

#include <cctype>
#include <charconv>
#include <cstdio>

namespace tq {
namespace {

constexpr int kSwitchTries = 40;
constexpr int kOutputTestTries = 20;
constexpr int kPollTries = 10;
constexpr int kWaitMs = 50;
constexpr int kMaxPollsPerWait = 64;

int payload_length(const LinkState& link) { return link.reply_length - 3; }

// The result byte of a data reply (0 when it carries none).
int result_of(const LinkState& link) { return payload_length(link) >= 1 ? link.payload()[0] : 0; }

} // namespace

int module_test_index(int kind, int number)
{
    if (number < 0 || number > 1)
        return -1;
    switch (kind) {
    case kTestKindAuxOrLoom: return number == 0 ? kTestAux : kTestCableLoom;
    case kTestKindTq001: return kTestTq001First + number;
    case kTestKindTq002: return kTestTq002First + number;
    default: return -1;
    }
}

std::string module_test_title(int kind, int number, const OneWireId& id)
{
    const std::string hex = id_hex(id);
    if (kind == kTestKindAuxOrLoom)
        return textf(number == 0 ? kTextAuxModuleId : kTextCableLoomModuleId, hex.c_str());
    return textf(kTextTq00Address, kind, number + 1, hex.c_str());
}

bool await_module_reply(LinkState& link, int tries)
{
    for (int t = 0; t < tries; ++t) {
        platform::sleep_ms(kWaitMs);
        for (int i = 0; i < kMaxPollsPerWait && poll_reply(link) != 0; ++i)
            if (link.reply_code() == reply::kData)
                return true;
    }
    return false;
}

int switch_bistable(LinkState& link, int kind, int number, bool connect)
{
    const std::uint8_t data[2] = {std::uint8_t(number), std::uint8_t(connect ? 1 : 0)};
    const std::uint8_t code = kind == kTestKindTq001 ? cmd::kCutoffSwitchA : cmd::kCutoffSwitchB;
    if (!send_command(link, code, data, 2))
        return kTextRequestFailed;
    return await_module_reply(link, kSwitchTries) && result_of(link) != 0 ? kTextRequestSucceeded
                                                                          : kTextRequestFailed;
}

std::optional<std::array<std::uint8_t, 6>> parse_output_test(const std::array<std::string, 6>& entries)
{
    std::array<std::uint8_t, 6> values{};
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const std::string& e = entries[i];
        if (e.empty() || e.size() > 3)
            return std::nullopt;
        for (char c : e)
            if (!std::isdigit(static_cast<unsigned char>(c)))
                return std::nullopt;
        int v = 0;
        std::from_chars(e.data(), e.data() + e.size(), v);
        const bool is_count = i % 3 == 0;
        if (v >= 255 || v < (is_count ? 0 : 1))
            return std::nullopt;
        values[i] = std::uint8_t(v);
    }
    return values;
}

int run_output_test(LinkState& link, int number, const std::array<std::uint8_t, 6>& values)
{
    std::uint8_t data[7] = {std::uint8_t(number)};
    std::copy(values.begin(), values.end(), data + 1);
    if (!send_command(link, cmd::kCutoffOutputTest, data, 7))
        return kTextRequestFailed;
    return await_module_reply(link, kOutputTestTries) && result_of(link) != 0
               ? kTextRequestSucceeded
               : kTextRequestFailed;
}

ModulePoll module_test_poll(ModulesState& m, LinkState& link, const std::array<bool, 6>& open)
{
    m.poll_slot = (m.poll_slot + 1) % 5;
    const int slot = m.poll_slot;
    ModulePoll result;

    if (slot <= 1) {
        const int window = kTestTq002First + slot;
        if (!open[std::size_t(window)])
            return result;
        const std::uint8_t number[1] = {std::uint8_t(slot)};
        send_command(link, cmd::kCutoffVoltages, number, 1);
        if (!await_module_reply(link, kPollTries) || result_of(link) == 0 ||
            payload_length(link) < 9)
            return result;
        result.what = ModulePoll::Voltages;
        result.window = window;
        result.volts = {le32(link.payload() + 1) * 0.001, le32(link.payload() + 5) * 0.001};
        return result;
    }

    if (slot <= 3) {
        const int which = slot - 2; // 0 AUX module, 1 cable loom
        const int window = which == 0 ? kTestAux : kTestCableLoom;
        if (!open[std::size_t(window)])
            return result;
        const std::uint8_t data[2] = {std::uint8_t(which),
                                      std::uint8_t(m.output_state[std::size_t(which)] ? 1 : 0)};
        send_command(link, cmd::kModuleStatus, data, 2);
        if (!await_module_reply(link, kPollTries))
            return result;
        result.what = ModulePoll::Status;
        result.window = window;
        result.responding = result_of(link) != 0;
        if (result.responding) {
            const std::uint8_t bits = payload_length(link) >= 2 ? link.payload()[1] : 0;
            if (which == 0)
                result.inputs = {(bits & 0x02) != 0, (bits & 0x04) != 0, false};
            else
                result.inputs = {(bits & 0x02) != 0, (bits & 0x04) != 0, (bits & 0x01) != 0};
        }
        return result;
    }

    // Slot 4: TQ001 test mode lasts only while the unit hears from us; a
    // TQ002 window's voltage polls do that already.
    const bool tq001 = open[kTestTq001First] || open[kTestTq001Second];
    const bool tq002 = open[kTestTq002First] || open[kTestTq002Second];
    if (tq001 && !tq002)
        send_command(link, cmd::kCutoffKeepTest);
    return result;
}

std::string volts_text(double volts)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.2f [V]", volts);
    return buffer;
}

} // namespace tq
