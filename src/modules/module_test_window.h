// The module test windows: the AUX module, the cable loom module and the
// TQ001 and TQ002 cut-off modules, driven directly by the fitter.
#pragma once

#include "modules/modules_window.h"

namespace tq {

// kind 0: number 0 AUX module, 1 cable loom; kind 1 TQ001 and kind 2 TQ002
// with module number 0 or 1. A window that is open already stays as it is.
void open_module_test_window(const ModulesWindowStates& s, int kind, int number,
                             const OneWireId& id);
// Closes one test window (by its index) or all of them.
void close_module_test_window(ModulesState& m, int index);
void close_module_test_windows(ModulesState& m);
// The main loop's step, on every pass in the connected state.
void module_test_poll_step(ModulesState& m, LinkState& link);

} // namespace tq
