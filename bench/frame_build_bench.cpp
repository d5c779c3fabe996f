// Frame builder cost for the 640 x 480, 16-colour page the simulation shows every frame.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>

#include "runtime/core/run_state.h"
#include "runtime/display/display.h"
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

using Clock = std::chrono::steady_clock;

void report(benchmark::State& state, Clock::time_point start) {
    double ns = std::chrono::duration<double, std::nano>(Clock::now() - start).count();
    double n = static_cast<double>(state.iterations());
    state.SetItemsProcessed(state.iterations());
    state.counters["frames_per_s"] = benchmark::Counter(n, benchmark::Counter::kIsRate);
    state.counters["ns_per_frame"] = n > 0 ? ns / n : 0;
    state.SetLabel("mode 12, 640x480, 4 bits per pixel");
}

void BM_FrameBuildChanged(benchmark::State& state) {
    set_up_mode12();
    ImageSurface* page = gfx_images.display_page;
    uint8_t v = 0;
    Clock::time_point start = Clock::now();
    for (auto _ : state) {
        page->pixels[(v * 4099) % (640 * 480)] ^= 1;  // one pixel differs: a full conversion
        ++v;
        disp_build_frame();
    }
    report(state, start);
}
BENCHMARK(BM_FrameBuildChanged);

void BM_FrameBuildUnchanged(benchmark::State& state) {
    set_up_mode12();
    disp_build_frame();
    Clock::time_point start = Clock::now();
    for (auto _ : state) disp_build_frame();  // one comparison, no conversion
    report(state, start);
}
BENCHMARK(BM_FrameBuildUnchanged);

}  // namespace

BENCHMARK_MAIN();
