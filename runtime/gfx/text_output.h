// Text output on the write page: cursor, colours, font, scrolling, clearing.
#pragma once
#include <cstdint>

#include "runtime/text/string_value.h"

// Built-in fonts, one byte per pixel (0 or 255), expanded at start-up.
extern uint8_t txt_font_8x8[256 * 64];
extern uint8_t txt_font_8x16[256 * 128];
extern const uint8_t txt_font_8x8_bits[2048];    // 8 bytes per glyph, MSB = leftmost
extern const uint8_t txt_font_8x16_bits[4096];   // 16 bytes per glyph
void txt_init_fonts();

void txt_color(uint32_t foreground, uint32_t background, uint32_t border, int32_t passed);
void txt_locate(int32_t row, int32_t column, int32_t cursor, int32_t start_line,
                int32_t end_line, int32_t passed);
// Prints `s` (consumed when temporary); a non-zero end_line ends the line afterwards.
void txt_print(StringValue* s, int32_t end_line);
void txt_make_fit(StringValue* s);
void txt_print_comma();
void txt_newline();
void txt_cls(int32_t kind, uint32_t colour, int32_t passed);
void txt_draw_glyph(int32_t code);
