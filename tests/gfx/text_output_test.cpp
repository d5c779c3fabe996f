// Printing, cursor, colours, scrolling and clearing.
#include <cstring>
#include <string>
#include <vector>

#include "gfx_support.h"
#include "runtime/core/error.h"
#include "runtime/gfx/text_output.h"

namespace {

class TextTest : public GfxTest {
protected:
    void SetUp() override {
        GfxTest::SetUp();
        mode12(0);
    }
    static void locate(int32_t row, int32_t column) { txt_locate(row, column, 0, 0, 0, 3); }
    // True when the cell shows `code` in fg on bg, pixel for pixel, as the 8x16 bitmap has it.
    static bool cell_shows(int32_t row, int32_t column, int code, uint8_t fg, uint8_t bg) {
        for (int r = 0; r < 16; r++)
            for (int k = 0; k < 8; k++) {
                bool on = (txt_font_8x16_bits[code * 16 + r] >> (7 - k)) & 1;
                if (px((column - 1) * 8 + k, (row - 1) * 16 + r) != (on ? fg : bg)) return false;
            }
        return true;
    }
    // Paints every pixel row of the page with a value derived from its text row.
    static void stripe_rows() {
        for (int y = 0; y < 480; y++) std::memset(wp()->pixels + y * 640, 1 + (y / 16) % 15, 640);
    }
};

TEST_F(TextTest, FontTablesExpandToOneBytePerPixel) {
    for (int code : {0, 3, 65, 196, 219, 255})
        for (int r = 0; r < 16; r++)
            for (int k = 0; k < 8; k++) {
                uint8_t expect = ((txt_font_8x16_bits[code * 16 + r] >> (7 - k)) & 1) ? 255 : 0;
                ASSERT_EQ(txt_font_8x16[code * 128 + r * 8 + k], expect);
                if (r < 8) {
                    uint8_t e8 = ((txt_font_8x8_bits[code * 8 + r] >> (7 - k)) & 1) ? 255 : 0;
                    ASSERT_EQ(txt_font_8x8[code * 64 + r * 8 + k], e8);
                }
            }
    // A full block is all set, a space all clear.
    for (int r = 0; r < 16; r++) EXPECT_EQ(txt_font_8x16_bits[219 * 16 + r], 0xFF);
    for (int r = 0; r < 16; r++) EXPECT_EQ(txt_font_8x16_bits[32 * 16 + r], 0x00);
}

TEST_F(TextTest, GlyphsAreDrawnAsTheFontHasThem) {
    txt_color(14, 1, 0, 3);
    locate(3, 10);
    print("\x03\xC4\xDB");
    EXPECT_TRUE(cell_shows(3, 10, 3, 14, 1));
    EXPECT_TRUE(cell_shows(3, 11, 196, 14, 1));
    EXPECT_TRUE(cell_shows(3, 12, 219, 14, 1));
    EXPECT_EQ(wp()->cursor_column, 13);
    // Nothing outside the three cells changed.
    EXPECT_EQ(count_not(0), 3 * 128);
}

TEST_F(TextTest, GlyphModesDrawOnlyTheirPart) {
    std::memset(wp()->pixels, 5, 307200);
    txt_color(14, 1, 0, 3);
    wp()->glyph_mode = 1;
    locate(1, 1);
    print("A");
    wp()->glyph_mode = 2;
    print("A");
    for (int r = 0; r < 16; r++)
        for (int k = 0; k < 8; k++) {
            bool on = (txt_font_8x16_bits['A' * 16 + r] >> (7 - k)) & 1;
            ASSERT_EQ(px(k, r), on ? 14 : 5);
            ASSERT_EQ(px(8 + k, r), on ? 5 : 1);
        }
}

TEST_F(TextTest, ColoursAreMaskedToThePageDepth) {
    wp()->foreground = 0x1E;  // as if set on another page kind
    locate(1, 1);
    print("\xDB");
    EXPECT_EQ(px(0, 0), 14);
}

TEST_F(TextTest, PrintAreaIsRows1To29) {
    EXPECT_EQ(wp()->print_top, 1);
    EXPECT_EQ(wp()->print_bottom, 29);
    locate(30, 1);
    EXPECT_EQ(error(), 0u);
    EXPECT_EQ(wp()->cursor_row, 30);
}

TEST_F(TextTest, EightyCharactersLeaveTheWrapPending) {
    locate(1, 1);
    print(std::string(80, 'x'));
    EXPECT_EQ(wp()->cursor_row, 1);
    EXPECT_EQ(wp()->cursor_column, 80);
    EXPECT_EQ(wp()->wrap_pending, 1);
    print("", 1);
    EXPECT_EQ(wp()->cursor_row, 2);
    EXPECT_EQ(wp()->cursor_column, 1);
    EXPECT_EQ(wp()->wrap_pending, 0);
}

TEST_F(TextTest, EightyCharactersWithLineEndBreakOnce) {
    locate(1, 1);
    print(std::string(80, 'x'), 1);
    EXPECT_EQ(wp()->cursor_row, 2);
    EXPECT_EQ(wp()->cursor_column, 1);
}

TEST_F(TextTest, EightyFirstCharacterGoesToTheNextRow) {
    locate(1, 1);
    print(std::string(80, ' ') + "\xDB");
    EXPECT_EQ(wp()->cursor_row, 2);
    EXPECT_EQ(wp()->cursor_column, 2);
    EXPECT_EQ(wp()->wrap_pending, 0);
    EXPECT_TRUE(cell_shows(2, 1, 219, 15, 0));
    EXPECT_EQ(count(15), 128);
}

TEST_F(TextTest, PendingWrapBreaksBeforeMoreText) {
    locate(4, 1);
    print(std::string(80, 'x'));
    print("\xDB");
    EXPECT_TRUE(cell_shows(5, 1, 219, 15, 0));
    EXPECT_EQ(wp()->cursor_row, 5);
    EXPECT_EQ(wp()->cursor_column, 2);
}

TEST_F(TextTest, LineEndOnRow29ScrollsThePrintAreaOnly) {
    stripe_rows();
    std::vector<uint8_t> before(wp()->pixels, wp()->pixels + 307200);
    locate(29, 7);
    print("", 1);
    EXPECT_EQ(wp()->cursor_row, 29);
    EXPECT_EQ(wp()->cursor_column, 1);
    for (int y = 0; y < 28 * 16; y++)
        ASSERT_EQ(px(0, y), before[(y + 16) * 640]) << y;
    for (int y = 28 * 16; y < 29 * 16; y++)
        for (int x = 0; x < 640; x++) ASSERT_EQ(px(x, y), 0);
    EXPECT_EQ(std::memcmp(wp()->pixels + 29 * 16 * 640, before.data() + 29 * 16 * 640, 16 * 640), 0);
}

TEST_F(TextTest, LineEndOnRow30AlsoScrollsAndLandsOnRow29) {
    stripe_rows();
    std::vector<uint8_t> before(wp()->pixels, wp()->pixels + 307200);
    txt_color(0, 3, 0, 2);
    locate(30, 1);
    print("", 1);
    EXPECT_EQ(wp()->cursor_row, 29);
    EXPECT_EQ(px(5, 0), before[16 * 640]);
    EXPECT_EQ(px(5, 28 * 16 + 3), 3);  // freed row in the background colour
    EXPECT_EQ(std::memcmp(wp()->pixels + 29 * 16 * 640, before.data() + 29 * 16 * 640, 16 * 640), 0);
}

TEST_F(TextTest, LineEndAboveTheLastPrintRowDoesNotScroll) {
    stripe_rows();
    locate(28, 1);
    print("", 1);
    EXPECT_EQ(wp()->cursor_row, 29);
    EXPECT_EQ(px(0, 0), 1);
}

TEST_F(TextTest, MakeFitStartsANewLineOnlyWhenNeeded) {
    StringValue* ten = sv_new_text("0123456789");
    locate(2, 71);
    txt_make_fit(ten);
    EXPECT_EQ(wp()->cursor_row, 2);
    EXPECT_EQ(wp()->cursor_column, 71);
    locate(2, 75);
    txt_make_fit(ten);
    EXPECT_EQ(wp()->cursor_row, 3);
    EXPECT_EQ(wp()->cursor_column, 1);
    // At column 1 even an over-long string stays.
    StringValue* long_one = sv_new_text_len(std::string(100, 'a').c_str(), 100);
    txt_make_fit(long_one);
    EXPECT_EQ(wp()->cursor_row, 3);
    sv_free(ten);
    sv_free(long_one);
}

TEST_F(TextTest, TabsStopAtColumnsOfTheForm8kPlus1) {
    const int from[] = {1, 8, 9, 2, 16, 17};
    const int to[] = {9, 9, 17, 9, 17, 25};
    for (int i = 0; i < 6; i++) {
        locate(5, from[i]);
        print("\t");
        EXPECT_EQ(wp()->cursor_column, to[i]) << from[i];
        EXPECT_EQ(wp()->cursor_row, 5);
    }
    // The tab's spaces are drawn in the background colour.
    txt_color(15, 2, 0, 3);
    locate(6, 1);
    print("\t");
    EXPECT_EQ(px(0, 5 * 16), 2);
    EXPECT_EQ(px(63, 5 * 16 + 15), 2);
    EXPECT_EQ(px(64, 5 * 16), 0);
}

TEST_F(TextTest, TabAtTheLineEndLeavesTheWrapPending) {
    locate(5, 78);
    print("\t");
    EXPECT_EQ(wp()->cursor_row, 5);
    EXPECT_EQ(wp()->cursor_column, 80);
    EXPECT_EQ(wp()->wrap_pending, 1);
}

TEST_F(TextTest, LocateChecksRowsColumnsAndCursorValues) {
    locate(30, 1);
    EXPECT_EQ(error(), 0u);
    locate(5, 5);
    locate(31, 1);
    EXPECT_EQ(error(), 5u);
    clear_error();
    locate(1, 81);
    EXPECT_EQ(error(), 5u);
    clear_error();
    locate(0, 1);
    EXPECT_EQ(error(), 5u);
    clear_error();
    txt_locate(0, 0, 2, 0, 0, 4);
    EXPECT_EQ(error(), 5u);
    clear_error();
    txt_locate(0, 0, 0, 32, 0, 8);
    EXPECT_EQ(error(), 5u);
    clear_error();
    EXPECT_EQ(wp()->cursor_row, 5);
    EXPECT_EQ(wp()->cursor_column, 5);
    // Cursor shape goes to every page of the mode.
    txt_locate(0, 0, 1, 2, 3, 28);
    EXPECT_EQ(gfx_image(gfx_images.pages[1])->cursor_start_line, 2);
    EXPECT_EQ(gfx_image(gfx_images.pages[1])->cursor_visible, 1);
}

TEST_F(TextTest, LocateWithoutPositionMarksThePendingWrap) {
    locate(1, 1);
    print(std::string(80, 'x'));
    txt_locate(0, 0, 0, 0, 0, 0);
    EXPECT_EQ(wp()->wrap_pending, 2);
    locate(1, 80);
    EXPECT_EQ(wp()->wrap_pending, 0);
}

TEST_F(TextTest, ColourLimitsOfMode12) {
    txt_color(0, 3, 0, 2);
    txt_color(16, 0, 0, 1);
    EXPECT_EQ(error(), 5u);
    clear_error();
    EXPECT_EQ(wp()->foreground, 15u);
    txt_color(14, 0, 0, 1);
    EXPECT_EQ(wp()->foreground, 14u);
    EXPECT_EQ(wp()->background, 3u);
    txt_color(1, 16, 0, 3);
    EXPECT_EQ(error(), 5u);
    clear_error();
    EXPECT_EQ(wp()->foreground, 14u);  // nothing changed
    txt_color(1, 2, 3, 4);
    EXPECT_EQ(error(), 5u);
    clear_error();
    txt_color(1, 2, 3, 0);
    EXPECT_EQ(wp()->foreground, 14u);
}

TEST_F(TextTest, ColoursOfOtherModes) {
    gfx_screen(13, 0, 0, 0, 0, 1);
    txt_color(200, 100, 0, 3);
    EXPECT_EQ(wp()->foreground, 200u);
    gfx_screen(7, 0, 0, 0, 0, 1);
    txt_color(0, 4, 0, 2);
    EXPECT_EQ(wp()->background, 0u);
    EXPECT_EQ(wp()->palette[0], 0xFFAA0000u);
    gfx_screen(0, 0, 0, 0, 0, 1);
    txt_color(30, 12, 0, 3);
    EXPECT_EQ(wp()->foreground, 30u);
    EXPECT_EQ(wp()->background, 4u);
    txt_color(32, 0, 0, 1);
    EXPECT_EQ(error(), 5u);
}

TEST_F(TextTest, ControlBytesMoveTheCursor) {
    locate(5, 5);
    print("\x1e");
    EXPECT_EQ(wp()->cursor_row, 4);
    print("\x1f\x1f");
    EXPECT_EQ(wp()->cursor_row, 6);
    print("\x1c");
    EXPECT_EQ(wp()->cursor_column, 6);
    print("\x1d\x1d");
    EXPECT_EQ(wp()->cursor_column, 4);
    locate(1, 1);
    print("\x1d\x1e");
    EXPECT_EQ(wp()->cursor_row, 1);
    EXPECT_EQ(wp()->cursor_column, 1);
    locate(3, 1);
    print("\x1d");
    EXPECT_EQ(wp()->cursor_row, 2);
    EXPECT_EQ(wp()->cursor_column, 80);
    print("\x1c");
    EXPECT_EQ(wp()->cursor_row, 3);
    EXPECT_EQ(wp()->cursor_column, 1);
    locate(29, 80);
    print("\x1c\x1f");
    EXPECT_EQ(wp()->cursor_row, 29);
    EXPECT_EQ(wp()->cursor_column, 80);
    print("\x0b");
    EXPECT_EQ(wp()->cursor_row, 1);
    EXPECT_EQ(wp()->cursor_column, 1);
    locate(7, 7);
    print("a\rb\n");
    EXPECT_EQ(wp()->cursor_row, 9);
    EXPECT_EQ(wp()->cursor_column, 1);
    EXPECT_TRUE(cell_shows(7, 7, 'a', 15, 0));
    EXPECT_TRUE(cell_shows(8, 1, 'b', 15, 0));
}

TEST_F(TextTest, ClearingFillsThePageAndHomesTheCursor) {
    std::memset(wp()->pixels, 9, 307200);
    wp()->last_x = 3;
    locate(12, 40);
    txt_cls(0, 0, 0);
    EXPECT_EQ(count(0), 307200);
    EXPECT_EQ(wp()->cursor_row, 1);
    EXPECT_EQ(wp()->cursor_column, 1);
    EXPECT_EQ(wp()->last_x, 320.0f);
    EXPECT_EQ(wp()->last_y, 240.0f);

    txt_cls(0, 6, 2);
    EXPECT_EQ(count(6), 307200);
    txt_cls(2, 4, 3);
    EXPECT_EQ(count(4), 29 * 16 * 640);
    EXPECT_EQ(count(6), 16 * 640);
    txt_cls(3, 0, 1);
    EXPECT_EQ(error(), 5u);
    clear_error();
    txt_cls(0, 16, 2);
    EXPECT_EQ(error(), 5u);
    clear_error();
    EXPECT_EQ(count(4), 29 * 16 * 640);
    // A form feed clears as well.
    print("\x0c");
    EXPECT_EQ(count(0), 307200);
}

TEST_F(TextTest, CommaMovesToTheNextZone) {
    locate(1, 1);
    txt_print_comma();
    EXPECT_EQ(wp()->cursor_column, 15);
    txt_print_comma();
    EXPECT_EQ(wp()->cursor_column, 29);
    locate(1, 30);
    txt_print_comma();
    EXPECT_EQ(wp()->cursor_column, 43);
    locate(1, 58);
    txt_print_comma();
    EXPECT_EQ(wp()->cursor_row, 1);
    EXPECT_EQ(wp()->cursor_column, 80);
    EXPECT_EQ(wp()->wrap_pending, 1);
    txt_print_comma();
    EXPECT_EQ(wp()->cursor_row, 2);
    EXPECT_EQ(wp()->cursor_column, 1);
    EXPECT_EQ(wp()->wrap_pending, 0);
}

TEST_F(TextTest, PrintConsumesItsTemporary) {
    int32_t before = sv_temp_count();
    txt_print(sv_new_text("abc"), 0);
    EXPECT_EQ(sv_temp_count(), before);
    frame_error.error_number = 5;
    txt_print(sv_new_text("abc"), 0);
    EXPECT_EQ(sv_temp_count(), before);
    EXPECT_EQ(wp()->cursor_column, 4);
}

TEST_F(TextTest, TextPagesTakeCellsAndScrollCells) {
    gfx_screen(0, 0, 0, 0, 0, 1);
    txt_color(14, 1, 0, 3);
    txt_locate(24, 1, 0, 0, 0, 3);
    print("AB");
    uint8_t* cells = wp()->pixels;
    EXPECT_EQ(cells[(23 * 80) * 2], 'A');
    EXPECT_EQ(cells[(23 * 80) * 2 + 1], 0x1E);
    EXPECT_EQ(cells[(23 * 80 + 1) * 2], 'B');
    print("", 1);
    EXPECT_EQ(wp()->cursor_row, 24);
    EXPECT_EQ(cells[(22 * 80) * 2], 'A');
    EXPECT_EQ(cells[(23 * 80) * 2], ' ');
    EXPECT_EQ(cells[(23 * 80) * 2 + 1], 0x1E);
    txt_locate(1, 1, 0, 0, 0, 3);
    print(std::string(80, 'z'));
    EXPECT_EQ(wp()->cursor_column, 80);
    EXPECT_EQ(wp()->wrap_pending, 1);
    txt_cls(0, 0, 0);
    EXPECT_EQ(cells[0], ' ');
    EXPECT_EQ(cells[1], 0x1E);
}

TEST_F(TextTest, SmallImagesClipGlyphsAtTheEdge) {
    int32_t h = gfx_image_new_owned(12, 10, 12);
    ImageSurface* img = gfx_image(h);
    gfx_images.write_page = img;
    gfx_images.write_handle = h;
    print("\xDB\xDB\xDB", 1);
    print("\xDB", 1);
    // One 8-pixel column of cells fits; its glyphs are cut at row 10.
    for (int y = 0; y < 10; y++)
        for (int x = 0; x < 12; x++) ASSERT_EQ(img->pixels[y * 12 + x], x < 8 ? 15 : 0);
}

}  // namespace
