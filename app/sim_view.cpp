#include "app/sim_view.h"

#include <cmath>
#include <cstring>

#include "app/sim_panel.h"
#include "app/sim_state.h"
#include "runtime/gfx/draw.h"
#include "runtime/gfx/image.h"
#include "runtime/input/input.h"
#include "runtime/text/number_trig.h"

int64_t sim_projected_points = 0;

namespace {

// A palette index from a float colour: rounded, then handed over as the runtime's unsigned
// colour (which masks it to the page's depth); NaN and out-of-range values become 0.
uint32_t colour_of(float v) { return static_cast<uint32_t>(frame_float_index(v)); }

// One turn in one plane: the angle of (a, b) from the b axis plus `angle`, rebuilt at the same
// distance from the axis.
void turn(float& a, float& b, float angle, double deg) {
    const float r = static_cast<float>((static_cast<double>(a) + 0.00001) /
                                       (static_cast<double>(b) + 0.00001));
    float beta = static_cast<float>(angle + num_atan(static_cast<double>(r)) / deg);
    if (b < 0) beta = static_cast<float>(static_cast<double>(beta) + 180);
    if (beta < 0) beta = static_cast<float>(static_cast<double>(beta) + 360);
    const float rho = static_cast<float>(
        std::sqrt(static_cast<double>(a) * a + static_cast<double>(b) * b));
    double sine, cosine;
    num_sin_cos(deg * beta, sine, cosine);
    a = static_cast<float>(sine * rho);
    b = static_cast<float>(cosine * rho);
}

// The same turn for n points, step by step across all of them: the divisions and function
// calls of different points then overlap instead of each waiting on the one before.
void turn_each(float* a, float* b, int n, float angle, double deg) {
    float r[8], beta[8], rho[8];
    double t[8], sine[8], cosine[8];
    for (int k = 0; k < n; ++k)
        r[k] = static_cast<float>((static_cast<double>(a[k]) + 0.00001) / (static_cast<double>(b[k]) + 0.00001));
    for (int k = 0; k < n; ++k) t[k] = num_atan(static_cast<double>(r[k]));
    for (int k = 0; k < n; ++k) {
        beta[k] = static_cast<float>(angle + t[k] / deg);
        if (b[k] < 0) beta[k] = static_cast<float>(static_cast<double>(beta[k]) + 180);
        if (beta[k] < 0) beta[k] = static_cast<float>(static_cast<double>(beta[k]) + 360);
        rho[k] = static_cast<float>(std::sqrt(static_cast<double>(a[k]) * a[k] + static_cast<double>(b[k]) * b[k]));
    }
    for (int k = 0; k < n; ++k) num_sin_cos(deg * beta[k], sine[k], cosine[k]);
    for (int k = 0; k < n; ++k) {
        a[k] = static_cast<float>(sine[k] * rho[k]);
        b[k] = static_cast<float>(cosine[k] * rho[k]);
    }
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

// `polls` projections' mouse polls at once: the events are taken in a row, and the flag folds
// them in as the polls one by one would (it settles after the first empty poll or two).
void poll_mouse_times(int32_t polls) {
    const int32_t taken = input_mouse_take(polls);
    float v = sim_mouse_event;
    for (int32_t i = 0; i < polls; ++i) {
        const float next = static_cast<float>(frame_float_index(v) | (i < taken ? -1 : 0));
        const bool same = std::memcmp(&next, &v, sizeof v) == 0;
        v = next;
        if (i >= taken && same) break;
    }
    sim_mouse_event = v;
}

// What the projection of a shape needs, read once per shape.
struct ViewFrame {
    double deg;
    float angle_c, angle_a, bound;
    double gain, depth_offset;
    double cx, cy, scale;
    uint32_t colour;
};

ViewFrame view_frame() {
    ViewFrame v;
    v.deg = sim_deg;
    v.angle_c = sim_angle_c;
    v.angle_a = sim_angle_a;
    v.bound = sim_clip_bound;
    v.gain = static_cast<double>(sim_cube_side) / 50;
    v.depth_offset = sim_depth_offset;
    v.cx = sim_view_cx;
    v.cy = sim_view_cy;
    v.scale = sim_graphics_scale;
    v.colour = colour_of(sim_draw_colour);
    return v;
}

// A point's page position after both turns; false when it is clipped.
struct PagePoint {
    float x, y;
    bool shown;
};

// Clip test and page position of n turned points, again step by step across them.
void place_each(const ViewFrame& v, const float* x, const float* y, const float* z, int n, PagePoint* out) {
    double depth[8];
    float sx[8], sy[8];
    for (int k = 0; k < n; ++k) {
        depth[k] = static_cast<double>(z[k]) + v.depth_offset;
        sx[k] = static_cast<float>(v.gain * x[k] / 150 * depth[k]);
        sy[k] = static_cast<float>(v.gain * y[k] / 150 * depth[k]);
    }
    const float b = v.bound;
    for (int k = 0; k < n; ++k) {
        const bool clipped = x[k] > b || x[k] < -b || y[k] > b || y[k] < -b || z[k] > b || z[k] < -b;
        out[k] = {static_cast<float>(v.cx + static_cast<double>(sx[k]) * v.scale),
                  static_cast<float>(v.cy + static_cast<double>(sy[k]) * v.scale), !clipped};
    }
}

// Both turns and the placing of n points (at most 8).
void project_each(const ViewFrame& v, float* x, float* y, float* z, int n, PagePoint* out) {
    turn_each(x, z, n, v.angle_c, v.deg);
    turn_each(y, z, n, v.angle_a, v.deg);
    place_each(v, x, y, z, n, out);
}

// The shapes drawn without a check-point inside: only while no error is pending and the write
// page is a graphics page, where none of their steps can raise one.
bool drawing_is_quiet() {
    const ImageSurface* w = gfx_images.write_page;
    return frame_error.error_number == 0 && w && !w->is_text;
}

// A segment is left out whole when either end is clipped, and also when a clip flag is left
// over from before (`carried`).
struct Segments {
    uint8_t ends[12][2];
    int32_t count = 0;
    void add(const PagePoint* p, uint8_t a, uint8_t b, bool carried) {
        if (!p[a].shown || !p[b].shown || carried) return;
        ends[count][0] = a;
        ends[count][1] = b;
        ++count;
    }
    void draw(const PagePoint* p, int32_t points, uint32_t colour) const {
        GfxPoint at[8];
        for (int32_t k = 0; k < points; ++k) at[k] = {p[k].x, p[k].y};
        gfx_lines_plain(at, points, ends, count, colour);
    }
};

void wire_cube_fast(float x, float y, float z, float size) {
    const ViewFrame v = view_frame();
    const double h = static_cast<float>(static_cast<double>(size) * 0.5);
    const float xs[2] = {static_cast<float>(x - h), static_cast<float>(x + h)};
    const float ys[2] = {static_cast<float>(y - h), static_cast<float>(y + h)};
    const float zs[2] = {static_cast<float>(z - h), static_cast<float>(z + h)};
    // The first turn sees only x and z, so corners that differ in y share it.
    float tx[4], tz[4];
    for (int k = 0; k < 4; ++k) {
        tx[k] = xs[k & 1];
        tz[k] = zs[k >> 1];
    }
    turn_each(tx, tz, 4, v.angle_c, v.deg);
    float cy[8], cz[8];
    for (int k = 0; k < 8; ++k) {
        cy[k] = ys[(k >> 1) & 1];
        cz[k] = tz[(k & 1) | ((k >> 1) & 2)];
    }
    turn_each(cy, cz, 8, v.angle_a, v.deg);
    float cx[8];
    for (int k = 0; k < 8; ++k) cx[k] = tx[(k & 1) | ((k >> 1) & 2)];
    PagePoint p[8];
    place_each(v, cx, cy, cz, 8, p);
    sim_projected_points += 24;
    poll_mouse_times(24);
    Segments lines;
    bool carried = sim_clipped != 0;
    for (const auto& e : kEdges) {
        lines.add(p, static_cast<uint8_t>(e[0]), static_cast<uint8_t>(e[1]), carried);
        carried = false;
    }
    lines.draw(p, 8, v.colour);
    sim_clipped = 0;
}

void cross_fast(float x, float y, float z, float size) {
    const ViewFrame v = view_frame();
    const float h = static_cast<float>(static_cast<double>(size) * 0.5);
    const double dx = x, dy = y, dz = z;
    const float xp = static_cast<float>(dx + h), xm = static_cast<float>(dx - h);
    const float yp = static_cast<float>(dy + h), ym = static_cast<float>(dy - h);
    const float zp = static_cast<float>(dz + h), zm = static_cast<float>(dz - h);
    float px[6] = {xp, xm, x, x, x, x}, py[6] = {y, y, yp, ym, y, y}, pz[6] = {z, z, z, z, zp, zm};
    PagePoint p[6];
    project_each(v, px, py, pz, 6, p);
    sim_projected_points += 6;
    poll_mouse_times(6);
    Segments lines;
    lines.add(p, 0, 1, sim_clipped != 0);
    lines.add(p, 2, 3, false);
    lines.add(p, 4, 5, false);
    lines.draw(p, 6, v.colour);
    sim_clipped = 0;
}

void dot_fast(float x, float y, float z) {
    const ViewFrame v = view_frame();
    PagePoint p;
    project_each(v, &x, &y, &z, 1, &p);
    ++sim_projected_points;
    poll_mouse_times(1);
    if (p.shown && sim_clipped == 0) gfx_pset(p.x, p.y, v.colour, 2);
    sim_clipped = 0;
}

}  // namespace

void sim_rotate(float& x, float& y, float& z) {
    turn(x, z, sim_angle_c, sim_deg);
    turn(y, z, sim_angle_a, sim_deg);
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

// The shapes step by step, with a check-point after every segment: while an error is pending
// or the write page is a text page, where every drawing step may raise or meet one.
namespace {

void dot_stepwise(float x, float y, float z) {
    float sx, sy;
    sim_project(x, y, z, sx, sy);
    if (sim_clipped == 0) gfx_pset(screen_x(sx), screen_y(sy), colour_of(sim_draw_colour), 2);
    sim_clipped = 0;
}

void cross_stepwise(float x, float y, float z, float size) {
    const float h = static_cast<float>(static_cast<double>(size) * 0.5);
    const double dx = x, dy = y, dz = z;
    sim_draw_segment(static_cast<float>(dx + h), y, z, static_cast<float>(dx - h), y, z);
    FRAME_CP();
    sim_draw_segment(x, static_cast<float>(dy + h), z, x, static_cast<float>(dy - h), z);
    FRAME_CP();
    sim_draw_segment(x, y, static_cast<float>(dz + h), x, y, static_cast<float>(dz - h));
    FRAME_CP();
}

void wire_cube_stepwise(float x, float y, float z, float size) {
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

}  // namespace

void sim_draw_dot(float x, float y, float z) {
    if (drawing_is_quiet())
        dot_fast(x, y, z);
    else
        dot_stepwise(x, y, z);
}

void sim_draw_cross(float x, float y, float z, float size) {
    if (drawing_is_quiet())
        cross_fast(x, y, z, size);
    else
        cross_stepwise(x, y, z, size);
}

void sim_draw_wire_cube(float x, float y, float z, float size) {
    if (drawing_is_quiet())
        wire_cube_fast(x, y, z, size);
    else
        wire_cube_stepwise(x, y, z, size);
}

// One check-point a particle: a pause or close request waits at most one shape (a microsecond
// or so) while the page is drawn.
void sim_draw_particles() {
    const int32_t species = sim_loop_count(sim_species_number(), 40);
    for (int32_t s = 0; s < species; ++s) {
        const int32_t count = sim_active_count(s);
        for (int32_t p = 0; p < count; ++p) {
            const float x = sim_particles.get(s, p, 0);
            const float y = sim_particles.get(s, p, 1);
            const float z = sim_particles.get(s, p, 2);
            sim_draw_colour = sim_species_colour.get(s);
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
