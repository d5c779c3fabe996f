// Whole frames per second of the simulation, headless, with 100, 1000, 4000 and 8010 particles (the
// most the editor allows: 10 species of 801) and random rules; and where a frame's time goes:
// force step, scene drawing, text layer. A third benchmark shows the text layer's cost against the
// number of shown species (cells).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>

#include "app/sim_cells.h"
#include "bench_swarm.h"
#include "app/sim_editor.h"
#include "app/sim_force.h"
#include "app/sim_main.h"
#include "app/sim_menu.h"
#include "app/sim_panel.h"
#include "app/sim_state.h"
#include "app/sim_view.h"
#include "runtime/frame/restart.h"
#include "runtime/frame/startup.h"
#include "runtime/gfx/draw.h"
#include "runtime/gfx/image.h"
#include "runtime/gfx/text_output.h"
#include "runtime/input/input.h"
#include "runtime/text/random_timer.h"

namespace {

// Three species, more when a species would hold more than its 801 slots.
int species_for(int total) { return std::max(3, (total + 800) / 801); }

using Clock = std::chrono::steady_clock;
double seconds(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

void BM_Frame(benchmark::State& state) {
    const int total = static_cast<int>(state.range(0));
    bench_start_swarm(total, species_for(total));
    int64_t points = sim_projected_points;
    for (auto _ : state) sim_frame();
    state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                               benchmark::Counter::kIsRate);
    state.counters["particles"] = sim_particle_total;
    state.counters["points_per_frame"] =
        static_cast<double>(sim_projected_points - points) / static_cast<double>(state.iterations());
    state.counters["force_threads"] = sim_force_threads();
    state.SetLabel(sim_force_isa_name(sim_force_isa()));
}
BENCHMARK(BM_Frame)->Arg(100)->Arg(1000)->Arg(4000)->Arg(8010)->Unit(benchmark::kMillisecond);

// The frame's steps in their order, each timed: text (editor, normalisation, menu, panel
// mouse, header and panel rows), scene (page switch, boundary cube, particles), force step.
void BM_FrameShares(benchmark::State& state) {
    const int total = static_cast<int>(state.range(0));
    bench_start_swarm(total, species_for(total));
    double text = 0, scene = 0, force = 0;
    int64_t points = sim_projected_points;
    for (auto _ : state) {
        auto t0 = Clock::now();
        sim_panel_visible = 1;
        sim_draw_editor();
        sim_normalise_counts();
        sim_draw_menu();
        sim_mouse_panel();
        sim_angle_a += sim_auto_rotation;
        sim_angle_c += sim_auto_rotation;
        const int32_t page = static_cast<int32_t>(sim_page);
        gfx_screen(12, 0, page, page ^ 1, 0, 15);
        sim_page = static_cast<float>(page ^ 1);
        sim_draw_panel_header();
        sim_draw_panel();
        auto t1 = Clock::now();
        sim_draw_colour = sim_cube_colour;
        sim_draw_wire_cube(0, 0, 0, sim_cube_side);
        sim_draw_particles();
        auto t2 = Clock::now();
        sim_force_step();
        auto t3 = Clock::now();
        text += seconds(t0, t1);
        scene += seconds(t1, t2);
        force += seconds(t2, t3);
    }
    const double all = text + scene + force;
    const double n = static_cast<double>(state.iterations());
    state.counters["force_share"] = force / all;
    state.counters["scene_share"] = scene / all;
    state.counters["text_share"] = text / all;
    state.counters["scene_ns_per_point"] =
        scene * 1e9 / static_cast<double>(sim_projected_points - points);
    state.counters["text_ms"] = text * 1e3 / n;
    state.counters["scene_ms"] = scene * 1e3 / n;
    state.counters["force_ms"] = force * 1e3 / n;
}
BENCHMARK(BM_FrameShares)->Arg(100)->Arg(1000)->Arg(4000)->Arg(8010)->Unit(benchmark::kMillisecond);

// The text layer per frame against the number of shown species (and so of shown cells).
void BM_TextLayer(benchmark::State& state) {
    const int species = static_cast<int>(state.range(0));
    bench_start_swarm(100, species);
    for (auto _ : state) {
        sim_draw_editor();
        sim_normalise_counts();
        sim_draw_menu();
        sim_draw_panel_header();
        sim_draw_panel();
    }
    int shown = 0;
    for (int r = 0; r <= kSimRowSpecies; ++r) shown += sim_cell(r, kSimColShown) != 0;
    state.counters["shown_cells"] = shown;
}
BENCHMARK(BM_TextLayer)->Arg(1)->Arg(3)->Arg(10)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
