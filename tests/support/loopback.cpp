#include "support/loopback.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string_view>

namespace tq::test {
namespace {

using Clock = std::chrono::steady_clock;

int ms_left(Clock::time_point deadline)
{
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? int(left) : 0;
}

bool wait_readable(int fd, int timeout_ms)
{
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, timeout_ms) > 0;
}

// Reads byte by byte until what was read ends with end, the peer closes or
// the time is up.
std::string read_through(int fd, std::string_view end, int timeout_ms)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    std::string out;
    char c = 0;
    while (fd >= 0 && wait_readable(fd, ms_left(deadline)) && ::recv(fd, &c, 1, 0) == 1) {
        out += c;
        if (out.ends_with(end))
            break;
    }
    return out;
}

int listening_socket(std::uint16_t& port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = 0;
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::listen(fd, 8);
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    port = ntohs(a.sin_port);
    return fd;
}

} // namespace

PeerConnection::~PeerConnection() { close(); }

void PeerConnection::close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

bool PeerConnection::send(std::string_view bytes)
{
    std::size_t sent = 0;
    while (fd_ >= 0 && sent < bytes.size()) {
        const ssize_t n = ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        sent += std::size_t(n);
    }
    return sent == bytes.size();
}

std::string PeerConnection::read_exactly(std::size_t n, int timeout_ms)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    std::string out;
    char buffer[4096];
    while (fd_ >= 0 && out.size() < n && wait_readable(fd_, ms_left(deadline))) {
        const ssize_t got = ::recv(fd_, buffer, std::min(sizeof buffer, n - out.size()), 0);
        if (got <= 0)
            break;
        out.append(buffer, std::size_t(got));
    }
    return out;
}

std::string PeerConnection::read_line(int timeout_ms) { return read_through(fd_, "\n", timeout_ms); }

std::string PeerConnection::read_request(int timeout_ms)
{
    return read_through(fd_, "\r\n\r\n", timeout_ms);
}

bool PeerConnection::wait_closed(int timeout_ms, std::string* rest)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    char buffer[4096];
    while (fd_ >= 0 && wait_readable(fd_, ms_left(deadline))) {
        const ssize_t got = ::recv(fd_, buffer, sizeof buffer, 0);
        if (got <= 0)
            return true;
        if (rest)
            rest->append(buffer, std::size_t(got));
    }
    return false;
}

LoopbackServer::LoopbackServer() { fd_ = listening_socket(port_); }

LoopbackServer::~LoopbackServer()
{
    join();
    if (fd_ >= 0)
        ::close(fd_);
}

std::string LoopbackServer::host() const { return "127.0.0.1:" + std::to_string(port_); }

PeerConnection LoopbackServer::accept(int timeout_ms)
{
    if (!wait_readable(fd_, timeout_ms))
        return PeerConnection(-1);
    return PeerConnection(::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC));
}

void LoopbackServer::run(std::function<void(LoopbackServer&)> script)
{
    done_ = false;
    thread_ = std::thread([this, script = std::move(script)] {
        script(*this);
        done_ = true;
    });
}

void LoopbackServer::join()
{
    if (thread_.joinable())
        thread_.join();
}

bool drive_until_done(LoopbackServer& server, const std::function<void()>& step, int timeout_ms)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    while (!server.done()) {
        if (Clock::now() > deadline)
            return false;
        step();
    }
    return true;
}

std::uint16_t closed_port()
{
    std::uint16_t port = 0;
    const int fd = listening_socket(port);
    ::close(fd);
    return port;
}

} // namespace tq::test
