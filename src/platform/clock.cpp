#include "platform/clock.h"

#include <time.h>

namespace tq::platform {
namespace {

class SystemClock final : public Clock {
public:
    std::int64_t now_ms() override
    {
        timespec ts{};
        clock_gettime(CLOCK_MONOTONIC, &ts);
        return std::int64_t(ts.tv_sec) * 1000 + ts.tv_nsec / 1'000'000;
    }

    void sleep_ms(int ms) override
    {
        if (ms <= 0)
            return;
        timespec ts{ms / 1000, long(ms % 1000) * 1'000'000};
        while (nanosleep(&ts, &ts) != 0) {
        }
    }
};

SystemClock system_clock;
Clock* current = &system_clock;
std::function<void()> event_pump;

} // namespace

Clock& clock() { return *current; }
void set_clock(Clock* c) { current = c ? c : &system_clock; }
std::int64_t now_ms() { return current->now_ms(); }
void sleep_ms(int ms) { current->sleep_ms(ms); }

void pump_events()
{
    if (event_pump)
        event_pump();
}

void set_event_pump(std::function<void()> pump) { event_pump = std::move(pump); }

} // namespace tq::platform
