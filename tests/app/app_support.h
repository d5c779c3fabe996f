// Running the whole simulation headless on its program thread, frame by frame, and reading
// back what it drew.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct ImageSurface;

struct AppDialog {
    std::string caption, text;
};

// Runtime up once per process; fresh runtime and simulation state, a new empty working folder
// (made current), recorded dialogs (answered Yes), a fixed clock (so the generator's warm-up
// is the same at every start), the state file "kavaro.dat" without a preset. Does not start the
// program.
void app_prepare();
// Starts the program threads and waits until the first frame has been completed; the program
// then waits at the end of each frame until app_step lets it go on.
void app_start();
// Lets n more frames complete; false when the program ended instead (or timed out).
bool app_step(int n = 1);
// Frames completed since app_start.
int64_t app_frames();
// True once the program thread has stopped (END, SYSTEM, a No to a dialog).
bool app_program_stopped();
// Waits until the whole run has ended (exit status recorded); false on time-out.
bool app_wait_exit(int ms = 10000);
// Exit status given to the process exit (−1 while running).
int app_exit_status();
// Ends the run (close request when still running) and joins the threads; the working folder
// stays. Safe to call twice.
void app_stop();
// app_stop, then leaves and removes the working folder, restores the platform hooks. Safe to
// call twice.
void app_finish();

extern std::vector<AppDialog> app_dialogs;
// The answer every dialog gets: 1 Yes (the default, set again by app_prepare), 0 No.
extern int32_t app_dialog_answer;
// The working folder of the current test.
std::string app_folder();

// Input, as the window's callbacks would give it.
void app_key(int32_t code);                 // press and release
void app_move(int x, int y);
void app_press(int button, int x, int y);   // 0 left, 1 middle, 2 right
void app_release(int button, int x, int y);
// Pointer to (x, y), two frames, press, two frames, release, two frames: one processed click.
void app_click(int button, int x, int y);

// Pages: the one being shown (the previous frame's scene with this frame's editor and menu)
// and the one drawn in the last frame.
const ImageSurface* app_shown_page();
const ImageSurface* app_drawn_page();
int app_pixel(const ImageSurface* page, int x, int y);
// Characters of text row `row` from column `column` (1-based), read back by matching each
// 8 x 16 cell against the font. colour −1: every non-zero pixel is ink; else only that colour.
// A cell matching no glyph well reads '?'.
std::string app_text(const ImageSurface* page, int row, int column, int count, int colour = -1);
// The colour most of a cell's ink has (0 for an empty cell).
int app_cell_colour(const ImageSurface* page, int row, int column);

// Files of the working folder.
bool app_file_exists(const std::string& name);
// Temporary files ("*.tmp") in the working folder.
std::vector<std::string> app_temp_files();
std::vector<std::string> app_file_lines(const std::string& name);
