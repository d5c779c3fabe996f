// A panel-like mode 12 page rendered end to end and compared by checksum.
// Set KAVARO_GFX_DUMP=1 to also write it as gfx_golden.ppm beside the test program.
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "gfx_support.h"
#include "runtime/gfx/draw.h"
#include "runtime/gfx/text_output.h"

namespace {

using GoldenTest = GfxTest;

void item(int32_t row, int32_t column, uint32_t colour, const std::string& text, int32_t end_line = 1) {
    txt_color(colour, 0, 0, 1);
    txt_locate(row, column, 0, 0, 0, 3);
    StringValue* s = sv_new_text_len(text.data(), static_cast<int32_t>(text.size()));
    txt_make_fit(s);
    txt_print(s, 0);
    if (end_line) txt_print(sv_empty(), 1);
}

void render_panel() {
    gfx_screen(12, 0, 0, 1, 0, 13);
    txt_cls(0, 0, 0);
    item(1, 1, 14, "kozepponti vonzas: 50 ");
    item(2, 1, 11, "elmozdulas: .25 ");
    item(3, 1, 15, "reszecskek: 4000 ");
    item(4, 1, 8, "kocka: be ");
    item(5, 1, 10, "\x03 \xC4\xC4\xC4 \xDB szinek");
    for (int i = 0; i < 16; i++) item(7 + i / 8, 1 + (i % 8) * 10, static_cast<uint32_t>(i), "szin " + std::to_string(i));
    item(30, 60, 12, "utolso sor", 0);  // a line end here would scroll rows 1..29
    gfx_line(0, 150, 639, 150, 7, 0, 0, 9);
    gfx_line(200, 200, 600, 440, 9, 0, 0, 9);
    gfx_line(200, 440, 600, 200, 13, 0, 0xF0F0, 25);
    gfx_line(150, 180, 630, 460, 3, 1, 0, 9);
    gfx_line(20, 400, 60, 440, 4, 2, 0, 9);
    gfx_circle(400, 320, 100, 0, 0, 0, 0, 0);
    gfx_circle(400, 320, 60, 12, 0.5, -2.5, 0, 2 | 4 | 8);
    for (int i = 0; i < 64; i++) gfx_pset(static_cast<float>(20 + i * 2), 470, static_cast<uint32_t>(i), 2);
}

void dump_ppm(const ImageSurface* page) {
    char exe[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0) return;
    exe[n] = 0;
    std::string path(exe);
    path = path.substr(0, path.rfind('/') + 1) + "gfx_golden.ppm";
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return;
    std::fprintf(f, "P6\n%d %d\n255\n", page->width, page->height);
    for (int i = 0; i < page->width * page->height; i++) {
        uint32_t c = page->palette[page->pixels[i]];
        unsigned char rgb[3] = {static_cast<unsigned char>(c >> 16), static_cast<unsigned char>(c >> 8),
                                static_cast<unsigned char>(c)};
        std::fwrite(rgb, 1, 3, f);
    }
    std::fclose(f);
    std::printf("page written to %s\n", path.c_str());
}

TEST_F(GoldenTest, PanelPageChecksum) {
    render_panel();
    ASSERT_EQ(error(), 0u);
    const ImageSurface* page = wp();
    ASSERT_EQ(page->width * page->height, 307200);
    if (const char* dump = std::getenv("KAVARO_GFX_DUMP"); dump && *dump) dump_ppm(page);
    uint64_t sum = gfx_fnv1a(page->pixels, 307200);
    EXPECT_EQ(sum, 0x66202b341fc7979aull) << std::hex << sum;
}

}  // namespace
