// What the arc tangent and the sine and cosine share: bit patterns, polynomials, the rounding
// test, the special results.
#pragma once
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "runtime/text/number_double_double.h"
#include "runtime/text/number_trig.h"
#include "runtime/text/number_trig_tables.h"

constexpr uint64_t kNumAbsBits = 0x7fffffffffffffffull;
constexpr uint64_t kNumInfBits = 0x7ff0000000000000ull;

inline uint64_t num_bits_of(double x) {
    uint64_t b;
    std::memcpy(&b, &x, sizeof b);
    return b;
}

inline double num_from_bits(uint64_t b) {
    double x;
    std::memcpy(&x, &b, sizeof x);
    return x;
}

// 2^k for -1022 <= k <= 1023.
inline double num_power_of_two(int32_t k) {
    return num_from_bits(static_cast<uint64_t>(1023 + k) << 52);
}

// A NaN argument's result: the same NaN, quietened, as x86 gives it (set on the bits, so that
// no platform's NaN rules enter).
inline double num_quiet(double x) { return num_from_bits(num_bits_of(x) | 0x0008000000000000ull); }

// The NaN that x86 makes of an invalid operation (sign set), the C library's sine of ±inf.
inline double num_default_nan() { return num_from_bits(0xfff8000000000000ull); }

// The fast evaluations are inlined into the functions whatever the compiler's estimate.
#define NUM_INLINE inline __attribute__((always_inline))

// y with the sign bits `sign` (0 or the sign bit) flipped: no branch on the data.
NUM_INLINE NumDd num_dd_flip(NumDd y, uint64_t sign) {
    return {num_from_bits(num_bits_of(y.hi) ^ sign), num_from_bits(num_bits_of(y.lo) ^ sign)};
}

// Horner's scheme in doubles, lowest degree first.
template <size_t N>
NUM_INLINE double num_horner(const double (&c)[N], double z) {
    double p = c[N - 1];
    for (size_t i = N - 1; i-- > 0;) p = p * z + c[i];
    return p;
}

// Estrin's scheme, lowest degree first, as (c0 + c1 z) + z^2 ((c2 + c3 z) + z^2 (...)): shorter
// chains than Horner's, the fast evaluations' latency.
template <size_t N, size_t I = 0>
NUM_INLINE double num_estrin_from(const double (&c)[N], double z, double z2) {
    if constexpr (N - I == 1)
        return c[I];
    else if constexpr (N - I == 2)
        return c[I + 1] * z + c[I];
    else
        return (c[I + 1] * z + c[I]) + z2 * num_estrin_from<N, I + 2>(c, z, z2);
}
template <size_t N>
NUM_INLINE double num_estrin(const double (&c)[N], double z) {
    return num_estrin_from<N>(c, z, z * z);
}

// The tail in doubles on z.hi, then the head in double-doubles.
template <size_t H, size_t N>
inline NumDd num_horner_dd(const NumDd (&head)[H], const double (&tail)[N], NumDd z) {
    NumDd p = {num_horner(tail, z.hi), 0};
    for (size_t i = H; i-- > 0;) p = num_dd_add(num_dd_mul(p, z), head[i]);
    return p;
}

// Whether every value within `bound` (relative) of hi + lo rounds to hi, hi = RN(hi + lo). The
// nearest midpoint on lo's side lies H >= 2^-54 |hi| from hi; the sum tested passes it unless
// |lo| K (rounded) <= H, that is |lo| <= H / K (1 − u), and then |lo| + bound |y| < H for
// K = 1 + 2^54 bound (1 + 2^-9) + 2^-51 (bound below 2^-64: K − 1 below 2^-9). On the other
// side the interval cannot reach a midpoint. One product and one sum.
NUM_INLINE NumTrigApprox num_rounding_test(NumDd y, double bound) {
    static_assert(kNumAtanFastBound < 0x1p-64 && kNumSinCosFastBound < 0x1p-64);
    const double k = 1 + 0x1p54 * bound * (1 + 0x1p-9) + 0x1p-51;
    return {y.hi, y.lo, y.hi + y.lo * k == y.hi};
}
