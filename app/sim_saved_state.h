// The saved-state file "kavaro.dat": 1701 x 10 cells and eight parameters, one number a line.
#pragma once
#include <cstdint>

// Number of the application's error handler that runs sim_factory_reset.
constexpr int32_t kSimHandlerFactoryReset = 1;

// Writes the state under a temporary name and puts it in place of "kavaro.dat" only when every
// line and the close succeeded.
void sim_save_state();
// Reads the state; a file that cannot be opened enters the factory-reset handler. Reading stops
// at the first read that fails for want of data.
void sim_load_state();
// The handler: factory cells and parameters, save, restart. Does not return.
[[noreturn]] void sim_factory_reset();

// Lines of the file and the line holding the first parameter.
constexpr int32_t kSimSavedLines = 17018;

// Called after each line written (tests slow a save down with it); nullptr normally.
extern void (*sim_save_line_hook)(int32_t line);
