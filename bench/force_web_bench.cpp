// The page's force step under node: nanoseconds a pair with the scalar kernel and with the
// SIMD128 kernel, on one thread and on every core, at 1000 and 4000 particles (the swarm of
// force_bench). node --no-experimental-fetch force_web_bench.js [SECONDS_EACH]
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "app/sim_force.h"
#include "bench_force_swarm.h"

namespace {

// Pair evaluations a second of the step with `isa` on `threads` threads, for about `seconds`.
double pairs_per_second(int total, SimForceIsa isa, int threads, double seconds) {
    bench_force_swarm(total);
    sim_force_set_threads(threads);
    sim_force_set_isa(isa);
    sim_force_step();  // the workers made, the caches warm
    int64_t pairs = 0;
    const auto t0 = std::chrono::steady_clock::now();
    double elapsed = 0;
    do {
        sim_force_step();
        pairs += sim_force_pairs;
        elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    } while (elapsed < seconds);
    return static_cast<double>(pairs) / elapsed;
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 3.0;
    const int cores = sim_force_threads();
    std::printf("%-10s %-8s %8s %14s %10s\n", "particles", "kernel", "threads", "ns_per_pair", "x_scalar");
    for (int total : {1000, 4000}) {
        for (int threads : {1, cores}) {
            const double scalar = pairs_per_second(total, SimForceIsa::kScalar, threads, seconds);
            const double simd = pairs_per_second(total, SimForceIsa::kSimd128, threads, seconds);
            std::printf("%-10d %-8s %8d %14.1f %10s\n", total, "scalar", threads, 1e9 / scalar, "");
            std::printf("%-10d %-8s %8d %14.1f %10.2f\n", total, sim_force_isa_name(sim_force_isa()), threads,
                        1e9 / simd, simd / scalar);
            if (threads == cores) break;
        }
    }
    return 0;
}
