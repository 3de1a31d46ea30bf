// station: the end-of-line loop. One unit after the other: flash it unless
// it already runs the file's firmware, write the configuration, read it
// back and compare, report, and wait until it is unplugged.
#include "cli/config_session.h"
#include "cli/flash.h"
#include "cli/session.h"

#include "config/cfg_file.h"
#include "config/history.h"
#include "firmware/update.h"
#include "platform/clock.h"
#include "text/texts.h"

#include <cstdio>

namespace tq::cli {
namespace {

// How often the station looks whether the finished unit is still there.
constexpr int kUnplugCheckMs = 200;

struct Outcome {
    bool ok = false;
    std::string message;   // why it failed
};

Outcome failed(const std::string& message)
{
    return Outcome{false, message};
}

// Everything the station does with one unit that was found.
Outcome station_unit(Session& s, Found found, int& image_version, const std::string& cfg)
{
    const Options& o = s.options;
    int mode = -1;
    switch (found) {
    case Found::Unit:
        if (!o.flash_file.empty() && s.unit.version != image_version)
            mode = kFirmwareSwitch;
        break;
    case Found::Refused:
        if (o.flash_file.empty())
            return failed(s.message);
        mode = kFirmwareSwitch;
        break;
    case Found::Bootloader:
        if (o.flash_file.empty())
            return failed(s.message);
        mode = kFirmwareNoSwitch;
        break;
    case Found::None:
    case Found::Interrupted:
        return failed(s.message);
    }

    if (mode >= 0) {
        std::string message;
        if (!flash_unit(s, o.flash_file, mode, message, s.env.err, false))
            return failed(message);
        // The unit restarts with the new firmware.
        const Found again = s.find_unit();
        if (again != Found::Unit)
            return failed(s.message);
        if (image_version < 0)
            image_version = s.unit.version;
    }

    if (!cfg.empty()) {
        UnitConfig config(s);
        if (!config.load())
            return failed(config.message);
        if (read_cfg_text(config.state, cfg) == 0)
            return failed(textf(kTextCliCfgEmpty, o.config_file.c_str()));
        if (!config.save())
            return failed(config.message);
        const std::string written = write_cfg_text(config.state);
        UnitConfig back(s);
        if (!back.load())
            return failed(back.message);
        if (write_cfg_text(back.state) != written)
            return failed(text(kTextCliReadBackDiffers));
    }
    return Outcome{true, {}};
}

// The finished unit is still there: it answers, or (after a failed update)
// it still waits in its bootloader.
bool still_there(Session& s)
{
    if (s.unit_answers())
        return true;
    device_close(s.link);
    const bool bootloader = device_open(s.link) == OpenResult::Bootloader;
    device_close(s.link);
    return bootloader;
}

std::string csv_field(const std::string& field)
{
    if (field.find_first_of(",\"\n\r") == std::string::npos)
        return field;
    std::string quoted = "\"";
    for (char c : field) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

} // namespace

int run_station(Session& s)
{
    const Options& o = s.options;
    // Both files are checked before the first unit, so that a line does not
    // stop at its first unit for a typing error.
    if (!o.flash_file.empty()) {
        const std::string bad = check_firmware_path(o.flash_file);
        if (!bad.empty())
            return s.fail(bad);
    }
    std::string cfg;
    if (!o.config_file.empty()) {
        if (!read_cfg_source(s, o.config_file, cfg))
            return s.fail(std::string(text(kTextErrorOpeningFile)) + ": " + o.config_file);
        if (cfg.empty())
            return s.fail(textf(kTextCliCfgEmpty, o.config_file.c_str()));
    }
    std::FILE* report = nullptr;
    if (!o.report_file.empty()) {
        report = std::fopen(o.report_file.c_str(), "ab");
        if (!report)
            return s.fail(std::string(text(kTextCannotOpenFile)) + " " + o.report_file);
        std::fseek(report, 0, SEEK_END);
        if (std::ftell(report) == 0)
            std::fputs("serial,model,firmware,result,seconds\r\n", report);
        std::fflush(report);
    }
    struct CloseReport {
        std::FILE* f;
        ~CloseReport()
        {
            if (f)
                std::fclose(f);
        }
    } close_report{report};

    int image_version = o.firmware_version;
    bool any_failed = false;
    while (!s.interrupted()) {
        s.err(text(kTextCliWaitingForUnit));
        const Found found = s.find_unit(-1);
        if (found == Found::Interrupted)
            break;
        const std::int64_t start = platform::now_ms();
        const Outcome outcome = station_unit(s, found, image_version, cfg);
        const double seconds = double(platform::now_ms() - start) / 1000.0;
        any_failed = any_failed || !outcome.ok;

        const Unit& u = s.unit;
        const std::string serial = u.serial_number.empty() ? "-" : u.serial_number;
        const std::string model = u.model_string.empty() ? "-" : u.model_string;
        const std::string firmware = u.version ? u.firmware() : "-";
        const std::string result = outcome.ok ? "ok" : one_line(outcome.message);
        char secs[32];
        std::snprintf(secs, sizeof secs, "%.1f", seconds);
        if (o.json) {
            s.out("{\"serial\": " + json_string(serial) + ", \"model\": " + json_string(model) +
                  ", \"firmware\": " + json_string(firmware) + ", \"result\": " +
                  json_string(result) + ", \"seconds\": " + secs + "}\n");
        } else {
            s.out(serial + "\t" + model + "\t" + firmware + "\t" + result + "\t" + secs + "\n");
        }
        if (report) {
            const std::string line = csv_field(serial) + "," + csv_field(model) + "," +
                                     csv_field(firmware) + "," + csv_field(result) + "," + secs +
                                     "\r\n";
            if (std::fputs(line.c_str(), report) < 0 || std::fflush(report) != 0)
                return s.fail(std::string(text(kTextErrorWritingFile)) + ": " + o.report_file);
        }

        // The next unit only after this one has gone.
        if (still_there(s)) {
            s.err(text(kTextCliUnplugUnit));
            while (!s.interrupted() && still_there(s))
                platform::sleep_ms(kUnplugCheckMs);
        }
        s.reset();
    }
    return any_failed ? kExitFailed : kExitDone;
}

} // namespace tq::cli
