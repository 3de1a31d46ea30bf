// Runs the real tq512 program as a child process for the benchmarks that
// measure it from outside: its CPU time and wake-ups from /proc, its peak
// memory, the moment its main window is mapped. Each run gets a home and a
// runtime folder of its own, so that neither the user's preferences nor a
// running tq512's single-instance lock are touched.
//
// The small GTK module beside this file (module/tq512_bench_module.cpp) is
// loaded into the child through GTK_MODULES when a run has to press a
// button or a key in it; it says when it is done through a pipe.
#pragma once

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#ifndef TQ_PROGRAM
#define TQ_PROGRAM "tq512"
#endif
#ifndef TQ_BENCH_MODULE
#define TQ_BENCH_MODULE ""
#endif

namespace tq::bench {

inline double monotonic_ms()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

inline void pause_ms(int ms)
{
    timespec ts{ms / 1000, long(ms % 1000) * 1'000'000};
    while (nanosleep(&ts, &ts) != 0) {
    }
}

inline std::string read_text(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The benchmarks need an X display: without one they start again under
// xvfb-run, which makes a private Xvfb for the run.
inline void ensure_display(char** argv)
{
    const char* display = std::getenv("DISPLAY");
    if (display && *display)
        return;
    if (std::getenv("TQ_BENCH_UNDER_XVFB")) {
        std::fprintf(stderr, "xvfb-run gave no DISPLAY\n");
        std::exit(1);
    }
    setenv("TQ_BENCH_UNDER_XVFB", "1", 1);
    std::vector<char*> args = {const_cast<char*>("xvfb-run"), const_cast<char*>("-a"),
                               const_cast<char*>("-s"),
                               const_cast<char*>("-screen 0 1280x1024x24 -nolisten tcp")};
    static char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) {
        std::fprintf(stderr, "cannot find this program's own path\n");
        std::exit(1);
    }
    self[n] = 0;
    args.push_back(self);
    for (char** a = argv + 1; *a; ++a)
        args.push_back(*a);
    args.push_back(nullptr);
    execvp(args[0], args.data());
    std::fprintf(stderr, "no DISPLAY and xvfb-run cannot be started: %s\n", std::strerror(errno));
    std::exit(1);
}

// The figures depend on the machine: every benchmark prints what it ran on.
inline void print_machine()
{
    std::string model = "unknown CPU";
    std::istringstream cpuinfo(read_text("/proc/cpuinfo"));
    for (std::string line; std::getline(cpuinfo, line);) {
        if (line.rfind("model name", 0) == 0) {
            model = line.substr(line.find(':') + 2);
            break;
        }
    }
    std::string os = "unknown system";
    std::istringstream release(read_text("/etc/os-release"));
    for (std::string line; std::getline(release, line);) {
        if (line.rfind("PRETTY_NAME=", 0) == 0) {
            os = line.substr(12);
            os.erase(std::remove(os.begin(), os.end(), '"'), os.end());
        }
    }
    std::string load = read_text("/proc/loadavg");
    load = load.substr(0, load.find(' ', load.find(' ', load.find(' ') + 1) + 1));
    std::printf("machine: %ld cores (%s), %s, load %s, display %s\n",
                sysconf(_SC_NPROCESSORS_ONLN), model.c_str(), os.c_str(), load.c_str(),
                std::getenv("TQ_BENCH_UNDER_XVFB") ? "private Xvfb" : std::getenv("DISPLAY"));
}

inline std::string program_path(int argc, char** argv)
{
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--program") == 0)
            return argv[i + 1];
    }
    return TQ_PROGRAM;
}

inline int int_option(int argc, char** argv, const char* name, int fallback)
{
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], name) == 0)
            return std::max(1, std::atoi(argv[i + 1]));
    }
    return fallback;
}

// What the bench module does in the child: wait for a button to be on
// screen (the settings pages' buttons come with a connected unit), press it
// or not, then send a Ctrl chord to its window.
struct Actions {
    std::string button;
    bool press = false;
    char ctrl_key = 0;
    bool any() const { return !button.empty() || ctrl_key; }
};

class Child {
public:
    Child(const std::string& program, const std::vector<std::string>& switches,
          const Actions& actions = {})
    {
        char folder[] = "/tmp/tq512-bench-XXXXXX";
        if (!mkdtemp(folder)) {
            std::perror("mkdtemp");
            std::exit(1);
        }
        folder_ = folder;
        int ready[2] = {-1, -1};
        if (actions.any() && pipe(ready) != 0) {
            std::perror("pipe");
            std::exit(1);
        }
        started_ms_ = monotonic_ms();
        pid_ = fork();
        if (pid_ < 0) {
            std::perror("fork");
            std::exit(1);
        }
        if (pid_ == 0) {
            setenv("HOME", folder, 1);
            setenv("XDG_RUNTIME_DIR", folder, 1);
            setenv("LANGUAGE", "en", 1);
            unsetenv("TQ_BENCH_UNDER_XVFB");
            if (actions.any()) {
                close(ready[0]);
                setenv("GTK_MODULES", TQ_BENCH_MODULE, 1);
                setenv("TQ_BENCH_READY_FD", std::to_string(ready[1]).c_str(), 1);
                setenv("TQ_BENCH_BUTTON", actions.button.c_str(), 1);
                setenv("TQ_BENCH_PRESS", actions.press ? "1" : "0", 1);
                const char key[2] = {actions.ctrl_key, 0};
                setenv("TQ_BENCH_CTRL_KEY", key, 1);
            }
            std::vector<char*> args = {const_cast<char*>(program.c_str())};
            for (const std::string& s : switches)
                args.push_back(const_cast<char*>(s.c_str()));
            args.push_back(nullptr);
            execv(args[0], args.data());
            std::fprintf(stderr, "cannot run %s: %s\n", program.c_str(), std::strerror(errno));
            _exit(127);
        }
        if (actions.any()) {
            close(ready[1]);
            ready_fd_ = ready[0];
        }
    }

    ~Child()
    {
        stop();
        if (ready_fd_ >= 0)
            close(ready_fd_);
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }

    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    pid_t pid() const { return pid_; }
    double started_ms() const { return started_ms_; }

    bool alive()
    {
        if (pid_ <= 0)
            return false;
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return false;
        }
        return true;
    }

    // Waits until the module reports that its actions are done.
    bool wait_ready(int timeout_ms)
    {
        if (ready_fd_ < 0)
            return false;
        const double until = monotonic_ms() + timeout_ms;
        std::string said;
        while (alive()) {
            pollfd p{ready_fd_, POLLIN, 0};
            const int left = int(until - monotonic_ms());
            if (left <= 0 || poll(&p, 1, std::min(left, 200)) < 0)
                return false;
            if (!(p.revents & (POLLIN | POLLHUP)))
                continue;
            char buffer[256];
            const ssize_t n = read(ready_fd_, buffer, sizeof buffer);
            if (n <= 0)
                return false;
            said.append(buffer, std::size_t(n));
            if (said.find("ready\n") != std::string::npos)
                return true;
        }
        return false;
    }

    void stop()
    {
        if (pid_ <= 0)
            return;
        kill(pid_, SIGTERM);
        int status = 0;
        for (int i = 0; i < 50 && waitpid(pid_, &status, WNOHANG) == 0; ++i)
            pause_ms(20);
        if (waitpid(pid_, &status, WNOHANG) == 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &status, 0);
        }
        pid_ = -1;
    }

    // User plus system CPU time of every thread, in seconds.
    double cpu_seconds() const
    {
        const std::string stat = read_text("/proc/" + std::to_string(pid_) + "/stat");
        std::istringstream fields(stat.substr(stat.rfind(')') + 2));
        std::string field;
        unsigned long long utime = 0;
        unsigned long long stime = 0;
        // Fields from the state (3rd) on: utime is the 14th, stime the 15th.
        for (int i = 3; i <= 15 && fields >> field; ++i) {
            if (i == 14)
                utime = std::stoull(field);
            if (i == 15)
                stime = std::stoull(field);
        }
        return double(utime + stime) / double(sysconf(_SC_CLK_TCK));
    }

    // A line of /proc/<pid>/status as a number ("VmHWM" in kB,
    // "voluntary_ctxt_switches" of the main thread).
    long status_value(const std::string& key) const
    {
        std::istringstream status(read_text("/proc/" + std::to_string(pid_) + "/status"));
        for (std::string line; std::getline(status, line);) {
            if (line.rfind(key + ":", 0) == 0)
                return std::atol(line.c_str() + key.size() + 1);
        }
        return -1;
    }

private:
    std::string folder_;
    pid_t pid_ = -1;
    int ready_fd_ = -1;
    double started_ms_ = 0;
};

// Sees the top-level windows mapped on the display. Made before the child
// starts, so that no map is missed.
class MapWatch {
public:
    MapWatch()
    {
        display_ = XOpenDisplay(nullptr);
        if (!display_) {
            std::fprintf(stderr, "cannot open the display\n");
            std::exit(1);
        }
        fcntl(ConnectionNumber(display_), F_SETFD, FD_CLOEXEC);
        // A window may be gone before its properties are read.
        XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
        pid_atom_ = XInternAtom(display_, "_NET_WM_PID", False);
        XSelectInput(display_, DefaultRootWindow(display_), SubstructureNotifyMask);
        XSync(display_, False);
    }
    ~MapWatch() { XCloseDisplay(display_); }
    MapWatch(const MapWatch&) = delete;
    MapWatch& operator=(const MapWatch&) = delete;

    // Waits until a window of process pid is mapped: the monotonic time in
    // ms when the notice arrived, or -1 after timeout_ms.
    double wait_mapped(pid_t pid, int timeout_ms)
    {
        const double until = monotonic_ms() + timeout_ms;
        for (;;) {
            while (XPending(display_)) {
                XEvent event;
                XNextEvent(display_, &event);
                if (event.type == MapNotify && !event.xmap.override_redirect &&
                    belongs_to(event.xmap.window, pid))
                    return monotonic_ms();
            }
            const int left = int(until - monotonic_ms());
            if (left <= 0)
                return -1;
            pollfd p{ConnectionNumber(display_), POLLIN, 0};
            poll(&p, 1, left);
        }
    }

private:
    // The window itself, or the client inside a window manager's frame.
    bool belongs_to(Window w, pid_t pid)
    {
        if (window_pid(w) == long(pid))
            return true;
        Window root = 0;
        Window parent = 0;
        Window* children = nullptr;
        unsigned int count = 0;
        bool found = false;
        if (XQueryTree(display_, w, &root, &parent, &children, &count)) {
            for (unsigned int i = 0; i < count && !found; ++i)
                found = window_pid(children[i]) == long(pid);
        }
        if (children)
            XFree(children);
        return found;
    }

    long window_pid(Window w)
    {
        Atom type = None;
        int format = 0;
        unsigned long items = 0;
        unsigned long after = 0;
        unsigned char* data = nullptr;
        long pid = -1;
        if (XGetWindowProperty(display_, w, pid_atom_, 0, 1, False, XA_CARDINAL, &type, &format,
                               &items, &after, &data) == Success &&
            data && format == 32 && items == 1)
            pid = *reinterpret_cast<long*>(data);
        if (data)
            XFree(data);
        return pid;
    }

    Display* display_;
    Atom pid_atom_;
};

// One state of the program to measure: its switches and what the bench
// module does in it.
struct Phase {
    const char* name;
    std::vector<std::string> switches;
    Actions actions;
};

// Waits until the child's main window is mapped and, when the phase has
// actions, until the module has done them (the unit connected). False,
// with a line under the phase's name (padded to width) saying which did not
// come within 30 s.
inline bool wait_settled(Child& child, const Phase& phase, MapWatch& watch, int width)
{
    if (watch.wait_mapped(child.pid(), 30000) < 0) {
        std::printf("%-*s the main window never appeared\n", width, phase.name);
        return false;
    }
    if (phase.actions.any() && !child.wait_ready(30000)) {
        std::printf("%-*s the unit never connected\n", width, phase.name);
        return false;
    }
    return true;
}

} // namespace tq::bench
