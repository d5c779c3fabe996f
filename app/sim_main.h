// The simulation's main routine: start-up, then one frame after another.
#pragma once

// Run by the program thread; returns only through a restart or the end of the program.
// Entered again (nested) to run the error handler.
void sim_main();
// Start-up steps: tables, generator warm-up, start values, load, layout, first picture,
// placement.
void sim_start_up();
// One frame of the loop, in its fourteen steps (the last, looping, is the caller's).
void sim_frame();

// Called on the program thread after every frame; nullptr in the program. Tests step the
// simulation frame by frame with it.
extern void (*sim_frame_hook)();
