// The unit that --simulate presents: a current TQ512 with a plausible
// configuration, so that every feature can be seen without hardware.
#pragma once

#include "sim/programmer.h"

#include <memory>

namespace tq::sim {

std::unique_ptr<Programmer> make_demo_programmer();

} // namespace tq::sim
