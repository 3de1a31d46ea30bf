// tq512-cli: the fitter's repeated operations from a shell, on the same core
// libraries as the window program and without a toolkit.
#include "cli/cli.h"
#include "config/history.h"
#include "config/vehicle_table.h"
#include "link/hid_port.h"
#include "platform/process.h"
#include "sim/demo.h"
#include "sim/programmer.h"

#include <csignal>
#include <cstdio>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

volatile std::sig_atomic_t stop_requested = 0;

extern "C" void request_stop(int)
{
    stop_requested = 1;
}

} // namespace

int main(int argc, char** argv)
{
    using namespace tq;
    struct sigaction action = {};
    action.sa_handler = request_stop;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    static std::unique_ptr<sim::Programmer> simulated;
    static std::unique_ptr<sim::SimPort> simulated_port;

    cli::CliEnv env;
    env.terminal = isatty(fileno(stdout)) != 0;
    env.interrupted = [] { return stop_requested != 0; };
    // The window's lock: the programmer is one device.
    env.claim_programmer = [] { return platform::claim_single_instance("tq512.lock"); };
    env.port = [](bool simulate) -> HidPort* {
        if (simulate) {
            simulated = sim::make_demo_programmer();
            simulated_port = std::make_unique<sim::SimPort>(*simulated);
            return simulated_port.get();
        }
        return hidapi_start() ? &hidapi_port() : nullptr;
    };
    // A dealer's table in the data folders wins over the built-in one, as
    // in the window.
    static const VehicleTableChoice vehicles = choose_vehicle_table(vehicle_table_folders());
    for (const auto& [file, why] : vehicles.refused)
        std::fprintf(stderr, "vehicle table %s: %s\n", file.c_str(), why.c_str());
    env.vehicles = &vehicles.table;
    env.history_root = default_history_root();
    return cli::run(std::vector<std::string>(argv, argv + argc), env);
}
