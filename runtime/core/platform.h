// Platform hooks every layer may use (message box, exit, sleep); tests replace them.
#pragma once
#include <cstdint>

enum FrameBoxKind : int32_t { FRAME_BOX_OK = 0, FRAME_BOX_YES_NO = 1 };
enum FrameBoxFlags : int32_t { FRAME_BOX_SYSTEM_MODAL = 1 };

// Shows a modal box; returns 1 for Yes/OK, 0 for No. Waits for the answer.
using FrameMessageBoxFn = int32_t (*)(const char* caption, const char* text, int32_t kind,
                                      int32_t flags);

struct FramePlatform {
    FrameMessageBoxFn message_box = nullptr;  // nullptr: standard error only, answers Yes/OK
    void (*exit_process)(int32_t status) = nullptr;  // nullptr: close files, flush, _exit
    // When set, a stopped program thread leaves its body instead of parking for ever
    // (tests join the thread; the real program exits the process instead).
    bool stop_leaves_thread = false;
    void (*close_all_files)() = nullptr;  // set once the file layer is up
    void (*before_exit)() = nullptr;      // finishes what must not be cut off (recording)
    void (*discard_unfinished)() = nullptr;  // any thread: removes half-written temporary files
    // The page keeps its files in the browser's storage: a file just committed under `path` is
    // stored there before this returns; the main routine's every start first takes what another
    // page stored meanwhile. Not set on the desktop, whose disk keeps the files by itself.
    void (*file_committed)(const char* path) = nullptr;
    void (*program_starting)() = nullptr;
};

extern FramePlatform frame_platform;

// Echoes the box to standard error as one line, then asks the platform.
int32_t frame_message_box(const char* caption, const char* text, int32_t kind, int32_t flags);

[[noreturn]] void frame_exit(int32_t status);

// Sleeps in milliseconds (0 yields).
void frame_sleep_ms(int32_t ms);

// Thrown by frame_restart, caught by the program thread body, which then runs the main routine again.
struct FrameRestart {};
// Thrown when a stopped program thread leaves its body (tests only, see stop_leaves_thread).
struct FrameStopped {};

// Program thread: work that must end before the thread stops (a save begun or due). While held,
// a check-point does not stop the thread for a shutdown; the shutdown's own limit still ends
// the process. Each hold is released once; the last release lets the next check-point stop.
void frame_hold_stop();
void frame_release_stop();

// Marks the program thread finished and parks it until the process exits.
[[noreturn]] void frame_stop_program_thread();
// SYSTEM: ends the run without a prompt.
[[noreturn]] void frame_system();
