// Every float argument of the arc tangent, and every cosine argument the force step can meet,
// through the vector library against the C library. Minutes; not in the default run.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <thread>
#include <vector>

#include "app/sim_force.h"
#include "simcore/force_library_check.h"

namespace {

// The arguments in pieces over every core.
LibraryGap gap_on_all_cores(int32_t isa, bool cosine, uint64_t first, uint64_t last) {
    const uint64_t threads = std::max(1u, std::thread::hardware_concurrency());
    std::vector<LibraryGap> parts(threads);
    std::vector<std::thread> pool;
    const uint64_t step = (last - first + threads - 1) / threads;
    for (uint64_t t = 0; t < threads; ++t)
        pool.emplace_back([&, t] {
            const uint64_t a = first + t * step;
            const uint64_t b = std::min(last, a + step);
            if (a < b) parts[t] = library_gap(isa, cosine, a, b, 1);
        });
    for (auto& th : pool) th.join();
    LibraryGap all;
    for (const auto& p : parts) {
        all.worst = std::max(all.worst, p.worst);
        all.checked += p.checked;
        all.broken += p.broken;
    }
    return all;
}

TEST(ForceLibraryEverywhere, EveryArgumentStaysFarInsideTheMargin) {
    const struct {
        const char* what;
        bool cosine;
        uint64_t first, last;
    } ranges[] = {
        {"atan, every float", false, 0, uint64_t{1} << 32},
        // The step's cosine arguments lie in pi ... 3 pi.
        {"cos, 2 ... 10", true, float_bits(2), float_bits(10) + 1},
    };
    int runs = 0;
    for (SimForceIsa isa : {SimForceIsa::kAvx2, SimForceIsa::kAvx512}) {
        if (isa > sim_force_isa_best()) continue;
        ++runs;
        for (const auto& r : ranges) {
            const LibraryGap gap = gap_on_all_cores(static_cast<int32_t>(isa), r.cosine, r.first, r.last);
            EXPECT_EQ(gap.broken, 0) << r.what;
            EXPECT_LT(gap.worst, 0x1p-47) << r.what;
            EXPECT_EQ(gap.checked, static_cast<int64_t>(r.last - r.first)) << r.what;
            std::printf("%s %s: %lld arguments, largest relative gap %.3g (2^%.1f)\n",
                        sim_force_isa_name(isa), r.what, static_cast<long long>(gap.checked),
                        gap.worst, gap.worst > 0 ? std::log2(gap.worst) : -1074.0);
        }
    }
    if (runs == 0) GTEST_SKIP() << "no vector unit";
}

}  // namespace
