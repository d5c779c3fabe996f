#include "runtime/core/platform.h"

#include "runtime/core/error.h"
#include "runtime/core/run_state.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

FramePlatform frame_platform;

int32_t frame_message_box(const char* caption, const char* text, int32_t kind, int32_t flags) {
    // One line on standard error: the text's line ends shown as " | ".
    std::string line = text;
    for (size_t i = 0; (i = line.find('\n', i)) != std::string::npos;) line.replace(i, 1, " | ");
    std::fprintf(stderr, "kavaro: [%s] %s\n", caption, line.c_str());
    std::fflush(stderr);
    if (frame_platform.message_box) return frame_platform.message_box(caption, text, kind, flags);
    return 1;
}

void frame_exit(int32_t status) {
    if (frame_platform.before_exit) frame_platform.before_exit();
    // Whatever a writer could not finish in time goes: no temporary file outlives the process.
    if (frame_platform.discard_unfinished) frame_platform.discard_unfinished();
    if (frame_platform.exit_process) frame_platform.exit_process(status);
    if (frame_platform.close_all_files) frame_platform.close_all_files();
    std::fflush(stdout);
    std::fflush(stderr);
    _exit(status);
}

void frame_sleep_ms(int32_t ms) {
    if (ms <= 0)
        std::this_thread::yield();
    else
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void frame_hold_stop() { frame_run.stop_held.fetch_add(1); }

void frame_release_stop() {
    const int32_t held = frame_run.stop_held.load();  // only the program thread writes it
    if (held <= 0) return;
    frame_run.stop_held.store(held - 1);
    // The stop that was put off happens at the next check-point.
    if (held == 1 && frame_run.exit_now.load()) frame_run.attention.store(1);
}

void frame_stop_program_thread() {
    frame_run.threads_done.fetch_or(1);
    if (frame_platform.stop_leaves_thread) throw FrameStopped{};
    while (!frame_run.exit_now.load()) frame_sleep_ms(16);
    for (;;) frame_sleep_ms(16);
}

void frame_system() {
    if (frame_run.in_gl_scope.load()) frame_raise(271);
    frame_run.quit_requested.store(1);
    frame_stop_program_thread();
}
