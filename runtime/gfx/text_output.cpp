// Text on the write page: colours, cursor, printing, scrolling and clearing.
#include "runtime/gfx/text_output.h"

#include <cstdio>
#include <cstring>

#include "runtime/core/error.h"
#include "runtime/core/platform.h"
#include "runtime/gfx/draw.h"
#include "runtime/gfx/fonts.h"
#include "runtime/gfx/image.h"
#include "runtime/gfx/pixel.h"

namespace {

int32_t grid_columns(const ImageSurface* w) { return w->is_text ? w->width : w->width / gfx_char_width(w); }
int32_t grid_rows(const ImageSurface* w) { return w->is_text ? w->height : w->height / gfx_char_height(w); }

uint8_t text_attribute(const ImageSurface* w) {
    return static_cast<uint8_t>((w->foreground & 15) + 16 * w->background + 128 * ((w->foreground >> 4) & 1));
}

void fill_cells(ImageSurface* w, size_t first_cell, size_t count) {
    uint8_t attr = text_attribute(w);
    uint8_t* p = w->pixels + first_cell * 2;
    for (size_t i = 0; i < count; i++) {
        p[2 * i] = 32;
        p[2 * i + 1] = attr;
    }
}

// Fills pixel rows [y1, y2) of a graphics page with one colour.
void fill_pixel_rows(ImageSurface* w, int32_t y1, int32_t y2, uint32_t colour) {
    if (y1 < 0) y1 = 0;
    if (y2 > w->height) y2 = w->height;
    if (y1 >= y2) return;
    if (w->bytes_per_pixel == 1) {
        std::memset(w->pixels + static_cast<size_t>(y1) * w->width, static_cast<int>(colour & w->colour_mask),
                    static_cast<size_t>(y2 - y1) * w->width);
        return;
    }
    for (int32_t y = y1; y < y2; y++)
        for (int32_t x = 0; x < w->width; x++) std::memcpy(w->pixels + (static_cast<size_t>(y) * w->width + x) * 4, &colour, 4);
}

void newline(ImageSurface* w) {
    int32_t row = w->cursor_row + 1;
    w->cursor_column = 1;
    if (row <= w->print_bottom) {
        w->cursor_row = static_cast<uint16_t>(row);
        return;
    }
    // Scroll the print area only; rows outside it never move.
    int32_t top = w->print_top < 1 ? 1 : w->print_top;
    int32_t bottom = w->print_bottom;
    int32_t rows = grid_rows(w);
    int32_t last = bottom < rows ? bottom : rows;
    if (top <= last) {
        if (w->is_text) {
            size_t band = static_cast<size_t>(w->width) * 2;
            std::memmove(w->pixels + (top - 1) * band, w->pixels + top * band, (last - top) * band);
            fill_cells(w, static_cast<size_t>(last - 1) * w->width, w->width);
        } else {
            int32_t ch = gfx_char_height(w);
            size_t band = static_cast<size_t>(w->width) * w->bytes_per_pixel * ch;
            std::memmove(w->pixels + (top - 1) * band, w->pixels + top * band, (last - top) * band);
            fill_pixel_rows(w, (last - 1) * ch, last * ch, w->background);
        }
    }
    w->cursor_row = static_cast<uint16_t>(bottom);
}

// Glyph cells that would reach past the page edge (odd-sized images) are cut at the edge.
void draw_glyph_clipped(ImageSurface* w, const uint8_t* g, int32_t glyph_rows, int32_t x0, int32_t y0,
                        int32_t scale) {
    for (int32_t r = 0; r < glyph_rows; r++) {
        int32_t y = y0 + r;
        if (y < 0 || y >= w->height) continue;
        for (int32_t k = 0; k < 8 * scale; k++) {
            int32_t x = x0 + k;
            if (x < 0 || x >= w->width) continue;
            bool on = g[r * 8 + k / scale] != 0;
            if (on && (w->glyph_mode & 1))
                gfx_store(w, x, y, w->foreground);
            else if (!on && (w->glyph_mode & 2))
                gfx_store(w, x, y, w->background);
        }
    }
}

// One printable byte at the cursor, then the cursor moves on or the line wraps.
void put_char(ImageSurface* w, uint8_t code, bool more_follows, int32_t end_line, bool& just_wrapped) {
    txt_draw_glyph(code);
    int32_t column = w->cursor_column + 1;
    bool fits;
    int32_t columns;
    if (w->is_text) {
        fits = column <= w->width;
        columns = w->width;
    } else {
        int32_t cw = gfx_char_width(w);
        fits = cw * (column - 1) <= w->width - cw;
        columns = w->width / cw;
    }
    if (fits) {
        w->cursor_column = static_cast<uint16_t>(column);
    } else if (end_line || more_follows) {
        newline(w);
        just_wrapped = true;
    } else {
        w->cursor_column = static_cast<uint16_t>(columns);
        w->wrap_pending = 1;
    }
}

void cls(ImageSurface* w, int32_t kind, bool kind_given, uint32_t fill) {
    w->cursor_row = w->print_top;
    w->cursor_column = 1;
    w->wrap_pending = 0;
    w->turn_angle = 0;
    w->draw_scale = 1;
    if (kind_given && kind == 2) {
        if (w->is_text) {
            int32_t last = w->print_bottom < w->height ? w->print_bottom : w->height;
            if (w->print_top <= last)
                fill_cells(w, static_cast<size_t>(w->print_top - 1) * w->width,
                           static_cast<size_t>(last - w->print_top + 1) * w->width);
        } else {
            int32_t ch = gfx_char_height(w);
            fill_pixel_rows(w, (w->print_top - 1) * ch, w->print_bottom * ch, fill);
        }
        return;
    }
    if (w->is_text) {
        if (kind_given && kind == 1) return;
        fill_cells(w, 0, static_cast<size_t>(w->width) * w->height);
        return;
    }
    if (w->coord_mode == 0) {
        fill_pixel_rows(w, 0, w->height, fill);
    } else {
        int32_t x1 = w->view_x1 < 0 ? 0 : w->view_x1, y1 = w->view_y1 < 0 ? 0 : w->view_y1;
        int32_t x2 = w->view_x2 >= w->width ? w->width - 1 : w->view_x2;
        int32_t y2 = w->view_y2 >= w->height ? w->height - 1 : w->view_y2;
        for (int32_t y = y1; y <= y2; y++)
            for (int32_t x = x1; x <= x2; x++) gfx_store(w, x, y, fill);
    }
    float cx = static_cast<float>((w->view_x2 - w->view_x1 + 1) / 2);
    float cy = static_cast<float>((w->view_y2 - w->view_y1 + 1) / 2);
    if (w->coord_mode == 2) {
        cx = cx / w->scale_x + w->window_x1;
        cy = cy / w->scale_y + w->window_y1;
    }
    w->last_x = cx;
    w->last_y = cy;
}

void consume(StringValue* s) {
    if (s && s->is_temporary) sv_free(s);
}

}  // namespace

void txt_color(uint32_t foreground, uint32_t background, uint32_t border, int32_t passed) {
    GfxDisplayWrite guard;
    (void)border;
    if (frame_error.error_number) return;
    ImageSurface* w = gfx_images.write_page;
    if (!w || (passed & 7) == 0) return;
    bool fg = passed & 1, bg = passed & 2;
    int32_t mode = w->mode;
    if (mode == 0) {
        if ((fg && foreground > 31) || (bg && background > 15)) {
            frame_raise(5);
            return;
        }
        if (fg) w->foreground = foreground;
        if (bg) w->background = background & 7;
        return;
    }
    if (passed & 4) {
        frame_raise(5);
        return;
    }
    if (mode == 32) {
        if (fg) w->foreground = foreground;
        if (bg) w->background = background;
        return;
    }
    uint32_t fg_limit = w->colour_mask, bg_limit = w->colour_mask;
    if (mode == 7 || mode == 8) bg_limit = 15;
    if (mode == 9) bg_limit = 63;
    if ((fg && foreground > fg_limit) || (bg && background > bg_limit)) {
        frame_raise(5);
        return;
    }
    if (fg) w->foreground = foreground;
    if (bg) {
        // These modes show the background through palette entry 0.
        if ((mode == 7 || mode == 8) && w->palette)
            w->palette[0] = gfx_palette_256[background];
        else if (mode == 9 && w->palette)
            w->palette[0] = gfx_palette_ega[background];
        else
            w->background = background;
    }
}

void txt_locate(int32_t row, int32_t column, int32_t cursor, int32_t start_line, int32_t end_line,
                int32_t passed) {
    GfxDisplayWrite guard;
    if (frame_error.error_number) return;
    ImageSurface* w = gfx_images.write_page;
    if (!w) return;
    int32_t rows = grid_rows(w), columns = grid_columns(w);
    if (passed & 1) {
        bool ok = (row >= w->print_top && row <= w->print_bottom) || row == rows;
        if (!ok && gfx_images.initial_screen && row > w->print_bottom && row <= 50) {
            // The untouched start-up screen grows to 50 rows instead of failing.
            gfx_text_grid_request = {1, 80, 50};
            gfx_screen(0, 0, 0, 0, 0, GFX_SCREEN_MODE);
            w = gfx_images.write_page;
            if (frame_error.error_number || !w) return;
            rows = grid_rows(w);
            columns = grid_columns(w);
            ok = (row >= w->print_top && row <= w->print_bottom) || row == rows;
        }
        if (!ok) {
            frame_raise(5);
            return;
        }
    }
    if (((passed & 2) && (column < 1 || column > columns)) ||
        ((passed & 4) && (cursor < 0 || cursor > 1)) ||
        ((passed & 8) && (start_line < 0 || start_line > 31)) ||
        ((passed & 16) && (end_line < 0 || end_line > 31))) {
        frame_raise(5);
        return;
    }
    if (passed & 1) {
        w->cursor_row = static_cast<uint16_t>(row);
        w->wrap_pending = 0;
    }
    if (passed & 2) {
        w->cursor_column = static_cast<uint16_t>(column);
        w->wrap_pending = 0;
    }
    if (!(passed & 3) && w->wrap_pending) w->wrap_pending = 2;
    if (!(passed & 28)) return;
    auto apply = [&](ImageSurface* img) {
        if (passed & 4) img->cursor_visible = static_cast<uint8_t>(cursor);
        if (passed & 8) img->cursor_start_line = static_cast<uint8_t>(start_line);
        if (passed & 16) img->cursor_end_line = static_cast<uint8_t>(end_line);
    };
    apply(w);
    if (w->flags & IMAGE_SCREEN_PAGE)
        for (int32_t p = 0; p < gfx_images.page_count; p++)
            if (ImageSurface* img = gfx_image(gfx_images.pages[p])) apply(img);
}

void txt_draw_glyph(int32_t code) {
    GfxDisplayWrite guard;
    ImageSurface* w = gfx_images.write_page;
    if (!w) return;
    code &= 255;
    if (w->is_text) {
        if (w->cursor_row < 1 || w->cursor_row > w->height || w->cursor_column < 1 ||
            w->cursor_column > w->width)
            return;
        size_t cell = static_cast<size_t>(w->cursor_row - 1) * w->width + (w->cursor_column - 1);
        w->pixels[cell * 2] = static_cast<uint8_t>(code);
        w->pixels[cell * 2 + 1] = text_attribute(w);
        return;
    }
    TxtGlyphFont font = txt_glyph_font(w->font);
    const uint8_t* g = font.rows + static_cast<size_t>(code) * font.glyph_stride;
    int32_t cw = gfx_char_width(w), ch = gfx_char_height(w);
    int32_t glyph_rows = font.height < ch ? font.height : ch;
    int32_t x0 = (w->cursor_column - 1) * cw, y0 = (w->cursor_row - 1) * ch;
    bool inside = x0 >= 0 && y0 >= 0 && x0 + cw <= w->width && y0 + glyph_rows <= w->height;
    if (!inside || w->bytes_per_pixel != 1 || cw != 8) {
        draw_glyph_clipped(w, g, glyph_rows, x0, y0, cw >= 16 ? 2 : 1);
        return;
    }
    // Glyph bytes are 0 or 255, so they serve directly as a select mask.
    const uint8_t fg = static_cast<uint8_t>(w->foreground & w->colour_mask);
    const uint8_t bg = static_cast<uint8_t>(w->background & w->colour_mask);
    const size_t stride = w->width;
    uint8_t* dst = w->pixels + static_cast<size_t>(y0) * stride + x0;
    switch (w->glyph_mode) {
        case 3:
            for (int32_t r = 0; r < glyph_rows; r++, dst += stride, g += 8)
                for (int k = 0; k < 8; k++) dst[k] = static_cast<uint8_t>(bg ^ ((fg ^ bg) & g[k]));
            break;
        case 1:
            for (int32_t r = 0; r < glyph_rows; r++, dst += stride, g += 8)
                for (int k = 0; k < 8; k++) dst[k] = static_cast<uint8_t>((dst[k] & ~g[k]) | (fg & g[k]));
            break;
        case 2:
            for (int32_t r = 0; r < glyph_rows; r++, dst += stride, g += 8)
                for (int k = 0; k < 8; k++) dst[k] = static_cast<uint8_t>((dst[k] & g[k]) | (bg & ~g[k]));
            break;
        default:
            break;
    }
}

void txt_newline() {
    GfxDisplayWrite guard;
    if (frame_error.error_number) return;
    if (ImageSurface* w = gfx_images.write_page) newline(w);
}

void txt_print(StringValue* s, int32_t end_line) {
    GfxDisplayWrite guard;
    ImageSurface* w = gfx_images.write_page;
    if (frame_error.error_number || !w) {
        consume(s);
        return;
    }
    const uint8_t* data = s ? s->data : nullptr;
    int32_t length = s ? s->length : 0;
    if (w->is_console) {
        if (length > 0) std::fwrite(data, 1, static_cast<size_t>(length), stdout);
        if (end_line) std::fputc('\n', stdout);
        consume(s);
        return;
    }
    if (w->wrap_pending) {
        if (length > 0) {
            w->wrap_pending = 0;
            newline(w);
        } else if (end_line) {
            w->wrap_pending = 0;
        }
    }
    bool just_wrapped = false;
    for (int32_t i = 0; i < length; i++) {
        just_wrapped = false;
        uint8_t b = data[i];
        int32_t columns = grid_columns(w);
        switch (b) {
            case 28:
                if (w->cursor_row >= w->print_bottom && w->cursor_column >= columns) break;
                if (w->cursor_column + 1 > columns) {
                    w->cursor_column = 1;
                    w->cursor_row++;
                } else {
                    w->cursor_column++;
                }
                break;
            case 29:
                if (w->cursor_column == 1 && (w->cursor_row == w->print_top || w->cursor_row > w->print_bottom))
                    break;
                if (w->cursor_column == 1) {
                    w->cursor_column = static_cast<uint16_t>(columns);
                    w->cursor_row--;
                } else {
                    w->cursor_column--;
                }
                break;
            case 30:
                if (w->print_top < w->cursor_row && w->cursor_row <= w->print_bottom) w->cursor_row--;
                break;
            case 31:
                if (w->print_top <= w->cursor_row && w->cursor_row < w->print_bottom) w->cursor_row++;
                break;
            case 12:
                cls(w, 0, false, w->background);
                break;
            case 11:
                w->cursor_column = 1;
                w->cursor_row = w->print_top;
                break;
            case 9: {
                // Spaces up to and including the next column that is a multiple of 8.
                int32_t printed_at;
                do {
                    printed_at = w->cursor_column;
                    bool more = i + 1 < length || printed_at % 8 != 0;
                    just_wrapped = false;
                    put_char(w, ' ', more, end_line, just_wrapped);
                } while (printed_at % 8 != 0);
                break;
            }
            case 7:
                frame_sleep_ms(250);
                break;
            case 10:
            case 13:
                newline(w);
                break;
            default:
                put_char(w, b, i + 1 < length, end_line, just_wrapped);
                break;
        }
    }
    if (end_line && !just_wrapped) newline(w);
    consume(s);
}

void txt_make_fit(StringValue* s) {
    GfxDisplayWrite guard;
    if (frame_error.error_number) return;
    ImageSurface* w = gfx_images.write_page;
    if (!w || !s || w->wrap_pending || w->cursor_column == 1) return;
    int64_t length = s->length;
    if (w->is_text) {
        if (w->cursor_column + length - 1 > w->width) newline(w);
    } else {
        int64_t cw = gfx_char_width(w);
        if (cw * (w->cursor_column - 1) + cw * length > w->width) newline(w);
    }
}

void txt_print_comma() {
    GfxDisplayWrite guard;
    if (frame_error.error_number) return;
    ImageSurface* w = gfx_images.write_page;
    if (!w) return;
    if (w->wrap_pending) {
        newline(w);
        w->wrap_pending = 0;
        return;
    }
    int32_t columns = grid_columns(w);
    // The zone past the last full one runs to the line end and leaves the wrap pending.
    for (;;) {
        txt_print(sv_one_space(), 0);
        if (frame_error.error_number) return;
        if (w->cursor_column == 1 || w->wrap_pending) break;
        if ((w->cursor_column - 1) % 14 == 0 && w->cursor_column <= columns - 13) break;
    }
}

void txt_cls(int32_t kind, uint32_t colour, int32_t passed) {
    GfxDisplayWrite guard;
    if (frame_error.error_number) return;
    ImageSurface* w = gfx_images.write_page;
    if (!w) return;
    uint32_t fill = w->background;
    if (passed & 2) {
        if (w->bytes_per_pixel != 4 && !w->is_text && colour > w->colour_mask) {
            frame_raise(5);
            return;
        }
        fill = colour;
    }
    if ((passed & 1) && (kind < 0 || kind > 2)) {
        frame_raise(5);
        return;
    }
    cls(w, kind, passed & 1, fill);
}
