// Glyph tables of the built-in fonts by font handle.
#pragma once
#include <cstdint>

#include "runtime/gfx/text_output.h"

struct TxtGlyphFont {
    const uint8_t* rows;  // glyph 0, first row used; 8 bytes (0 or 255) per pixel row
    int32_t glyph_stride;  // bytes from one glyph to the next
    int32_t height;        // pixel rows per glyph
};

// Handles 8/9 use the 8x8 table, 14/15 the 8x14 cut of the 8x16 table, 16/17 and others 8x16.
TxtGlyphFont txt_glyph_font(int32_t font);
