// Points, lines, clipping and boxes.
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <set>
#include <utility>
#include <vector>

#include "gfx_support.h"
#include "runtime/core/error.h"
#include "runtime/gfx/draw.h"
#include "runtime/gfx/text_output.h"

namespace {

using Pixels = std::set<std::pair<int, int>>;

class DrawTest : public GfxTest {
protected:
    void SetUp() override {
        GfxTest::SetUp();
        mode12(0);
    }
    static Pixels set_pixels() {
        Pixels out;
        for (int y = 0; y < 480; y++)
            for (int x = 0; x < 640; x++)
                if (px(x, y)) out.insert({x, y});
        return out;
    }
    static void line(float x1, float y1, float x2, float y2, uint32_t colour = 1) {
        gfx_line(x1, y1, x2, y2, colour, 0, 0, 9);
    }
};

constexpr float kNan = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

TEST_F(DrawTest, PsetMasksTheColourToThePageDepth) {
    gfx_pset(10, 10, 17, 2);
    EXPECT_EQ(px(10, 10), 1);
    EXPECT_EQ(wp()->draw_colour, 17u);
    EXPECT_EQ(wp()->last_x, 10.0f);
}

TEST_F(DrawTest, PsetRoundsTiesToEven) {
    gfx_pset(639.5f, 0, 1, 2);
    EXPECT_EQ(count_not(0), 0);
    gfx_pset(638.5f, 0, 1, 2);
    EXPECT_EQ(px(638, 0), 1);
    EXPECT_EQ(count_not(0), 1);
    gfx_pset(2.5f, 3.5f, 2, 2);
    EXPECT_EQ(px(2, 4), 2);
}

TEST_F(DrawTest, PsetRelativeAndDefaultColours) {
    wp()->last_x = 100;
    wp()->last_y = 100;
    gfx_pset(5, -5, 0, 1);
    EXPECT_EQ(px(105, 95), 15);
    txt_color(0, 7, 0, 2);
    gfx_preset(1, 1, 0, 0);
    EXPECT_EQ(px(1, 1), 7);
}

TEST_F(DrawTest, TextPageRefusesDrawingAndKeepsTheLastPoint) {
    gfx_screen(0, 0, 0, 0, 0, 1);
    float lx = wp()->last_x;
    gfx_pset(1, 1, 1, 2);
    EXPECT_EQ(error(), 5u);
    clear_error();
    gfx_line(1, 1, 5, 5, 1, 0, 0, 9);
    EXPECT_EQ(error(), 5u);
    clear_error();
    gfx_circle(1, 1, 5, 1, 0, 0, 0, 2);
    EXPECT_EQ(error(), 5u);
    EXPECT_EQ(wp()->last_x, lx);
}

TEST_F(DrawTest, ShallowLineBothWays) {
    line(0, 0, 3, 1);
    EXPECT_EQ(set_pixels(), (Pixels{{0, 0}, {1, 0}, {2, 1}, {3, 1}}));
    txt_cls(0, 0, 0);
    line(3, 1, 0, 0);
    EXPECT_EQ(set_pixels(), (Pixels{{0, 0}, {1, 0}, {2, 1}, {3, 1}}));
    // The pattern starts at the first point.
    txt_cls(0, 0, 0);
    gfx_line(0, 0, 3, 1, 1, 0, 0x8000, 25);
    EXPECT_EQ(set_pixels(), (Pixels{{0, 0}}));
    txt_cls(0, 0, 0);
    gfx_line(3, 1, 0, 0, 1, 0, 0x8000, 25);
    EXPECT_EQ(set_pixels(), (Pixels{{3, 1}}));
}

TEST_F(DrawTest, SteepLineRoundsHalfAwayFromZero) {
    // x = 0.5, 1.5 on the way are rounded up.
    line(0, 0, 2, 4);
    EXPECT_EQ(set_pixels(), (Pixels{{0, 0}, {1, 1}, {1, 2}, {2, 3}, {2, 4}}));
}

TEST_F(DrawTest, LineEndsAndLastPoint) {
    line(10, 10, 20, 20, 3);
    EXPECT_EQ(wp()->last_x, 20.0f);
    EXPECT_EQ(wp()->draw_colour, 3u);
    // Only the second point given, relative: from the last point to last point + (5, 0).
    gfx_line(0, 0, 5, 0, 4, 0, 0, 2 | 8);
    for (int x = 20; x <= 25; x++) EXPECT_EQ(px(x, 20), 4) << x;
    EXPECT_EQ(wp()->last_x, 25.0f);
    EXPECT_EQ(wp()->last_y, 20.0f);
    // Unknown kind: nothing drawn, last point still moves.
    int64_t before = count_not(0);
    gfx_line(0, 0, 50, 50, 5, 7, 0, 9);
    EXPECT_EQ(count_not(0), before);
    EXPECT_EQ(wp()->last_x, 50.0f);
}

TEST_F(DrawTest, ClippedStyledLineKeepsThePatternPhase) {
    ClipResult c = gfx_clip_line(-10, 5, 10, 5, 0, 0, 639, 479);
    EXPECT_TRUE(c.visible);
    EXPECT_EQ(c.x1, 0);
    EXPECT_EQ(c.y1, 5);
    EXPECT_EQ(c.x2, 10);
    EXPECT_EQ(c.style_skip, 10);
    gfx_line(-10, 5, 10, 5, 1, 0, 0xFF00, 25);
    EXPECT_EQ(set_pixels(), (Pixels{{6, 5}, {7, 5}, {8, 5}, {9, 5}, {10, 5}}));
}

TEST_F(DrawTest, ClipOfTheEndAndOfDiagonals) {
    ClipResult c = gfx_clip_line(630, 470, 650, 490, 0, 0, 639, 479);
    EXPECT_TRUE(c.visible);
    EXPECT_EQ(c.x2, 639);
    EXPECT_EQ(c.y2, 479);
    EXPECT_EQ(c.style_skip, 0);
    c = gfx_clip_line(-5, -5, 5, 5, 0, 0, 639, 479);
    EXPECT_TRUE(c.visible);
    EXPECT_EQ(c.x1, 0);
    EXPECT_EQ(c.y1, 0);
    EXPECT_EQ(c.style_skip, 5);
    // Passes beside the corner: no edge fits.
    c = gfx_clip_line(-10, 5, 5, -10, 0, 0, 639, 479);
    EXPECT_FALSE(c.visible);
}

TEST_F(DrawTest, LinesBeyondOneEdgeDrawNothing) {
    line(-5, -5, -1, -10);
    line(700, 10, 800, 300);
    line(10, 480, 600, 900);
    line(-100, 5, -100, 400);
    EXPECT_EQ(count_not(0), 0);
}

TEST_F(DrawTest, ZeroLengthLine) {
    line(7, 8, 7, 8);
    EXPECT_EQ(set_pixels(), (Pixels{{7, 8}}));
    line(-7, 8, -7, 8);
    line(700, 8, 700, 8);
    EXPECT_EQ(count_not(0), 1);
}

TEST_F(DrawTest, BoxOutlineAndFilledBox) {
    gfx_line(0, 0, 2, 2, 1, 1, 0, 9);
    EXPECT_EQ(set_pixels(), (Pixels{{0, 0}, {1, 0}, {2, 0}, {2, 1}, {2, 2}, {1, 2}, {0, 2}, {0, 1}}));
    txt_cls(0, 0, 0);
    gfx_line(5, 4, 2, 3, 2, 2, 0, 9);
    EXPECT_EQ(count(2), 8);
    EXPECT_EQ(px(2, 3), 2);
    EXPECT_EQ(px(5, 4), 2);
    txt_cls(0, 0, 0);
    gfx_line(-100, 470, 10000, 10000, 3, 2, 0, 9);
    EXPECT_EQ(count(3), 640 * 10);
    txt_cls(0, 0, 0);
    gfx_line(-100, -100, -1, 479, 3, 2, 0, 9);
    EXPECT_EQ(count(3), 0);
}

TEST_F(DrawTest, ViewOffsetAndClip) {
    ImageSurface* w = wp();
    w->coord_mode = 1;
    w->view_x1 = 100;
    w->view_y1 = 100;
    w->view_x2 = 199;
    w->view_y2 = 149;
    w->view_origin_x = 100;
    w->view_origin_y = 100;
    gfx_pset(0, 0, 1, 2);
    EXPECT_EQ(px(100, 100), 1);
    gfx_pset(-1, 0, 1, 2);
    EXPECT_EQ(count(1), 1);
    line(-50, 10, 500, 10, 2);
    EXPECT_EQ(count(2), 100);
    EXPECT_EQ(px(100, 110), 2);
    EXPECT_EQ(px(199, 110), 2);
    txt_cls(0, 0, 0);  // clears only the view
    EXPECT_EQ(count(0), 307200);
    std::memset(w->pixels, 9, 307200);
    txt_cls(0, 0, 0);
    EXPECT_EQ(count(0), 100 * 50);
    EXPECT_EQ(w->last_x, 50.0f);
    EXPECT_EQ(w->last_y, 25.0f);
}

TEST_F(DrawTest, CoordinateWindowScalesBeforeRounding) {
    ImageSurface* w = wp();
    w->coord_mode = 2;
    w->scale_x = 2;
    w->scale_y = -2;
    w->scale_origin_x = 10;
    w->scale_origin_y = 400;
    gfx_pset(1.25f, 1.25f, 5, 2);  // 12.5 -> 12, 397.5 -> 398
    EXPECT_EQ(px(12, 398), 5);
}

TEST_F(DrawTest, NonFiniteCoordinatesDrawNothing) {
    gfx_pset(kNan, 5, 1, 2);
    gfx_pset(5, kInf, 1, 2);
    gfx_pset(-kInf, -kInf, 1, 2);
    line(kNan, 0, 10, 10);
    line(0, 0, kInf, 10);
    line(-kInf, 5, kInf, 5);
    gfx_line(kNan, kNan, kInf, 3, 1, 1, 0, 9);
    gfx_line(kNan, kNan, kInf, 3, 1, 2, 0, 9);
    gfx_circle(std::nan(""), 5, 10, 1, 0, 0, 0, 2);
    gfx_circle(5, 5, std::numeric_limits<double>::infinity(), 1, 0, 0, 0, 2);
    gfx_circle(5, 5, 1e300, 1, 0, 0, 0, 2);
    gfx_circle(5, 5, 10, 1, std::nan(""), 0, 0, 6);
    EXPECT_EQ(error(), 5u);
    clear_error();
    gfx_pset(1e30f, -1e30f, 1, 2);
    EXPECT_EQ(count_not(0), 0);
}

TEST_F(DrawTest, HugeFiniteLinesAreClippedSafely) {
    line(-1e30f, 5, 1e30f, 5);
    EXPECT_EQ(count(1), 640);
    for (int x = 0; x < 640; x++) ASSERT_EQ(px(x, 5), 1);
    txt_cls(0, 0, 0);
    line(-1e9f, -1e9f, 1e9f, 1e9f, 2);
    Pixels p = set_pixels();
    EXPECT_EQ(p.size(), 480u);
    for (auto [x, y] : p) EXPECT_EQ(x, y);
}

TEST_F(DrawTest, RandomLinesStayOnThePage) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> coord(-3000, 3000);
    for (int i = 0; i < 3000; i++) {
        float x1 = coord(rng), y1 = coord(rng), x2 = coord(rng), y2 = coord(rng);
        if (i % 3 == 0) x2 = x1;
        if (i % 5 == 0) y2 = y1 + 0.5f;
        gfx_line(x1, y1, x2, y2, 1 + i % 15, i % 3, static_cast<uint32_t>(rng()), 25);
    }
    // Every clipped visible line draws within the view; the buffer bounds are checked by ASan.
    ClipResult c = gfx_clip_line(-3000, -2000, 3000, 2500, 0, 0, 639, 479);
    ASSERT_TRUE(c.visible);
    EXPECT_TRUE(c.x1 >= 0 && c.x1 <= 639 && c.y1 >= 0 && c.y1 <= 479);
    EXPECT_TRUE(c.x2 >= 0 && c.x2 <= 639 && c.y2 >= 0 && c.y2 <= 479);
}

// The plain line against gfx_line(..., 9), page by page: ends inside, across and past the
// border, ties at .5, non-finite and huge ends, a smaller view and a view origin.
TEST_F(DrawTest, PlainLineDrawsAsTheGeneralLine) {
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> near_page(-40, 680), far(-5e9f, 5e9f);
    const float odd[] = {kNan, kInf, -kInf, 639.5f, 479.5f, -0.5f, 0.49999997f, 1e30f};
    for (int round = 0; round < 4; ++round) {
        if (round >= 2) wp()->view_x1 = 100, wp()->view_y1 = 50, wp()->view_x2 = 500, wp()->view_y2 = 400;
        if (round == 3) wp()->coord_mode = 1, wp()->view_origin_x = 100, wp()->view_origin_y = 50;
        for (int i = 0; i < 400; i++) {
            float c[4];
            for (float& v : c) v = i % 17 == 0 ? far(rng) : near_page(rng);
            if (i % 5 == 0) c[rng() % 4] = std::round(c[rng() % 4]) + 0.5f;
            if (i % 23 == 0) c[rng() % 4] = odd[rng() % 8];
            const uint32_t colour = static_cast<uint32_t>(rng());
            std::vector<uint8_t> page[2];
            float last[2][2];
            for (int run = 0; run < 2; ++run) {
                std::memset(wp()->pixels, 0, static_cast<size_t>(wp()->width) * wp()->height);
                if (run == 0)
                    gfx_line_plain(c[0], c[1], c[2], c[3], colour);
                else
                    gfx_line(c[0], c[1], c[2], c[3], colour, 0, 0, 9);
                page[run].assign(wp()->pixels, wp()->pixels + wp()->width * wp()->height);
                last[run][0] = wp()->last_x;
                last[run][1] = wp()->last_y;
                ASSERT_EQ(wp()->draw_colour, colour);
            }
            ASSERT_EQ(page[0], page[1]) << round << ": " << c[0] << " " << c[1] << " " << c[2] << " " << c[3];
            ASSERT_EQ(std::memcmp(last[0], last[1], sizeof last[0]), 0);
        }
    }
}

TEST_F(DrawTest, ThirtyTwoBitPagesBlend) {
    int32_t h = gfx_image_new_owned(4, 1, 32);
    ImageSurface* img = gfx_image(h);
    gfx_images.write_page = img;
    gfx_images.write_handle = h;
    auto pixel = [&](int x) {
        uint32_t v;
        std::memcpy(&v, img->pixels + 4 * x, 4);
        return v;
    };
    gfx_put_pixel(0, 0, 0xFF102030u);
    EXPECT_EQ(pixel(0), 0xFF102030u);
    gfx_put_pixel(0, 0, 0x00FFFFFFu);
    EXPECT_EQ(pixel(0), 0xFF102030u);
    gfx_put_pixel(0, 0, 0x80305070u);
    EXPECT_EQ(pixel(0), 0xBF203850u);
    gfx_put_pixel(1, 0, 0xFF000000u);
    gfx_put_pixel(1, 0, 0x40FFFFFFu);
    EXPECT_EQ(pixel(1), 0xFF404040u);
    img->blending_off = 1;
    gfx_put_pixel(2, 0, 0x12345678u);
    EXPECT_EQ(pixel(2), 0x12345678u);
    gfx_box_fill(0, 0, 3, 0, 0xFF0000FFu);
    for (int x = 0; x < 4; x++) EXPECT_EQ(pixel(x), 0xFF0000FFu);
}

// An end far beyond the page keeps the line's direction: slope 1/2 stays 1/2.
TEST_F(DrawTest, FarEndPointKeepsTheSlope) {
    gfx_line(0, 0, 1e9f, 5e8f, 3, 0, 0, 9);
    EXPECT_EQ(px(100, 50), 3);
    EXPECT_EQ(px(100, 100), 0);
    EXPECT_EQ(px(639, 319) | px(639, 320), 3);
}

}  // namespace
