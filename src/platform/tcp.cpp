#include "platform/tcp.h"

#include <gio/gio.h>

#include <vector>

namespace tq::platform {
namespace {

gint64 timeout_us(int timeout_ms) { return timeout_ms <= 0 ? 0 : gint64(timeout_ms) * 1000; }

// Waits for a condition; true when it holds (errors and hang-ups count, so
// that the following call reports them).
bool wait_for(GSocket* socket, GIOCondition condition, int timeout_ms)
{
    const GIOCondition now = g_socket_condition_check(
        socket, GIOCondition(condition | G_IO_ERR | G_IO_HUP));
    if (now)
        return true;
    if (timeout_ms <= 0)
        return false;
    return g_socket_condition_timed_wait(socket, condition, timeout_us(timeout_ms), nullptr,
                                         nullptr) != FALSE;
}

} // namespace

struct TcpEndpoint::Impl {
    std::vector<GSocketAddress*> addresses;
    ~Impl()
    {
        for (GSocketAddress* a : addresses)
            g_object_unref(a);
    }
};

struct TcpConnection::Impl {
    GSocket* socket = nullptr;
    ~Impl()
    {
        if (socket) {
            g_socket_close(socket, nullptr);
            g_object_unref(socket);
        }
    }
};

TcpEndpoint::TcpEndpoint(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
TcpEndpoint::~TcpEndpoint() = default;

std::unique_ptr<TcpEndpoint> TcpEndpoint::resolve(const std::string& host_port,
                                                  std::uint16_t default_port)
{
    if (host_port.empty())
        return nullptr;
    GError* error = nullptr;
    GSocketConnectable* address =
        g_network_address_parse(host_port.c_str(), default_port, &error);
    if (!address) {
        g_clear_error(&error);
        return nullptr;
    }
    auto impl = std::make_unique<Impl>();
    GSocketAddressEnumerator* e = g_socket_connectable_enumerate(address);
    while (GSocketAddress* a = g_socket_address_enumerator_next(e, nullptr, &error)) {
        if (G_IS_INET_SOCKET_ADDRESS(a))
            impl->addresses.push_back(a);
        else
            g_object_unref(a);
    }
    g_clear_error(&error);
    g_object_unref(e);
    g_object_unref(address);
    if (impl->addresses.empty())
        return nullptr;
    return std::unique_ptr<TcpEndpoint>(new TcpEndpoint(std::move(impl)));
}

std::unique_ptr<TcpConnection> TcpEndpoint::connect(int timeout_ms) const
{
    for (GSocketAddress* address : impl_->addresses) {
        GSocket* socket = g_socket_new(g_socket_address_get_family(address),
                                       G_SOCKET_TYPE_STREAM, G_SOCKET_PROTOCOL_TCP, nullptr);
        if (!socket)
            continue;
        // Non-blocking throughout: every wait is an explicit, bounded one.
        g_socket_set_blocking(socket, FALSE);
        GError* error = nullptr;
        bool connected = g_socket_connect(socket, address, nullptr, &error) != FALSE;
        if (!connected && g_error_matches(error, G_IO_ERROR, G_IO_ERROR_PENDING)) {
            g_clear_error(&error);
            if (g_socket_condition_timed_wait(socket, G_IO_OUT, timeout_us(timeout_ms), nullptr,
                                              nullptr))
                connected = g_socket_check_connect_result(socket, &error) != FALSE;
        }
        g_clear_error(&error);
        if (connected) {
            auto impl = std::make_unique<TcpConnection::Impl>();
            impl->socket = socket;
            return std::make_unique<TcpConnection>(std::move(impl));
        }
        g_socket_close(socket, nullptr);
        g_object_unref(socket);
    }
    return nullptr;
}

TcpConnection::TcpConnection(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
TcpConnection::~TcpConnection() = default;

std::size_t TcpConnection::send(const std::uint8_t* data, std::size_t count, int timeout_ms)
{
    const gint64 deadline = g_get_monotonic_time() + timeout_us(timeout_ms);
    std::size_t sent = 0;
    while (sent < count) {
        GError* error = nullptr;
        const gssize n = g_socket_send(impl_->socket, reinterpret_cast<const gchar*>(data + sent),
                                       count - sent, nullptr, &error);
        if (n > 0) {
            sent += std::size_t(n);
            continue;
        }
        const bool would_block = g_error_matches(error, G_IO_ERROR, G_IO_ERROR_WOULD_BLOCK);
        g_clear_error(&error);
        if (!would_block)
            break;
        const gint64 left = deadline - g_get_monotonic_time();
        if (left <= 0 ||
            !g_socket_condition_timed_wait(impl_->socket, G_IO_OUT, left, nullptr, nullptr))
            break;
    }
    return sent;
}

long TcpConnection::receive(std::uint8_t* data, std::size_t max, int timeout_ms)
{
    if (max == 0)
        return kTimedOut;
    if (!wait_for(impl_->socket, G_IO_IN, timeout_ms))
        return kTimedOut;
    GError* error = nullptr;
    const gssize n =
        g_socket_receive(impl_->socket, reinterpret_cast<gchar*>(data), max, nullptr, &error);
    if (n < 0) {
        const bool would_block = g_error_matches(error, G_IO_ERROR, G_IO_ERROR_WOULD_BLOCK);
        g_clear_error(&error);
        return would_block ? kTimedOut : kError;
    }
    return long(n);
}

bool TcpConnection::wait_readable(int timeout_ms)
{
    return wait_for(impl_->socket, G_IO_IN, timeout_ms);
}

bool TcpConnection::wait_writable(int timeout_ms)
{
    return wait_for(impl_->socket, G_IO_OUT, timeout_ms);
}

} // namespace tq::platform
