// The swarm the frame benchmarks run: a started simulation without the file.
#pragma once
#include "app/sim_cells.h"
#include "app/sim_force.h"
#include "app/sim_main.h"
#include "app/sim_menu.h"
#include "app/sim_state.h"
#include "app/sim_view.h"
#include "runtime/frame/restart.h"
#include "runtime/frame/startup.h"
#include "runtime/gfx/image.h"
#include "runtime/input/input.h"

// Factory cells, `species` species, about `total` particles, random rules, positions in the
// cube, the graphics screen up.
inline void bench_start_swarm(int total, int species) {
    static bool up = false;
    if (!up) {
        up = true;
        frame_init_runtime();
        gfx_init_screen();
        input_init();
    }
    frame_reset_runtime();
    frame_clear_module();
    sim_create_tables();
    sim_init_tables();
    sim_init_state();
    sim_resetting = 1;
    sim_build_cells();
    sim_resetting = 0;
    sim_set_cell(kSimRowSpecies, kSimColValue, static_cast<float>(species));
    sim_build_cells();
    sim_max_particles = static_cast<float>(total);
    sim_displacement = 50;
    sim_draw_frame();
    sim_place_in_cube();
    sim_random_rules(3, 1);
    sim_normalise_counts();
}
