// Single pixels: the plain store, the store inside the view, and 32-bit blending.
#include "runtime/gfx/pixel.h"

#include "runtime/gfx/draw.h"

uint8_t gfx_blend_mul[256][256];

namespace {
bool g_blend_ready = false;
}

void gfx_blend_tables_build() {
    if (g_blend_ready) return;
    for (int a = 0; a < 256; a++)
        for (int v = 0; v < 256; v++) gfx_blend_mul[a][v] = static_cast<uint8_t>((v * a + 127) / 255);
    g_blend_ready = true;
}

uint32_t gfx_blend(uint32_t dst, uint32_t src) {
    uint32_t alpha = src >> 24;
    if (alpha == 0x7F || alpha == 0x80) {
        uint32_t out = 0;
        for (int shift = 0; shift < 32; shift += 8) {
            uint32_t a = (dst >> shift) & 0xFF, b = (src >> shift) & 0xFF;
            out |= ((a + b) >> 1) << shift;
        }
        return out;
    }
    if (!g_blend_ready) gfx_blend_tables_build();
    const uint8_t* s = gfx_blend_mul[alpha];
    const uint8_t* d = gfx_blend_mul[255 - alpha];
    uint32_t out = (alpha + d[dst >> 24]) << 24;
    for (int shift = 0; shift < 24; shift += 8)
        out |= static_cast<uint32_t>(s[(src >> shift) & 0xFF] + d[(dst >> shift) & 0xFF]) << shift;
    return out;
}

void gfx_put_pixel(int32_t x, int32_t y, uint32_t colour) {
    gfx_store(gfx_images.write_page, x, y, colour);
}

void gfx_put_pixel_view(int32_t x, int32_t y, uint32_t colour) {
    ImageSurface* w = gfx_images.write_page;
    if (x < w->view_x1 || x > w->view_x2 || y < w->view_y1 || y > w->view_y2) return;
    gfx_store(w, x, y, colour);
}
