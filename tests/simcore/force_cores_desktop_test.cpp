// The force step's threads on the desktop: one per core the program may run on (its affinity).
#include <gtest/gtest.h>
#include <sched.h>

#include <algorithm>

#include "app/sim_force.h"

namespace {

TEST(ForceThreads, OnePerCoreTheProgramMayUse) {
    cpu_set_t all;
    ASSERT_EQ(sched_getaffinity(0, sizeof all, &all), 0);
    sim_force_set_threads(0);
    EXPECT_EQ(sim_force_threads(), std::min(CPU_COUNT(&all), 64));
    if (CPU_COUNT(&all) < 2) GTEST_SKIP() << "one core only";
    cpu_set_t one;
    CPU_ZERO(&one);
    for (int c = 0; c < CPU_SETSIZE; ++c)
        if (CPU_ISSET(c, &all)) {
            CPU_SET(c, &one);
            break;
        }
    ASSERT_EQ(sched_setaffinity(0, sizeof one, &one), 0);
    const int32_t limited = sim_force_threads();
    ASSERT_EQ(sched_setaffinity(0, sizeof all, &all), 0);
    EXPECT_EQ(limited, 1);
}

}  // namespace
