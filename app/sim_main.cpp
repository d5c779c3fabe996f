#include "app/sim_main.h"

#include <unistd.h>

#include <climits>
#include <cmath>
#include <string>

#include "app/sim_cells.h"
#include "app/sim_editor.h"
#include "app/sim_force.h"
#include "app/sim_menu.h"
#include "app/sim_panel.h"
#include "app/sim_saved_state.h"
#include "app/sim_state.h"
#include "app/sim_swarm.h"
#include "app/sim_view.h"
#include "runtime/frame/open_request.h"
#include "runtime/frame/options.h"
#include "runtime/core/platform.h"
#include "runtime/frame/restart.h"
#include "runtime/input/input.h"
#include "runtime/record/record.h"
#include "runtime/text/random_timer.h"

void (*sim_frame_hook)() = nullptr;
int32_t sim_start_draws = 0;
int32_t sim_warmup_draws = 0;

namespace {

// How the run names what it loaded, for the line that ends a recording: "--state FILE" (an
// absolute path), "--preset NAME", or both when both were given (the preset is read, saves go
// to FILE).
std::string g_state_words, g_preset_words;

// One shell word: quoted unless it is plain.
std::string shell_word(const std::string& s) {
    if (!s.empty() && s.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_./+-:,@%=") ==
                          std::string::npos)
        return s;
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// What the line that ends a recording names to make the same run again: the swarm code given,
// with this start's warm-up count in it, else the state file or the preset and the count.
std::string origin_words() {
    if (sim_swarm_given()) {
        SimSwarm s = sim_swarm_option();
        s.start = sim_warmup_draws;
        return "--swarm " + sim_swarm_encode(s);
    }
    return (sim_preset_path.empty() ? g_state_words : g_preset_words) + " --start " +
           std::to_string(sim_warmup_draws);
}

// The handler whose number is handler_id; it ends with a restart.
void run_handler() {
    if (frame_error.handler_id == kSimHandlerFactoryReset) sim_factory_reset();
}

}  // namespace

int sim_take_options() {
    sim_start_draws = frame_options.start_draws;
    sim_state_path = frame_options.state_file.empty() ? "kavaro.dat" : frame_options.state_file;
    sim_preset_path = frame_options.preset_file;
    std::string state = sim_state_path;
    char cwd[PATH_MAX];
    if (state[0] != '/' && getcwd(cwd, sizeof cwd)) state = std::string(cwd) + "/" + state;
    g_state_words = "--state " + shell_word(state);
    g_preset_words = "--preset " + shell_word(frame_options.preset);
    if (!frame_options.state_file.empty()) g_preset_words += " " + g_state_words;
    return sim_swarm_take_options(stdout, stderr);
}

void sim_start_up() {
    sim_init_tables();
    FRAME_CP();
    // Bound evaluated once: N - 1 for --start N, else between 0 and 99.99 by the fraction of
    // the current second; so 1 to 100 draws.
    float last = static_cast<float>(sim_start_draws - 1);
    if (sim_start_draws <= 0) {
        const float t = timer_seconds();
        FRAME_CP();
        last = static_cast<float>((static_cast<double>(t) - std::floor(t)) * 100);
    }
    sim_warmup_draws = 0;
    for (float i = 0; i <= last; i = i + 1) {
        rnd();
        ++sim_warmup_draws;
        FRAME_CP();
    }
    // The same state and the same count make the same run again.
    record_note_origin(origin_words());
    sim_init_state();
    FRAME_CP();
    sim_load_state();
    FRAME_CP();
    sim_resetting = 0;
    FRAME_CP();
    sim_build_cells();
    FRAME_CP();
    sim_swarm_note_loaded();
    FRAME_CP();
    sim_draw_frame();
    FRAME_CP();
    sim_place_in_cube();
    FRAME_CP();
}

void sim_frame() {
    const int32_t base = sv_temp_count();
    sim_panel_visible = input_mouse_x() > 630 ? 0.0f : 1.0f;
    FRAME_CP();
    if (sim_panel_visible != 0) sim_draw_editor();
    FRAME_CP();
    if (input_mouse_x() < sim_frame_right && input_mouse_y() > sim_frame_top) {
        sim_cell_step = 0;
        FRAME_CP();
        sim_edit_cell();
        FRAME_CP();
        sim_mouse_event = 0;
        FRAME_CP();
        sim_sync_species();
        FRAME_CP();
        if (sim_cell_step != 0) {
            sim_build_cells();
            FRAME_CP();
            sim_sync_species();
            FRAME_CP();
            sim_draw_editor();
            FRAME_CP();
        }
    }
    FRAME_CP();
    sim_normalise_counts();
    FRAME_CP();
    sim_draw_menu();
    FRAME_CP();
    sim_mouse_panel();
    FRAME_CP();
    if (sim_menu_key->length == 0)
        sv_assign(sim_key, input_inkey());
    else
        sv_assign(sim_key, sim_menu_key);
    sv_cleanup(base, 0);
    // Escape, once read, saves before the program ends: a close waits until it has.
    if (sim_key->length == 1 && sim_key->data[0] == 27) frame_hold_stop();
    FRAME_CP();
    if (sim_rotating == 0) {
        sim_angle_a = sim_angle_a + sim_auto_rotation;
        FRAME_CP();
        sim_angle_c = sim_angle_c + sim_auto_rotation;
        FRAME_CP();
    }
    sim_draw_frame();
    FRAME_CP();
    if (sim_show_mean != 0) sim_draw_mean_lines();
    FRAME_CP();
    sim_force_step();
    FRAME_CP();
    sv_assign(sim_menu_key, sv_empty());
    FRAME_CP();
    sim_dispatch_key();
    FRAME_CP();
    // A state file opened in the page around the program is read as the next start's state.
    std::string opened;
    if (frame_take_open_request(opened)) sim_open_state(opened);
    FRAME_CP();
    // The page's Share button: the code of the swarm shown now.
    sim_swarm_answer_page();
    FRAME_CP();
}

void sim_main() {
    frame_install_fpe_handler();
    sim_create_tables();
    frame_set_module_clear(sim_clear_module);
    // A click quicker than a frame: its press is handled in one frame, its release in the next.
    input_mouse_stop_at_buttons(true);
    if (frame_error.handler_pending) {
        frame_error.handler_pending = 0;
        frame_error.in_handler = 1;
        run_handler();
        return;
    }
    sim_start_up();
    for (;;) {
        sim_frame();
        if (sim_frame_hook) sim_frame_hook();
        FRAME_CP();
    }
}
