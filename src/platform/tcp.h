// A TCP client over GIO: name resolution, a connect bounded in time, and
// sends and receives with explicit waits, so that a silent or vanished peer
// never holds the program longer than the caller allows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace tq::platform {

class TcpConnection;

// A host resolved to its addresses.
class TcpEndpoint {
public:
    // host_port is "name", "name:port", "address" or "[v6 address]:port";
    // default_port applies when it names none. Null when the text is not a
    // host or the name does not resolve.
    static std::unique_ptr<TcpEndpoint> resolve(const std::string& host_port,
                                                std::uint16_t default_port);
    ~TcpEndpoint();
    TcpEndpoint(const TcpEndpoint&) = delete;
    TcpEndpoint& operator=(const TcpEndpoint&) = delete;

    // Connects to the first address that accepts, giving each timeout_ms.
    // Null when none does.
    std::unique_ptr<TcpConnection> connect(int timeout_ms) const;

    struct Impl;

private:
    explicit TcpEndpoint(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

class TcpConnection {
public:
    ~TcpConnection();
    TcpConnection(const TcpConnection&) = delete;
    TcpConnection& operator=(const TcpConnection&) = delete;

    // Results of receive besides a byte count.
    static constexpr long kClosed = 0;    // the peer closed the connection
    static constexpr long kError = -1;
    static constexpr long kTimedOut = -2; // nothing arrived in time

    // Sends every byte, waiting up to timeout_ms in all for room. Returns
    // the number of bytes sent (fewer than count on error or time-out).
    std::size_t send(const std::uint8_t* data, std::size_t count, int timeout_ms);
    // Waits up to timeout_ms for data, then receives up to max bytes.
    long receive(std::uint8_t* data, std::size_t max, int timeout_ms);
    // True when data (or an error, or the peer's close) is waiting.
    bool wait_readable(int timeout_ms);
    // True when a send would not block.
    bool wait_writable(int timeout_ms);

    struct Impl;
    explicit TcpConnection(std::unique_ptr<Impl> impl);

private:
    std::unique_ptr<Impl> impl_;
};

} // namespace tq::platform
