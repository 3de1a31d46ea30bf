#include "app/connection.h"
#include "support/sim_link.h"

#include <gtest/gtest.h>

namespace tq {
namespace {

struct Recorder {
    std::string status, hardware, serial = "unchanged", refused;
    int identified = 0, disconnected = 0, bootloader = 0, periodic = 0;
    ConnectionUi ui()
    {
        ConnectionUi u;
        u.set_status = [this](const std::string& s) { status = s; };
        u.set_hardware = [this](const std::string& s) { hardware = s; };
        u.set_serial = [this](const std::string& s) { serial = s; };
        u.unit_refused = [this](const std::string& s) { refused = s; };
        u.unit_identified = [this] { ++identified; };
        u.disconnected = [this] { ++disconnected; };
        u.bootloader_found = [this] { ++bootloader; };
        u.periodic_steps = [this] { ++periodic; };
        return u;
    }
};

// Runs connection steps until connected, refused or out of patience.
int run_steps(test::SimLink& s, ConnectionState& c, const ConnectionUi& ui, int steps = 20)
{
    int n = 0;
    for (; n < steps && c.state != kConnected; ++n) {
        if (!s.link.open() && c.state != kSearching)
            disconnect_reset(c, ui);
        connection_step(s.link, c, ui);
    }
    return n;
}

TEST(Connection, IdentifiesTheUnitThroughStatusAndVersion)
{
    for (auto variant : {sim::Variant::Programmer64, sim::Variant::Programmer8}) {
        test::SimLink s(variant);
        s.programmer.unit.identity = {512, 4, 30, 6, 11, 1234};
        ConnectionState c;
        Recorder r;
        const ConnectionUi ui = r.ui();
        run_steps(s, c, ui);
        ASSERT_EQ(c.state, kConnected);
        EXPECT_EQ(r.status, "TQ512-0430");
        EXPECT_EQ(r.hardware, "(NORDAVEL TQ512)  ");
        EXPECT_EQ(r.serial, "Device serial number 220000001234");
        EXPECT_EQ(c.firmware_version, 1054);
        EXPECT_EQ(r.identified, 1);
    }
}

} // namespace
} // namespace tq
