#include "app/sim_state.h"

#include "runtime/text/string_array.h"

#include <cmath>
#include <vector>

#include "runtime/gfx/text_output.h"

FixedArray<float, 3> sim_particles;
FixedArray<float, 2> sim_mean_points;
FixedArray<float, 1> sim_species_count;
FixedArray<float, 1> sim_species_colour;
FixedArray<StringValue*, 1> sim_rule_strings;
FixedArray<float, 2> sim_cells;
FixedArray<StringValue*, 1> sim_cell_help;
FixedArray<StringValue*, 1> sim_colour_names;
FixedArray<float, 1> sim_weights;
FixedArray<StringValue*, 2> sim_menu;

float sim_particle_total;
float sim_weight_sum;
float sim_menu_count;

float sim_particle_shape;
float sim_particle_size;
float sim_cube_closed;
float sim_displacement;
float sim_central_pull;
float sim_view_radius;
float sim_max_particles;
float sim_auto_rotation;
float sim_graphics_scale;
float sim_show_mean;

float sim_deg;
float sim_view_cx;
float sim_view_cy;
float sim_cube_side;
float sim_depth_offset;
float sim_clip_bound;
float sim_cube_colour;
float sim_angle_a;
float sim_angle_c;

float sim_cell_width;
float sim_cell_height;
float sim_table_left;
float sim_table_top;
float sim_frame_right;
float sim_frame_top;
float sim_resetting;

float sim_force_max;

float sim_panel_visible;
float sim_menu_visible;
float sim_menu_hover;
float sim_panel_row;
float sim_mouse_event;
float sim_in_circle;
float sim_dragging;
float sim_rotating;
float sim_click_step;
float sim_drag_x;
float sim_drag_y;
float sim_drag_angle_a;
float sim_drag_angle_c;
float sim_hover_cell;
float sim_cell_step;
float sim_page;
float sim_clipped;
float sim_draw_colour;
StringValue* sim_menu_key;
StringValue* sim_key;

namespace {

bool g_created = false;

}  // namespace

void sim_create_tables() {
    if (g_created) return;
    g_created = true;
    sim_particles = frame_fixed_3d<float>(0, 180, 0, 800, 0, 5);
    sim_mean_points = frame_fixed_2d<float>(0, 100, 0, 2);
    sim_species_count = frame_fixed_1d<float>(0, 800);
    sim_species_colour = frame_fixed_1d<float>(0, 800);
    sim_rule_strings = sv_fixed_strings_1d(0, 800);
    sim_cells = frame_fixed_2d<float>(0, 2600, 0, 10);
    sim_cell_help = sv_fixed_strings_1d(0, 2600);
    sim_colour_names = sv_fixed_strings_1d(0, 15);
    sim_weights = frame_fixed_1d<float>(0, 10);
    sim_menu = sv_fixed_strings_2d(0, 15, 0, 1);
    sim_menu_key = sv_new(0, 0);
    sim_key = sv_new(0, 0);
}

void sim_string_set(FixedArray<StringValue*, 1>& table, int32_t i, StringValue* src) {
    StringValue* dest = table.get(i);
    if (frame_error.error_number != 0) return;  // the statement's temporaries go at its end
    sv_assign(dest, src);
}

void sim_init_state() {
    int32_t base = sv_temp_count();
    sim_deg = 0.017453292f;
    FRAME_CP();
    sim_cube_colour = 6;
    FRAME_CP();
    sim_view_cx = 320;
    FRAME_CP();
    sim_view_cy = 220;
    FRAME_CP();
    sim_cube_side = 100;
    FRAME_CP();
    sim_depth_offset = 250;
    FRAME_CP();
    sim_graphics_scale = 0.8f;
    FRAME_CP();
    sim_angle_a = 15;
    FRAME_CP();
    sim_angle_c = 70;
    FRAME_CP();
    sim_clip_bound = 130;
    FRAME_CP();
    sim_particle_shape = 0;
    FRAME_CP();
    sim_particle_size = 3;
    FRAME_CP();
    sim_cube_closed = 0;
    FRAME_CP();
    sim_displacement = 2;
    FRAME_CP();
    sim_central_pull = 50;
    FRAME_CP();
    sim_view_radius = 50;
    FRAME_CP();
    sim_max_particles = 100;
    FRAME_CP();
    sim_auto_rotation = 0.3f;
    FRAME_CP();
    txt_cls(0, 0, 0);
    sv_cleanup(base, 0);
    FRAME_CP();
    sim_cell_width = 4;
    FRAME_CP();
    sim_cell_height = 1;
    FRAME_CP();
}

void sim_clear_module() {
    float* scalars[] = {
        &sim_particle_total, &sim_weight_sum,    &sim_menu_count,     &sim_particle_shape,
        &sim_particle_size,  &sim_cube_closed,   &sim_displacement,   &sim_central_pull,
        &sim_view_radius,    &sim_max_particles, &sim_auto_rotation,  &sim_graphics_scale,
        &sim_show_mean,      &sim_deg,           &sim_view_cx,        &sim_view_cy,
        &sim_cube_side,      &sim_depth_offset,  &sim_clip_bound,     &sim_cube_colour,
        &sim_angle_a,        &sim_angle_c,       &sim_cell_width,     &sim_cell_height,
        &sim_table_left,     &sim_table_top,     &sim_frame_right,    &sim_frame_top,
        &sim_resetting,      &sim_force_max,     &sim_panel_visible,  &sim_menu_visible,
        &sim_menu_hover,     &sim_panel_row,     &sim_mouse_event,    &sim_in_circle,
        &sim_dragging,       &sim_rotating,      &sim_click_step,     &sim_drag_x,
        &sim_drag_y,         &sim_drag_angle_a,  &sim_drag_angle_c,   &sim_hover_cell,
        &sim_cell_step,      &sim_page,          &sim_clipped,        &sim_draw_colour,
    };
    for (float* v : scalars) *v = 0;
    if (!g_created) return;
    // The string tables are emptied by the restart itself.
    sv_assign(sim_menu_key, sv_empty());
    sv_assign(sim_key, sv_empty());
}

float sim_species_number() {
    float n = sim_cell(kSimRowSpecies, kSimColValue);
    if (!(n >= 1)) return 1;  // NaN too
    if (n > kSimSpeciesMax) return kSimSpeciesMax;
    return n;
}

int32_t sim_loop_count(float n, int32_t cap) {
    float last = n - 1;  // the loop's bound, evaluated once
    if (!(last >= 0)) return 0;
    double passes = std::floor(static_cast<double>(last)) + 1;
    if (passes >= cap) return cap;
    return static_cast<int32_t>(passes);
}

int32_t sim_active_count(int32_t s) {
    return sim_loop_count(sim_species_count.get(s), kSimParticleSlots);
}
