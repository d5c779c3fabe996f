// Both stages of the vector kernels over every input they can receive, against the scalar step's
// results (num_atan, num_cos): every float ratio r to atan(r) / deg, and every float cosine
// argument the step can meet (2 … 10) to cos × strength for the strengths a rule can name.
// Minutes; not in the default run.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <thread>
#include <vector>

#include "app/sim_force.h"
#include "simcore/force_library_check.h"

namespace {

// The inputs in pieces over every core.
StageGap gap_on_all_cores(int32_t isa, bool cosine, double strength, uint64_t first, uint64_t last) {
    const uint64_t threads = std::max(1u, std::thread::hardware_concurrency());
    std::vector<StageGap> parts(threads);
    std::vector<std::thread> pool;
    const uint64_t step = (last - first + threads - 1) / threads;
    for (uint64_t t = 0; t < threads; ++t)
        pool.emplace_back([&, t] {
            const uint64_t a = first + t * step;
            const uint64_t b = std::min(last, a + step);
            if (a < b) parts[t] = stage_gap(isa, cosine, strength, a, b, 1);
        });
    for (auto& th : pool) th.join();
    StageGap all;
    for (const auto& p : parts) {
        if (all.differing == 0) all.first_differing = p.first_differing;
        all.checked += p.checked;
        all.differing += p.differing;
        all.refused += p.refused;
    }
    return all;
}

TEST(ForceLibraryEverywhere, EveryInputOfBothStagesGivesTheScalarSingle) {
    const struct {
        const char* what;
        bool cosine;
        double strength;
        uint64_t first, last;
    } ranges[] = {
        {"angle, every float", false, 0, 0, uint64_t{1} << 32},
        // The step's cosine arguments lie in pi … 3 pi; a strength is a digit with a sign.
        {"cosine x 1, 2 ... 10", true, 1, float_bits(2), float_bits(10) + 1},
        {"cosine x -3, 2 ... 10", true, -3, float_bits(2), float_bits(10) + 1},
        {"cosine x 7, 2 ... 10", true, 7, float_bits(2), float_bits(10) + 1},
        {"cosine x -9, 2 ... 10", true, -9, float_bits(2), float_bits(10) + 1},
    };
    int runs = 0;
    for (SimForceIsa isa : {SimForceIsa::kAvx2, SimForceIsa::kAvx512, SimForceIsa::kSimd128}) {
        if (isa > sim_force_isa_best() || !sim_force_vector_kernel(static_cast<int32_t>(isa), SimForceTrial::kExact)) {
            std::printf("%s: not run on this processor\n", sim_force_isa_name(isa));
            continue;
        }
        ++runs;
        for (const auto& r : ranges) {
            const StageGap gap =
                gap_on_all_cores(static_cast<int32_t>(isa), r.cosine, r.strength, r.first, r.last);
            EXPECT_EQ(gap.differing, 0) << r.what << ", first at bits " << std::hex << gap.first_differing;
            EXPECT_EQ(gap.checked, static_cast<int64_t>(r.last - r.first)) << r.what;
            std::printf("%s %s: %lld inputs, %lld differing, %lld refused by the margin test\n",
                        sim_force_isa_name(isa), r.what, static_cast<long long>(gap.checked),
                        static_cast<long long>(gap.differing), static_cast<long long>(gap.refused));
        }
    }
    if (runs == 0) GTEST_SKIP() << "no vector unit";
}

}  // namespace
