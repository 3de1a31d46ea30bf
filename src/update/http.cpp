#include "update/http.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace tq {
namespace {

constexpr std::string_view kLengthHeader = "Content-Length: ";
constexpr long kLengthCap = 0x7FFFFFFF;

bool is_space(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// As atoi reads a number, but clamped instead of overflowing.
long read_number(const char* p, const char* end)
{
    while (p < end && is_space(*p))
        ++p;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-'))
        negative = *p++ == '-';
    long value = 0;
    for (; p < end && *p >= '0' && *p <= '9'; ++p)
        value = std::min(kLengthCap, value * 10 + (*p - '0'));
    return negative ? -value : value;
}

// One "%d" of scanf: blanks, a sign, digits. False without digits or when
// the number does not fit.
bool scan_int(std::string_view& s, int& out)
{
    std::size_t i = 0;
    while (i < s.size() && is_space(s[i]))
        ++i;
    if (i < s.size() && s[i] == '+')
        ++i;
    const auto [end, ec] = std::from_chars(s.data() + i, s.data() + s.size(), out);
    if (ec != std::errc())
        return false;
    s.remove_prefix(std::size_t(end - s.data()));
    return true;
}

std::string request(const std::string& host, const std::string& path)
{
    return "GET http://" + host + path + " HTTP/1.0\r\n\r\n";
}

} // namespace

HttpBody find_http_body(const std::uint8_t* data, std::size_t count)
{
    const char* text = reinterpret_cast<const char*>(data);
    const std::size_t limit = std::min(count, kHeaderSearch);
    HttpBody found;
    std::size_t line = 0;
    long length = 0;
    while (line < limit) {
        const void* lf = std::memchr(text + line, '\n', limit - line);
        if (!lf)
            break;
        const std::size_t end = std::size_t(static_cast<const char*>(lf) - text);
        if (end - line >= kLengthHeader.size() &&
            std::memcmp(text + line, kLengthHeader.data(), kLengthHeader.size()) == 0)
            length = read_number(text + line + kLengthHeader.size(), text + end);
        std::size_t next = end + 1;
        while (next < limit && text[next] == '\r')
            ++next;
        if (next < limit && text[next] == '\n') {
            found.ended = true;
            found.offset = next + 1;
            found.length = length;
            return found;
        }
        line = next;
    }
    found.offset = count;
    found.length = 0;
    return found;
}

bool http_status_ok(const std::uint8_t* data, std::size_t count)
{
    const std::string_view s(reinterpret_cast<const char*>(data), std::min<std::size_t>(count, 64));
    if (s.substr(0, 5) != "HTTP/")
        return false;
    const std::size_t blank = s.find(' ');
    return blank != std::string_view::npos && blank + 3 < s.size() && s[blank + 1] == '2' &&
           s[blank + 2] >= '0' && s[blank + 2] <= '9' && s[blank + 3] >= '0' &&
           s[blank + 3] <= '9';
}

std::string version_request(const std::string& host)
{
    return request(host, std::string("/programator/") + kProductCode + "_version");
}

std::string installer_file_name(int major, int minor)
{
    return std::string(kProductCode) + "_setup_" + std::to_string(major) + "." +
           std::to_string(minor) + ".0.exe";
}

std::string installer_request(const std::string& host, int major, int minor)
{
    return request(host, "/programator/" + installer_file_name(major, minor));
}

std::optional<Version> parse_version_text(std::string_view s)
{
    // Text after a NUL is not part of it, as for a C string.
    s = s.substr(0, s.find('\0'));
    if (s.substr(0, 7) != "VERSION")
        return std::nullopt;
    s.remove_prefix(7);
    Version v;
    int* parts[] = {&v.major, &v.minor, &v.patch};
    for (int i = 0; i < 3; ++i) {
        if (i > 0) {
            if (s.empty() || s.front() != '.')
                return std::nullopt;
            s.remove_prefix(1);
        }
        if (!scan_int(s, *parts[i]) || *parts[i] < 0)
            return std::nullopt;
    }
    return v;
}

std::string_view http_body_text(const std::uint8_t* data, std::size_t count)
{
    const HttpBody body = find_http_body(data, count);
    if (body.length <= 0 || body.offset >= count)
        return {};
    const std::size_t n = std::min<std::size_t>(std::size_t(body.length), count - body.offset);
    return std::string_view(reinterpret_cast<const char*>(data) + body.offset, n);
}

} // namespace tq
