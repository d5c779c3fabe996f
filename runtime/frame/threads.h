// The three threads of a run and the services the housekeeping cycle calls.
#pragma once
#include <thread>

struct FrameThreads {
    std::thread program, trap, housekeeping;
    void (*build_frame)() = nullptr;     // the frame builder, every other cycle
    void (*sync_lock_keys)() = nullptr;  // lock-key alignment, the cycles between
};

extern FrameThreads frame_threads;

void frame_set_program_routine(void (*main_routine)());
// Tests only: the real program never joins, the process exits instead.
void frame_join_threads();
