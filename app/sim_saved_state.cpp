#include "app/sim_saved_state.h"

#include <unistd.h>

#include "app/sim_cells.h"
#include "app/sim_state.h"
#include "runtime/files/files.h"
#include "runtime/frame/restart.h"
#include "runtime/text/number_text.h"

void (*sim_save_line_hook)(int32_t line) = nullptr;

namespace {

const char kStateFile[] = "kavaro.dat";
// Written first and renamed over the state file once complete, so that a save cut short by a
// crash, a kill or a full disk leaves the previous state whole.
const char kTempFile[] = "kavaro.tmp";

float* const kSavedParameters[8] = {
    &sim_particle_shape, &sim_particle_size, &sim_cube_closed,   &sim_displacement,
    &sim_central_pull,   &sim_view_radius,   &sim_max_particles, &sim_auto_rotation,
};

// The statement just run raised no error (read before its check-point reports it).
bool no_error() { return frame_error.error_number == 0; }

}  // namespace

void sim_save_state() {
    const int32_t base = sv_temp_count();
    bool ok = true;
    // A state file that may not be written (made read-only, say) refuses the save, as opening
    // it for output would, instead of being replaced by the renamed one.
    if (access(kStateFile, F_OK) == 0) {
        file_open(sv_new_text(kStateFile), FILE_APPEND, 0, 0, 1, 0);
        ok = no_error();
        sv_cleanup(base, 0);
        FRAME_CP();
        if (!ok) return;
        file_close(1);
        FRAME_CP();
    }
    file_open(sv_new_text(kTempFile), FILE_OUTPUT, 0, 0, 1, 0);
    ok = no_error();
    sv_cleanup(base, 0);
    FRAME_CP();
    if (!ok) return;
    int32_t line = 0;
    // After a failed write the rest is skipped: one dialog, not one per line.
    for (int32_t row = 0; row <= 1700 && ok; ++row) {
        for (int32_t col = 0; col <= 9 && ok; ++col) {
            file_print(1, num_str(sim_cell(row, col)), 1, 0, 1);
            ok = no_error();
            sv_cleanup(base, 0);
            FRAME_CP();
            if (sim_save_line_hook) sim_save_line_hook(++line);
        }
    }
    for (int32_t i = 0; i < 8 && ok; ++i) {
        file_print(1, num_str(*kSavedParameters[i]), 1, 0, 1);
        ok = no_error();
        sv_cleanup(base, 0);
        FRAME_CP();
        if (sim_save_line_hook) sim_save_line_hook(++line);
    }
    file_close(1);
    ok = ok && no_error();
    FRAME_CP();
    if (ok) {
        file_rename(sv_new_text(kTempFile), sv_new_text(kStateFile));
        sv_cleanup(base, 0);
        FRAME_CP();
    } else {
        file_kill(sv_new_text(kTempFile));
        sv_cleanup(base, 0);
        FRAME_CP();
    }
}

void sim_load_state() {
    const int32_t base = sv_temp_count();
    frame_error.handler_id = kSimHandlerFactoryReset;
    FRAME_CP();
    // A failed open enters the handler at this check-point; the handler restarts the program.
    file_open(sv_new_text(kStateFile), FILE_INPUT, 0, 0, 1, 0);
    sv_cleanup(base, 0);
    FRAME_CP();
    frame_error.handler_id = 0;
    FRAME_CP();
    bool more = true;
    // A read that fails stops the loading (an out-of-range value only loses its own line), so
    // a short file reports its end once and the values read so far stay.
    auto read = [&](float& into) {
        float v = static_cast<float>(file_input_number(1, FILE_NUM_SINGLE));
        if (no_error())
            into = v;
        else if (frame_error.error_number != 6)
            more = false;
        FRAME_CP();
    };
    for (int32_t row = 0; row <= 1700 && more; ++row) {
        for (int32_t col = 0; col <= 9 && more; ++col) {
            float v = sim_cell(row, col);
            read(v);
            sim_set_cell(row, col, v);
            FRAME_CP();
        }
    }
    for (int32_t i = 0; i < 8 && more; ++i) read(*kSavedParameters[i]);
    file_close(1);
    FRAME_CP();
}

void sim_factory_reset() {
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
    sim_save_state();
    FRAME_CP();
    frame_restart();
}
