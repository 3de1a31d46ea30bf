#include "cli/session.h"

#include "connection/connection.h"
#include "link/commands.h"
#include "platform/clock.h"
#include "text/texts.h"

#include <cstdio>

namespace tq::cli {
namespace {

// The search pauses as the window's loop does: 100 ms while no device is
// open, 10 ms between passes otherwise.
constexpr int kNoDevicePauseMs = 100;
constexpr int kPassPauseMs = 10;
// A unit that leaves this many hello requests unanswered is gone.
constexpr int kUnansweredHellos = 3;
constexpr int kHelloPolls = 10;

std::string trimmed_label(const std::string& label)
{
    // The window shows "(NAME)  "; the name alone is what a script wants.
    std::size_t b = label.find_first_not_of("( ");
    std::size_t e = label.find_last_not_of(") ");
    return b == std::string::npos ? std::string() : label.substr(b, e - b + 1);
}

} // namespace

std::string Unit::firmware() const
{
    char s[16];
    std::snprintf(s, sizeof s, "%d.%02d", major, minor);
    return s;
}

std::string json_string(const std::string& text)
{
    std::string j = "\"";
    for (const unsigned char c : text) {
        switch (c) {
        case '"': j += "\\\""; break;
        case '\\': j += "\\\\"; break;
        case '\n': j += "\\n"; break;
        case '\r': j += "\\r"; break;
        case '\t': j += "\\t"; break;
        default:
            if (c < 0x20) {
                char u[8];
                std::snprintf(u, sizeof u, "\\u%04x", c);
                j += u;
            } else {
                j += char(c);
            }
        }
    }
    return j + "\"";
}

Session::Session(Options& o, CliEnv& e) : options(o), env(e)
{
    connection.can_check_pending = false;
}

Session::~Session()
{
    device_close(link);
}

void Session::reset()
{
    device_close(link);
    connection = ConnectionState{};
    connection.can_check_pending = false;
    unit = Unit{};
}

Found Session::find_unit(int wait_ms)
{
    reset();
    // What the search found, as the window would show it.
    struct Findings final : ConnectionView {
        void set_hardware(const std::string& t) override { hardware = t; }
        void set_serial(const std::string& t) override { serial = t; }
        void unit_refused(const std::string& t) override
        {
            refused = true;
            message = t;
        }
        void unit_identified() override { identified = true; }
        void bootloader_found() override { bootloader = true; }

        bool identified = false;
        bool refused = false;
        bool bootloader = false;
        std::string hardware;
        std::string serial;
        std::string message;
    } found;

    const std::int64_t deadline = platform::now_ms() + wait_ms;
    for (;;) {
        if (interrupted())
            return Found::Interrupted;
        if (!link.open() && connection.state != kSearching)
            disconnect_reset(connection, found);
        if (!link.open())
            platform::sleep_ms(kNoDevicePauseMs);
        connection_step(link, connection, found);
        if (found.identified || found.refused) {
            unit.model = connection.unit_model;
            unit.version = connection.firmware_version;
            unit.major = connection.firmware_version >> 8;
            unit.minor = connection.firmware_version & 0xFF;
            unit.model_string = model_string(unit.model, unit.major, unit.minor);
            unit.hardware = trimmed_label(found.hardware);
            unit.serial_text = found.serial;
            const std::string& serial = found.serial;
            const std::size_t digits = serial.find_last_not_of("0123456789");
            if (!serial.empty() && digits + 1 < serial.size())
                unit.serial_number = serial.substr(digits + 1);
            if (found.refused)
                message = found.message;
            return found.identified ? Found::Unit : Found::Refused;
        }
        if (found.bootloader) {
            message = text(kTextCliInBootloader);
            return Found::Bootloader;
        }
        if (wait_ms >= 0 && platform::now_ms() >= deadline) {
            // A programmer that is plugged in but may not be opened is
            // named, with the fix, as the window names it.
            message = link.programmer_unopenable
                          ? std::string(text(kTextProgrammerNoAccess)) + "\n" +
                                text(kTextProgrammerAccessFix)
                          : textf(kTextCliNoUnit, options.wait_seconds);
            return Found::None;
        }
        platform::sleep_ms(kPassPauseMs);
    }
}

bool Session::unit_answers()
{
    for (int round = 0; round < kUnansweredHellos; ++round) {
        if (!link.open() || !send_command(link, cmd::kHello))
            return false;
        for (int i = 0; i < kHelloPolls; ++i) {
            if (poll_reply(link) != 0)
                return true;
            if (!link.open())
                return false;
        }
    }
    return false;
}

void Session::out(const std::string& text)
{
    std::fputs(text.c_str(), env.out);
    std::fflush(env.out);
}

void Session::err(const std::string& text)
{
    std::fputs(text.c_str(), env.err);
    if (text.empty() || text.back() != '\n')
        std::fputc('\n', env.err);
    std::fflush(env.err);
}

int Session::fail(const std::string& message_text)
{
    err(message_text);
    return kExitFailed;
}

int Session::not_found(Found found)
{
    switch (found) {
    case Found::None:
        if (link.programmer_unopenable)
            return fail(message);
        err(message);
        return kExitNoUnit;
    case Found::Interrupted:
        return kExitFailed;
    case Found::Refused:
    case Found::Bootloader:
    case Found::Unit:
        break;
    }
    return fail(message);
}

} // namespace tq::cli
