#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>

#include "app/sim_cells.h"
#include "app/sim_force.h"
#include "app/sim_force_kernel.h"
#include "app/sim_state.h"
#include "runtime/text/number_trig.h"
#include "runtime/text/random_timer.h"
#include "simcore/simcore_support.h"

namespace {

int32_t rule_row(int32_t a, int32_t b) { return kSimRowRule + 40 * a + b; }

void set_pos(int s, int p, float x, float y, float z) {
    sim_particles.set(x, s, p, 0);
    sim_particles.set(y, s, p, 1);
    sim_particles.set(z, s, p, 2);
}
float pos(int s, int p, int c) { return sim_particles.get(s, p, c); }

using StepFn = void (*)();

class ForceTest : public ::testing::TestWithParam<StepFn> {
protected:
    void SetUp() override {
        simcore_fresh_state();
        sim_resetting = 1;
        sim_build_cells();
        sim_resetting = 0;
        sim_central_pull = 0;
        sim_displacement = 50;
    }
    void TearDown() override {
        sim_force_set_threads(0);
        simcore_teardown();
    }
    // N species with the given counts and no rules.
    void species(std::initializer_list<float> counts) {
        sim_set_cell(kSimRowSpecies, kSimColValue, static_cast<float>(counts.size()));
        sim_build_cells();
        int i = 0;
        for (float c : counts) sim_set_cell(kSimRowCount + i++, kSimColValue, c);
        sim_sync_species();
    }
    void rule(int a, int b, float v) {
        sim_set_cell(rule_row(a, b), kSimColValue, v);
        sim_sync_species();
    }
    void step() { GetParam()(); }
};

TEST_P(ForceTest, SelfPairAddsSeventyPointSevenTimesStrength) {
    species({1});
    rule(0, 0, -1);
    set_pos(0, 0, 5, -7, 12);
    step();
    // r = 1, alpha = 45, d = 0, g = 100: 100 cos 45 degrees on each axis.
    for (int c = 3; c < 6; ++c) EXPECT_NEAR(pos(0, 0, c), -70.7107f, 1e-3f) << c;
    rule(0, 0, 1);
    step();
    for (int c = 3; c < 6; ++c) EXPECT_NEAR(pos(0, 0, c), 70.7107f, 1e-3f) << c;
    EXPECT_EQ(sim_force_pairs, 1);
}

TEST_P(ForceTest, GainIsCappedBelow25AndFallsWithTheRootOfDistance) {
    species({1, 1});
    rule(0, 1, 1);
    const float expect[][2] = {{16, 100}, {25, 100}, {100, 50}, {400, 25}};
    for (auto& e : expect) {
        set_pos(0, 0, 0, 0, 0);
        set_pos(1, 0, 0, 0, -e[0]);
        step();
        // dz = d: the x part is cos(180 degrees) = -1, so F.x = g.
        EXPECT_NEAR(pos(0, 0, 3), e[1], e[1] * 1e-5f) << "distance " << e[0];
        // The y part sees 0/0 (plus the small terms): 45 degrees.
        EXPECT_NEAR(pos(0, 0, 4), e[1] * 0.70710678f, 1e-3f);
        EXPECT_NEAR(pos(0, 0, 5), 0, 1e-3f);
    }
}

TEST_P(ForceTest, NoRulesAndNoPullMovesNothing) {
    species({4, 3});
    set_pos(0, 0, 10, 20, 30);
    set_pos(1, 2, -5, 6, -7);
    sim_mean_points.set(99, 0, 0);
    step();
    EXPECT_EQ(sim_force_max, 0);
    EXPECT_EQ(pos(0, 0, 0), 10);
    EXPECT_EQ(pos(1, 2, 2), -7);
    for (int s = 0; s < 2; ++s)
        for (int c = 0; c < 3; ++c) EXPECT_EQ(sim_mean_points.get(s, c), 0);
    for (int c = 3; c < 6; ++c) EXPECT_EQ(pos(0, 0, c), 0);
}

TEST_P(ForceTest, CentralPullMovesTenToNine) {
    species({1});
    sim_central_pull = 50;
    set_pos(0, 0, 10, 0, 0);
    step();
    EXPECT_EQ(pos(0, 0, 3), -1000);
    EXPECT_EQ(sim_force_max, 1000);
    EXPECT_EQ(pos(0, 0, 0), 9);
    EXPECT_EQ(pos(0, 0, 1), 0);
    EXPECT_EQ(sim_mean_points.get(0, 0), 9);
    // A negative displacement moves against the force.
    sim_displacement = -50;
    step();
    EXPECT_EQ(pos(0, 0, 0), 10);
}

TEST_P(ForceTest, ClosedCubeKeepsOnlyTheAxisThatWouldLeave) {
    species({1});
    sim_central_pull = -50;  // pushes outwards: F = 100 P
    sim_displacement = 40;   // the largest component (x) moves 0.8
    sim_cube_closed = 1;
    set_pos(0, 0, 49.5f, 10, -20);
    step();
    EXPECT_EQ(pos(0, 0, 0), 49.5f);
    EXPECT_NEAR(pos(0, 0, 1), 10 + 0.8f * 1000 / 4950, 1e-5f);
    EXPECT_NEAR(pos(0, 0, 2), -20 - 0.8f * 2000 / 4950, 1e-5f);
    sim_cube_closed = 0;
    set_pos(0, 0, 49.5f, 10, -20);
    step();
    EXPECT_NEAR(pos(0, 0, 0), 50.3f, 1e-5f);
}

TEST_P(ForceTest, HiddenSpeciesAndSlotsStayWhereTheyAre) {
    species({3, 2, 2});
    sim_central_pull = 50;
    set_pos(2, 1, 30, 30, 30);
    set_pos(0, 5, 40, 40, 40);  // beyond the count
    sim_set_cell(kSimRowSpecies, kSimColValue, 2);
    sim_build_cells();
    sim_sync_species();
    step();
    step();
    EXPECT_EQ(pos(2, 1, 0), 30);
    EXPECT_EQ(pos(0, 5, 2), 40);
    sim_set_cell(kSimRowSpecies, kSimColValue, 3);
    sim_build_cells();
    sim_sync_species();
    step();
    EXPECT_LT(pos(2, 1, 0), 30);
}

TEST_P(ForceTest, CountsBeyondTheTableMove801AndEmptySpeciesMeanIsOrigin) {
    species({1e30f, 0});
    sim_central_pull = 50;
    for (int p = 0; p <= 800; ++p) set_pos(0, p, 10, 10, 10);
    set_pos(1, 0, 5, 5, 5);
    step();
    EXPECT_EQ(pos(0, 800, 0), 9);
    EXPECT_EQ(sim_mean_points.get(0, 0), 9);
    EXPECT_EQ(sim_mean_points.get(1, 0), 0);
    EXPECT_EQ(pos(1, 0, 0), 5);
    EXPECT_EQ(sim_species_count.get(0), 1e30f);
}

INSTANTIATE_TEST_SUITE_P(Both, ForceTest,
                         ::testing::Values(&sim_force_step, &sim_force_step_reference),
                         [](const auto& info) {
                             return info.index == 0 ? std::string("Fast") : std::string("Reference");
                         });

class TrajectoryTest : public ::testing::Test {
protected:
    void SetUp() override {
        simcore_fresh_state();
        sim_resetting = 1;
        sim_build_cells();
        sim_resetting = 0;
    }
    void TearDown() override {
        sim_force_set_threads(0);
        simcore_teardown();
    }
};

TEST_F(TrajectoryTest, PlacementFillsTheCubeForForty240) {
    rnd_reset();
    set_pos(40, 0, 1, 2, 3);
    sim_place_in_cube();
    for (int s : {0, 39})
        for (int p : {0, 239})
            for (int c = 0; c < 3; ++c) {
                EXPECT_GE(pos(s, p, c), -50);
                EXPECT_LT(pos(s, p, c), 50);
            }
    EXPECT_EQ(pos(0, 240, 0), 0);
    EXPECT_EQ(pos(40, 0, 0), 1);
    EXPECT_NE(pos(0, 0, 0), pos(0, 0, 1));
}

// A fixed start: placement from the initial generator state, four species, a rule pattern.
void fixed_start() {
    rnd_reset();
    sim_place_in_cube();
    sim_set_cell(kSimRowSpecies, kSimColValue, 4);
    sim_build_cells();
    const float counts[4] = {20, 15, 10, 5};
    for (int i = 0; i < 4; ++i) sim_set_cell(kSimRowCount + i, kSimColValue, counts[i]);
    for (int a = 0; a < 4; ++a)
        for (int b = 0; b < 4; ++b) sim_set_cell(rule_row(a, b), kSimColValue, ((a * 3 + b) % 3) - 1.0f);
    sim_sync_species();
    sim_central_pull = 50;
    sim_displacement = 50;
    sim_cube_closed = 1;
}

TEST_F(TrajectoryTest, TwoHundredStepsMatchTheStoredFingerprint) {
    fixed_start();
    for (int i = 0; i < 200; ++i) sim_force_step();
    const uint64_t fast = simcore_fingerprint();
    fixed_start();
    for (int i = 0; i < 200; ++i) sim_force_step_reference();
    EXPECT_EQ(simcore_fingerprint(), fast);
    EXPECT_EQ(fast, 0x3dddddad8aca5e2aull) << std::hex << fast;
}

void load_case(std::mt19937& gen, bool odd_values) {
    std::uniform_int_distribution<int> n_dist(1, 10), count_dist(0, 40), rule_dist(-1, 1);
    std::uniform_real_distribution<float> pos_dist(-60, 60);
    int n = n_dist(gen);
    sim_set_cell(kSimRowSpecies, kSimColValue, static_cast<float>(n));
    sim_build_cells();
    for (int i = 0; i < 10; ++i)
        sim_set_cell(kSimRowCount + i, kSimColValue, gen() % 7 == 0 ? 0.0f : count_dist(gen));
    for (int a = 0; a < 10; ++a)
        for (int b = 0; b < 10; ++b) {
            float v = static_cast<float>(rule_dist(gen));
            if (odd_values && gen() % 5 == 0) v = (gen() % 2) ? 0.6f : -3.0f;
            sim_set_cell(rule_row(a, b), kSimColValue, v);
        }
    sim_sync_species();
    for (int s = 0; s < 10; ++s)
        for (int p = 0; p < 41; ++p) set_pos(s, p, pos_dist(gen), pos_dist(gen), pos_dist(gen));
    // Coincident particles: zero separations.
    set_pos(0, 1, sim_particles.get(0, 0, 0), sim_particles.get(0, 0, 1), sim_particles.get(0, 0, 2));
    sim_central_pull = (gen() % 3 == 0) ? 0.0f : static_cast<float>(gen() % 100) - 20;
    sim_displacement = static_cast<float>(gen() % 120) - 10;
    sim_cube_closed = static_cast<float>(gen() % 2);
}

TEST_F(TrajectoryTest, FastStepIsBitIdenticalToTheReference) {
    std::mt19937 gen(12345);
    for (int threads : {1, 2, 5}) {
        sim_force_set_threads(threads);
        for (int round = 0; round < 12; ++round) {
            load_case(gen, round % 3 == 2);
            const auto start = simcore_particle_bits();
            std::vector<uint32_t> ref;
            for (int i = 0; i < 3; ++i) sim_force_step_reference();
            ref = simcore_particle_bits();
            const int64_t ref_pairs = sim_force_pairs;
            std::memcpy(sim_particles.data(), start.data(), 181u * 801u * 6u * 4u);
            for (int i = 0; i < 3; ++i) sim_force_step();
            ASSERT_EQ(simcore_particle_bits(), ref) << "threads " << threads << " round " << round;
            EXPECT_EQ(sim_force_pairs, ref_pairs);
        }
    }
}

TEST_F(TrajectoryTest, ManyThreadsOnALargeSwarm) {
    std::mt19937 gen(7);
    sim_set_cell(kSimRowSpecies, kSimColValue, 10);
    sim_build_cells();
    for (int i = 0; i < 10; ++i) sim_set_cell(kSimRowCount + i, kSimColValue, 60);
    for (int a = 0; a < 10; ++a)
        for (int b = 0; b < 10; ++b) sim_set_cell(rule_row(a, b), kSimColValue, static_cast<float>(static_cast<int>(gen() % 3) - 1));
    sim_sync_species();
    rnd_reset();
    sim_place_in_cube();
    sim_central_pull = 50;
    const auto start = simcore_particle_bits();
    sim_force_step_reference();
    const auto ref = simcore_particle_bits();
    sim_force_set_threads(4);
    std::memcpy(sim_particles.data(), start.data(), 181u * 801u * 6u * 4u);
    sim_force_step();
    EXPECT_EQ(simcore_particle_bits(), ref);
    EXPECT_GT(sim_force_pairs, 4096);
}

// The force step's two stages on the arguments nearest a midpoint between singles: each single
// moves when its double moves by one or two ulps (`moved`, in the direction given), so only
// the correctly rounded double gives it.
TEST(ForceStages, NearTiesGiveTheCorrectlyRoundedSingles) {
    const double deg = 0.017453292f;
    auto bits = [](float f) {
        uint32_t b;
        std::memcpy(&b, &f, 4);
        return b;
    };
    auto moved = [](double d, int ulps) {
        for (int i = 0; i < std::abs(ulps); ++i) d = std::nextafter(d, ulps > 0 ? HUGE_VAL : -HUGE_VAL);
        return d;
    };
    const struct {
        float r;
        uint32_t want;
        int ulps;
    } angles[] = {{2091082.75f, 0x42b3fffd, -2}, {-2091082.75f, 0xc2b3fffd, 2}};
    for (const auto& c : angles) {
        EXPECT_EQ(bits(sim_force_angle(c.r, deg)), c.want) << c.r;
        EXPECT_NE(bits(static_cast<float>(moved(num_atan(c.r), c.ulps) / deg)), c.want) << c.r;
    }
    const struct {
        float arg;
        double strength;
        uint32_t want;
        int ulps;
    } cosines[] = {
        {3.12856054f, 3, 0xc03ffbd4, 1},  {3.12856054f, -3, 0x403ffbd4, 1},
        {3.12856054f, 6, 0xc0bffbd4, 1},  {3.12856054f, -6, 0x40bffbd4, 1},
        {3.25966477f, 3, 0xc03ea9c8, -2}, {3.25966477f, -3, 0x403ea9c8, -2},
        {3.25966477f, 6, 0xc0bea9c8, -2}, {3.25966477f, -6, 0x40bea9c8, -2},
        {7.04241943f, 7, 0x40a27b3e, -2}, {7.04241943f, -7, 0xc0a27b3e, -2},
    };
    for (const auto& c : cosines) {
        EXPECT_EQ(bits(sim_force_cosine(c.arg, c.strength)), c.want) << c.arg << " x " << c.strength;
        EXPECT_NE(bits(static_cast<float>(moved(num_cos(c.arg), c.ulps) * c.strength)), c.want)
            << c.arg << " x " << c.strength;
    }
}

}  // namespace
