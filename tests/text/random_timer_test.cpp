#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <ctime>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "runtime/core/error.h"
#include "runtime/text/random_timer.h"
#include "runtime/text/string_value.h"

namespace {

uint32_t bits(float f) {
    uint32_t b;
    std::memcpy(&b, &f, sizeof b);
    return b;
}

class RandomTest : public ::testing::Test {
protected:
    void SetUp() override {
        frame_error = ErrorState{};
        rnd_reset();
    }
    void TearDown() override {
        frame_error = ErrorState{};
        frame_run_reset();
        rnd_reset();
        rnd_prompt_print = nullptr;
        rnd_prompt_read_line = nullptr;
    }
};

// States worked by hand from state' = (state * 0xFD43FD + 0xC39EC3) AND 0xFFFFFF.
TEST_F(RandomTest, FirstThreeNumbersFromTheInitialState) {
    EXPECT_EQ(bits(rnd()), 0x3f349ec3u);  // state 0xB49EC3: 0.7055475
    EXPECT_EQ(bits(rnd()), 0x3f088e7au);  // state 0x888E7A: 0.5334240
    EXPECT_EQ(bits(rnd(1.0f)), 0x3f145b55u);  // state 0x945B55: 0.5795186
    EXPECT_EQ(rnd_state, 0x945B55u);
}

TEST_F(RandomTest, NegativeArgumentRestartsTheSameSequence) {
    rnd();
    EXPECT_EQ(rnd(-1.0f), 0x395886 / 16777216.0f);  // 0.2240070
    EXPECT_NEAR(rnd(-1.0f), 0.2240070f, 1e-7f);
    EXPECT_EQ(rnd(1.0f), 0x092D31 / 16777216.0f);  // continues from state 0x395886
    EXPECT_EQ(rnd(-1.0f), 0x395886 / 16777216.0f);
}

TEST_F(RandomTest, ZeroRepeatsTheLastNumber) {
    EXPECT_EQ(rnd(0.0f), 0.01953125f);  // 327680 / 16777216
    EXPECT_EQ(rnd_state, kRndInitialState);
    float a = rnd();
    EXPECT_EQ(rnd(0.0f), a);
    EXPECT_EQ(rnd(-0.0f), a);
}

TEST_F(RandomTest, NaNAndPositiveArgumentsDrawTheNextNumber) {
    EXPECT_EQ(bits(rnd(std::numeric_limits<float>::quiet_NaN())), 0x3f349ec3u);
    EXPECT_EQ(bits(rnd(-std::numeric_limits<float>::quiet_NaN())), 0x3f088e7au);
    EXPECT_EQ(bits(rnd(12345.0f)), 0x3f145b55u);
}

TEST_F(RandomTest, ResultStaysBelowOne) {
    rnd_state = 0xFFFFFF;
    EXPECT_EQ(rnd(0.0f), 0.99999994f);
    EXPECT_LT(rnd(0.0f), 1.0f);
}

TEST_F(RandomTest, RandomizeKeepsLowByteAndTakesSixteenSeedBits) {
    rnd_randomize(5.0);
    EXPECT_EQ(rnd_state, 0x401400u);
    rnd_state = 0x1234AB;
    rnd_randomize(5.0);
    EXPECT_EQ(rnd_state, 0x4014ABu);
    rnd_state = 0;
    rnd_randomize(-1.0);  // h = 0xBFF00000, m AND 0xFFFF = 0xBFF0
    EXPECT_EQ(rnd_state, 0xBFF000u);
}

TEST_F(RandomTest, ReseedGivesTheSameNumberWhateverWasDrawnBefore) {
    rnd_reseed(5.0);
    EXPECT_EQ(rnd_state, 0x401400u);
    float first = rnd();
    for (int i = 0; i < 17; ++i) rnd();
    rnd_state = 0xABCDEF;
    rnd_reseed(5.0);
    EXPECT_EQ(rnd(), first);
    rnd_first_state = 0x50000;
    rnd_state = 0x1234AB;
    rnd_reseed(5.0);
    EXPECT_EQ(rnd_state, 0x401400u);  // low byte from the first state, not the current one
}

TEST_F(RandomTest, ResetRestoresBothWords) {
    rnd();
    rnd_first_state = 7;
    rnd_reset();
    EXPECT_EQ(rnd_state, kRndInitialState);
    EXPECT_EQ(rnd_first_state, kRndInitialState);
}

TEST_F(RandomTest, PendingErrorReturnsZeroAndKeepsState) {
    frame_error.error_number = 6;
    EXPECT_EQ(rnd(), 0.0f);
    EXPECT_EQ(rnd(-1.0f), 0.0f);
    rnd_randomize(5.0);
    rnd_reseed(5.0);
    EXPECT_EQ(rnd_state, kRndInitialState);
    EXPECT_EQ(timer_ms(), 0);
    EXPECT_EQ(timer_seconds(), 0.0f);
    EXPECT_EQ(timer_seconds(0.001), 0.0);
    EXPECT_EQ(timer_seconds(-1.0), 0.0);
    EXPECT_EQ(frame_error.error_number, 6u);
}

// Fake text screen for the prompting form.
std::vector<std::string> g_printed;
std::vector<const char*> g_lines;
size_t g_next_line = 0;

void fake_print(StringValue* s, int32_t end_line) {
    g_printed.emplace_back(reinterpret_cast<const char*>(s->data), static_cast<size_t>(s->length));
    if (end_line) g_printed.back() += "\n";
    if (s->is_temporary) sv_free(s);
}

StringValue* fake_read() {
    if (g_next_line >= g_lines.size()) return nullptr;
    return sv_new_text(g_lines[g_next_line++]);
}

void use_fake_screen(std::vector<const char*> lines) {
    g_printed.clear();
    g_lines = std::move(lines);
    g_next_line = 0;
    rnd_prompt_print = fake_print;
    rnd_prompt_read_line = fake_read;
}

TEST_F(RandomTest, PromptingFormReadsASigned16BitSeed) {
    use_fake_screen({" -2 "});
    int32_t base = sv_temp_count();
    rnd_state = 0x1234AB;
    rnd_randomize();
    EXPECT_EQ(rnd_state, 0xFFFEABu);
    ASSERT_EQ(g_printed.size(), 1u);
    EXPECT_EQ(g_printed[0], "Random-number seed (-32768 to 32767)? ");
    EXPECT_EQ(sv_temp_count(), base);
}

TEST_F(RandomTest, PromptingFormAsksAgainAfterAnInvalidLine) {
    use_fake_screen({"abc", "40000", "-32769", "+", "32767"});
    rnd_randomize();
    EXPECT_EQ(rnd_state, 0x7FFF00u);
    ASSERT_EQ(g_printed.size(), 9u);
    EXPECT_EQ(g_printed[1], "Redo from start\n");
    EXPECT_EQ(g_printed[8], "Random-number seed (-32768 to 32767)? ");
    use_fake_screen({"-32768"});
    rnd_randomize();
    EXPECT_EQ(rnd_state, 0x800000u);
    use_fake_screen({""});
    rnd_randomize();
    EXPECT_EQ(rnd_state, 0u);
}

TEST_F(RandomTest, PromptingFormWithoutInputLeavesTheState) {
    use_fake_screen({});
    rnd_randomize();
    EXPECT_EQ(rnd_state, kRndInitialState);
    EXPECT_EQ(g_printed.size(), 1u);
    frame_error.error_number = 5;
    use_fake_screen({"7"});
    rnd_randomize();
    EXPECT_EQ(g_printed.size(), 0u);
    EXPECT_EQ(rnd_state, kRndInitialState);
}

int64_t g_fake_ms = 0;
int64_t fake_clock() { return g_fake_ms; }

class TimerTest : public ::testing::Test {
protected:
    void SetUp() override {
        frame_error = ErrorState{};
        saved_ = timer_base;
    }
    void TearDown() override {
        timer_clock_source = nullptr;
        timer_base = saved_;
        frame_error = ErrorState{};
        frame_run_reset();
    }
    void fake(int64_t start_ms, int64_t midnight_ms, int64_t now_ms) {
        timer_clock_source = fake_clock;
        timer_base.start_ms = start_ms;
        timer_base.midnight_ms = midnight_ms;
        g_fake_ms = now_ms;
    }
    TimerBase saved_;
};

TEST_F(TimerTest, AccuracyOfAMillisecondGivesSecondsOfDayAsDouble) {
    fake(1000, 3600000, 1000 + 1234);
    EXPECT_EQ(timer_seconds(0.001), 3601.234);
    EXPECT_EQ(timer_seconds(1.0), 3601.0);
    EXPECT_EQ(timer_seconds(0.5), 3601.0);
    g_fake_ms = 1000 + 1750;
    EXPECT_EQ(timer_seconds(0.5), 3602.0);
    g_fake_ms = 1000 + 1250;
    EXPECT_EQ(timer_seconds(0.5), 3601.0);  // 7202.5 half-units: ties to even
}

TEST_F(TimerTest, WithoutAccuracyStepsInTicksOf18Point2PerSecond) {
    fake(1000, 3600000, 1000 + 1234);
    // 3601.234 s * 18.2 = 65542.4588 ticks, rounded to 65542.
    EXPECT_EQ(timer_seconds(), static_cast<float>(65542 / 18.2));
    fake(0, 0, 0);
    EXPECT_EQ(timer_seconds(), 0.0f);
    g_fake_ms = 27;  // 0.4914 ticks
    EXPECT_EQ(timer_seconds(), 0.0f);
    g_fake_ms = 28;  // 0.5096 ticks
    EXPECT_EQ(timer_seconds(), static_cast<float>(1 / 18.2));
}

TEST_F(TimerTest, WrapsToZeroAfterMidnight) {
    fake(5000, 86400000 - 500, 5000 + 400);
    EXPECT_EQ(timer_seconds(0.001), 86399.9);
    g_fake_ms = 5000 + 600;
    EXPECT_EQ(timer_seconds(0.001), 0.1);
    EXPECT_EQ(timer_seconds(), static_cast<float>(2 / 18.2));  // 1.82 ticks
}

TEST_F(TimerTest, DifferenceIsTakenIn32Bits) {
    // A clock beyond 32 bits still gives the time of day from its low 32 bits.
    fake(int64_t{1} << 32, 1000, (int64_t{1} << 32) + 2500);
    EXPECT_EQ(timer_seconds(0.001), 3.5);
    fake(0xFFFFFF00, 0, int64_t{0x100000000} + 0x100);
    EXPECT_EQ(timer_seconds(0.001), 0.512);
}

TEST_F(TimerTest, NonPositiveAccuracyRaisesIllegalFunctionCall) {
    fake(0, 1000, 0);
    EXPECT_EQ(timer_seconds(0.0), 0.0);
    EXPECT_EQ(frame_error.error_number, 5u);
    frame_error.error_number = 0;
    EXPECT_EQ(timer_seconds(-0.5), 0.0);
    EXPECT_EQ(frame_error.error_number, 5u);
}

TEST_F(TimerTest, ProcessClockAdvancesWhileTheProgramSleeps) {
    int64_t a = timer_ms();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    int64_t b = timer_ms();
    EXPECT_GE(b - a, 25);
    EXPECT_LT(b - a, 5000);
}

TEST_F(TimerTest, CaptureAlignsWithTheWallClockSecond) {
    timespec before{};
    clock_gettime(CLOCK_REALTIME, &before);
    int64_t called = timer_ms();
    timer_capture_base();
    int64_t captured = timer_ms();
    EXPECT_LE(captured - called, 1100);  // waits for one second change at most
    EXPECT_LE(captured - timer_base.start_ms, 50);
    EXPECT_EQ(timer_base.midnight_ms % 1000, 0);
    EXPECT_GE(timer_base.midnight_ms, 0);
    EXPECT_LT(timer_base.midnight_ms, 86400000);
    timespec after{};
    clock_gettime(CLOCK_REALTIME, &after);
    time_t now = after.tv_sec;
    EXPECT_GT(now, before.tv_sec);
    tm local{};
    ASSERT_TRUE(localtime_r(&now, &local));
    double expected = local.tm_hour * 3600.0 + local.tm_min * 60 + local.tm_sec;
    double got = timer_seconds(0.001);
    double diff = std::fabs(got - expected);
    EXPECT_TRUE(diff < 1.5 || diff > 86400 - 1.5) << got << " vs " << expected;
}

}  // namespace
