// Points, lines, clipping and filled boxes on the write page.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "runtime/core/error.h"
#include "runtime/gfx/draw.h"
#include "runtime/gfx/pixel.h"

namespace {

inline uint32_t rotl32(uint32_t v, uint32_t n) {
    n &= 31;
    return n ? (v << n) | (v >> (32 - n)) : v;
}

// Rounds half away from zero; |f| stays well inside the int range here.
inline int32_t round_away(float f) {
    double d = f;
    return static_cast<int32_t>(d >= 0 ? d + 0.5 : d - 0.5);
}

// Clip rounding: to a 32-bit float first, then to nearest with ties to even.
inline int32_t clip_round(double v) { return static_cast<int32_t>(std::nearbyint(static_cast<float>(v))); }

// Moves (px, py) along the segment towards (qx, qy) onto the rectangle; false when no edge fits.
bool clip_point(int32_t& px, int32_t& py, int32_t qx, int32_t qy, int32_t vx1, int32_t vy1,
                int32_t vx2, int32_t vy2) {
    double ddx = static_cast<double>(qx) - px, ddy = static_cast<double>(qy) - py;
    double k = ddx / std::fabs(ddy);  // a zero divisor gives an infinity
    double l = ddy / std::fabs(ddx);
    if (px > vx2 && k < 0) {
        double yy = py + (static_cast<double>(px) - vx2) * l;
        if (vy1 <= yy && yy <= vy2) {
            px = vx2;
            py = clip_round(yy);
            return true;
        }
    }
    if (px < vx1 && k > 0) {
        double yy = py + (static_cast<double>(vx1) - px) * l;
        if (vy1 <= yy && yy <= vy2) {
            px = vx1;
            py = clip_round(yy);
            return true;
        }
    }
    if (py < vy1 && l > 0) {
        double xx = px + (static_cast<double>(vy1) - py) * k;
        if (vx1 <= xx && xx <= vx2) {
            px = clip_round(xx);
            py = vy1;
            return true;
        }
    }
    if (py > vy2 && l < 0) {
        double xx = px + (static_cast<double>(py) - vy2) * k;
        if (vx1 <= xx && xx <= vx2) {
            px = clip_round(xx);
            py = vy2;
            return true;
        }
    }
    return false;
}

// The single-precision DDA over a clipped segment. Every pixel is inside the view, unless the
// float accumulator could drift by half a pixel on a huge page, where each pixel is checked.
template <bool kStyled>
void dda(ImageSurface* w, const ClipResult& c, uint32_t colour, uint32_t pattern) {
    int32_t dx = std::abs(c.x1 - c.x2), dy = std::abs(c.y1 - c.y2);
    bool x_major = dx > dy;
    int32_t major = x_major ? c.x1 : c.y1;
    int32_t steps = x_major ? dx : dy;
    int32_t step = x_major ? (c.x2 < c.x1 ? -1 : 1) : (c.y2 < c.y1 ? -1 : 1);
    float f = static_cast<float>(x_major ? c.y1 : c.x1);
    float slope = 0;
    if (steps > 0) {
        long double rise = x_major ? c.y2 - c.y1 : c.x2 - c.x1;
        slope = static_cast<float>(rise / steps);
    }
    int32_t minor_lo = x_major ? w->view_y1 : w->view_x1;
    int32_t minor_hi = x_major ? w->view_y2 : w->view_x2;
    double reach = std::fmax(std::fabs(static_cast<double>(minor_lo)), std::fabs(static_cast<double>(minor_hi))) + 1;
    bool checked = static_cast<double>(steps) * (reach + 1) * (1.0 / 16777216.0) >= 0.49;

    const size_t width = w->width;
    if (w->bytes_per_pixel == 1 && !checked) {
        uint8_t* px = w->pixels;
        const uint8_t value = static_cast<uint8_t>(colour & w->colour_mask);
        // Pointer step along the major axis, row step for the minor one.
        for (int32_t i = 0; i <= steps; i++) {
            int32_t m = round_away(f);
            if (!kStyled || ((pattern = rotl32(pattern, 1)) & 1)) {
                size_t at = x_major ? static_cast<size_t>(m) * width + static_cast<size_t>(major)
                                    : static_cast<size_t>(major) * width + static_cast<size_t>(m);
                px[at] = value;
            }
            major += step;
            f = f + slope;
        }
        return;
    }
    for (int32_t i = 0; i <= steps; i++) {
        int32_t m = round_away(f);
        if (!kStyled || ((pattern = rotl32(pattern, 1)) & 1)) {
            if (!checked || (m >= minor_lo && m <= minor_hi)) {
                if (x_major)
                    gfx_store(w, major, m, colour);
                else
                    gfx_store(w, m, major, colour);
            }
        }
        major += step;
        f = f + slope;
    }
}

// nearbyint of a float under the default rounding: adding and taking away 2^23 leaves the
// nearest integer, ties to even, for |v| < 2^23; larger values are already whole.
inline float round_even(float v) {
    const float a = std::fabs(v);
    if (!(a < 8388608.0f)) return v;
    return std::copysign((a + 8388608.0f) - 8388608.0f, v);
}

// The DDA of a segment whose ends lie inside the view of a one-byte page of at most 2048 x 2048
// pixels: no clipping, no per-pixel check. The slope of two whole numbers below 2^24 divided
// as floats is their quotient rounded once, which the extended division rounded twice also
// gives: a quotient with a divisor below 2^29 is never that close to a float midpoint.
void dda_inside(ImageSurface* w, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colour) {
    const int32_t dx = std::abs(x1 - x2), dy = std::abs(y1 - y2);
    const bool x_major = dx > dy;
    int32_t major = x_major ? x1 : y1;
    const int32_t steps = x_major ? dx : dy;
    const int32_t step = x_major ? (x2 < x1 ? -1 : 1) : (y2 < y1 ? -1 : 1);
    float f = static_cast<float>(x_major ? y1 : x1);
    float slope = 0;
    if (steps > 0) slope = static_cast<float>(x_major ? y2 - y1 : x2 - x1) / static_cast<float>(steps);
    const size_t width = w->width;
    uint8_t* const px = w->pixels;
    const uint8_t value = static_cast<uint8_t>(colour & w->colour_mask);
    if (x_major) {
        for (int32_t i = 0; i <= steps; i++) {
            px[static_cast<size_t>(round_away(f)) * width + static_cast<size_t>(major)] = value;
            major += step;
            f = f + slope;
        }
    } else {
        for (int32_t i = 0; i <= steps; i++) {
            px[static_cast<size_t>(major) * width + static_cast<size_t>(round_away(f))] = value;
            major += step;
            f = f + slope;
        }
    }
}

ImageSurface* drawable_page() {
    if (frame_error.error_number) return nullptr;
    ImageSurface* w = gfx_images.write_page;
    if (!w) return nullptr;
    if (w->is_text) {
        frame_raise(5);
        return nullptr;
    }
    return w;
}

// A segment with an end beyond the far limit is first cut to the far square along its own
// direction (so that it keeps its slope); false when it misses the square. Beyond 1e15 a
// double no longer holds whole pixels, the cut would be noise, and the ends are only clamped.
bool far_cut(double d[4]) {
    const double k = kGfxFarAway;
    const double m = std::max(std::max(std::fabs(d[0]), std::fabs(d[1])),
                              std::max(std::fabs(d[2]), std::fabs(d[3])));
    if (m <= k || m > 1e15) return true;
    const double dx = d[2] - d[0], dy = d[3] - d[1];
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {d[0] + k, k - d[0], d[1] + k, k - d[1]};
    double t0 = 0, t1 = 1;
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0) return false;
            continue;
        }
        const double r = q[i] / p[i];
        if (p[i] < 0) {
            if (r > t1) return false;
            if (r > t0) t0 = r;
        } else {
            if (r < t0) return false;
            if (r < t1) t1 = r;
        }
    }
    const double x1 = d[0], y1 = d[1];
    d[0] = x1 + t0 * dx;
    d[1] = y1 + t0 * dy;
    d[2] = x1 + t1 * dx;
    d[3] = y1 + t1 * dy;
    return true;
}

void pset(float x, float y, uint32_t colour, int32_t passed, bool background) {
    GfxDisplayWrite guard;
    ImageSurface* w = drawable_page();
    if (!w) return;
    if (passed & 1) {
        w->last_x += x;
        w->last_y += y;
    } else {
        w->last_x = x;
        w->last_y = y;
    }
    if (!(passed & 2)) colour = background ? w->background : w->foreground;
    w->draw_colour = colour;
    int32_t px, py;
    if (!gfx_to_pixel(w, w->last_x, w->last_y, &px, &py)) return;
    if (w->coord_mode == 0) {
        if (px < 0 || px >= w->width || py < 0 || py >= w->height) return;
    } else if (px < w->view_x1 || px > w->view_x2 || py < w->view_y1 || py > w->view_y2) {
        return;
    }
    gfx_store(w, px, py, colour);
}

}  // namespace

ClipResult gfx_clip_line(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t vx1, int32_t vy1,
                         int32_t vx2, int32_t vy2) {
    ClipResult r;
    auto inside = [&](int32_t x, int32_t y) { return x >= vx1 && x <= vx2 && y >= vy1 && y <= vy2; };
    bool same = x1 == x2 && y1 == y2;
    if (inside(x1, y1)) {
        if (same) {
            r = {true, x1, y1, x2, y2, 0};
            return r;
        }
    } else {
        if (same) return r;
        if ((x1 < vx1 && x2 < vx1) || (x1 > vx2 && x2 > vx2) || (y1 < vy1 && y2 < vy1) ||
            (y1 > vy2 && y2 > vy2))
            return r;
        int32_t ox = x1, oy = y1;
        if (!clip_point(x1, y1, x2, y2, vx1, vy1, vx2, vy2)) return r;
        r.style_skip = std::max(std::abs(ox - x1), std::abs(oy - y1));
    }
    if (!inside(x2, y2) && !clip_point(x2, y2, x1, y1, vx1, vy1, vx2, vy2)) {
        r.style_skip = 0;
        return r;
    }
    r.visible = true;
    r.x1 = x1;
    r.y1 = y1;
    r.x2 = x2;
    r.y2 = y2;
    return r;
}

void gfx_line_styled(float x1, float y1, float x2, float y2, uint32_t colour, uint32_t style) {
    GfxDisplayWrite guard;
    ImageSurface* w = gfx_images.write_page;
    if (!w || w->is_text) return;
    double d[4];
    if (!gfx_to_pixel_unclamped(w, x1, y1, &d[0], &d[1]) ||
        !gfx_to_pixel_unclamped(w, x2, y2, &d[2], &d[3]))
        return;
    if (!far_cut(d)) return;
    const int32_t px1 = gfx_clamp_far(std::nearbyint(d[0])), py1 = gfx_clamp_far(std::nearbyint(d[1]));
    const int32_t px2 = gfx_clamp_far(std::nearbyint(d[2])), py2 = gfx_clamp_far(std::nearbyint(d[3]));
    ClipResult c = gfx_clip_line(px1, py1, px2, py2, w->view_x1, w->view_y1, w->view_x2, w->view_y2);
    if (!c.visible) return;
    uint32_t pattern = rotl32((style & 0xFFFFu) * 65537u, static_cast<uint32_t>(c.style_skip & 15));
    if (pattern == 0xFFFFFFFFu)
        dda<false>(w, c, colour, pattern);
    else
        dda<true>(w, c, colour, pattern);
}

void gfx_line_pixels(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colour) {
    GfxDisplayWrite guard;
    ImageSurface* w = gfx_images.write_page;
    if (!w || w->is_text) return;
    ClipResult c = gfx_clip_line(x1, y1, x2, y2, w->view_x1, w->view_y1, w->view_x2, w->view_y2);
    if (c.visible) dda<false>(w, c, colour, 0);
}

void gfx_pset(float x, float y, uint32_t colour, int32_t passed) { pset(x, y, colour, passed, false); }

void gfx_preset(float x, float y, uint32_t colour, int32_t passed) { pset(x, y, colour, passed, true); }

void gfx_line(float x1, float y1, float x2, float y2, uint32_t colour, int32_t kind,
              uint32_t style, int32_t passed) {
    GfxDisplayWrite guard;
    ImageSurface* w = drawable_page();
    if (!w) return;
    if (passed & 1) {
        if (passed & 4) {
            x1 += w->last_x;
            y1 += w->last_y;
        }
        w->last_x = x1;
        w->last_y = y1;
    } else {
        x1 = w->last_x;
        y1 = w->last_y;
    }
    if (passed & 2) {
        x2 += w->last_x;
        y2 += w->last_y;
    }
    w->last_x = x2;
    w->last_y = y2;
    if (!(passed & 16)) style = 0xFFFF;
    if (!(passed & 8)) colour = w->foreground;
    if (kind < 0 || kind > 2) return;
    w->draw_colour = colour;
    if (kind == 0) {
        gfx_line_styled(x1, y1, x2, y2, colour, style);
    } else if (kind == 1) {
        gfx_line_styled(x1, y1, x2, y1, colour, style);
        gfx_line_styled(x2, y1, x2, y2, colour, style);
        gfx_line_styled(x2, y2, x1, y2, colour, style);
        gfx_line_styled(x1, y2, x1, y1, colour, style);
    } else {
        gfx_box_fill(x1, y1, x2, y2, colour);
    }
}

void gfx_line_plain(float x1, float y1, float x2, float y2, uint32_t colour) {
    GfxDisplayWrite guard;
    ImageSurface* w = drawable_page();
    if (!w) return;
    w->last_x = x2;
    w->last_y = y2;
    w->draw_colour = colour;
    if (w->coord_mode == 0 && w->bytes_per_pixel == 1 && w->width <= 2048 && w->height <= 2048) {
        const float rx1 = round_even(x1), ry1 = round_even(y1);
        const float rx2 = round_even(x2), ry2 = round_even(y2);
        const float vx1 = static_cast<float>(w->view_x1), vx2 = static_cast<float>(w->view_x2);
        const float vy1 = static_cast<float>(w->view_y1), vy2 = static_cast<float>(w->view_y2);
        // NaN fails every test and takes the long way.
        if (rx1 >= vx1 && rx1 <= vx2 && rx2 >= vx1 && rx2 <= vx2 && ry1 >= vy1 && ry1 <= vy2 &&
            ry2 >= vy1 && ry2 <= vy2) {
            dda_inside(w, static_cast<int32_t>(rx1), static_cast<int32_t>(ry1),
                       static_cast<int32_t>(rx2), static_cast<int32_t>(ry2), colour);
            return;
        }
    }
    gfx_line_styled(x1, y1, x2, y2, colour, 0xFFFF);
}

void gfx_lines_plain(const GfxPoint* points, int32_t point_count, const uint8_t (*segments)[2],
                     int32_t segment_count, uint32_t colour) {
    if (segment_count <= 0) return;
    GfxDisplayWrite guard;
    ImageSurface* w = drawable_page();
    if (!w) return;
    if (w->coord_mode != 0 || w->bytes_per_pixel != 1 || w->width > 2048 || w->height > 2048 ||
        point_count > 16) {
        for (int32_t i = 0; i < segment_count; ++i) {
            const GfxPoint& a = points[segments[i][0]];
            const GfxPoint& b = points[segments[i][1]];
            gfx_line_plain(a.x, a.y, b.x, b.y, colour);
        }
        return;
    }
    const float vx1 = static_cast<float>(w->view_x1), vx2 = static_cast<float>(w->view_x2);
    const float vy1 = static_cast<float>(w->view_y1), vy2 = static_cast<float>(w->view_y2);
    int32_t px[16], py[16];
    bool inside[16];
    for (int32_t i = 0; i < point_count; ++i) {
        const float rx = round_even(points[i].x), ry = round_even(points[i].y);
        inside[i] = rx >= vx1 && rx <= vx2 && ry >= vy1 && ry <= vy2;  // false for NaN
        px[i] = inside[i] ? static_cast<int32_t>(rx) : 0;
        py[i] = inside[i] ? static_cast<int32_t>(ry) : 0;
    }
    for (int32_t i = 0; i < segment_count; ++i) {
        const int32_t a = segments[i][0], b = segments[i][1];
        if (inside[a] && inside[b])
            dda_inside(w, px[a], py[a], px[b], py[b], colour);
        else
            gfx_line_styled(points[a].x, points[a].y, points[b].x, points[b].y, colour, 0xFFFF);
    }
    const GfxPoint& end = points[segments[segment_count - 1][1]];
    w->last_x = end.x;
    w->last_y = end.y;
    w->draw_colour = colour;
}

void gfx_box_fill(float x1, float y1, float x2, float y2, uint32_t colour) {
    GfxDisplayWrite guard;
    ImageSurface* w = gfx_images.write_page;
    if (!w || w->is_text) return;
    int32_t px1, py1, px2, py2;
    if (!gfx_to_pixel(w, x1, y1, &px1, &py1) || !gfx_to_pixel(w, x2, y2, &px2, &py2)) return;
    if (px1 > px2) std::swap(px1, px2);
    if (py1 > py2) std::swap(py1, py2);
    if (px2 < w->view_x1 || px1 > w->view_x2 || py2 < w->view_y1 || py1 > w->view_y2) return;
    px1 = std::max(px1, w->view_x1);
    px2 = std::min(px2, w->view_x2);
    py1 = std::max(py1, w->view_y1);
    py2 = std::min(py2, w->view_y2);
    if (w->bytes_per_pixel == 1) {
        uint8_t value = static_cast<uint8_t>(colour & w->colour_mask);
        size_t run = static_cast<size_t>(px2 - px1 + 1);
        for (int32_t y = py1; y <= py2; y++)
            std::memset(w->pixels + static_cast<size_t>(y) * w->width + static_cast<size_t>(px1), value,
                        run);
        return;
    }
    for (int32_t y = py1; y <= py2; y++)
        for (int32_t x = px1; x <= px2; x++) gfx_store32(w, x, y, colour);
}
