// What the machine offers the force step: its vector units and the cores the program may use.
// One file per platform answers.
#pragma once
#include <cstdint>

struct SimCpuFeatures {
    bool avx2 = false;    // with everything Highway's AVX2 target uses, and the OS saving ymm
    bool avx512 = false;  // F, VL, DQ, BW, and the OS saving zmm and the mask registers
    bool simd128 = false;  // WebAssembly's 128-bit vectors (the page's build that has them)
};
SimCpuFeatures sim_cpu_features();

// The cores this thread may run on now (at least 1).
int32_t sim_cpu_cores();
