// The 24-bit random generator and the time-of-day timer.
#pragma once
#include <cstdint>

constexpr uint32_t kRndInitialState = 0x50000;

extern uint32_t rnd_state;
extern uint32_t rnd_first_state;

float rnd();
float rnd(float x);
void rnd_randomize(double seed);
void rnd_reseed(double seed);
// Back to the initial state (program restart).
void rnd_reset();

// Timer base, captured once at start-up (waits for the next wall-clock second).
struct TimerBase {
    int64_t start_ms = 0;
    int64_t midnight_ms = 0;
};
extern TimerBase timer_base;

void timer_capture_base();
int64_t timer_ms();
float timer_seconds();
double timer_seconds(double accuracy);
