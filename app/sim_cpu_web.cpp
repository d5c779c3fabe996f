// The browser's cores; the x86 vector units are not there.
#include <emscripten/threading.h>

#include "app/sim_cpu.h"

SimCpuFeatures sim_cpu_features() { return {}; }

// navigator.hardwareConcurrency, which also sizes the page's pool of threads.
int32_t sim_cpu_cores() {
    const int n = emscripten_num_logical_cores();
    return n > 0 ? n : 1;
}
