// Process start-up, the service threads and the ways a run ends.
#pragma once
#include <string>

// The whole start-up; never returns while the window exists.
int frame_main(int argc, char** argv, void (*main_routine)());

// Start-up steps that do not need a window (also used by headless tests).
void frame_init_runtime();
// The program's folder, or the XDG data folder when that is not writable; made current.
std::string frame_choose_working_dir(const std::string& exe_path);
// Process arguments 1..n-1 joined by single spaces.
std::string frame_command_line(int argc, char** argv);

// Threads: program (runs the main routine, restarting it after FrameRestart), timer-trap and
// housekeeping.
void frame_program_thread();
void frame_trap_thread();
void frame_housekeeping_thread();
void frame_start_threads();

// END: "Press any key to continue", then the run ends.
[[noreturn]] void frame_end();

extern std::string frame_command_line_text;
extern std::string frame_start_dir;
// GL_EXT_framebuffer_object is there (found at start-up).
extern bool frame_fbo_available;
