// The scene view on its own, on the test thread: projection examples and the shared-corner
// wire cube against the edge-by-edge one.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "app/sim_state.h"
#include "runtime/core/array.h"
#include "runtime/gfx/draw.h"
#include "app/sim_view.h"
#include "app_support.h"
#include "runtime/gfx/image.h"
#include "runtime/input/input.h"
#include "runtime/text/number_trig.h"
#include "runtime/text/random_timer.h"

namespace {

// The scene point by point, as first written: every projected point polls the mouse, turns
// twice and is clip-tested; every segment is one gfx_line. The yardstick of the drawing.
void ref_turn(float& a, float& b, float angle) {
    const double deg = sim_deg;
    const float r = static_cast<float>((static_cast<double>(a) + 0.00001) / (static_cast<double>(b) + 0.00001));
    float beta = static_cast<float>(angle + num_atan(static_cast<double>(r)) / deg);
    if (b < 0) beta = static_cast<float>(static_cast<double>(beta) + 180);
    if (beta < 0) beta = static_cast<float>(static_cast<double>(beta) + 360);
    const float rho = static_cast<float>(std::sqrt(static_cast<double>(a) * a + static_cast<double>(b) * b));
    a = static_cast<float>(num_sin(deg * beta) * rho);
    b = static_cast<float>(num_cos(deg * beta) * rho);
}
void ref_project(float x, float y, float z, float& px, float& py) {
    sim_mouse_event = static_cast<float>(frame_float_index(sim_mouse_event) | input_mouse_poll());
    ref_turn(x, z, sim_angle_c);
    ref_turn(y, z, sim_angle_a);
    const float b = sim_clip_bound;
    if (x > b || x < -b || y > b || y < -b || z > b || z < -b) sim_clipped = 1;
    const double gain = static_cast<double>(sim_cube_side) / 50, depth = static_cast<double>(z) + sim_depth_offset;
    const float sx = static_cast<float>(gain * x / 150 * depth), sy = static_cast<float>(gain * y / 150 * depth);
    px = static_cast<float>(static_cast<double>(sim_view_cx) + static_cast<double>(sx) * sim_graphics_scale);
    py = static_cast<float>(static_cast<double>(sim_view_cy) + static_cast<double>(sy) * sim_graphics_scale);
}
uint32_t ref_colour() { return static_cast<uint32_t>(frame_float_index(sim_draw_colour)); }
void ref_segment(float x1, float y1, float z1, float x2, float y2, float z2) {
    float a, b, c, d;
    ref_project(x1, y1, z1, a, b);
    ref_project(x2, y2, z2, c, d);
    if (sim_clipped == 0) gfx_line(a, b, c, d, ref_colour(), 0, 0, 9);
    sim_clipped = 0;
}
// -1 and +1 stand for C - h and C + h on that axis.
void ref_wire_cube(float x, float y, float z, float size) {
    static const int kEdge[12][2][3] = {
        {{-1, -1, -1}, {+1, -1, -1}}, {{+1, +1, -1}, {+1, -1, -1}}, {{+1, +1, -1}, {-1, +1, -1}},
        {{-1, -1, -1}, {-1, +1, -1}}, {{-1, -1, +1}, {+1, -1, +1}}, {{+1, +1, +1}, {+1, -1, +1}},
        {{+1, +1, +1}, {-1, +1, +1}}, {{-1, -1, +1}, {-1, +1, +1}}, {{-1, -1, -1}, {-1, -1, +1}},
        {{+1, -1, -1}, {+1, -1, +1}}, {{-1, +1, -1}, {-1, +1, +1}}, {{+1, +1, -1}, {+1, +1, +1}},
    };
    const double h = static_cast<float>(static_cast<double>(size) * 0.5);
    auto at = [&](float c, int sign) { return static_cast<float>(static_cast<double>(c) + sign * h); };
    for (const auto& e : kEdge)
        ref_segment(at(x, e[0][0]), at(y, e[0][1]), at(z, e[0][2]), at(x, e[1][0]), at(y, e[1][1]), at(z, e[1][2]));
}
void ref_shape(float x, float y, float z) {
    const float size = sim_particle_size;
    const double h = static_cast<float>(static_cast<double>(size) * 0.5);
    auto off = [&](float c, int sign) { return static_cast<float>(static_cast<double>(c) + sign * h); };
    if (sim_particle_shape == 0) {
        ref_wire_cube(x, y, z, size);
    } else if (sim_particle_shape == 1) {
        ref_segment(off(x, 1), y, z, off(x, -1), y, z);
        ref_segment(x, off(y, 1), z, x, off(y, -1), z);
        ref_segment(x, y, off(z, 1), x, y, off(z, -1));
    } else if (sim_particle_shape == 2) {
        float a, b;
        ref_project(x, y, z, a, b);
        if (sim_clipped == 0) gfx_pset(a, b, ref_colour(), 2);
        sim_clipped = 0;
    }
}
void ref_particles() {
    const int32_t species = sim_loop_count(sim_species_number(), 40);
    for (int32_t s = 0; s < species; ++s)
        for (int32_t p = 0; p < sim_active_count(s); ++p) {
            sim_draw_colour = sim_species_colour.get(s);
            ref_shape(sim_particles.get(s, p, 0), sim_particles.get(s, p, 1), sim_particles.get(s, p, 2));
        }
}

class View : public ::testing::Test {
protected:
    void SetUp() override {
        app_prepare();
        sim_create_tables();
        sim_init_state();
        gfx_screen(12, 0, 0, 1, 0, 15);
    }
    void TearDown() override { app_finish(); }
    static std::vector<uint8_t> pixels() {
        const ImageSurface* p = gfx_images.write_page;
        return std::vector<uint8_t>(p->pixels, p->pixels + p->width * p->height);
    }
    static void clear() {
        ImageSurface* p = gfx_images.write_page;
        std::memset(p->pixels, 0, static_cast<size_t>(p->width) * p->height);
    }
};

TEST_F(View, OriginProjectsToTheViewCentreForAnyAngles) {
    for (float a : {0.0f, 15.0f, 123.4f, -77.0f, 1000.5f}) {
        sim_angle_a = a;
        sim_angle_c = 70 - a;
        float sx, sy;
        sim_project(0, 0, 0, sx, sy);
        EXPECT_NEAR(sx, 0, 1e-3);
        EXPECT_NEAR(sy, 0, 1e-3);
    }
    EXPECT_EQ(sim_clipped, 0);
}

TEST_F(View, PointOnTheXAxisWithZeroAnglesProjectsToATenthOfAThird) {
    sim_angle_a = 0;
    sim_angle_c = 0;
    float x = 10, y = 0, z = 0;
    sim_rotate(x, y, z);
    EXPECT_NEAR(x, 10, 1e-4);
    EXPECT_NEAR(y, 0, 1e-4);
    EXPECT_NEAR(z, 0, 1e-4);
    float sx, sy;
    sim_project(10, 0, 0, sx, sy);
    EXPECT_NEAR(sx, 33.333f, 1e-3);  // 10 × 250 / 75
    EXPECT_NEAR(320 + sx * sim_graphics_scale, 346.67f, 1e-2);
}

TEST_F(View, RotationAddsTheViewAngleInTheXZPlane) {
    sim_angle_a = 0;
    sim_angle_c = 90;
    float x = 0, y = 0, z = 10;  // on the z axis: angle 0 from it, turned by 90°
    sim_rotate(x, y, z);
    EXPECT_NEAR(x, 10, 1e-3);
    EXPECT_NEAR(z, 0, 1e-3);
    x = 0, y = 0, z = -10;  // behind: angle 180 (z < 0), turned to 270
    sim_rotate(x, y, z);
    EXPECT_NEAR(x, -10, 1e-3);
}

TEST_F(View, PointBeyondTheClipBoundIsNotDrawn) {
    sim_angle_a = 0;
    sim_angle_c = 0;
    float sx, sy;
    sim_project(0, 0, 131, sx, sy);
    EXPECT_EQ(sim_clipped, 1);
    sim_clipped = 0;
    clear();
    sim_draw_colour = 4;
    sim_draw_segment(0, 0, 0, 0, 0, 140);
    EXPECT_EQ(sim_clipped, 0);
    auto px = pixels();
    for (uint8_t p : px) ASSERT_EQ(p, 0);
    sim_draw_segment(0, 0, 0, 0, 0, 100);
    EXPECT_EQ(pixels()[220 * 640 + 320], 4);
}

TEST_F(View, EveryProjectedPointTakesOneMouseEvent) {
    for (int i = 0; i < 30; ++i) input_mouse_event(INPUT_MOUSE_DOWN, 0, i, i);
    sim_mouse_event = 0;
    sim_draw_colour = 6;
    sim_draw_wire_cube(0, 0, 0, 100);  // 24 projections
    EXPECT_EQ(sim_mouse_event, -1);
    EXPECT_EQ(input_mouse_poll(), -1);  // 6 events were left
    for (int i = 0; i < 5; ++i) EXPECT_EQ(input_mouse_poll(), -1);
    EXPECT_EQ(input_mouse_poll(), 0);
}

// Whole pages over random swarms, shapes, zooms and angles, with points near and past the clip
// bound and the page border, against the point-by-point drawing: the same pixels, the same
// mouse events taken, the same flag, count and last point.
TEST_F(View, ScenesDrawExactlyAsThePointByPointDrawing) {
    rnd_reset();
    for (int trial = 0; trial < 240; ++trial) {
        const int species = 1 + trial % 4;
        sim_set_cell(kSimRowSpecies, kSimColValue, static_cast<float>(species));
        for (int s = 0; s < species; ++s) {
            sim_species_count.set(static_cast<float>(trial % 9 == 0 ? 0 : rnd() * 60), s);
            sim_species_colour.set(static_cast<float>(trial % 11 == 0 ? rnd() * 40 - 10 : 1 + rnd() * 15), s);
            const float reach = trial % 3 == 0 ? 200.0f : 135.0f;  // past the bound, or around it
            for (int p = 0; p < 801; ++p)
                for (int k = 0; k < 3; ++k) sim_particles.set(rnd() * 2 * reach - reach, s, p, k);
        }
        sim_particle_shape = static_cast<float>(trial % 4 == 3 ? 2 : trial % 4);
        if (trial % 37 == 5) sim_particle_shape = 7;  // draws nothing
        sim_particle_size = trial % 10 == 0 ? -4.0f : rnd() * (trial % 2 ? 60 : 6);
        sim_graphics_scale = trial % 13 == 0 ? -0.8f : trial % 17 == 0 ? 0.0f : rnd() * 3;
        sim_angle_a = rnd() * 720 - 360;
        sim_angle_c = rnd() * 720 - 360;
        const int events = static_cast<int>(rnd() * 40) * (1 + trial % 3 * 30);
        const float start_flag = trial % 5 == 0 ? 2.4f : 0.0f;
        const bool carried = trial % 7 == 0;  // a clip flag left over from before
        std::vector<uint8_t> page[2];
        int left[2];
        int64_t points[2] = {0, 0};
        float flag[2], last[2][2];
        for (int run = 0; run < 2; ++run) {
            input_mouse_queue_clear();
            for (int i = 0; i < events; ++i) input_mouse_event(INPUT_MOUSE_DOWN, i % 3, i, i);
            clear();
            sim_mouse_event = start_flag;
            sim_clipped = carried ? 1 : 0;
            const int64_t before = sim_projected_points;
            sim_draw_colour = sim_cube_colour;
            if (run == 0) {
                sim_draw_wire_cube(0, 0, 0, sim_cube_side);
                sim_draw_particles();
                points[0] = sim_projected_points - before;
            } else {
                ref_wire_cube(0, 0, 0, sim_cube_side);
                ref_particles();
            }
            page[run] = pixels();
            flag[run] = sim_mouse_event;
            last[run][0] = gfx_images.write_page->last_x;
            last[run][1] = gfx_images.write_page->last_y;
            left[run] = 0;
            while (input_mouse_poll()) ++left[run];
            ASSERT_EQ(sim_clipped, 0);
        }
        const int shape = static_cast<int>(sim_particle_shape);
        points[1] = 24;
        for (int s = 0; s < species; ++s)
            points[1] += sim_active_count(s) * (shape == 0 ? 24 : shape == 1 ? 6 : shape == 2 ? 1 : 0);
        ASSERT_EQ(points[0], points[1]) << "trial " << trial;
        ASSERT_EQ(page[0], page[1]) << "trial " << trial;
        ASSERT_EQ(left[0], left[1]) << "trial " << trial;
        ASSERT_EQ(std::memcmp(&flag[0], &flag[1], sizeof(float)), 0) << "trial " << trial;
        ASSERT_EQ(std::memcmp(last[0], last[1], sizeof last[0]), 0) << "trial " << trial;
    }
}

TEST_F(View, NegativeScaleMirrorsThroughTheCentreAndZeroDrawsOnIt) {
    sim_angle_a = 0;
    sim_angle_c = 0;
    sim_draw_colour = 9;
    sim_graphics_scale = -0.8f;
    clear();
    sim_draw_dot(10, 0, 0);
    auto p = pixels();
    EXPECT_EQ(p[220 * 640 + 293], 9);  // 320 − 26.67
    sim_graphics_scale = 0;
    clear();
    sim_draw_cross(30, 20, 10, 5);
    p = pixels();
    int lit = 0;
    for (uint8_t v : p) lit += v != 0;
    EXPECT_EQ(lit, 1);
    EXPECT_EQ(p[220 * 640 + 320], 9);
}

TEST_F(View, HugeScalesSizesAndAnglesDrawWithoutFault) {
    for (float scale : {1e30f, -1e30f, 3e9f}) {
        sim_graphics_scale = scale;
        sim_angle_a = 1e20f;
        sim_angle_c = -3e38f;
        sim_draw_colour = 1e30f;
        sim_draw_wire_cube(1, 2, 3, 1e30f);
        sim_draw_cross(-40, 40, 10, -1e25f);
        sim_draw_dot(49, -49, 49);
        sim_draw_wire_cube(0, 0, 0, 100);
    }
    EXPECT_EQ(frame_error.error_number, 0u);
}

}  // namespace
