#include "app/sim_view.h"

#include <cmath>

#include "app/sim_panel.h"
#include "app/sim_state.h"
#include "runtime/gfx/draw.h"
#include "runtime/gfx/image.h"
#include "runtime/input/input.h"

int64_t sim_projected_points = 0;

namespace {

// A palette index from a float colour: rounded, then handed over as the runtime's unsigned
// colour (which masks it to the page's depth); NaN and out-of-range values become 0.
uint32_t colour_of(float v) { return static_cast<uint32_t>(frame_float_index(v)); }

// One turn in one plane: the angle of (a, b) from the b axis plus `angle`, rebuilt at the same
// distance from the axis.
void turn(float& a, float& b, float angle) {
    const double deg = sim_deg;
    const float r = static_cast<float>((static_cast<double>(a) + 0.00001) /
                                       (static_cast<double>(b) + 0.00001));
    float beta = static_cast<float>(angle + std::atan(static_cast<double>(r)) / deg);
    if (b < 0) beta = static_cast<float>(static_cast<double>(beta) + 180);
    if (beta < 0) beta = static_cast<float>(static_cast<double>(beta) + 360);
    const float rho = static_cast<float>(
        std::sqrt(static_cast<double>(a) * a + static_cast<double>(b) * b));
    a = static_cast<float>(std::sin(deg * beta) * rho);
    b = static_cast<float>(std::cos(deg * beta) * rho);
}

// Screen position of a projected point, as floats for the runtime.
float screen_x(float sx) {
    return static_cast<float>(static_cast<double>(sim_view_cx) +
                              static_cast<double>(sx) * sim_graphics_scale);
}
float screen_y(float sy) {
    return static_cast<float>(static_cast<double>(sim_view_cy) +
                              static_cast<double>(sy) * sim_graphics_scale);
}

// Rotation, clip test and projection without the mouse poll; true when the point is clipped.
bool project_only(float x, float y, float z, float& sx, float& sy) {
    sim_rotate(x, y, z);
    const float b = sim_clip_bound;
    const bool clipped = x > b || x < -b || y > b || y < -b || z > b || z < -b;
    const double gain = static_cast<double>(sim_cube_side) / 50;
    const double depth = static_cast<double>(z) + sim_depth_offset;
    sx = static_cast<float>(gain * x / 150 * depth);
    sy = static_cast<float>(gain * y / 150 * depth);
    ++sim_projected_points;
    return clipped;
}

void poll_mouse() {
    sim_mouse_event = static_cast<float>(frame_float_index(sim_mouse_event) | input_mouse_poll());
}

void line(float sx1, float sy1, float sx2, float sy2) {
    gfx_line(screen_x(sx1), screen_y(sy1), screen_x(sx2), screen_y(sy2),
             colour_of(sim_draw_colour), 0, 0, 9);
}

// Corner k of a cube: bit 0 x, bit 1 y, bit 2 z; a set bit is the + side.
constexpr int kEdges[12][2] = {
    {0, 1}, {3, 1}, {3, 2}, {0, 2},  // (−,−,−)–(+,−,−) … (−,−,−)–(−,+,−)
    {4, 5}, {7, 5}, {7, 6}, {4, 6},  // the same at +z
    {0, 4}, {1, 5}, {2, 6}, {3, 7},  // the four edges along z
};

void corner(int k, float x, float y, float z, float h, float& cx, float& cy, float& cz) {
    cx = static_cast<float>((k & 1) ? static_cast<double>(x) + h : static_cast<double>(x) - h);
    cy = static_cast<float>((k & 2) ? static_cast<double>(y) + h : static_cast<double>(y) - h);
    cz = static_cast<float>((k & 4) ? static_cast<double>(z) + h : static_cast<double>(z) - h);
}

}  // namespace

void sim_rotate(float& x, float& y, float& z) {
    turn(x, z, sim_angle_c);
    turn(y, z, sim_angle_a);
}

void sim_project(float x, float y, float z, float& sx, float& sy) {
    poll_mouse();
    if (project_only(x, y, z, sx, sy)) sim_clipped = 1;
}

void sim_draw_segment(float x1, float y1, float z1, float x2, float y2, float z2) {
    float sx1, sy1, sx2, sy2;
    sim_project(x1, y1, z1, sx1, sy1);
    sim_project(x2, y2, z2, sx2, sy2);
    if (sim_clipped == 0) line(sx1, sy1, sx2, sy2);
    sim_clipped = 0;
}

void sim_draw_dot(float x, float y, float z) {
    float sx, sy;
    sim_project(x, y, z, sx, sy);
    if (sim_clipped == 0) gfx_pset(screen_x(sx), screen_y(sy), colour_of(sim_draw_colour), 2);
    sim_clipped = 0;
}

void sim_draw_cross(float x, float y, float z, float size) {
    const float h = static_cast<float>(static_cast<double>(size) * 0.5);
    const double dx = x, dy = y, dz = z;
    sim_draw_segment(static_cast<float>(dx + h), y, z, static_cast<float>(dx - h), y, z);
    FRAME_CP();
    sim_draw_segment(x, static_cast<float>(dy + h), z, x, static_cast<float>(dy - h), z);
    FRAME_CP();
    sim_draw_segment(x, y, static_cast<float>(dz + h), x, y, static_cast<float>(dz - h));
    FRAME_CP();
}

void sim_draw_wire_cube(float x, float y, float z, float size) {
    const float h = static_cast<float>(static_cast<double>(size) * 0.5);
    float sx[8], sy[8];
    bool clipped[8];
    for (int k = 0; k < 8; ++k) {
        float cx, cy, cz;
        corner(k, x, y, z, h, cx, cy, cz);
        clipped[k] = project_only(cx, cy, cz, sx[k], sy[k]);
    }
    // Each edge still takes its two mouse events, as two projections would.
    sim_projected_points += 16;
    for (const auto& e : kEdges) {
        poll_mouse();
        poll_mouse();
        if (sim_clipped == 0 && !clipped[e[0]] && !clipped[e[1]]) line(sx[e[0]], sy[e[0]], sx[e[1]], sy[e[1]]);
        sim_clipped = 0;
        FRAME_CP();
    }
}

void sim_draw_particles() {
    const int32_t species = sim_loop_count(sim_species_number(), 40);
    for (int32_t s = 0; s < species; ++s) {
        const int32_t count = sim_active_count(s);
        for (int32_t p = 0; p < count; ++p) {
            const float x = sim_particles.get(s, p, 0);
            const float y = sim_particles.get(s, p, 1);
            const float z = sim_particles.get(s, p, 2);
            FRAME_CP();
            sim_draw_colour = sim_species_colour.get(s);
            FRAME_CP();
            if (sim_particle_shape == 0)
                sim_draw_wire_cube(x, y, z, sim_particle_size);
            else if (sim_particle_shape == 1)
                sim_draw_cross(x, y, z, sim_particle_size);
            else if (sim_particle_shape == 2)
                sim_draw_dot(x, y, z);
            FRAME_CP();
        }
    }
}

void sim_draw_frame() {
    const int32_t page = frame_float_index(sim_page);
    gfx_screen(12, 0, page, page ^ 1, 0,
               GFX_SCREEN_MODE | GFX_SCREEN_COLOUR_SWITCH | GFX_SCREEN_ACTIVE | GFX_SCREEN_VISUAL);
    FRAME_CP();
    sim_page = static_cast<float>(page ^ 1);
    FRAME_CP();
    sim_draw_panel_header();
    FRAME_CP();
    sim_draw_panel();
    FRAME_CP();
    sim_draw_colour = sim_cube_colour;
    FRAME_CP();
    sim_draw_wire_cube(0, 0, 0, sim_cube_side);
    FRAME_CP();
    sim_draw_particles();
    FRAME_CP();
}

void sim_draw_mean_lines() {
    sim_draw_colour = 14;
    FRAME_CP();
    const int32_t species = sim_loop_count(sim_species_number(), 101);
    for (int32_t a = 0; a < species; ++a) {
        for (int32_t b = a; b < species; ++b) {
            sim_draw_segment(sim_mean_points.get(a, 0), sim_mean_points.get(a, 1),
                             sim_mean_points.get(a, 2), sim_mean_points.get(b, 0),
                             sim_mean_points.get(b, 1), sim_mean_points.get(b, 2));
            FRAME_CP();
        }
    }
}
