// RUN: reset the runtime, clear the module, start the main routine again.
#pragma once

// The application's clearing of its variables and strings (fixed arrays are zero-filled here).
void frame_set_module_clear(void (*clear)());

// frame_reset_runtime then frame_clear_module; ends by throwing FrameRestart, which the program
// thread body catches before calling the main routine again.
[[noreturn]] void frame_restart();
void frame_reset_runtime();
void frame_clear_module();
