// What recording costs the running program: the simulation's frames per second on the program
// thread, with the frame builder every 32 ms and a presenter every 16 ms beside it (as the
// housekeeping and main threads run them), without and with a recording of every new frame.
// Also the presenter's own cost of handing a frame to the recorder, and with --all-frames the
// frames written per second, into numbered PNGs or each kind of video file, against the
// program's frames per second without recording.
#include <benchmark/benchmark.h>

#include <fcntl.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "app/sim_cells.h"
#include "bench_swarm.h"
#include "app/sim_force.h"
#include "app/sim_main.h"
#include "app/sim_menu.h"
#include "app/sim_state.h"
#include "app/sim_view.h"
#include "runtime/core/platform.h"
#include "runtime/display/display.h"
#include "runtime/frame/restart.h"
#include "runtime/frame/startup.h"
#include "runtime/gfx/image.h"
#include "runtime/input/input.h"
#include "runtime/record/record.h"

namespace {

void set_up(int total) {
    // Three species, more when a species would hold more than its 801 slots.
    bench_start_swarm(total, std::max(3, (total + 799) / 800));
    disp_reset_frames();
}

std::string g_dir;

// The housekeeping thread's builds and the main thread's presentations, at their rates.
struct Beside {
    std::atomic<bool> stop{false};
    std::atomic<int64_t> shown{0};
    std::thread builder, presenter;
    void start() {
        builder = std::thread([this] {
            while (!stop.load()) {
                disp_build_frame();
                frame_sleep_ms(32);
            }
        });
        presenter = std::thread([this] {
            while (!stop.load()) {
                PresentDecision d = disp_present_choose();
                if (d.slot >= 0) record_presented(disp_slots[d.slot], d.draw && d.upload);
                if (d.draw && d.upload) shown.fetch_add(1);
                frame_sleep_ms(16);
            }
        });
    }
    void end() {
        stop.store(true);
        builder.join();
        presenter.join();
    }
};

const char* const kKindNames[] = {"PNG folder", "GIF", "WebM", "MP4"};

// A recording into a new temporary folder, as numbered PNGs or one video file there.
void start_recording(bool all_frames, RecordKind kind = RECORD_FOLDER) {
    char t[] = "/tmp/kavaro-record-bench-XXXXXX";
    g_dir = mkdtemp(t);
    RecordSettings s;
    s.kind = kind;
    if (kind == RECORD_FOLDER) s.dir = g_dir;
    else s.video = s.video_asked = g_dir + "/bench." + (kind == RECORD_GIF ? "gif" : kind == RECORD_WEBM ? "webm" : "mp4");
    s.all_frames = all_frames;
    record_start(s, stderr);
}

// Lets the writer finish (at most `wait_ms`; `finished` is then), counts what it wrote and
// dropped, removes the folder.
RecordCounts end_recording(benchmark::State& state, int32_t wait_ms,
                           std::chrono::steady_clock::time_point* finished = nullptr) {
    FILE* quiet = std::fopen("/dev/null", "w");
    record_finish(wait_ms, quiet);
    if (finished) *finished = std::chrono::steady_clock::now();
    std::fclose(quiet);
    RecordCounts c = record_counts();
    state.counters["written"] = static_cast<double>(c.written);
    state.counters["dropped"] = static_cast<double>(c.dropped);
    record_reset();
    std::error_code ignored;
    std::filesystem::remove_all(g_dir, ignored);
    return c;
}

void BM_ProgramFramesWhilePresenting(benchmark::State& state) {
    const bool record = state.range(1) != 0;
    set_up(static_cast<int>(state.range(0)));
    if (record) start_recording(false);
    Beside beside;
    beside.start();
    auto start = std::chrono::steady_clock::now();
    for (auto _ : state) sim_frame();
    double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    beside.end();
    state.counters["program_fps"] = static_cast<double>(state.iterations()) / secs;
    state.counters["presented_fps"] = static_cast<double>(beside.shown.load()) / secs;
    if (record) end_recording(state, 5000);
    state.counters["force_threads"] = sim_force_threads();
    state.SetLabel(record ? "recording every new frame" : "not recording");
}
BENCHMARK(BM_ProgramFramesWhilePresenting)
    ->Args({1000, 0})
    ->Args({1000, 1})
    ->Args({100, 0})
    ->Args({100, 1})
    ->MinTime(4.0)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// --all-frames: every page the program shows is written, the program waiting for the writer
// when its queue is full. Frames written per second (the last one on the disk) against the
// program's frames per second without recording; both with the builder and presenter beside.
// The second argument: 0 not recording, 1 the PNG folder, 2 GIF, 3 WebM, 4 MP4.
void BM_EveryFrameWritten(benchmark::State& state) {
    const bool record = state.range(1) != 0;
    const auto kind = static_cast<RecordKind>(std::max<int64_t>(0, state.range(1) - 1));
    set_up(static_cast<int>(state.range(0)));
    if (record) start_recording(true, kind);
    Beside beside;
    beside.start();
    auto start = std::chrono::steady_clock::now();
    for (auto _ : state) sim_frame();
    double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.counters["program_fps"] = static_cast<double>(state.iterations()) / secs;
    if (record) {
        auto finished = start;
        const RecordCounts c = end_recording(state, 30000, &finished);
        secs = std::chrono::duration<double>(finished - start).count();
        state.counters["written_fps"] = static_cast<double>(c.written) / secs;
    }
    beside.end();
    state.counters["particles"] = sim_particle_total;
    state.counters["force_threads"] = sim_force_threads();
    state.SetLabel(record ? std::string("every frame written: ") + kKindNames[kind] : "not recording");
}
BENCHMARK(BM_EveryFrameWritten)
    ->Args({1000, 0})
    ->Args({1000, 1})
    ->Args({1000, 2})
    ->Args({1000, 3})
    ->Args({1000, 4})
    ->Args({4000, 0})
    ->Args({4000, 1})
    ->MinTime(4.0)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The presenter's part: one new 640x480 frame copied into a free queue slot (the writer is
// given time to empty the queue between the timed hand-overs).
void BM_PresenterHandsOverAFrame(benchmark::State& state) {
    char t[] = "/tmp/kavaro-record-bench-XXXXXX";
    g_dir = mkdtemp(t);
    RecordSettings s;
    s.dir = g_dir;
    record_start(s, stderr);
    static FrameSlot slot;
    static uint8_t indices[640 * 480];
    for (size_t i = 0; i < sizeof indices; ++i) indices[i] = static_cast<uint8_t>(i / 640 % 16);
    slot.width = 640;
    slot.height = 480;
    slot.indices = indices;
    slot.palette_n = 16;
    slot.graphics_flips = 3;
    int64_t handed = 0;
    for (auto _ : state) {
        record_presented(slot, true);
        ++handed;
        state.PauseTiming();
        while (record_counts().written < handed) frame_sleep_ms(1);
        state.ResumeTiming();
    }
    FILE* quiet = std::fopen("/dev/null", "w");
    record_finish(5000, quiet);
    std::fclose(quiet);
    state.counters["dropped"] = static_cast<double>(record_counts().dropped);
    record_reset();
    std::error_code ignored;
    std::filesystem::remove_all(g_dir, ignored);
}
BENCHMARK(BM_PresenterHandsOverAFrame)->Unit(benchmark::kMicrosecond)->Iterations(200);

// The writer's part: one frame of the running swarm encoded (on the writer's thread), as a PNG
// or into a video file of each kind (written to /dev/null); the swarm moves on untimed between.
void BM_WriterEncodesAFrame(benchmark::State& state) {
    const auto kind = static_cast<RecordKind>(state.range(0));
    set_up(1000);
    for (int i = 0; i < 5; ++i) sim_frame();
    std::vector<uint8_t> png;
    std::string why;
    RecordVideo* video = nullptr;
    if (kind != RECORD_FOLDER) {
        video = record_video_open(open("/dev/null", O_WRONLY | O_CLOEXEC), kind, 640, 480, 30, true, why);
        if (!video) return state.SkipWithError(why.c_str());
    }
    int64_t n = 0;
    for (auto _ : state) {
        state.PauseTiming();
        sim_frame();
        state.ResumeTiming();
        const ImageSurface* page = gfx_images.display_page;
        if (video) record_video_frame(video, page->pixels, page->palette, 16, n++, why);
        else record_png_encode(page->pixels, page->width, page->height, page->palette, 16, png);
    }
    double seconds = 0;
    if (video) record_video_close(video, seconds, why);
    else state.counters["png_bytes"] = static_cast<double>(png.size());
    state.counters["frames_per_s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.SetLabel(kKindNames[kind]);
}
BENCHMARK(BM_WriterEncodesAFrame)->DenseRange(0, 3)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
