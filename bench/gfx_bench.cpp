// Text, line and clear throughput on a mode 12 page.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "runtime/core/error.h"
#include "runtime/gfx/draw.h"
#include "runtime/gfx/image.h"
#include "runtime/gfx/text_output.h"
#include "runtime/text/string_value.h"

namespace {

void setup_mode12() {
    static bool ready = false;
    if (!ready) {
        sv_init();
        gfx_init();
        gfx_init_screen();
        ready = true;
    }
    frame_error = ErrorState{};
    gfx_screen(12, 0, 0, 1, 0, 13);
}

// 8x16 glyphs: a full 80-column line per print, 29 lines then a scroll.
void BM_PrintCharacters(benchmark::State& state) {
    setup_mode12();
    StringValue* line = sv_new(80, 0);
    for (int i = 0; i < 80; i++) line->data[i] = static_cast<uint8_t>(33 + i);
    int64_t chars = 0;
    for (auto _ : state) {
        txt_locate(1, 1, 0, 0, 0, 3);
        for (int row = 0; row < 29; row++) {
            txt_print(line, 1);
            chars += 80;
        }
        benchmark::ClobberMemory();
    }
    state.counters["chars_per_s"] = benchmark::Counter(static_cast<double>(chars), benchmark::Counter::kIsRate);
    state.SetLabel("mode 12, font 8x16, 29 lines of 80 with one scroll");
    sv_free(line);
}
BENCHMARK(BM_PrintCharacters);

// Lines in every direction across the page, as the particle view draws them.
void BM_LinePixels(benchmark::State& state) {
    setup_mode12();
    int64_t pixels = 0;
    int i = 0;
    for (auto _ : state) {
        float a = static_cast<float>(i % 640), b = static_cast<float>((i * 7) % 480);
        gfx_line(a, 0, 639 - a, 479, 9, 0, 0, 9);
        gfx_line(0, b, 639, 479 - b, 10, 0, 0, 9);
        int32_t da = std::abs(static_cast<int32_t>(639 - 2 * a)), db = std::abs(static_cast<int32_t>(479 - 2 * b));
        pixels += (da > 479 ? da : 479) + 1;
        pixels += (db > 639 ? db : 639) + 1;
        i++;
        benchmark::ClobberMemory();
    }
    state.counters["pixels_per_s"] = benchmark::Counter(static_cast<double>(pixels), benchmark::Counter::kIsRate);
    state.SetLabel("mode 12, unstyled, clipped to the page");
}
BENCHMARK(BM_LinePixels);

void BM_ClearPage(benchmark::State& state) {
    setup_mode12();
    for (auto _ : state) {
        txt_cls(0, 0, 0);
        benchmark::ClobberMemory();
    }
    state.counters["clears_per_s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["bytes_per_s"] = benchmark::Counter(307200.0 * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.SetLabel("mode 12, 640x480 one byte per pixel");
}
BENCHMARK(BM_ClearPage);

}  // namespace

BENCHMARK_MAIN();
