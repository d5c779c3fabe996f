#include <algorithm>
#include <utility>
#include <vector>

#include "input_support.h"
#include "runtime/core/error.h"
#include "runtime/display/display.h"
#include "runtime/input/input.h"

namespace {

class MouseTest : public InputTest {};

TEST_F(MouseTest, ABurstOfMotionPollsToTheLastEvent) {
    mode12();
    for (int i = 0; i < 100; ++i) input_mouse_event(INPUT_MOUSE_MOTION, 0, i, 2 * i);
    int advanced = 0;
    while (input_mouse_poll() == -1) ++advanced;
    EXPECT_EQ(advanced, 200);  // two queue events per motion
    EXPECT_EQ(input_mouse_poll(), 0);
    EXPECT_EQ(input_mouse_x(), 99.0f);
    EXPECT_EQ(input_mouse_y(), 198.0f);
}

TEST_F(MouseTest, NothingNewPollsZeroOnTheZeroedFirstEvent) {
    EXPECT_EQ(input_mouse_poll(), 0);
    MouseEvent e = input_mouse_current();
    EXPECT_EQ(e.x, 0);
    EXPECT_EQ(e.buttons, 0u);
}

TEST_F(MouseTest, ButtonsAreCopiedIntoLaterEvents) {
    mode12();
    input_mouse_event(INPUT_MOUSE_DOWN, 0, 10, 10);
    input_mouse_event(INPUT_MOUSE_DOWN, 2, 11, 10);
    input_mouse_event(INPUT_MOUSE_MOTION, 0, 12, 10);
    while (input_mouse_poll()) {
    }
    EXPECT_EQ(input_mouse_button(1), -1);
    EXPECT_EQ(input_mouse_button(2), -1);  // 2 is the right button
    EXPECT_EQ(input_mouse_button(3), 0);
    EXPECT_EQ(input_mouse_button(4), 0);
    input_mouse_event(INPUT_MOUSE_UP, 0, 12, 10);
    input_mouse_event(INPUT_MOUSE_DOWN, 1, 12, 10);
    while (input_mouse_poll()) {
    }
    EXPECT_EQ(input_mouse_button(1), 0);
    EXPECT_EQ(input_mouse_button(2), -1);
    EXPECT_EQ(input_mouse_button(3), -1);  // 3 is the middle button
    EXPECT_EQ(input_mouse_button(0), 0);
    EXPECT_EQ(frame_error.error_number, 5u);
}

TEST_F(MouseTest, WheelGivesAPressAndARelease) {
    input_mouse_event(INPUT_MOUSE_WHEEL, 1, 5, 5);
    ASSERT_EQ(input_mouse_poll(), -1);
    EXPECT_EQ(input_mouse_current().buttons, 8u);
    ASSERT_EQ(input_mouse_poll(), -1);
    EXPECT_EQ(input_mouse_current().buttons, 0u);
    input_mouse_event(INPUT_MOUSE_WHEEL, -1, 5, 5);
    ASSERT_EQ(input_mouse_poll(), -1);
    EXPECT_EQ(input_mouse_current().buttons, 16u);
    EXPECT_EQ(input_mouse_poll(), -1);
    EXPECT_EQ(input_mouse_poll(), 0);
}

// Stopping at buttons: the polls stop at each button change (not at the wheel's) until the
// program says it has handled it; switched off, they run through again.
TEST_F(MouseTest, PollsStopAtEachButtonChangeUntilHandled) {
    input_mouse_stop_at_buttons(true);
    input_mouse_event(INPUT_MOUSE_MOTION, 0, 1, 1);
    input_mouse_event(INPUT_MOUSE_DOWN, 0, 2, 1);
    input_mouse_event(INPUT_MOUSE_UP, 0, 3, 1);
    input_mouse_event(INPUT_MOUSE_WHEEL, 1, 4, 1);
    input_mouse_event(INPUT_MOUSE_MOTION, 0, 5, 1);
    std::vector<std::pair<int, int>> stops;  // events taken before a stop, x at the stop
    for (int round = 0; round < 4; ++round) {
        int taken = 0;
        while (input_mouse_poll() == -1) ++taken;
        stops.push_back({taken, input_mouse_current().x});
        input_mouse_handled();
    }
    EXPECT_EQ(stops, (std::vector<std::pair<int, int>>{{3, 2}, {1, 3}, {4, 5}, {0, 5}}));
    input_mouse_stop_at_buttons(false);
    input_mouse_event(INPUT_MOUSE_DOWN, 2, 6, 1);
    input_mouse_event(INPUT_MOUSE_UP, 2, 7, 1);
    EXPECT_EQ(input_mouse_take(5), 2);
}

TEST_F(MouseTest, OverrunDropsTheOldestEvents) {
    // 65,545 events into a ring of 65,536: events 1 to 9 are overwritten, the read index
    // moves on to event 10, and the rest come in order.
    const int n = 65545;
    for (int k = 1; k <= n; ++k) input_mouse_event(INPUT_MOUSE_DOWN, 0, k % 1000, k / 1000);
    auto id = [] {
        MouseEvent e = input_mouse_current();
        return e.y * 1000 + e.x;
    };
    EXPECT_EQ(id(), 10);
    int advanced = 0, last = id();
    bool ordered = true;
    while (input_mouse_poll() == -1) {
        ++advanced;
        ordered = ordered && id() == last + 1;
        last = id();
    }
    EXPECT_TRUE(ordered);
    EXPECT_EQ(advanced, kMouseQueueCapacity);
    EXPECT_EQ(last, n);
}

TEST_F(MouseTest, CoordinatesMapThroughThePlacement) {
    mode12();
    Placement p = disp_compute_placement(1920, 1080, 640, 480, 2);
    disp_publish_placement(p, 640, 480);
    input_mouse_event(INPUT_MOUSE_MOTION, 0, 240, 0);
    while (input_mouse_poll()) {
    }
    EXPECT_EQ(input_mouse_x(), 0.0f);
    input_mouse_event(INPUT_MOUSE_MOTION, 0, 1679, 1079);
    while (input_mouse_poll()) {
    }
    EXPECT_EQ(input_mouse_x(), 639.0f);
    EXPECT_EQ(input_mouse_y(), 479.0f);
    input_mouse_event(INPUT_MOUSE_MOTION, 0, 100, 540);
    while (input_mouse_poll()) {
    }
    EXPECT_EQ(input_mouse_x(), 0.0f);  // on the black bar: clamped
    EXPECT_EQ(input_mouse_y(), 240.0f);
}

TEST_F(MouseTest, AScaledWindowReadsPagePixels) {
    mode12();
    disp_publish_placement(disp_compute_placement(1920, 1440, 640, 480, 0, 3), 640, 480);
    // (client, page): each page pixel is three client pixels wide.
    for (auto [c, want] : {std::pair{300, 100.0f}, {302, 100.0f}, {303, 101.0f}, {1919, 639.0f}}) {
        input_mouse_event(INPUT_MOUSE_MOTION, 0, c, c);
        while (input_mouse_poll()) {
        }
        EXPECT_EQ(input_mouse_x(), want) << c;
        EXPECT_EQ(input_mouse_y(), std::min(want, 479.0f)) << c;
    }
}

TEST_F(MouseTest, WindowSizedToTheFrameReadsClientPixelsClamped) {
    mode12();
    disp_publish_placement(disp_compute_placement(640, 480, 640, 480, 0), 640, 480);
    input_mouse_event(INPUT_MOUSE_MOTION, 0, 700, -5);
    while (input_mouse_poll()) {
    }
    EXPECT_EQ(input_mouse_x(), 639.0f);
    EXPECT_EQ(input_mouse_y(), 0.0f);
    input_mouse_event(INPUT_MOUSE_MOTION, 0, 321, 17);
    while (input_mouse_poll()) {
    }
    EXPECT_EQ(input_mouse_x(), 321.0f);
    EXPECT_EQ(input_mouse_y(), 17.0f);
}

TEST_F(MouseTest, BeforeAnyPresentationThePageMapsOneToOne) {
    mode12();
    input_mouse_event(INPUT_MOUSE_MOTION, 0, 1000, 300);
    while (input_mouse_poll()) {
    }
    EXPECT_EQ(input_mouse_x(), 639.0f);
    EXPECT_EQ(input_mouse_y(), 300.0f);
}

TEST_F(MouseTest, TextPageGivesCharacterPositions) {
    // The start-up screen is 80 x 25 text with 8 x 16 cells.
    input_mouse_event(INPUT_MOUSE_MOTION, 0, 15, 16);
    while (input_mouse_poll()) {
    }
    EXPECT_EQ(input_mouse_x(), 2.0f);
    EXPECT_EQ(input_mouse_y(), 2.0f);
}

TEST(MouseMapping, RoundsTiesToEvenAndClamps) {
    // (1 + 0.5) / 0.5 - 0.5 = 2.5: ties to even gives 2, not 3.
    EXPECT_EQ(input_map_coordinate(1, 0, 0.5, 100), 2);
    EXPECT_EQ(input_map_coordinate(0, 0, 0.5, 100), 0);  // 0.5 -> 0
    EXPECT_EQ(input_map_coordinate(240, 240, 2.25, 640), 0);
    EXPECT_EQ(input_map_coordinate(242, 240, 2.25, 640), 1);  // 2.5 / 2.25 - 0.5 = 0.61
    EXPECT_EQ(input_map_coordinate(-100000, 0, 1, 640), 0);
    EXPECT_EQ(input_map_coordinate(100000, 0, 1, 640), 639);
    EXPECT_EQ(input_map_coordinate(5, 0, 0.0, 640), 5);  // no placement yet
}

}  // namespace
