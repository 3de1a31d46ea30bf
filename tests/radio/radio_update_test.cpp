#include "radio/radio_sim.h"
#include "radio/radio_update.h"
#include "radio/zip_fixture.h"

#include <gtest/gtest.h>

namespace tq {
namespace {

using test::Bytes;

struct Progress {
    std::vector<std::pair<std::string, double>> steps;
    RadioProgress fn() { return [this](const std::string& t, double f) { steps.emplace_back(t, f); }; }
    bool saw(const std::string& t) const
    {
        for (const auto& s : steps)
            if (s.first == t)
                return true;
        return false;
    }
};

class RadioUpdate : public ::testing::Test {
protected:
    RadioUpdate() { t.radio.window_open = false; }

    // A package of image made by the zip tool, with an init packet the
    // simulated target accepts.
    Bytes package(const Bytes& image, const Bytes& init = {})
    {
        z.write("app.bin", image);
        z.write("app.dat", init.empty() ? sim::sim_init_packet(image) : init);
        z.write("manifest.json", test::kManifest);
        std::filesystem::remove(z.path("p.zip"));
        z.zip("p.zip", "manifest.json app.bin app.dat");
        return z.read("p.zip");
    }
    std::string update(RadioFileKind kind, const Bytes& file)
    {
        return run_radio_file_update(t.link, t.radio, kind, file, progress.fn());
    }

    test::RadioSim t;
    test::ZipFolder z;
    Progress progress;
};

TEST_F(RadioUpdate, DfuPackageArrivesIntact)
{
    t.module.chipset = 1;
    const Bytes image = test::random_bytes(10000, 7);
    const Bytes zip = package(image);
    EXPECT_EQ(update(RadioFileKind::Package, zip), "Successfully programmed device.");
    EXPECT_EQ(t.module.dfu.image, image);
    EXPECT_TRUE(t.module.dfu.activated);
    EXPECT_EQ(t.module.dfu.init, sim::sim_init_packet(image));
    EXPECT_EQ(t.module.dfu.creates, 1 + 3); // init and three data objects
    EXPECT_FALSE(t.module.radio_mode);      // left radio mode at the end
    EXPECT_EQ(t.module.boot_kind, 0);
    EXPECT_TRUE(progress.saw("INIT"));
    EXPECT_TRUE(progress.saw("100.0%"));
    EXPECT_TRUE(progress.saw("0.0%"));
    EXPECT_TRUE(progress.saw("41.0%")); // the second object starts at 4096 of 10000
}

TEST_F(RadioUpdate, ObjectsOf4096Bytes)
{
    t.module.chipset = 1;
    for (std::size_t size : {std::size_t(4096), std::size_t(4097)}) {
        t.module.dfu = sim::DfuTargetSim{};
        const Bytes image = test::random_bytes(size, unsigned(size));
        EXPECT_EQ(update(RadioFileKind::Package, package(image)), "Successfully programmed device.");
        EXPECT_EQ(t.module.dfu.image, image);
        EXPECT_EQ(t.module.dfu.creates, size == 4096 ? 2 : 3) << size;
    }
}

TEST_F(RadioUpdate, ResponsesSplitAcrossReads)
{
    t.module.chipset = 1;
    t.module.read_limit = 3; // every response needs several reads of the bridge
    const Bytes image = test::random_bytes(2000, 9);
    EXPECT_EQ(update(RadioFileKind::Package, package(image)), "Successfully programmed device.");
    EXPECT_TRUE(t.module.dfu.activated);
}

TEST_F(RadioUpdate, ASelectOffsetMismatchRepeatsTheObject)
{
    t.module.chipset = 1;
    const Bytes image = test::random_bytes(9000, 11);
    const Bytes zip = package(image);
    t.module.dfu.skew_select_offset = 2;
    EXPECT_EQ(update(RadioFileKind::Package, zip), "Successfully programmed device.");
    EXPECT_EQ(t.module.dfu.image, image);
    EXPECT_EQ(t.module.dfu.creates, 1 + 3 + 2);

    // Three mismatches in a row for one object: given up.
    t.module.dfu = sim::DfuTargetSim{};
    t.module.dfu.skew_select_offset = 3;
    EXPECT_EQ(update(RadioFileKind::Package, zip), "radio module communication error.");
    EXPECT_FALSE(t.module.dfu.activated);
    EXPECT_FALSE(t.module.radio_mode);
}

TEST_F(RadioUpdate, ExecuteFailures)
{
    t.module.chipset = 1;
    const Bytes image = test::random_bytes(5000, 13);
    // The image does not match its init packet: verification fails at the end.
    t.module.dfu.fail_verification = true;
    EXPECT_EQ(update(RadioFileKind::Package, package(image)), "radio module communication error.");
    EXPECT_FALSE(t.module.dfu.activated);

    // An init packet the target does not take.
    t.module.dfu = sim::DfuTargetSim{};
    EXPECT_EQ(update(RadioFileKind::Package, package(image, Bytes(200, 0x33))),
              "radio module communication error.");
    EXPECT_TRUE(t.module.dfu.image.empty());
}

TEST_F(RadioUpdate, SendDfuObjectResults)
{
    t.module.chipset = 1;
    ASSERT_TRUE(switch_radio_boot_mode(t.link, t.radio, RadioBootMode::File));
    SlipChannel ch{t.link, {}};
    const Bytes image = test::random_bytes(1500, 5);
    const Bytes init = sim::sim_init_packet(image);
    EXPECT_EQ(send_dfu_object(ch, DfuObject::Command, init, 0, true, 0, {}), DfuResult::Ok);
    t.module.dfu.fail_verification = true;
    EXPECT_EQ(send_dfu_object(ch, DfuObject::Data, image, 0, false, 1500, {}), DfuResult::VerifyFailed);
    t.module.dfu.skew_select_offset = 1;
    EXPECT_EQ(send_dfu_object(ch, DfuObject::Data, image, 0, false, 1500, {}), DfuResult::Repeat);
    // A data object that is larger than the target takes.
    EXPECT_EQ(send_dfu_object(ch, DfuObject::Data, Bytes(5000, 1), 0, false, 5000, {}), DfuResult::Failed);
}

TEST_F(RadioUpdate, SlipPiecesAreRepeatedButNotForever)
{
    t.module.chipset = 1;
    ASSERT_TRUE(switch_radio_boot_mode(t.link, t.radio, RadioBootMode::File));
    SlipChannel ch{t.link, {}};
    const std::uint8_t ping[2] = {0x09, 0x01};
    t.module.silent_slip_writes = 3; // the first sends go unacknowledged
    ASSERT_TRUE(slip_send(ch, ping, 2));
    std::vector<std::uint8_t> r;
    EXPECT_TRUE(slip_receive(ch, r));
    EXPECT_EQ(r, (std::vector<std::uint8_t>{0x09, 0x01, 0x01}));

    t.module.silent_slip_writes = 1000;
    const auto start = platform::now_ms();
    EXPECT_FALSE(slip_send(ch, ping, 2));
    EXPECT_LT(platform::now_ms() - start, 20000);
    t.module.silent_slip_writes = 0;

    // Nothing comes back: four seconds, then false, the last packet untouched.
    t.module.dfu.drop_responses = 1;
    ASSERT_TRUE(slip_send(ch, ping, 2));
    const auto before = platform::now_ms();
    EXPECT_FALSE(slip_receive(ch, r));
    EXPECT_EQ(r, (std::vector<std::uint8_t>{0x09, 0x01, 0x01}));
    EXPECT_GE(platform::now_ms() - before, 4000);
    EXPECT_LT(platform::now_ms() - before, 5000);
}

TEST_F(RadioUpdate, LateAcknowledgesAreNotTakenForCurrentOnes)
{
    // Acknowledges that come after the tool stopped waiting for them arrive
    // amid later exchanges; only the acknowledge a step waits for counts.
    t.module.chipset = 1;
    t.module.late_slip_acks = 5;
    const Bytes image = test::random_bytes(6000, 17);
    EXPECT_EQ(update(RadioFileKind::Package, package(image)), "Successfully programmed device.");
    EXPECT_EQ(t.module.late_slip_acks, 0);
    EXPECT_EQ(t.module.dfu.image, image);
    EXPECT_TRUE(t.module.dfu.activated);
}

TEST_F(RadioUpdate, BleImageArrivesIntact)
{
    // 1000 payload bytes: the last chunk is filled with 0xFF.
    Bytes file = {'B', 'L', 'E', 'R', 'A', 'D', 'I', 'o'};
    const Bytes payload = test::random_bytes(1000, 21);
    file.insert(file.end(), payload.begin(), payload.end());
    EXPECT_EQ(update(RadioFileKind::Ble, file), "Successfully programmed device.");
    EXPECT_EQ(t.module.ble_chunks, 32);
    ASSERT_EQ(t.module.flash.size(), 1024u);
    EXPECT_TRUE(std::equal(payload.begin(), payload.end(), t.module.flash.begin()));
    EXPECT_TRUE(std::all_of(t.module.flash.begin() + 1000, t.module.flash.end(),
                            [](std::uint8_t b) { return b == 0xFF; }));
    EXPECT_TRUE(t.module.saved);
    EXPECT_TRUE(progress.saw("2%"));
    EXPECT_TRUE(progress.saw("Erasing flash memory..."));
    EXPECT_TRUE(progress.saw("Save to flash"));
    EXPECT_TRUE(progress.saw("Device reset"));
}

TEST_F(RadioUpdate, ChunkPacketLayout)
{
    Bytes payload(64, 0x00);
    payload[32] = 0x80; // first byte of the second chunk has bit 7
    payload[63] = 0xFF; // last byte has it too
    unsigned sum = 0;
    const auto p = ble_chunk_packet(payload, 32, &sum);
    EXPECT_EQ((Bytes{p[0], p[1], p[2], p[3]}), (Bytes{0x00, 0xBB, 0x2A, 0xFF}));
    EXPECT_EQ((Bytes{p[4], p[5], p[6]}), (Bytes{0, 0, 32}));
    // Bit 31 and bit 0 of the top-bits word.
    EXPECT_EQ((Bytes{p[7], p[8], p[9], p[10], p[11]}), (Bytes{0x08, 0, 0, 0, 0x01}));
    EXPECT_EQ(p[12], 0x00);
    EXPECT_EQ(p[43], 0x7F);
    EXPECT_EQ(sum, 0x80u + 0xFF);
    unsigned check = 0;
    for (int i = 4; i < 44; ++i)
        check += p[std::size_t(i)];
    EXPECT_EQ(p[44], (check + 0xA0) & 0x7F);
    EXPECT_EQ(p[45], 0xA0);
    const auto far = ble_chunk_packet(Bytes(40000, 1), 20000);
    EXPECT_EQ((Bytes{far[4], far[5], far[6]}), (Bytes{1, 28, 32})); // 16384 + 28 * 128 + 32
}

TEST_F(RadioUpdate, ChipsetAndBootMode)
{
    Bytes ble = {'B', 'L', 'E', 'R', 'A', 'D', 'I', 'o', 1, 2, 3};
    t.module.chipset = 1;
    EXPECT_EQ(update(RadioFileKind::Ble, ble), "Firmware update for wrong chipset.");
    EXPECT_EQ(t.module.ble_chunks, 0);
    EXPECT_FALSE(t.module.radio_mode);

    t.module.chipset = 0;
    t.module.confirm_boot = false;
    EXPECT_EQ(update(RadioFileKind::Ble, ble), "radio module communication error.");
    EXPECT_EQ(t.module.ble_chunks, 0);
}

TEST_F(RadioUpdate, InformationBlockAsTheModuleSendsIt)
{
    Bytes ble = {'B', 'L', 'E', 'R', 'A', 'D', 'I', 'o', 1, 2, 3};
    // The module is of chipset 0 throughout; byte 15 is what it answers.
    t.module.chipset = 0;
    struct Case {
        const char* what;
        int count;
        std::size_t bytes;
        int chip_byte;
        const char* result;
    } cases[] = {
        {"a short count is no failure", 4, 16, -1, "Successfully programmed device."},
        {"byte 15 no digit: chipset 0", 16, 16, 'A', "Successfully programmed device."},
        {"byte 15 zero: chipset 0", 16, 16, 0, "Successfully programmed device."},
        {"a frame too short for the block", 16, 15, -1, "radio module communication error."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        t.module.info_count = c.count;
        t.module.info_bytes = c.bytes;
        t.module.info_chip_byte = c.chip_byte;
        t.module.ble_chunks = 0;
        EXPECT_EQ(update(RadioFileKind::Ble, ble), c.result);
        EXPECT_EQ(t.module.ble_chunks, c.bytes == 16 ? 1 : 0);
        if (c.bytes == 16) {
            EXPECT_EQ(t.radio.chipset, 0);
        }
    }
}

TEST_F(RadioUpdate, BootModeWaitsAfterEachRequest)
{
    t.module.access_times.clear();
    ASSERT_TRUE(switch_radio_boot_mode(t.link, t.radio, RadioBootMode::File));
    const auto& a = t.module.access_times;
    ASSERT_GE(a.size(), 3u);
    EXPECT_EQ(a[0].first, 0x85);
    EXPECT_EQ(a[1].first, 0x85);
    EXPECT_EQ(a[2].first, 0x8C);
    EXPECT_GE(a[1].second - a[0].second, 50);
    EXPECT_GE(a[2].second - a[1].second, 50);
}

} // namespace
} // namespace tq
