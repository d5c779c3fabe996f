// Screen modes, pages, palettes and the image table.
#include <atomic>
#include <cstring>
#include <chrono>
#include <thread>
#include <vector>

#include "gfx_support.h"
#include "runtime/core/error.h"
#include "runtime/core/run_state.h"
#include "runtime/gfx/text_output.h"

namespace {

using ScreenTest = GfxTest;

TEST_F(ScreenTest, StartUpScreenIsEightTextPagesOf80x25) {
    ImageSurface* w = wp();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(gfx_images.initial_screen, 1);
    EXPECT_EQ(w->is_text, 1);
    EXPECT_EQ(w->mode, 0);
    EXPECT_EQ(w->width, 80);
    EXPECT_EQ(w->height, 25);
    EXPECT_EQ(w->bytes_per_pixel, 2);
    EXPECT_EQ(w->colour_mask, 0xFFFFu);
    EXPECT_EQ(w->foreground, 7u);
    EXPECT_EQ(w->print_bottom, 24);
    EXPECT_EQ(w->cursor_start_line, 4);
    EXPECT_EQ(gfx_images.page_count, 8);
    for (int i = 0; i < 80 * 25; i++) {
        ASSERT_EQ(w->pixels[2 * i], 32);
        ASSERT_EQ(w->pixels[2 * i + 1], 7);
    }
    // Pages follow each other in the text buffer, 4096 bytes apart.
    EXPECT_EQ(gfx_image(gfx_images.pages[1])->pixels, w->pixels + 4096);
    EXPECT_EQ(gfx_image(gfx_images.pages[1])->palette, w->palette);
    EXPECT_EQ(gfx_display.page.load(), gfx_images.display_page);
}

TEST_F(ScreenTest, Mode12FromTextScreenMakesTwoZeroedPages) {
    mode12(0);
    ASSERT_EQ(error(), 0u);
    EXPECT_EQ(gfx_images.initial_screen, 0);
    ASSERT_GE(gfx_images.page_count, 2);
    ImageSurface* p0 = gfx_image(gfx_images.pages[0]);
    ImageSurface* p1 = gfx_image(gfx_images.pages[1]);
    ASSERT_TRUE(p0 && p1);
    EXPECT_NE(p0, p1);
    EXPECT_EQ(gfx_images.write_page, p0);
    EXPECT_EQ(gfx_images.read_page, p0);
    EXPECT_EQ(gfx_images.display_page, p1);
    EXPECT_EQ(gfx_display.page.load(), p1);
    EXPECT_EQ(gfx_images.active_page, 0);
    for (ImageSurface* p : {p0, p1}) {
        EXPECT_EQ(p->width, 640);
        EXPECT_EQ(p->height, 480);
        EXPECT_EQ(p->mode, 12);
        EXPECT_EQ(p->bits_per_pixel, 4);
        EXPECT_EQ(p->colour_mask, 15u);
        EXPECT_EQ(p->font, 16);
        EXPECT_EQ(p->print_top, 1);
        EXPECT_EQ(p->print_bottom, 29);
        EXPECT_EQ(p->flags & IMAGE_SCREEN_PAGE, static_cast<uint32_t>(IMAGE_SCREEN_PAGE));
        std::vector<uint8_t> zero(307200, 0);
        EXPECT_EQ(std::memcmp(p->pixels, zero.data(), zero.size()), 0);
    }
    EXPECT_EQ(p0->last_x, 320.0f);
    EXPECT_EQ(p0->last_y, 240.0f);
    EXPECT_EQ(p0->view_x2, 639);
    EXPECT_EQ(p0->view_y2, 479);
    // Only page 0 owns the shared palette.
    EXPECT_EQ(p1->palette, p0->palette);
    EXPECT_TRUE(p0->flags & IMAGE_OWNS_PALETTE);
    EXPECT_FALSE(p1->flags & IMAGE_OWNS_PALETTE);
    for (int i = 0; i < 16; i++) EXPECT_EQ(p0->palette[i], gfx_default_palette_table[i] | 0xFF000000u);
    EXPECT_EQ(p0->palette[16], 0u);
}

TEST_F(ScreenTest, RepeatChangesNothingAlternatingSwapsAndResetsColours) {
    mode12(0);
    ImageSurface* p0 = gfx_image(gfx_images.pages[0]);
    ImageSurface* p1 = gfx_image(gfx_images.pages[1]);
    txt_color(3, 2, 0, 3);
    mode12(0);
    EXPECT_EQ(wp(), p0);
    EXPECT_EQ(p0->foreground, 3u);
    EXPECT_EQ(p0->background, 2u);

    mode12(1);
    EXPECT_EQ(wp(), p1);
    EXPECT_EQ(gfx_images.display_page, p0);
    EXPECT_EQ(gfx_display.page.load(), p0);
    txt_color(4, 5, 0, 3);
    mode12(0);
    EXPECT_EQ(wp(), p0);
    EXPECT_EQ(gfx_images.display_page, p1);
    EXPECT_EQ(p0->foreground, 15u);
    EXPECT_EQ(p0->background, 0u);
    EXPECT_EQ(p0->draw_colour, 15u);
    EXPECT_EQ(p1->foreground, 4u);  // the shown page keeps what it had
}

TEST_F(ScreenTest, FlipCopiesPageStateAndKeepsCursorUnlessBeyondLastRow) {
    mode12(0);
    ImageSurface* p0 = wp();
    p0->last_x = 11;
    p0->last_y = 12;
    mode12(1);
    ImageSurface* p1 = wp();
    EXPECT_EQ(p1->last_x, 11.0f);
    EXPECT_EQ(p1->last_y, 12.0f);

    txt_locate(30, 5, 0, 0, 0, 3);
    mode12(0);
    mode12(1);
    EXPECT_EQ(p1->cursor_row, 30);
    EXPECT_EQ(p1->cursor_column, 5);
    EXPECT_EQ(p1->print_bottom, 29);
    p1->cursor_row = 31;
    mode12(0);
    mode12(1);
    EXPECT_EQ(p1->cursor_row, 1);
}

TEST_F(ScreenTest, PagesShareOnePalette) {
    mode12(0);
    gfx_image(gfx_images.pages[1])->palette[3] = 0xFF123456u;
    EXPECT_EQ(gfx_image(gfx_images.pages[0])->palette[3], 0xFF123456u);
    int32_t h5 = gfx_page(5);
    ASSERT_NE(h5, 0);
    EXPECT_EQ(gfx_image(h5)->palette, gfx_image(gfx_images.pages[0])->palette);
    EXPECT_EQ(gfx_images.page_count, 6);
    EXPECT_EQ(gfx_page(5), h5);
}

TEST_F(ScreenTest, RefusedCallsLeaveTheScreenAsItWas) {
    mode12(0);
    int32_t w = gfx_images.write_handle, d = gfx_images.display_handle;
    int32_t page0 = gfx_images.pages[0];

    gfx_screen(5, 0, 0, 0, 0, 1);
    EXPECT_EQ(error(), 5u);
    clear_error();
    gfx_screen(14, 0, 0, 0, 0, 1);
    EXPECT_EQ(error(), 5u);
    clear_error();
    gfx_screen(12, 0, -1, 0, 0, 13);
    EXPECT_EQ(error(), 5u);
    clear_error();
    // A mode change whose visual page is refused must not release the old pages first.
    gfx_screen(13, 0, 0, -1, 0, 13);
    EXPECT_EQ(error(), 5u);
    clear_error();
    gfx_screen(-77, 0, 0, 0, 0, 1);
    EXPECT_EQ(error(), 258u);
    clear_error();
    gfx_screen(INT32_MIN, 0, 0, 0, 0, 1);
    EXPECT_EQ(error(), 258u);
    clear_error();

    EXPECT_EQ(gfx_images.write_handle, w);
    EXPECT_EQ(gfx_images.display_handle, d);
    EXPECT_EQ(gfx_images.pages[0], page0);
    EXPECT_EQ(wp()->mode, 12);
    ASSERT_NE(gfx_image(page0), nullptr);
}

TEST_F(ScreenTest, PendingErrorStopsEverything) {
    frame_error.error_number = 9;
    mode12(0);
    EXPECT_EQ(wp()->mode, 0);
    EXPECT_EQ(gfx_images.initial_screen, 1);
}

TEST_F(ScreenTest, ModeTable) {
    struct Row {
        int32_t mode, width, height, bits, font;
        uint32_t foreground;
    };
    const Row rows[] = {{1, 320, 200, 2, 8, 3},   {2, 640, 200, 1, 8, 1},   {7, 320, 200, 4, 8, 15},
                        {8, 640, 200, 4, 8, 15},  {9, 640, 350, 4, 14, 15}, {10, 640, 350, 2, 14, 3},
                        {11, 640, 480, 1, 16, 1}, {13, 320, 200, 8, 8, 15}};
    for (const Row& r : rows) {
        gfx_screen(r.mode, 0, 0, 0, 0, 1);
        ASSERT_EQ(error(), 0u) << r.mode;
        ImageSurface* w = wp();
        EXPECT_EQ(w->mode, r.mode);
        EXPECT_EQ(w->width, r.width) << r.mode;
        EXPECT_EQ(w->height, r.height) << r.mode;
        EXPECT_EQ(w->bits_per_pixel, r.bits) << r.mode;
        EXPECT_EQ(w->colour_mask, (1u << r.bits) - 1) << r.mode;
        EXPECT_EQ(w->font, r.font) << r.mode;
        EXPECT_EQ(w->foreground, r.foreground) << r.mode;
        EXPECT_EQ(w->background, 0u) << r.mode;
        EXPECT_EQ(gfx_images.page_count, 1);
    }
    // Mode 13 draws into the fixed 64000-byte buffer.
    EXPECT_FALSE(wp()->flags & IMAGE_OWNS_PIXELS);
}

TEST_F(ScreenTest, FontFollowsThePreviousTextGrid) {
    gfx_screen(12, 0, 0, 0, 0, 1);
    gfx_set_font(8, wp());  // 80 x 60
    gfx_screen(11, 0, 0, 0, 0, 1);
    EXPECT_EQ(wp()->font, 8);
    EXPECT_EQ(wp()->print_bottom, 59);
    gfx_screen(12, 0, 0, 0, 0, 1);
    EXPECT_EQ(wp()->font, 8);
    gfx_set_font(16, wp());
    gfx_screen(11, 0, 0, 0, 0, 1);
    EXPECT_EQ(wp()->font, 16);
}

TEST_F(ScreenTest, PalettesByMode) {
    EXPECT_EQ(gfx_palette_ega[20], 0xFFAA5500u);
    EXPECT_EQ(gfx_palette_ega[63], 0xFFFFFFFFu);
    EXPECT_EQ(gfx_palette_ega[7], 0xFFAAAAAAu);
    EXPECT_EQ(gfx_default_palette_table[32], 0x0000FFu);
    EXPECT_EQ(gfx_default_palette_table[40], 0xFF0000u);
    EXPECT_EQ(gfx_default_palette_table[104], 0x000071u);
    EXPECT_EQ(gfx_default_palette_table[176], 0x000041u);
    EXPECT_EQ(gfx_palette_256[40], 0xFFFF0000u);

    gfx_screen(9, 0, 0, 0, 0, 1);
    EXPECT_EQ(wp()->palette[5], gfx_palette_ega[5]);
    EXPECT_EQ(wp()->palette[6], 0xFFAA5500u);
    EXPECT_EQ(wp()->palette[8], gfx_palette_ega[56]);
    EXPECT_EQ(wp()->palette[15], 0xFFFFFFFFu);
    gfx_screen(1, 0, 0, 0, 0, 1);
    EXPECT_EQ(wp()->palette[1], 0xFF00AAAAu);
    EXPECT_EQ(wp()->palette[2], 0xFFAA00AAu);
    EXPECT_EQ(wp()->palette[3], 0xFFAAAAAAu);
    gfx_screen(2, 0, 0, 0, 0, 1);
    EXPECT_EQ(wp()->palette[1], 0x00FFFFFFu);
    gfx_screen(10, 0, 0, 0, 0, 1);
    EXPECT_EQ(wp()->palette[7], 8u);
    gfx_screen(13, 0, 0, 0, 0, 1);
    EXPECT_EQ(wp()->palette[176], 0xFF000041u);
}

TEST_F(ScreenTest, ImagesRefuseBadSizesAndModes) {
    EXPECT_EQ(gfx_image_new_owned(0, 5, 12), 0);
    EXPECT_EQ(gfx_image_new_owned(5, -1, 12), 0);
    EXPECT_EQ(gfx_image_new_owned(5, 5, 5), 0);
    EXPECT_EQ(gfx_image_new_owned(70000, 5, 13), 0);
    int32_t h = gfx_image_new_owned(3, 2, 32);
    ASSERT_GE(h, 2);
    ImageSurface* img = gfx_image(h);
    EXPECT_EQ(img->palette, nullptr);
    EXPECT_EQ(img->bytes_per_pixel, 4);
    EXPECT_EQ(img->colour_mask, 0xFFFFFFFFu);
    EXPECT_EQ(img->foreground, 0xFFFFFFFFu);
    EXPECT_EQ(img->background, 0xFF000000u);
    EXPECT_EQ(img->transparent_index, -1);
    EXPECT_EQ(img->draw_scale, 1.0);
    EXPECT_FALSE(gfx_image_free(0));
    EXPECT_FALSE(gfx_image_free(-3));
    EXPECT_FALSE(gfx_image_free(1 << 30));
}

TEST_F(ScreenTest, TableGrowsAndReusesFreedHandles) {
    mode12(0);
    std::vector<int32_t> handles;
    for (int i = 0; i < 5000; i++) {
        int32_t h = gfx_image_new_owned(2, 2, 13);
        ASSERT_NE(h, 0);
        handles.push_back(h);
    }
    EXPECT_GE(gfx_images.capacity, 8192);
    // The current pages point into the moved table.
    EXPECT_EQ(gfx_images.write_page, &gfx_images.images[gfx_images.write_handle]);
    EXPECT_EQ(gfx_images.display_page, &gfx_images.images[gfx_images.display_handle]);
    EXPECT_EQ(gfx_display.page.load(), gfx_images.display_page);
    EXPECT_EQ(wp()->width, 640);
    gfx_image_release(handles[10]);
    gfx_image_release(handles[20]);
    EXPECT_EQ(gfx_image(handles[10]), nullptr);
    EXPECT_EQ(gfx_image_new_owned(2, 2, 13), handles[20]);
    EXPECT_EQ(gfx_image_new_owned(2, 2, 13), handles[10]);
}

TEST_F(ScreenTest, TextImagesStartWithBlanks) {
    int32_t h = gfx_image_new_owned(3, 2, 0);
    ImageSurface* img = gfx_image(h);
    ASSERT_NE(img, nullptr);
    EXPECT_EQ(img->print_bottom, 1);
    for (int i = 0; i < 6; i++) {
        EXPECT_EQ(img->pixels[2 * i], 32);
        EXPECT_EQ(img->pixels[2 * i + 1], 7);
    }
}

TEST_F(ScreenTest, UserImageAsScreen) {
    int32_t h = gfx_image_new_owned(100, 50, 13);
    gfx_screen(-h, 0, 0, 0, 0, 1);
    ASSERT_EQ(error(), 0u);
    EXPECT_EQ(gfx_images.write_handle, h);
    EXPECT_EQ(gfx_images.pages[0], h);
    // The old mode's pages are gone, the user image is not released by the next mode change.
    mode12(0);
    EXPECT_NE(gfx_image(h), nullptr);
}

TEST_F(ScreenTest, RestartGoesBackTo80x25AndFreesUserImages) {
    mode12(0);
    int32_t built_in = gfx_image_new_owned(16, 16, 32);
    gfx_image(built_in)->flags |= IMAGE_SYSTEM;
    int32_t user = gfx_image_new_owned(10, 10, 12);
    frame_error.error_number = 6;
    gfx_reset_for_restart();
    EXPECT_EQ(error(), 6u);
    clear_error();
    EXPECT_EQ(gfx_image(user), nullptr);
    EXPECT_NE(gfx_image(built_in), nullptr);
    ImageSurface* w = wp();
    EXPECT_EQ(w->is_text, 1);
    EXPECT_EQ(w->width, 80);
    EXPECT_EQ(w->height, 25);
    EXPECT_EQ(w->foreground, 7u);
    EXPECT_EQ(w->background, 0u);
    EXPECT_EQ(gfx_images.display_page, w);
}

TEST_F(ScreenTest, LocatePastTheUntouchedStartUpScreenMakesIt50Rows) {
    txt_locate(40, 1, 0, 0, 0, 3);
    ASSERT_EQ(error(), 0u);
    EXPECT_EQ(wp()->height, 50);
    EXPECT_EQ(wp()->font, 8);
    EXPECT_EQ(wp()->cursor_row, 40);
    // Once touched, the screen no longer grows.
    mode12(0);
    gfx_screen(0, 0, 0, 0, 0, 1);
    EXPECT_EQ(wp()->height, 25);
    txt_locate(40, 1, 0, 0, 0, 3);
    EXPECT_EQ(error(), 5u);
}

TEST_F(ScreenTest, ModeChangePausesTheFrameBuilderFlipsDoNot) {
    std::atomic<bool> stop{false};
    std::atomic<int> acks{0};
    frame_run.housekeeping_running.store(1);
    std::thread builder([&] {
        while (!stop.load()) {
            int32_t one = 1;
            if (gfx_pause_word.compare_exchange_strong(one, 2)) acks++;
            std::this_thread::yield();
        }
    });
    mode12(0);
    EXPECT_EQ(acks.load(), 1);
    EXPECT_EQ(gfx_pause_word.load(), 0);
    for (int i = 0; i < 20; i++) mode12(i & 1);
    EXPECT_EQ(acks.load(), 1);
    gfx_screen(13, 0, 0, 0, 0, 1);
    EXPECT_EQ(acks.load(), 2);
    EXPECT_EQ(gfx_pause_word.load(), 0);
    stop = true;
    builder.join();
    frame_run.housekeeping_running.store(0);
}

// A builder that no longer answers (the shutdown has stopped it) does not hold a mode change:
// the shutdown clears the running flag, and sets exit_now.
TEST_F(ScreenTest, ModeChangeEndsWhenTheShutdownStopsTheBuilder) {
    for (int way = 0; way < 2; ++way) {
        SCOPED_TRACE(way == 0 ? "running flag cleared" : "exit_now set");
        frame_run.housekeeping_running.store(1);
        std::thread shutdown([way] {
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
            if (way == 0)
                frame_run.housekeeping_running.store(0);
            else
                frame_run.exit_now.store(1);
        });
        gfx_screen(way == 0 ? 13 : 12, 0, 0, 0, 0, 1);
        shutdown.join();
        EXPECT_EQ(gfx_pause_word.load(), 0);
        EXPECT_EQ(wp()->mode, way == 0 ? 13 : 12);
        frame_run.housekeeping_running.store(0);
        frame_run.exit_now.store(0);
    }
}

// The builder copies only the shown page; the program draws the hidden one completely before
// showing it. A copy that ever saw two colours would mean the program drew on a page in copy.
TEST_F(ScreenTest, BuilderNeverSeesAPageBeingDrawn) {
    mode12(0);
    std::atomic<bool> stop{false};
    std::atomic<int> copies{0}, torn{0};
    std::thread builder([&] {
        std::vector<uint8_t> copy(307200);
        while (!stop.load()) {
            const ImageSurface* page = gfx_display_acquire();
            if (page && page->width == 640 && page->height == 480) {
                // Copied in slices with pauses, so a missing wait would show up as a torn copy.
                for (size_t at = 0; at < copy.size(); at += 19200) {
                    std::memcpy(copy.data() + at, page->pixels + at, 19200);
                    std::this_thread::yield();
                }
                for (size_t i = 1; i < copy.size(); i++)
                    if (copy[i] != copy[0]) {
                        torn++;
                        break;
                    }
                copies++;
            }
            gfx_display_release();
            std::this_thread::yield();
        }
    });
    for (int frame = 0; frame < 300 || copies.load() < 20; frame++) {
        int32_t p = frame & 1;
        mode12(p);
        std::memset(wp()->pixels, frame & 15, 307200);
        if (frame > 100000) break;
    }
    stop = true;
    builder.join();
    EXPECT_GE(copies.load(), 20);
    EXPECT_EQ(torn.load(), 0);
}

// Printing on the page being shown (the start-up text screen) while the builder copies it: the
// builder never sees a print half done, and it still gets copies between prints.
TEST_F(ScreenTest, PrintingOnTheShownPageNeverOverlapsACopy) {
    ASSERT_EQ(gfx_images.write_page, gfx_images.display_page);
    std::atomic<bool> stop{false};
    std::atomic<int> copies{0}, torn{0};
    std::thread builder([&] {
        std::vector<uint8_t> copy(80 * 25 * 2);
        while (!stop.load()) {
            const ImageSurface* page = gfx_display_acquire();
            if (page && page->is_text) {
                for (size_t at = 0; at < copy.size(); at += 400) {
                    std::memcpy(copy.data() + at, page->pixels + at, 400);
                    std::this_thread::yield();
                }
                // Every print fills the whole first row with one character.
                for (size_t c = 1; c < 80; c++)
                    if (copy[2 * c] != copy[0]) {
                        torn++;
                        break;
                    }
                copies++;
            }
            gfx_display_release();
            std::this_thread::yield();
        }
    });
    for (int i = 0; i < 2000 || copies.load() < 20; i++) {
        txt_locate(1, 1, 0, 0, 0, 3);
        txt_print(sv_string_of(80, 'A' + i % 26), 0);
        std::this_thread::yield();  // the program does other work between prints
        if (i > 2000000) break;
    }
    stop = true;
    builder.join();
    EXPECT_GE(copies.load(), 20);
    EXPECT_EQ(torn.load(), 0);
}

TEST_F(ScreenTest, AHugePageNumberIsRefusedWithoutTouchingThePages) {
    mode12(0);
    ImageSurface* before = wp();
    gfx_screen(12, 0, INT32_MAX, 0, 0, 13);
    EXPECT_EQ(error(), 7u);
    EXPECT_EQ(wp(), before);
}

}  // namespace
