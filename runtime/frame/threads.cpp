#include <cstdio>
#include <thread>

#include "runtime/core/error.h"
#include "runtime/core/platform.h"
#include "runtime/core/run_state.h"
#include "runtime/files/files.h"
#include "runtime/frame/startup.h"
#include "runtime/frame/threads.h"
#include "runtime/gfx/image.h"
#include "runtime/text/random_timer.h"

FrameThreads frame_threads;

namespace {

void (*g_main_routine)() = nullptr;

// The longest the shutdown waits for the program thread to reach a stop point.
constexpr int32_t kShutdownLimitMs = 1500;

// Tick counter: time of day in ticks of 1/18.2 s, low three bytes into low memory.
void update_tick_counter() {
    int64_t d = (timer_ms_clock() - timer_base.start_ms + timer_base.midnight_ms) % 86400000;
    if (d < 0) d += 86400000;
    auto ticks = static_cast<uint32_t>(static_cast<double>(d) * 0.0182);
    for (int i = 0; i < 3; ++i)
        frame_low_byte(kLowTicks + i).store(static_cast<uint8_t>(ticks >> (8 * i)), std::memory_order_relaxed);
}

}  // namespace

void frame_set_program_routine(void (*main_routine)()) {
    g_main_routine = main_routine;
    frame_set_main(main_routine);
}

void frame_program_thread() {
    for (;;) {
        try {
            if (frame_platform.program_starting) frame_platform.program_starting();
            g_main_routine();
            frame_end();  // falling off the end of the program is END
        } catch (const FrameRestart&) {
            continue;
        } catch (const FrameStopped&) {
            return;
        }
    }
}

void frame_trap_thread() {
    // No timer traps are installed by this program: the thread only waits for the shutdown.
    while (!frame_run.exit_now.load()) frame_sleep_ms(1);
    frame_run.threads_done.fetch_or(2);
}

void frame_housekeeping_thread() {
    try {
        int parity = 0;
        for (;;) {
            if (frame_run.close_requests.load() != 0 && frame_run.close_query_active.load() == 0)
                break;
            update_tick_counter();
            frame_sleep_ms(15);
            frame_sleep_ms(1);
            if (frame_run.quit_requested.load()) break;
            parity ^= 1;
            if (parity) {
                if (frame_run.auto_display.load() != 0 && frame_threads.build_frame) {
                    frame_threads.build_frame();
                } else {
                    // Without a builder a screen-mode change still needs its pause answered.
                    int32_t asked = 1;
                    gfx_pause_word.compare_exchange_strong(asked, 2);
                }
                frame_run.frame_counter.fetch_add(1, std::memory_order_relaxed);
            } else if (frame_threads.sync_lock_keys) {
                frame_threads.sync_lock_keys();
            }
        }
        // The builder runs no more, so a screen-mode change must not wait for it to stand still.
        frame_run.housekeeping_running.store(0);
        frame_run.exit_now.store(1);
        frame_run.attention.store(1);
        for (int32_t waited = 0; frame_run.threads_done.load() != 3; waited += 16) {
            if (waited >= kShutdownLimitMs) {
                // The program thread missed every stop point: end without it. Its files are
                // its own to close; the system closes them with the process.
                std::fprintf(stderr, "kavaro: the program did not stop within %d ms; ending\n",
                             kShutdownLimitMs);
                frame_platform.close_all_files = nullptr;
                frame_exit(0);
            }
            frame_sleep_ms(16);
        }
        file_close_all();
        frame_exit(0);
    } catch (const FrameStopped&) {
        // Tests end the process this way instead of exiting.
    }
}

void frame_start_threads() {
    frame_threads.program = std::thread(frame_program_thread);
    frame_threads.trap = std::thread(frame_trap_thread);
    frame_run.housekeeping_running.store(1);
    frame_threads.housekeeping = std::thread(frame_housekeeping_thread);
}

void frame_join_threads() {
    for (auto* t : {&frame_threads.program, &frame_threads.trap, &frame_threads.housekeeping})
        if (t->joinable()) t->join();
}
