// frame, the top of the runtime: start-up, threads, options, end, restart; it wires the rest.
// Process start-up, the service threads and the ways a run ends.
#pragma once
#include <cstdio>
#include <string>

// The whole start-up; never returns while the window exists.
int frame_main(int argc, char** argv, void (*main_routine)());

// Start-up steps that do not need a window (also used by headless tests).
void frame_init_runtime();
// The folder that keeps the state file, made current: the program's own folder, or the user's
// data folder ($XDG_DATA_HOME/kavaro, by default ~/.local/share/kavaro) for an installed program
// and when the program's folder cannot be written; the data folder's first use starts from a
// copy of the state file in the program's folder (unless `adopt` is false). Empty, with the
// reasons on `err`, when no folder can be used.
std::string frame_choose_working_dir(const std::string& exe_path, FILE* err = stderr, bool adopt = true);
// The folder of the program file; whether it holds an installed program.
std::string frame_program_folder(const std::string& exe_path);
bool frame_installed(const std::string& prog_dir);
// --list-presets (the names on `out`), --preset NAME (found in the program's preset folder),
// --state FILE (made absolute from the start folder, and checked) and --code FILE (made absolute). -1 to go on, else the exit
// status: 0 after the list, 2 (one line on `err`) for an unknown preset or an unusable file.
int frame_take_state_options(const std::string& exe_path, FILE* out, FILE* err);
// Called once the state options are taken, before any folder is chosen or file written: the
// application checks the options that are its own. -1 to go on, else the exit status (one line
// on `err`).
extern int (*frame_options_check)(FILE* err);
// --record NAME (from the start folder): a folder, or a video file where this build writes them,
// that can be written; a video file that exists gives the next free name (told on `err`). -1 to
// go on, else 2 (one line on `err`).
int frame_take_record_option(FILE* err);
// Called once the options are taken and the working folder is chosen, before any thread
// starts: the application takes what it needs from frame_options. -1 to go on, else the exit
// status of a run that ends here (--code).
extern int (*frame_options_taken)();
// Where an installed program finds this file, relative to its own folder.
extern const char frame_install_marker[];
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

// Shared steps of the start-up that the platforms call in their order:
// The state folder chosen and made current, the options handed to the application, the clock
// aligned. -1 to go on, else the exit status (1: no folder can keep the state; the
// application's, when it ends the run there).
int frame_settle_state_folder(const std::string& exe);
// The recording, the lock keys, the first screen, the hooks of the layers, then the threads.
void frame_start_program();

// ---- Each platform's start-up (startup_desktop.cpp, startup_web.cpp) ----
// The program file's path, whose folder holds the state (unless installed) and the presets.
std::string frame_platform_program_path();
// An end before the program starts (--help, a bad option): the platform shows what was
// printed; returns the exit status.
int frame_platform_ended(int status);
// Everything after the options: the state folder, the program, the window and its event loop.
// The desktop never comes back while the window exists; the page returns to the browser.
int frame_platform_run(int argc, char** argv, const std::string& exe);
