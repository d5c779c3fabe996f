// The saved-state file "kavaro.dat": 1701 x 10 cells and eight parameters, one number a line.
#pragma once
#include <cstdint>
#include <string>

#include "app/sim_swarm_code.h"

// The state file: "kavaro.dat" in the working folder, or the file given with --state.
extern std::string sim_state_path;
// A preset (--preset): the loads read it instead of the state file until the first save.
extern std::string sim_preset_path;
// A swarm code (--swarm): while pending, the loads read this swarm instead of a file, until the
// first save.
extern bool sim_swarm_pending;
extern SimSwarm sim_pending_swarm;
// The eight saved parameters in the file's order.
extern float* const sim_saved_parameters[8];
// The limits a cell has in the editor, for the cells whose values the editor sets (colours,
// rules, the number of species); false for the others.
bool sim_cell_limits(int32_t row, float& lo, float& hi);

// Number of the application's error handler that runs sim_factory_reset.
constexpr int32_t kSimHandlerFactoryReset = 1;

// Writes the state under a temporary name of its own beside the file it replaces (the state
// file or the end of its symbolic links, which must be a regular file or a new name), flushed
// to disk, with the old file's mode, and renames it over that file only when every line
// succeeded. A state file that was there but could not be read at the start is not replaced.
// A close that comes meanwhile waits for the save. False when the save failed or was refused
// (its error has been reported).
bool sim_save_state();
// Removes the temporary files killed saves left (not those a running program holds), then
// reads the state (the preset until the first save); a file that cannot be opened enters the
// factory-reset handler. Reading stops at the first read that fails for want
// of data; each kind of error is reported once; a value outside the limits of its editor cell
// is brought within them, with one notice (error 5) for all of them.
void sim_load_state();
// The handler: factory cells and parameters, save, restart. Comes back (with the factory values
// in memory, unsaved) when the save failed, or when the state file exists (or a preset was
// loaded) but could not be opened: the files are left as they are and the reason reported once.
void sim_factory_reset();
// The factory-reset command: the next load (after a restart) runs the reset instead of reading.
void sim_ask_factory_reset();
// A state file the user opened (the page's Open): the program starts again and reads it with
// every rule of the state file's load. Read whole (values brought within limits included), it
// is saved as the state at once; otherwise nothing is written and the program starts again
// from what it loaded before.
void sim_open_state(const std::string& path);

// Lines of the file and the line holding the first parameter.
constexpr int32_t kSimSavedLines = 17018;

// Called after each line written (tests slow a save down with it); nullptr normally.
extern void (*sim_save_line_hook)(int32_t line);
