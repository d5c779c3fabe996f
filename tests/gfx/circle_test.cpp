// Circles, arcs, pies and aspect.
#include <cmath>

#include "gfx_support.h"
#include "runtime/core/error.h"
#include "runtime/gfx/draw.h"
#include "runtime/gfx/text_output.h"

namespace {

constexpr double kPi = 3.141592653589793;

class CircleTest : public GfxTest {
protected:
    void SetUp() override {
        GfxTest::SetUp();
        mode12(0);
    }
    // Any pixel set within `reach` of (x, y)?
    static bool near(double x, double y, int reach = 1) {
        int cx = static_cast<int>(std::lround(x)), cy = static_cast<int>(std::lround(y));
        for (int dy = -reach; dy <= reach; dy++)
            for (int dx = -reach; dx <= reach; dx++)
                if (px(cx + dx, cy + dy)) return true;
        return false;
    }
    static bool on_circle_at(double angle, double r = 100) {
        return near(320 + r * std::cos(angle), 240 - r * std::sin(angle));
    }
};

TEST_F(CircleTest, FullCircleOfRadius100) {
    gfx_circle(320, 240, 100, 0, 0, 0, 0, 0);
    EXPECT_EQ(px(420, 240), 15);
    EXPECT_EQ(px(220, 240), 15);
    EXPECT_EQ(px(320, 140), 15);
    EXPECT_EQ(px(320, 340), 15);
    EXPECT_EQ(px(421, 240), 0);
    EXPECT_EQ(px(320, 139), 0);
    int64_t n = 0;
    bool symmetric = true;
    for (int y = 0; y < 480; y++)
        for (int x = 0; x < 640; x++) {
            if (!px(x, y)) continue;
            n++;
            double d = std::hypot(x - 320, y - 240);
            EXPECT_NEAR(d, 100, 1.0) << x << "," << y;
            symmetric = symmetric && px(640 - x, y) && px(x, 480 - y);
        }
    EXPECT_TRUE(symmetric);
    // Points within one pixel of the last plotted one are skipped: about the perimeter in
    // pixels (8 octants of ~71), far below the 4 x 158 mirrored steps.
    EXPECT_GT(n, 540);
    EXPECT_LT(n, 600);
    for (double a = 0; a < 2 * kPi; a += 0.05) EXPECT_TRUE(on_circle_at(a)) << a;
    EXPECT_EQ(wp()->last_x, 320.0f);
    EXPECT_EQ(wp()->draw_colour, 15u);
}

TEST_F(CircleTest, ArcFromOneRadian) {
    gfx_circle(320, 240, 100, 0, 1, 0, 0, 4);
    EXPECT_EQ(px(420, 240), 15);  // angle 0 drawn as 2*pi
    for (double a = 0.1; a < 0.95; a += 0.05) EXPECT_FALSE(on_circle_at(a)) << a;
    for (double a = 1.05; a < 2 * kPi; a += 0.05) EXPECT_TRUE(on_circle_at(a)) << a;
}

TEST_F(CircleTest, StartAfterEndWrapsThroughZero) {
    gfx_circle(320, 240, 100, 0, 3 * kPi / 2, kPi / 2, 0, 4 | 8);
    EXPECT_EQ(px(420, 240), 15);
    EXPECT_EQ(px(220, 240), 0);
    // The running angles land a hair past pi/2 and 3*pi/2, so the exact top and bottom points
    // fail the range test; the arc up to them on the right is drawn.
    EXPECT_TRUE(near(322, 140));
    EXPECT_TRUE(near(322, 340));
    EXPECT_TRUE(on_circle_at(kPi / 2 - 0.05));
    EXPECT_FALSE(on_circle_at(kPi / 2 + 0.08));
    for (int x = 0; x < 319; x++)
        for (int y = 0; y < 480; y++) ASSERT_EQ(px(x, y), 0) << x << "," << y;
    EXPECT_TRUE(on_circle_at(kPi / 4));
    EXPECT_TRUE(on_circle_at(-kPi / 4));
}

TEST_F(CircleTest, PieStartDrawsALineToTheCentre) {
    gfx_circle(320, 240, 100, 0, -kPi / 2, 0, 0, 4);
    for (int y = 141; y <= 240; y++) EXPECT_EQ(px(320, y), 15) << y;
    EXPECT_EQ(px(321, 200), 0);
    // The arc itself runs from pi/2 to 2*pi.
    EXPECT_TRUE(on_circle_at(kPi));
    EXPECT_FALSE(on_circle_at(kPi / 4));
}

TEST_F(CircleTest, PieEndLine) {
    gfx_circle(320, 240, 100, 0, 0, -kPi, 0, 4 | 8);
    for (int x = 221; x <= 320; x++) EXPECT_EQ(px(x, 240), 15) << x;
    EXPECT_FALSE(on_circle_at(3 * kPi / 2));
}

TEST_F(CircleTest, AnglesBeyondTwoPiAreRefused) {
    wp()->last_x = 1;
    gfx_circle(320, 240, 100, 0, 7, 0, 0, 4);
    EXPECT_EQ(error(), 5u);
    clear_error();
    gfx_circle(320, 240, 100, 0, 0, -7, 0, 8);
    EXPECT_EQ(error(), 5u);
    clear_error();
    EXPECT_EQ(count_not(0), 0);
    EXPECT_EQ(wp()->last_x, 1.0f);
}

TEST_F(CircleTest, Mode13SquashesTheVerticalRadius) {
    gfx_screen(13, 0, 0, 0, 0, 1);
    gfx_circle(160, 100, 60, 4, 0, 0, 0, 2);
    EXPECT_EQ(wp()->pixels[100 * 320 + 220], 4);
    EXPECT_EQ(wp()->pixels[100 * 320 + 100], 4);
    EXPECT_EQ(wp()->pixels[50 * 320 + 160], 4);
    EXPECT_EQ(wp()->pixels[150 * 320 + 160], 4);
    EXPECT_EQ(wp()->pixels[49 * 320 + 160], 0);
    EXPECT_EQ(wp()->pixels[40 * 320 + 160], 0);
}

TEST_F(CircleTest, GivenAspects) {
    gfx_circle(320, 240, 100, 1, 0, 0, 2.0, 2 | 16);  // rx = 50
    EXPECT_EQ(px(370, 240), 1);
    EXPECT_EQ(px(320, 140), 1);
    EXPECT_EQ(px(420, 240), 0);
    txt_cls(0, 0, 0);
    gfx_circle(320, 240, 100, 1, 0, 0, -0.25, 2 | 16);  // ry = 75
    EXPECT_EQ(px(420, 240), 1);
    EXPECT_EQ(px(320, 165), 1);
}

TEST_F(CircleTest, TinyRadiusPlotsTheCentre) {
    gfx_circle(10, 10, 0.2, 2, 0, 0, 0, 2);
    EXPECT_EQ(px(10, 10), 2);
    EXPECT_EQ(count_not(0), 1);
}

TEST_F(CircleTest, WhollyOutsideIsRejectedButMovesTheLastPoint) {
    gfx_circle(-1000, -1000, 10, 3, 0, 0, 0, 2);
    EXPECT_EQ(count_not(0), 0);
    EXPECT_EQ(wp()->last_x, -1000.0f);
    EXPECT_EQ(wp()->draw_colour, 15u);
}

TEST_F(CircleTest, PartlyOutsideIsClippedToTheView) {
    gfx_circle(0, 0, 50, 3, 0, 0, 0, 2);
    EXPECT_EQ(px(50, 0), 3);
    EXPECT_EQ(px(0, 50), 3);
    gfx_circle(600, 400, 500, 4, 0, 0, 0, 2);  // centre on the page, most of it outside
    EXPECT_GT(count(4), 300);
    gfx_circle(600, 400, 1000, 5, 0, 0, 0, 2);  // the whole page lies inside it
    EXPECT_EQ(count(5), 0);
}

TEST_F(CircleTest, CentreRelativeToTheLastPoint) {
    wp()->last_x = 100;
    wp()->last_y = 100;
    gfx_circle(10, 10, 5, 1, 0, 0, 0, 1 | 2);
    EXPECT_EQ(px(115, 110), 1);
    EXPECT_EQ(wp()->last_x, 110.0f);
}

}  // namespace
