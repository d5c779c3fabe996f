// The vector kernels' two stages against the scalar step's, over float inputs: atan(r) / deg and
// cos(arg) × strength rounded to single must be the same single for every input, whether the
// margin test trusted the kernel's own value or sent the lane to the scalar step's functions.
#pragma once
#include <cstdint>
#include <cstring>
#include <vector>

#include "app/sim_force_kernel.h"

struct StageGap {
    int64_t checked = 0;    // inputs compared
    int64_t differing = 0;  // results whose bits differ from the scalar step's
    int64_t refused = 0;    // lanes the margin test sent to the scalar step's functions
    uint32_t first_differing = 0;  // bit pattern of the first such input
};

// Float bit patterns first, first + stride, … below last (exclusive) through stage 1 of the
// vector kernel of `isa` (stage 2 with `strength` when `cosine`).
inline StageGap stage_gap(int32_t isa, bool cosine, double strength, uint64_t first, uint64_t last,
                          uint64_t stride) {
    constexpr int64_t kBatch = 1 << 16;
    std::vector<float> in(kBatch), out(kBatch);
    StageGap gap;
    for (uint64_t bits = first; bits < last;) {
        int64_t n = 0;
        for (; n < kBatch && bits < last; ++n, bits += stride) {
            const uint32_t b = static_cast<uint32_t>(bits);
            std::memcpy(&in[n], &b, 4);
        }
        if (cosine)
            sim_force_vector_cosines(isa, in.data(), strength, out.data(), n, &gap.refused);
        else
            sim_force_vector_angles(isa, in.data(), out.data(), n, &gap.refused);
        for (int64_t i = 0; i < n; ++i) {
            const float want = cosine ? sim_force_cosine(in[i], strength)
                                      : sim_force_angle(in[i], kSimForceCheckedDeg);
            ++gap.checked;
            if (std::memcmp(&want, &out[i], 4) != 0 && gap.differing++ == 0)
                std::memcpy(&gap.first_differing, &in[i], 4);
        }
    }
    return gap;
}

inline uint64_t float_bits(float f) {
    uint32_t b;
    std::memcpy(&b, &f, 4);
    return b;
}
