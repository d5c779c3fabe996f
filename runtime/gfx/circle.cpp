// Circles, ellipses, arcs and pie outlines by rotating a unit vector through one quadrant.
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <utility>

#include "runtime/core/error.h"
#include "runtime/gfx/draw.h"
#include "runtime/gfx/pixel.h"
#include "runtime/text/number_trig.h"

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kPi = 3.141592653589793;
// Beyond this many steps per quadrant a circle is too large to walk; it is left out.
constexpr double kMaxSteps = 16777216.0;

double mode_aspect(int32_t mode) {
    switch (mode) {
        case 1: case 7: case 13: return 5.0 / 6.0;
        case 2: case 8: return 5.0 / 12.0;
        case 9: case 10: return 35.0 / 48.0;
        default: return 1.0;
    }
}

float to_float(double v) {
    if (v > FLT_MAX) return INFINITY;
    if (v < -FLT_MAX) return -INFINITY;
    return static_cast<float>(v);
}

double round_away(double v) { return v >= 0 ? std::trunc(v + 0.5) : std::trunc(v - 0.5); }

}  // namespace

void gfx_circle(double x, double y, double radius, uint32_t colour, double start, double end,
                double aspect, int32_t passed) {
    GfxDisplayWrite guard;
    if (frame_error.error_number) return;
    ImageSurface* w = gfx_images.write_page;
    if (!w) return;
    if (w->is_text) {
        frame_raise(5);
        return;
    }
    if (!(passed & 4)) start = 0;
    if (!(passed & 8)) end = kTwoPi;
    bool pie_start = false, pie_end = false;
    if (start < 0) {
        pie_start = true;
        start = -start;
    }
    if (end < 0) {
        pie_end = true;
        end = -end;
    }
    if (!(start <= kTwoPi) || !(end <= kTwoPi)) {  // NaN angles are refused too
        frame_raise(5);
        return;
    }
    bool wrap = false;
    if (start > end) {
        std::swap(start, end);
        std::swap(pie_start, pie_end);
        wrap = true;
    }
    if (passed & 1) {
        x += w->last_x;
        y += w->last_y;
    }
    w->last_x = to_float(x);
    w->last_y = to_float(y);

    double xr = x + radius;
    if (w->coord_mode == 2) {
        x = x * w->scale_x + w->scale_origin_x + w->view_origin_x;
        y = y * w->scale_y + w->scale_origin_y + w->view_origin_y;
        xr = xr * w->scale_x + w->scale_origin_x + w->view_origin_x;
    } else if (w->coord_mode == 1) {
        x += w->view_origin_x;
        xr += w->view_origin_x;
        y += w->view_origin_y;
    }
    if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(xr)) return;
    double cx = round_away(x), cy = round_away(y);
    double r = std::fabs(xr - x);
    double rx = r, ry = r;
    if (!(passed & 16)) aspect = mode_aspect(w->mode);
    if (aspect >= 0) {
        if (aspect < 1)
            ry = aspect * r;
        else if (aspect > 1)
            rx = r / aspect;
    } else if (aspect > -1) {
        ry = (aspect + 1) * r;
    }
    if (w->view_x1 > cx + rx + 0.5 || w->view_y1 > cy + ry + 0.5 || cx - rx - 0.5 > w->view_x2 ||
        cy - ry - 0.5 > w->view_y2)
        return;
    if (!(passed & 2)) colour = w->foreground;
    w->draw_colour = colour;

    double perimeter = r * kTwoPi;
    double steps = std::trunc(perimeter / 4 + 0.5);
    if (!(steps <= kMaxSteps)) return;
    const int32_t n = static_cast<int32_t>(steps);
    double sin_s = 0, cos_s = 1;
    double s = 0;
    if (n > 0) {
        s = (kPi / 2) / n;
        num_sin_cos(s, sin_s, cos_s);
    }
    // Inside the quick-reject bounds every sum below stays far within the int range.
    const int32_t icx = static_cast<int32_t>(cx), icy = static_cast<int32_t>(cy);
    double a0 = 0, a1 = kPi, a2 = kPi, a3 = kTwoPi;

    auto pie_line = [&](double angle) {
        int32_t px = static_cast<int32_t>(num_cos(angle) * rx + 0.5);
        int32_t py = static_cast<int32_t>(num_sin(angle) * ry - 0.5);
        gfx_line_pixels(icx, icy, icx + px, icy - py, colour);
    };
    auto passes = [&](double a) { return wrap ? (a <= start || a >= end) : (start <= a && a <= end); };
    const int32_t vx1 = w->view_x1, vy1 = w->view_y1, vx2 = w->view_x2, vy2 = w->view_y2;
    auto put = [&](int32_t px, int32_t py) {
        if (px < vx1 || px > vx2 || py < vy1 || py > vy2) return;
        gfx_store(w, px, py, colour);
    };
    auto plot = [&](int32_t px, int32_t py) {
        if (passes(a0)) put(icx + px, icy + py);
        if (passes(a1)) put(icx - px, icy + py);
        if (passes(a2)) put(icx - px, icy - py);
        if (passes(a3)) put(icx + px, icy - py);
    };

    if (pie_start) pie_line(start);
    double co = 1, si = 0;
    int32_t i = 0;
    int32_t pend_x = 0, pend_y = 0, prev_x = 0, prev_y = 0;
    for (;;) {
        int32_t cur_x = static_cast<int32_t>(co * rx + 0.5);
        int32_t cur_y = static_cast<int32_t>(si * ry - 0.5);
        bool draw = true;
        if (i == 0) {
            pend_x = cur_x;
            pend_y = cur_y;
        } else if (std::abs(cur_x - prev_x) <= 1 && std::abs(cur_y - prev_y) <= 1) {
            draw = false;  // the pending point is replaced without being drawn
        }
        if (draw) {
            plot(pend_x, pend_y);
            if (i > n) break;
            prev_x = pend_x;
            prev_y = pend_y;
        }
        pend_x = cur_x;
        pend_y = cur_y;
        if (i > n) break;
        i++;
        if (i > n) {
            plot(pend_x, pend_y);  // the quarter point, with the angles of the step before
            break;
        }
        double co2 = co * cos_s + si * sin_s;
        double si2 = si * cos_s - co * sin_s;
        co = co2;
        si = si2;
        a0 += s;
        a1 -= s;
        a2 += s;
        a3 -= s;
    }
    if (pie_end) pie_line(end);
}
