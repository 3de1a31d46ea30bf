// Time and the event pump: every pause and every "let pending GUI events run"
// in the program goes through here, so that tests can run long device
// sequences on a virtual clock in microseconds.
#pragma once

#include <cstdint>
#include <functional>

namespace tq::platform {

class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds on a monotonic scale with an arbitrary origin.
    virtual std::int64_t now_ms() = 0;
    virtual void sleep_ms(int ms) = 0;
};

// The clock in force; the monotonic system clock unless a test installed
// another one.
Clock& clock();
// Installs a clock (nullptr restores the system clock). The caller keeps
// ownership and must restore before the clock dies.
void set_clock(Clock* c);

std::int64_t now_ms();
void sleep_ms(int ms);

// Runs whatever GUI events are pending, then returns. A no-op until the
// application wires the toolkit in.
void pump_events();
void set_event_pump(std::function<void()> pump);

// A clock that only moves when someone sleeps on it. Sleeping advances time
// at once; nothing really waits.
class VirtualClock final : public Clock {
public:
    explicit VirtualClock(std::int64_t start_ms = 1'000'000) : now_(start_ms) {}
    std::int64_t now_ms() override { return now_; }
    void sleep_ms(int ms) override { if (ms > 0) now_ += ms; }
    void advance(std::int64_t ms) { now_ += ms; }

private:
    std::int64_t now_;
};

// Installs a virtual clock for the life of the object (test helper).
class ScopedVirtualClock {
public:
    explicit ScopedVirtualClock(std::int64_t start_ms = 1'000'000) : clock_(start_ms) { set_clock(&clock_); }
    ~ScopedVirtualClock() { set_clock(nullptr); }
    ScopedVirtualClock(const ScopedVirtualClock&) = delete;
    ScopedVirtualClock& operator=(const ScopedVirtualClock&) = delete;
    VirtualClock& operator*() { return clock_; }
    VirtualClock* operator->() { return &clock_; }

private:
    VirtualClock clock_;
};

} // namespace tq::platform
