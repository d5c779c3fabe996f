// The correctly rounded arc tangent, sine and cosine over every argument the program can give
// them, against libquadmath's atanq, sinq and cosq rounded to double: every float (the force
// step's and the view's arc tangent), deg × beta for every float beta (the view's sine and
// cosine), every float cosine argument of the force step (2 … 10), every circle step
// (pi/2) / n; and a sample of pie-line angles. Beside each: the force step's two stages against
// the C library's expressions (their singles must not change), and how often the C library's
// double is not the correctly rounded one (where the view's singles may change). Hours; not in
// the default run. KAVARO_TRIG_STRIDE=n takes every n-th argument only: a quick trial.
#include <gtest/gtest.h>
#include <quadmath.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include "runtime/text/number_trig.h"
#include "runtime/text/number_trig_tables.h"

namespace {

using Quad = __float128;

uint64_t bits_of(double x) {
    uint64_t b;
    std::memcpy(&b, &x, 8);
    return b;
}
uint32_t bits_of(float x) {
    uint32_t b;
    std::memcpy(&b, &x, 4);
    return b;
}
float float_of(uint32_t b) {
    float x;
    std::memcpy(&x, &b, 4);
    return x;
}

const double kDeg = 0.017453292f;

struct Function {
    const char* name;
    double (*own)(double);
    NumTrigApprox (*fast)(double);
    NumTrigApprox (*accurate)(double);
    Quad (*reference)(Quad);
    double (*library)(double);
    double fast_bound, accurate_bound;
};

const Function kAtan = {"atan", num_atan, num_atan_fast, num_atan_accurate, atanq,
                        [](double x) { return std::atan(x); }, kNumAtanFastBound, kNumAtanAccurateBound};
const Function kSin = {"sin", num_sin, num_sin_fast, num_sin_accurate, sinq,
                       [](double x) { return std::sin(x); }, kNumSinCosFastBound, kNumSinCosAccurateBound};
const Function kCos = {"cos", num_cos, num_cos_fast, num_cos_accurate, cosq,
                       [](double x) { return std::cos(x); }, kNumSinCosFastBound, kNumSinCosAccurateBound};

// What one function did over a set of arguments.
struct Tally {
    int64_t inputs = 0;
    int64_t differing = 0;            // own result not the reference's (or, for NaN and
                                      // infinities, not the C library's bits)
    int64_t fast_refused = 0;         // the fast evaluation's rounding test undecided
    int64_t accurate_undecided = 0;   // ... and the accurate one's too
    int64_t reference_undecided = 0;  // quad value too near a midpoint to decide
    int64_t library_differing = 0;    // the C library's double is not the correctly rounded one
    double worst_fast = 0;            // largest relative error of the fast hi + lo
    double worst_accurate = 0;        // ... of the accurate one (refused inputs and a sample)
    double nearest_tie = 1;           // least distance of an exact value to a midpoint, in ulps
    double nearest_tie_input = 0;
    double first_differing = 0;

    void add(const Tally& t) {
        if (differing == 0 && t.differing != 0) first_differing = t.first_differing;
        inputs += t.inputs;
        differing += t.differing;
        fast_refused += t.fast_refused;
        accurate_undecided += t.accurate_undecided;
        reference_undecided += t.reference_undecided;
        library_differing += t.library_differing;
        worst_fast = std::max(worst_fast, t.worst_fast);
        worst_accurate = std::max(worst_accurate, t.worst_accurate);
        if (t.nearest_tie < nearest_tie) {
            nearest_tie = t.nearest_tie;
            nearest_tie_input = t.nearest_tie_input;
        }
    }
};

double relative_error(NumTrigApprox a, Quad exact) {
    if (exact == 0) return 0;
    return static_cast<double>(fabsq((static_cast<Quad>(a.hi) + a.lo - exact) / exact));
}

// The double nearest `exact` and how far `exact` lies from the midpoint on its side, in ulps of
// that gap (0.5 is a double itself, 0 a midpoint).
double nearest(Quad exact, double& tie) {
    const double d = static_cast<double>(exact);
    const double toward = static_cast<Quad>(d) < exact ? HUGE_VAL : -HUGE_VAL;
    const Quad gap = fabsq(static_cast<Quad>(std::nextafter(d, toward)) - d);
    tie = static_cast<double>(fabsq(fabsq(exact - d) - gap / 2) / gap);
    return d;
}

// One argument of one function; `sample` also measures the accurate evaluation's error.
void check(const Function& f, double x, bool sample, Tally& t) {
    ++t.inputs;
    const double got = f.own(x);
    const double lib = f.library(x);
    if (!std::isfinite(x)) {
        if (bits_of(got) != bits_of(lib) && t.differing++ == 0) t.first_differing = x;
        return;
    }
    const Quad exact = f.reference(x);
    double tie;
    const double want = nearest(exact, tie);
    if (tie < 0x1p-54) {
        ++t.reference_undecided;
        std::printf("%s(%a): the reference %a lies %g ulps from a midpoint\n", f.name, x, want, tie);
    } else if (bits_of(got) != bits_of(want) && t.differing++ == 0) {
        t.first_differing = x;
    }
    if (exact != 0 && tie < t.nearest_tie) {
        t.nearest_tie = tie;
        t.nearest_tie_input = x;
    }
    if (bits_of(lib) != bits_of(want)) ++t.library_differing;
    if (std::fabs(x) < 0x1p-27) return;  // returned as x (or 1) without an evaluation
    const NumTrigApprox fast = f.fast(x);
    if (fast.decided) {
        t.worst_fast = std::max(t.worst_fast, relative_error(fast, exact));
    } else {
        ++t.fast_refused;
        sample = true;
    }
    if (sample) {
        const NumTrigApprox acc = f.accurate(x);
        if (!acc.decided) ++t.accurate_undecided;
        t.worst_accurate = std::max(t.worst_accurate, relative_error(acc, exact));
    }
}

// Every argument, or every n-th for a trial.
uint64_t stride() {
    const char* s = std::getenv("KAVARO_TRIG_STRIDE");
    const long long n = s ? std::atoll(s) : 1;
    return n > 1 ? static_cast<uint64_t>(n) : 1;
}

// The work split into chunks over every core; `body(first, last, tally_index)` takes the
// arguments first, first + stride(), … below last.
template <typename Body>
void on_all_cores(uint64_t first, uint64_t last, Body body) {
    const uint32_t threads = std::clamp(std::thread::hardware_concurrency(), 1u, 64u);
    const uint64_t chunk = (uint64_t{1} << 20) * stride();
    std::atomic<uint64_t> next{first};
    std::vector<std::thread> pool;
    for (uint32_t i = 0; i < threads; ++i)
        pool.emplace_back([&, i] {
            for (;;) {
                const uint64_t a = next.fetch_add(chunk);
                if (a >= last) return;
                body(a, std::min(last, a + chunk), i);
            }
        });
    for (auto& th : pool) th.join();
}

void report(const Function& f, const char* what, const Tally& t) {
    std::printf("%s over %s: %lld inputs, %lld differing; fast evaluation refused %lld (accurate "
                "undecided %lld); reference undecided %lld; C library not correctly rounded on %lld; "
                "largest error fast 2^%.2f (bound 2^%.2f), accurate 2^%.2f (bound 2^%.2f); nearest "
                "tie %.3g ulps at %a\n",
                f.name, what, static_cast<long long>(t.inputs), static_cast<long long>(t.differing),
                static_cast<long long>(t.fast_refused), static_cast<long long>(t.accurate_undecided),
                static_cast<long long>(t.reference_undecided),
                static_cast<long long>(t.library_differing), std::log2(t.worst_fast),
                std::log2(f.fast_bound), std::log2(t.worst_accurate), std::log2(f.accurate_bound),
                t.nearest_tie, t.nearest_tie_input);
    EXPECT_EQ(t.differing, 0) << f.name << " over " << what << ", first at " << t.first_differing;
    EXPECT_EQ(t.reference_undecided, 0) << f.name << " over " << what;
    EXPECT_EQ(t.accurate_undecided, 0) << f.name << " over " << what;
    EXPECT_LE(t.worst_fast, f.fast_bound) << f.name << " over " << what;
    EXPECT_LE(t.worst_accurate, f.accurate_bound) << f.name << " over " << what;
}

// How often a single computed from the correctly rounded double and from the C library's
// double differ, for the inputs where those doubles differ: the view's second rounding
// (angle + atan(r) / deg, sin × rho) over a set of angles or distances.
struct SecondRounding {
    int64_t pairs = 0, differing = 0;
    void add(const SecondRounding& s) {
        pairs += s.pairs;
        differing += s.differing;
    }
};

// Frame angles of a turning view (0.3 a frame, the factory turning step) and distances from
// the axis of points in the box.
std::vector<float> view_angles() {
    std::vector<float> a;
    float angle = 0;
    for (int i = 0; i < 64; ++i) a.push_back(angle = static_cast<float>(angle + 0.3));
    for (float big : {1000.3f, 12345.6f, 98765.4f, 654321.f}) a.push_back(big);
    return a;
}
std::vector<float> view_distances() {
    std::vector<float> r;
    std::mt19937 gen(7);
    std::uniform_real_distribution<float> u(0.0f, 87.0f);
    for (int i = 0; i < 64; ++i) r.push_back(u(gen));
    return r;
}

TEST(TrigReference, ArcTangentOfEveryFloat) {
    const std::vector<float> angles = view_angles();
    std::vector<Tally> tally(64);
    std::vector<int64_t> stage_differing(64);
    std::vector<SecondRounding> view(64);
    on_all_cores(0, uint64_t{1} << 32, [&](uint64_t a, uint64_t b, uint32_t i) {
        for (uint64_t bits = a; bits < b; bits += stride()) {
            const float r = float_of(static_cast<uint32_t>(bits));
            check(kAtan, r, (bits & 63) == 0, tally[i]);
            // Stage 1 of the force step: atan(r) / deg rounded to single.
            const double own = num_atan(r), lib = std::atan(static_cast<double>(r));
            const float s_own = static_cast<float>(own / kDeg), s_lib = static_cast<float>(lib / kDeg);
            if (bits_of(s_own) != bits_of(s_lib)) ++stage_differing[i];
            if (bits_of(own) != bits_of(lib) && std::isfinite(r)) {
                for (float angle : angles) {
                    ++view[i].pairs;
                    if (bits_of(static_cast<float>(angle + own / kDeg)) !=
                        bits_of(static_cast<float>(angle + lib / kDeg)))
                        ++view[i].differing;
                }
            }
        }
    });
    Tally all;
    SecondRounding turn;
    int64_t stage = 0;
    for (int i = 0; i < 64; ++i) {
        all.add(tally[i]);
        turn.add(view[i]);
        stage += stage_differing[i];
    }
    report(kAtan, "every float", all);
    std::printf("force stage 1, float(atan(r) / deg) over every float: %lld differing from the C "
                "library's\nview: angle + atan(r) / deg for %zu angles where the doubles differ: "
                "%lld of %lld singles differ\n",
                static_cast<long long>(stage), angles.size(), static_cast<long long>(turn.differing),
                static_cast<long long>(turn.pairs));
    EXPECT_EQ(stage, 0);
    if (stride() == 1) {
        EXPECT_EQ(all.inputs, int64_t{1} << 32);
    }
}

TEST(TrigReference, SineAndCosineOfEveryViewAngle) {
    const std::vector<float> rhos = view_distances();
    std::vector<Tally> sine(64), cosine(64);
    std::vector<int64_t> pair_differing(64);
    std::vector<SecondRounding> view(64);
    on_all_cores(0, uint64_t{1} << 32, [&](uint64_t a, uint64_t b, uint32_t i) {
        for (uint64_t bits = a; bits < b; bits += stride()) {
            const float beta = float_of(static_cast<uint32_t>(bits));
            const double x = kDeg * beta;  // exact: a product of two singles
            const bool sample = (bits & 63) == 0;
            check(kSin, x, sample, sine[i]);
            check(kCos, x, sample, cosine[i]);
            double s, c;
            num_sin_cos(x, s, c);
            if (bits_of(s) != bits_of(num_sin(x)) || bits_of(c) != bits_of(num_cos(x))) ++pair_differing[i];
            if (!std::isfinite(x)) continue;
            const double ls = std::sin(x), lc = std::cos(x);
            if (bits_of(ls) != bits_of(s) || bits_of(lc) != bits_of(c)) {
                for (float rho : rhos) {
                    ++view[i].pairs;
                    if (bits_of(static_cast<float>(s * rho)) != bits_of(static_cast<float>(ls * rho)) ||
                        bits_of(static_cast<float>(c * rho)) != bits_of(static_cast<float>(lc * rho)))
                        ++view[i].differing;
                }
            }
        }
    });
    Tally s_all, c_all;
    SecondRounding turn;
    int64_t pairs = 0;
    for (int i = 0; i < 64; ++i) {
        s_all.add(sine[i]);
        c_all.add(cosine[i]);
        turn.add(view[i]);
        pairs += pair_differing[i];
    }
    report(kSin, "deg x every float", s_all);
    report(kCos, "deg x every float", c_all);
    std::printf("num_sin_cos differing from num_sin, num_cos: %lld\nview: sin x rho, cos x rho "
                "for %zu distances where a double differs: %lld of %lld pairs of singles differ\n",
                static_cast<long long>(pairs), rhos.size(), static_cast<long long>(turn.differing),
                static_cast<long long>(turn.pairs));
    EXPECT_EQ(pairs, 0);
    if (stride() == 1) {
        EXPECT_EQ(s_all.inputs, int64_t{1} << 32);
    }
}

TEST(TrigReference, CosineOfEveryForceArgument) {
    const uint64_t first = bits_of(2.0f), last = bits_of(10.0f) + 1;
    std::vector<Tally> tally(64);
    std::vector<int64_t> stage_differing(64);
    on_all_cores(first, last, [&](uint64_t a, uint64_t b, uint32_t i) {
        for (uint64_t bits = a; bits < b; bits += stride()) {
            const float arg = float_of(static_cast<uint32_t>(bits));
            check(kCos, arg, (bits & 63) == 0, tally[i]);
            // Stage 2 of the force step: cos(arg) × strength rounded to single, every strength a
            // rule can name.
            const double own = num_cos(arg), lib = std::cos(static_cast<double>(arg));
            for (int st = -9; st <= 9; ++st)
                if (st != 0 && bits_of(static_cast<float>(own * st)) != bits_of(static_cast<float>(lib * st)))
                    ++stage_differing[i];
        }
    });
    Tally all;
    int64_t stage = 0;
    for (int i = 0; i < 64; ++i) {
        all.add(tally[i]);
        stage += stage_differing[i];
    }
    report(kCos, "every float in 2 ... 10", all);
    std::printf("force stage 2, float(cos(arg) x strength), strengths +-1 ... +-9: %lld of %lld "
                "differing from the C library's\n",
                static_cast<long long>(stage), static_cast<long long>(all.inputs * 18));
    EXPECT_EQ(stage, 0);
}

TEST(TrigReference, CircleStepsAndPieAngles) {
    const double kPi = 3.141592653589793;
    std::vector<Tally> sine(64), cosine(64);
    // Every step angle (pi/2) / n of a circle of n steps a quadrant.
    on_all_cores(1, (uint64_t{1} << 24) + 1, [&](uint64_t a, uint64_t b, uint32_t i) {
        for (uint64_t n = a; n < b; n += stride()) {
            const double s = (kPi / 2) / static_cast<double>(n);
            check(kSin, s, true, sine[i]);
            check(kCos, s, true, cosine[i]);
        }
    });
    Tally s_all, c_all;
    for (int i = 0; i < 64; ++i) {
        s_all.add(sine[i]);
        c_all.add(cosine[i]);
    }
    report(kSin, "every circle step", s_all);
    report(kCos, "every circle step", c_all);
    // Pie lines take any double in 0 … 2 pi: a sample, uniform and spread over the binades.
    std::vector<Tally> pie_s(64), pie_c(64);
    on_all_cores(0, uint64_t{1} << 25, [&](uint64_t a, uint64_t b, uint32_t i) {
        std::mt19937_64 gen(a);
        std::uniform_real_distribution<double> angle(0, 2 * kPi), binade(-30, 2.6);
        for (uint64_t k = a; k < b; k += stride()) {
            const double x = (k & 1) ? angle(gen) : std::exp2(binade(gen));
            check(kSin, x, false, pie_s[i]);
            check(kCos, x, false, pie_c[i]);
        }
    });
    Tally ps, pc;
    for (int i = 0; i < 64; ++i) {
        ps.add(pie_s[i]);
        pc.add(pie_c[i]);
    }
    report(kSin, "a sample of pie angles", ps);
    report(kCos, "a sample of pie angles", pc);
}

}  // namespace
