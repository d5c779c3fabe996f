// The correctly rounded arc tangent (scripts/trig_coefficients.py has the method and the bounds).
// Both evaluations use m, a = |x| with its mantissa cut after four bits and a one put after them
// (the middle of a sixteenth of a binade): atan a = atan m + atan d, d = (a − m) / (1 + a m),
// |d| < 2^-6, a − m exact, a m exact as two products (m has six bits). The fast one takes it
// above 1 with one division and a correction of its quotient; up to 1 it takes u = i/128
// nearest a instead, atan(u + d) = atan u + d/(1 + u^2) + d^2 G(d), |d| <= 1/256, with
// 1/(1 + u^2) short enough that its product with d is exact: no division. The accurate one is
// all double-double. Below 2^-27 atan x rounds to x; above 2^26, atan a = pi/2 − 1/a
// (+ 1/(3 a^3)).
#include <cmath>
#include <cstdint>

#include "runtime/text/number_trig.h"
#include "runtime/text/number_trig_common.h"
#include "runtime/text/number_trig_tables.h"

namespace {

constexpr uint64_t kTinyBits = 0x3e40000000000000ull;   // 2^-27: atan a rounds to a below it
constexpr uint64_t kTableBits = 0x3f70000000000000ull;  // 2^-8
constexpr uint64_t kHugeBits = 0x4190000000000000ull;   // 2^26
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

// The table entry of a (0 below 2^-8, with m = 0) and its m; `kAboveOne` when a > 1 is known.
template <bool kAboveOne = false>
NUM_INLINE int32_t atan_entry(uint64_t abits, double& m) {
    if (!kAboveOne && abits < kTableBits) {
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

// The fast evaluation outside 2^-27 ... 2^26: the special results, and pi/2 − 1/a.
__attribute__((noinline)) NumTrigApprox atan_fast_outside(double x) {
    const uint64_t abits = num_bits_of(x) & kNumAbsBits;
    double special;
    if (atan_special(x, abits, special)) return {special, 0, true};
    const NumDd y = num_dd_fast_two_sum(kNumHalfPi.hi, kNumHalfPi.lo - 1 / num_from_bits(abits));
    const NumTrigApprox f = num_rounding_test(y, kNumAtanFastBound);
    const NumDd signed_y = num_dd_flip({f.hi, f.lo}, num_bits_of(x) & ~kNumAbsBits);
    return {signed_y.hi, signed_y.lo, f.decided};
}

// x with the low `bits` bits of its mantissa cleared.
NUM_INLINE double cut(double x, int bits) {
    return num_from_bits(num_bits_of(x) & ~((uint64_t{1} << bits) - 1));
}

// atan b for 0 <= b <= 1 from the entry of u = i/128 nearest b: with d = b − u (exact),
// atan(u + d) = T0 + T1 d + d^2 G(d), T1 = 1/(1 + u^2) of 24 bits, so that T1 d is exact for a d
// of 29 bits or fewer (`kShortD`; else d is split in halves).
template <bool kShortD>
NUM_INLINE NumDd atan_unit(double b) {
    // i = 128 b (exact) rounded to the nearest integer, ties to even, in the low bits of the
    // sum: |d| <= 1/256 either way at a tie, and no conversion to an integer and back.
    const double shifted = b * 128 + 0x1.8p52;
    const NumAtanUnit& t = kNumAtanUnit[static_cast<uint32_t>(num_bits_of(shifted)) & 255];  // 0 ... 128
    const double d = b - (shifted - 0x1.8p52) * (1.0 / 128);
    NumDd lead;
    double small = t.t1_lo * d;
    if constexpr (kShortD) {
        lead = num_dd_fast_two_sum(t.t0_hi, t.t1_hi * d);
    } else {
        const NumDd halves = num_dd_split(d);
        lead = num_dd_fast_two_sum(t.t0_hi, t.t1_hi * halves.hi);
        small = t.t1_hi * halves.lo + small;
    }
    const double corr = (lead.lo + t.t0_lo) + (small + (d * d) * num_estrin(t.g, d));
    return num_dd_fast_two_sum(lead.hi, corr);
}

// atan a for 1 < a < 2^26 from the table entry m of a (as the accurate evaluation takes it):
// atan a = atan m + atan d, d = n / (1 + a m), n = a − m. With inv = 1/(1 + a m) cut to few
// bits, e = 1 − inv_cut (1 + a m) is small and d = n inv_cut (1 + e + e^2 ...), the products
// exact; inv_cut + inv_cut a m (near 1) is summed exactly in the larger one's order. dq, the
// plain quotient within 4 ulps of d, gives atan d − d.
template <bool kSingle>
NUM_INLINE NumDd atan_above_one(double a, uint64_t abits) {
    double m;
    const int32_t entry = atan_entry<true>(abits, m);
    const double n = a - m;
    double d_hi, d_lo, dq;
    if constexpr (kSingle) {
        // a m has 30 bits, 1 + a m (52 bits at most) and n (19) are exact, and with inv cut to
        // 23 bits so are inv23 a m and n inv23; |e| < 2^-22, e^3 left out.
        const double am = a * m;
        const double inv = 1 / (1 + am);
        const double inv23 = cut(inv, 30);
        const double p = inv23 * am;
        const NumDd s = num_dd_fast_two_sum(inv23 > p ? inv23 : p, inv23 > p ? p : inv23);
        const double e = (1 - s.hi) - s.lo;
        d_hi = n * inv23;
        const double de = d_hi * e;
        d_lo = de + de * e;
        dq = n * inv;
    } else {
        // inv cut to 26 bits and a to 21, every product below exact but the last (a_lo's share
        // is 2^-21 of a): e to 2^-74, |e| < 2^-24; n's halves times inv26 exact.
        const double inv = 1 / (1 + a * m);
        const double inv26 = cut(inv, 27);
        const double a_hi = cut(a, 32);
        const double p = inv26 * (a_hi * m);
        const NumDd s = num_dd_fast_two_sum(inv26 > p ? inv26 : p, inv26 > p ? p : inv26);
        const double e = ((1 - s.hi) - s.lo) - inv26 * ((a - a_hi) * m);
        const NumDd n_halves = num_dd_split(n);
        d_hi = n_halves.hi * inv26;
        d_lo = n_halves.lo * inv26 + (n * inv26) * (e + e * e);
        dq = n * inv;
    }
    const double z = dq * dq;
    const double q = dq * z * num_estrin(kNumAtanPoly, z);
    const NumDd t = kNumAtanTable[entry];
    const NumDd h = num_dd_fast_two_sum(t.hi, d_hi);
    return num_dd_fast_two_sum(h.hi, ((h.lo + t.lo) + d_lo) + q);
}

NUM_INLINE bool in_table_range(uint64_t abits) { return abits - kTinyBits < kHugeBits - kTinyBits; }

// The fast evaluation of 2^-27 <= |x| < 2^26.
NUM_INLINE NumTrigApprox atan_fast_inside(double x) {
    const uint64_t xbits = num_bits_of(x);
    const uint64_t abits = xbits & kNumAbsBits;
    const double a = std::fabs(x);
    // a single (the program's every argument) has d of 24 bits at most below 1.
    const bool single = (xbits & 0x1fffffff) == 0;
    NumDd y;
    if (a <= 1)
        y = single ? atan_unit<true>(a) : atan_unit<false>(a);
    else
        y = single ? atan_above_one<true>(a, abits) : atan_above_one<false>(a, abits);
    const NumTrigApprox f = num_rounding_test(y, kNumAtanFastBound);
    // The sign: hi is positive, so both sign bits are flipped alike.
    const NumDd signed_y = num_dd_flip({f.hi, f.lo}, xbits & ~kNumAbsBits);
    return {signed_y.hi, signed_y.lo, f.decided};
}

NUM_INLINE NumTrigApprox atan_fast(double x) {
    if (in_table_range(num_bits_of(x) & kNumAbsBits)) return atan_fast_inside(x);
    return atan_fast_outside(x);
}

}  // namespace

NumTrigApprox num_atan_fast(double x) { return atan_fast(x); }

NumTrigApprox num_atan_accurate(double x) {
    const uint64_t abits = num_bits_of(x) & kNumAbsBits;
    double special;
    if (atan_special(x, abits, special)) return {special, 0, true};
    const double a = num_from_bits(abits);
    if (abits >= kHugeBits) {
        // pi/2 − b + b^3/3, b = 1/a as a double-double (above 2^500 b alone: Veltkamp's split
        // would overflow, and pi/2 − b rounds to pi/2 far from any midpoint).
        const double bh = 1 / a;
        NumDd b = {bh, 0};
        if (a < 0x1p500) {
            const NumDd p = num_dd_two_prod(bh, a);
            b.lo = ((1 - p.hi) - p.lo) * bh;
        }
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

namespace {

// Everything but the fast evaluation of 2^-27 <= |x| < 2^26: out of line, so that num_atan needs
// no stack frame of its own.
__attribute__((noinline)) double atan_rest(double x) {
    if (!in_table_range(num_bits_of(x) & kNumAbsBits)) {
        const NumTrigApprox f = atan_fast_outside(x);
        if (f.decided) return f.hi;
    }
    return num_atan_accurate(x).hi;
}

}  // namespace

double num_atan(double x) {
    if (__builtin_expect(in_table_range(num_bits_of(x) & kNumAbsBits), 1)) {
        const NumTrigApprox f = atan_fast_inside(x);
        if (__builtin_expect(f.decided, 1)) return f.hi;
    }
    return atan_rest(x);
}
