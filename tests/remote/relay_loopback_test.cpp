// The relay against a real relay server on 127.0.0.1: logging in, commands
// over TCP, lost connections and reconnection.
#include "relay_fixture.h"

#include "sim/usb_bootloader.h"
#include "support/loopback.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

namespace tq {
namespace {

using namespace std::string_literals;

void pause_ms(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

std::string login(test::PeerConnection& c)
{
    const std::string line = c.read_line();
    c.send("OK");
    return line;
}

struct Loopback {
    explicit Loopback(sim::Variant variant = sim::Variant::Programmer64,
                      std::size_t image_capacity = kFirmwareImageCapacity)
        : sim(variant)
    {
        firmware.buffer.assign(kFirmwareHeaderSize + image_capacity, 0);
        relay.host = server.host();
        sim.link.return_text_frames = true;
        view.radio = &radio;
    }
    bool connect(bool user = true)
    {
        return remote_connect(relay, sim.link, radio, view, "secret", user);
    }
    void step() { remote_relay_step(relay, sim.link, radio, firmware, view); }
    bool drive()
    {
        const bool finished = test::drive_until_done(server, [this] { step(); });
        server.join();
        return finished;
    }

    test::LoopbackServer server;
    test::SimLink sim;
    RelayState relay;
    RadioState radio;
    FirmwareState firmware;
    test::RecordingView view;
};

TEST(RelayLoopback, LogsInAndObeysCommandsSplitOverTheWire)
{
    Loopback t;
    std::string password, status, collected, empty, released;
    t.server.run([&](test::LoopbackServer& srv) {
        auto c = srv.accept();
        password = login(c);
        c.send("@H");
        status = c.read_exactly(2);
        // "@h 01 00" then "@R", cut so that "@" and "R" arrive apart.
        c.send("@h\x01"s);
        pause_ms(50);
        c.send("\x00@"s);
        pause_ms(50);
        c.send("R");
        collected = c.read_exactly(7);
        c.send(" ");
        pause_ms(50);
        c.send("@R");
        empty = c.read_exactly(3);
        c.send("@!");
        released = c.read_exactly(2);
    });
    ASSERT_TRUE(t.connect());
    EXPECT_EQ(t.view.shown, std::vector<bool>{true});
    EXPECT_TRUE(t.radio.remote_access);
    ASSERT_TRUE(t.drive());

    EXPECT_EQ(password, "secret\n");
    EXPECT_EQ(status, "@1");
    // The unit's status reply 2, 1 to the hello frame, as a record.
    EXPECT_EQ(collected, "@R\x04\x07\x02\x01"s + char((3 + 7 + 2 + 1 + 4 * 0x55) & 0xFF));
    EXPECT_EQ(empty, "@R\0"s);
    EXPECT_EQ(released, "@!");
    EXPECT_FALSE(t.sim.link.open());
}

TEST(RelayLoopback, FailedLoginsAreReportedOnlyForTheUser)
{
    struct Case {
        const char* name;
        bool reachable;
        std::string host;
        bool user;
        std::vector<std::string> messages;
        int unticked;
    } cases[] = {
        {"refused", true, "", true, {"Login failed."}, 1},
        {"refused, automatic", true, "", false, {}, 1},
        {"no server", false, "127.0.0.1:" + std::to_string(test::closed_port()), true,
         {"Cannot connect to server"}, 0},
        {"not a host", false, "127.0.0.1:notaport", true, {"Cannot resolve server name."}, 0},
    };
    for (const Case& c : cases) {
        Loopback t;
        t.view.ticked = true;
        std::string bye;
        if (c.reachable) {
            t.server.run([&](test::LoopbackServer& srv) {
                auto peer = srv.accept();
                peer.read_line();
                peer.send("NO");
                peer.wait_closed(5000, &bye);
            });
        } else {
            t.relay.host = c.host;
        }
        EXPECT_FALSE(t.connect(c.user)) << c.name;
        t.server.join();
        EXPECT_EQ(t.view.messages, c.messages) << c.name;
        EXPECT_EQ(t.view.unticked, c.unticked) << c.name;
        EXPECT_EQ(t.relay.reconnect_countdown, kReconnectSteps) << c.name;
        EXPECT_FALSE(t.relay.channel) << c.name;
        // A relay that was reached hears the release before the close.
        EXPECT_EQ(bye, c.reachable ? "@!" : "") << c.name;
    }
}

TEST(RelayLoopback, PasswordIsCutAt38BytesOnACharacterBoundary)
{
    struct Case {
        std::string typed;
        std::string sent;
    } cases[] = {
        {std::string(45, 'p'), std::string(38, 'p') + "\n"},
        {std::string(37, 'p') + "\xC3\xA9", std::string(37, 'p') + "\n"},
        {std::string(36, 'p') + "\xC3\xA9", std::string(36, 'p') + "\xC3\xA9\n"},
    };
    for (const Case& c : cases) {
        Loopback t;
        std::string line;
        t.server.run([&](test::LoopbackServer& srv) {
            auto peer = srv.accept();
            line = login(peer);
        });
        EXPECT_TRUE(remote_connect(t.relay, t.sim.link, t.radio, t.view, c.typed, true));
        t.server.join();
        EXPECT_EQ(line, c.sent);
    }
}

TEST(RelayLoopback, ImageChunkContinuesFromTheSocket)
{
    Loopback t;
    std::string chunk;
    for (int i = 0; i < 300; ++i)
        chunk += char(i * 7 + 3);
    unsigned sum = 0;
    for (unsigned char b : chunk)
        sum += b;
    std::string answer, after;
    t.server.run([&](test::LoopbackServer& srv) {
        auto c = srv.accept();
        login(c);
        c.send("@E0");
        c.read_exactly(3);
        c.send("@E1\x01\x2C"s + chunk.substr(0, 100));
        pause_ms(100);
        c.send(chunk.substr(100) + "@G");
        answer = c.read_exactly(5);
        after = c.read_exactly(3);
    });
    ASSERT_TRUE(t.connect());
    ASSERT_TRUE(t.drive());
    EXPECT_EQ(answer, "@E1"s + char((sum % 65535) >> 8) + char(sum % 65535 & 0xFF));
    EXPECT_EQ(after, "@G\0"s);
    ASSERT_EQ(t.firmware.image_size, 300);
    EXPECT_EQ(std::string(t.firmware.image(), t.firmware.image() + 300), chunk);
}

TEST(RelayLoopback, ProgrammingProgressOverTheWire)
{
    Loopback t(sim::Variant::Bootloader);
    sim::UsbBootloader& boot = sim::attach_bootloader(t.sim.programmer);
    std::string status, loaded, progress;
    t.server.run([&](test::LoopbackServer& srv) {
        auto c = srv.accept();
        login(c);
        c.send("@H");
        status = c.read_exactly(2);
        c.send("@E0@E1\x03\xE8"s + std::string(1000, '\x5A'));
        loaded = c.read_exactly(8);
        c.send("@E5\x00\x60\x00\x1D"s);
        progress = c.read_exactly(20);
    });
    ASSERT_TRUE(t.connect());
    ASSERT_TRUE(t.drive());
    EXPECT_EQ(status, "@2");
    const unsigned sum = 1000 * 0x5A % 65535;
    EXPECT_EQ(loaded, "@E0@E1"s + char(sum >> 8) + char(sum & 0xFF));
    EXPECT_EQ(progress, "@E5\x00\x00"s + "@E5\x01\xC0" + "@E5\x03\x80" + "@E5\x03\xE8");
    // 18 blocks of 56 bytes reached the flash.
    const auto flash = boot.at(sim::UsbBootloader::kStart, 1008);
    EXPECT_EQ(std::string(flash.begin(), flash.end()),
              std::string(1000, '\x5A') + std::string(8, '\0'));
}

TEST(RelayLoopback, FloodBeyondTheImageIsRefusedAndTheStreamStaysInStep)
{
    Loopback t(sim::Variant::Programmer64, 1000);
    std::string first, second;
    t.server.run([&](test::LoopbackServer& srv) {
        auto c = srv.accept();
        login(c);
        const std::string chunk(900, 'A');
        c.send("@E0@E1\x03\x84"s + chunk + "@E1\x03\x84"s + chunk + "@G");
        first = c.read_exactly(3 + 5);
        second = c.read_exactly(5 + 3);
    });
    ASSERT_TRUE(t.connect());
    ASSERT_TRUE(t.drive());
    EXPECT_EQ(first, "@E0@E1"s + char((900 * 65) >> 8) + char((900 * 65) & 0xFF));
    EXPECT_EQ(second, "@E1\xFF\xFF@G\0"s);
    EXPECT_EQ(t.firmware.image_size, 900);
}

TEST(RelayLoopback, ReconnectsAfterALostConnectionButNotAfterTheUser)
{
    Loopback t;
    t.view.ticked = true;
    t.view.on_automatic_connect = [&t] { t.connect(false); };
    std::atomic<bool> user_may_leave{false};
    std::string second_login, answer, bye;
    bool second_closed = false;
    bool third_came = true;
    t.server.run([&](test::LoopbackServer& srv) {
        {
            auto first = srv.accept();
            login(first);
        } // closed: the relay went away
        auto second = srv.accept(8000);
        second_login = login(second);
        second.send("@G");
        answer = second.read_exactly(3);
        user_may_leave = true;
        second_closed = second.wait_closed(5000, &bye);
        third_came = srv.accept(1500).valid();
    });
    ASSERT_TRUE(t.connect());
    bool left = false;
    const bool finished = test::drive_until_done(t.server, [&] {
        t.step();
        if (user_may_leave && !left) {
            remote_disconnect(t.relay, t.sim.link, t.radio, t.view, true);
            left = true;
        }
    });
    t.server.join();
    ASSERT_TRUE(finished);
    EXPECT_EQ(second_login, "secret\n");
    EXPECT_EQ(answer, "@G\0"s);
    EXPECT_TRUE(second_closed);
    EXPECT_EQ(bye, "@!");
    EXPECT_FALSE(third_came);
    EXPECT_EQ(t.relay.reconnect_countdown, kNoReconnect);
    // Three sessions began and ended: the lost one, the new one, the user's end.
    // The radio path opened and closed with each.
    EXPECT_EQ(t.view.shown, (std::vector<bool>{true, false, true, false}));
    EXPECT_EQ(t.view.radio_open, (std::vector<bool>{true, false, true, false}));
}

} // namespace
} // namespace tq
