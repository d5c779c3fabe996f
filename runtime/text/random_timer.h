// The 24-bit random generator and the time-of-day timer.
#pragma once
#include <cstdint>

#include "runtime/text/string_value.h"

constexpr uint32_t kRndInitialState = 0x50000;

extern uint32_t rnd_state;
extern uint32_t rnd_first_state;

float rnd();
float rnd(float x);
void rnd_randomize(double seed);
void rnd_reseed(double seed);
// Asks for the seed on the text screen: prints "Random-number seed (-32768 to 32767)? " and
// reads one signed 16-bit integer (an invalid line prints "Redo from start" and asks again).
void rnd_randomize();
// Back to the initial state (program restart).
void rnd_reset();

// Text-screen hooks for the prompting form, set by the start-up. The print hook receives a
// temporary (a consumer frees it); the read hook returns the typed line as a string value
// (freed here when temporary) or nullptr when no input can be had, which abandons the prompt.
extern void (*rnd_prompt_print)(StringValue* s, int32_t end_line);
extern StringValue* (*rnd_prompt_read_line)();

// Timer base, captured once at start-up (waits for the next wall-clock second).
struct TimerBase {
    int64_t start_ms = 0;
    int64_t midnight_ms = 0;
};
extern TimerBase timer_base;

void timer_capture_base();
// Millisecond clock behind timer_ms (nullptr: the monotonic clock); tests substitute it.
extern int64_t (*timer_clock_source)();
int64_t timer_ms();
// The same clock without the pending-error test, for the service threads.
int64_t timer_ms_clock();
float timer_seconds();
double timer_seconds(double accuracy);
