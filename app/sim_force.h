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

// Threads that compute forces (the program thread included); 0 means one per core that the
// program may run on (its CPU affinity). Changing it
// takes effect at the next step; worker threads are made only then.
void sim_force_set_threads(int32_t threads);
int32_t sim_force_threads();
// a + b and a × b where a NaN operand is passed on as it is, the left one first: the sign of a
// NaN result must not depend on the order in which the compiler takes the operands.
template <typename T>
inline T sim_force_add(T a, T b) {
    const T s = a + b;
    if (s == s) return s;
    return a != a ? a + a : b != b ? b + b : s;
}
template <typename T>
inline T sim_force_mul(T a, T b) {
    const T p = a * b;
    if (p == p) return p;
    return a != a ? a * a : b != b ? b * b : p;
}

// Pair evaluations made by the last step (either version).
extern int64_t sim_force_pairs;

// Instruction sets pass 1 can run on: the scalar code, AVX2 with FMA (4 doubles a vector),
// AVX-512 (8 doubles), and in the browser WebAssembly's SIMD128 (2 doubles). Every one gives the
// same results to the bit.
enum class SimForceIsa : int32_t { kScalar = 0, kAvx2 = 1, kAvx512 = 2, kSimd128 = 3 };
const char* sim_force_isa_name(SimForceIsa isa);
// The best one the processor runs and this build has.
SimForceIsa sim_force_isa_best();
// The best one, lowered to `setting` ("scalar", "avx2", "avx512" or "simd128") when that names
// one; an unknown setting is reported on standard error and ignored.
SimForceIsa sim_force_isa_from(const char* setting);
// The choice made once, at the first use: the best one lowered by the environment variable
// KAVARO_ISA.
SimForceIsa sim_force_isa_at_start();
// The one the step uses: the start-up choice, or the last one set (never above the best).
SimForceIsa sim_force_isa();
void sim_force_set_isa(SimForceIsa isa);
