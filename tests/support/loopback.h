// Real peers on 127.0.0.1 for the tests: a listening socket whose script
// runs in its own thread while the code under test runs on the test's
// thread. Every wait is bounded.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <thread>

namespace tq::test {

// One accepted connection, seen from the peer's side.
class PeerConnection {
public:
    explicit PeerConnection(int fd) : fd_(fd) {}
    ~PeerConnection();
    PeerConnection(PeerConnection&& o) noexcept : fd_(o.fd_) { o.fd_ = -1; }
    PeerConnection(const PeerConnection&) = delete;
    PeerConnection& operator=(const PeerConnection&) = delete;

    bool valid() const { return fd_ >= 0; }
    bool send(std::string_view bytes);
    // Exactly n bytes, or fewer when the connection ends or time runs out.
    std::string read_exactly(std::size_t n, int timeout_ms = 5000);
    // Up to and including the first LF.
    std::string read_line(int timeout_ms = 5000);
    // Up to and including the first empty line (an HTTP request).
    std::string read_request(int timeout_ms = 5000);
    // True when the other side closed within the time (bytes before the
    // close are returned in rest).
    bool wait_closed(int timeout_ms, std::string* rest = nullptr);
    void close();

private:
    int fd_;
};

class LoopbackServer {
public:
    LoopbackServer();
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    std::uint16_t port() const { return port_; }
    // "127.0.0.1:PORT".
    std::string host() const;
    // The next connection within the time; invalid when none came.
    PeerConnection accept(int timeout_ms = 5000);
    // Runs the script in the server's thread.
    void run(std::function<void(LoopbackServer&)> script);
    bool done() const { return done_; }
    void join();

private:
    int fd_ = -1;
    std::uint16_t port_ = 0;
    std::thread thread_;
    std::atomic<bool> done_{false};
};

// Calls step until the server's script has finished or the wall-clock time
// is up; false when time ran out.
bool drive_until_done(LoopbackServer& server, const std::function<void()>& step,
                      int timeout_ms = 10000);

// A port on 127.0.0.1 where nobody listens.
std::uint16_t closed_port();

} // namespace tq::test
