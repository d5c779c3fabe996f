// The swarm the force benchmarks run: ten species of total/10 particles, random rules, positions
// in the cube, the checked angle unit (so that the vector kernels serve).
#pragma once
#include <random>

#include "app/sim_cells.h"
#include "app/sim_force.h"
#include "app/sim_state.h"
#include "runtime/core/arena.h"
#include "runtime/text/random_timer.h"
#include "runtime/text/string_value.h"

inline void bench_force_swarm(int total) {
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
