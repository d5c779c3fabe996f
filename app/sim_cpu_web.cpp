// The browser's cores and vectors: the page loads the build with SIMD128 where the browser has
// it (every current one), and the one without it elsewhere; its kernel says which this is.
#include <emscripten/threading.h>

#include "app/sim_cpu.h"

SimCpuFeatures sim_cpu_features() {
    SimCpuFeatures f;
    f.simd128 = true;
    return f;
}

// navigator.hardwareConcurrency, which also sizes the page's pool of threads.
int32_t sim_cpu_cores() {
    const int n = emscripten_num_logical_cores();
    return n > 0 ? n : 1;
}
