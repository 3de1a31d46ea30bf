// The update server's HTTP/1.0 exchange: the two requests, finding the body
// of an answer and reading the version text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tq {

inline constexpr const char* kProductCode = "TQ512_TQ511";
inline constexpr int kOwnMajor = 3;
inline constexpr int kOwnMinor = 63;
// Only this much of an answer is searched for the end of its header.
inline constexpr std::size_t kHeaderSearch = 2048;

struct HttpBody {
    bool ended = false;     // the header's end was found
    std::size_t offset = 0; // first body byte; count when the header does not end
    long length = 0;        // the Content-Length value; 0 when there is none
};

// Lines end at LF; a line beginning "Content-Length: " (exactly so) gives
// the body length; after a line's LF any CR bytes are skipped and a further
// LF ends the header. No end within the first 2,048 bytes: length 0.
HttpBody find_http_body(const std::uint8_t* data, std::size_t count);

// True for a status line "HTTP/<version> 2xx".
bool http_status_ok(const std::uint8_t* data, std::size_t count);

// "GET http://HOST/programator/... HTTP/1.0" and an empty line.
std::string version_request(const std::string& host);
std::string installer_request(const std::string& host, int major, int minor);
// The installer's file name on the server ("TQ512_TQ511_setup_3.64.0.exe").
std::string installer_file_name(int major, int minor);

struct Version {
    int major = 0;
    int minor = 0;
    int patch = 0;
};
// "VERSION %d.%d.%d"; nothing unless all three numbers are there (and none
// is negative or out of range).
std::optional<Version> parse_version_text(std::string_view text);

// The body of an answer cut at its length; empty when it has none.
std::string_view http_body_text(const std::uint8_t* data, std::size_t count);

} // namespace tq
