// The force and motion step, and the random placement in the cube.
#pragma once
#include <cstdint>

// Random positions for particles 0 … 239 of species 0 … 39.
void sim_place_in_cube();

// One step: forces from the rules and the central pull, motion, confinement, mean points.
// Reads each species' rule text once and shares the forces out over the worker threads.
void sim_force_step();
// The same step reading the rule text per particle, element by element; the yardstick that the
// fast step must match bit for bit.
void sim_force_step_reference();

// Threads that compute forces (the program thread included); 0 means one per core. Changing it
// takes effect at the next step; worker threads are made only then.
void sim_force_set_threads(int32_t threads);
int32_t sim_force_threads();
// Pair evaluations made by the last step (either version).
extern int64_t sim_force_pairs;
