// The correctly rounded sine and cosine (scripts/trig_coefficients.py has the method and the
// bounds). x = k pi/2 + r with |r| <= pi/4: by Cody and Waite's three parts of pi/2 below
// 2^20, else from the bits of 2/pi in integer arithmetic. Then c = j/128 nearest |r|,
// s = |r| − c (exact), and with (P, Q) = (sin c, cos c) for a sine and (cos c, −sin c) for a
// cosine, f(c + s) = P + Q s + P (cos s − 1) + Q (sin s − s): P and Q have leading parts of 26
// bits, so Q s is exact as two products of s's halves. The accurate evaluation sums the Taylor
// series of r in double-double arithmetic.
#include <bit>
#include <cmath>
#include <cstdint>

#include "runtime/text/number_trig.h"
#include "runtime/text/number_trig_common.h"
#include "runtime/text/number_trig_tables.h"

namespace {

constexpr uint64_t kTinyBits = 0x3e40000000000000ull;  // 2^-27: sin x rounds to x, cos x to 1
constexpr uint64_t kQuarterPiBits = 0x3fe921fb54442d18ull;  // the double below pi/4

// x = quadrant pi/2 + hi + lo, modulo 2 pi.
struct Reduced {
    double hi;
    double lo;
    int32_t quadrant;
};

// Cody and Waite for |x| < 2^20; false when the reduced argument is below kNumCwLeastR (and k
// is not 0), where its absolute error is too large for the fast bound.
NUM_INLINE bool reduce_short(double x, Reduced& r) {
    const double k = (x * kNumTwoOverPi + 0x1.8p52) - 0x1.8p52;  // nearest integer, |k| < 2^20
    const double t = x - k * kNumHalfPi1;                         // exact
    const NumDd t2 = num_dd_two_sum(t, -(k * kNumHalfPi2));       // k P2 exact
    const NumDd y = num_dd_fast_two_sum(t2.hi, t2.lo - k * kNumHalfPi3);
    r = {y.hi, y.lo, static_cast<int32_t>(static_cast<int64_t>(k) & 3)};
    return k == 0 || std::fabs(y.hi) >= kNumCwLeastR;
}

// a b = hi 2^64 + lo.
inline void mul_64(uint64_t a, uint64_t b, uint64_t& hi, uint64_t& lo) {
    const uint64_t a0 = a & 0xffffffffu, a1 = a >> 32, b0 = b & 0xffffffffu, b1 = b >> 32;
    const uint64_t p00 = a0 * b0, p01 = a0 * b1, p10 = a1 * b0, p11 = a1 * b1;
    const uint64_t mid = (p00 >> 32) + (p01 & 0xffffffffu) + (p10 & 0xffffffffu);
    lo = (mid << 32) | (p00 & 0xffffffffu);
    hi = p11 + (p01 >> 32) + (p10 >> 32) + (mid >> 32);
}

// Any finite x with |x| >= pi/4 (to double-double precision): x = m 2^e with m an integer of 53
// bits, and x 2/pi modulo 4 is m times the 256 bits of 2/pi from the one of weight 2^(1 - e)
// on, modulo 2^256, in units of 2^-254 quarter turns (the bits before add multiples of 4, those
// after less than 2^-202).
Reduced reduce_long(double x) {
    const uint64_t abits = num_bits_of(x) & kNumAbsBits;
    const int32_t e = static_cast<int32_t>(abits >> 52) - 1075;
    const uint64_t m = (abits & ((uint64_t{1} << 52) - 1)) | (uint64_t{1} << 52);
    // The table's bit g (after its word of zeros) is 2/pi's bit of weight 2^(63 - g).
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
    // The quarter turns, and the fraction rounded to the nearest: a fraction of a half or more
    // is the next quarter turn less its complement.
    int32_t quadrant = static_cast<int32_t>(f[0] >> 62);
    f[0] &= (uint64_t{1} << 62) - 1;
    const bool negative = (f[0] >> 61) != 0;
    if (negative) {
        quadrant = (quadrant + 1) & 3;
        uint64_t c = 1;
        for (int32_t k = 3; k >= 0; --k) {
            f[k] = ~f[k] + c;
            c = c != 0 && f[k] == 0;
        }
        f[0] &= (uint64_t{1} << 62) - 1;
    }
    int32_t lead = 0;
    while (lead < 4 && f[lead] == 0) ++lead;
    if (lead == 4) return {0, 0, quadrant};
    // The leading 128 bits of the fraction: u1 (its top bit set) and u2.
    const int32_t c = std::countl_zero(f[lead]);
    const auto limb = [&](int32_t k) { return k < 4 ? f[k] : uint64_t{0}; };
    const uint64_t u1 = (f[lead] << c) | (c != 0 ? limb(lead + 1) >> (64 - c) : 0);
    const uint64_t u2 = (limb(lead + 1) << c) | (c != 0 ? limb(lead + 2) >> (64 - c) : 0);
    const int32_t shift = 64 * lead + c;
    // 53 bits exact, the next 63 rounded once.
    const double top = static_cast<double>(u1 >> 11) * num_power_of_two(-51 - shift);
    const double rest = static_cast<double>(static_cast<int64_t>(((u1 & 0x7ff) << 52) | (u2 >> 12))) *
                        num_power_of_two(-114 - shift);
    NumDd r = num_dd_mul(num_dd_fast_two_sum(top, rest), kNumHalfPi);
    if (negative) r = num_dd_neg(r);
    return {r.hi, r.lo, quadrant};
}

// The reduction of a negative x from that of −x.
inline Reduced reduce_long_signed(double x) {
    Reduced r = reduce_long(x);
    if (x < 0) r = {-r.hi, -r.lo, (4 - r.quadrant) & 3};
    return r;
}

// Whether quadrant q of a sine (or cosine) takes the cosine of r, and whether it is negated.
inline bool takes_cosine(int32_t q, bool cosine) { return ((q & 1) != 0) != cosine; }
inline bool negated(int32_t q, bool cosine) { return ((cosine ? q + 1 : q) & 2) != 0; }

constexpr uint64_t kSignBit = uint64_t{1} << 63;

// sin (cosine false) or cos of x = quadrant pi/2 + rh + rl, |rh + rl| <= pi/4 and a little.
// Branch-free: the quadrant and the signs select table columns and flip sign bits.
NUM_INLINE NumTrigApprox evaluate_fast(const Reduced& r, bool cosine) {
    const int32_t q = r.quadrant + (cosine ? 1 : 0);  // a cosine is a sine a quarter turn on
    const int32_t odd = q & 1;                         // the cosine of r
    const uint64_t rsign = num_bits_of(r.hi) & kSignBit;
    const double a = std::fabs(r.hi);
    const double al = num_from_bits(num_bits_of(r.lo) ^ rsign);
    const int32_t j = static_cast<int32_t>(a * 128 + 0.5);  // 0 ... 101
    // (P, Q) = (S, C) for sin r, (C, −S) for cos r.
    const double* t = kNumSinCosTable[j];
    const double ph = t[2 * odd], pl = t[2 * odd + 1];
    const uint64_t qsign = static_cast<uint64_t>(odd) << 63;
    const double qh = num_from_bits(num_bits_of(t[2 - 2 * odd]) ^ qsign);
    const double ql = num_from_bits(num_bits_of(t[3 - 2 * odd]) ^ qsign);
    const double s = a - j * (1.0 / 128);
    const NumDd halves = num_dd_split(s);
    const NumDd lead = num_dd_fast_two_sum(ph, qh * halves.hi);
    const double z = s * s;
    const double ps = s * z * num_horner(kNumSinPoly, z);  // sin s − s
    const double pc = z * num_horner(kNumCosPoly, z);      // cos s − 1
    const double pf = ph + pl, qf = qh + ql;
    // al enters through the derivative Q − P s.
    const double small = ((ql * s + (qf - pf * s) * al) + pl) + qh * halves.lo;
    const NumDd y = num_dd_fast_two_sum(lead.hi, ((small + qf * ps) + pf * pc) + lead.lo);
    // sin r is odd in r; quadrants 2 and 3 (of the sine) are negated.
    const uint64_t sign = (odd ? 0 : rsign) ^ (static_cast<uint64_t>(q & 2) << 62);
    return num_rounding_test(num_dd_flip(y, sign), kNumSinCosFastBound);
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

// The fast evaluation outside 2^-27 ... 2^20: the special results, and the long reduction.
__attribute__((noinline)) NumTrigApprox fast_outside(double x, bool cosine) {
    const uint64_t abits = num_bits_of(x) & kNumAbsBits;
    double special;
    if (sin_cos_special(x, abits, cosine, special)) return {special, 0, true};
    return evaluate_fast(reduce_long_signed(x), cosine);
}

NUM_INLINE bool in_short_range(uint64_t abits) { return abits - kTinyBits < kNumCwLimitBits - kTinyBits; }

NUM_INLINE NumTrigApprox fast(double x, bool cosine) {
    const uint64_t abits = num_bits_of(x) & kNumAbsBits;
    if (!in_short_range(abits)) return fast_outside(x, cosine);
    Reduced r;
    if (!reduce_short(x, r)) return {0, 0, false};
    return evaluate_fast(r, cosine);
}

__attribute__((noinline)) NumTrigApprox accurate(double x, bool cosine) {
    const uint64_t abits = num_bits_of(x) & kNumAbsBits;
    double special;
    if (sin_cos_special(x, abits, cosine, special)) return {special, 0, true};
    const Reduced red = abits < kQuarterPiBits ? Reduced{x, 0, 0} : reduce_long_signed(x);
    const NumDd r = {red.hi, red.lo};
    const NumDd z = num_dd_mul(r, r);
    NumDd y;
    if (takes_cosine(red.quadrant, cosine))
        y = num_dd_add({1, 0}, num_dd_mul(z, num_horner_dd(kNumCosPolyHead, kNumCosPolyTail, z)));
    else
        y = num_dd_add(r, num_dd_mul(num_dd_mul(r, z), num_horner_dd(kNumSinPolyHead, kNumSinPolyTail, z)));
    return num_rounding_test(negated(red.quadrant, cosine) ? num_dd_neg(y) : y, kNumSinCosAccurateBound);
}

}  // namespace

NumTrigApprox num_sin_fast(double x) { return fast(x, false); }
NumTrigApprox num_cos_fast(double x) { return fast(x, true); }
NumTrigApprox num_sin_accurate(double x) { return accurate(x, false); }
NumTrigApprox num_cos_accurate(double x) { return accurate(x, true); }

double num_sin(double x) {
    const NumTrigApprox f = fast(x, false);
    return __builtin_expect(f.decided, 1) ? f.hi : accurate(x, false).hi;
}

double num_cos(double x) {
    const NumTrigApprox f = fast(x, true);
    return __builtin_expect(f.decided, 1) ? f.hi : accurate(x, true).hi;
}

void num_sin_cos(double x, double& sine, double& cosine) {
    const uint64_t abits = num_bits_of(x) & kNumAbsBits;
    NumTrigApprox s, c;
    Reduced r;
    if (!in_short_range(abits)) {
        s = fast_outside(x, false);
        c = fast_outside(x, true);
    } else if (reduce_short(x, r)) {
        s = evaluate_fast(r, false);
        c = evaluate_fast(r, true);
    } else {
        s.decided = c.decided = false;
    }
    sine = __builtin_expect(s.decided, 1) ? s.hi : accurate(x, false).hi;
    cosine = __builtin_expect(c.decided, 1) ? c.hi : accurate(x, true).hi;
}
