#include "app/sim_menu.h"

#include <cmath>

#include "app/sim_cells.h"
#include "app/sim_editor.h"
#include "app/sim_force.h"
#include "app/sim_print.h"
#include "app/sim_saved_state.h"
#include "app/sim_state.h"
#include "app/sim_texts.h"
#include "runtime/core/platform.h"
#include "runtime/files/files.h"
#include "runtime/frame/restart.h"
#include "runtime/gfx/text_output.h"
#include "runtime/input/input.h"
#include "runtime/text/number_text.h"
#include "runtime/text/random_timer.h"

namespace {

void set_menu(int32_t row, StringValue* key, const char* label) {
    sv_assign(sim_menu.get(row, 0), key);
    sv_assign(sim_menu.get(row, 1), sv_new_text(label));
}

}  // namespace

void sim_init_tables() {
    const int32_t base = sv_temp_count();
    sim_choose_language();
    set_menu(0, sv_chr(27), sim_texts->menu[0]);
    sv_cleanup(base, 0);
    FRAME_CP();
    set_menu(1, sv_new_text("r"), sim_texts->menu[1]);
    sv_cleanup(base, 0);
    FRAME_CP();
    set_menu(2, sv_new_text("t"), sim_texts->menu[2]);
    sv_cleanup(base, 0);
    FRAME_CP();
    set_menu(3, sv_new_text("d"), sim_texts->menu[3]);
    sv_cleanup(base, 0);
    FRAME_CP();
    set_menu(4, sv_new_text("f"), sim_texts->menu[4]);
    sv_cleanup(base, 0);
    FRAME_CP();
    set_menu(5, sv_new_text("c"), sim_texts->menu[5]);
    sv_cleanup(base, 0);
    FRAME_CP();
    set_menu(6, sv_new_text("q"), sim_texts->menu[6]);
    sv_cleanup(base, 0);
    FRAME_CP();
    set_menu(7, sv_new_text("m"), sim_texts->menu[7]);
    sv_cleanup(base, 0);
    FRAME_CP();
    set_menu(8, sv_new_text("b"), sim_texts->menu[8]);
    sv_cleanup(base, 0);
    FRAME_CP();
    set_menu(9, sv_new_text("o"), sim_texts->menu[9]);
    sv_cleanup(base, 0);
    FRAME_CP();
    sim_menu_count = 10;
    FRAME_CP();
    sim_init_colour_names();
    FRAME_CP();
}

void sim_draw_menu() {
    const int32_t base = sv_temp_count();
    bool shown = input_key_down(INPUT_KEY_LSHIFT) != 0 || input_key_down(INPUT_KEY_RSHIFT) != 0;
    FRAME_CP();
    const float mx = input_mouse_x();
    shown = (shown || (mx > sim_menu_column * 8 && mx < 630)) && sim_rotating == 0;
    FRAME_CP();
    sim_menu_visible = 0;
    FRAME_CP();
    if (!shown) return;
    sim_menu_visible = 1;
    FRAME_CP();
    const float row = std::floor(static_cast<float>(static_cast<double>(input_mouse_y()) * 0.0625));
    FRAME_CP();
    const int32_t count = sim_loop_count(sim_menu_count, 16);
    for (int32_t i = 0; i < count; ++i) {
        txt_locate(sim_menu_top + i, sim_menu_column, 0, 0, 0, 3);
        FRAME_CP();
        sim_print_colour(14);
        FRAME_CP();
        sim_print_item(sim_menu.get(i, 0));
        FRAME_CP();
        sim_print_colour(8);
        FRAME_CP();
        if (row == static_cast<float>(sim_menu_top + i - 1)) {
            sim_print_colour(15);
            sim_menu_hover = static_cast<float>(i);
        }
        FRAME_CP();
        sim_print_item(sv_new_text("-"));
        sim_print_item(sim_menu.get(i, 1));
        sim_print_end_line();
        sv_cleanup(base, 0);
        FRAME_CP();
    }
}

void sim_dispatch_key() {
    const int32_t base = sv_temp_count();
    // Every command key is one byte; anything longer (an extended key) matches none.
    StringValue* lower = sv_lcase(sim_key);
    const int32_t k = lower->length == 1 ? lower->data[0] : -1;
    sv_cleanup(base, 0);
    FRAME_CP();
    switch (k) {
        case 't':
            sim_random_rules(2, 0);
            break;
        case 'r':
            sim_random_rules(3, 1);
            break;
        case 'f':
            sim_equal_counts();
            break;
        case 'd':
            sim_random_counts();
            break;
        case 'q':
            sim_place_in_cube();
            break;
        case 'c':
            sim_big_bang();
            break;
        case 'm':
            sim_save_state();
            break;
        case 'b':
            frame_restart();
        case 'o':
            // The reset's save replaces the old file in one step, so that no moment leaves it
            // emptied or gone.
            sim_ask_factory_reset();
            FRAME_CP();
            frame_restart();
        case 27:
            sim_save_state();
            frame_release_stop();  // held since the key was read
            FRAME_CP();
            frame_system();
        default:
            break;
    }
    FRAME_CP();
}

void sim_random_rules(float range, float offset) {
    for (int32_t a = 0; a <= 39; ++a) {
        for (int32_t b = 0; b <= 39; ++b) {
            const float v = static_cast<float>(
                std::floor(static_cast<double>(range) * rnd()) - static_cast<double>(offset));
            sim_set_cell(40 * a + kSimRowRule + b, kSimColValue, v);
            FRAME_CP();
        }
    }
    sim_sync_species();
    FRAME_CP();
    sim_draw_editor();
    FRAME_CP();
}

void sim_random_counts() {
    sim_weight_sum = 0;
    FRAME_CP();
    const int32_t passes = sim_loop_count(sim_species_number(), 11);
    for (int32_t i = 0; i < passes; ++i) {
        sim_weights.set(static_cast<float>(static_cast<double>(rnd()) * 10000 + 100), i);
        FRAME_CP();
        sim_weight_sum = static_cast<float>(static_cast<double>(sim_weight_sum) + sim_weights.get(i));
        FRAME_CP();
    }
    sim_normalise_from_weights();
    FRAME_CP();
}

void sim_equal_counts() {
    const float q = std::floor(static_cast<float>(static_cast<double>(sim_max_particles) /
                                                  sim_species_number()));
    FRAME_CP();
    for (int32_t i = 0; i <= 39; ++i) {
        sim_set_cell(kSimRowCount + i, kSimColValue, q);
        FRAME_CP();
    }
    sim_sync_species();
    FRAME_CP();
    sim_draw_editor();
    FRAME_CP();
}

void sim_big_bang() {
    const int32_t base = sv_temp_count();
    const float n = sim_species_number();
    const int32_t species = sim_loop_count(n, 40);
    for (int32_t s = 0; s < species; ++s) {
        txt_locate(1, 1, 0, 0, 0, 3);
        sim_print_number(n);
        txt_print_comma();
        sim_print_number(static_cast<float>(s));
        sim_print_end_line();
        sv_cleanup(base, 0);
        FRAME_CP();
        const float count = sim_species_count.get(s);
        const int32_t particles = sim_active_count(s);
        for (int32_t j = 0; j < particles; ++j) {
            txt_locate(2, 1, 0, 0, 0, 3);
            sim_print_number(count);
            txt_print_comma();
            sim_print_number(static_cast<float>(j));
            sim_print_end_line();
            sv_cleanup(base, 0);
            FRAME_CP();
            for (int32_t c = 0; c < 3; ++c) {
                sim_particles.set(static_cast<float>(static_cast<double>(rnd()) - 0.5), s, j, c);
                FRAME_CP();
            }
        }
    }
}
