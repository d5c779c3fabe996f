// Everything the simulation keeps: tables, parameters, view constants and per-frame state.
// Every value is a single float; tables are fixed arrays from the static arena.
#pragma once
#include <cstdint>

#include "runtime/core/array.h"
#include "runtime/core/error.h"
#include "runtime/text/string_value.h"

// Tables (bounds in subscript order).
extern FixedArray<float, 3> sim_particles;            // (0..180, 0..800, 0..5)
extern FixedArray<float, 2> sim_mean_points;          // (0..100, 0..2)
extern FixedArray<float, 1> sim_species_count;        // 0..800
extern FixedArray<float, 1> sim_species_colour;       // 0..800
extern FixedArray<StringValue*, 1> sim_rule_strings;  // 0..800
extern FixedArray<float, 2> sim_cells;                // (0..2600, 0..10)
extern FixedArray<StringValue*, 1> sim_cell_help;     // 0..2600
extern FixedArray<StringValue*, 1> sim_colour_names;  // 0..15
extern FixedArray<float, 1> sim_weights;              // 0..10
extern FixedArray<StringValue*, 2> sim_menu;          // (0..15, 0..1)

extern float sim_particle_total;
extern float sim_weight_sum;
extern float sim_menu_count;

// User parameters; the first eight are saved.
extern float sim_particle_shape;
extern float sim_particle_size;
extern float sim_cube_closed;
extern float sim_displacement;
extern float sim_central_pull;
extern float sim_view_radius;
extern float sim_max_particles;
extern float sim_auto_rotation;
extern float sim_graphics_scale;
extern float sim_show_mean;

// View constants and angles (degrees).
extern float sim_deg;
extern float sim_view_cx;
extern float sim_view_cy;
extern float sim_cube_side;
extern float sim_depth_offset;
extern float sim_clip_bound;
extern float sim_cube_colour;
extern float sim_angle_a;
extern float sim_angle_c;

// Editor geometry and the cell table's layout values.
extern float sim_cell_width;
extern float sim_cell_height;
extern float sim_table_left;
extern float sim_table_top;
extern float sim_frame_right;
extern float sim_frame_top;
extern float sim_resetting;

extern float sim_force_max;

// Per-frame interface state.
extern float sim_panel_visible;
extern float sim_menu_visible;
extern float sim_menu_hover;
extern float sim_panel_row;
extern float sim_mouse_event;
extern float sim_in_circle;
extern float sim_dragging;
extern float sim_rotating;
extern float sim_click_step;
extern float sim_drag_x;
extern float sim_drag_y;
extern float sim_drag_angle_a;
extern float sim_drag_angle_c;
extern float sim_hover_cell;
extern float sim_cell_step;
extern float sim_page;
extern float sim_clipped;
extern float sim_draw_colour;
extern StringValue* sim_menu_key;
extern StringValue* sim_key;

// Cell rows and columns.
constexpr int32_t kSimRowSpecies = 1700;      // the number-of-species cell
constexpr int32_t kSimRowCount = 40;          // + i: count of species i
constexpr int32_t kSimRowRule = 80;           // + 40a + b: rule of a towards b
constexpr int32_t kSimColX = 0, kSimColY = 1, kSimColValue = 2, kSimColMin = 3, kSimColMax = 4,
                  kSimColShown = 5, kSimColSpeciesFlag = 6;
// Number of species the system serves: one-digit species numbers in the rule text.
constexpr float kSimSpeciesMax = 10;
// Particle slots per species.
constexpr int32_t kSimParticleSlots = 801;

// Creates every table once (string elements get permanent empty values); calls after the
// first do nothing, as a restart keeps the tables and only clears them.
void sim_create_tables();
// Start values and view constants, in their fixed order; clears the page being drawn.
void sim_init_state();
// Restart: every scalar to 0, every string emptied (the fixed float tables are zero-filled by
// the frame).
void sim_clear_module();

// Cell access shorthands (checked).
inline float sim_cell(int32_t row, int32_t col) { return sim_cells.get(row, col); }
inline void sim_set_cell(int32_t row, int32_t col, float v) { sim_cells.set(v, row, col); }
// Assigns src (consumed when temporary) to a string-table element; a failed index check
// writes nothing.
void sim_string_set(FixedArray<StringValue*, 1>& table, int32_t i, StringValue* src);

// N as used everywhere: the species-number cell held to 1 … 10 (NaN counts as 1).
float sim_species_number();
// Passes of "for i = 0 … n − 1" with a float n, evaluated once; at most `cap`.
int32_t sim_loop_count(float n, int32_t cap);
// Particles of species s that move and are drawn: its count, at most the table's 801 slots.
int32_t sim_active_count(int32_t s);
