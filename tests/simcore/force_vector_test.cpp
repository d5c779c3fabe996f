// Pass 1 on every instruction set the processor runs, against the straightforward step, bit for
// bit: random and hostile swarms, the choice of the instruction set, the rounding check.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>

#include "app/sim_cells.h"
#include "app/sim_force.h"
#include "app/sim_force_kernel.h"
#include "app/sim_state.h"
#include "runtime/text/number_trig.h"
#include "simcore/force_library_check.h"
#include "simcore/simcore_support.h"

namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();
const float kNaN = std::numeric_limits<float>::quiet_NaN();

int32_t rule_row(int32_t a, int32_t b) { return kSimRowRule + 40 * a + b; }

void set_pos(int s, int p, const float v[3]) {
    for (int c = 0; c < 3; ++c) sim_particles.set(v[c], s, p, c);
}

const SimForceIsa kIsas[] = {SimForceIsa::kScalar, SimForceIsa::kAvx2, SimForceIsa::kAvx512,
                             SimForceIsa::kSimd128};
const SimForceIsa kVectorIsas[] = {SimForceIsa::kAvx2, SimForceIsa::kAvx512, SimForceIsa::kSimd128};

// Built for this platform, and run by this processor.
bool runs(SimForceIsa isa) {
    return isa == SimForceIsa::kScalar ||
           (isa <= sim_force_isa_best() && sim_force_vector_kernel(static_cast<int32_t>(isa), SimForceTrial::kExact));
}

// One swarm: species counts (10 species) and where particle p of species s goes; with a lone
// object, every rule names that species only and there is no central pull, so each force is a
// single pair (where one ulp shows, unhidden by a sum).
struct Swarm {
    const char* name;
    float counts[10];
    void (*place)(std::mt19937& gen, int s, int p, float v[3]);
    int lone_object = -1;
};

float uniform(std::mt19937& gen, float lo, float hi) {
    return std::uniform_real_distribution<float>(lo, hi)(gen);
}

const Swarm kSwarms[] = {
    {"Random", {13, 40, 7, 1, 0, 29, 8, 16, 5, 3},
     [](std::mt19937& gen, int, int, float v[3]) {
         for (int c = 0; c < 3; ++c) v[c] = uniform(gen, -60, 60);
     }},
    {"Coincident", {9, 12, 3, 0, 17, 1, 2, 4, 6, 10},
     [](std::mt19937& gen, int, int, float v[3]) {
         static const float points[3][3] = {{1, 2, 3}, {-7.5f, 0, 0}, {0, 0, 0}};
         const int k = static_cast<int>(gen() % 3);
         for (int c = 0; c < 3; ++c) v[c] = points[k][c];
     }},
    {"TenMillionthsApart", {11, 5, 21, 3, 9, 0, 7, 1, 15, 2},
     [](std::mt19937& gen, int, int p, float v[3]) {
         // Near 0.7 a single's step is 6e-8, near 0 far less.
         const float base = gen() % 2 ? 0.7f : 0.0f;
         for (int c = 0; c < 3; ++c)
             v[c] = base + static_cast<float>((p * (c + 1) + static_cast<int>(gen() % 3)) % 7) * 1e-7f;
     }},
    {"HugeAndTiny", {10, 10, 10, 3, 3, 0, 0, 5, 5, 1},
     [](std::mt19937& gen, int, int, float v[3]) {
         static const float sizes[] = {1e-45f, 1e-38f, 1e-20f, 1e-7f, 1e20f, 1e30f, 1e38f, 3.4e38f};
         for (int c = 0; c < 3; ++c)
             v[c] = sizes[gen() % 8] * (gen() % 2 ? 1.0f : -1.0f);
     }},
    {"Escaped", {14, 6, 9, 0, 3, 8, 1, 2, 0, 5},
     [](std::mt19937& gen, int, int, float v[3]) {
         const float odd[] = {kInf, -kInf, kNaN, -kNaN, 1e38f};
         for (int c = 0; c < 3; ++c)
             v[c] = gen() % 6 == 0 ? odd[gen() % 5] : uniform(gen, -50, 50);
     }},
    {"OnePairEach", {41, 41, 41, 41, 41, 41, 41, 41, 41, 1},
     [](std::mt19937& gen, int, int, float v[3]) {
         for (int c = 0; c < 3; ++c) v[c] = uniform(gen, -60, 60);
     },
     9},
};

class ForceFixture : public ::testing::Test {
protected:
    void SetUp() override {
        simcore_fresh_state();
        sim_resetting = 1;
        sim_build_cells();
        sim_resetting = 0;
    }
    void TearDown() override {
        sim_force_set_threads(0);
        sim_force_set_isa(sim_force_isa_at_start());
        sim_force_set_trial(SimForceTrial::kExact);
        simcore_teardown();
    }
};
class ForceVectorTest : public ForceFixture, public ::testing::WithParamInterface<Swarm> {};

// Ten species with the swarm's counts and positions, rules of every kind including towards
// the species itself.
void load(const Swarm& w, uint32_t seed) {
    std::mt19937 gen(seed);
    sim_set_cell(kSimRowSpecies, kSimColValue, 10);
    sim_build_cells();
    for (int i = 0; i < 10; ++i) sim_set_cell(kSimRowCount + i, kSimColValue, w.counts[i]);
    for (int a = 0; a < 10; ++a)
        for (int b = 0; b < 10; ++b)
            sim_set_cell(rule_row(a, b), kSimColValue,
                         w.lone_object >= 0 && b != w.lone_object
                             ? 0.0f
                             : static_cast<float>(w.lone_object >= 0 ? 1 - 2 * static_cast<int>(gen() % 2)
                                                                     : static_cast<int>(gen() % 3) - 1));
    sim_sync_species();
    for (int s = 0; s < 10; ++s)
        for (int p = 0; p < 41; ++p) {
            float v[3];
            w.place(gen, s, p, v);
            set_pos(s, p, v);
        }
    sim_central_pull = w.lone_object >= 0 ? 0 : 50;
    sim_displacement = 50;
    sim_cube_closed = static_cast<float>(seed % 2);
}

struct Result {
    std::vector<uint32_t> bits;
    float force_max;
    int64_t pairs;
};

Result steps(void (*step)(), int n) {
    for (int i = 0; i < n; ++i) step();
    return {simcore_particle_bits(), sim_force_max, sim_force_pairs};
}

void restore(const std::vector<float>& start) {
    std::memcpy(sim_particles.data(), start.data(), start.size() * sizeof(float));
}

std::vector<float> snapshot() {
    const float* p = sim_particles.data();
    return std::vector<float>(p, p + 181u * 801u * 6u);
}

void expect_same(const Result& got, const Result& want, const std::string& what) {
    ASSERT_EQ(got.bits.size(), want.bits.size());
    size_t first = 0;
    while (first < got.bits.size() && got.bits[first] == want.bits[first]) ++first;
    EXPECT_EQ(first, got.bits.size()) << what << ": first difference at value " << first << ", "
                                      << std::hex << got.bits[first] << " vs " << want.bits[first];
    EXPECT_EQ(std::memcmp(&got.force_max, &want.force_max, 4), 0)
        << what << ": " << got.force_max << " vs " << want.force_max;
    EXPECT_EQ(got.pairs, want.pairs) << what;
}

TEST_P(ForceVectorTest, EveryInstructionSetMatchesTheReference) {
    for (uint32_t seed : {1u, 2u}) {
        load(GetParam(), seed);
        const auto start = snapshot();
        const Result want = steps(sim_force_step_reference, 2);
        for (SimForceIsa isa : kIsas) {
            if (!runs(isa)) {
                std::printf("%s: not run on this processor\n", sim_force_isa_name(isa));
                continue;
            }
            for (int threads : {1, 3}) {
                restore(start);
                sim_force_set_isa(isa);
                sim_force_set_threads(threads);
                ASSERT_EQ(sim_force_isa(), isa);
                expect_same(steps(sim_force_step, 2), want,
                            std::string(sim_force_isa_name(isa)) + " threads " +
                                std::to_string(threads) + " seed " + std::to_string(seed));
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Swarms, ForceVectorTest, ::testing::ValuesIn(kSwarms),
                         [](const auto& info) { return std::string(info.param.name); });

// A double moved away from zero by `ulps` of its ulps, as the nudged kernels move their values.
double moved(double v, int64_t ulps) {
    int64_t b;
    std::memcpy(&b, &v, 8);
    b += ulps;
    std::memcpy(&v, &b, 8);
    return v;
}

// The x part of a pair as the straightforward step computes it, both library results moved.
float x_part(float dx, float dz, double strength, double deg, int64_t ulps) {
    const float r = static_cast<float>((dx + 1e-7) / (dz + 1e-7));
    float a = static_cast<float>(moved(num_atan(static_cast<double>(r)) / deg, ulps));
    if (dz < 0) a = static_cast<float>(a + 180.0);
    if (a < 0) a = static_cast<float>(a + 360.0);
    const float arg = static_cast<float>(deg * (a + 180.0));
    return static_cast<float>(moved(num_cos(static_cast<double>(arg)) * strength, ulps));
}

TEST_F(ForceFixture, NudgedLibraryStaysExactOnlyWithTheRoundingCheck) {
    const SimForceIsa best = sim_force_isa_best();
    if (best == SimForceIsa::kScalar) GTEST_SKIP() << "no vector unit";
    // Subjects whose x part against an object at the origin changes when the library results
    // move by half the margin: ratios r whose angle lies 50 … 200 double ulps below a midpoint
    // between singles (far more than the kernels' own error either way), found near the ratios
    // whose angle is a midpoint just below 90 degrees, where neighbouring floats r move the
    // angle by about 70 ulps.
    const int64_t nudge = kSimForceMarginUlps / 2;
    const double deg = kSimForceCheckedDeg;
    auto ratio = [](float dx, float dz) { return static_cast<float>((dx + 1e-7) / (dz + 1e-7)); };
    std::mt19937 gen(99);
    std::vector<std::array<float, 3>> close;
    for (int k = 1; k < 400 && close.size() < 4; ++k) {
        const double midpoint = 90 - k * 0x1p-17 + 0x1p-18;
        float r = static_cast<float>(std::tan(midpoint * deg));
        for (int step = 0; step < 8; ++step, r = std::nextafter(r, 0.0f)) {
            int64_t bits;
            const double angle = num_atan(static_cast<double>(r)) / deg;
            std::memcpy(&bits, &angle, 8);
            const int64_t below = 0x10000000 - (bits & 0x1FFFFFFF);
            if (below < 50 || below > 200) continue;
            for (float dz : {1.0f, -1.0f}) {
                float dx = static_cast<float>(r * (dz + 1e-7) - 1e-7);
                for (int i = 0; i < 64 && ratio(dx, dz) != r; ++i)
                    dx = std::nextafter(dx, (ratio(dx, dz) < r) == (dz > 0) ? 1e30f : -1e30f);
                if (ratio(dx, dz) == r && x_part(dx, dz, -1, deg, 0) != x_part(dx, dz, -1, deg, nudge))
                    close.push_back({dx, uniform(gen, -50, 50), dz});
            }
        }
    }
    ASSERT_GE(close.size(), 1u);
    std::printf("%zu subjects near a rounding boundary\n", close.size());

    sim_set_cell(kSimRowSpecies, kSimColValue, 2);
    sim_build_cells();
    sim_set_cell(kSimRowCount, kSimColValue, 11);
    // Four objects at the origin: a kernel that takes several objects at a time meets the
    // refused lanes inside its group as well as after it.
    sim_set_cell(kSimRowCount + 1, kSimColValue, 4);
    sim_set_cell(rule_row(0, 1), kSimColValue, -1);
    sim_sync_species();
    for (int p = 0; p < 11; ++p) {
        float v[3] = {uniform(gen, -50, 50), uniform(gen, -50, 50), uniform(gen, -50, 50)};
        if (p % 3 == 0 && static_cast<size_t>(p / 3) < close.size())
            std::memcpy(v, close[p / 3].data(), sizeof v);
        set_pos(0, p, v);
    }
    const float origin[3] = {0, 0, 0};
    for (int p = 0; p < 4; ++p) set_pos(1, p, origin);
    sim_central_pull = 0;
    sim_displacement = 50;
    const auto start = snapshot();
    const Result want = steps(sim_force_step_reference, 1);
    int vector_isas = 0;
    for (SimForceIsa isa : kVectorIsas) {
        if (!runs(isa)) continue;
        ++vector_isas;
        sim_force_set_isa(isa);
        restore(start);
        sim_force_set_trial(SimForceTrial::kNudged);
        expect_same(steps(sim_force_step, 1), want, sim_force_isa_name(isa));
        restore(start);
        sim_force_set_trial(SimForceTrial::kNudgedUnchecked);
        EXPECT_NE(steps(sim_force_step, 1).bits, want.bits) << sim_force_isa_name(isa);
        restore(start);
        sim_force_set_trial(SimForceTrial::kExact);
        expect_same(steps(sim_force_step, 1), want, sim_force_isa_name(isa));
    }
    EXPECT_GT(vector_isas, 0);
}

TEST(ForceIsa, SettingLowersTheChoiceOnly) {
    const SimForceIsa best = sim_force_isa_best();
    auto lowered = [&](SimForceIsa isa) { return std::min(isa, best); };
    const struct {
        const char* setting;
        SimForceIsa want;
    } cases[] = {
        {nullptr, best},
        {"", best},
        {"scalar", SimForceIsa::kScalar},
        {"avx2", lowered(SimForceIsa::kAvx2)},
        {"avx512", lowered(SimForceIsa::kAvx512)},
        {"simd128", lowered(SimForceIsa::kSimd128)},
        {"AVX2", best},  // unknown: reported and ignored
        {"sse", best},
    };
    for (const auto& c : cases)
        EXPECT_EQ(sim_force_isa_from(c.setting), c.want) << (c.setting ? c.setting : "(unset)");
    for (SimForceIsa isa : kIsas) {
        sim_force_set_isa(isa);
        EXPECT_EQ(sim_force_isa(), lowered(isa));
    }
    sim_force_set_isa(best);
}

// Run by CTest with KAVARO_ISA set to each instruction set: the start-up choice follows it,
// and the step on that choice matches the reference.
TEST(ForceIsa, StartUpFollowsTheEnvironment) {
    const char* setting = std::getenv("KAVARO_ISA");
    const SimForceIsa at_start = sim_force_isa_at_start();
    EXPECT_EQ(at_start, sim_force_isa_from(setting));
    if (setting != nullptr && std::strcmp(setting, "scalar") == 0) {
        EXPECT_EQ(at_start, SimForceIsa::kScalar);
    }
    std::printf("KAVARO_ISA=%s: %s\n", setting ? setting : "(unset)", sim_force_isa_name(at_start));
    EXPECT_EQ(sim_force_isa(), at_start);

    simcore_fresh_state();
    load(kSwarms[0], 5);
    const auto start = snapshot();
    const Result want = steps(sim_force_step_reference, 1);
    restore(start);
    expect_same(steps(sim_force_step, 1), want, sim_force_isa_name(at_start));
    simcore_teardown();
}

// A sample of both stages' inputs; the full check of every one has a test of its own.
TEST(ForceLibrary, BothStagesGiveTheScalarSingleOnASample) {
    const struct {
        const char* what;
        bool cosine;
        double strength;
        uint64_t first, last, stride;
    } ranges[] = {
        {"angle, every float", false, 0, 0, uint64_t{1} << 32, 4099},
        {"cosine x -1, 2 ... 10", true, -1, float_bits(2), float_bits(10) + 1, 61},
        {"cosine x 9, 2 ... 10", true, 9, float_bits(2), float_bits(10) + 1, 67},
    };
    for (SimForceIsa isa : kVectorIsas) {
        if (!runs(isa)) continue;
        for (const auto& r : ranges) {
            const StageGap gap =
                stage_gap(static_cast<int32_t>(isa), r.cosine, r.strength, r.first, r.last, r.stride);
            EXPECT_EQ(gap.differing, 0) << r.what << ", first at bits " << std::hex << gap.first_differing;
            EXPECT_GT(gap.checked, 100000) << r.what;
            // NaN, zero and the tiny ratios always go to the C library; otherwise about 2^-19.
            EXPECT_LT(gap.refused, gap.checked / 4) << r.what;
            std::printf("%s %s: %lld inputs, %lld refused\n", sim_force_isa_name(isa), r.what,
                        static_cast<long long>(gap.checked), static_cast<long long>(gap.refused));
        }
    }
}

}  // namespace
