// Pair evaluations per second of the force step: the straightforward reference, the fast step with
// the scalar kernel on one core, with the best vector kernel on one core and on every core, and
// with the AVX2 kernel on one core when AVX-512 is the best. Ten species, random rules, counts
// total/10. The vector runs also report their speed-up over the scalar one-core run of the same
// size in the same run ("x_scalar"), and nanoseconds a pair ("ns_per_pair").
#include <benchmark/benchmark.h>

#include <chrono>
#include <map>
#include <random>
#include <thread>

#include "app/sim_cells.h"
#include "bench_force_swarm.h"
#include "app/sim_force.h"
#include "app/sim_state.h"
#include "runtime/core/arena.h"
#include "runtime/text/random_timer.h"
#include "runtime/text/string_value.h"

namespace {

std::map<int64_t, double> g_scalar_rate;  // pairs per second of the scalar one-core run, by size

void run(benchmark::State& state, void (*step)(), int threads, SimForceIsa isa) {
    bench_force_swarm(static_cast<int>(state.range(0)));
    sim_force_set_threads(threads);
    sim_force_set_isa(isa);
    int64_t pairs = 0;
    const auto t0 = std::chrono::steady_clock::now();
    for (auto _ : state) {
        step();
        pairs += sim_force_pairs;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    const double rate = static_cast<double>(pairs) / seconds;
    state.counters["pairs_per_second"] = benchmark::Counter(static_cast<double>(pairs), benchmark::Counter::kIsRate);
    state.counters["pairs_per_step"] = static_cast<double>(sim_force_pairs);
    state.counters["threads"] = step == sim_force_step ? sim_force_threads() : 1;
    state.counters["ns_per_pair"] = seconds * 1e9 / static_cast<double>(pairs);
    if (step == sim_force_step) {
        state.SetLabel(sim_force_isa_name(sim_force_isa()));
        if (isa == SimForceIsa::kScalar && threads == 1) g_scalar_rate[state.range(0)] = rate;
        else if (g_scalar_rate.count(state.range(0)))
            state.counters["x_scalar"] = rate / g_scalar_rate[state.range(0)];
    }
    sim_force_set_threads(0);
    sim_force_set_isa(sim_force_isa_at_start());
}

void BM_ForceReference(benchmark::State& state) {
    run(state, sim_force_step_reference, 1, SimForceIsa::kScalar);
}
void BM_ForceScalarOneCore(benchmark::State& state) {
    run(state, sim_force_step, 1, SimForceIsa::kScalar);
}
void BM_ForceVectorOneCore(benchmark::State& state) {
    run(state, sim_force_step, 1, sim_force_isa_at_start());
}
void BM_ForceVectorAllCores(benchmark::State& state) {
    run(state, sim_force_step, 0, sim_force_isa_at_start());
}
void BM_ForceAvx2OneCore(benchmark::State& state) {
    if (sim_force_isa_at_start() != SimForceIsa::kAvx512) {
        state.SkipWithError("AVX2 is already the vector run, or not there");
        return;
    }
    run(state, sim_force_step, 1, SimForceIsa::kAvx2);
}

}  // namespace

BENCHMARK(BM_ForceReference)->Arg(100)->Arg(1000)->Arg(4000)->Unit(benchmark::kMillisecond)->MinTime(0.5)->UseRealTime();
BENCHMARK(BM_ForceScalarOneCore)->Arg(100)->Arg(1000)->Arg(4000)->Unit(benchmark::kMillisecond)->MinTime(0.5)->UseRealTime();
BENCHMARK(BM_ForceVectorOneCore)->Arg(100)->Arg(1000)->Arg(4000)->Unit(benchmark::kMillisecond)->MinTime(0.5)->UseRealTime();
BENCHMARK(BM_ForceAvx2OneCore)->Arg(1000)->Arg(4000)->Unit(benchmark::kMillisecond)->MinTime(0.5)->UseRealTime();
BENCHMARK(BM_ForceVectorAllCores)->Arg(100)->Arg(1000)->Arg(4000)->Unit(benchmark::kMillisecond)->MinTime(0.5)->UseRealTime();

BENCHMARK_MAIN();
