#include "app/sim_saved_state.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/sim_cells.h"
#include "app/sim_state.h"
#include "app/sim_swarm.h"
#include "runtime/core/platform.h"
#include "runtime/files/file_safe.h"
#include "runtime/files/files.h"
#include "runtime/frame/restart.h"
#include "runtime/text/number_text.h"

void (*sim_save_line_hook)(int32_t line) = nullptr;
std::string sim_state_path = "kavaro.dat";
std::string sim_preset_path;

float* const sim_saved_parameters[8] = {
    &sim_particle_shape, &sim_particle_size, &sim_cube_closed,   &sim_displacement,
    &sim_central_pull,   &sim_view_radius,   &sim_max_particles, &sim_auto_rotation,
};

namespace {

// The name older programs wrote their saves under (one at a time, without a lock).
const char kLegacyTempName[] = "kavaro.tmp";

// Set by the factory-reset command; survives the restart that follows it (it is no part of
// the simulation's state, which the restart clears).
bool g_reset_asked = false;
// The file opened by the user, read by the next load (survives the restart that reads it).
std::string g_opened_path;
// Why the state file that is there could not be read at the start (0: it was read, or missing);
// such a file is never replaced by a save. Survives restarts, as the file does.
int32_t g_unread_error = 0;

// A state file that could not be loaded whole is copied before anything can be written over
// it, and one line says where the copy is. When no copy can be made the file is kept as one
// that could not be read: no save replaces it.
void keep_damaged_file() {
    std::string copy;
    const int why = file_keep_copy(1, sim_state_path, copy);
    char cwd[PATH_MAX];
    const std::string here = sim_state_path[0] != '/' && getcwd(cwd, sizeof cwd) ? std::string(cwd) + "/" : "";
    if (why == 0) {
        std::fprintf(stderr, "kavaro: %s%s could not be loaded whole; it is kept as it was in %s%s\n", here.c_str(),
                     sim_state_path.c_str(), here.c_str(), copy.c_str());
        return;
    }
    g_unread_error = file_write_target_error(why, copy);
    std::fprintf(stderr, "kavaro: %s%s could not be loaded whole and cannot be copied to %s%s (%s); it will not "
                 "be written over\n", here.c_str(), sim_state_path.c_str(), here.c_str(), copy.c_str(),
                 std::strerror(why));
}

// The statement just run raised no error (read before its check-point reports it).
bool no_error() { return frame_error.error_number == 0; }

// What the loads read: the preset until the first save, then the state file.
const std::string& load_path() { return sim_preset_path.empty() ? sim_state_path : sim_preset_path; }

// Only a state file that does not exist is missing; one that is there but cannot be read is
// not replaced.
bool state_file_missing() {
    struct stat st;
    return stat(sim_state_path.c_str(), &st) != 0 && errno == ENOENT;
}

}  // namespace

// A count is a weight that the normalisation itself may leave outside the click range: it has
// no limits here.
bool sim_cell_limits(int32_t row, float& lo, float& hi) {
    if (row >= 0 && row < kSimRowCount) {
        lo = 1, hi = 15;  // colours
    } else if (row >= kSimRowRule && row < kSimRowRule + 40 * 40) {
        lo = -1, hi = 1;  // rules
    } else if (row == kSimRowSpecies) {
        lo = 1, hi = kSimSpeciesMax;
    } else {
        return false;
    }
    return true;
}

void sim_ask_factory_reset() { g_reset_asked = true; }

void sim_open_state(const std::string& path) {
    g_opened_path = path;
    frame_restart();
}

namespace {

bool save_state() {
    const int32_t base = sv_temp_count();
    // A file that was there but could not be read keeps its bytes until it is gone.
    if (g_unread_error != 0 && !state_file_missing()) {
        frame_raise(g_unread_error);
        FRAME_CP();
        return false;
    }
    // Only a regular file or a new name is written, after following links: a device, FIFO,
    // socket, folder or link loop is refused as the load refuses it.
    std::string target;
    struct stat old {};
    bool replacing = false;
    if (int why = file_write_target(sim_state_path, target, &old, &replacing)) {
        frame_raise(file_write_target_error(why, target));
        FRAME_CP();
        return false;
    }
    bool ok = true;
    // A state file that may not be written (made read-only, say) refuses the save, as opening
    // it for output would, instead of being replaced by the renamed one.
    if (replacing) {
        file_open(sv_new_text(target.c_str()), FILE_APPEND, 0, 0, 1, 0);
        ok = no_error();
        sv_cleanup(base, 0);
        FRAME_CP();
        if (!ok) return false;
        file_close(1);
        FRAME_CP();
    }
    file_open_temp(1, target);
    ok = no_error();
    FRAME_CP();
    if (!ok) return false;
    int32_t line = 0;
    // After a failed write the rest is skipped: one dialog, not one per line.
    for (int32_t row = 0; row <= 1700 && ok; ++row) {
        for (int32_t col = 0; col <= 9 && ok; ++col) {
            file_print(1, num_str(sim_cell(row, col)), 1, 0, 1);
            ok = no_error();
            sv_cleanup(base, 0);
            FRAME_CP();
            if (sim_save_line_hook) sim_save_line_hook(++line);
            ok = ok && no_error();
        }
    }
    for (int32_t i = 0; i < 8 && ok; ++i) {
        file_print(1, num_str(*sim_saved_parameters[i]), 1, 0, 1);
        ok = no_error();
        sv_cleanup(base, 0);
        FRAME_CP();
        if (sim_save_line_hook) sim_save_line_hook(++line);
        ok = ok && no_error();
    }
    // Flushed, given the old file's mode and renamed over it: a power cut or a kill leaves one
    // of the two whole.
    if (ok) file_commit(1, target, replacing ? &old : nullptr);
    ok = ok && no_error();
    FRAME_CP();
    // A save that failed removes its temporary file.
    file_close(1);
    FRAME_CP();
    if (ok) {
        g_unread_error = 0;
        // From now on the state file holds what the user keeps, not the preset or the code.
        sim_preset_path.clear();
        sim_swarm_pending = false;
        sim_swarm_note_loaded();
    }
    return ok;
}

}  // namespace

bool sim_save_state() {
    // Begun, a save ends before the program does: a close waits for it.
    frame_hold_stop();
    const bool ok = save_state();
    frame_release_stop();
    return ok;
}

void sim_load_state() {
    const int32_t base = sv_temp_count();
    // Temporary files a killed save left; not those another program is writing now.
    std::string target;
    if (file_write_target(sim_state_path, target, nullptr, nullptr) == 0)
        file_temp_remove_stale(target, kLegacyTempName);
    if (g_reset_asked) {
        // The factory-reset command: the reset writes its file over the old one (which stays
        // whole until then) and restarts; it comes back only when that save failed. A file that
        // could not be read (nor copied) stays refused.
        g_reset_asked = false;
        sim_factory_reset();
        return;
    }
    g_unread_error = 0;
    const bool opened = !g_opened_path.empty();
    if (!opened && sim_swarm_pending) {
        sim_swarm_into_state(sim_pending_swarm);
        return;
    }
    frame_error.handler_id = kSimHandlerFactoryReset;
    FRAME_CP();
    // A failed open enters the handler at this check-point; the handler restarts the program,
    // or goes on without the file when it could not be replaced.
    file_open(sv_new_text((opened ? g_opened_path : load_path()).c_str()), FILE_INPUT, 0, 0, 1, 0);
    sv_cleanup(base, 0);
    FRAME_CP();
    frame_error.handler_id = 0;
    FRAME_CP();
    if (!file_slot(1)) return;
    bool more = true, clamped = false;
    // A copy has been seen to, or the file read is no state file (a preset, or a file opened by
    // the user, which replaces the state only when it is read whole).
    bool kept = opened || !sim_preset_path.empty();
    // Each kind of error is told once per load: the repeats of an error already shown are
    // dropped. A read that fails stops the loading (an out-of-range value only loses its own
    // line), so a short file reports its end once and the values read so far stay.
    uint32_t told[4] = {};
    auto read = [&](float& into) {
        float v = static_cast<float>(file_input_number(1, FILE_NUM_SINGLE));
        const uint32_t e = frame_error.error_number;
        if (e == 0) {
            into = v;
            FRAME_CP();
            return true;
        } else {
            if (!kept) keep_damaged_file();
            kept = true;
            if (e != 6) more = false;
            bool seen = false;
            for (uint32_t& k : told) {
                if (k == e) seen = true;
                if (k == e || k == 0) {
                    k = e;
                    break;
                }
            }
            if (seen) frame_error.error_number = 0;
        }
        FRAME_CP();
        return false;
    };
    for (int32_t row = 0; row <= 1700 && more; ++row) {
        for (int32_t col = 0; col <= 9 && more; ++col) {
            float v = sim_cell(row, col);
            float lo, hi;
            // A value read is brought within its cell's limits as a click would.
            if (read(v) && col == kSimColValue && sim_cell_limits(row, lo, hi)) {
                const float was = v;
                if (v > hi) v = hi;
                if (v < lo) v = lo;
                clamped = clamped || v != was;
            }
            sim_set_cell(row, col, v);
            FRAME_CP();
        }
    }
    for (int32_t i = 0; i < 8 && more; ++i) read(*sim_saved_parameters[i]);
    if (clamped && !kept) keep_damaged_file();
    file_close(1);
    FRAME_CP();
    // One notice for every value that had to be brought within its cell's limits.
    if (clamped) frame_raise(5);
    FRAME_CP();
    if (opened) {
        // An opened file replaces the state only when it was read whole.
        g_opened_path.clear();
        if (more && told[0] == 0)
            sim_save_state();
        else
            frame_restart();
        FRAME_CP();
    }
}

void sim_factory_reset() {
    // An opened file that cannot be read: back to what was loaded before, nothing written.
    if (!g_opened_path.empty()) {
        g_opened_path.clear();
        frame_error.error_number = 0;
        frame_restart();
    }
    // Entered as the handler of a failed open: a file that is there but could not be read keeps
    // its bytes, and the program goes on with the factory values, unsaved. So does the state
    // file when a preset could not be read.
    const bool keep_file = frame_error.in_handler != 0 && (!sim_preset_path.empty() || !state_file_missing());
    FRAME_CP();
    sim_resetting = 1;
    FRAME_CP();
    sim_build_cells();
    FRAME_CP();
    sim_particle_shape = 0;
    FRAME_CP();
    sim_particle_size = 3;
    FRAME_CP();
    sim_cube_closed = 0;
    FRAME_CP();
    sim_displacement = 50;
    FRAME_CP();
    sim_central_pull = 50;
    FRAME_CP();
    sim_view_radius = 50;
    FRAME_CP();
    sim_max_particles = 100;
    FRAME_CP();
    sim_auto_rotation = 0.3f;
    FRAME_CP();
    if (keep_file) {
        // "m" or Escape will not replace a state file that could not be read either (a preset
        // that could not be read leaves the state file free to be written).
        if (sim_preset_path.empty()) g_unread_error = frame_err();
        frame_raise(frame_err());  // why the file could not be read, once
        FRAME_CP();
        return;
    }
    // A failed save has shown its dialog; restarting would only fail the same way again.
    if (sim_save_state()) frame_restart();
    FRAME_CP();
}
