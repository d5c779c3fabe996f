#include "app/sim_swarm.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <vector>

#include "app/sim_main.h"
#include "app/sim_saved_state.h"
#include "app/sim_state.h"
#include "runtime/core/error.h"
#include "runtime/core/run_state.h"
#include "runtime/files/files.h"
#include "runtime/frame/options.h"
#include "runtime/frame/swarm_link.h"

namespace {

bool g_given = false;
SimSwarm g_option;

// v is the whole number k, lo <= k <= hi.
bool whole_in(float v, int32_t lo, int32_t hi, int32_t& k) {
    if (!(v >= static_cast<float>(lo) && v <= static_cast<float>(hi))) return false;
    k = static_cast<int32_t>(v);
    return static_cast<float>(k) == v;
}

std::string shown(float v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.9g", static_cast<double>(v));
    return buf;
}

std::string no_code(const std::string& what) { return "it holds a value that no swarm code holds (" + what + ")"; }

std::string absolute(const std::string& path) {
    char cwd[PATH_MAX];
    if (path.empty() || path[0] == '/' || !getcwd(cwd, sizeof cwd)) return path;
    return std::string(cwd) + "/" + path;
}

// --code: the code of FILE, of the swarm given, of the preset or of the state file.
int print_code(FILE* out, FILE* err) {
    SimSwarm s;
    bool clamped = false;
    std::string why;
    const std::string& file = frame_options.code_file;
    const std::string path = !file.empty()                 ? file
                             : g_given                      ? std::string()
                             : !sim_preset_path.empty()     ? sim_preset_path
                                                            : sim_state_path;
    if (path.empty()) {
        s = g_option;
    } else {
        const SimFileRead read = sim_swarm_read_file(path, s, clamped, why);
        if (read == SimFileRead::missing && file.empty() && sim_preset_path.empty()) {
            // The first start writes the factory settings there.
            s = sim_swarm_factory();
            std::fprintf(err, "kavaro: there is no state file %s yet; this is the code of the factory settings\n",
                         absolute(path).c_str());
        } else if (read != SimFileRead::ok) {
            std::fprintf(err, "kavaro: no swarm code for %s: %s\n", absolute(path).c_str(), why.c_str());
            return 2;
        }
    }
    if (clamped)
        std::fprintf(err, "kavaro: %s holds values outside the editor's limits; the code holds them brought within, "
                     "as a start loads them\n", absolute(path).c_str());
    s.start = sim_start_draws;
    std::fprintf(out, "%s\n", sim_swarm_encode(s).c_str());
    return 0;
}

}  // namespace

bool sim_swarm_pending = false;
SimSwarm sim_pending_swarm;

SimSwarm sim_swarm_factory() {
    SimSwarm s;
    s.species = 3;
    for (int32_t i = 0; i < 10; ++i) {
        s.colour[i] = i % 15 + 1;
        s.count[i] = 5;
    }
    const float parameters[8] = {0, 3, 0, 50, 50, 50, 100, 0.3f};
    for (int32_t k = 0; k < 8; ++k) s.parameter[k] = parameters[k];
    return s;
}

bool sim_swarm_from_values(const float* values, const float* parameters, SimSwarm& out, std::string& why) {
    SimSwarm s;
    if (!whole_in(values[kSimRowSpecies], 1, 10, s.species)) {
        why = no_code(shown(values[kSimRowSpecies]) + " species; the editor has 1 to 10");
        return false;
    }
    const int32_t n = s.species;
    for (int32_t i = 0; i < n; ++i) {
        if (!whole_in(values[i], 1, 15, s.colour[i])) {
            why = no_code("a colour of " + shown(values[i]) + "; the colours are the whole numbers 1 to 15");
            return false;
        }
        s.count[i] = values[kSimRowCount + i];
        if (!std::isfinite(s.count[i])) {
            why = no_code("a count that is not a finite number");
            return false;
        }
    }
    for (int32_t a = 0; a < n; ++a) {
        for (int32_t b = 0; b < n; ++b) {
            int32_t k = 0;
            const float v = values[kSimRowRule + 40 * a + b];
            if (!whole_in(v, -1, 1, k)) {
                why = no_code("a rule of " + shown(v) + "; the rules are -1, 0 and 1");
                return false;
            }
            s.rule[a][b] = static_cast<int8_t>(k);
        }
    }
    for (int32_t k = 0; k < 8; ++k) {
        s.parameter[k] = parameters[k];
        if (!std::isfinite(s.parameter[k])) {
            why = no_code("a panel value that is not a finite number");
            return false;
        }
    }
    out = s;
    return true;
}

bool sim_swarm_from_state(int32_t start, SimSwarm& out, std::string& why) {
    float values[kSimRowSpecies + 1];
    for (int32_t r = 0; r <= kSimRowSpecies; ++r) values[r] = sim_cell(r, kSimColValue);
    float parameters[8];
    for (int32_t k = 0; k < 8; ++k) parameters[k] = *sim_saved_parameters[k];
    if (!sim_swarm_from_values(values, parameters, out, why)) return false;
    out.start = start;
    return true;
}

void sim_swarm_into_state(const SimSwarm& s) {
    // What a state file holds: the layout columns are laid out again after the load.
    for (int32_t row = 0; row <= kSimRowSpecies; ++row) {
        for (int32_t col = 0; col <= 9; ++col) sim_set_cell(row, col, 0);
        FRAME_CP();
    }
    const SimSwarm factory = sim_swarm_factory();
    const int32_t n = s.species;
    for (int32_t i = 0; i < 40; ++i) {
        sim_set_cell(i, kSimColValue, static_cast<float>(i < n ? s.colour[i] : i % 15 + 1));
        FRAME_CP();
        sim_set_cell(kSimRowCount + i, kSimColValue, i < n ? s.count[i] : factory.count[0]);
        FRAME_CP();
    }
    for (int32_t a = 0; a < n; ++a) {
        for (int32_t b = 0; b < n; ++b) sim_set_cell(kSimRowRule + 40 * a + b, kSimColValue, s.rule[a][b]);
        FRAME_CP();
    }
    sim_set_cell(kSimRowSpecies, kSimColValue, static_cast<float>(n));
    FRAME_CP();
    for (int32_t k = 0; k < 8; ++k) {
        *sim_saved_parameters[k] = s.parameter[k];
        FRAME_CP();
    }
}

SimFileRead sim_swarm_read_file(const std::string& path, SimSwarm& out, bool& clamped, std::string& why) {
    clamped = false;
    struct stat st;
    if (stat(path.c_str(), &st) != 0 && errno == ENOENT) {
        why = "there is no such file";
        return SimFileRead::missing;
    }
    // Errors are taken here as they come, not at a check-point: no thread runs the program yet.
    auto failed = [&](const std::string& where) {
        why = where + frame_error_text(frame_error.error_number);
        frame_error.error_number = 0;
        frame_run.attention.store(0, std::memory_order_relaxed);
        file_close(1);
        return SimFileRead::failed;
    };
    const int32_t base = sv_temp_count();
    file_open(sv_new_text(path.c_str()), FILE_INPUT, 0, 0, 1, 0);
    sv_cleanup(base, 0);
    if (frame_error.error_number != 0) return failed("it cannot be read: ");
    std::vector<float> values(kSimRowSpecies + 1);
    float parameters[8];
    int32_t line = 0;
    auto read = [&](float& into) {
        ++line;
        into = static_cast<float>(file_input_number(1, FILE_NUM_SINGLE));
        return frame_error.error_number == 0;
    };
    for (int32_t row = 0; row <= kSimRowSpecies; ++row) {
        for (int32_t col = 0; col <= 9; ++col) {
            float v = 0, lo, hi;
            if (!read(v)) return failed("line " + std::to_string(line) + ": ");
            if (col != kSimColValue) continue;
            if (sim_cell_limits(row, lo, hi)) {
                const float was = v;
                if (v > hi) v = hi;
                if (v < lo) v = lo;
                clamped = clamped || v != was;
            }
            values[static_cast<size_t>(row)] = v;
        }
    }
    for (float& p : parameters)
        if (!read(p)) return failed("line " + std::to_string(line) + ": ");
    file_close(1);
    return sim_swarm_from_values(values.data(), parameters, out, why) ? SimFileRead::ok : SimFileRead::failed;
}

int sim_swarm_check_option(FILE* err) {
    g_given = false;
    if (frame_options.swarm.empty()) return -1;
    std::string why;
    if (!sim_swarm_decode(frame_options.swarm, g_option, why)) {
        std::fprintf(err, "kavaro: %s\n", why.c_str());
        return 2;
    }
    g_given = true;
    return -1;
}

int sim_swarm_take_options(FILE* out, FILE* err) {
    if (g_given && frame_options.start_draws == 0) sim_start_draws = g_option.start;
    if (frame_options.code) return print_code(out, err);
    sim_swarm_pending = false;
    if (!g_given) return -1;
    // A state file that holds this very swarm (a page reloaded at its own address) loads as
    // it is, with the cells beyond the code that it keeps.
    SimSwarm in_file, wanted = g_option;
    wanted.start = 0;
    bool clamped = false;
    std::string why;
    const bool same = sim_swarm_read_file(sim_state_path, in_file, clamped, why) == SimFileRead::ok && !clamped &&
                      sim_swarm_same(in_file, wanted);
    sim_swarm_pending = !same;
    sim_pending_swarm = g_option;
    return -1;
}

bool sim_swarm_given() { return g_given; }
const SimSwarm& sim_swarm_option() { return g_option; }

void sim_swarm_note_loaded() {
    SimSwarm s;
    std::string why;
    frame_post_swarm_address(sim_swarm_from_state(sim_start_draws, s, why) ? sim_swarm_encode(s) : "");
}

void sim_swarm_answer_page() {
    if (!frame_take_share_request()) return;
    SimSwarm s;
    std::string why;
    frame_answer_share(sim_swarm_from_state(sim_warmup_draws, s, why) ? sim_swarm_encode(s) : "!" + why);
}
