// The page's build for browsers without SIMD128: no vector kernel, every step runs the scalar one.
#include "app/sim_force_kernel.h"

SimForceKernel sim_force_vector_kernel(int32_t, SimForceTrial) { return nullptr; }

void sim_force_vector_angles(int32_t, const float*, float*, int64_t, int64_t*) {}

void sim_force_vector_cosines(int32_t, const float*, double, float*, int64_t, int64_t*) {}
