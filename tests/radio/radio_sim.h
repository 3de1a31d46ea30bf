// A link to a simulated unit with the radio module behind its bridge.
#pragma once

#include "radio/bridge.h"
#include "sim/radio_module_sim.h"
#include "support/sim_link.h"

#include <vector>

namespace tq::test {

struct RadioSim {
    RadioSim()
    {
        s.open();
        radio.window_open = true;
    }

    // The frames the unit received with this command code.
    std::vector<sim::Frame> frames(std::uint8_t code) const
    {
        std::vector<sim::Frame> out;
        for (const auto& f : s.programmer.unit.received)
            if (f.code == code)
                out.push_back(f);
        return out;
    }
    std::int64_t now() const { return platform::now_ms(); }

    SimLink s;
    sim::RadioModuleSim module{s.programmer.unit};
    RadioState radio;
    LinkState& link = s.link;
};

} // namespace tq::test
