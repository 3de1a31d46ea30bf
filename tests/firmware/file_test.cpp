#include "firmware_fixture.h"

#include <gtest/gtest.h>

#include <cstring>

namespace tq {
namespace {

TEST(FirmwareFile, Crc16ArcCheckValue)
{
    const char* digits = "123456789";
    EXPECT_EQ(crc16_arc(reinterpret_cast<const std::uint8_t*>(digits), 9), 0xBB3D);
}

std::vector<std::uint8_t> with_tag(std::vector<std::uint8_t> f, const char* tag)
{
    std::memcpy(f.data(), tag, 8);
    return f;
}

std::vector<std::uint8_t> flipped(std::vector<std::uint8_t> f, std::size_t at)
{
    f[at] ^= 0x40;
    return f;
}

TEST(FirmwareFile, Checks)
{
    const auto good = test::firmware_file(10'000 - 16);
    auto short_one = test::firmware_file(9'999 - 16);
    struct Case {
        const char* what;
        std::vector<std::uint8_t> file;
        FileCheck expected;
    } cases[] = {
        {"10,000 bytes", good, FileCheck::Good},
        {"largest buffer", test::firmware_file(kFirmwareImageCapacity), FileCheck::Good},
        {"9,999 bytes with a good CRC", short_one, FileCheck::TooShort},
        {"empty", {}, FileCheck::TooShort},
        {"another model's tag", with_tag(good, "TQ510F2 "), FileCheck::UnknownTag},
        {"tag without its blank", with_tag(good, "TQ510F3_"), FileCheck::UnknownTag},
        {"lower-case tag", with_tag(good, "tq510f3 "), FileCheck::UnknownTag},
        {"image byte changed", flipped(good, 5000), FileCheck::BadCrc},
        {"last image byte changed", flipped(good, 9999), FileCheck::BadCrc},
        {"CRC low byte changed", flipped(good, 14), FileCheck::BadCrc},
        {"CRC bytes swapped",
         [&] {
             auto f = good;
             std::swap(f[14], f[15]);
             return f;
         }(),
         good[14] == good[15] ? FileCheck::Good : FileCheck::BadCrc},
        {"spare header bytes are not examined",
         [&] {
             auto f = good;
             std::memset(f.data() + 8, 0xA5, 6);
             return f;
         }(),
         FileCheck::Good},
    };
    for (const Case& c : cases) {
        const FirmwareTag* tag = nullptr;
        EXPECT_EQ(check_firmware_file(c.file, &tag), c.expected) << c.what;
        if (c.expected == FileCheck::Good) {
            EXPECT_STREQ(tag ? tag->display_name : "", "TQ512") << c.what;
        }
    }
}

} // namespace
} // namespace tq
