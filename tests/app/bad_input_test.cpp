// Hostile input: parameters stepped far out of range, clicks and drags everywhere.
#include "fixture.h"
#include "runtime/input/input.h"

namespace {

using BadInput = AppRun;

// Holds a button on panel row k and moves within the row for `frames` frames: one step each.
void hold_on_row(int button, int k, int frames) {
    app_move(50, k * 16 + 8);
    ASSERT_TRUE(app_step(2));
    app_press(button, 50, k * 16 + 8);
    for (int i = 0; i < frames; ++i) {
        app_move(50 + (i & 1), k * 16 + 8);
        ASSERT_TRUE(app_step(1));
    }
    app_release(button, 50, k * 16 + 8);
    ASSERT_TRUE(app_step(2));
}

TEST_F(BadInput, ParametersSteppedFarBelowZeroKeepTheProgramRunning) {
    app_key('r');
    ASSERT_TRUE(app_step());
    for (int k = 0; k <= 8; ++k) hold_on_row(0, k, 60);
    EXPECT_LT(sim_central_pull, 0);
    EXPECT_LT(sim_particle_size, 0);
    EXPECT_LT(sim_displacement, 0);
    EXPECT_LT(sim_graphics_scale, 0);
    EXPECT_LT(sim_max_particles, 0);
    EXPECT_GE(sim_auto_rotation, 0);
    for (int i = 0; i < 3; ++i) EXPECT_LE(count(i), 0);
    ASSERT_TRUE(app_step(5));
    for (int k : {'d', 'f', 'c', 'q', 'r'}) {
        app_key(k);
        ASSERT_TRUE(app_step(2));
    }
    app_click(2, 50, 4 * 16 + 8);  // scale stepped through 0
    ASSERT_TRUE(app_step(5));
}

TEST_F(BadInput, ParametersSteppedFarAboveRangeKeepTheProgramRunning) {
    app_key('r');
    ASSERT_TRUE(app_step());
    for (int k = 0; k <= 7; ++k) hold_on_row(2, k, 25);
    EXPECT_GT(sim_max_particles, 300);
    EXPECT_GT(sim_graphics_scale, 2);
    EXPECT_EQ(sim_particle_shape, 1);  // 25 steps round the cycle
    ASSERT_TRUE(app_step(3));
    app_key('c');
    ASSERT_TRUE(app_step(3));
}

TEST_F(BadInput, ClicksAndDragsEverywhereWithBothButtons) {
    for (int y = 4; y < 480; y += 37) {
        for (int x = 3; x < 640; x += 53) {
            // The menu band is a command surface: a click there issues a command (the exit
            // among them), which is no bad input.
            if (x > 380 && x < 630) continue;
            app_move(x, y);
            app_press(x % 2 == 0 ? 0 : 2, x, y);
            app_press(1, x, y);
            ASSERT_TRUE(app_step(1));
            app_move(639 - x, 479 - y);
            app_release(0, 639 - x, 479 - y);
            app_release(2, 639 - x, 479 - y);
            app_release(1, 639 - x, 479 - y);
            ASSERT_TRUE(app_step(1));
        }
    }
    // Off the window, and on the circle's edge.
    app_press(0, -50, 900);
    app_press(2, 370, 220);
    ASSERT_TRUE(app_step(2));
    app_move(5000, -5000);
    ASSERT_TRUE(app_step(2));
    app_release(0, 370, 220);
    app_release(2, 370, 220);
    ASSERT_TRUE(app_step(3));
    EXPECT_GE(sim_species_number(), 1);
    EXPECT_LE(sim_species_number(), kSimSpeciesMax);
}

TEST_F(BadInput, SpeciesNumberClickedToItsBoundsAndKeysHeldDown) {
    // Right clicks on the species cell raise N to its bound; the editor follows it up.
    for (int i = 0; i < 12; ++i) {
        float n = sim_species_number();
        int row = static_cast<int>(26 - n);
        app_click(2, 12, row * 16 + 8);
    }
    EXPECT_EQ(sim_species_number(), kSimSpeciesMax);
    for (int i = 0; i < 12; ++i) {
        float n = sim_species_number();
        int row = static_cast<int>(26 - n);
        app_click(0, 12, row * 16 + 8);
    }
    EXPECT_EQ(sim_species_number(), 1);
    // A held key repeating faster than the frames: the ring keeps 15, the rest are lost.
    for (int i = 0; i < 40; ++i) input_key_event('t', 1);
    input_key_event('t', 0);
    ASSERT_TRUE(app_step(20));
}

}  // namespace
