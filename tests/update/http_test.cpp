// Finding the body of the update server's answers and reading the version.
#include "update/http.h"

#include <gtest/gtest.h>

#include <string>

namespace tq {
namespace {

HttpBody find(const std::string& s)
{
    return find_http_body(reinterpret_cast<const std::uint8_t*>(s.data()), s.size());
}

TEST(HttpBody, HeaderEndAndLengthFollowTheLineRules)
{
    struct Case {
        const char* name;
        std::string answer;
        bool ended;
        std::size_t offset;
        long length;
    } cases[] = {
        {"CR LF", "HTTP/1.0 200 OK\r\nContent-Length: 14\r\n\r\nVERSION 3.64.2", true, 39, 14},
        {"LF only", "HTTP/1.0 200 OK\nContent-Length: 3\n\nabc", true, 35, 3},
        {"CR after LF skipped", "HTTP/1.0 200 OK\n\r\rContent-Length: 3\n\r\r\nabc", true, 39, 3},
        {"lower case", "HTTP/1.0 200 OK\r\ncontent-length: 3\r\n\r\nabc", true, 38, 0},
        {"no blank after colon", "HTTP/1.0 200 OK\r\nContent-Length:3\r\n\r\nabc", true, 37, 0},
        {"not at line start", "HTTP/1.0 200 OK\r\nX-Content-Length: 3\r\n\r\nabc", true, 40, 0},
        {"last one counts", "A\nContent-Length: 5\nContent-Length: 2\n\nabcde", true, 39, 2},
        {"number as atoi reads it", "A\nContent-Length: 12abc\n\n", true, 25, 12},
        {"negative", "A\nContent-Length: -4\n\nxx", true, 22, -4},
        {"huge is clamped", "A\nContent-Length: 99999999999999999999\n\n", true, 40, 0x7FFFFFFF},
        {"no end", "HTTP/1.0 200 OK\r\nContent-Length: 3\r\n", false, 36, 0},
        {"empty", "", false, 0, 0},
    };
    for (const Case& c : cases) {
        const HttpBody b = find(c.answer);
        EXPECT_EQ(b.ended, c.ended) << c.name;
        EXPECT_EQ(b.offset, c.offset) << c.name;
        EXPECT_EQ(b.length, c.length) << c.name;
    }
}

TEST(HttpBody, OnlyTheFirst2048BytesAreSearched)
{
    // The empty line whose LF is byte 2047 still counts; one byte later it
    // does not.
    const std::string head = "A\nContent-Length: 1\n";
    const std::string inside = head + std::string(2026, 'x') + "\n\nb";
    ASSERT_EQ(inside.rfind('\n'), 2047u);
    EXPECT_TRUE(find(inside).ended);
    EXPECT_EQ(find(inside).offset, 2048u);
    EXPECT_EQ(find(inside).length, 1);
    const std::string outside = head + std::string(2027, 'x') + "\n\nb";
    EXPECT_FALSE(find(outside).ended);
    EXPECT_EQ(find(outside).length, 0);
}

TEST(HttpBody, BodyIsCutAtItsLength)
{
    const std::string answer = "HTTP/1.0 200 OK\r\nContent-Length: 12\r\n\r\nVERSION 3.64.2";
    const auto* data = reinterpret_cast<const std::uint8_t*>(answer.data());
    EXPECT_EQ(http_body_text(data, answer.size()), "VERSION 3.64");
    const std::string short_body = "HTTP/1.0 200 OK\r\nContent-Length: 99\r\n\r\nVERSION";
    EXPECT_EQ(http_body_text(reinterpret_cast<const std::uint8_t*>(short_body.data()),
                             short_body.size()),
              "VERSION");
}

TEST(HttpVersion, ThreeNumbersOrNothing)
{
    struct Case {
        std::string text;
        bool ok;
        int major, minor, patch;
    } cases[] = {
        {"VERSION 3.64.2", true, 3, 64, 2},
        {"VERSION3.63.7\r\n", true, 3, 63, 7},
        {"VERSION  10.0.1 trailing", true, 10, 0, 1},
        {"VERSION 3.64", false, 0, 0, 0},
        {"VERSION 3.64.", false, 0, 0, 0},
        {"VERSION 3 .64.2", false, 0, 0, 0},
        {"version 3.64.2", false, 0, 0, 0},
        {"VERSION 3.-1.2", false, 0, 0, 0},
        {"VERSION 3.99999999999.2", false, 0, 0, 0},
        {std::string("VERSION 3.6\0" "4.2", 16), false, 0, 0, 0},
        {"", false, 0, 0, 0},
    };
    for (const Case& c : cases) {
        const auto v = parse_version_text(c.text);
        ASSERT_EQ(v.has_value(), c.ok) << c.text;
        if (v) {
            EXPECT_EQ(v->major, c.major) << c.text;
            EXPECT_EQ(v->minor, c.minor) << c.text;
            EXPECT_EQ(v->patch, c.patch) << c.text;
        }
    }
}

TEST(HttpRequest, AbsoluteUrlAndNoHeaderLines)
{
    EXPECT_EQ(version_request("updates.example"),
              "GET http://updates.example/programator/TQ512_TQ511_version HTTP/1.0\r\n\r\n");
    EXPECT_EQ(installer_request("updates.example:8080", 3, 64),
              "GET http://updates.example:8080/programator/TQ512_TQ511_setup_3.64.0.exe "
              "HTTP/1.0\r\n\r\n");
}

} // namespace
} // namespace tq
