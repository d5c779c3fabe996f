#include <cstring>
#include <vector>

#include "display_support.h"
#include "runtime/core/run_state.h"
#include "runtime/display/display.h"
#include "runtime/gfx/image.h"

namespace {

class FrameSlotTest : public DisplayTest {
protected:
    static int32_t count_state(int32_t s) {
        int32_t n = 0;
        for (auto& slot : disp_slots) n += slot.state.load() == s;
        return n;
    }
    static int32_t slot_with(int32_t s) {
        for (int32_t i = 0; i < 3; ++i)
            if (disp_slots[i].state.load() == s) return i;
        return -1;
    }
    static ImageSurface* shown() { return gfx_images.display_page; }
};

TEST(SlotChoice, BuilderTakesTheHighestFreeSlotElseTheOldestReady) {
    int32_t st[3] = {1, 1, 1};
    uint64_t od[3] = {0, 0, 0};
    EXPECT_EQ(disp_pick_build_slot(st, od), 2);
    int32_t st2[3] = {1, 4, 3};
    EXPECT_EQ(disp_pick_build_slot(st2, od), 0);
    int32_t st3[3] = {3, 4, 3};
    uint64_t od3[3] = {9, 5, 7};
    EXPECT_EQ(disp_pick_build_slot(st3, od3), 2);
    int32_t st4[3] = {4, 2, 2};
    EXPECT_EQ(disp_pick_build_slot(st4, od3), -1);
}

TEST(SlotChoice, PresenterTakesTheNewestReadyAboveTheShownOne) {
    int32_t st[3] = {3, 3, 1};
    uint64_t od[3] = {4, 5, 0};
    EXPECT_EQ(disp_pick_present_slot(st, od), 1);
    int32_t st2[3] = {4, 1, 1};
    uint64_t od2[3] = {6, 0, 0};
    EXPECT_EQ(disp_pick_present_slot(st2, od2), 0);  // keep the shown one
    int32_t st3[3] = {4, 3, 2};
    uint64_t od3[3] = {6, 8, 9};
    EXPECT_EQ(disp_pick_present_slot(st3, od3), 1);
    int32_t st4[3] = {1, 2, 1};
    EXPECT_EQ(disp_pick_present_slot(st4, od3), -1);
}

TEST_F(FrameSlotTest, TwoFramesBetweenPresentationsShowTheNewerAndFreeTheOlder) {
    mode12();
    disp_build_frame();
    shown()->pixels[0] = 4;
    disp_build_frame();
    ASSERT_EQ(count_state(SLOT_READY), 2);
    uint64_t newest = disp_book.latest_order.load();

    PresentDecision d = disp_present_choose();
    EXPECT_TRUE(d.draw);
    EXPECT_TRUE(d.upload);
    ASSERT_GE(d.slot, 0);
    EXPECT_EQ(disp_slots[d.slot].state.load(), SLOT_SHOWN);
    EXPECT_EQ(disp_slots[d.slot].order.load(), newest);
    EXPECT_EQ(count_state(SLOT_READY), 0);
    EXPECT_EQ(count_state(SLOT_FREE), 2);
    EXPECT_EQ(disp_slots[d.slot].pixels[0], 0xFFAA0000u);  // index 4 through the palette
}

TEST_F(FrameSlotTest, AnUnchangedPageBuildsNoFrameAndUploadsNoTexture) {
    mode12();
    disp_build_frame();
    PresentDecision first = disp_present_choose();
    ASSERT_TRUE(first.upload);
    uint64_t builds = disp_stats.builds.load(), skipped = disp_stats.skipped.load();
    for (int i = 0; i < 5; ++i) disp_build_frame();
    EXPECT_EQ(disp_stats.builds.load(), builds);
    EXPECT_EQ(disp_stats.skipped.load(), skipped + 5);
    EXPECT_EQ(count_state(SLOT_READY), 0);
    EXPECT_EQ(count_state(SLOT_SHOWN), 1);
    PresentDecision again = disp_present_choose();
    EXPECT_EQ(again.slot, first.slot);
    EXPECT_FALSE(again.upload);
    // Nothing at all changed since: no drawing either.
    EXPECT_FALSE(again.draw);
    EXPECT_FALSE(disp_present_choose().draw);
}

TEST_F(FrameSlotTest, APaletteChangeIsAChange) {
    mode12();
    disp_build_frame();
    disp_present_choose();
    shown()->palette[0] = 0xFF123456;
    disp_build_frame();
    PresentDecision d = disp_present_choose();
    EXPECT_TRUE(d.upload);
    EXPECT_EQ(disp_slots[d.slot].pixels[12345], 0xFF123456u);
}

TEST_F(FrameSlotTest, AForcedBuildRebuildsAnUnchangedPage) {
    mode12();
    disp_build_frame();
    uint64_t builds = disp_stats.builds.load();
    disp_fullscreen_cycle();
    disp_build_frame();
    EXPECT_EQ(disp_stats.builds.load(), builds + 1);
}

TEST_F(FrameSlotTest, FramesFollowTheShownPageOnly) {
    mode12(0);  // draw on 0, show 1
    gfx_images.write_page->pixels[0] = 9;
    disp_build_frame();
    PresentDecision d = disp_present_choose();
    EXPECT_EQ(disp_slots[d.slot].pixels[0], 0xFF000000u);
    EXPECT_EQ(disp_slots[d.slot].width, 640);
    EXPECT_EQ(disp_slots[d.slot].height, 480);
    mode12(1);  // now page 0 is shown
    disp_build_frame();
    d = disp_present_choose();
    EXPECT_EQ(disp_slots[d.slot].pixels[0], 0xFF5555FFu);
}

TEST_F(FrameSlotTest, PauseWordStopsTheBuilder) {
    mode12();
    uint64_t before = disp_stats.builds.load() + disp_stats.skipped.load();
    gfx_pause_word.store(1);
    disp_build_frame();
    EXPECT_EQ(gfx_pause_word.load(), 2);
    EXPECT_EQ(disp_stats.builds.load() + disp_stats.skipped.load(), before);
    EXPECT_EQ(count_state(SLOT_FREE), 3);
    gfx_pause_word.store(0);
    disp_build_frame();
    EXPECT_EQ(count_state(SLOT_READY), 1);
}

TEST_F(FrameSlotTest, OneManualFrameTurnsAutoDisplayOff) {
    mode12();
    frame_run.auto_display.store(-1);
    disp_build_frame();
    EXPECT_EQ(frame_run.auto_display.load(), 0);
    frame_run.auto_display.store(1);
    disp_build_frame();
    EXPECT_EQ(frame_run.auto_display.load(), 1);
}

TEST_F(FrameSlotTest, BuilderReusesTheOldestUnshownFrameWhenNoSlotIsFree) {
    mode12();
    disp_build_frame();
    disp_present_choose();  // one shown
    for (int i = 1; i <= 3; ++i) {
        shown()->pixels[0] = static_cast<uint8_t>(i);
        disp_build_frame();
    }
    EXPECT_EQ(count_state(SLOT_SHOWN), 1);
    EXPECT_EQ(count_state(SLOT_READY), 2);
    PresentDecision d = disp_present_choose();
    EXPECT_EQ(disp_slots[d.slot].pixels[0], 0xFF00AAAAu);  // colour 3: the newest
}

// ---- Text pages ----

uint32_t pixel_at(const FrameSlot& s, int x, int y) { return s.pixels[y * s.width + x]; }

TEST_F(FrameSlotTest, TextPageIsDrawnFromTheFontWithItsColours) {
    ImageSurface* page = shown();
    ASSERT_TRUE(page->is_text);
    page->pixels[0] = 219;  // full block in cell (1, 1)
    page->pixels[1] = 0x1E;  // yellow on blue
    disp_build_frame();
    PresentDecision d = disp_present_choose();
    const FrameSlot& s = disp_slots[d.slot];
    ASSERT_EQ(s.width, 640);
    ASSERT_EQ(s.height, 400);
    EXPECT_EQ(pixel_at(s, 3, 8), 0xFFFFFF55u);
    EXPECT_EQ(pixel_at(s, 8, 8), 0xFF000000u);  // the next cell: a blank on black
}

TEST_F(FrameSlotTest, TextCellsRedrawnOverThePreviousFrameMatchAFullRedraw) {
    ImageSurface* page = shown();
    for (int i = 0; i < 80 * 25; ++i) {
        page->pixels[i * 2] = static_cast<uint8_t>('A' + i % 26);
        page->pixels[i * 2 + 1] = static_cast<uint8_t>(i % 127);
    }
    disp_build_frame();
    disp_present_choose();
    page->pixels[2 * 500] = '#';
    page->pixels[2 * 1999 + 1] = 0x4F;
    disp_build_frame();
    PresentDecision d = disp_present_choose();
    std::vector<uint32_t> partial(disp_slots[d.slot].pixels, disp_slots[d.slot].pixels + 640 * 400);
    disp_book.force_build.store(1);
    disp_build_frame();
    d = disp_present_choose();
    std::vector<uint32_t> full(disp_slots[d.slot].pixels, disp_slots[d.slot].pixels + 640 * 400);
    EXPECT_TRUE(partial == full);
}

TEST_F(FrameSlotTest, BlinkingTextTakesTheBackgroundInTheOnPhase) {
    ImageSurface* page = shown();
    page->pixels[0] = 219;
    page->pixels[1] = 0x80 | 0x2E;  // blinking yellow on green
    frame_run.frame_counter.store(0);
    disp_build_frame();
    PresentDecision d = disp_present_choose();
    EXPECT_EQ(pixel_at(disp_slots[d.slot], 2, 2), 0xFFFFFF55u);
    frame_run.frame_counter.store(8);  // blink phase on
    disp_build_frame();
    d = disp_present_choose();
    EXPECT_EQ(pixel_at(disp_slots[d.slot], 2, 2), 0xFF00AA00u);
}

TEST_F(FrameSlotTest, VisibleTextCursorCoversItsScanLines) {
    ImageSurface* page = shown();
    page->cursor_visible = 1;
    page->cursor_row = 2;
    page->cursor_column = 3;
    page->cursor_start_line = 14;
    page->cursor_end_line = 15;
    frame_run.frame_counter.store(0);
    disp_build_frame();
    PresentDecision d = disp_present_choose();
    const FrameSlot& s = disp_slots[d.slot];
    EXPECT_EQ(pixel_at(s, 16 + 4, 16 + 14), 0xFFAAAAAAu);
    EXPECT_EQ(pixel_at(s, 16 + 4, 16 + 13), 0xFF000000u);
    frame_run.frame_counter.store(8);
    disp_build_frame();
    d = disp_present_choose();
    EXPECT_EQ(pixel_at(disp_slots[d.slot], 16 + 4, 16 + 14), 0xFF000000u);
}

}  // namespace
