#include "link/serial.h"

// The kernel's termios2 carries any baud rate (BOTHER); it cannot be mixed
// with the C library's <termios.h>.
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <unistd.h>

namespace tq {
namespace {

constexpr int kWriteTimeoutMs = 300;
// The accepted rates with their standard codes; the two without one are set
// as a plain number (BOTHER).
struct Rate {
    int baud;
    unsigned code;
};
constexpr Rate kRates[] = {
    {110, B110},       {300, B300},         {600, B600},         {1200, B1200},
    {2400, B2400},     {4800, B4800},       {9600, B9600},       {19200, B19200},
    {38400, B38400},   {57600, B57600},     {115200, B115200},   {128000, BOTHER},
    {256000, BOTHER},  {500000, B500000},   {1000000, B1000000},
};

void say(const char* message)
{
    std::printf("%s\n", message);
    std::fflush(stdout);
}

bool valid_index(int index) { return index >= 0 && index < kSerialPortCount; }

long long monotonic_ms()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (long long)ts.tv_sec * 1000 + ts.tv_nsec / 1'000'000;
}

int fail_closing(int fd, const char* message)
{
    say(message);
    close(fd);
    return 1;
}

} // namespace

SerialState::~SerialState()
{
    // Only an index with a path can have been opened.
    for (std::size_t i = 0; i < paths.size(); ++i) {
        if (fds[i] >= 0)
            close(fds[i]);
    }
}

int serial_port_for(SerialState& s, const std::string& path)
{
    for (std::size_t i = 0; i < s.paths.size(); ++i) {
        if (s.paths[i] == path)
            return int(i);
    }
    for (std::size_t i = 0; i < s.paths.size(); ++i) {
        if (s.paths[i].empty()) {
            s.paths[i] = path;
            return int(i);
        }
    }
    if (s.paths.size() == kSerialPortCount)
        return -1;
    s.paths.push_back(path);
    return int(s.paths.size() - 1);
}

int serial_open(SerialState& s, int index, int baud, const char* mode, int* error)
{
    if (error)
        *error = 0;
    if (!valid_index(index)) {
        say("illegal comport number");
        return 1;
    }
    const Rate* rate = nullptr;
    for (const Rate& r : kRates) {
        if (r.baud == baud)
            rate = &r;
    }
    if (!rate) {
        say("invalid baudrate");
        return 1;
    }
    if (!mode || std::strlen(mode) != 3) {
        std::printf("invalid mode \"%s\"\n", mode ? mode : "");
        std::fflush(stdout);
        return 1;
    }
    const char data = mode[0];
    const char parity = mode[1];
    const char stop = mode[2];
    if (data < '5' || data > '8') {
        std::printf("invalid number of data-bits '%c'\n", data);
        std::fflush(stdout);
        return 1;
    }
    if (!std::strchr("NnEeOo", parity)) {
        std::printf("invalid parity '%c'\n", parity);
        std::fflush(stdout);
        return 1;
    }
    if (stop != '1' && stop != '2') {
        std::printf("invalid number of stop bits '%c'\n", stop);
        std::fflush(stdout);
        return 1;
    }

    const std::string path = std::size_t(index) < s.paths.size() ? s.paths[std::size_t(index)] : "";
    const int fd = path.empty() ? -1 : open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (error)
            *error = path.empty() ? ENOENT : errno;
        say("unable to open comport");
        return 1;
    }
    // Nobody else may use the port while it is ours: TIOCEXCL keeps other
    // opens out, the lock also keeps out those who may ignore that.
    if (ioctl(fd, TIOCEXCL) != 0 || flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (error)
            *error = EBUSY;
        return fail_closing(fd, "unable to open comport");
    }

    struct termios2 tio{};
    if (ioctl(fd, TCGETS2, &tio) != 0)
        return fail_closing(fd, "unable to set comport dcb settings");
    tio.c_iflag = 0;
    tio.c_oflag = 0;
    tio.c_lflag = 0;
    tio.c_cflag = CREAD | CLOCAL | rate->code | (rate->code << IBSHIFT);
    tio.c_cflag |= data == '5' ? CS5 : data == '6' ? CS6 : data == '7' ? CS7 : CS8;
    if (parity != 'N' && parity != 'n') {
        tio.c_cflag |= PARENB;
        tio.c_iflag |= INPCK;
        if (parity == 'O' || parity == 'o')
            tio.c_cflag |= PARODD;
    }
    if (stop == '2')
        tio.c_cflag |= CSTOPB;
    tio.c_ispeed = speed_t(baud);
    tio.c_ospeed = speed_t(baud);
    if (ioctl(fd, TCSETS2, &tio) != 0)
        return fail_closing(fd, "unable to set comport cfg settings");

    // Reads return at once with whatever is there.
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    if (ioctl(fd, TCSETS2, &tio) != 0)
        return fail_closing(fd, "unable to set comport time-out settings");

    // DTR and RTS on; a port without modem lines has nothing to set.
    int lines = TIOCM_DTR | TIOCM_RTS;
    ioctl(fd, TIOCMBIS, &lines);

    serial_close(s, index);
    s.fds[std::size_t(index)] = fd;
    return 0;
}

int serial_read(SerialState& s, int index, void* buffer, int count)
{
    if (!valid_index(index) || s.fds[std::size_t(index)] < 0 || count <= 0)
        return 0;
    for (;;) {
        const ssize_t n = read(s.fds[std::size_t(index)], buffer, std::size_t(count));
        if (n < 0 && errno == EINTR)
            continue;
        return n > 0 ? int(n) : 0;
    }
}

int serial_write(SerialState& s, int index, const void* buffer, int count)
{
    if (!valid_index(index) || s.fds[std::size_t(index)] < 0 || count < 0)
        return -1;
    const int fd = s.fds[std::size_t(index)];
    const auto* bytes = static_cast<const unsigned char*>(buffer);
    const long long deadline = monotonic_ms() + kWriteTimeoutMs;
    int done = 0;
    while (done < count) {
        const ssize_t n = write(fd, bytes + done, std::size_t(count - done));
        if (n > 0) {
            done += int(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN)
            return done > 0 ? done : -1;
        const long long left = deadline - monotonic_ms();
        if (left <= 0)
            break;
        pollfd p{fd, POLLOUT, 0};
        if (poll(&p, 1, int(left)) < 0 && errno != EINTR)
            break;
    }
    return done;
}

void serial_close(SerialState& s, int index)
{
    if (!valid_index(index) || s.fds[std::size_t(index)] < 0)
        return;
    close(s.fds[std::size_t(index)]);
    s.fds[std::size_t(index)] = -1;
}

} // namespace tq
