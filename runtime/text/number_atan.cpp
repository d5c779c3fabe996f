// The correctly rounded arc tangent (scripts/trig_coefficients.py has the method and the bounds).
// For a = |x| in 2^-8 ... 2^27, m is a with its mantissa cut after four bits and a one put
// after them (the middle of a sixteenth of a binade), and atan a = atan m + atan d with
// d = (a − m) / (1 + a m), |d| < 2^-6: a − m is exact, a m is exact as two products (m has six
// bits), and one division gives d with Dekker's correction. Below 2^-8, d = a; above 2^27,
// atan a = pi/2 − 1/a.
#include <cmath>
#include <cstdint>

#include "runtime/text/number_trig.h"
#include "runtime/text/number_trig_common.h"
#include "runtime/text/number_trig_tables.h"

namespace {

constexpr uint64_t kTinyBits = 0x3e40000000000000ull;   // 2^-27: atan a rounds to a below it
constexpr uint64_t kTableBits = 0x3f70000000000000ull;  // 2^-8
constexpr uint64_t kHugeBits = 0x41a0000000000000ull;   // 2^27
constexpr int32_t kTableFirstExponent = 1023 - 8;

// The results that need no evaluation: NaN, infinities, |x| < 2^-27 (zeros and subnormals too).
inline bool atan_special(double x, uint64_t abits, double& y) {
    if (abits < kTinyBits) {
        y = x;
        return true;
    }
    if (abits >= kNumInfBits) {
        y = abits == kNumInfBits ? std::copysign(kNumHalfPi.hi, x) : num_quiet(x);
        return true;
    }
    return false;
}

// The table entry of a (0 below 2^-8, with m = 0) and its m.
NUM_INLINE int32_t atan_entry(uint64_t abits, double& m) {
    if (abits < kTableBits) {
        m = 0;
        return 0;
    }
    m = num_from_bits((abits & ~((uint64_t{1} << 48) - 1)) | (uint64_t{1} << 47));
    return static_cast<int32_t>(abits >> 48) - (kTableFirstExponent << 4) + 1;
}

// d = n / den as dh + dl: one division and Dekker's correction.
NUM_INLINE NumDd atan_quotient(double n, NumDd den) {
    const double inv = 1 / den.hi;
    const double dh = n * inv;
    const NumDd p = num_dd_two_prod(dh, den.hi);
    return {dh, (((n - p.hi) - p.lo) - dh * den.lo) * inv};
}

// The fast evaluation outside 2^-27 ... 2^27: the special results, and pi/2 − 1/a.
__attribute__((noinline)) NumTrigApprox atan_fast_outside(double x) {
    const uint64_t abits = num_bits_of(x) & kNumAbsBits;
    double special;
    if (atan_special(x, abits, special)) return {special, 0, true};
    const NumDd y = num_dd_fast_two_sum(kNumHalfPi.hi, kNumHalfPi.lo - 1 / num_from_bits(abits));
    return num_rounding_test(num_dd_flip(y, num_bits_of(x) & ~kNumAbsBits), kNumAtanFastBound);
}

NUM_INLINE NumTrigApprox atan_fast(double x) {
    const uint64_t xbits = num_bits_of(x);
    const uint64_t abits = xbits & kNumAbsBits;
    if (abits - kTinyBits >= kHugeBits - kTinyBits) return atan_fast_outside(x);
    const double a = num_from_bits(abits);
    double m;
    const int32_t entry = atan_entry(abits, m);
    const double n = a - m;
    // The division starts from 1 + a m rounded; meanwhile 1 + a m to 2^-80: a_hi m exact and
    // added exactly, a_lo m (2^-27 of it) with one rounding.
    const double inv = 1 / (1 + a * m);
    const NumDd as = num_dd_split(a);
    const NumDd s = num_dd_two_sum(1, as.hi * m);
    const NumDd den = num_dd_fast_two_sum(s.hi, s.lo + as.lo * m);
    const NumDd den_halves = num_dd_split(den.hi);
    const NumDd n_halves = num_dd_split(n);
    // atan d − d from the plain quotient (within 4 ulps of d).
    const double dq = n * inv;
    const double z = dq * dq;
    const double q = dq * z * num_horner(kNumAtanPoly, z);
    // With inv cut to 26 bits, e = 1 − inv26 den (|e| < 2^-24) is exact but for two roundings
    // of 2^-78, and d = n inv26 (1 + e + e^2) to 2^-74: n's halves times inv26 are exact.
    const double inv26 = num_from_bits(num_bits_of(inv) & ~uint64_t{0x7ffffff});
    const double e = ((1 - inv26 * den_halves.hi) - inv26 * den_halves.lo) - inv26 * den.lo;
    const double d_hi = n_halves.hi * inv26;
    const double d_lo = n_halves.lo * inv26 + (n * inv26) * (e + e * e);
    const NumDd t = kNumAtanTable[entry];
    const NumDd h = num_dd_fast_two_sum(t.hi, d_hi);
    const NumDd y = num_dd_fast_two_sum(h.hi, ((h.lo + t.lo) + d_lo) + q);
    return num_rounding_test(num_dd_flip(y, xbits & ~kNumAbsBits), kNumAtanFastBound);
}

}  // namespace

NumTrigApprox num_atan_fast(double x) { return atan_fast(x); }

NumTrigApprox num_atan_accurate(double x) {
    const uint64_t abits = num_bits_of(x) & kNumAbsBits;
    double special;
    if (atan_special(x, abits, special)) return {special, 0, true};
    const double a = num_from_bits(abits);
    if (abits >= kHugeBits) {
        // pi/2 − b + b^3/3, b = 1/a as a double-double.
        const double bh = 1 / a;
        const NumDd p = num_dd_two_prod(bh, a);
        const NumDd b = {bh, ((1 - p.hi) - p.lo) * bh};
        NumDd y = num_dd_add(kNumHalfPi, num_dd_neg(b));
        y = num_dd_add(y, {bh * bh * bh / 3, 0});
        return num_rounding_test(num_dd_flip(y, num_bits_of(x) & ~kNumAbsBits), kNumAtanAccurateBound);
    }
    double m;
    const int32_t entry = atan_entry(abits, m);
    // 1 + a m to double-double precision: both products exact, two exact sums.
    const NumDd as = num_dd_split(a);
    const NumDd s = num_dd_two_sum(1, as.hi * m);
    const NumDd s2 = num_dd_two_sum(s.hi, as.lo * m);
    const NumDd dq = atan_quotient(a - m, num_dd_fast_two_sum(s2.hi, s.lo + s2.lo));
    const NumDd d = num_dd_fast_two_sum(dq.hi, dq.lo);
    const NumDd z = num_dd_mul(d, d);
    const NumDd p = num_horner_dd(kNumAtanPolyHead, kNumAtanPolyTail, z);
    const NumDd w = num_dd_add(d, num_dd_mul(num_dd_mul(d, z), p));
    const NumDd y = num_dd_add(kNumAtanTable[entry], w);
    return num_rounding_test(num_dd_flip(y, num_bits_of(x) & ~kNumAbsBits), kNumAtanAccurateBound);
}

double num_atan(double x) {
    const NumTrigApprox f = atan_fast(x);
    if (__builtin_expect(f.decided, 1)) return f.hi;
    return num_atan_accurate(x).hi;
}
