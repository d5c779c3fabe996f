#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

#include "runtime/core/array.h"
#include "runtime/core/error.h"
#include "runtime/core/platform.h"
#include "runtime/core/run_state.h"
#include "runtime/frame/restart.h"
#include "runtime/frame/startup.h"
#include "runtime/frame/threads.h"
#include "runtime/gfx/image.h"
#include "runtime/input/input.h"
#include "runtime/text/random_timer.h"

namespace {

std::atomic<int> g_exit_status{-1};
void record_exit(int32_t status) {
    g_exit_status.store(status);
    throw FrameStopped{};
}

// A small program: a start-up step, then frames, each statement followed by a check-point.
std::atomic<int> g_starts{0};
std::atomic<int> g_frames{0};
std::atomic<int> g_restart_at{-1};
std::atomic<float> g_table_seen_at_start{-1};
FixedArray<float, 1> g_table;
std::atomic<uint32_t> g_rnd_state_at_start{0};

void toy_main() {
    g_starts.fetch_add(1);
    FRAME_CP();
    g_table_seen_at_start.store(g_table.get(3));
    g_rnd_state_at_start.store(rnd_state);
    FRAME_CP();
    for (;;) {
        g_table.set(7.0f, 3);
        FRAME_CP();
        rnd();
        FRAME_CP();
        int f = g_frames.fetch_add(1) + 1;
        FRAME_CP();
        if (f == g_restart_at.load()) frame_restart();
        FRAME_CP();
        frame_sleep_ms(1);
        FRAME_CP();
    }
}

bool wait_for(const std::function<bool()>& cond, int ms) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
        if (cond()) return true;
        frame_sleep_ms(1);
    }
    return cond();
}

class SpineTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        frame_init_runtime();
        g_table = frame_fixed_1d<float>(0, 10);
    }
    void SetUp() override {
        frame_run_reset();
        frame_error = ErrorState{};
        frame_platform.exit_process = record_exit;
        frame_platform.stop_leaves_thread = true;
        g_exit_status = -1;
        g_starts = 0;
        g_frames = 0;
        g_restart_at = -1;
        frame_set_program_routine(toy_main);
    }
    void TearDown() override {
        frame_join_threads();
        frame_platform = FramePlatform{};
    }
};

TEST_F(SpineTest, CloseRequestStopsTheProgramAndExitsWithZero) {
    frame_start_threads();
    ASSERT_TRUE(wait_for([] { return g_frames.load() > 5; }, 5000));
    frame_run.close_requests.fetch_or(1);
    ASSERT_TRUE(wait_for([] { return g_exit_status.load() == 0; }, 2000));
    EXPECT_EQ(frame_run.threads_done.load(), 3);
    int frames = g_frames.load();
    frame_sleep_ms(20);
    EXPECT_EQ(g_frames.load(), frames);  // the program thread is stopped
}

TEST_F(SpineTest, RestartRunsTheStartUpAgainWithTablesZeroedAndSeedReset) {
    g_restart_at = 3;
    frame_start_threads();
    ASSERT_TRUE(wait_for([] { return g_starts.load() >= 2; }, 5000));
    EXPECT_EQ(g_table_seen_at_start.load(), 0.0f);
    EXPECT_EQ(g_rnd_state_at_start.load(), kRndInitialState);
    frame_run.quit_requested.store(1);
    ASSERT_TRUE(wait_for([] { return g_exit_status.load() == 0; }, 2000));
}

TEST_F(SpineTest, PauseHoldsTheProgramAtItsCheckPoint) {
    frame_start_threads();
    ASSERT_TRUE(wait_for([] { return g_frames.load() > 2; }, 5000));
    frame_run.suspended.fetch_or(1);
    frame_run.attention.store(1);
    frame_sleep_ms(30);
    int held = g_frames.load();
    frame_sleep_ms(50);
    EXPECT_EQ(g_frames.load(), held);
    frame_run.suspended.fetch_and(static_cast<uint8_t>(~1));
    ASSERT_TRUE(wait_for([&] { return g_frames.load() > held; }, 2000));
    frame_run.close_requests.fetch_or(1);
    ASSERT_TRUE(wait_for([] { return g_exit_status.load() == 0; }, 2000));
}

void end_main() {
    g_starts.fetch_add(1);
    frame_end();
}

// The text of the last row of the start-up text screen (character bytes of its cells).
std::string last_text_row() {
    const ImageSurface* p = gfx_images.display_page;
    std::string row;
    for (int c = 0; c < p->width; ++c)
        row += static_cast<char>(p->pixels[2 * ((p->height - 1) * p->width + c)]);
    return row;
}

TEST_F(SpineTest, EndPromptsAndWaitsForAKeyTypedAfterIt) {
    gfx_init_screen();
    frame_set_program_routine(end_main);
    input_key_event('x', 1);  // typed ahead: discarded, it does not end the prompt
    input_key_event('x', 0);
    frame_start_threads();
    ASSERT_TRUE(wait_for([] { return frame_run.auto_display.load() == 1 && g_starts.load() == 1; }, 2000));
    frame_sleep_ms(300);
    EXPECT_EQ(g_exit_status.load(), -1);
    EXPECT_EQ(frame_run.quit_requested.load(), 0);
    input_key_event('y', 1);
    input_key_event('y', 0);
    ASSERT_TRUE(wait_for([] { return g_exit_status.load() == 0; }, 2000));
    EXPECT_EQ(last_text_row().substr(0, 25), "Press any key to continue");
}

TEST(WorkingDirTest, UnwritableProgramFolderFallsBackToXdg) {
    auto tmp = std::filesystem::temp_directory_path() / ("kavaro-xdg-" + std::to_string(getpid()));
    std::filesystem::create_directories(tmp);
    auto old = std::filesystem::current_path();
    setenv("XDG_DATA_HOME", tmp.c_str(), 1);
    std::string dir = frame_choose_working_dir("/nonexistent-folder/kavaro");
    EXPECT_EQ(dir, (tmp / "kavaro").string());
    EXPECT_EQ(std::filesystem::current_path(), tmp / "kavaro");
    std::filesystem::current_path(old);
    unsetenv("XDG_DATA_HOME");
    std::filesystem::remove_all(tmp);
}

TEST(WorkingDirTest, WritableProgramFolderIsUsed) {
    auto tmp = std::filesystem::temp_directory_path() / ("kavaro-exe-" + std::to_string(getpid()));
    std::filesystem::create_directories(tmp);
    auto old = std::filesystem::current_path();
    EXPECT_EQ(frame_choose_working_dir((tmp / "kavaro").string()), tmp.string());
    EXPECT_EQ(std::filesystem::current_path(), tmp);
    std::filesystem::current_path(old);
    std::filesystem::remove_all(tmp);
}

TEST(CommandLineTest, ArgumentsJoinedBySingleSpaces) {
    char a0[] = "kavaro", a1[] = "one", a2[] = "two words";
    char* none[] = {a0};
    char* two[] = {a0, a1, a2};
    EXPECT_EQ(frame_command_line(1, none), "");
    EXPECT_EQ(frame_command_line(3, two), "one two words");
}

}  // namespace
