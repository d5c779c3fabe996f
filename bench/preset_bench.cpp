// How lively and how lasting the preset swarms are. Each preset (or each state file in the
// folder $KAVARO_PRESETS, candidates for presets) starts headless as the program starts it
// (--start 1) and runs $KAVARO_PRESET_STEPS frames (3000); reported: how far the species' mean
// points travel a frame, averaged over the species, in the first and in the last third
// (lively, and lasting), and at the end the particles' mean distance from the centre and their
// share inside the boundary cube (neither gathered into a point nor flown out of the view).
#include <benchmark/benchmark.h>
#include <dirent.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/sim_cells.h"
#include "app/sim_main.h"
#include "app/sim_saved_state.h"
#include "app/sim_state.h"
#include "bench_swarm.h"
#include "runtime/core/error.h"

namespace {

std::string folder() {
    const char* dir = std::getenv("KAVARO_PRESETS");
    return dir && *dir ? dir : KAVARO_PRESETS_SOURCE;
}

int steps() {
    const char* s = std::getenv("KAVARO_PRESET_STEPS");
    return s && std::atoi(s) > 0 ? std::atoi(s) : 3000;
}

void BM_PresetMotion(benchmark::State& state, const std::string& file) {
    for (auto _ : state) {
        bench_start_swarm(100, 3);  // the runtime up; the swarm itself comes from the file
        frame_reset_runtime();
        frame_clear_module();
        sim_create_tables();
        sim_state_path = file;
        sim_preset_path.clear();
        sim_start_draws = 1;
        sim_start_up();
        if (frame_error.error_number) {
            state.SkipWithError("the file did not load");
            return;
        }
        const int n = steps(), species = static_cast<int>(sim_species_number());
        std::vector<float> last(static_cast<size_t>(species) * 3, 0);
        double first_third = 0, last_third = 0;
        for (int f = 0; f < n; ++f) {
            sim_frame();
            // How far the mean points moved in this frame, averaged over the species.
            double moved = 0;
            for (int s = 0; s < species; ++s) {
                double d2 = 0;
                for (int c = 0; c < 3; ++c) {
                    float& was = last[static_cast<size_t>(s) * 3 + c];
                    const double d = static_cast<double>(sim_mean_points.get(s, c)) - was;
                    d2 += d * d;
                    was = sim_mean_points.get(s, c);
                }
                moved += std::sqrt(d2) / species;
            }
            if (f > 0 && f <= n / 3) first_third += moved;
            if (f >= n - n / 3) last_third += moved;
        }
        double radius = 0, total = 0, inside = 0;
        for (int s = 0; s < species; ++s)
            for (int p = 0; p < sim_species_count.get(s); ++p) {
                const double x = sim_particles.get(s, p, 0), y = sim_particles.get(s, p, 1),
                             z = sim_particles.get(s, p, 2);
                radius += std::sqrt(x * x + y * y + z * z);
                total += 1;
                inside += std::fabs(x) <= 50 && std::fabs(y) <= 50 && std::fabs(z) <= 50;
            }
        state.counters["travel_first"] = first_third / (n / 3);
        state.counters["travel_last"] = last_third / (n / 3);
        state.counters["radius_end"] = total > 0 ? radius / total : 0;
        state.counters["inside_end"] = total > 0 ? inside / total : 0;
        state.counters["species"] = species;
        state.counters["particles"] = total;
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> names;
    const std::string dir = folder();
    if (DIR* d = opendir(dir.c_str())) {
        while (const dirent* e = readdir(d)) {
            std::string n = e->d_name;
            if (n.size() > 4 && n.compare(n.size() - 4, 4, ".dat") == 0) names.push_back(n);
        }
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    for (const std::string& n : names)
        benchmark::RegisterBenchmark(("BM_PresetMotion/" + n.substr(0, n.size() - 4)).c_str(), BM_PresetMotion,
                                     dir + "/" + n)
            ->Iterations(1)
            ->Unit(benchmark::kSecond);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
}
