// The page's force step under node: nanoseconds a pair with the scalar kernel and with the
// SIMD128 kernel, on one thread and on every core, at 1000 and 4000 particles (the swarm of
// force_bench). node --no-experimental-fetch force_web_bench.js [SECONDS_EACH] [ROUNDS]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

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

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 3.0;
    const int rounds = std::max(1, argc > 2 ? std::atoi(argv[2]) : 3);
    const int cores = sim_force_threads();
    std::printf("%-10s %-8s %8s %14s %10s\n", "particles", "kernel", "threads", "ns_per_pair", "x_scalar");
    for (int total : {1000, 4000}) {
        for (int threads : {1, cores}) {
            // A shared machine's speed drifts: the kernels take turns, and the medians are compared.
            std::vector<double> scalar, simd;
            for (int r = 0; r < rounds; ++r) {
                scalar.push_back(pairs_per_second(total, SimForceIsa::kScalar, threads, seconds));
                simd.push_back(pairs_per_second(total, SimForceIsa::kSimd128, threads, seconds));
            }
            const double s = median(scalar), v = median(simd);
            std::printf("%-10d %-8s %8d %14.1f %10s\n", total, "scalar", threads, 1e9 / s, "");
            std::printf("%-10d %-8s %8d %14.1f %10.2f\n", total, sim_force_isa_name(sim_force_isa()), threads,
                        1e9 / v, v / s);
            if (threads == cores) break;
        }
    }
    return 0;
}
