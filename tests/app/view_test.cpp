// The scene view on its own, on the test thread: projection examples and the shared-corner
// wire cube against the edge-by-edge one.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "app/sim_state.h"
#include "app/sim_view.h"
#include "app_support.h"
#include "runtime/gfx/image.h"
#include "runtime/input/input.h"
#include "runtime/text/random_timer.h"

namespace {

// The wire cube as its edge table reads, every edge projecting both of its ends: the
// yardstick of the shared-corner drawing. -1 and +1 stand for C - h and C + h on that axis.
void wire_cube_by_edges(float x, float y, float z, float size) {
    static const int kEdge[12][2][3] = {
        {{-1, -1, -1}, {+1, -1, -1}}, {{+1, +1, -1}, {+1, -1, -1}}, {{+1, +1, -1}, {-1, +1, -1}},
        {{-1, -1, -1}, {-1, +1, -1}}, {{-1, -1, +1}, {+1, -1, +1}}, {{+1, +1, +1}, {+1, -1, +1}},
        {{+1, +1, +1}, {-1, +1, +1}}, {{-1, -1, +1}, {-1, +1, +1}}, {{-1, -1, -1}, {-1, -1, +1}},
        {{+1, -1, -1}, {+1, -1, +1}}, {{-1, +1, -1}, {-1, +1, +1}}, {{+1, +1, -1}, {+1, +1, +1}},
    };
    const double h = static_cast<float>(static_cast<double>(size) * 0.5);
    auto at = [&](float c, int sign) { return static_cast<float>(static_cast<double>(c) + sign * h); };
    for (const auto& e : kEdge)
        sim_draw_segment(at(x, e[0][0]), at(y, e[0][1]), at(z, e[0][2]), at(x, e[1][0]),
                         at(y, e[1][1]), at(z, e[1][2]));
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

TEST_F(View, SharedCornerWireCubeDrawsExactlyTheEdgeByEdgeCube) {
    rnd_reset();
    for (int trial = 0; trial < 300; ++trial) {
        sim_angle_a = rnd() * 720 - 360;
        sim_angle_c = rnd() * 720 - 360;
        sim_graphics_scale = trial % 7 == 0 ? -0.5f : rnd() * 2;
        float x = rnd() * 260 - 130, y = rnd() * 260 - 130, z = rnd() * 260 - 130;
        float size = trial % 5 == 0 ? -3.0f : rnd() * 80;
        sim_draw_colour = static_cast<float>(1 + trial % 15);
        for (int i = 0; i < 30; ++i) input_mouse_event(INPUT_MOUSE_MOTION, 0, i, i);
        clear();
        int64_t before = sim_projected_points;
        sim_mouse_event = 0;
        sim_draw_wire_cube(x, y, z, size);
        auto fast = pixels();
        int64_t fast_points = sim_projected_points - before;
        int left_fast = 0;
        while (input_mouse_poll()) ++left_fast;
        for (int i = 0; i < 30; ++i) input_mouse_event(INPUT_MOUSE_MOTION, 0, i, i);
        clear();
        before = sim_projected_points;
        wire_cube_by_edges(x, y, z, size);
        auto slow = pixels();
        int left_slow = 0;
        while (input_mouse_poll()) ++left_slow;
        ASSERT_EQ(fast, slow) << "trial " << trial;
        ASSERT_EQ(fast_points, sim_projected_points - before);
        ASSERT_EQ(left_fast, left_slow);
        ASSERT_EQ(sim_clipped, 0);
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
