// Pair evaluations per second of the force step: the straightforward reference, the fast step on
// one core, and the fast step on every core. Ten species, random rules, counts total/10.
#include <benchmark/benchmark.h>

#include <random>
#include <thread>

#include "app/sim_cells.h"
#include "app/sim_force.h"
#include "app/sim_state.h"
#include "runtime/frame/arena.h"
#include "runtime/text/random_timer.h"
#include "runtime/text/string_value.h"

namespace {

void set_up(int total) {
    static bool up = false;
    if (!up) {
        up = true;
        frame_arena_init();
        sv_init();
        sim_create_tables();
        sim_init_colour_names();
    }
    frame_clear_all_arrays();
    sim_clear_module();
    sim_init_colour_names();
    sim_deg = 0.017453292f;
    sim_cell_width = 4;
    sim_cell_height = 1;
    sim_central_pull = 50;
    sim_displacement = 50;
    sim_set_cell(kSimRowSpecies, kSimColValue, 10);
    sim_build_cells();
    std::mt19937 gen(2024);
    for (int i = 0; i < 10; ++i) sim_set_cell(kSimRowCount + i, kSimColValue, static_cast<float>(total / 10));
    for (int a = 0; a < 10; ++a)
        for (int b = 0; b < 10; ++b)
            sim_set_cell(kSimRowRule + 40 * a + b, kSimColValue, static_cast<float>(static_cast<int>(gen() % 3) - 1));
    sim_sync_species();
    rnd_reset();
    sim_place_in_cube();
}

void run(benchmark::State& state, void (*step)(), int threads) {
    set_up(static_cast<int>(state.range(0)));
    sim_force_set_threads(threads);
    int64_t pairs = 0;
    for (auto _ : state) {
        step();
        pairs += sim_force_pairs;
    }
    state.counters["pairs_per_second"] = benchmark::Counter(static_cast<double>(pairs), benchmark::Counter::kIsRate);
    state.counters["pairs_per_step"] = static_cast<double>(sim_force_pairs);
    state.counters["threads"] = step == sim_force_step ? sim_force_threads() : 1;
    sim_force_set_threads(0);
}

void BM_ForceReference(benchmark::State& state) { run(state, sim_force_step_reference, 1); }
void BM_ForceFastOneCore(benchmark::State& state) { run(state, sim_force_step, 1); }
void BM_ForceFastAllCores(benchmark::State& state) { run(state, sim_force_step, 0); }

}  // namespace

BENCHMARK(BM_ForceReference)->Arg(100)->Arg(1000)->Arg(4000)->Unit(benchmark::kMillisecond)->MinTime(0.5)->UseRealTime();
BENCHMARK(BM_ForceFastOneCore)->Arg(100)->Arg(1000)->Arg(4000)->Unit(benchmark::kMillisecond)->MinTime(0.5)->UseRealTime();
BENCHMARK(BM_ForceFastAllCores)->Arg(100)->Arg(1000)->Arg(4000)->Unit(benchmark::kMillisecond)->MinTime(0.5)->UseRealTime();

BENCHMARK_MAIN();
