// Clicks and drags: editor cells, panel parameters, the menu and the view rotation.
#include <cmath>

#include "fixture.h"
#include "runtime/input/input.h"

namespace {

using Mouse = AppRun;

// Pixel centre of a 0-based text cell.
int px(int column) { return column * 8 + 4; }
int py(int row) { return row * 16 + 8; }

TEST_F(Mouse, LeftClickOnACountLowersItAndTheSameFramesNormalisationRescales) {
    // Species 0's count: cell column 5, row T = 23. Pointer at column 5 gives mc = 4.
    app_move(px(5), py(23));
    ASSERT_TRUE(app_step(2));
    ASSERT_EQ(sim_hover_cell, kSimRowCount);
    app_press(0, px(5), py(23));
    ASSERT_TRUE(app_step(2));
    // 33 − 1 = 32, then weights 32, 33, 33 over 98: floor(w × 100/98) gives 32, 33, 33.
    EXPECT_EQ(count(0), 32);
    EXPECT_EQ(count(1), 33);
    EXPECT_EQ(count(2), 33);
    EXPECT_EQ(sim_particle_total, 98);
    ASSERT_TRUE(app_step(3));  // holding the button without new events is no further click
    EXPECT_EQ(count(0), 32);
    app_release(0, px(5), py(23));
    ASSERT_TRUE(app_step(2));
    // A right click raises it: 33, 33, 33 again.
    app_click(2, px(5), py(23));
    EXPECT_EQ(count(0), 33);
    // Its help sentence is rebuilt by the click (count and colour of that moment).
    StringValue* h = sim_cell_help.get(kSimRowCount);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(h->data), h->length),
              "kek-szinu babuk darabszama: 33 db");
}

TEST_F(Mouse, ACountRaisedWithFewSpeciesIsSpreadByTheNormalisation) {
    // Lower N to 1 (two clicks on the species cell at column 1): one species takes all 100.
    app_click(0, px(1), py(23));
    EXPECT_EQ(sim_species_number(), 2);
    EXPECT_EQ(cell(kSimRowCount + 2, kSimColShown), 0);
    // 33, 33 over 66: q = 100/66 as a single is 1.5151515007 (just below 50/33), so
    // floor(33 × q) = 49 each.
    EXPECT_EQ(count(0), 49);
    EXPECT_EQ(count(1), 49);
    EXPECT_EQ(sim_table_top, 24);
    // Raising it again brings species 2 back with its kept count cell.
    app_click(2, px(1), py(24));
    EXPECT_EQ(sim_species_number(), 3);
    EXPECT_EQ(cell(kSimRowCount + 2, kSimColShown), 1);
    EXPECT_EQ(sim_table_top, 23);
}

TEST_F(Mouse, ColourCellStopsAtItsLimits) {
    // Species 0's colour cell: row T + 1 = 24, value 1; a left click keeps it at 1.
    app_click(0, px(5), py(24));
    EXPECT_EQ(cell(0), 1);
    app_click(2, px(5), py(24));
    EXPECT_EQ(cell(0), 2);
    EXPECT_EQ(sim_species_colour.get(0), 2);
}

TEST_F(Mouse, RuleCellClickChangesTheRuleTextAndHelp) {
    // Rule of species 1 towards species 2: column 4·2 + 5 = 13, row T + 2 + 1 = 26.
    app_click(0, px(13), py(26));
    EXPECT_EQ(rule(1, 2), -1);
    StringValue* r = sim_rule_strings.get(1);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(r->data), r->length), "-12");
    StringValue* h = sim_cell_help.get(kSimRowRule + 40 + 2);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(h->data), h->length),
              "zold szinu babu kergeti (vonzza) turkisz szinu babut ");
    app_click(0, px(13), py(26));
    EXPECT_EQ(rule(1, 2), -1);  // the lower limit
    app_click(2, px(13), py(26));
    EXPECT_EQ(rule(1, 2), 0);
    h = sim_cell_help.get(kSimRowRule + 40 + 2);
    EXPECT_NE(std::string(reinterpret_cast<char*>(h->data), h->length).find("kozombos (semleges)"),
              std::string::npos);
}

TEST_F(Mouse, ShapeStepsRoundFromZeroToTwoAndBack) {
    app_click(0, 50, py(5));
    EXPECT_EQ(sim_particle_shape, 2);
    app_click(2, 50, py(5));
    EXPECT_EQ(sim_particle_shape, 0);
    app_click(2, 50, py(5));
    EXPECT_EQ(sim_particle_shape, 1);
}

TEST_F(Mouse, CubeClosedLeftGivesZeroWithoutMovingRightGivesOneWithNewPositions) {
    sim_displacement = 0;  // hold the swarm still between the checks (the program is waiting)
    sim_central_pull = 0;
    auto start = positions(40, 0, 239);
    app_click(0, 50, py(2));
    EXPECT_EQ(sim_cube_closed, 0);
    EXPECT_EQ(positions(40, 0, 239), start);
    app_click(2, 50, py(2));
    EXPECT_EQ(sim_cube_closed, 1);
    auto placed = positions(40, 0, 239);
    EXPECT_NE(placed, start);
    app_click(2, 50, py(2));
    EXPECT_EQ(sim_cube_closed, 1);
    EXPECT_NE(positions(40, 0, 239), placed);  // placed again on every right click
}

TEST_F(Mouse, AutoRotationStepsAsAbsoluteValueAndShowsWithThePattern) {
    for (int i = 0; i < 6; ++i) app_click(0, 50, py(6));
    EXPECT_NEAR(sim_auto_rotation, 0, 1e-6);  // 0.3 − 6 × 0.05
    app_click(0, 50, py(6));
    EXPECT_NEAR(sim_auto_rotation, 0.05, 1e-6);  // |0 − 0.05|
    app_move(300, 470);
    ASSERT_TRUE(app_step(3));
    EXPECT_EQ(app_text(app_drawn_page(), 7, 19, 6, 8), "  0.05");
}

TEST_F(Mouse, OtherParametersStepByTheirTable) {
    app_click(2, 50, py(0));
    EXPECT_EQ(sim_central_pull, 55);
    app_click(0, 50, py(1));
    EXPECT_EQ(sim_particle_size, 2);
    app_click(2, 50, py(3));
    EXPECT_EQ(sim_displacement, 51);
    app_click(0, 50, py(4));
    EXPECT_FLOAT_EQ(sim_graphics_scale, 0.75f);
    app_click(0, 50, py(7));
    EXPECT_EQ(sim_max_particles, 90);
    EXPECT_EQ(count(0), 30);  // floor(33 × 90/99)
    app_click(0, 50, py(8));
    EXPECT_EQ(sim_show_mean, 1);
    app_click(2, 50, py(8));
    EXPECT_EQ(sim_show_mean, 0);
    app_click(2, 50, py(9));  // row 9 is no panel row
    EXPECT_EQ(sim_max_particles, 90);
}

TEST_F(Mouse, PanelRowsStepAlsoWhenThePanelIsHidden) {
    app_click(2, 635, py(1));
    EXPECT_EQ(sim_particle_size, 4);
}

TEST_F(Mouse, MenuShowsRightOfColumn48AndAClickIssuesTheLastHighlightedKey) {
    app_move(400, py(2 + 6));  // menu row 6: "q"
    ASSERT_TRUE(app_step(2));
    EXPECT_EQ(sim_menu_visible, 1);
    EXPECT_EQ(sim_menu_hover, 6);
    const ImageSurface* page = app_shown_page();
    EXPECT_EQ(app_text(page, 9, 48, 31, -1), "q-babuk helyzete random kockaba");
    EXPECT_EQ(app_cell_colour(page, 9, 48), 14);
    EXPECT_EQ(app_cell_colour(page, 9, 51), 15);  // the row under the pointer
    EXPECT_EQ(app_cell_colour(page, 10, 51), 8);
    EXPECT_EQ(app_text(page, 4, 48, 33, -1), "r-random erok generalasa" + std::string(9, ' '));
    EXPECT_EQ(app_text(page, 5, 48, 33, -1), "t-random erok gen(vonzas nelkul) ");
    EXPECT_EQ(app_text(page, 3, 48, 9, -1), "\x1b-kilepes");
    // Leave the rows (the menu stays, the highlight is kept), then click.
    app_move(400, 420);
    ASSERT_TRUE(app_step(2));
    EXPECT_EQ(sim_menu_hover, 6);
    auto hidden = positions(40, 0, 239);
    app_press(0, 400, 420);
    ASSERT_TRUE(app_step(2));
    EXPECT_NE(positions(40, 0, 239), hidden);  // "q" placed all forty species
    app_release(0, 400, 420);
    ASSERT_TRUE(app_step(2));
}

TEST_F(Mouse, MenuHiddenAtTheEdgesUnlessShiftIsHeld) {
    app_move(384, 420);
    ASSERT_TRUE(app_step(2));
    EXPECT_EQ(sim_menu_visible, 0);
    app_move(630, 420);
    ASSERT_TRUE(app_step(2));
    EXPECT_EQ(sim_menu_visible, 0);
    input_key_event(INPUT_KEY_LSHIFT, 1);
    ASSERT_TRUE(app_step(1));
    EXPECT_EQ(sim_menu_visible, 1);
    input_key_event(INPUT_KEY_LSHIFT, 0);
    ASSERT_TRUE(app_step(1));
    EXPECT_EQ(sim_menu_visible, 0);
}

TEST_F(Mouse, MenuClickWithNoRowEverHighlightedEnds) {
    app_move(400, 420);
    ASSERT_TRUE(app_step(2));
    ASSERT_EQ(sim_menu_hover, 0);
    app_press(0, 400, 420);
    app_step(3);
    ASSERT_TRUE(app_wait_exit());
    EXPECT_EQ(app_exit_status(), 0);
    EXPECT_EQ(app_file_lines("kavaro.dat").size(), 17018u);
}

TEST_F(Mouse, KeyPressedInAMenuClickFrameIsKeptForTheNextFrame) {
    app_move(400, py(2 + 4));  // "f"
    ASSERT_TRUE(app_step(2));
    app_key('d');
    ASSERT_TRUE(app_step(1));  // "d" ran
    app_press(0, 400, py(2 + 4));
    ASSERT_TRUE(app_step(1));  // the press is taken from the queue while drawing
    app_key('r');
    ASSERT_TRUE(app_step(1));  // this frame's key is the menu's "f"; "r" waits
    EXPECT_EQ(count(0), 33);
    EXPECT_EQ(rule(0, 0), 0);
    app_release(0, 400, py(2 + 4));
    ASSERT_TRUE(app_step(1));  // then the kept "r"
    int nonzero = 0;
    for (int b = 0; b < 40; ++b) nonzero += rule(0, b) != 0;
    EXPECT_GT(nonzero, 0);
}

// Clicks quicker than a frame: each press and its release arrive between two frames. Every
// click counts once, on the panel, in the editor and in the menu, and the release is handled
// in a frame of its own (a drag begun by a quick press ends with it).
TEST_F(Mouse, ClicksWithinOneFrameCountOnceEach) {
    auto quick = [](int button, int x, int y, int clicks) {
        for (int i = 0; i < clicks; ++i) {
            app_press(button, x, y);
            app_release(button, x, y);
        }
        // A frame for each press and each release, and one to spare.
        ASSERT_TRUE(app_step(2 * clicks + 2));
    };
    app_move(50, py(1));
    ASSERT_TRUE(app_step(2));
    quick(0, 50, py(1), 3);
    EXPECT_EQ(sim_particle_size, 0) << "3 - 3 steps";
    quick(2, 50, py(1), 1);
    EXPECT_EQ(sim_particle_size, 1);
    // The rule of species 1 towards species 2 (column 13, row 26), one step down.
    app_move(px(13), py(26));
    ASSERT_TRUE(app_step(2));
    quick(0, px(13), py(26), 1);
    EXPECT_EQ(rule(1, 2), -1);
    quick(2, px(13), py(26), 2);
    EXPECT_EQ(rule(1, 2), 1);
    // Menu row 1: "r".
    app_move(400, py(2 + 1));
    ASSERT_TRUE(app_step(2));
    ASSERT_EQ(sim_menu_hover, 1);
    const auto before = cells();
    quick(0, 400, py(2 + 1), 1);
    EXPECT_GT(changed_rows(before, cells()).size(), 100u) << "r gave random rules";
    // A quick press in the circle begins a drag; its release ends it in the next frame.
    app_move(320, 220);
    ASSERT_TRUE(app_step(2));
    app_press(0, 320, 220);
    app_release(0, 320, 220);
    ASSERT_TRUE(app_step(2));
    EXPECT_EQ(sim_dragging, 1);
    ASSERT_TRUE(app_step(1));
    EXPECT_EQ(sim_dragging, 0);
    EXPECT_EQ(sim_rotating, 0);
}

TEST_F(Mouse, AutoRotationStopsDuringADragAndResumesAfterIt) {
    const float step = sim_auto_rotation;
    app_move(320, 220);
    ASSERT_TRUE(app_step(2));
    float a0 = sim_angle_a;
    ASSERT_TRUE(app_step(1));
    EXPECT_EQ(sim_angle_a, a0 + step);  // turning by itself
    app_press(0, 320, 220);
    ASSERT_TRUE(app_step(2));
    EXPECT_EQ(sim_dragging, 1);
    EXPECT_EQ(sim_rotating, 1);
    const float ga = sim_angle_a, gc = sim_angle_c;
    ASSERT_TRUE(app_step(3));
    EXPECT_EQ(sim_angle_a, ga);  // held still
    EXPECT_EQ(sim_angle_c, gc);
    // Dragging 30 pixels right and 10 up turns by one degree per pixel, even outside the circle.
    app_move(350, 210);
    ASSERT_TRUE(app_step(2));
    EXPECT_EQ(sim_angle_c, gc - 30);
    EXPECT_EQ(sim_angle_a, ga + 10);
    app_move(400, 220);
    ASSERT_TRUE(app_step(2));
    EXPECT_EQ(sim_angle_c, gc - 80);
    EXPECT_EQ(sim_menu_visible, 0);  // no menu during a drag
    app_release(0, 400, 220);
    ASSERT_TRUE(app_step(2));
    EXPECT_EQ(sim_rotating, 0);
    const float c1 = sim_angle_c;
    ASSERT_TRUE(app_step(1));
    EXPECT_EQ(sim_angle_c, c1 + step);  // resumed from the dragged angle
}

}  // namespace
