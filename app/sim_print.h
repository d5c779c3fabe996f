// The simulation's printing pattern: one item at a time, each moved to the next line first when
// it does not fit on this one; numbers as their text and one blank.
#pragma once
#include <cstdint>

#include "runtime/gfx/text_output.h"
#include "runtime/text/number_text.h"
#include "runtime/text/string_value.h"

inline void sim_print_item(StringValue* s) {
    txt_make_fit(s);
    txt_print(s, 0);
}
inline void sim_print_end_line() { txt_print(sv_empty(), 1); }
inline void sim_print_number(float v) { sim_print_item(sv_concat(num_str(v), sv_new_text(" "))); }
inline void sim_print_colour(uint32_t c) { txt_color(c, 0, 0, 1); }
