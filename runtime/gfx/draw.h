// Points, lines, boxes, circles and arcs on the write page.
#pragma once
#include <cstdint>

void gfx_put_pixel(int32_t x, int32_t y, uint32_t colour);
void gfx_put_pixel_view(int32_t x, int32_t y, uint32_t colour);
void gfx_pset(float x, float y, uint32_t colour, int32_t passed);
void gfx_preset(float x, float y, uint32_t colour, int32_t passed);
void gfx_line(float x1, float y1, float x2, float y2, uint32_t colour, int32_t kind,
              uint32_t style, int32_t passed);
// gfx_line(x1, y1, x2, y2, colour, 0, 0, 9), the scene's plain line, with a short way for
// lines that lie wholly inside the view of a one-byte page.
void gfx_line_plain(float x1, float y1, float x2, float y2, uint32_t colour);
struct GfxPoint {
    float x, y;
};
// gfx_line_plain for each segment in turn, its ends given as indices into `points` (at most
// 16): the lines of one shape with one page check and every point rounded once.
void gfx_lines_plain(const GfxPoint* points, int32_t point_count, const uint8_t (*segments)[2],
                     int32_t segment_count, uint32_t colour);
void gfx_line_styled(float x1, float y1, float x2, float y2, uint32_t colour, uint32_t style);
void gfx_line_pixels(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colour);

struct ClipResult {
    bool visible = false;
    int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    int32_t style_skip = 0;
};
ClipResult gfx_clip_line(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t vx1, int32_t vy1,
                         int32_t vx2, int32_t vy2);
void gfx_box_fill(float x1, float y1, float x2, float y2, uint32_t colour);

void gfx_circle(double x, double y, double radius, uint32_t colour, double start, double end,
                double aspect, int32_t passed);
