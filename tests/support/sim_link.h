// A link wired to a simulated programmer on a virtual clock.
#pragma once

#include "link/link.h"
#include "platform/clock.h"
#include "sim/programmer.h"

#include <memory>
#include <string>

namespace tq::test {

struct SimLink {
    explicit SimLink(sim::Variant variant = sim::Variant::Programmer64)
        : programmer(variant), port(programmer)
    {
        link.port = &port;
        link.text_sink = [this](std::string_view t) { console += t; };
    }

    // Opens the programmer as the connection step would.
    OpenResult open() { return device_open(link); }

    platform::ScopedVirtualClock clock;
    sim::Programmer programmer;
    sim::SimPort port;
    LinkState link;
    std::string console;
};

} // namespace tq::test
