#include "gfx_support.h"

#include "runtime/core/error.h"
#include "runtime/core/run_state.h"
#include "runtime/gfx/text_output.h"

void GfxTest::SetUp() {
    frame_error = ErrorState{};
    frame_run.housekeeping_running.store(0);
    sv_init();
    gfx_init();
    gfx_init_screen();
}

void GfxTest::TearDown() { frame_error = ErrorState{}; }

void GfxTest::mode12(int32_t p) { gfx_screen(12, 0, p, p ^ 1, 0, 13); }

int64_t GfxTest::count(uint8_t colour) {
    int64_t n = 0;
    const ImageSurface* w = wp();
    for (size_t i = 0; i < static_cast<size_t>(w->width) * w->height; i++) n += w->pixels[i] == colour;
    return n;
}

int64_t GfxTest::count_not(uint8_t colour) {
    return static_cast<int64_t>(wp()->width) * wp()->height - count(colour);
}

void GfxTest::clear_error() { frame_error.error_number = 0; }

void GfxTest::print(const std::string& text, int32_t end_line) {
    // Literal bytes live as long as the test string; the temporary is consumed by the print.
    static std::string keep[64];
    static int next = 0;
    std::string& slot = keep[next++ & 63];
    slot = text;
    txt_print(sv_new_text_len(slot.data(), static_cast<int32_t>(slot.size())), end_line);
}

uint64_t gfx_fnv1a(const uint8_t* data, size_t n) {
    uint64_t h = 14695981039346656037ull;
    for (size_t i = 0; i < n; i++) {
        h ^= data[i];
        h *= 1099511628211ull;
    }
    return h;
}
