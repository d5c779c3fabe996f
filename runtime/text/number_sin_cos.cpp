// The correctly rounded sine and cosine (scripts/trig_coefficients.py has the method and the
// bounds). x = K pi/256 + s with |s| <= pi/512: by Cody and Waite's three parts of pi/256 below
// 2^15, else from the bits of 2/pi in integer arithmetic. K mod 512 picks a table row (P, Q):
// (sin c, cos c), a quarter turn on (cos c, −sin c), a half turn on their negatives,
// c = (K mod 128) pi/256; then sin x = P + Q s + P (cos s − 1) + Q (sin s − s), and the cosine
// is the sine a quarter turn on (K + 128). P and Q have leading parts of 26 bits, so Q s
// is exact as two products of s's halves. The accurate evaluation reduces x to k pi/2 + r,
// |r| <= pi/4, and sums the Taylor series of r in double-double arithmetic.
#include <bit>
#include <cmath>
#include <cstdint>

#include "runtime/text/number_trig.h"
#include "runtime/text/number_trig_common.h"
#include "runtime/text/number_trig_tables.h"

namespace {

constexpr uint64_t kTinyBits = 0x3e40000000000000ull;  // 2^-27: sin x rounds to x, cos x to 1
constexpr uint64_t kQuarterPiBits = 0x3fe921fb54442d18ull;  // the double below pi/4

// x = k units + hi + lo, modulo a whole turn; units of pi/256 (k mod 512) for the fast
// evaluation, of pi/2 (k mod 4) for the accurate one.
struct Reduced {
    double hi;
    double lo;
    uint64_t k;
    double steps;  // K as a double, 0 when the reduction is exact (and for the long one)
};

// Cody and Waite for 2^-27 <= |x| < 2^15, in steps of pi/256. hi + lo is left as it comes
// (|lo| < 2^-47): the evaluation takes lo in through the derivative.
NUM_INLINE Reduced reduce_short(double x) {
    const double shifted = x * kNumStepsPerRadian + 0x1.8p52;  // K in the low bits
    const double k = shifted - 0x1.8p52;                        // |K| < 2^22
    const double t = x - k * kNumStep1;                         // exact
    const NumDd t2 = num_dd_two_sum(t, -(k * kNumStep2));       // K P2 exact
    return {t2.hi, t2.lo - k * kNumStep3, num_bits_of(shifted), k};
}

// a b = hi 2^64 + lo.
inline void mul_64(uint64_t a, uint64_t b, uint64_t& hi, uint64_t& lo) {
    const uint64_t a0 = a & 0xffffffffu, a1 = a >> 32, b0 = b & 0xffffffffu, b1 = b >> 32;
    const uint64_t p00 = a0 * b0, p01 = a0 * b1, p10 = a1 * b0, p11 = a1 * b1;
    const uint64_t mid = (p00 >> 32) + (p01 & 0xffffffffu) + (p10 & 0xffffffffu);
    lo = (mid << 32) | (p00 & 0xffffffffu);
    hi = p11 + (p01 >> 32) + (p10 >> 32) + (mid >> 32);
}

// Any finite x with |x| >= pi/4, to double-double precision, in units of pi/2 2^(2 − bits)
// (k modulo 2^bits): |x| = m 2^e with m an integer of 53 bits, and |x| 2/pi modulo 4 is m
// times the 256 bits of 2/pi from the one of weight 2^(1 − e) on, modulo 2^256, in units of
// 2^-254 quarter turns (the bits before add multiples of 4, those after less than 2^-202).
Reduced reduce_long(double x, int32_t bits) {
    const uint64_t abits = num_bits_of(x) & kNumAbsBits;
    const int32_t e = static_cast<int32_t>(abits >> 52) - 1075;
    const uint64_t m = (abits & ((uint64_t{1} << 52) - 1)) | (uint64_t{1} << 52);
    // The table's bit g (after its word of zeros) is 2/pi's bit of weight 2^(63 − g).
    const int32_t g = e + 62;  // 9 ... 1033
    const int32_t w0 = g >> 6, sh = g & 63;
    uint64_t w[4];
    for (int32_t k = 0; k < 4; ++k)
        w[k] = (kNumTwoOverPiBits[w0 + k] << sh) |
               (sh != 0 ? kNumTwoOverPiBits[w0 + k + 1] >> (64 - sh) : 0);
    // f = m w mod 2^256, limb 0 the highest.
    uint64_t f[4], hi[4], lo[4];
    for (int32_t k = 0; k < 4; ++k) mul_64(m, w[k], hi[k], lo[k]);
    f[3] = lo[3];
    f[2] = lo[2] + hi[3];
    const uint64_t carry2 = f[2] < lo[2];
    const uint64_t sum1 = lo[1] + hi[2];
    f[1] = sum1 + carry2;
    const uint64_t carry1 = (sum1 < lo[1]) + (f[1] < sum1);
    f[0] = lo[0] + hi[1] + carry1;
    // The units, and the fraction rounded to the nearest: a fraction of a half or more is the
    // next unit less its complement.
    const int32_t frac_bits = 64 - bits;
    uint64_t k = f[0] >> frac_bits;
    const uint64_t frac_mask = (uint64_t{1} << frac_bits) - 1;
    f[0] &= frac_mask;
    const bool negative = (f[0] >> (frac_bits - 1)) != 0;
    if (negative) {
        ++k;
        uint64_t c = 1;
        for (int32_t i = 3; i >= 0; --i) {
            f[i] = ~f[i] + c;
            c = c != 0 && f[i] == 0;
        }
        f[0] &= frac_mask;
    }
    k &= (uint64_t{1} << bits) - 1;
    NumDd r = {0, 0};
    int32_t lead = 0;
    while (lead < 4 && f[lead] == 0) ++lead;
    if (lead < 4) {
        // The leading 128 bits of the fraction: u1 (its top bit set) and u2; 53 bits of them
        // exact, the next 63 rounded once.
        const int32_t c = std::countl_zero(f[lead]);
        const auto limb = [&](int32_t i) { return i < 4 ? f[i] : uint64_t{0}; };
        const uint64_t u1 = (f[lead] << c) | (c != 0 ? limb(lead + 1) >> (64 - c) : 0);
        const uint64_t u2 = (limb(lead + 1) << c) | (c != 0 ? limb(lead + 2) >> (64 - c) : 0);
        const int32_t shift = 64 * lead + c;
        const double top = static_cast<double>(u1 >> 11) * num_power_of_two(bits - 53 - shift);
        const double rest =
            static_cast<double>(static_cast<int64_t>(((u1 & 0x7ff) << 52) | (u2 >> 12))) *
            num_power_of_two(bits - 116 - shift);
        const double unit = num_power_of_two(2 - bits);  // pi/2 times this is the unit
        r = num_dd_mul(num_dd_fast_two_sum(top, rest), {kNumHalfPi.hi * unit, kNumHalfPi.lo * unit});
        if (negative) r = num_dd_neg(r);
    }
    // x < 0: −x reduced, both parts negated.
    if (x < 0) return {-r.hi, -r.lo, ((uint64_t{1} << bits) - k) & ((uint64_t{1} << bits) - 1), 0};
    return {r.hi, r.lo, k, 0};
}

// sin (cosine false) or cos of x = k pi/256 + hi + lo. Branch-free but for the rare row-0 case:
// k picks the row, sign included.
NUM_INLINE NumTrigApprox evaluate_fast(const Reduced& r, bool cosine) {
    const uint64_t row = (r.k + (cosine ? 128 : 0)) & 511;
    // Row 0 is sin s itself: below kNumCwLeastS the short reduction's error is too large for
    // the bound (unless it was exact).
    if ((row & 255) == 0 && r.steps != 0 && std::fabs(r.hi) < kNumCwLeastS) return {0, 0, false};
    const double* t = kNumSinCosTable[row];
    const double ph = t[0], pl = t[1], qh = t[2], ql = t[3];
    const double s = r.hi;
    const NumDd halves = num_dd_split(s);
    const NumDd lead = num_dd_fast_two_sum(ph, qh * halves.hi);
    const double z = s * s;
    const double ps = (s * z) * num_estrin(kNumSinPoly, z);  // sin s − s
    const double pc = z * num_estrin(kNumCosPoly, z);        // cos s − 1
    const double pf = ph + pl, qf = qh + ql;
    // The low part of s enters through the derivative Q cos s − P sin s.
    const double der = (qf + qf * pc) - pf * (s + ps);
    const double small = ((ql * s + der * r.lo) + pl) + qh * halves.lo;
    const NumDd y = num_dd_fast_two_sum(lead.hi, (small + lead.lo) + (qf * ps + pf * pc));
    return num_rounding_test(y, kNumSinCosFastBound);
}

// The results that need no evaluation: NaN, infinities, |x| < 2^-27.
inline bool sin_cos_special(double x, uint64_t abits, bool cosine, double& y) {
    if (abits < kTinyBits) {
        y = cosine ? 1 : x;
        return true;
    }
    if (abits >= kNumInfBits) {
        y = abits == kNumInfBits ? num_default_nan() : num_quiet(x);
        return true;
    }
    return false;
}

NUM_INLINE bool in_short_range(uint64_t abits) { return abits - kTinyBits < kNumCwLimitBits - kTinyBits; }

// The fast evaluation outside 2^-27 ... 2^15: the special results, and the long reduction.
__attribute__((noinline)) NumTrigApprox fast_outside(double x, bool cosine) {
    const uint64_t abits = num_bits_of(x) & kNumAbsBits;
    double special;
    if (sin_cos_special(x, abits, cosine, special)) return {special, 0, true};
    return evaluate_fast(reduce_long(x, 9), cosine);
}

NUM_INLINE NumTrigApprox fast(double x, bool cosine) {
    if (!in_short_range(num_bits_of(x) & kNumAbsBits)) return fast_outside(x, cosine);
    return evaluate_fast(reduce_short(x), cosine);
}

__attribute__((noinline)) NumTrigApprox accurate(double x, bool cosine) {
    const uint64_t abits = num_bits_of(x) & kNumAbsBits;
    double special;
    if (sin_cos_special(x, abits, cosine, special)) return {special, 0, true};
    const Reduced red = abits < kQuarterPiBits ? Reduced{x, 0, 0, 0} : reduce_long(x, 2);
    const NumDd r = {red.hi, red.lo};
    const NumDd z = num_dd_mul(r, r);
    // sin(k pi/2 + r): sin r, cos r, −sin r, −cos r; the cosine is a quarter turn on.
    const uint64_t q = red.k + (cosine ? 1 : 0);
    NumDd y;
    if (q & 1)
        y = num_dd_add({1, 0}, num_dd_mul(z, num_horner_dd(kNumCosPolyHead, kNumCosPolyTail, z)));
    else
        y = num_dd_add(r, num_dd_mul(num_dd_mul(r, z), num_horner_dd(kNumSinPolyHead, kNumSinPolyTail, z)));
    return num_rounding_test((q & 2) ? num_dd_neg(y) : y, kNumSinCosAccurateBound);
}

// Everything but the fast evaluation of 2^-27 <= |x| < 2^15: out of line, so that the functions
// below need no stack frame of their own.
__attribute__((noinline)) double sin_cos_rest(double x, bool cosine) {
    if (!in_short_range(num_bits_of(x) & kNumAbsBits)) {
        const NumTrigApprox f = fast_outside(x, cosine);
        if (f.decided) return f.hi;
    }
    return accurate(x, cosine).hi;
}

}  // namespace

NumTrigApprox num_sin_fast(double x) { return fast(x, false); }
NumTrigApprox num_cos_fast(double x) { return fast(x, true); }
NumTrigApprox num_sin_accurate(double x) { return accurate(x, false); }
NumTrigApprox num_cos_accurate(double x) { return accurate(x, true); }

double num_sin(double x) {
    if (__builtin_expect(in_short_range(num_bits_of(x) & kNumAbsBits), 1)) {
        const NumTrigApprox f = evaluate_fast(reduce_short(x), false);
        if (__builtin_expect(f.decided, 1)) return f.hi;
    }
    return sin_cos_rest(x, false);
}

double num_cos(double x) {
    if (__builtin_expect(in_short_range(num_bits_of(x) & kNumAbsBits), 1)) {
        const NumTrigApprox f = evaluate_fast(reduce_short(x), true);
        if (__builtin_expect(f.decided, 1)) return f.hi;
    }
    return sin_cos_rest(x, true);
}

void num_sin_cos(double x, double& sine, double& cosine) {
    const uint64_t abits = num_bits_of(x) & kNumAbsBits;
    Reduced r;
    if (__builtin_expect(in_short_range(abits), 1)) {
        r = reduce_short(x);
    } else if (sin_cos_special(x, abits, false, sine)) {
        sin_cos_special(x, abits, true, cosine);
        return;
    } else {
        r = reduce_long(x, 9);
    }
    const NumTrigApprox s = evaluate_fast(r, false);
    const NumTrigApprox c = evaluate_fast(r, true);
    sine = __builtin_expect(s.decided, 1) ? s.hi : accurate(x, false).hi;
    cosine = __builtin_expect(c.decided, 1) ? c.hi : accurate(x, true).hi;
}
