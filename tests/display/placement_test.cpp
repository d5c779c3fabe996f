#include <gtest/gtest.h>

#include <tuple>

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
    // Before the reshape arrives (640 x 400) as in the window of its size; full screen as ever.
    for (auto [cw, ch, n] : {std::tuple{640, 400, 3}, {1920, 1440, 3}, {5120, 3840, 8}}) {
        Placement p = disp_compute_placement(cw, ch, 640, 480, 0, n);
        EXPECT_EQ(std::tuple(p.left, p.top, p.width, p.height, p.scale_x, p.scale_y, p.bars),
                  std::tuple(0, 0, 640 * n, 480 * n, double(n), double(n), 0));
    }
    EXPECT_EQ(disp_compute_placement(1920, 1080, 640, 480, 2, 3).left, 240);
}

TEST(Placement, AutoScaleIsTheLargestThatFitsNineTenthsOfTheScreen) {
    // (screen, frame, want): 3 x 480 > 1296 on 2560 x 1440; none fits; at most 8; exactly 9/10.
    for (auto [sw, sh, fw, fh, want] : {std::tuple{1920, 1080, 640, 480, 2}, {3840, 2160, 640, 480, 4},
                                        {2560, 1440, 640, 480, 2}, {640, 480, 640, 480, 1},
                                        {100000, 100000, 640, 480, 8}, {100, 100, 30, 30, 3},
                                        {100, 99, 30, 30, 2}})
        EXPECT_EQ(disp_auto_scale(sw, sh, fw, fh), want) << sw << "x" << sh;
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
