// The simulation's main routine: start-up, then one frame after another.
#pragma once
#include <cstdint>

// Run by the program thread; returns only through a restart or the end of the program.
// Entered again (nested) to run the error handler.
void sim_main();
// Start-up steps: tables, generator warm-up, start values, load, layout, first picture,
// placement.
void sim_start_up();
// One frame of the loop, in its fourteen steps (the last, looping, is the caller's).
void sim_frame();

// Warm-up draws of every start-up: 1 to 100 (--start N), or 0 for a count from the clock.
extern int32_t sim_start_draws;
// The warm-up draws of the last start-up.
extern int32_t sim_warmup_draws;
// Takes --state, --preset, --swarm and --start from the options (the start-up calls it once, in
// the working folder, before the program thread starts); -1 to go on, else the exit status of
// --code, which ends the run here.
int sim_take_options();

// Called on the program thread after every frame; nullptr in the program. Tests step the
// simulation frame by frame with it.
extern void (*sim_frame_hook)();
