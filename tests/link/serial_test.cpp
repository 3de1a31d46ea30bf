#include "link/can_analyzer.h"
#include "link/serial.h"
#include "sim/can_analyzer_unit.h"

#include <gtest/gtest.h>

#include <chrono>
#include <sys/file.h>
#include <unistd.h>
#include <termios.h>

namespace tq {
namespace {

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

TEST(Serial, RefusesBadArgumentsWithItsMessage)
{
    sim::Pty pty;
    ASSERT_FALSE(pty.slave_name().empty());
    struct Case {
        int index;
        int baud;
        const char* mode;
        const char* printed;
    } cases[] = {
        {256, 115200, "8N1", "illegal comport number\n"},
        {-1, 115200, "8N1", "illegal comport number\n"},
        {0, 14400, "8N1", "invalid baudrate\n"},
        {0, 0, "8N1", "invalid baudrate\n"},
        {0, 115200, "8N", "invalid mode \"8N\"\n"},
        {0, 115200, "8N12", "invalid mode \"8N12\"\n"},
        {0, 115200, "9N1", "invalid number of data-bits '9'\n"},
        {0, 115200, "4N1", "invalid number of data-bits '4'\n"},
        {0, 115200, "8X1", "invalid parity 'X'\n"},
        {0, 115200, "8N3", "invalid number of stop bits '3'\n"},
        {1, 115200, "8N1", "unable to open comport\n"}, // no device behind index 1
    };
    SerialState s;
    ASSERT_EQ(serial_port_for(s, pty.slave_name()), 0);
    for (const Case& c : cases) {
        CaptureStdout();
        const int result = serial_open(s, c.index, c.baud, c.mode);
        EXPECT_EQ(GetCapturedStdout(), c.printed) << c.mode << " " << c.baud;
        EXPECT_EQ(result, 1);
    }
    EXPECT_EQ(s.fds[0], -1);

    const int missing = serial_port_for(s, "/nonexistent/ttyACM9");
    ASSERT_EQ(missing, 1);
    CaptureStdout();
    EXPECT_EQ(serial_open(s, missing, 115200, "8N1"), 1);
    EXPECT_EQ(GetCapturedStdout(), "unable to open comport\n");
}

TEST(Serial, OpensAPseudoTerminalRawAndExclusive)
{
    sim::Pty pty;
    SerialState s;
    const int index = serial_port_for(s, pty.slave_name());
    CaptureStdout();
    const int opened = serial_open(s, index, 115200, "8n1");
    EXPECT_EQ(GetCapturedStdout(), "");
    ASSERT_EQ(opened, 0);

    termios tio{};
    ASSERT_EQ(tcgetattr(s.fds[std::size_t(index)], &tio), 0);
    EXPECT_EQ(cfgetospeed(&tio) & CBAUD, speed_t(B115200));
    EXPECT_EQ(tio.c_cflag & CSIZE, tcflag_t(CS8));
    EXPECT_EQ(tio.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(tio.c_oflag & OPOST, 0u);
    EXPECT_EQ(tio.c_cc[VMIN], 0);

    // Nobody else gets the port while it is open, not even this program
    // under another index.
    SerialState other;
    const int second = serial_port_for(other, pty.slave_name());
    CaptureStdout();
    EXPECT_EQ(serial_open(other, second, 115200, "8N1"), 1);
    EXPECT_EQ(GetCapturedStdout(), "unable to open comport\n");

    // Reads never wait; bytes pass both ways untouched (no CR/LF mapping).
    char buffer[16];
    EXPECT_EQ(serial_read(s, index, buffer, sizeof buffer), 0);
    ASSERT_EQ(write(pty.master(), "a\r\nb\x03", 5), 5);
    usleep(20000);
    EXPECT_EQ(serial_read(s, index, buffer, sizeof buffer), 5);
    EXPECT_EQ(std::string(buffer, 5), "a\r\nb\x03");
    EXPECT_EQ(serial_write(s, index, "zzz\n", 4), 4);
    usleep(20000);
    EXPECT_EQ(pty.drain(), "zzz\n");

    serial_close(s, index);
    EXPECT_EQ(s.fds[std::size_t(index)], -1);
    EXPECT_EQ(serial_write(s, index, "z", 1), -1);
    EXPECT_EQ(serial_read(s, index, buffer, 1), 0);
    CaptureStdout();
    const int reopened = serial_open(other, second, 115200, "8N1");
    EXPECT_EQ(GetCapturedStdout(), "");
    EXPECT_EQ(reopened, 0);
}

TEST(Serial, OtherModesAndRates)
{
    // A pseudo-terminal always reports 8 data bits without parity, so only
    // the stop bits and the rate show here.
    sim::Pty pty;
    SerialState s;
    const int index = serial_port_for(s, pty.slave_name());
    struct Case {
        int baud;
        const char* mode;
        bool two_stop_bits;
        speed_t code;
    } cases[] = {
        {9600, "7E2", true, B9600},
        {128000, "8o1", false, 0},
        {1000000, "5N2", true, B1000000},
    };
    for (const Case& c : cases) {
        CaptureStdout();
        const int opened = serial_open(s, index, c.baud, c.mode);
        EXPECT_EQ(GetCapturedStdout(), "");
        ASSERT_EQ(opened, 0) << c.mode;
        termios tio{};
        ASSERT_EQ(tcgetattr(s.fds[std::size_t(index)], &tio), 0);
        EXPECT_EQ((tio.c_cflag & CSTOPB) != 0, c.two_stop_bits) << c.mode;
        if (c.code) {
            EXPECT_EQ(cfgetospeed(&tio), c.code) << c.baud;
        }
        // An open port is not opened a second time.
        CaptureStdout();
        EXPECT_EQ(serial_open(s, index, c.baud, c.mode), 1);
        EXPECT_EQ(GetCapturedStdout(), "unable to open comport\n");
        EXPECT_GE(s.fds[std::size_t(index)], 0) << "the open port stays open";
        serial_close(s, index);
    }
}

TEST(Serial, AWriteNobodyTakesEndsWithinItsTimeOut)
{
    sim::Pty pty;
    SerialState s;
    const int index = serial_port_for(s, pty.slave_name());
    CaptureStdout();
    const int opened = serial_open(s, index, 115200, "8N1");
    GetCapturedStdout();
    ASSERT_EQ(opened, 0);
    const std::string lots(4 << 20, 'x');
    const auto start = std::chrono::steady_clock::now();
    const int written = serial_write(s, index, lots.data(), int(lots.size()));
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GT(written, 0);
    EXPECT_LT(written, int(lots.size()));
    EXPECT_GE(took, std::chrono::milliseconds(250));
    EXPECT_LT(took, std::chrono::milliseconds(2000));
}

TEST(Serial, IndicesFollowDevicePaths)
{
    SerialState s;
    EXPECT_EQ(serial_port_for(s, "/dev/ttyACM0"), 0);
    EXPECT_EQ(serial_port_for(s, "/dev/ttyUSB0"), 1);
    EXPECT_EQ(serial_port_for(s, "/dev/ttyACM0"), 0);
    for (int i = 2; i < kSerialPortCount; ++i)
        serial_port_for(s, "/dev/ttyX" + std::to_string(i));
    EXPECT_EQ(serial_port_for(s, "/dev/one-too-many"), -1);
}

// The CAN-analyzer search over fixture trees.
struct CanSearch {
    CanSearch()
    {
        s.sysfs_root = tree.root();
        s.dev_root = tree.dev();
    }
    int run()
    {
        CaptureStdout();
        find_can_analyzer_port(s, [this] { ++driver_messages; });
        printed = GetCapturedStdout();
        return s.can_port_state;
    }
    sim::SysfsTree tree;
    SerialState s;
    int driver_messages = 0;
    std::string printed;
};

TEST(CanAnalyzer, NoUnitLeavesEverythingAlone)
{
    CanSearch c;
    sim::Pty other;
    c.tree.add_platform_tty("ttyS0");
    c.tree.add_usb_device("1-1", "12aa", "f1c9", {}); // the HID programmer
    c.tree.add_usb_device("1-3", "0403", "6001", {"ttyUSB0"});
    c.tree.point_dev("ttyUSB0", other.slave_name());
    EXPECT_EQ(c.run(), kCanPortNone);
    EXPECT_EQ(c.driver_messages, 0);
    EXPECT_EQ(c.printed, "");
    EXPECT_EQ(c.s.fds[0], -1);

    SerialState no_sysfs;
    no_sysfs.sysfs_root = "/nonexistent";
    find_can_analyzer_port(no_sysfs, {});
    EXPECT_EQ(no_sysfs.can_port_state, kCanPortNone);
}

TEST(CanAnalyzer, OpensTheUnitsPort)
{
    CanSearch c;
    sim::Pty pty;
    c.tree.add_platform_tty("ttyS0");
    c.tree.add_usb_device("1-3", "0403", "6001", {"ttyUSB0"});
    c.tree.add_usb_device("1-2.4", "12AA", "4F58", {"ttyACM3"});
    c.tree.point_dev("ttyACM3", pty.slave_name());
    EXPECT_EQ(c.run(), kCanPortOpen);
    EXPECT_EQ(c.s.paths[std::size_t(c.s.can_port_index)], c.tree.dev() + "/ttyACM3");
    EXPECT_EQ(serial_write(c.s, c.s.can_port_index, "zzz", 3), 3);
    usleep(20000);
    EXPECT_EQ(pty.drain(), "zzz");

    // Found once, not searched again until released.
    c.run();
    EXPECT_EQ(c.s.can_port_state, kCanPortOpen);
    release_can_analyzer_port(c.s);
    EXPECT_EQ(c.s.can_port_state, kCanPortNone);
    EXPECT_EQ(c.s.fds[std::size_t(c.s.can_port_index)], -1);
    EXPECT_EQ(c.run(), kCanPortOpen);
}

TEST(CanAnalyzer, AUnitWithoutDriverGetsTheMessageOnce)
{
    CanSearch c;
    sim::Pty pty;
    c.tree.add_usb_device("1-1", "12aa", "4f58", {});
    c.tree.add_usb_device("1-2", "12aa", "4f58", {"ttyACM0"});
    c.tree.point_dev("ttyACM0", pty.slave_name());
    EXPECT_EQ(c.run(), kCanPortDriverMissing);
    EXPECT_EQ(c.driver_messages, 1);
    EXPECT_EQ(c.s.fds[0], -1) << "the search stops at the unit without a driver";
    EXPECT_EQ(c.run(), kCanPortDriverMissing);
    EXPECT_EQ(c.driver_messages, 1);
}

TEST(CanAnalyzer, APortThatWillNotOpenPassesToTheNextUnit)
{
    CanSearch c;
    sim::Pty busy, free;
    c.tree.add_usb_device("1-1", "12aa", "4f58", {"ttyACM0"});
    c.tree.add_usb_device("1-2", "12aa", "4f58", {"ttyACM1"});
    c.tree.add_usb_device("1-4", "12aa", "4f58", {"ttyACM2"}); // its dev entry is missing
    c.tree.point_dev("ttyACM0", busy.slave_name());
    c.tree.point_dev("ttyACM1", free.slave_name());
    SerialState holder;
    const int held = serial_port_for(holder, busy.slave_name());
    CaptureStdout();
    const int opened = serial_open(holder, held, 115200, "8N1");
    GetCapturedStdout();
    ASSERT_EQ(opened, 0);

    EXPECT_EQ(c.run(), kCanPortOpen);
    EXPECT_EQ(c.printed, "unable to open comport\n");
    EXPECT_EQ(c.s.paths[std::size_t(c.s.can_port_index)], c.tree.dev() + "/ttyACM1");
}

} // namespace
} // namespace tq
