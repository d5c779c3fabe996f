// Frame builder cost for the 640 x 480, 16-colour page the simulation shows every frame.
#include <benchmark/benchmark.h>

#include <cstring>

#include "runtime/display/display.h"
#include "runtime/frame/run_state.h"
#include "runtime/gfx/image.h"
#include "runtime/text/string_value.h"

namespace {

void set_up_mode12() {
    frame_run_reset();
    sv_init();
    gfx_init();
    gfx_init_screen();
    gfx_screen(12, 0, 0, 1, 0, 13);
    disp_reset_frames();
    ImageSurface* page = gfx_images.display_page;
    // A busy picture: every colour somewhere.
    for (size_t i = 0; i < static_cast<size_t>(page->width) * page->height; ++i)
        page->pixels[i] = static_cast<uint8_t>((i * 7 + i / 640) & 15);
}

void report(benchmark::State& state) {
    state.SetItemsProcessed(state.iterations());
    state.counters["frames_per_s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    // time / (1e-9 x iterations): nanoseconds per frame.
    state.counters["ns_per_frame"] = benchmark::Counter(
        1e-9, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.SetLabel("mode 12, 640x480, 4 bits per pixel");
}

void BM_FrameBuildChanged(benchmark::State& state) {
    set_up_mode12();
    ImageSurface* page = gfx_images.display_page;
    uint8_t v = 0;
    for (auto _ : state) {
        page->pixels[(v * 4099) % (640 * 480)] ^= 1;  // one pixel differs: a full conversion
        ++v;
        disp_build_frame();
    }
    report(state);
}
BENCHMARK(BM_FrameBuildChanged);

void BM_FrameBuildUnchanged(benchmark::State& state) {
    set_up_mode12();
    disp_build_frame();
    for (auto _ : state) disp_build_frame();  // one comparison, no conversion
    report(state);
}
BENCHMARK(BM_FrameBuildUnchanged);

}  // namespace

BENCHMARK_MAIN();
