// Screen modes, the page table and the current pages.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "runtime/core/error.h"
#include "runtime/core/platform.h"
#include "runtime/core/run_state.h"
#include "runtime/gfx/image.h"

GfxHooks gfx_hooks;

namespace {

// Fixed buffers of the classic screen memory: text pages and the mode 13 page.
uint8_t g_text_buffer[65536];
uint8_t g_mode13_buffer[64000];

int32_t page_handle(int32_t page) {
    const ImageTable& t = gfx_images;
    if (page < 0 || page >= t.page_count || !t.pages) return 0;
    return t.pages[page];
}

// Page numbers beyond this would only make a table larger than any screen could fill.
constexpr int64_t kMaxPages = int64_t{1} << 24;

bool page_table_size(int64_t entries) {
    ImageTable& t = gfx_images;
    if (entries <= t.page_count) return true;
    int32_t* fresh = entries > kMaxPages ? nullptr
                                         : static_cast<int32_t*>(std::realloc(
                                               t.pages, static_cast<size_t>(entries) * sizeof(int32_t)));
    if (!fresh) {
        frame_raise(7);
        return false;
    }
    std::memset(fresh + t.page_count, 0, static_cast<size_t>(entries - t.page_count) * sizeof(int32_t));
    t.pages = fresh;
    t.page_count = static_cast<int32_t>(entries);
    return true;
}

int32_t grid_rows(const ImageSurface* img) {
    return img->is_text ? img->height : img->height / gfx_char_height(img);
}

// Colours and print area of the write page after a page switch; the cursor row survives
// unless it lies beyond the last row.
void reset_write_page() {
    ImageSurface* w = gfx_images.write_page;
    if (!w) return;
    gfx_reset_page_colours();
    int32_t rows = grid_rows(w);
    w->print_top = 1;
    w->print_bottom = static_cast<uint16_t>(rows);
    if (w->cursor_row > w->print_bottom) w->cursor_row = 1;
    w->print_bottom = static_cast<uint16_t>(rows - 1 > 1 ? rows - 1 : 1);
}

void copy_page_state(ImageSurface* to, const ImageSurface* from) {
    to->view_x1 = from->view_x1;
    to->view_y1 = from->view_y1;
    to->view_x2 = from->view_x2;
    to->view_y2 = from->view_y2;
    to->view_origin_x = from->view_origin_x;
    to->view_origin_y = from->view_origin_y;
    to->last_x = from->last_x;
    to->last_y = from->last_y;
    to->coord_mode = from->coord_mode;
    to->scale_x = from->scale_x;
    to->scale_y = from->scale_y;
    to->scale_origin_x = from->scale_origin_x;
    to->scale_origin_y = from->scale_origin_y;
    to->window_x1 = from->window_x1;
    to->window_y1 = from->window_y1;
    to->window_x2 = from->window_x2;
    to->window_y2 = from->window_y2;
    to->turn_angle = from->turn_angle;
    to->draw_scale = from->draw_scale;
}

// A further page shares page 0's palette.
void share_palette(ImageSurface* img, const ImageSurface* page0) {
    if (img->mode == 32) return;
    if (img->flags & IMAGE_OWNS_PALETTE) std::free(img->palette);
    img->flags &= ~static_cast<uint32_t>(IMAGE_OWNS_PALETTE);
    img->palette = page0->palette;
}

int32_t text_font(int32_t columns, int32_t rows) {
    int32_t font = rows >= 50 ? 8 : rows >= 43 ? 14 : 16;
    return columns <= 40 ? font + 1 : font;
}

// Mode 0: eight text pages, as many as fit in the fixed text buffer, the rest owned.
int32_t make_text_pages(int32_t prev_columns) {
    int32_t columns = prev_columns == 40 ? 40 : 80, rows = 25;
    if (gfx_text_grid_request.pending) {
        columns = gfx_text_grid_request.columns;
        rows = gfx_text_grid_request.rows;
    }
    int32_t page_size = columns * rows * 2;
    if (columns == 40 && rows == 25) page_size = 2048;
    if (columns == 80 && rows == 25) page_size = 4096;
    if (!page_table_size(8)) return 0;
    int32_t font = text_font(columns, rows);
    int32_t offset = 0;
    for (int32_t i = 0; i < 8; i++) {
        int32_t h;
        if (offset + page_size <= static_cast<int32_t>(sizeof g_text_buffer)) {
            h = gfx_image_new(g_text_buffer + offset, columns, rows, 0);
            offset += page_size;
        } else {
            h = gfx_image_new_owned(columns, rows, 0);
        }
        if (!h) {
            if (i == 0) return 0;
            break;
        }
        ImageSurface* img = &gfx_images.images[h];
        gfx_set_font(font, img);
        img->flags |= IMAGE_SCREEN_PAGE;
        if (i > 0) share_palette(img, &gfx_images.images[gfx_images.pages[0]]);
        gfx_images.pages[i] = h;
    }
    for (size_t i = 0; i < sizeof g_text_buffer; i += 2) {
        g_text_buffer[i] = 32;
        g_text_buffer[i + 1] = 7;
    }
    return gfx_images.pages[0];
}

int32_t graphics_font(int32_t mode, int32_t prev_columns, int32_t prev_rows, int32_t fallback) {
    if ((mode == 9 || mode == 10) && prev_columns == 80 && prev_rows == 43) return 8;
    if ((mode == 11 || mode == 12) && prev_columns == 80 && prev_rows == 60) return 8;
    return fallback;
}

}  // namespace

int32_t gfx_page(int32_t page) {
    ImageTable& t = gfx_images;
    if (page < 0) return 0;
    if (!page_table_size(static_cast<int64_t>(page) + 1)) return 0;
    if (t.pages[page]) return t.pages[page];
    const ImageSurface* p0 = gfx_image(t.pages[0]);
    if (!p0) return 0;
    int32_t h = gfx_image_new_owned(p0->width, p0->height, p0->mode);
    if (!h) {
        frame_raise(7);
        return 0;
    }
    p0 = &t.images[t.pages[0]];  // the table may have moved
    ImageSurface* img = &t.images[h];
    share_palette(img, p0);
    img->flags |= IMAGE_SCREEN_PAGE;
    gfx_set_font(p0->font, img);
    t.pages[page] = h;
    return h;
}

void gfx_reset_page_colours() {
    ImageSurface* w = gfx_images.write_page;
    if (!w) return;
    w->foreground = gfx_mode_foreground(w->mode);
    w->background = w->mode == 32 ? 0xFF000000u : 0;
    w->draw_colour = w->foreground;
}

void gfx_screen(int32_t mode, int32_t colour_switch, int32_t active_page, int32_t visual_page,
                int32_t refresh, int32_t passed) {
    (void)colour_switch;
    (void)refresh;
    if (frame_error.error_number) return;
    ImageTable& t = gfx_images;
    if (t.initial_screen && !(mode == 0 && passed == GFX_SCREEN_MODE)) t.initial_screen = 0;

    // Every check comes before anything is released.
    bool mode_change = false;
    int32_t user_handle = 0;
    if (passed & GFX_SCREEN_MODE) {
        if (mode < 0) {
            int64_t h = -static_cast<int64_t>(mode);
            if (h > INT32_MAX || !gfx_image(static_cast<int32_t>(h))) {
                frame_raise(258);
                return;
            }
            user_handle = static_cast<int32_t>(h);
            mode_change = page_handle(0) != user_handle;
        } else if ((mode >= 3 && mode <= 6) || mode > 13) {
            frame_raise(5);
            return;
        } else {
            const ImageSurface* p0 = gfx_image(page_handle(0));
            mode_change = !p0 || p0->mode != mode || gfx_text_grid_request.pending;
        }
    }
    bool pages_change = false;
    bool has_active = passed & GFX_SCREEN_ACTIVE, has_visual = passed & GFX_SCREEN_VISUAL;
    if (has_active) {
        if (active_page < 0) {
            frame_raise(5);
            return;
        }
        if (!has_visual) {
            visual_page = active_page;
            has_visual = true;
        }
        int32_t h = page_handle(active_page);
        if (!mode_change && (h == 0 || h != t.write_handle || h != t.read_handle))
            pages_change = true;
    }
    if (has_visual) {
        if (visual_page < 0) {
            frame_raise(5);
            return;
        }
        int32_t h = page_handle(visual_page);
        if (!mode_change && (h == 0 || h != t.display_handle)) pages_change = true;
    }
    if (!mode_change && !pages_change) return;

    bool paused = false;
    if (mode_change) {
        if (frame_run.housekeeping_running.load()) {
            gfx_pause_word.store(1);
            // A housekeeping thread that has ended its cycle (shutdown) can no longer answer
            // and builds no more frames.
            while (gfx_pause_word.load() != 2 && frame_run.housekeeping_running.load() &&
                   !frame_run.exit_now.load())
                frame_sleep_ms(0);
            paused = true;
        }
        int32_t prev_columns = 80, prev_rows = 25;
        if (const ImageSurface* p0 = gfx_image(page_handle(0))) {
            prev_columns = p0->is_text ? p0->width : p0->width / gfx_char_width(p0);
            prev_rows = p0->is_text ? p0->height : p0->height / gfx_char_height(p0);
        }
        gfx_display_publish(nullptr);
        for (int32_t i = 0; i < t.page_count; i++) {
            int32_t h = t.pages[i];
            const ImageSurface* img = gfx_image(h);
            if (img && h != user_handle && (img->flags & IMAGE_SCREEN_PAGE)) gfx_image_release(h);
        }
        page_table_size(1);
        t.page_count = 1;
        t.pages[0] = 0;
        t.write_handle = t.read_handle = t.display_handle = 0;
        gfx_rederive_current_pages();

        int32_t h0 = 0;
        if (user_handle) {
            h0 = user_handle;
        } else if (mode == 0) {
            h0 = make_text_pages(prev_columns);
        } else if (mode == 13) {
            std::memset(g_mode13_buffer, 0, sizeof g_mode13_buffer);
            h0 = gfx_image_new(g_mode13_buffer, 320, 200, 13);
        } else {
            int32_t w = 640, h = 480;
            if (mode == 1 || mode == 7) w = 320, h = 200;
            if (mode == 2 || mode == 8) h = 200;
            if (mode == 9 || mode == 10) h = 350;
            h0 = gfx_image_new_owned(w, h, mode);
        }
        gfx_text_grid_request.pending = 0;
        if (!h0) {
            if (paused) gfx_pause_word.store(0);
            frame_raise(7);
            return;
        }
        ImageSurface* p0 = &t.images[h0];
        if (!user_handle) {
            p0->flags |= IMAGE_SCREEN_PAGE;
            int32_t font = graphics_font(mode, prev_columns, prev_rows, p0->font);
            if (font != p0->font) gfx_set_font(font, p0);
        }
        t.pages[0] = h0;
        t.write_handle = t.read_handle = t.display_handle = h0;
        t.active_page = 0;
        gfx_rederive_current_pages();
        p0->turn_angle = 0;
        p0->draw_scale = 1;
    }

    // Both pages exist before either is switched, so that the page the builder may still be
    // copying is handed over before it becomes the write page.
    int32_t active_handle = has_active ? gfx_page(active_page) : 0;
    int32_t visual_handle = has_visual ? gfx_page(visual_page) : 0;
    bool new_display = mode_change;
    if (visual_handle && visual_handle != t.display_handle) {
        gfx_display_publish(&t.images[visual_handle]);
        new_display = true;
    }

    if (active_handle) {
        ImageSurface* img = &t.images[active_handle];
        ImageSurface* previous = gfx_image(page_handle(t.active_page));
        if (active_handle != t.write_handle || active_handle != t.read_handle) {
            t.write_handle = t.read_handle = active_handle;
            gfx_rederive_current_pages();
            reset_write_page();
        }
        if (active_page != t.active_page && !img->is_text && previous && previous != img)
            copy_page_state(img, previous);
        t.active_page = active_page;
    }
    if (visual_handle && visual_handle != t.display_handle) {
        t.display_handle = visual_handle;
        gfx_rederive_current_pages();
        reset_write_page();
    }
    gfx_display_publish(t.display_page);
    uint32_t flips = 0;
    if (new_display) {
        const ImageSurface* d = t.display_page;
        flips = d && !d->is_text ? gfx_display.graphics_flips.load(std::memory_order_relaxed) + 1 : 0;
        gfx_display.graphics_flips.store(flips, std::memory_order_seq_cst);
    }
    if (paused) gfx_pause_word.store(0);
    if (flips && gfx_hooks.page_shown) gfx_hooks.page_shown(t.display_page, flips);
}

void gfx_init_screen() {
    gfx_screen(0, 0, 0, 0, 0, GFX_SCREEN_MODE);
    gfx_images.initial_screen = 1;
}

void gfx_reset_for_restart() {
    // A pending error must not keep the restart from building its screen; it stays pending.
    uint32_t pending = frame_error.error_number;
    frame_error.error_number = 0;
    gfx_text_grid_request.columns = 80;
    gfx_text_grid_request.rows = 25;
    gfx_text_grid_request.pending = 1;
    gfx_screen(0, 0, 0, 0, 0, GFX_SCREEN_MODE);
    gfx_text_grid_request.pending = 0;
    if (ImageSurface* w = gfx_images.write_page) {
        w->foreground = 7;
        w->background = 0;
        w->draw_colour = 7;
    }
    for (int32_t h = 2; h < gfx_images.count; h++) {
        const ImageSurface* img = gfx_image(h);
        if (img && !(img->flags & (IMAGE_SCREEN_PAGE | IMAGE_SYSTEM))) gfx_image_release(h);
    }
    if (frame_error.error_number == 0) frame_error.error_number = pending;
}
