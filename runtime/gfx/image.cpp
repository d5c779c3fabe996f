// The image table: handles, records, palettes and font metrics.
#include "runtime/gfx/image.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "runtime/core/error.h"
#include "runtime/gfx/text_output.h"

ImageTable gfx_images;
std::atomic<int32_t> gfx_pause_word{0};
uint32_t gfx_palette_256[256];
uint32_t gfx_palette_ega[64];
FontMetrics gfx_font_metrics[32];
TextGridRequest gfx_text_grid_request;

void gfx_blend_tables_build();  // pixel.cpp

namespace {

constexpr int32_t kTableStep = 4096;

// Records are all-zero when handed out (also the transparent index).
void zero_record(ImageSurface* r) {
    *r = ImageSurface{};
    r->transparent_index = 0;
}

bool grow_table() {
    ImageTable& t = gfx_images;
    int32_t cap = t.capacity + kTableStep;
    ImageSurface* fresh = new (std::nothrow) ImageSurface[static_cast<size_t>(cap)];
    if (!fresh) {
        frame_raise(502);
        return false;
    }
    for (int32_t i = 0; i < cap; i++) {
        if (i < t.capacity)
            fresh[i] = t.images[i];
        else
            zero_record(&fresh[i]);
    }
    // The builder may be reading the display record: take it away while the table moves.
    gfx_display_publish(nullptr);
    delete[] t.images;
    t.images = fresh;
    t.capacity = cap;
    gfx_rederive_current_pages();
    gfx_display_publish(t.display_page);
    return true;
}

bool push_free(int32_t handle) {
    ImageTable& t = gfx_images;
    if (t.free_count >= t.free_capacity) {
        int32_t cap = t.free_capacity + kTableStep;
        int32_t* fresh = static_cast<int32_t*>(
            std::realloc(t.free_stack, static_cast<size_t>(cap) * sizeof(int32_t)));
        if (!fresh) {
            frame_raise(503);
            return false;
        }
        t.free_stack = fresh;
        t.free_capacity = cap;
    }
    t.free_stack[t.free_count++] = handle;
    return true;
}

int32_t take_handle() {
    ImageTable& t = gfx_images;
    if (t.free_count > 0) return t.free_stack[--t.free_count];
    if (t.count >= t.capacity && !grow_table()) return 0;
    return t.count++;
}

bool mode_known(int32_t mode) {
    switch (mode) {
        case 0: case 1: case 2: case 7: case 8: case 9: case 10: case 11: case 12: case 13:
        case 32: case 256:
            return true;
        default:
            return false;
    }
}

int32_t mode_bits(int32_t mode) {
    switch (mode) {
        case 0: return 16;
        case 2: case 11: return 1;
        case 1: case 10: return 2;
        case 7: case 8: case 9: case 12: return 4;
        case 32: return 32;
        default: return 8;  // 13, 256
    }
}

int32_t mode_font(int32_t mode) {
    switch (mode) {
        case 1: case 2: case 7: case 8: case 13: return 8;
        case 9: case 10: return 14;
        default: return 16;
    }
}

}  // namespace

uint32_t gfx_mode_foreground(int32_t mode) {
    switch (mode) {
        case 0: return 7;
        case 1: case 10: return 3;
        case 2: case 11: return 1;
        case 32: return 0xFFFFFFFFu;
        default: return 15;
    }
}

void gfx_init() {
    ImageTable& t = gfx_images;
    // A second start (tests) releases what the first one made.
    if (t.images) {
        gfx_display_publish(nullptr);
        for (int32_t h = 2; h < t.count; h++)
            if (t.images[h].in_use) gfx_image_release(h);
        delete[] t.images;
        std::free(t.free_stack);
        std::free(t.pages);
    }
    t = ImageTable{};
    gfx_pause_word.store(0);
    gfx_text_grid_request = TextGridRequest{};

    for (int i = 0; i < 256; i++) gfx_palette_256[i] = gfx_default_palette_table[i] | 0xFF000000u;
    for (uint32_t n = 0; n < 64; n++) {
        uint32_t r = 0xAA * ((n >> 2) & 1) + 0x55 * ((n >> 5) & 1);
        uint32_t g = 0xAA * ((n >> 1) & 1) + 0x55 * ((n >> 4) & 1);
        uint32_t b = 0xAA * (n & 1) + 0x55 * ((n >> 3) & 1);
        gfx_palette_ega[n] = 0xFF000000u | r << 16 | g << 8 | b;
    }
    for (auto& m : gfx_font_metrics) m = FontMetrics{};
    gfx_font_metrics[8] = {8, 8, 16};
    gfx_font_metrics[14] = {8, 14, 16};
    gfx_font_metrics[16] = {8, 16, 16};
    gfx_font_metrics[9] = {16, 8, 16};
    gfx_font_metrics[15] = {16, 14, 16};
    gfx_font_metrics[17] = {16, 16, 16};
    txt_init_fonts();

    t.images = new ImageSurface[kTableStep];
    for (int32_t i = 0; i < kTableStep; i++) zero_record(&t.images[i]);
    t.capacity = kTableStep;
    t.free_stack = static_cast<int32_t*>(std::malloc(kTableStep * sizeof(int32_t)));
    t.free_capacity = t.free_stack ? kTableStep : 0;
    // Handles 0 and 1 never hold an image, so 0 always means "none".
    t.count = 2;
}

ImageSurface* gfx_image(int32_t handle) {
    if (handle <= 0 || handle >= gfx_images.count) return nullptr;
    ImageSurface* img = &gfx_images.images[handle];
    return img->in_use ? img : nullptr;
}

void gfx_default_palette(ImageSurface* img, int32_t mode) {
    uint32_t* p = img->palette;
    if (!p) return;
    switch (mode) {
        case 1:
            p[0] = gfx_palette_256[0];
            p[1] = gfx_palette_256[3];
            p[2] = gfx_palette_256[5];
            p[3] = gfx_palette_256[7];
            break;
        case 2: case 11:
            p[0] = 0x00000000u;
            p[1] = 0x00FFFFFFu;
            break;
        case 9:
            for (int i = 0; i <= 5; i++) p[i] = gfx_palette_ega[i];
            p[6] = gfx_palette_ega[20];
            p[7] = gfx_palette_ega[7];
            for (int i = 8; i <= 15; i++) p[i] = gfx_palette_ega[48 + i];
            break;
        case 10:
            p[4] = 0;
            p[5] = 4;
            p[6] = 6;
            p[7] = 8;
            break;
        case 13: case 256:
            std::memcpy(p, gfx_palette_256, sizeof gfx_palette_256);
            break;
        case 32:
            break;
        default:
            std::memcpy(p, gfx_palette_256, 16 * sizeof(uint32_t));
            break;
    }
}

void gfx_set_font(int32_t font, ImageSurface* img) {
    img->font = font;
    img->cursor_row = 1;
    img->cursor_column = 1;
    img->print_top = 1;
    int32_t rows = img->is_text ? img->height : img->height / gfx_char_height(img);
    img->print_bottom = static_cast<uint16_t>(rows - 1 > 1 ? rows - 1 : 1);
}

int32_t gfx_image_new(uint8_t* buffer, int32_t width, int32_t height, int32_t mode) {
    if (width < 1 || height < 1 || width > 65535 || height > 65535 || !mode_known(mode)) return 0;
    uint32_t* palette = nullptr;
    if (mode != 32) {
        palette = static_cast<uint32_t*>(std::calloc(256, sizeof(uint32_t)));
        if (!palette) return 0;
    }
    int32_t h = take_handle();
    if (h == 0) {
        std::free(palette);
        return 0;
    }
    ImageSurface* img = &gfx_images.images[h];
    zero_record(img);
    img->in_use = 1;
    img->width = static_cast<uint16_t>(width);
    img->height = static_cast<uint16_t>(height);
    img->mode = static_cast<int16_t>(mode);
    img->bits_per_pixel = static_cast<uint8_t>(mode_bits(mode));
    img->bytes_per_pixel = mode == 0 ? 2 : mode == 32 ? 4 : 1;
    img->colour_mask = img->bits_per_pixel >= 32 ? 0xFFFFFFFFu : (1u << img->bits_per_pixel) - 1;
    img->foreground = gfx_mode_foreground(mode);
    img->background = mode == 32 ? 0xFF000000u : 0;
    img->draw_colour = img->foreground;
    img->glyph_mode = 3;
    img->transparent_index = -1;
    img->turn_angle = 0;
    img->draw_scale = 1;
    img->pixels = buffer;
    if (palette) {
        img->palette = palette;
        img->flags |= IMAGE_OWNS_PALETTE;
        gfx_default_palette(img, mode);
    }
    if (mode == 0) {
        img->is_text = 1;
        img->cursor_visible = 0;
        img->cursor_start_line = 4;
        img->cursor_end_line = 4;
    }
    gfx_set_font(mode == 0 ? 16 : mode_font(mode), img);
    if (mode != 0) {
        img->last_x = static_cast<float>(width / 2);
        img->last_y = static_cast<float>(height / 2);
        img->view_x2 = width - 1;
        img->view_y2 = height - 1;
        img->scale_x = 1;
        img->scale_y = 1;
        img->window_x2 = static_cast<float>(width - 1);
        img->window_y2 = static_cast<float>(height - 1);
    }
    return h;
}

int32_t gfx_image_new_owned(int32_t width, int32_t height, int32_t mode) {
    int32_t h = gfx_image_new(nullptr, width, height, mode);
    if (h == 0) return 0;
    ImageSurface* img = &gfx_images.images[h];
    size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
    uint8_t* px = static_cast<uint8_t*>(std::calloc(count, img->bytes_per_pixel));
    if (!px) {
        std::free(img->palette);
        img->palette = nullptr;
        img->flags = 0;
        gfx_image_free(h);
        return 0;
    }
    if (img->is_text) {
        for (size_t i = 0; i < count; i++) {
            px[2 * i] = 32;
            px[2 * i + 1] = 7;
        }
    }
    if (mode == 32) gfx_blend_tables_build();
    img->pixels = px;
    img->flags |= IMAGE_OWNS_PIXELS;
    return h;
}

bool gfx_image_free(int32_t handle) {
    ImageTable& t = gfx_images;
    if (handle < 0 || handle >= t.count) return false;
    ImageSurface* img = &t.images[handle];
    if (!img->in_use) return false;
    if (gfx_display.page.load(std::memory_order_relaxed) == img) gfx_display_publish(nullptr);
    // The lock service is not part of this runtime; its link is simply dropped with the record.
    zero_record(img);
    if (t.write_handle == handle) t.write_handle = 0, t.write_page = nullptr;
    if (t.read_handle == handle) t.read_handle = 0, t.read_page = nullptr;
    if (t.display_handle == handle) t.display_handle = 0, t.display_page = nullptr;
    push_free(handle);
    return true;
}

void gfx_image_release(int32_t handle) {
    ImageSurface* img = gfx_image(handle);
    if (!img) return;
    if (gfx_display.page.load(std::memory_order_relaxed) == img) gfx_display_publish(nullptr);
    if (img->flags & IMAGE_OWNS_PIXELS) std::free(img->pixels);
    if (img->flags & IMAGE_OWNS_PALETTE) std::free(img->palette);
    img->pixels = nullptr;
    img->palette = nullptr;
    gfx_image_free(handle);
}

void gfx_rederive_current_pages() {
    ImageTable& t = gfx_images;
    t.write_page = t.write_handle ? &t.images[t.write_handle] : nullptr;
    t.read_page = t.read_handle ? &t.images[t.read_handle] : nullptr;
    t.display_page = t.display_handle ? &t.images[t.display_handle] : nullptr;
}
