#include "app/sim_panel.h"

#include <cmath>

#include "app/sim_force.h"
#include "app/sim_print.h"
#include "app/sim_state.h"
#include "app/sim_texts.h"
#include "runtime/gfx/draw.h"
#include "runtime/gfx/text_output.h"
#include "runtime/input/input.h"
#include "runtime/text/format_using.h"
#include "runtime/text/number_text.h"

namespace {

float* const kPanelValues[9] = {
    &sim_central_pull,   &sim_particle_size, &sim_cube_closed,
    &sim_displacement,   &sim_graphics_scale, &sim_particle_shape,
    &sim_auto_rotation,  &sim_max_particles, &sim_show_mean,
};

// The formatted-number output, kept for the whole run.
StringValue* using_output() {
    static StringValue* out = sv_new(0, 0);
    return out;
}

float add(float v, double d) { return static_cast<float>(static_cast<double>(v) + d); }

}  // namespace

void sim_draw_panel_header() {
    const int32_t base = sv_temp_count();
    txt_cls(0, 0, 0);
    FRAME_CP();
    if (sim_panel_visible != 0) {
        txt_locate(28, 64, 0, 0, 0, 3);
        FRAME_CP();
        sim_print_colour(8);
        FRAME_CP();
        sim_print_item(sv_new_text(sim_texts->total));
        sim_print_number(sim_particle_total);
        sim_print_end_line();
        sv_cleanup(base, 0);
        FRAME_CP();
        gfx_line(0, sim_frame_top, sim_frame_right, sim_frame_top, 14, 0, 0, 9);
        FRAME_CP();
        gfx_line(sim_frame_right, sim_frame_top, sim_frame_right, 448, 14, 0, 0, 9);
        FRAME_CP();
    }
    if (sim_in_circle != 0 && sim_rotating == 0) {
        sim_print_colour(14);
        FRAME_CP();
        gfx_circle(sim_view_cx, sim_view_cy, sim_view_radius, 0, sim_page, 0, 0, 4);
        FRAME_CP();
        txt_locate(14, 36, 0, 0, 0, 3);
        FRAME_CP();
        sim_print_item(sv_new_text(sim_texts->turn_hint));
        sim_print_end_line();
        sv_cleanup(base, 0);
        FRAME_CP();
    }
}

void sim_draw_panel() {
    const int32_t base = sv_temp_count();
    sim_panel_row = std::floor(static_cast<float>(static_cast<double>(input_mouse_y()) * 0.0625));
    FRAME_CP();
    if (!(sim_panel_visible != 0 && sim_menu_visible == 0)) return;
    txt_locate(1, 1, 0, 0, 0, 3);
    FRAME_CP();
    sim_print_colour(8);
    FRAME_CP();
    for (int32_t k = 0; k <= 8; ++k) {
        sim_print_colour(sim_panel_row == static_cast<float>(k) ? 15 : 8);
        FRAME_CP();
        sim_print_item(sv_new_text(sim_texts->panel[k]));
        sv_cleanup(base, 0);
        FRAME_CP();
        if (k == 6) {
            StringValue* out = using_output();
            sv_assign(out, sv_empty());
            num_format_using(sv_new_text("###.##"), *kPanelValues[k], 0, out);
            txt_print(out, 1);
        } else {
            sim_print_number(*kPanelValues[k]);
            sim_print_end_line();
        }
        sv_cleanup(base, 0);
        FRAME_CP();
    }
}

void sim_step_parameter(int32_t k, float s) {
    switch (k) {
        case 0:
            sim_central_pull = add(sim_central_pull, 5.0 * s);
            break;
        case 1:
            sim_particle_size = add(sim_particle_size, s);
            break;
        case 2: {
            const float t = s + 1;
            sim_cube_closed = t > 0 ? 1.0f : (t < 0 ? -1.0f : 0.0f);
            FRAME_CP();
            if (sim_cube_closed != 0) sim_place_in_cube();
            break;
        }
        case 3:
            sim_displacement = add(sim_displacement, s);
            break;
        case 4:
            sim_graphics_scale = add(sim_graphics_scale, static_cast<double>(s) / 20);
            break;
        case 5:
            sim_particle_shape = add(sim_particle_shape, s);
            FRAME_CP();
            if (sim_particle_shape == 3) sim_particle_shape = 0;
            FRAME_CP();
            if (sim_particle_shape == -1) sim_particle_shape = 2;
            break;
        case 6:
            sim_auto_rotation = std::fabs(add(sim_auto_rotation, static_cast<double>(s) / 20));
            break;
        case 7:
            sim_max_particles = static_cast<float>(
                std::floor(static_cast<double>(sim_max_particles) + 10.0 * s));
            break;
        case 8:
            sim_show_mean = static_cast<float>(frame_float_index(sim_show_mean) ^ 1);
            break;
        default:
            break;
    }
    FRAME_CP();
}

void sim_mouse_panel() {
    const int32_t base = sv_temp_count();
    if (sim_mouse_event != 0) {
        const float mx = input_mouse_x(), my = input_mouse_y();
        const float ex = static_cast<float>(static_cast<double>(sim_view_cx) - mx);
        const float ey = static_cast<float>(static_cast<double>(sim_view_cy) - my);
        float d = static_cast<float>(static_cast<double>(ex) * ex + static_cast<double>(ey) * ey);
        if (d != 0) d = static_cast<float>(std::sqrt(static_cast<double>(d)));
        FRAME_CP();
        sim_in_circle = d < sim_view_radius ? 1.0f : 0.0f;
        FRAME_CP();
        const int32_t left = input_mouse_button(1), right = input_mouse_button(2);
        FRAME_CP();
        if (left == 0) sim_dragging = 0;
        FRAME_CP();
        if (d < sim_view_radius && left != 0 && sim_dragging == 0) {
            sim_drag_x = mx;
            sim_drag_y = my;
            sim_drag_angle_a = sim_angle_a;
            sim_drag_angle_c = sim_angle_c;
            sim_dragging = 1;
        }
        FRAME_CP();
        if (left != 0 && sim_menu_visible != 0) {
            sv_assign(sim_menu_key, sim_menu.get(frame_float_index(sim_menu_hover), 0));
            sv_cleanup(base, 0);
        }
        FRAME_CP();
        if (sim_in_circle != 0 && sim_dragging != 0) sim_rotating = 1;
        FRAME_CP();
        if (sim_dragging == 0 && sim_rotating == 1) sim_rotating = 0;
        FRAME_CP();
        if (sim_dragging != 0 && sim_rotating != 0) {
            sim_angle_a = static_cast<float>(static_cast<double>(sim_drag_angle_a) +
                                             (static_cast<double>(sim_drag_y) - my));
            sim_angle_c = static_cast<float>(static_cast<double>(sim_drag_angle_c) +
                                             (static_cast<double>(sim_drag_x) - mx));
        }
        FRAME_CP();
        sim_click_step = 0;
        if (left != 0) sim_click_step = -1;
        if (right != 0) sim_click_step = 1;
        FRAME_CP();
        if (sim_click_step != 0 && sim_rotating == 0 && sim_menu_visible == 0) {
            const float row = sim_panel_row;
            if (row >= 0 && row <= 8) sim_step_parameter(static_cast<int32_t>(row), sim_click_step);
        }
        FRAME_CP();
    }
    sim_mouse_event = 0;
    // This frame has seen the current event: the drawing's polls may go past it.
    input_mouse_handled();
    FRAME_CP();
}
