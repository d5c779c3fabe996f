#include "simcore/simcore_support.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/sim_cells.h"
#include "app/sim_saved_state.h"
#include "app/sim_state.h"
#include "runtime/core/arena.h"
#include "runtime/core/platform.h"
#include "runtime/files/files.h"
#include "runtime/frame/restart.h"
#include "runtime/gfx/image.h"

std::vector<SimDialog> simcore_dialogs;

namespace {

std::string g_dir;
std::string g_home;

int32_t record_dialog(const char* caption, const char* text, int32_t, int32_t) {
    simcore_dialogs.push_back({caption, text});
    return 1;  // Yes
}

struct ExitCalled {};
void no_exit(int32_t) { throw ExitCalled{}; }

// The main routine as far as the handler entry goes: a pending handler runs the factory reset.
void handler_main() {
    if (frame_error.handler_pending) {
        frame_error.handler_pending = 0;
        frame_error.in_handler = 1;
        if (frame_error.handler_id == kSimHandlerFactoryReset) sim_factory_reset();
    }
}

void runtime_up() {
    static bool up = false;
    if (up) return;
    up = true;
    frame_arena_init();
    sv_init();
    gfx_init();
    gfx_init_screen();
    sim_create_tables();
    frame_set_module_clear(sim_clear_module);
    char cwd[4096];
    if (getcwd(cwd, sizeof cwd)) g_home = cwd;
}

void start_values() {
    sim_create_tables();
    sim_init_colour_names();
    sim_init_state();
}

}  // namespace

void simcore_fresh_state() {
    runtime_up();
    frame_error = ErrorState{};
    frame_run_reset();
    frame_platform.message_box = record_dialog;
    frame_platform.exit_process = no_exit;
    frame_platform.stop_leaves_thread = true;
    frame_set_main(handler_main);
    frame_clear_module();  // the restart's clearing: arrays, strings, files, handler
    start_values();
    simcore_dialogs.clear();
    std::string tmpl = (std::filesystem::temp_directory_path() / "simcore-XXXXXX").string();
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    ASSERT_NE(mkdtemp(buf.data()), nullptr);
    g_dir = buf.data();
    ASSERT_EQ(chdir(g_dir.c_str()), 0);
}

void simcore_teardown() {
    file_close_all();
    if (!g_home.empty()) (void)!chdir(g_home.c_str());
    if (!g_dir.empty()) std::filesystem::remove_all(g_dir);
    g_dir.clear();
    frame_platform = FramePlatform{};
    frame_set_main(nullptr);
    frame_error = ErrorState{};
    frame_run_reset();
}

void simcore_factory_start() {
    bool restarted = false;
    try {
        sim_load_state();
    } catch (const FrameRestart&) {
        restarted = true;
    }
    ASSERT_TRUE(restarted) << "a missing file ends in a restart";
    start_values();
    sim_load_state();
    sim_resetting = 0;
    sim_build_cells();
}

std::string simcore_read_file(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void simcore_write_file(const std::string& name, const std::string& bytes) {
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::vector<std::string> simcore_lines(const std::string& bytes) {
    std::vector<std::string> lines;
    size_t at = 0;
    while (at < bytes.size()) {
        size_t end = bytes.find("\r\n", at);
        if (end == std::string::npos) {
            lines.push_back(bytes.substr(at));
            break;
        }
        lines.push_back(bytes.substr(at, end - at));
        at = end + 2;
    }
    return lines;
}

bool simcore_file_exists(const std::string& name) { return std::filesystem::exists(name); }

std::vector<std::string> simcore_temp_files() {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator("."))
        if (e.path().extension() == ".tmp") names.push_back(e.path().filename().string());
    return names;
}

std::vector<uint32_t> simcore_particle_bits() {
    std::vector<uint32_t> bits;
    auto put = [&](float f) {
        uint32_t b;
        std::memcpy(&b, &f, 4);
        bits.push_back(b);
    };
    const float* p = sim_particles.data();
    for (size_t i = 0; i < 181u * 801u * 6u; ++i) put(p[i]);
    for (int s = 0; s <= 100; ++s)
        for (int c = 0; c < 3; ++c) put(sim_mean_points.get(s, c));
    put(sim_force_max);
    return bits;
}

uint64_t simcore_fingerprint() {
    uint64_t h = 1469598103934665603ull;
    for (uint32_t b : simcore_particle_bits()) {
        for (int i = 0; i < 4; ++i) {
            h ^= (b >> (8 * i)) & 0xFF;
            h *= 1099511628211ull;
        }
    }
    return h;
}
