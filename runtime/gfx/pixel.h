// Pixel stores and coordinate rounding shared by the drawing and text files.
#pragma once
#include <cmath>
#include <cstdint>
#include <cstring>

#include "runtime/gfx/image.h"

// Source-over blending of 32-bit colours: gfx_blend_mul[a][v] = round(v * a / 255).
extern uint8_t gfx_blend_mul[256][256];
void gfx_blend_tables_build();
// Colour `src` over `dst` by the alpha rules of 32-bit pages.
uint32_t gfx_blend(uint32_t dst, uint32_t src);

inline void gfx_store32(ImageSurface* img, int32_t x, int32_t y, uint32_t colour) {
    uint8_t* p = img->pixels + (static_cast<size_t>(y) * img->width + static_cast<size_t>(x)) * 4;
    uint32_t alpha = colour >> 24;
    if (img->blending_off || alpha == 0xFF) {
        std::memcpy(p, &colour, 4);
    } else if (alpha != 0) {
        uint32_t dst;
        std::memcpy(&dst, p, 4);
        dst = gfx_blend(dst, colour);
        std::memcpy(p, &dst, 4);
    }
}

// Stores one pixel of `img`; the caller keeps (x, y) on the page.
inline void gfx_store(ImageSurface* img, int32_t x, int32_t y, uint32_t colour) {
    if (img->bytes_per_pixel == 1)
        img->pixels[static_cast<size_t>(y) * img->width + static_cast<size_t>(x)] =
            static_cast<uint8_t>(colour & img->colour_mask);
    else if (img->bytes_per_pixel == 4)
        gfx_store32(img, x, y, colour);
}

// Coordinates this far out are off every page; clamping keeps integer arithmetic on them safe.
constexpr int32_t kGfxFarAway = 1 << 28;

inline int32_t gfx_clamp_far(double v) {
    if (v > kGfxFarAway) return kGfxFarAway;
    if (v < -kGfxFarAway) return -kGfxFarAway;
    return static_cast<int32_t>(v);
}

// Coordinate to pixel by the page's coordinate mode (rounding ties to even), not yet limited.
// False for NaN and infinities, which are off every page.
inline bool gfx_to_pixel_unclamped(const ImageSurface* img, float x, float y, double* dx,
                                   double* dy) {
    if (img->coord_mode == 2) {
        x = x * img->scale_x + img->scale_origin_x;
        y = y * img->scale_y + img->scale_origin_y;
    }
    float rx = std::nearbyint(x), ry = std::nearbyint(y);
    if (!std::isfinite(rx) || !std::isfinite(ry)) return false;
    *dx = rx;
    *dy = ry;
    if (img->coord_mode != 0) {
        *dx += img->view_origin_x;
        *dy += img->view_origin_y;
    }
    return true;
}

// The same, with huge finite values clamped far off the page.
inline bool gfx_to_pixel(const ImageSurface* img, float x, float y, int32_t* px, int32_t* py) {
    double dx, dy;
    if (!gfx_to_pixel_unclamped(img, x, y, &dx, &dy)) return false;
    *px = gfx_clamp_far(dx);
    *py = gfx_clamp_far(dy);
    return true;
}
