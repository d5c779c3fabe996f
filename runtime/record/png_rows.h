// What both PNG encoders share: the palette's size, the bit depth and the packed rows.
#pragma once
#include <cstdint>

// The palette entries a picture needs: at least palette_n, as many as its highest index needs
// (1 ... 256).
int32_t record_png_entries(const uint8_t* indices, int32_t w, int32_t h, int32_t palette_n);
// The smallest of 1, 2, 4 and 8 bits that holds `entries` indices.
int32_t record_png_depth(int32_t entries);
// One row of w indices packed at `depth` bits, the leftmost pixel in the high bits.
void record_png_pack_row(const uint8_t* src, int32_t w, int32_t depth, uint8_t* row);
