// The program's main window on the demonstration programmer, built as
// start-up builds it, for GUI tests that run the main loop by hand on a
// virtual clock.
#pragma once

#include "app/app_state.h"
#include "app/main_window.h"
#include "app/menus_window.h"
#include "app/wiring.h"
#include "gui/gui_support.h"
#include "platform/clock.h"
#include "sim/demo.h"
#include "support/temp_folder.h"

#include <functional>
#include <memory>

namespace tq::test {

struct MainWindowRig {
    // prepare sees the simulated programmer before anything talks to it.
    explicit MainWindowRig(const std::function<void(sim::Programmer&)>& prepare = {})
    {
        ensure_gtk();
        AppState& a = app();
        // Another test of this program may have built a main window before.
        if (a.shell.main_window)
            gtk_widget_destroy(a.shell.main_window);
        device_close(a.link);
        a.shell = ShellState{};
        a.connection = ConnectionState{};
        programmer = sim::make_demo_programmer();
        if (prepare)
            prepare(*programmer);
        port = std::make_unique<sim::SimPort>(*programmer);
        a.link.port = port.get();
        a.link.serial.sysfs_root = sysfs.path(); // no CAN-analyzer unit here
        a.prefs.folder = home.path();
        a.shell.program_path = "/nonexistent/bin/tq512";
        add_shell_menus(a);
        wire_subsystems(a);
        a.config.history.root = home / "units"; // not the user's data folder
        build_main_window(a);
        watch_for_link_loss(a);
    }
    ~MainWindowRig()
    {
        device_close(app().link);
        app().link.port = nullptr;
        app().link.on_lost = nullptr; // the next test wires its own
    }
    MainWindowRig(const MainWindowRig&) = delete;
    MainWindowRig& operator=(const MainWindowRig&) = delete;

    // Main-loop passes, as the program runs them.
    void run(int iterations)
    {
        for (int i = 0; i < iterations; ++i)
            loop_iteration(app());
        pump_gtk(5);
    }
    void run_until_connected()
    {
        for (int i = 0; i < 100 && app().connection.state != kConnected; ++i)
            loop_iteration(app());
        pump_gtk(5);
    }

    platform::ScopedVirtualClock clock;
    TempFolder home, sysfs;
    std::unique_ptr<sim::Programmer> programmer;
    std::unique_ptr<sim::SimPort> port;
};

} // namespace tq::test
