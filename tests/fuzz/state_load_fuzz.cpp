// A state file from a stranger, through the whole load to the state the program runs with (the
// load, the cell layout and the first count normalisation): no crash, no undefined behaviour,
// every value finite, each edited value within its cell's limits, each kind of error told at
// most once (only input past end, overflow and the one notice for values brought within
// limits), and the file left as it was.
// Input: a first byte whose bit 0 chooses the whole file as the rest of the input (0), or the
// factory file with the rest spliced in (1): three bytes of offset, then the new bytes, which
// replace (first byte >> 1) bytes of the factory file, so that short inputs reach every line.
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "app/sim_cells.h"
#include "app/sim_saved_state.h"
#include "app/sim_state.h"
#include "runtime/core/arena.h"
#include "runtime/core/error.h"
#include "runtime/core/platform.h"
#include "runtime/core/run_state.h"
#include "runtime/frame/restart.h"
#include "runtime/gfx/image.h"

namespace {

std::string g_dir, g_factory;
std::map<std::string, int> g_told;

int32_t count_dialog(const char* caption, const char*, int32_t, int32_t) {
    ++g_told[caption];
    return 1;  // Yes: the program goes on
}

void no_exit(int32_t) { std::abort(); }  // nothing in a load may end the process

// The main routine as far as the handler goes (the factory reset of a file that cannot be opened).
void handler_main() {
    if (frame_error.handler_pending) {
        frame_error.handler_pending = 0;
        frame_error.in_handler = 1;
        if (frame_error.handler_id == kSimHandlerFactoryReset) sim_factory_reset();
    }
}

// A fresh program: runtime state, tables and start values as the start-up leaves them.
void fresh() {
    frame_error = ErrorState{};
    frame_run_reset();
    frame_clear_module();
    sim_create_tables();
    sim_init_colour_names();
    sim_init_state();
    g_told.clear();
}

std::string read_all(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void remove_dir() { std::system(("rm -rf " + g_dir).c_str()); }

void setup_once() {
    if (!g_dir.empty()) return;
    frame_arena_init();
    sv_init();
    gfx_init();
    gfx_init_screen();
    sim_create_tables();
    frame_set_module_clear(sim_clear_module);
    frame_set_main(handler_main);
    frame_platform.message_box = count_dialog;
    frame_platform.exit_process = no_exit;
    frame_platform.stop_leaves_thread = true;
    char tmpl[] = "/tmp/kavaro-fuzz-state-XXXXXX";
    if (!mkdtemp(tmpl)) std::abort();
    g_dir = tmpl;
    std::atexit(remove_dir);
    sim_state_path = g_dir + "/state.dat";
    // The factory file, written as the first start writes it.
    fresh();
    try {
        sim_load_state();
    } catch (const FrameRestart&) {
    }
    g_factory = read_all(sim_state_path);
    if (g_factory.size() < 17018 * 3) std::abort();
}

void check(bool ok) {
    if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    setup_once();
    if (size < 1 || size > (1u << 20)) return 0;
    std::string file;
    if ((data[0] & 1) == 0) {
        file.assign(reinterpret_cast<const char*>(data + 1), size - 1);
    } else {
        if (size < 4) return 0;
        size_t at = (data[1] | data[2] << 8 | data[3] << 16) % (g_factory.size() + 1);
        size_t cut = std::min<size_t>(data[0] >> 1, g_factory.size() - at);
        file = g_factory.substr(0, at);
        file.append(reinterpret_cast<const char*>(data + 4), size - 4);
        file += g_factory.substr(at + cut);
    }
    {
        std::ofstream out(sim_state_path, std::ios::binary | std::ios::trunc);
        out << file;
    }

    fresh();
    try {
        sim_load_state();
    } catch (const FrameRestart&) {
        std::abort();  // an existing file never ends in the factory reset's restart
    }
    sim_resetting = 0;
    sim_build_cells();
    sim_normalise_counts();

    for (const auto& [caption, n] : g_told) {
        check(n == 1);
        check(caption == "Unhandled Error #5" || caption == "Unhandled Error #6" ||
              caption == "Unhandled Error #62");
    }
    check(frame_error.error_number == 0);
    for (int32_t row = 0; row <= 1700; ++row) check(std::isfinite(sim_cell(row, kSimColValue)));
    for (int32_t s = 0; s < kSimRowCount; ++s) {
        float c = sim_cell(s, kSimColValue);
        check(c >= 0 && c <= 15);
    }
    for (int32_t r = kSimRowRule; r < kSimRowRule + 1600; ++r) {
        float v = sim_cell(r, kSimColValue);
        check(v >= -1 && v <= 1);
    }
    const float n = sim_cell(kSimRowSpecies, kSimColValue);
    check(n >= 1 && n <= kSimSpeciesMax);
    for (float p : {sim_particle_shape, sim_particle_size, sim_cube_closed, sim_displacement, sim_central_pull,
                    sim_view_radius, sim_max_particles, sim_auto_rotation})
        check(std::isfinite(p));
    for (int32_t s = 0; s < 40; ++s) check(sim_active_count(s) >= 0 && sim_active_count(s) <= kSimParticleSlots);
    check(read_all(sim_state_path) == file);  // loading never writes
    // A file that gave a dialog is kept as it was beside itself; one that loaded, not.
    const std::string copy = sim_state_path + ".damaged";
    std::ifstream kept(copy, std::ios::binary);
    check(g_told.empty() ? !kept : read_all(copy) == file);
    std::remove(copy.c_str());
    return 0;
}
