#include "runtime/record/png_rows.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

int32_t record_png_entries(const uint8_t* indices, int32_t w, int32_t h, int32_t palette_n) {
    uint8_t highest = 0;
    const size_t n = static_cast<size_t>(w) * h;
    for (size_t i = 0; i < n; ++i) highest = std::max(highest, indices[i]);
    return std::clamp(std::max(palette_n, highest + 1), 1, 256);
}

int32_t record_png_depth(int32_t entries) {
    if (entries <= 2) return 1;
    if (entries <= 4) return 2;
    if (entries <= 16) return 4;
    return 8;
}

void record_png_pack_row(const uint8_t* src, int32_t w, int32_t depth, uint8_t* row) {
    if (depth == 8) {
        std::memcpy(row, src, static_cast<size_t>(w));
    } else if (depth == 4) {
        int32_t x = 0;
        for (; x + 1 < w; x += 2) row[x / 2] = static_cast<uint8_t>(src[x] << 4 | src[x + 1]);
        if (x < w) row[x / 2] = static_cast<uint8_t>(src[x] << 4);
    } else {
        const int32_t per_byte = 8 / depth;
        const int32_t bytes = (w + per_byte - 1) / per_byte;
        std::memset(row, 0, static_cast<size_t>(bytes));
        for (int32_t x = 0; x < w; ++x) {
            int32_t shift = 8 - depth * (x % per_byte + 1);
            row[x / per_byte] |= static_cast<uint8_t>(src[x] << shift);
        }
    }
}
