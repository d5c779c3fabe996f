// First start, the panel, the header and the editor as drawn.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "app/sim_cells.h"
#include "app/sim_main.h"
#include "app/sim_state.h"
#include "app_support.h"
#include "runtime/gfx/image.h"
#include "runtime/text/random_timer.h"

namespace {

class AppStart : public ::testing::Test {
protected:
    void SetUp() override {
        app_prepare();
        app_start();
    }
    void TearDown() override {
        app_finish();
        EXPECT_TRUE(app_dialogs.empty()) << app_dialogs.front().caption << ": "
                                         << app_dialogs.front().text;
    }
    float count(int i) { return sim_cells.get(kSimRowCount + i, kSimColValue); }
};

TEST_F(AppStart, FirstStartWritesTheFactoryFileAndComesUpWithThreeSpeciesOf33) {
    ASSERT_EQ(app_frames(), 1);
    ASSERT_TRUE(app_file_exists("kavaro.dat"));
    auto lines = app_file_lines("kavaro.dat");
    ASSERT_EQ(lines.size(), 17018u);
    // Colour cell of species 0 as laid out by the reset (N = 0 then), and the species cell.
    EXPECT_EQ(lines[0], " 5 ");
    EXPECT_EQ(lines[1], " 27 ");
    EXPECT_EQ(lines[2], " 1 ");
    EXPECT_EQ(lines[17000], " 1 ");
    EXPECT_EQ(lines[17002], " 3 ");
    EXPECT_EQ(lines[17013], " 50 ");  // displacement: the factory value, not the start value 2
    EXPECT_EQ(sim_species_number(), 3);
    EXPECT_EQ(count(0), 33);
    EXPECT_EQ(count(1), 33);
    EXPECT_EQ(count(2), 33);
    EXPECT_EQ(sim_particle_total, 99);
    EXPECT_EQ(sim_displacement, 50);
    EXPECT_EQ(sim_graphics_scale, 0.8f);
    EXPECT_TRUE(app_temp_files().empty());
}

TEST_F(AppStart, PagesAlternateEveryFrame) {
    const ImageSurface* a = app_drawn_page();
    ASSERT_TRUE(app_step());
    const ImageSurface* b = app_drawn_page();
    EXPECT_NE(a, b);
    EXPECT_EQ(app_shown_page(), a);
    ASSERT_TRUE(app_step());
    EXPECT_EQ(app_drawn_page(), a);
    EXPECT_EQ(app_shown_page(), b);
    EXPECT_EQ(a->width, 640);
    EXPECT_EQ(a->height, 480);
}

TEST_F(AppStart, PanelRowsShowTheirLabelsAndValues) {
    app_move(300, 470);  // off the panel rows, the circle, the editor and the menu
    ASSERT_TRUE(app_step(3));
    const ImageSurface* page = app_drawn_page();
    const char* rows[9] = {
        "kozepponti vonzas: 50 ", "babu merete      : 3 ",  "kockaba zarva    : 0 ",
        "elmozditas nagys : 50 ", "grafika nagysag  : .8 ", "babu alakja      : 0 ",
        "auto forg nagysag:  0.30", "max babuk szama  : 100 ", "babuk atlagpont m: 0 ",
    };
    for (int k = 0; k < 9; ++k) {
        std::string want = rows[k];
        EXPECT_EQ(app_text(page, k + 1, 1, static_cast<int>(want.size()), 8), want) << "row " << k;
        EXPECT_EQ(app_cell_colour(page, k + 1, 1), 8);
    }
    EXPECT_EQ(app_text(page, 7, 19, 6, 8), "  0.30");
}

TEST_F(AppStart, PanelRowUnderThePointerIsWhite) {
    app_move(60, 3 * 16 + 5);  // text row 4: "elmozditas nagys"
    ASSERT_TRUE(app_step(3));
    const ImageSurface* page = app_drawn_page();
    EXPECT_EQ(app_cell_colour(page, 4, 1), 15);
    EXPECT_EQ(app_text(page, 4, 1, 18, 15), "elmozditas nagys :");
    EXPECT_EQ(app_cell_colour(page, 3, 1), 8);
    EXPECT_EQ(app_cell_colour(page, 5, 1), 8);
}

TEST_F(AppStart, TotalIsPrintedAtRow28Column64) {
    app_move(300, 470);
    ASSERT_TRUE(app_step(2));
    const ImageSurface* page = app_drawn_page();
    EXPECT_EQ(app_text(page, 28, 64, 16, 8), "osszes babu: 99 ");
    EXPECT_EQ(app_text(page, 28, 63, 1), " ");
}

TEST_F(AppStart, PointerRightOf630HidesPanelTotalAndEditor) {
    app_move(635, 470);
    ASSERT_TRUE(app_step(3));
    EXPECT_EQ(sim_panel_visible, 0);
    const ImageSurface* drawn = app_drawn_page();
    EXPECT_EQ(app_text(drawn, 28, 64, 12, 8), std::string(12, ' '));
    EXPECT_EQ(app_text(drawn, 1, 1, 10, 8), std::string(10, ' '));
    // Editor: the species-number cell would be at row 24, column 2.
    EXPECT_EQ(app_text(app_shown_page(), 24, 1, 4), "    ");
}

TEST_F(AppStart, EditorCellsSitAtTheirRowsAndColumnsInTheirColours) {
    app_move(300, 470);
    ASSERT_TRUE(app_step(3));
    const ImageSurface* page = app_shown_page();  // this frame's editor on the last scene
    // N = 3, so T = 23: the species number at row 24, column 2.
    EXPECT_EQ(app_text(page, 24, 2, 2), " 3");
    EXPECT_EQ(app_cell_colour(page, 24, 3), 7);
    for (int i = 0; i < 3; ++i) {
        const int col = 4 * i + 6;
        EXPECT_EQ(app_text(page, 24, col, 3), " 33") << i;
        EXPECT_EQ(app_cell_colour(page, 24, col + 1), i + 1) << "count colour " << i;
        EXPECT_EQ(app_text(page, 25, col, 2), "\xdb\xdb") << i;
        EXPECT_EQ(app_cell_colour(page, 25, col), i + 1) << "swatch " << i;
        // Rule row a: its swatch three columns left of the first cell, then the cells.
        EXPECT_EQ(app_text(page, 26 + i, 3, 2), "\xdb\xdb");
        EXPECT_EQ(app_cell_colour(page, 26 + i, 3), i + 1);
        for (int b = 0; b < 3; ++b) {
            EXPECT_EQ(app_text(page, 26 + i, 4 * b + 6, 2), " 0");
            EXPECT_EQ(app_cell_colour(page, 26 + i, 4 * b + 7), 7);
        }
    }
    // Nothing of a fourth species is shown.
    EXPECT_EQ(sim_cells.get(kSimRowCount + 3, kSimColShown), 0);
    // The help line is empty with no cell under the pointer: row 29 blank.
    EXPECT_EQ(app_text(page, 29, 1, 78), std::string(78, ' '));
    // The frame lines: along y = frame_top from x = 0 and down x = frame_right to y = 448.
    const int top = static_cast<int>(std::nearbyint(sim_frame_top));
    const int right = static_cast<int>(std::nearbyint(sim_frame_right));
    EXPECT_EQ(app_pixel(page, 1, top), 14);
    EXPECT_EQ(app_pixel(page, right, 440), 14);
}

TEST_F(AppStart, HoveredCellIsFramedAndItsHelpShownFromRow29) {
    // Species 1's count cell: column 4·1 + 4 + 1 = 9, row T = 23.
    app_move(9 * 8 + 12, 23 * 16 + 8);
    ASSERT_TRUE(app_step(3));
    EXPECT_EQ(sim_hover_cell, 41);
    const ImageSurface* page = app_shown_page();
    // Help sentences are built with the cells, from the loaded count 5; the normalisation
    // that made it 33 does not rebuild them.
    std::string help = "zold-szinu babuk darabszama: 5 db";
    EXPECT_EQ(app_text(page, 29, 1, 78, 14), help + std::string(78 - help.size(), ' '));
    // Hover frame: x1 = 9·8 + 1, top line at y1 − 2 = 23·16 + 1, colour 15.
    EXPECT_EQ(app_pixel(page, 9 * 8 + 2, 23 * 16 + 1), 15);
    EXPECT_EQ(app_cell_colour(page, 24, 11), 2);  // the count keeps its species colour
}

TEST_F(AppStart, CircleIndicatorShowsOnlyWhileOverTheCircleAndNotDragging) {
    app_move(330, 230);
    ASSERT_TRUE(app_step(2));
    app_move(331, 230);  // a processed event over the circle
    ASSERT_TRUE(app_step(3));
    EXPECT_EQ(sim_in_circle, 1);
    EXPECT_EQ(app_text(app_drawn_page(), 14, 36, 10, 14), "elforgatas");
    app_press(0, 331, 230);
    ASSERT_TRUE(app_step(3));
    EXPECT_EQ(sim_rotating, 1);
    EXPECT_NE(app_text(app_drawn_page(), 14, 36, 10, 14), "elforgatas");
    app_release(0, 331, 230);
    ASSERT_TRUE(app_step(3));
}

std::vector<float> start_positions() {
    std::vector<float> v;
    for (int s = 0; s < 3; ++s)
        for (int p = 0; p < 240; ++p)
            for (int c = 0; c < 3; ++c) v.push_back(sim_particles.get(s, p, c));
    return v;
}

TEST(AppStarts, SameClockFractionGivesTheSameStartPositions) {
    app_prepare();
    app_start();
    auto first = start_positions();
    app_finish();
    app_prepare();
    app_start();
    auto second = start_positions();
    app_finish();
    EXPECT_EQ(first, second);
    EXPECT_NE(first[0], 0);
}

int64_t clock_at_100ms() { return 100; }
int64_t clock_at_730ms() { return 730; }

// --start N: N warm-up draws at every start-up whatever the clock, restarts by "b" included;
// the same N gives the same swarm, another N another. Without it the clock chooses.
TEST(AppStarts, StartNDrawsNWarmUpValuesAtEveryStartWhateverTheClock) {
    struct Run {
        std::vector<float> first, after_b;
        int32_t draws = 0;
    };
    auto run = [](int32_t n, int64_t (*clock)()) {
        Run r;
        app_prepare();
        timer_clock_source = clock;
        sim_start_draws = n;
        app_start();
        r.first = start_positions();
        r.draws = sim_warmup_draws;
        app_key('b');
        EXPECT_TRUE(app_step());
        r.after_b = start_positions();
        EXPECT_EQ(sim_warmup_draws, r.draws);
        app_finish();
        EXPECT_TRUE(app_dialogs.empty());
        return r;
    };
    const Run a = run(37, clock_at_100ms), b = run(37, clock_at_730ms), c = run(38, clock_at_100ms);
    EXPECT_EQ(a.draws, 37);
    EXPECT_EQ(c.draws, 38);
    EXPECT_EQ(a.first, b.first);
    EXPECT_EQ(a.after_b, a.first);
    EXPECT_NE(c.first, a.first);
    const Run d = run(0, clock_at_100ms), e = run(0, clock_at_730ms);
    EXPECT_NE(d.draws, e.draws);
    EXPECT_NE(d.first, e.first);
    for (int32_t n : {d.draws, e.draws}) {
        EXPECT_GE(n, 1);
        EXPECT_LE(n, 100);
    }
}

}  // namespace
