#include "link/frame.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tq {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(Frame, EncodesCountCodeDataAndChecksum)
{
    struct Case {
        std::uint8_t code;
        Bytes data;
        const char* text;
    } cases[] = {
        {0x01, {}, "!0101AC#"},
        {0x04, {}, "!0104AF#"},
        {0x05, {0x00, 0x09}, "!0305000965#"},
        {0xFF, {0xAB, 0xCD}, "!03FFABCDCE#"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(encode_frame(c.code, c.data.data(), c.data.size()).view(), c.text) << c.text;
}

TEST(Frame, RefusesMoreDataThanTheFrameBufferHolds)
{
    const Bytes most(125, 0x11), too_many(126, 0x11);
    EXPECT_EQ(encode_frame(0x66, most.data(), most.size()).view().size(), 2 * 125 + 8u);
    EXPECT_EQ(encode_frame(0x66, too_many.data(), too_many.size()).view(), "");
}

TEST(Frame, CutsIntoSixtyFourByteReports)
{
    const auto reports = frame_reports("!0101AC#", 64, true);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].size(), 65u);
    EXPECT_EQ(reports[0][0], 0x00); // report ID
    EXPECT_EQ(reports[0][1], 0xC1);
    EXPECT_EQ(reports[0][2], 8);
    EXPECT_EQ(std::string(reports[0].begin() + 3, reports[0].begin() + 11), "!0101AC#");
    EXPECT_EQ(reports[0][11], 0);

    const std::string long_text(130, 'A');
    const auto three = frame_reports(long_text, 64, true);
    ASSERT_EQ(three.size(), 3u);
    EXPECT_EQ(three[0][1], 0x01);
    EXPECT_EQ(three[0][2], 62);
    EXPECT_EQ(three[1][1], 0x00);
    EXPECT_EQ(three[2][1], 0xC0);
    EXPECT_EQ(three[2][2], 6);
}

TEST(Frame, CutsIntoEightByteReportsWithTheCountInTheFlags)
{
    const auto reports = frame_reports("!0101AC#", 8, false);
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0].size(), 9u);
    EXPECT_EQ(reports[0][1], 0x0F);
    EXPECT_EQ(std::string(reports[0].begin() + 2, reports[0].end()), "!0101AC");
    EXPECT_EQ(reports[1][1], 0xC2);
    EXPECT_EQ(reports[1][2], '#');
}

TEST(Frame, DecodesOnlyWellFormedUpperCaseFrames)
{
    struct Case {
        const char* text;
        bool ok;
        std::size_t consumed;
    } cases[] = {
        {"!0101AC#", true, 8},
        {"!0101AC#!0104AF#", true, 8},  // stops at the first '#'
        {"!0101ac#", false, 0},         // lower case
        {"!0201AC#", false, 0},         // count disagrees with the length
        {"!0101AD#", false, 0},         // checksum off by one
        {"!0101AC", true, 7},           // the text may end without '#'
        {"!0101A#", false, 0},          // a lone digit before '#'
        {"!0055#", false, 0},           // no code byte
        {"0101AC#", false, 0},          // no '!'
        {"!01G1AC#", false, 0},
    };
    for (const Case& c : cases) {
        std::uint8_t out[16] = {};
        const DecodedFrame f = decode_frame(c.text, out, sizeof out);
        EXPECT_EQ(f.ok, c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(f.consumed, c.consumed) << c.text;
            EXPECT_EQ(f.length, 3u);
            EXPECT_EQ(out[1], 0x01);
        }
    }
}

TEST(Frame, DecodingNeverWritesPastTheRoomGiven)
{
    std::uint8_t out[4] = {};
    EXPECT_FALSE(decode_frame("!0305000965#", out, 4).ok);
}

TEST(Frame, ClampsAReportCountBeyondTheReportsRoom)
{
    std::uint8_t wide[64] = {0x40, 200};
    EXPECT_EQ(report_text(wide, 64, true).size(), 62u);
    std::uint8_t narrow[8] = {0x40 | (15 << 1)};
    EXPECT_EQ(report_text(narrow, 8, false).size(), 7u);
    std::uint8_t none[8] = {0x00 | (3 << 1)};
    EXPECT_TRUE(report_text(none, 8, false).empty());
}

} // namespace
} // namespace tq
