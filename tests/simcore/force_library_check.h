// The vector library's arc tangent and cosine against the C library's, over float arguments:
// the largest relative difference met. The vector kernels' rounding check is exact while this
// stays well below its margin (2^-44).
#pragma once
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "app/sim_force_kernel.h"

struct LibraryGap {
    double worst = 0;     // largest relative difference
    int64_t checked = 0;  // arguments compared
    int64_t broken = 0;   // NaN where the C library has none, or the other way, or a sign apart
};

// Float bit patterns first, first + stride, … below last (exclusive) as arguments to atan (cos
// when `cosine`), through the vector kernel of `isa`.
inline LibraryGap library_gap(int32_t isa, bool cosine, uint64_t first, uint64_t last,
                              uint64_t stride) {
    constexpr int64_t kBatch = 1 << 16;
    std::vector<double> in(kBatch), out(kBatch);
    LibraryGap gap;
    for (uint64_t bits = first; bits < last;) {
        int64_t n = 0;
        for (; n < kBatch && bits < last; ++n, bits += stride) {
            const uint32_t b = static_cast<uint32_t>(bits);
            float f;
            std::memcpy(&f, &b, 4);
            in[n] = f;
        }
        if (cosine)
            sim_force_vector_cos(isa, in.data(), out.data(), n);
        else
            sim_force_vector_atan(isa, in.data(), out.data(), n);
        for (int64_t i = 0; i < n; ++i) {
            const double want = cosine ? std::cos(in[i]) : std::atan(in[i]);
            const double got = out[i];
            ++gap.checked;
            if (std::isnan(want) || std::isnan(got)) {
                gap.broken += std::isnan(want) != std::isnan(got);
                continue;
            }
            if (std::signbit(want) != std::signbit(got)) {
                ++gap.broken;
                continue;
            }
            const double rel = want == 0 ? (got == 0 ? 0 : 1) : std::fabs(got - want) / std::fabs(want);
            if (rel > gap.worst) gap.worst = rel;
        }
    }
    return gap;
}

// Bit patterns of the floats in [lo, hi] (both positive).
inline uint64_t float_bits(float f) {
    uint32_t b;
    std::memcpy(&b, &f, 4);
    return b;
}
