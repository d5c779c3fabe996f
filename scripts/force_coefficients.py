#!/usr/bin/env python3
"""The vector force kernels' arc tangent and cosine: polynomial coefficients and their error bounds.

Writes app/sim_force_coefficients.h (or the path given) and prints the bounds. Needs python3-mpmath.

Arc tangent, angle units folded in: for a float r, y = atan(|r|)/deg is computed as
    y = off + t P(t^2),  |t| <= tan(pi/8),
    t = |r|           off = 0          when |r| <= tan(pi/8)
    t = (|r|-1)/(|r|+1) off = (pi/4)/deg when |r| <= tan(3pi/8)
    t = -1/|r|        off = (pi/2)/deg otherwise,
the sign of r given back at the end. Cosine of a float x in [2, 10]: k = the integer nearest
x 2/pi, r = x - k P1 - k P2 (P1 + P2 = pi/2; the first step exact under a fused multiply-add),
cos x = +-cos r or +-sin r by k mod 4, with sin r = r + r z S(z), cos r = 1 + z C(z), z = r^2.

Every bound is relative to the exact value and counts the approximation error (measured at
Chebyshev-dense points at 120 bits), each double rounding of the evaluation (u = 2^-53 a
step, propagated through Horner's scheme) and the rounding of the reduction.

The page's SIMD128 kernel has no fused multiply-add: it evaluates the same polynomials with a
rounding after every product and every sum; its bounds are the second pair. Its reduction is
the same: P1, the double nearest pi/2, ends in three zero bits, so k P1 (k <= 6) is exact
unfused too, and x - k P1 is exact (Sterbenz); only k P2 and the last difference round.
"""
import struct
import sys

import mpmath as mp
from mpmath import mpf

mp.mp.prec = 120
U = mpf(2) ** -53
# The angle unit the vector kernels are used for: the float 0.017453292f, exactly.
DEG = mpf(struct.unpack("f", struct.pack("f", 0.017453292))[0])

# The margin test accepts a value only more than this many double ulps from a midpoint between
# singles (kSimForceMarginUlps). The terms are the fewest that keep each stage within a quarter
# of it: the C library's own error (an ulp or two) and a wide allowance stay beside it.
MARGIN_ULPS = 512
TARGET = mpf(MARGIN_ULPS) / 4 * U


def to_double(x):
    return mpf(float(x))


def fit(f, lo, hi, n):
    coeffs, _ = mp.chebyfit(f, [lo, hi], n, error=True)
    return [to_double(c) for c in reversed(coeffs)]  # lowest degree first


def horner(coeffs, z):
    """Value and a running bound of the rounding error of fused Horner steps in double."""
    p = coeffs[-1]
    err = mpf(0)
    for c in reversed(coeffs[:-1]):
        p = p * z + c
        err = err * abs(z) + U * abs(p)
    return p, err


def horner_plain(coeffs, z):
    """The same without fused steps: the product and the sum of each step rounded."""
    p = coeffs[-1]
    err = mpf(0)
    for c in reversed(coeffs[:-1]):
        prod = p * z
        p = prod + c
        err = err * abs(z) + U * abs(prod) + U * abs(p)
    return p, err


def points(lo, hi, n=1500):
    pts = [lo + (hi - lo) * (1 - mp.cos(mp.pi * i / n)) / 2 for i in range(n + 1)]
    return pts


def atan_bound(coeffs, plain=False):
    tmax = mp.tan(mp.pi / 8)
    worst = mpf(0)
    steps = horner_plain if plain else horner
    for t in points(-tmax, tmax):
        z = t * t
        p, perr = steps(coeffs, z * (1 + U))  # z = t t rounded
        perr += abs(steps(coeffs, z)[0] - p)
        q = t * p
        # Unfused, t p is rounded before off is added.
        if plain:
            perr += U * abs(p)
        for off, region in ((mpf(0), 1), (mp.pi / 4 / DEG, 2), (mp.pi / 2 / DEG, 3)):
            if region == 1 and t < 0:
                continue
            if region == 3 and t > 0:
                continue
            # t itself carries one rounding in regions 2 and 3: atan moves by at most dt/(1+t^2).
            t_err = U * abs(t) / (1 + t * t) / DEG if region > 1 else 0
            off_d = to_double(off)
            exact = off + mp.atan(t) / DEG
            if exact == 0:
                continue
            got = off_d + q
            err = abs(got - exact) + abs(t) * perr + t_err + U * abs(got)
            worst = max(worst, err / abs(exact))
    return worst


def to_bits(x, bits):
    """x rounded to a double of `bits` significant bits."""
    e = mp.floor(mp.log(abs(x), 2))
    step = mpf(2) ** (e - bits + 1)
    return mp.nint(x / step) * step


def sin_cos_bound(s_coeffs, c_coeffs, rmax, rmin, plain=False):
    worst_s = worst_c = mpf(0)
    steps = horner_plain if plain else horner
    for r in points(mpf(0), rmax):
        if r == 0:
            continue
        z = r * r
        s, serr = steps(s_coeffs, z)
        c, cerr = steps(c_coeffs, z)
        if plain:
            # z = r r rounded, and each product and sum after the polynomials.
            serr += abs(steps(s_coeffs, z * (1 + U))[0] - s)
            cerr += abs(steps(c_coeffs, z * (1 + U))[0] - c)
        sv = r + r * z * s
        e_s = abs(sv - mp.sin(r)) + abs(r * z) * serr + 2 * U * abs(r * z * s) + U * abs(sv)
        cv = 1 + z * c
        e_c = abs(cv - mp.cos(r)) + z * cerr + U * abs(z * c) + U * abs(cv)
        if plain:
            e_s += U * abs(r * z) * abs(s) + U * abs(r * z * s)
            e_c += U * abs(z * c)
        worst_s = max(worst_s, e_s / mp.sin(r))
        worst_c = max(worst_c, e_c / mp.cos(r))
    # The reduced argument: one rounding, and pi/2 - P1 - P2 times k <= 6 left out.
    p1 = to_double(mp.pi / 2)
    p2 = to_double(mp.pi / 2 - p1)
    tail = 6 * abs(mp.pi / 2 - p1 - p2)
    r_rel = U + tail / rmin
    if plain:
        # k P1 exact without a fused step only while P1 has 50 bits or fewer; k P2 rounded.
        if to_bits(mp.pi / 2, 50) != p1:
            raise SystemExit("pi/2's double has more than 50 bits: the unfused reduction is not exact")
        r_rel += U * 6 * abs(p2) / rmin
    # sin r and cos r move by at most r cot r <= 1 and r tan r <= 1 times r's relative error.
    return max(worst_s, worst_c) + r_rel, p1, p2


def nearest_to_quarter_turns():
    """Smallest |x - k pi/2| over floats x in [2, 10]."""
    def f32(v):
        return struct.unpack("f", struct.pack("f", v))[0]

    def next_f(v, up):
        b = struct.unpack("I", struct.pack("f", v))[0]
        return struct.unpack("f", struct.pack("I", b + (1 if up else -1)))[0]

    best = mpf(1)
    for k in range(2, 7):
        c = f32(float(k * mp.pi / 2))
        for v in (next_f(c, False), c, next_f(c, True)):
            best = min(best, abs(mpf(v) - k * mp.pi / 2))
    return best


def terms(make, bound, lo=4, hi=20):
    for n in range(lo, hi):
        coeffs = make(n)
        b = bound(coeffs)
        if b <= TARGET:
            return coeffs, b
    raise SystemExit("no polynomial reaches the target")


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else "app/sim_force_coefficients.h"
    zt = mp.tan(mp.pi / 8) ** 2

    def atan_p(z):
        return 1 / DEG if z == 0 else mp.atan(mp.sqrt(z)) / mp.sqrt(z) / DEG

    atan_c, atan_b = terms(lambda n: fit(atan_p, mpf(0), zt, n), atan_bound)

    # k comes from a fused x 2/pi + 1.5 2^52, so |r| may pass pi/4 by a rounding or two.
    rmax = mp.pi / 4 * (1 + mpf(2) ** -40)
    zr = rmax * rmax
    rmin = nearest_to_quarter_turns()

    def sin_s(z):
        return mpf(-1) / 6 if z == 0 else (mp.sin(mp.sqrt(z)) - mp.sqrt(z)) / (z * mp.sqrt(z))

    def cos_c(z):
        return mpf(-1) / 2 if z == 0 else (mp.cos(mp.sqrt(z)) - 1) / z

    # Sine and cosine terms one at a time: the one with the larger error gains a term.
    n = m = 3
    while True:
        sin_c, cos_c_ = fit(sin_s, mpf(0), zr, n), fit(cos_c, mpf(0), zr, m)
        b_s, p1, p2 = sin_cos_bound(sin_c, cos_c_, rmax, rmin)
        if b_s <= TARGET:
            break
        e_s = sin_cos_bound(sin_c, fit(cos_c, mpf(0), zr, 12), rmax, rmin)[0]
        if e_s > TARGET:
            n += 1
        else:
            m += 1
    cos_b = b_s
    # The cosine times the strength: one more rounding.
    cos_b += U
    # The same polynomials without fused steps (the page's SIMD128 kernel).
    plain_atan_b = atan_bound(atan_c, plain=True)
    plain_cos_b = sin_cos_bound(sin_c, cos_c_, rmax, rmin, plain=True)[0]
    plain_cos_b += U

    def log2(x):
        return float(mp.log(x, 2))

    def ulps(rel):  # a relative error in double ulps of the value, at worst
        return float(rel * 2**53)

    for name, b in (("arc tangent / deg", atan_b), ("cosine x strength", cos_b),
                    ("arc tangent / deg, unfused", plain_atan_b), ("cosine x strength, unfused", plain_cos_b)):
        ok = ulps(b) + 2 < MARGIN_ULPS
        print(f"{name}: relative error <= 2^{log2(b):.2f} = {ulps(b):.1f} double ulps; "
              f"margin {MARGIN_ULPS} ulps {'covers it' if ok else 'DOES NOT cover it'}")
        if not ok:
            raise SystemExit(1)
    print(f"smallest reduced cosine argument: 2^{log2(rmin):.2f}")
    print(f"terms: arc tangent {len(atan_c)}, sine {len(sin_c)}, cosine {len(cos_c_)}")

    def arr(name, cs):
        body = ", ".join(float(c).hex() for c in cs)
        return f"constexpr double {name}[{len(cs)}] = {{{body}}};\n"

    with open(out, "w") as f:
        f.write(
            "// Generated by scripts/force_coefficients.py; do not edit.\n"
            "// The vector force kernels' own arc tangent (angle units folded in) and cosine;\n"
            "// coefficients lowest degree first. Relative error bounds, rounding included:\n"
            f"//   atan(r) / deg:      2^{log2(atan_b):.2f} ({ulps(atan_b):.1f} double ulps at worst)\n"
            f"//   cos(x) x strength:  2^{log2(cos_b):.2f} ({ulps(cos_b):.1f} double ulps at worst),"
            " x a float in [2, 10]\n"
            f"//   smallest |x - k pi/2| over those x: 2^{log2(rmin):.2f}\n"
            "// Without fused multiply-adds (the page's SIMD128 kernel; P1 has 50 bits, so k P1 is exact):\n"
            f"//   atan(r) / deg:      2^{log2(plain_atan_b):.2f} ({ulps(plain_atan_b):.1f} double ulps at worst)\n"
            f"//   cos(x) x strength:  2^{log2(plain_cos_b):.2f} ({ulps(plain_cos_b):.1f} double ulps at worst)\n"
            "#pragma once\n\n"
            f"constexpr double kSimForceAtanBound = {float(atan_b).hex()};\n"
            f"constexpr double kSimForceCosBound = {float(cos_b).hex()};\n"
            f"constexpr double kSimForceAtanEighth = {float(mp.tan(mp.pi / 8)).hex()};  // tan(pi/8)\n"
            f"constexpr double kSimForceAtanThreeEighths = {float(mp.tan(3 * mp.pi / 8)).hex()};\n"
            f"constexpr double kSimForceQuarterTurn = {float(mp.pi / 4 / DEG).hex()};  // (pi/4) / deg\n"
            f"constexpr double kSimForceHalfTurn = {float(mp.pi / 2 / DEG).hex()};  // (pi/2) / deg\n"
            f"constexpr double kSimForceTwoOverPi = {float(2 / mp.pi).hex()};\n"
            f"constexpr double kSimForcePiHalf1 = {float(p1).hex()};\n"
            f"constexpr double kSimForcePiHalf2 = {float(p2).hex()};\n"
            f"constexpr double kSimForcePlainAtanBound = {float(plain_atan_b).hex()};\n"
            f"constexpr double kSimForcePlainCosBound = {float(plain_cos_b).hex()};\n"

            + arr("kSimForceAtanPoly", atan_c)
            + arr("kSimForceSinPoly", sin_c)
            + arr("kSimForceCosPoly", cos_c_)
        )
    print(f"written: {out}")


if __name__ == "__main__":
    main()
