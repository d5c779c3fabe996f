// The correctly rounded arc tangent, sine and cosine: special values as the C library gives
// them, results pinned against values computed at 400 bits (thresholds of every branch, the
// hardest arguments of the exhaustive check, huge arguments), and the fast evaluation against
// the accurate one, which share no table, polynomial or reduction, on samples of every kind of
// argument. The check over every argument the program gives is tests/exhaustive.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "runtime/text/number_trig.h"
#include "runtime/text/number_trig_tables.h"

namespace {

uint64_t bits_of(double x) {
    uint64_t b;
    std::memcpy(&b, &x, 8);
    return b;
}
double from_bits(uint64_t b) {
    double x;
    std::memcpy(&x, &b, 8);
    return x;
}
#define EXPECT_BITS(got, want) EXPECT_EQ(bits_of(got), bits_of(want)) << (got) << " vs " << (want)

TEST(NumberTrig, SpecialArgumentsGiveTheCLibrarysResults) {
    const double specials[] = {
        0.0, -0.0, from_bits(1), from_bits(0x800fffffffffffff), DBL_MIN, -DBL_MIN, 0x1p-1000,
        0x1.fffffffffffffp-28, -0x1p-27, INFINITY, -INFINITY, from_bits(0x7ff8000000000000),
        from_bits(0xfff8000000000123), from_bits(0x7ff0000000000005), from_bits(0xfff4000000000000),
    };
    for (double x : specials) {
        // A NaN comes back quietened, payload and sign kept, as glibc gives it on x86; the page's
        // C library passes a signalling one through, so the bits are spelled out here.
        auto want = [x](double (*f)(double)) {
            return std::isnan(x) ? from_bits(bits_of(x) | 0x0008000000000000) : f(x);
        };
        EXPECT_BITS(num_atan(x), want(std::atan));
        EXPECT_BITS(num_sin(x), want(std::sin));
        EXPECT_BITS(num_cos(x), want(std::cos));
        double s, c;
        num_sin_cos(x, s, c);
        EXPECT_BITS(s, want(std::sin));
        EXPECT_BITS(c, want(std::cos));
    }
}

// The correctly rounded values, computed with mpmath at 400 bits.
TEST(NumberTrig, PinnedArcTangents) {
    const double pins[][2] = {
        {0x1.fe84ac0000000p+20, 0x1.921fad3e511a2p+0},  // the force step's nearest tie
        {-0x1.fe84ac0000000p+20, -0x1.921fad3e511a2p+0},
        {0x1.0000000000000p+0, 0x1.921fb54442d18p-1},
        {0x1.fffffffffffffp-1, 0x1.921fb54442d18p-1},
        {0x1.0000000000001p+0, 0x1.921fb54442d19p-1},
        {0x1.0000000000000p-8, 0x1.ffff5555bbbb7p-9},
        {0x1.fffffffffffffp-9, 0x1.ffff5555bbbb6p-9},
        {0x1.fffffffffffffp+25, 0x1.921fb50442d18p+0},
        {0x1.0000000000000p+26, 0x1.921fb50442d18p+0},
        {0x1.0000000000000p-27, 0x1.0000000000000p-27},
        {0x1.fffffffffffffp-28, 0x1.fffffffffffffp-28},
        {0x1.0000000002000p-1, 0x1.dac670561ee83p-2},  // not a single
        {0x1.8000000000000p+1, 0x1.3fc176b7a8560p+0},
        {0x1.8000000200000p+1, 0x1.3fc176b80ebc6p+0},  // not a single, above 1
        {-0x1.3333333333333p-2, -0x1.2a73a661eaf06p-2},
        {0x1.7e43c8800759cp+996, 0x1.921fb54442d18p+0},
        {0x1.fffffffffffffp+1023, 0x1.921fb54442d18p+0},
        {0x1.99999a0000000p-4, 0x1.983e28938f9ecp-4},
    };
    for (const auto& p : pins) EXPECT_BITS(num_atan(p[0]), p[1]) << " atan(" << p[0] << ")";
}

TEST(NumberTrig, PinnedSinesAndCosines) {
    const double pins[][3] = {
        {0x1.9074ac0000000p+1, 0x1.ab062c16ecc35p-7, -0x1.fff4deaaaaaaap-1},  // force step ties
        {0x1.a13cb20000000p+1, -0x1.e2801fe957d59p-4, -0x1.fc6f6bfffffffp-1},
        {0x1.c2b7000000000p+2, 0x1.607185d75ce78p-1, 0x1.7362d5b6db6dcp-1},
        {0x1.921fb54442d18p+0, 0x1.0000000000000p+0, 0x1.1a62633145c07p-54},  // pi/2, pi
        {0x1.921fb54442d18p+1, 0x1.1a62633145c07p-53, -0x1.0000000000000p+0},
        {0x1.fffffffffffffp+14, 0x1.db0ffc3ec9727p-1, 0x1.7de36a11ac4d3p-2},  // short and long
        {0x1.0000000000000p+15, 0x1.db0ffc3ecc6e4p-1, 0x1.7de36a119d74bp-2},  // reduction
        {0x1.0000000000000p+20, 0x1.526ccb2fc8656p-2, 0x1.e33ada92fe2aep-1},
        {0x1.0f0cf064dd592p+73, -0x1.b453ab76bf397p-1, 0x1.0be2cef01c8f4p-1},  // 1e22
        // The double nearest a multiple of pi/2 relative to its size.
        {0x1.6ac5b262ca1ffp+849, 0x1.0000000000000p+0, -0x1.14ae72e6ba22fp-61},
        {0x1.fffffffffffffp+1023, 0x1.452fc98b34e97p-8, -0x1.fffe62ecfab75p-1},
        {0x1.921fb54442d18p-1, 0x1.6a09e667f3bccp-1, 0x1.6a09e667f3bcdp-1},
        {0x1.921fb54442d19p-1, 0x1.6a09e667f3bcdp-1, 0x1.6a09e667f3bccp-1},
        {0x1.0000000000000p-27, 0x1.0000000000000p-27, 0x1.0000000000000p+0},
        {0x1.fffffffffffffp-28, 0x1.fffffffffffffp-28, 0x1.0000000000000p+0},
        {0x1.921fb51000000p+2, -0x1.a2168c234c4c3p-25, 0x1.ffffffffffff5p-1},  // deg x 360
        {0x1.10b52b66e8000p+14, -0x1.f83bcc3e11030p-1, 0x1.635bd9298c779p-3},  // deg x 1e6
        {0x1.0c152382d7365p-1, 0x1.fffffffffffffp-2, 0x1.bb67ae8584cabp-1},    // a circle step
        {-0x1.4000000000000p+1, -0x1.326af0dcfcab1p-1, -0x1.9a2f7ef858b7dp-1},
        {-0x1.aef208c5feb80p+7, -0x1.ecf3c3f128df8p-1, -0x1.14b5c933d4d89p-2},
    };
    for (const auto& p : pins) {
        EXPECT_BITS(num_sin(p[0]), p[1]) << " sin(" << p[0] << ")";
        EXPECT_BITS(num_cos(p[0]), p[2]) << " cos(" << p[0] << ")";
        double s, c;
        num_sin_cos(p[0], s, c);
        EXPECT_BITS(s, p[1]);
        EXPECT_BITS(c, p[2]);
    }
}

// Arguments of every kind: singles (the force step's and the view's arc tangents), deg × a
// single (the view's sine and cosine), random doubles over every binade of both signs.
std::vector<double> sample_arguments() {
    std::mt19937_64 gen(26);
    std::vector<double> xs;
    const double deg = 0.017453292f;
    for (int i = 0; i < 40000; ++i) {
        const uint32_t b = static_cast<uint32_t>(gen());
        float f;
        std::memcpy(&f, &b, 4);
        if (!std::isfinite(f)) continue;
        xs.push_back(f);
        xs.push_back(deg * f);
        xs.push_back(from_bits(gen() & 0x7fefffffffffffff) * (i % 2 ? 1 : -1));
        xs.push_back(std::ldexp(static_cast<double>(gen() >> 11), -53 - static_cast<int>(i % 40)));
    }
    // The arc tangent's rows below 1 meet halfway between two: (2 j + 1) / 256.
    for (int j = 0; j < 128; ++j) xs.push_back((2 * j + 1) / 256.0);
    return xs;
}

// Two evaluations that share no table, polynomial or reduction: where the fast one decides it
// gives the accurate one's double, and its hi + lo lies within its bound of the accurate value;
// the accurate one decides every argument. Odd and even as they should be.
TEST(NumberTrig, FastEvaluationsAgreeWithTheAccurateOnes) {
    const struct {
        const char* name;
        double (*f)(double);
        NumTrigApprox (*fast)(double);
        NumTrigApprox (*accurate)(double);
        double bound;
        int parity;  // f(-x) = parity f(x)
    } fns[] = {
        {"atan", num_atan, num_atan_fast, num_atan_accurate, kNumAtanFastBound, -1},
        {"sin", num_sin, num_sin_fast, num_sin_accurate, kNumSinCosFastBound, -1},
        {"cos", num_cos, num_cos_fast, num_cos_accurate, kNumSinCosFastBound, 1},
    };
    const std::vector<double> xs = sample_arguments();
    for (const auto& fn : fns) {
        int64_t decided = 0, worse = 0, undecided = 0, disagree = 0, odd = 0;
        for (double x : xs) {
            const NumTrigApprox fast = fn.fast(x), acc = fn.accurate(x);
            if (!acc.decided) ++undecided;
            if (fast.decided) {
                ++decided;
                if (bits_of(fast.hi) != bits_of(acc.hi)) ++disagree;
                const double gap = (fast.hi - acc.hi) + (fast.lo - acc.lo);
                if (std::fabs(gap) > fn.bound * std::fabs(acc.hi)) ++worse;
            }
            if (bits_of(fn.f(-x)) != bits_of(fn.parity * fn.f(x))) ++odd;
        }
        EXPECT_EQ(disagree, 0) << fn.name;
        EXPECT_EQ(worse, 0) << fn.name;
        EXPECT_EQ(undecided, 0) << fn.name;
        EXPECT_EQ(odd, 0) << fn.name;
        // The rounding test refuses about one argument in a thousand or fewer.
        EXPECT_GT(decided, static_cast<int64_t>(xs.size()) * 99 / 100) << fn.name;
    }
}

TEST(NumberTrig, SineAndCosineTogetherAreEachAlone) {
    for (double x : sample_arguments()) {
        double s, c;
        num_sin_cos(x, s, c);
        ASSERT_EQ(bits_of(s), bits_of(num_sin(x))) << x;
        ASSERT_EQ(bits_of(c), bits_of(num_cos(x))) << x;
    }
}

}  // namespace
