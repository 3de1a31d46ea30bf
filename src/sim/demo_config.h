// The configuration the demo unit holds, so that the settings pages show
// plausible values under --simulate.
#pragma once

#include "sim/alarm_unit.h"

namespace tq::sim {

// Writes a fitted car's configuration into the unit's memory image, in the
// layout of the unit's firmware (phone slots and block D by its version).
void fill_demo_configuration(AlarmUnit& unit);

} // namespace tq::sim
