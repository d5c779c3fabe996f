#include <gtest/gtest.h>

#include <utility>

#include "runtime/display/display.h"

namespace {

TEST(Placement, FullScreenKeepingTheAspectPutsBarsLeftAndRight) {
    Placement p = disp_compute_placement(1920, 1080, 640, 480, 2);
    EXPECT_EQ(p.width, 1440);
    EXPECT_EQ(p.height, 1080);
    EXPECT_EQ(p.left, 240);
    EXPECT_EQ(p.top, 0);
    EXPECT_EQ(p.bars, 1);
    EXPECT_DOUBLE_EQ(p.scale_x, 2.25);
    EXPECT_DOUBLE_EQ(p.scale_y, 2.25);
}

TEST(Placement, FullScreenKeepingTheAspectPutsBarsAboveAndBelow) {
    Placement p = disp_compute_placement(1000, 1000, 640, 480, 2);
    EXPECT_EQ(p.width, 1000);
    EXPECT_EQ(p.height, 750);
    EXPECT_EQ(p.top, 500 - 375);
    EXPECT_EQ(p.bars, 2);
    // An odd placed size: halves are integer halves.
    Placement q = disp_compute_placement(1001, 1000, 640, 480, 2);
    EXPECT_EQ(q.height, 750);  // 1001 / (4/3) = 750.75 truncated
    EXPECT_EQ(q.top, 500 - 375);
}

TEST(Placement, SameAspectInModeTwoFillsTheScreen) {
    Placement p = disp_compute_placement(1280, 960, 640, 480, 2);
    EXPECT_EQ(p.width, 1280);
    EXPECT_EQ(p.height, 960);
    EXPECT_EQ(p.bars, 0);
    EXPECT_DOUBLE_EQ(p.scale_x, 2.0);
}

TEST(Placement, ModeOneStretchesOverTheClientArea) {
    Placement p = disp_compute_placement(1920, 1080, 640, 480, 1);
    EXPECT_EQ(p.left, 0);
    EXPECT_EQ(p.width, 1920);
    EXPECT_EQ(p.height, 1080);
    EXPECT_DOUBLE_EQ(p.scale_x, 3.0);
    EXPECT_DOUBLE_EQ(p.scale_y, 2.25);
}

TEST(Placement, AWindowShowsTheFrameOneToOneUntilTheReshapeArrives) {
    Placement p = disp_compute_placement(640, 400, 640, 480, 0);
    EXPECT_EQ(p.left, 0);
    EXPECT_EQ(p.top, 0);
    EXPECT_EQ(p.width, 640);
    EXPECT_EQ(p.height, 480);
    EXPECT_DOUBLE_EQ(p.scale_y, 1.0);
    Placement q = disp_compute_placement(640, 480, 640, 480, 1);  // equal sizes: 1:1
    EXPECT_EQ(q.width, 640);
    EXPECT_DOUBLE_EQ(q.scale_x, 1.0);
}

TEST(Placement, AScaledWindowShowsWholeSquarePixelsFromTheCorner) {
    for (int32_t n : {2, 3, 8}) {
        // Before the reshape arrives, and in the window of its size.
        for (auto [cw, ch] : {std::pair{640, 400}, {640 * n, 480 * n}}) {
            Placement p = disp_compute_placement(cw, ch, 640, 480, 0, n);
            EXPECT_EQ(p.left, 0);
            EXPECT_EQ(p.top, 0);
            EXPECT_EQ(p.width, 640 * n);
            EXPECT_EQ(p.height, 480 * n);
            EXPECT_DOUBLE_EQ(p.scale_x, n);
            EXPECT_DOUBLE_EQ(p.scale_y, n);
            EXPECT_EQ(p.bars, 0);
        }
    }
    // Full screen is the same at every scale.
    Placement f = disp_compute_placement(1920, 1080, 640, 480, 2, 3);
    EXPECT_EQ(f.width, 1440);
    EXPECT_EQ(f.left, 240);
}

TEST(Placement, AutoScaleIsTheLargestThatFitsNineTenthsOfTheScreen) {
    EXPECT_EQ(disp_auto_scale(1920, 1080, 640, 480), 2);
    EXPECT_EQ(disp_auto_scale(3840, 2160, 640, 480), 4);
    EXPECT_EQ(disp_auto_scale(2560, 1440, 640, 480), 2);  // 3 x 480 > 1296
    EXPECT_EQ(disp_auto_scale(1280, 1024, 640, 480), 1);  // 2 x 640 > 1152
    EXPECT_EQ(disp_auto_scale(640, 480, 640, 480), 1);    // nothing fits: the page's size
    EXPECT_EQ(disp_auto_scale(7680, 4320, 640, 480), 8);
    EXPECT_EQ(disp_auto_scale(100000, 100000, 640, 480), 8);
    // Exactly nine tenths fits.
    EXPECT_EQ(disp_auto_scale(100, 100, 30, 30), 3);
    EXPECT_EQ(disp_auto_scale(100, 99, 30, 30), 2);
}

// Applies a pending request as the presenter does.
void present(ScreenModeState& s) {
    if (s.requested != -1) {
        s.mode = s.requested;
        s.requested = -1;
    }
}

TEST(FullScreenCycle, FiveStepsReturnToTheWindow) {
    ScreenModeState s;
    const int modes[5] = {1, 1, 2, 2, 0};
    const bool smooth[5] = {false, true, false, true, true};
    for (int i = 0; i < 5; ++i) {
        disp_fullscreen_step(s);
        present(s);
        EXPECT_EQ(s.mode, modes[i]) << "step " << i + 1;
        EXPECT_EQ(s.smooth, smooth[i]) << "step " << i + 1;
    }
    // Smoothing left on in the window does not count: the next step is mode 1, unsmoothed.
    disp_fullscreen_step(s);
    present(s);
    EXPECT_EQ(s.mode, 1);
    EXPECT_FALSE(s.smooth);
}

TEST(FullScreenCycle, StepsCountFromAPendingRequest) {
    ScreenModeState s;
    disp_fullscreen_step(s);
    EXPECT_EQ(s.requested, 1);
    disp_fullscreen_step(s);  // before the presenter saw the first
    EXPECT_EQ(s.requested, 1);
    EXPECT_TRUE(s.smooth);
    disp_fullscreen_step(s);
    EXPECT_EQ(s.requested, 2);
    EXPECT_FALSE(s.smooth);
}

TEST(FullScreenCycle, SmoothingAloneMakesNoRequest) {
    ScreenModeState s;
    s.mode = 2;
    disp_fullscreen_step(s);
    EXPECT_EQ(s.requested, -1);
    EXPECT_TRUE(s.smooth);
}

}  // namespace
