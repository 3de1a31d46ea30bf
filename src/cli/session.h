// What every tq512-cli command shares: the parsed options, the link to the
// programmer, waiting for a unit and identifying it as the window does, and
// the output helpers.
#pragma once

#include "cli/cli.h"
#include "connection/connection_state.h"
#include "link/link.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tq::cli {

struct Options {
    bool simulate = false;
    bool json = false;
    std::string trace_file;         // --trace FILE: the support trace of the link
    bool help = false;
    int wait_seconds = kDefaultWaitSeconds;
    std::string lang;
    std::string command;            // "config get" counts as "config" with operand "get"
    std::vector<std::string> operands;
    // Command options.
    bool watch = false;             // signals --watch
    std::string log_file;           // console --log
    std::string flash_file;         // station --flash
    std::string config_file;        // station --config
    std::string report_file;        // station --report
    int firmware_version = -1;      // station --firmware-version MAJOR.MINOR
};

// The identified unit as the main window shows it.
struct Unit {
    int model = 0;
    int major = 0;
    int minor = 0;
    int version = 0;
    std::string model_string;       // "TQ512-0481"
    std::string hardware;           // "NORDAVEL TQ512" (without the brackets)
    std::string serial_text;        // "Device serial number 22..."; empty when unknown
    std::string serial_number;      // the digits of the serial number; empty when unknown
    std::string firmware() const;   // "4.81"
};

enum class Found {
    Unit,        // identified
    Refused,     // a unit this program cannot serve; message says why
    Bootloader,  // a unit waiting in its bootloader (the device is closed)
    None,        // nothing within the wait
    Interrupted,
};

struct Session {
    Options& options;
    CliEnv& env;
    LinkState link;
    ConnectionState connection;
    Unit unit;
    std::string message;            // why the last wait did not find a unit

    Session(Options& o, CliEnv& e);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    bool interrupted() const { return env.interrupted && env.interrupted(); }
    // Waits for a unit and identifies it. wait_ms below 0: until interrupted.
    Found find_unit(int wait_ms);
    // The default wait of --wait.
    Found find_unit() { return find_unit(options.wait_seconds * 1000); }
    // Closes the device and starts the search over.
    void reset();
    // Whether the unit still answers (the device open and a reply to 0x01
    // within a few polls).
    bool unit_answers();

    // Output.
    void out(const std::string& text);
    void err(const std::string& text);
    // A failure: the message on standard error; returns kExitFailed.
    int fail(const std::string& message);
    // The exit status and message for a wait that found no usable unit.
    int not_found(Found found);
};

// JSON string literal of a UTF-8 text.
std::string json_string(const std::string& text);

// Commands (each returns the exit status).
int run_identify(Session& s);
int run_config_get(Session& s, const std::string& file);
int run_config_set(Session& s, const std::string& file);
int run_flash(Session& s, const std::string& file);
int run_events(Session& s);
int run_signals(Session& s);
int run_console(Session& s);
int run_station(Session& s);

} // namespace tq::cli
