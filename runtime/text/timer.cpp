// The process clock and the time of day derived from it.
#include <cmath>
#include <ctime>
#include <thread>

#include "runtime/core/error.h"
#include "runtime/text/random_timer.h"

TimerBase timer_base;
int64_t (*timer_clock_source)() = nullptr;

namespace {

constexpr uint32_t kDayMs = 86400000;

// Milliseconds of a clock that keeps running while the program sleeps (processor time would
// stand still then and the time of day would fall behind).
int64_t clock_ms() {
    if (timer_clock_source) return timer_clock_source();
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

double seconds_of_day(double ticks_per_second) {
    uint32_t d = static_cast<uint32_t>(clock_ms()) - static_cast<uint32_t>(timer_base.start_ms) +
                 static_cast<uint32_t>(timer_base.midnight_ms);
    d %= kDayMs;
    double s = d / 1000.0;
    // Rounded ties-to-even; a value beyond 64-bit range is already whole.
    double n = std::nearbyint(s * ticks_per_second);
    return n / ticks_per_second;
}

}  // namespace

int64_t timer_ms() {
    if (frame_error.error_number) return 0;
    return clock_ms();
}

int64_t timer_ms_clock() { return clock_ms(); }

void timer_capture_base() {
    if (frame_error.error_number) return;
    time_t now = 0;
    timespec rt{};
    if (clock_gettime(CLOCK_REALTIME, &rt) == 0) {
        // Wait for the next second: sleep through most of it, then poll closely.
        time_t first = rt.tv_sec;
        for (;;) {
            clock_gettime(CLOCK_REALTIME, &rt);
            if (rt.tv_sec != first) break;
            long left_ns = 1000000000L - rt.tv_nsec;
            if (left_ns > 2000000L)
                std::this_thread::sleep_for(std::chrono::nanoseconds(left_ns - 1000000L));
            else
                std::this_thread::yield();
        }
        now = rt.tv_sec;
    }
    timer_base.start_ms = clock_ms();
    tm local{};
    if (localtime_r(&now, &local))
        timer_base.midnight_ms =
            (static_cast<int64_t>(local.tm_hour) * 3600 + local.tm_min * 60 + local.tm_sec) * 1000;
    else
        timer_base.midnight_ms = 0;
}

float timer_seconds() {
    if (frame_error.error_number) return 0.0f;
    return static_cast<float>(seconds_of_day(18.2));
}

double timer_seconds(double accuracy) {
    if (frame_error.error_number) return 0.0;
    if (accuracy <= 0) {
        frame_raise(5);
        return 0.0;
    }
    return seconds_of_day(1.0 / accuracy);
}
