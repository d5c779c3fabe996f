// The built-in fonts, expanded to one byte per pixel so that drawing needs no bit extraction.
#include "runtime/gfx/fonts.h"

uint8_t txt_font_8x8[256 * 64];
uint8_t txt_font_8x16[256 * 128];

namespace {
void expand(const uint8_t* bits, uint8_t* out, int count) {
    for (int i = 0; i < count; i++)
        for (int k = 0; k < 8; k++) out[i * 8 + k] = (bits[i] & (0x80 >> k)) ? 255 : 0;
}
}  // namespace

void txt_init_fonts() {
    expand(txt_font_8x8_bits, txt_font_8x8, 2048);
    expand(txt_font_8x16_bits, txt_font_8x16, 4096);
}

TxtGlyphFont txt_glyph_font(int32_t font) {
    switch (font) {
        case 8: case 9: return {txt_font_8x8, 64, 8};
        case 14: case 15: return {txt_font_8x16 + 8, 128, 14};  // rows 1..14 of the 8x16 glyphs
        default: return {txt_font_8x16, 128, 16};
    }
}
