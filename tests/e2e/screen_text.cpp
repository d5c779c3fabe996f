// Reads the text of a screenshot back: every 8x16 cell whose pixels are exactly a glyph of the
// built-in font in two colours (or one, for a blank) becomes that character, others become '?'.
//   screen_text FILE.ppm [ROW [RRGGBB]]  prints rows 1..30 (or one row), 80 characters each;
//                                  pixels of colour RRGGBB may belong to the glyph or not
//   screen_text FILE.ppm find TEXT prints "x y" of TEXT drawn anywhere (any two colours)
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/gfx/text_output.h"

namespace {

// Pixels of the colour `over` (a line drawn across the text), when given, may stand for
// either colour of the cell: the other pixels must still be the glyph's exactly.
char cell_char(const std::vector<uint32_t>& px, int w, int row, int col, int64_t over = -1) {
    int x0 = col * 8, y0 = row * 16;
    uint32_t fg = 0, bg = 0;
    bool have_fg = false, have_bg = false;
    uint8_t bits[16], known[16];
    for (int r = 0; r < 16; ++r) {
        bits[r] = known[r] = 0;
        for (int k = 0; k < 8; ++k) {
            uint32_t p = px[static_cast<size_t>(y0 + r) * w + x0 + k];
            if (p == over) continue;
            known[r] |= static_cast<uint8_t>(0x80 >> k);
            if (!have_bg) {
                bg = p;
                have_bg = true;
            }
            if (p == bg) continue;
            if (!have_fg) {
                fg = p;
                have_fg = true;
            }
            if (p != fg) return '?';
            bits[r] |= static_cast<uint8_t>(0x80 >> k);
        }
    }
    if (!have_fg) return ' ';
    for (int g = 33; g < 127; ++g) {
        const uint8_t* glyph = &txt_font_8x16_bits[g * 16];
        bool same = true, inverse = true;
        for (int r = 0; r < 16; ++r) {
            same = same && (glyph[r] & known[r]) == bits[r];
            inverse = inverse && (static_cast<uint8_t>(~glyph[r]) & known[r]) == bits[r];
        }
        if (same || inverse) return static_cast<char>(g);
    }
    return '?';
}

// TEXT drawn with its top-left pixel at (x, y): each glyph's set pixels in one colour, its clear
// pixels in another.
bool text_at(const std::vector<uint32_t>& px, int w, int x, int y, const std::string& text) {
    uint32_t fg = 0, bg = 0;
    bool have_fg = false, have_bg = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const uint8_t* glyph = &txt_font_8x16_bits[static_cast<uint8_t>(text[i]) * 16];
        for (int r = 0; r < 16; ++r)
            for (int k = 0; k < 8; ++k) {
                uint32_t p = px[static_cast<size_t>(y + r) * w + x + static_cast<int>(i) * 8 + k];
                bool set = glyph[r] & (0x80 >> k);
                uint32_t& want = set ? fg : bg;
                bool& have = set ? have_fg : have_bg;
                if (!have) {
                    want = p;
                    have = true;
                } else if (p != want) {
                    return false;
                }
            }
    }
    return !(have_fg && have_bg && fg == bg);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    FILE* f = std::fopen(argv[1], "rb");
    if (!f) return 2;
    int w = 0, h = 0, maxv = 0;
    if (std::fscanf(f, "P6 %d %d %d", &w, &h, &maxv) != 3 || w < 8 || h < 16) return 2;
    std::fgetc(f);
    std::vector<uint32_t> px(static_cast<size_t>(w) * h);
    for (auto& p : px) {
        int r = std::fgetc(f), g = std::fgetc(f), b = std::fgetc(f);
        p = (static_cast<uint32_t>(r) << 16) | (static_cast<uint32_t>(g) << 8) | static_cast<uint32_t>(b);
    }
    std::fclose(f);
    if (argc > 3 && std::strcmp(argv[2], "find") == 0) {
        std::string text = argv[3];
        int tw = static_cast<int>(text.size()) * 8;
        for (int y = 0; y + 16 <= h; ++y)
            for (int x = 0; x + tw <= w; ++x)
                if (text_at(px, w, x, y, text)) {
                    std::printf("%d %d\n", x, y);
                    return 0;
                }
        return 1;
    }
    if (w < 640 || h < 480) return 2;
    int first = 1, last = 30;
    if (argc > 2) first = last = std::atoi(argv[2]);
    const int64_t over = argc > 3 ? std::strtol(argv[3], nullptr, 16) : -1;
    for (int row = first; row <= last; ++row) {
        std::string line;
        for (int col = 0; col < 80; ++col) line += cell_char(px, w, row - 1, col, over);
        std::printf("%s\n", line.c_str());
    }
    return 0;
}
