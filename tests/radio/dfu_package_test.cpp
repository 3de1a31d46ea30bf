#include "radio/dfu_package.h"
#include "radio/radio_update.h"
#include "radio/zip_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace tq {
namespace {

using test::Bytes;

class Package : public ::testing::Test {
protected:
    Package()
    {
        image = test::random_bytes(3000, 1);
        init = test::random_bytes(140, 2);
        z.write("app.bin", image);
        z.write("app.dat", init);
    }
    // A package with this manifest (and any further files) made by zip.
    Bytes make(const std::string& manifest, const std::string& extra_files = "")
    {
        z.write("manifest.json", manifest);
        std::filesystem::remove(z.path("p.zip"));
        z.zip("p.zip", "manifest.json app.bin app.dat " + extra_files);
        return z.read("p.zip");
    }

    test::ZipFolder z;
    Bytes image, init;
};

std::uint32_t get32(const Bytes& b, std::size_t at)
{
    std::uint32_t v;
    std::memcpy(&v, b.data() + at, 4);
    return v;
}
void put32(Bytes& b, std::size_t at, std::uint32_t v) { std::memcpy(b.data() + at, &v, 4); }

TEST_F(Package, AStoredPackageWithALaidOutManifest)
{
    EXPECT_EQ(crc32_update(0, Bytes{'1', '2', '3', '4', '5', '6', '7', '8', '9'}), 0xCBF43926u);
    const Bytes zip = make(test::kManifest);
    const auto p = read_dfu_package(zip);
    ASSERT_TRUE(p);
    EXPECT_EQ(Bytes(p->init.begin(), p->init.end()), init);
    EXPECT_EQ(Bytes(p->image.begin(), p->image.end()), image);
    EXPECT_TRUE(radio_file_valid(RadioFileKind::Package, zip));

    // A zip comment behind the directory is fine.
    Bytes commented = zip;
    const std::size_t end = commented.size() - 22;
    commented.insert(commented.end(), {'h', 'i'});
    commented[end + 20] = 2;
    EXPECT_TRUE(read_dfu_package(commented));
}

TEST_F(Package, ManifestRules)
{
    struct Case {
        const char* what;
        std::string manifest;
        bool accepted;
    } cases[] = {
        {"one line", R"({"manifest":{"application":{"dat_file":"app.dat","bin_file":"app.bin"}}})", true},
        {"tabs and CRLF", "{\t\"manifest\" :\r\n{ \"application\":{\"bin_file\" : \"app.bin\",\r\n\"dat_file\":\"app.dat\"}}}", true},
        {"another key", R"({"manifest":{"application":{"bin_file":"app.bin","dat_file":"app.dat","sd_req":"1"}}})", false},
        {"other object", R"({"manifest":{"softdevice":{"bin_file":"app.bin","dat_file":"app.dat"}}})", false},
        {"no init packet", R"({"manifest":{"application":{"bin_file":"app.bin"}}})", false},
        {"missing closing quote", R"({"manifest":{"application":{"bin_file":"app.bin","dat_file":"app.dat)", false},
        {"entry not in the package", R"({"manifest":{"application":{"bin_file":"app.bin","dat_file":"nope.dat"}}})", false},
        {"a repeated key replaces the earlier file",
         R"({"manifest":{"application":{"bin_file":"app.dat","dat_file":"app.dat","bin_file":"app.bin"}}})", true},
        {"list ends at the first item without a comma",
         R"({"manifest":{"application":{"bin_file":"app.bin","dat_file":"app.dat"} "junk":{}}})", true},
        {"empty", "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto p = read_dfu_package(make(c.manifest));
        ASSERT_EQ(p.has_value(), c.accepted);
        if (p) {
            EXPECT_EQ(p->image.size(), image.size());
        }
    }
}

TEST_F(Package, SizeLimits)
{
    struct Case {
        std::size_t init, image;
        bool accepted;
    } cases[] = {{139, 3000, false}, {140, 3000, true}, {140, 999, false}, {140, 1000, true}};
    for (const Case& c : cases) {
        z.write("app.dat", test::random_bytes(c.init, 3));
        z.write("app.bin", test::random_bytes(c.image, 4));
        EXPECT_EQ(read_dfu_package(make(test::kManifest)).has_value(), c.accepted)
            << c.init << " " << c.image;
    }
    // A file below 1,200 bytes is refused before anything else is looked at.
    const Bytes small(1199, 0);
    EXPECT_FALSE(read_dfu_package(small));
}

TEST_F(Package, CompressedEntriesAreRefused)
{
    // A deflated entry ahead of the wanted ones ends the search.
    z.write("readme.txt", std::string(4000, 'a'));
    z.write("manifest.json", test::kManifest);
    z.zip("d.zip", "readme.txt", true);
    z.zip("d.zip", "manifest.json app.bin app.dat");
    EXPECT_FALSE(read_dfu_package(z.read("d.zip")));

    // Behind them it does not matter.
    z.zip("e.zip", "manifest.json app.bin app.dat");
    z.zip("e.zip", "readme.txt", true);
    EXPECT_TRUE(read_dfu_package(z.read("e.zip")));

    // A deflated manifest.
    z.zip("f.zip", "manifest.json", true);
    z.zip("f.zip", "app.bin app.dat");
    EXPECT_FALSE(read_dfu_package(z.read("f.zip")));
}

TEST_F(Package, DamagedFilesAreRefusedCleanly)
{
    const Bytes good = make(test::kManifest);
    const std::size_t eocd = good.size() - 22;
    ASSERT_EQ(get32(good, eocd), 0x06054B50u);
    const std::size_t cd = get32(good, eocd + 16);
    const std::size_t image_at =
        std::size_t(std::search(good.begin(), good.end(), image.begin(), image.end()) - good.begin());
    ASSERT_LT(image_at, good.size());

    struct Case {
        const char* what;
        std::function<void(Bytes&)> damage;
    } cases[] = {
        {"truncated", [](Bytes& b) { b.resize(b.size() - 10); }},
        {"cut inside the data", [](Bytes& b) { b.resize(b.size() / 2); }},
        {"directory beyond the file", [&](Bytes& b) { put32(b, eocd + 16, 0xFFFFFF00u); }},
        {"directory size runs past the record", [&](Bytes& b) { put32(b, eocd + 12, 0x7FFFFFFFu); }},
        {"local header offset beyond the file", [&](Bytes& b) { put32(b, cd + 42, 0xFFFFFFF0u); }},
        {"entry size beyond the file",
         [&](Bytes& b) {
             put32(b, cd + 20, 0xFFFFFFF0u);
             put32(b, cd + 24, 0xFFFFFFF0u);
         }},
        {"an image byte changed (CRC)", [&](Bytes& b) { b[image_at + 1000] ^= 0x40; }},
        {"second disk", [&](Bytes& b) { b[eocd + 4] = 1; }},
        {"entries on this disk differ", [&](Bytes& b) { b[eocd + 8] ^= 1; }},
        {"flags set", [&](Bytes& b) { b[cd + 8] = 0x08; }},
        {"comment length wrong", [&](Bytes& b) { b[eocd + 20] = 5; }},
        {"name length runs out of the directory", [&](Bytes& b) { b[cd + 28] = 0xFF; b[cd + 29] = 0xFF; }},
    };
    for (const Case& c : cases) {
        Bytes b = good;
        c.damage(b);
        EXPECT_FALSE(read_dfu_package(b)) << c.what;
    }
}

TEST(RadioFile, KindByName)
{
    EXPECT_EQ(radio_file_kind("/x/fw.ble"), RadioFileKind::Ble);
    EXPECT_EQ(radio_file_kind("/x/fw.zip"), RadioFileKind::Package);
    // Upper case is not ".ble": treated as a package, which it is not.
    EXPECT_EQ(radio_file_kind("/x/FW.BLE"), RadioFileKind::Package);
    EXPECT_FALSE(radio_file_kind(".ble"));
    EXPECT_EQ(radio_file_kind("a.ble"), RadioFileKind::Ble);

    Bytes ble = {'B', 'L', 'E', 'R', 'A', 'D', 'I', 'o', 1, 2, 3};
    EXPECT_TRUE(radio_file_valid(RadioFileKind::Ble, ble));
    EXPECT_FALSE(radio_file_valid(RadioFileKind::Package, ble));
    ble[7] = 'O';
    EXPECT_FALSE(radio_file_valid(RadioFileKind::Ble, ble));
}

} // namespace
} // namespace tq
