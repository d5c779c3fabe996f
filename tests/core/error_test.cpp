#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/core/arena.h"
#include "runtime/core/array.h"
#include "runtime/core/error.h"
#include "runtime/core/platform.h"

namespace {

struct Box {
    std::string caption, text;
    int32_t kind;
};
std::vector<Box> g_boxes;
int32_t g_answer = 1;

int32_t record_box(const char* caption, const char* text, int32_t kind, int32_t) {
    g_boxes.push_back({caption, text, kind});
    return g_answer;
}

struct ExitCalled {
    int32_t status;
};
void throw_exit(int32_t status) { throw ExitCalled{status}; }

class ErrorTest : public ::testing::Test {
protected:
    void SetUp() override {
        frame_error = ErrorState{};
        frame_run_reset();
        g_boxes.clear();
        g_answer = 1;
        frame_platform.message_box = record_box;
        frame_platform.exit_process = throw_exit;
        frame_platform.stop_leaves_thread = true;
    }
    void TearDown() override {
        frame_platform = FramePlatform{};
        frame_set_main(nullptr);
        frame_error = ErrorState{};
        frame_run_reset();
    }
};

TEST_F(ErrorTest, FirstErrorWinsAndNonPositiveBecomesFive) {
    EXPECT_EQ(frame_raise(9), 9);
    EXPECT_EQ(frame_raise(53), 9);
    EXPECT_EQ(frame_error.error_number, 9u);
    EXPECT_EQ(frame_run.attention.load(), 1);
    frame_error.error_number = 0;
    EXPECT_EQ(frame_raise(0), 5);
    frame_error.error_number = 0;
    EXPECT_EQ(frame_raise(-7), 5);
}

TEST_F(ErrorTest, DialogTextsForSubscriptErrorAtStatement120) {
    frame_raise(9);
    frame_checkpoint(120, 0, nullptr);
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_EQ(g_boxes[0].caption, "Unhandled Error #9");
    EXPECT_EQ(g_boxes[0].text, "Line: 120 (in main module)\nSubscript out of range\nContinue?");
    EXPECT_EQ(g_boxes[0].kind, FRAME_BOX_YES_NO);
    // Yes continues with the error cleared.
    EXPECT_EQ(frame_error.error_number, 0u);
    EXPECT_EQ(frame_run.attention.load(), 0);
}

TEST_F(ErrorTest, UnlistedNumberIsUnprintable) {
    EXPECT_STREQ(frame_error_text(0), "Unprintable error");
    EXPECT_STREQ(frame_error_text(11), "Unprintable error");
    EXPECT_STREQ(frame_error_text(62), "Input past end of file");
    frame_raise(99);
    frame_checkpoint(7, 0, nullptr);
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_EQ(g_boxes[0].text, "Line: 7 (in main module)\nUnprintable error\nContinue?");
}

TEST_F(ErrorTest, CriticalMemoryErrorHasNoContinueAndExits) {
    frame_raise(302);
    try {
        frame_checkpoint(5, 0, nullptr);
        FAIL() << "a critical error must end the process";
    } catch (const ExitCalled& e) {
        EXPECT_EQ(e.status, 0);
    }
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_EQ(g_boxes[0].caption, "Critical Error #302");
    EXPECT_EQ(g_boxes[0].text, "Line: 5 (in main module)\nSource memory region out of range");
    EXPECT_EQ(g_boxes[0].kind, FRAME_BOX_OK);
}

TEST_F(ErrorTest, FatalNumbersEndAtOnceWithTheirCaptions) {
    try {
        frame_raise(11);
        FAIL();
    } catch (const ExitCalled&) {
    }
    try {
        frame_raise(504);
        FAIL();
    } catch (const ExitCalled&) {
    }
    ASSERT_EQ(g_boxes.size(), 2u);
    EXPECT_EQ(g_boxes[0].caption, "Critical Error");
    EXPECT_EQ(g_boxes[0].text, "Division by zero");
    EXPECT_EQ(g_boxes[1].caption, "Critical Error #4");
    EXPECT_EQ(g_boxes[1].text, "Out of memory");
    EXPECT_EQ(frame_error.error_number, 0u);
}

TEST_F(ErrorTest, NoEndsTheRun) {
    g_answer = 0;
    frame_raise(53);
    EXPECT_THROW(frame_checkpoint(3, 0, nullptr), FrameStopped);
    EXPECT_EQ(frame_run.quit_requested.load(), 1);
    EXPECT_EQ(frame_run.threads_done.load() & 1, 1);
}

int g_main_calls = 0;
int32_t g_seen_pending = 0;
void fake_main() {
    ++g_main_calls;
    g_seen_pending = frame_error.handler_pending;
    frame_error.handler_pending = 0;
    frame_error.in_handler = 1;
    frame_raise(62);  // an error inside the handler goes to the dialog
}

TEST_F(ErrorTest, HandlerIsEnteredOnceThenDialog) {
    frame_set_main(fake_main);
    g_main_calls = 0;
    frame_error.handler_id = 1;
    frame_error.line_label = 40;
    frame_raise(53);
    frame_checkpoint(10, 0, nullptr);
    EXPECT_EQ(g_main_calls, 1);
    EXPECT_EQ(g_seen_pending, 1);
    EXPECT_EQ(frame_err(), 53);
    EXPECT_EQ(frame_erl(), 40);
    EXPECT_TRUE(g_boxes.empty());
    // The handler's own error is pending; with in_handler set the next check-point shows it.
    frame_checkpoint(11, 0, nullptr);
    EXPECT_EQ(g_main_calls, 1);
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_EQ(g_boxes[0].caption, "Unhandled Error #62");
}

TEST_F(ErrorTest, CheckpointStopsOnShutdown) {
    frame_run.exit_now.store(1);
    frame_run.attention.store(1);
    EXPECT_THROW(frame_checkpoint(1, 0, nullptr), FrameStopped);
    EXPECT_EQ(frame_run.attention.load(), 0);
}

// A save under way (two holds: Escape read, its save) is not cut off by the shutdown; the
// check-point after the last release stops.
TEST_F(ErrorTest, HeldStopWaitsForTheLastRelease) {
    frame_hold_stop();
    frame_hold_stop();
    frame_run.exit_now.store(1);
    frame_run.attention.store(1);
    EXPECT_EQ(frame_checkpoint(1, 0, nullptr), 0);
    frame_release_stop();
    EXPECT_EQ(frame_run.attention.load(), 0);
    EXPECT_EQ(frame_checkpoint(2, 0, nullptr), 0);
    frame_release_stop();
    EXPECT_EQ(frame_run.attention.load(), 1) << "the next statement's check-point runs";
    EXPECT_THROW(frame_checkpoint(3, 0, nullptr), FrameStopped);
    frame_release_stop();  // one release too many holds nothing
    EXPECT_EQ(frame_run.stop_held.load(), 0);
}

TEST_F(ErrorTest, BypassReturnsAtOnce) {
    frame_error.checkpoint_bypass = 1;
    frame_raise(5);
    EXPECT_EQ(frame_checkpoint(1, 0, nullptr), 1);
    EXPECT_TRUE(g_boxes.empty());
    EXPECT_EQ(frame_error.error_number, 5u);
}

TEST_F(ErrorTest, BoundsCheckAndFailedStoreWritesNothing) {
    auto a = frame_fixed_1d<float>(0, 2600);
    a.set(1.5f, 2600);
    EXPECT_EQ(frame_error.error_number, 0u);
    EXPECT_EQ(a.get(2600), 1.5f);
    a.set(7.0f, 2601);
    EXPECT_EQ(frame_error.error_number, 9u);
    EXPECT_EQ(a.data()[0], 0.0f);  // the failing subscript counts as the lower bound, unwritten
    frame_error.error_number = 0;
    a.get(-1);
    EXPECT_EQ(frame_error.error_number, 9u);
}

TEST_F(ErrorTest, TwoDimensionalLayoutFirstSubscriptFastest) {
    auto a = frame_fixed_2d<float>(0, 2600, 0, 10);
    a.set(3.0f, 1700, 2);
    EXPECT_EQ(a.data()[1700 + 2 * 2601], 3.0f);
    EXPECT_EQ(array_stride(a.desc, 1), 1);
    EXPECT_EQ(array_stride(a.desc, 0), 2601);
    float* before = a.data();
    frame_clear_all_arrays();
    EXPECT_EQ(a.data(), before);
    EXPECT_EQ(a.get(1700, 2), 0.0f);
}

TEST(ArenaTest, GrowthTakesRequestPlusTwiceThePreviousBlock) {
    frame_arena_init();
    size_t first = frame_arena.block_size;
    size_t blocks = frame_arena.blocks;
    size_t left = static_cast<size_t>(frame_arena.end - frame_arena.current);
    void* p = frame_static_alloc(left);  // reaches the end: a new block
    EXPECT_EQ(frame_arena.blocks, blocks + 1);
    EXPECT_EQ(frame_arena.block_size, ((left + 7) & ~size_t{7}) + 2 * first);
    EXPECT_EQ(reinterpret_cast<uint8_t*>(p) + ((left + 7) & ~size_t{7}), frame_arena.current);
    auto* q = static_cast<uint8_t*>(frame_static_alloc(3));
    EXPECT_EQ(static_cast<uint8_t*>(frame_arena.current) - q, 8);
}

TEST(FloatIndexTest, TiesToEvenAndOutOfRange) {
    EXPECT_EQ(frame_float_index(2.5f), 2);
    EXPECT_EQ(frame_float_index(3.5f), 4);
    EXPECT_EQ(frame_float_index(-0.5f), 0);
    EXPECT_EQ(frame_float_index(1e30f), INT32_MIN);
}

}  // namespace
