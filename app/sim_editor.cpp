#include "app/sim_editor.h"

#include <cmath>

#include "app/sim_cells.h"
#include "app/sim_state.h"
#include "runtime/gfx/draw.h"
#include "runtime/gfx/text_output.h"
#include "runtime/input/input.h"
#include "runtime/text/number_text.h"

namespace {

void colour(float c) { txt_color(static_cast<uint32_t>(frame_float_index(c)), 0, 0, 1); }

// A cell position (0-based text column or row from the table) as a 1-based cursor value.
int32_t cursor_of(float v) { return frame_float_index(static_cast<float>(static_cast<double>(v) + 1)); }

void print_line(StringValue* s) {
    txt_make_fit(s);
    txt_print(s, 0);
    txt_print(sv_empty(), 1);
}

// Two full blocks: a colour swatch.
StringValue* swatch() { return sv_string_of(2, 219); }

}  // namespace

void sim_draw_editor() {
    if (sim_panel_visible == 0) return;
    const int32_t base = sv_temp_count();
    const double mx = input_mouse_x(), my = input_mouse_y();
    const float mc = static_cast<float>(std::floor(mx / 8) - 1);
    const float mc2 = mc + 4;
    const float mr = static_cast<float>(std::floor(my / 16));
    const float mr2 = mr + 1;
    FRAME_CP();
    gfx_line(0, sim_frame_top, sim_frame_right, sim_frame_top, 14, 0, 0, 9);
    FRAME_CP();
    gfx_line(sim_frame_right, sim_frame_top, sim_frame_right, 448, 14, 0, 0, 9);
    FRAME_CP();
    sim_hover_cell = -1;
    FRAME_CP();
    for (int32_t r = 0; r <= kSimRowSpecies; ++r) {
        if (sim_cell(r, kSimColShown) == 0) continue;
        const float cx = sim_cell(r, kSimColX), cy = sim_cell(r, kSimColY);
        const float value = sim_cell(r, kSimColValue);
        const bool hover = mc <= cx && cx < mc2 && mr <= cy && cy < mr2;
        if (hover) sim_hover_cell = static_cast<float>(r);
        FRAME_CP();
        float c = hover ? 15.0f : 7.0f;
        if (r >= kSimRowCount && r < kSimRowRule) c = sim_cell(r - kSimRowCount, kSimColValue);
        FRAME_CP();
        txt_locate(cursor_of(cy), cursor_of(cx), 0, 0, 0, 3);
        FRAME_CP();
        StringValue* text;
        if (r < kSimRowCount) {
            text = swatch();
            c = value;
        } else {
            text = num_str(value);
        }
        colour(c);
        FRAME_CP();
        print_line(text);
        sv_cleanup(base, 0);
        FRAME_CP();
        if (r < kSimRowCount) {
            // Each rule row carries its species' swatch three columns left of its first cell.
            txt_locate(frame_float_index(static_cast<float>(sim_cell(kSimRowRule, kSimColY) + 1.0 + r)),
                       frame_float_index(static_cast<float>(sim_cell(kSimRowRule, kSimColX) + 1.0 - 3)),
                       0, 0, 0, 3);
            FRAME_CP();
            print_line(swatch());
            sv_cleanup(base, 0);
            FRAME_CP();
        }
        if (hover) {
            const double x1 = static_cast<double>(cx) * 8 + 1, y1 = static_cast<double>(cy) * 16 + 3;
            const double x2 = (static_cast<double>(cx) + 4) * 8 - 10;
            const double y2 = (static_cast<double>(cy) + 1) * 16 - 1;
            const float ax = static_cast<float>(x1 + 1), bx = static_cast<float>(x2 + 1);
            const float ay = static_cast<float>(y1 - 2), by = static_cast<float>(y2 - 2);
            gfx_line(ax, ay, bx, ay, 15, 0, 0, 9);
            gfx_line(bx, ay, bx, by, 15, 0, 0, 9);
            gfx_line(bx, by, ax, by, 15, 0, 0, 9);
            gfx_line(ax, by, ax, ay, 15, 0, 0, 9);
            FRAME_CP();
        }
    }
    StringValue* help = sim_hover_cell == -1
                            ? sv_new_text("")
                            : sv_concat(sim_cell_help.get(frame_float_index(sim_hover_cell)),
                                        sv_new_text(""));
    const int32_t pad = 78 - help->length;
    if (pad > 0) help = sv_concat(help, sv_space(pad));
    FRAME_CP();
    colour(14);
    FRAME_CP();
    txt_locate(28, 40, 0, 0, 0, 3);
    FRAME_CP();
    txt_make_fit(help);
    txt_print(help, 0);
    sv_cleanup(base, 0);
    FRAME_CP();
}

void sim_edit_cell() {
    if (sim_mouse_event == 0) return;
    const int32_t left = input_mouse_button(1), right = input_mouse_button(2);
    FRAME_CP();
    if ((left == 0 && right == 0) || sim_hover_cell == -1) return;
    if (left != 0) sim_cell_step = -1;
    if (right != 0) sim_cell_step = 1;
    FRAME_CP();
    const int32_t r = frame_float_index(sim_hover_cell);
    float v = static_cast<float>(static_cast<double>(sim_cell(r, kSimColValue)) + sim_cell_step);
    if (v > sim_cell(r, kSimColMax)) v = sim_cell(r, kSimColMax);
    if (v < sim_cell(r, kSimColMin)) v = sim_cell(r, kSimColMin);
    sim_set_cell(r, kSimColValue, v);
    FRAME_CP();
}
