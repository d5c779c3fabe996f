// Nanoseconds a call of the correctly rounded arc tangent, cosine and sine-and-cosine beside the
// C library's, on the arguments each caller gives: the force step's ratios and cosine arguments
// (singles) and the view's deg × angle. "Throughput" calls on independent arguments,
// "Latency" feeds each result into the next argument.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <random>
#include <vector>

#include "runtime/text/number_trig.h"

namespace {

const double kDeg = 0.017453292f;

struct Arguments {
    std::vector<double> ratios, cosines, angles;
    Arguments() {
        std::mt19937 gen(5);
        std::uniform_real_distribution<float> pos(-60, 60), beta(0, 360);
        for (int i = 0; i < 4096; ++i) {
            const float dx = pos(gen), dz = pos(gen);
            const float r = static_cast<float>((dx + 1e-7) / (dz + 1e-7));
            float a = static_cast<float>(std::atan(static_cast<double>(r)) / kDeg);
            if (dz < 0) a = static_cast<float>(a + 180.0);
            if (a < 0) a = static_cast<float>(a + 360.0);
            ratios.push_back(r);
            cosines.push_back(static_cast<float>(kDeg * (a + 180.0)));
            angles.push_back(kDeg * beta(gen));
        }
    }
};
const Arguments& arguments() {
    static const Arguments a;
    return a;
}

// Nanoseconds a call, of the whole run.
template <typename Body>
void timed(benchmark::State& state, size_t calls, Body body) {
    const auto t0 = std::chrono::steady_clock::now();
    for (auto _ : state) body();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    state.counters["ns_per_call"] = seconds * 1e9 / static_cast<double>(state.iterations() * calls);
}

template <typename F>
void throughput(benchmark::State& state, const std::vector<double>& xs, F f) {
    double sum = 0;
    timed(state, xs.size(), [&] {
        for (double x : xs) sum += f(x);
    });
    benchmark::DoNotOptimize(sum);
}

// Each argument moved by the last result times 2^-80: the calls wait for each other.
template <typename F>
void latency(benchmark::State& state, const std::vector<double>& xs, F f) {
    double last = 0;
    timed(state, xs.size(), [&] {
        for (double x : xs) last = f(x + last * 0x1p-80);
    });
    benchmark::DoNotOptimize(last);
}

double lib_sin_cos(double x) { return std::sin(x) + std::cos(x); }
double own_sin_cos(double x) {
    double s, c;
    num_sin_cos(x, s, c);
    return s + c;
}

void BM_AtanOwn(benchmark::State& s) { throughput(s, arguments().ratios, num_atan); }
void BM_AtanLibrary(benchmark::State& s) { throughput(s, arguments().ratios, [](double x) { return std::atan(x); }); }
void BM_CosOwn(benchmark::State& s) { throughput(s, arguments().cosines, num_cos); }
void BM_CosLibrary(benchmark::State& s) { throughput(s, arguments().cosines, [](double x) { return std::cos(x); }); }
void BM_SinCosOwn(benchmark::State& s) { throughput(s, arguments().angles, own_sin_cos); }
void BM_SinCosLibrary(benchmark::State& s) { throughput(s, arguments().angles, lib_sin_cos); }
void BM_AtanOwnLatency(benchmark::State& s) { latency(s, arguments().ratios, num_atan); }
void BM_AtanLibraryLatency(benchmark::State& s) { latency(s, arguments().ratios, [](double x) { return std::atan(x); }); }
void BM_CosOwnLatency(benchmark::State& s) { latency(s, arguments().cosines, num_cos); }
void BM_CosLibraryLatency(benchmark::State& s) { latency(s, arguments().cosines, [](double x) { return std::cos(x); }); }

}  // namespace

BENCHMARK(BM_AtanOwn);
BENCHMARK(BM_AtanLibrary);
BENCHMARK(BM_CosOwn);
BENCHMARK(BM_CosLibrary);
BENCHMARK(BM_SinCosOwn);
BENCHMARK(BM_SinCosLibrary);
BENCHMARK(BM_AtanOwnLatency);
BENCHMARK(BM_AtanLibraryLatency);
BENCHMARK(BM_CosOwnLatency);
BENCHMARK(BM_CosLibraryLatency);

BENCHMARK_MAIN();
