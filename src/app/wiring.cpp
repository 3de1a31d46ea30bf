#include "app/wiring.h"

namespace tq {

void run_periodic_steps(AppState& a)
{
    // Order: signal monitor, radio monitor, diagnostics, event memory, radio
    // module, AUX status (each while its window is open); then, always, the
    // module test step.
    (void)a;
}

void wire_subsystems(AppState& a)
{
    a.connection_ui.periodic_steps = [] { run_periodic_steps(app()); };
}

} // namespace tq
