// tq512-cli: the operations a fitter repeats, as shell commands. Plain code
// over the core libraries; main only supplies the programmer, the lock and
// the streams through CliEnv.
#pragma once

#include "link/hid_port.h"

#include <cstdio>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

namespace tq {

struct VehicleTable;

namespace cli {

// Exit statuses.
enum Exit : int {
    kExitDone = 0,
    kExitFailed = 1,   // the operation failed; the message says why
    kExitUsage = 2,    // wrong usage
    kExitNoUnit = 3,   // no unit within the wait
};

inline constexpr int kDefaultWaitSeconds = 10;

struct CliEnv {
    std::FILE* out = stdout;
    std::FILE* err = stderr;
    // Standard output is a terminal: progress is drawn as a bar.
    bool terminal = false;
    // Standard input for "-" (config set).
    std::FILE* in = stdin;
    // The programmer's port: simulated (--simulate) or USB. Null: the USB
    // library could not start.
    std::function<HidPort*(bool simulate)> port;
    // The programmer is one device: false when tq512 or another tq512-cli
    // holds it.
    std::function<bool()> claim_programmer;
    // True once the user asked to stop (Ctrl+C); checked at every pass.
    std::function<bool()> interrupted;
    // The table that names vehicles; the built-in one when null.
    const VehicleTable* vehicles = nullptr;
    // Wall-clock time for console stamps and the station report; unset:
    // the system's.
    std::function<std::time_t()> wall_clock;
    // The folder of every unit's configuration history (the window's); a
    // write of the configuration keeps what the unit held there first.
    // Empty: nothing is kept.
    std::string history_root;
};

// Runs one command line (args[0] is the program). Returns the exit status.
int run(const std::vector<std::string>& args, CliEnv& env);

// The text of "tq512-cli --help" and of "tq512-cli COMMAND --help".
std::string help_text(const std::string& command);

} // namespace cli
} // namespace tq
