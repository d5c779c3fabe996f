#!/usr/bin/env python3
"""The correctly rounded arc tangent, sine and cosine: tables, coefficients and error bounds.

Writes runtime/text/number_trig_tables.h (or the path given) and prints the bounds. Needs
python3-mpmath.

Each function has a fast evaluation to a double-double hi + lo, with a relative error bound, and
an accurate one in double-double arithmetic with a far smaller bound. A rounding test takes hi
when every value within the bound of hi + lo rounds to hi; else the accurate evaluation runs with
its own bound. Neither uses a fused multiply-add: exact products come from Veltkamp's split and
Dekker's product, or from table values short enough that the plain product is exact.

Arc tangent of a = |x|:
  a < 2^-27                    atan a rounds to a
  2^-27 <= a < 2^-8            d = a, atan a = d + d^3 P(d^2)
  2^-8 <= a < 2^27             m = a with its mantissa cut after 4 bits and a 1 appended (the
                               middle of a sixteenth of a binade), d = (a - m) / (1 + a m),
                               atan a = atan m (table, double-double) + d + d^3 P(d^2)
  2^27 <= a                    atan a = pi/2 - 1/a (+ 1/(3 a^3) in the accurate evaluation)
Sine and cosine of x: x = k pi/2 + r, |r| <= pi/4 (Cody and Waite with three parts of pi/2 for
|x| < 2^20, else the bits of 2/pi in integer arithmetic); then c = j/128 nearest |r|,
s = |r| - c, and sin(c + s) = S + S (cos s - 1) + C s + C (sin s - s), cos(c + s) likewise, with
S = sin c and C = cos c from a table whose leading parts have 26 bits. The accurate evaluation
reduces x in integer arithmetic and sums Taylor series of r in double-double.

Every bound is relative to the exact value. It counts the polynomial's approximation error
(measured on Chebyshev-dense points at 160 bits), every rounding of the evaluation (u = 2^-53 for
a double operation; the published bounds of Joldes, Muller and Popescu for the double-double
ones) and the rounding of the reductions and tables, at sample points of every table interval.
"""
import struct
import sys

import mpmath as mp
from mpmath import mpf

mp.mp.prec = 160
U = mpf(2) ** -53
U2 = U * U
# Double-double operations' relative error bounds (Joldes, Muller, Popescu 2017): sum of two
# double-doubles (AccurateDWPlusDW), product of two (DWTimesDW1, no fused multiply-add).
DD_ADD = 3 * U2
DD_MUL = 7 * U2
SAFETY = mpf(5) / 4  # bounds are widened by a quarter for the sampling of the intervals


def rn(x, bits=53):
    """x rounded to nearest with `bits` significant bits."""
    with mp.workprec(bits):
        return +mpf(x)


def dd(x):
    hi = rn(x)
    return hi, rn(x - hi)


def hexd(x):
    return float(x).hex()


class T:
    """A computed value: v, the exact value of the ideal expression, and e, a bound on how far
    the computed value can be from it."""

    def __init__(self, v, e=0):
        self.v = mpf(v)
        self.e = mpf(e)

    def add(self, o, rho=U):
        v = self.v + o.v
        e = self.e + o.e
        return T(v, e + rho * (abs(v) + e))

    def sub(self, o, rho=U):
        return self.add(T(-o.v, o.e), rho)

    def mul(self, o, rho=U):
        v = self.v * o.v
        e = abs(self.v) * o.e + abs(o.v) * self.e + self.e * o.e
        return T(v, e + rho * (abs(v) + e))


def horner(coeffs, z, rho=U):
    """Horner's scheme on the tracked z, a multiplication and an addition per step."""
    p = T(coeffs[-1])
    for c in reversed(coeffs[:-1]):
        p = p.mul(z, rho).add(T(c), rho)
    return p


def horner_mixed(head, tail, z):
    """Tail coefficients (doubles) in double arithmetic on the double nearest z, then the head
    (double-doubles) in double-double arithmetic."""
    zh = T(z.v, z.e + U * abs(z.v))
    p = horner(tail, zh)
    for c in reversed(head):
        p = p.mul(z, DD_MUL).add(T(c), DD_ADD)
    return p


def cheb_points(lo, hi, n):
    return [lo + (hi - lo) * (1 - mp.cos(mp.pi * i / n)) / 2 for i in range(n + 1)]


def fit(f, lo, hi, n):
    coeffs, _ = mp.chebyfit(f, [lo, hi], n, error=True)
    return list(reversed(coeffs))  # lowest degree first


def max_fit_error(f, coeffs, lo, hi):
    worst = mpf(0)
    for z in cheb_points(lo, hi, 600):
        p = mpf(0)
        for c in reversed(coeffs):
            p = p * z + c
        worst = max(worst, abs(p - f(z)))
    return worst


def log2(x):
    return float(mp.log(x, 2)) if x > 0 else float("-inf")


# ---------------------------------------------------------------------------------------------
# Arc tangent

ATAN_FIRST_EXP = -8   # the table covers 2^-8 ... 2^27
ATAN_LAST_EXP = 26
ATAN_STEPS = 16       # sixteenths of a binade


def atan_intervals():
    """(lo, hi, m) of every table entry after the first."""
    out = []
    for e in range(ATAN_FIRST_EXP, ATAN_LAST_EXP + 1):
        for j in range(ATAN_STEPS):
            b = mpf(2) ** e
            out.append((b * (1 + mpf(j) / 16), b * (1 + mpf(j + 1) / 16), b * (1 + mpf(2 * j + 1) / 32)))
    return out


def atan_d(a, m):
    return (a - m) / (1 + a * m)


def atan_g(z):  # (atan t - t) / t^3 with z = t^2
    if z == 0:
        return mpf(-1) / 3
    t = mp.sqrt(z)
    return (mp.atan(t) - t) / (z * t)


def atan_fast_error(a, m, th, tl, poly, fit_err):
    """Bound on |hi + lo - atan a| of the fast evaluation at a (table entry m; m = 0 below 2^-8).

    D = 1 + a m is 1 + a_hi m (exact) plus a_lo m (exact, |a_lo| <= 2^-27 a) with one rounding;
    inv = 1/(1 + a m) rounded, inv26 = inv cut to 26 bits, e = 1 - inv26 D (|e| < 2^-24, two
    roundings of 2^-78), d = n inv26 + n inv26 (e + e^2) (|dl| < 2^-24 |d|, e^3 < 2^-72 left out);
    q = (dq (dq dq)) P(dq dq), dq = n inv within 4 u of d; lo = ((l0 + Tl) + dl) + q, l0 the error
    of Th + dh."""
    d = abs(atan_d(a, m))
    if m != 0:
        big = 1 + a * m
        d_rel = U * (U * big + a * m * mpf(2) ** -27) / big + mpf(2) ** -72
    else:
        d_rel = mpf(0)
    z = T(d).mul(T(d))
    q = T(d).mul(z).mul(horner(poly, z))
    q_err = q.e + d ** 3 * fit_err + 5 * U * d ** 3  # fit, and dq for d in atan(d) - d
    l0 = U * abs(th + d)
    l1 = l0 + abs(tl)
    l2 = l1 + mpf(2) ** -24 * d
    l3 = l2 + abs(q.v) + q_err
    rounding = U * (l1 + l2 + l3) * (1 + 4 * U)
    return abs(mp.atan(m) - th - tl) + d_rel * d + q_err + rounding


def atan_dmax():
    worst = mpf(2) ** ATAN_FIRST_EXP  # the direct range
    for lo, hi, m in atan_intervals():
        worst = max(worst, abs(atan_d(lo, m)), abs(atan_d(hi, m)))
    return worst


def atan_table():
    table = [(mpf(0), mpf(0))]
    for lo, hi, m in atan_intervals():
        table.append(dd(mp.atan(m)))
    return table


def atan_samples(lo, hi, n=6):
    return [lo + (hi - lo) * i / n for i in range(n + 1)]


def atan_fast_bound(poly, table):
    fit_err = max_fit_error(atan_g, poly, mpf(0), atan_dmax() ** 2)
    worst = mpf(0)
    # Direct range (m = 0).
    for a in [mpf(2) ** -27 * (mpf(2) ** mpf(i) / 4) for i in range(0, 88)]:
        if a >= mpf(2) ** ATAN_FIRST_EXP:
            break
        worst = max(worst, atan_fast_error(a, mpf(0), mpf(0), mpf(0), poly, fit_err) / mp.atan(a))
    for (lo, hi, m), (th, tl) in zip(atan_intervals(), table[1:]):
        for a in atan_samples(lo, hi):
            worst = max(worst, atan_fast_error(a, m, th, tl, poly, fit_err) / mp.atan(a))
    # Above 2^27: pi/2 + (pio2_lo - 1/a), 1/(3 a^3) left out.
    pio2_hi, pio2_lo = dd(mp.pi / 2)
    for a in (mpf(2) ** 27, mpf(2) ** 40):
        inv = 1 / a
        err = U * inv + U * abs(pio2_lo - inv) + inv ** 3 / 3 + abs(mp.pi / 2 - pio2_hi - pio2_lo)
        worst = max(worst, err / mp.atan(a))
    return worst * SAFETY


def atan_accurate_error(a, m, th, tl, head, tail, fit_err):
    d = atan_d(a, m)
    # D exactly as a double-double (two exact sums, one rounding of the small parts), then d by
    # one division and Dekker's correction.
    d_rel = (2 * U2 + 16 * U2) if m != 0 else mpf(0)
    dt = T(d, abs(d) * d_rel)
    z = dt.mul(dt, DD_MUL)
    p = horner_mixed(head, tail, z)
    g = dt.mul(z, DD_MUL).mul(p, DD_MUL)
    # approximation error of the polynomial
    g.e += abs(d) ** 3 * fit_err
    w = dt.add(g, DD_ADD)
    y = T(th + tl, abs(mp.atan(m) - th - tl)).add(w, DD_ADD)
    return y.e


def atan_accurate_bound(head, tail, table):
    fit_err = max_fit_error(atan_g, list(head) + list(tail), mpf(0), atan_dmax() ** 2)
    worst = mpf(0)
    for a in [mpf(2) ** -27 * (mpf(2) ** mpf(i) / 4) for i in range(0, 88)]:
        if a >= mpf(2) ** ATAN_FIRST_EXP:
            break
        worst = max(worst, atan_accurate_error(a, mpf(0), mpf(0), mpf(0), head, tail, fit_err) / mp.atan(a))
    for (lo, hi, m), (th, tl) in zip(atan_intervals(), table[1:]):
        for a in atan_samples(lo, hi, 4):
            worst = max(worst, atan_accurate_error(a, m, th, tl, head, tail, fit_err) / mp.atan(a))
    # Above 2^27: pi/2 - b + b^3/3 with b = 1/a as a double-double.
    pio2 = dd(mp.pi / 2)
    for a in (mpf(2) ** 27, mpf(2) ** 30):
        b = T(1 / a, 4 * U2 / a)
        b3 = b.mul(b).mul(b).mul(T(mpf(1) / 3))
        y = T(pio2[0] + pio2[1], abs(mp.pi / 2 - pio2[0] - pio2[1])).sub(b, DD_ADD).add(b3, DD_ADD)
        y.e += 1 / a ** 5 / 5
        worst = max(worst, y.e / mp.atan(a))
    return worst * SAFETY


# ---------------------------------------------------------------------------------------------
# Sine and cosine

SC_STEPS = 128  # table spacing 1/128
SC_ENTRIES = 102  # j = 0 ... 101 (|r| may pass pi/4 by a rounding)
CW_BITS = 20  # |k| < 2^20 in the Cody-Waite reduction
CW_LIMIT = 2.0 ** 20  # |x| below this: |k| < 2^20
CW_LEAST_R = mpf(2) ** -20  # smaller reduced arguments take the accurate evaluation


def sc_table():
    out = []
    for j in range(SC_ENTRIES):
        c = mpf(j) / SC_STEPS
        s, co = mp.sin(c), mp.cos(c)
        sh = rn(s, 26)
        ch = rn(co, 26)
        out.append((sh, rn(s - sh), ch, rn(co - ch)))
    return out


def sin_g(z):  # (sin t - t) / t^3
    if z == 0:
        return mpf(-1) / 6
    t = mp.sqrt(z)
    return (mp.sin(t) - t) / (z * t)


def cos_g(z):  # (cos t - 1) / t^2
    if z == 0:
        return mpf(-1) / 2
    t = mp.sqrt(z)
    return (mp.cos(t) - 1) / z


def sc_fast_error(a, table, cosine, ps_poly, pc_poly, ps_fit, pc_fit):
    """Bound on |hi + lo - f(a)| of the fast evaluation, f = sin or cos, a = c + s exactly and the
    reduced argument's low part al (|al| <= u a) taken in by the derivative Qf - Pf s.

    lead: Ph + Qh s1 (fast two-sum, exact); Qh s2 exact (|s2| <= 2^-26 |s|);
    small = ((Ql s + (Qf - Pf s) al) + Pl) + Qh s2; corr = ((small + Qf ps) + Pf pc) + l0."""
    j = int(mp.floor(a * SC_STEPS + mpf(1) / 2))  # as the evaluation takes it
    sh, sl, ch, cl = table[j]
    c = mpf(j) / SC_STEPS
    s = a - c
    sa = abs(s)
    if cosine:
        ph, pl, qh, ql = ch, cl, -sh, -sl
        exact = mp.cos(a)
        p_true, q_true = mp.cos(c), -mp.sin(c)
    else:
        ph, pl, qh, ql = sh, sl, ch, cl
        exact = mp.sin(a)
        p_true, q_true = mp.sin(c), mp.cos(c)
    dp = abs(p_true - ph - pl)
    dq = abs(q_true - qh - ql)
    z = T(sa).mul(T(sa))
    ps = T(sa).mul(z).mul(horner(ps_poly, z))
    ps_err = ps.e + sa ** 3 * ps_fit
    pc = z.mul(horner(pc_poly, z))
    pc_err = pc.e + sa * sa * pc_fit
    pf_err = U * abs(p_true) + dp
    qf_err = U * abs(q_true) + dq
    al = U * a
    der = abs(q_true) + abs(p_true) * sa
    t1 = abs(ql) * sa
    t2 = t1 + der * al
    t3 = t2 + abs(pl)
    t4 = t3 + abs(qh) * sa * mpf(2) ** -26
    t5 = t4 + abs(q_true) * abs(ps.v)
    t6 = t5 + abs(p_true) * abs(pc.v)
    t7 = t6 + U * abs(ph + qh * s)
    rounding = U * (t1 + 2 * der * al + t2 + t3 + t4 + abs(q_true * ps.v) + t5 + abs(p_true * pc.v)
                    + t6 + t7) * (1 + 8 * U)
    err = (dp + dq * sa                                   # the table
           + abs(q_true) * ps_err + qf_err * abs(ps.v)    # Q (sin s - s)
           + abs(p_true) * pc_err + pf_err * abs(pc.v)    # P (cos s - 1)
           + al * (sa * sa + 4 * U + dp + dq) + al * al   # the derivative's error
           + rounding)
    return err / abs(exact)


def sc_fast_bound(table, ps_poly, pc_poly, smax):
    ps_fit = max_fit_error(sin_g, ps_poly, mpf(0), smax ** 2)
    pc_fit = max_fit_error(cos_g, pc_poly, mpf(0), smax ** 2)
    worst = mpf(0)
    top = mp.pi / 4 * (1 + mpf(2) ** -40)
    for j in range(len(table)):
        c = mpf(j) / SC_STEPS
        lo = max(c - mpf(1) / (2 * SC_STEPS), mpf(2) ** -26 if j == 0 else mpf(0))
        hi = min(c + mpf(1) / (2 * SC_STEPS), top)
        if lo > hi:
            continue
        pts = [lo + (hi - lo) * i / 8 for i in range(9)]
        if j == 0:
            pts += [mpf(2) ** -e for e in range(9, 27)]
        for a in pts:
            for cosine in (False, True):
                worst = max(worst, sc_fast_error(a, table, cosine, ps_poly, pc_poly, ps_fit, pc_fit))
    return worst


def cody_waite():
    pio2 = mp.pi / 2
    p1 = rn(pio2, 53 - CW_BITS)
    p2 = rn(pio2 - p1, 53 - CW_BITS)
    p3 = rn(pio2 - p1 - p2)
    kmax = mpf(2) ** CW_BITS
    # k (pi/2 - P1 - P2 - P3), the rounding of k P3 and of (t2l - k P3), t2l <= u |t2h|.
    err = kmax * abs(pio2 - p1 - p2 - p3) + 2 * U * kmax * abs(p3) + U * U * mp.pi / 4
    return p1, p2, p3, err / CW_LEAST_R


def integer_reduction_bound():
    # The window of 2/pi ends 2^-202 quarter turns below the fraction's bit; the reduced argument
    # of a double is never below 2^-70 (far from it); the fraction to a double-double (53 bits
    # exact, the next 63 rounded, the rest dropped below 2^-115 relative), times pi/2 as a
    # double-double.
    pio2 = dd(mp.pi / 2)
    window = mpf(2) ** -201 / mpf(2) ** -70
    convert = U * 2 * U + mpf(2) ** -115
    return window + convert + DD_MUL + abs(mp.pi / 2 - pio2[0] - pio2[1]) / (mp.pi / 2)


def sc_accurate_bound(s_head, s_tail, c_head, c_tail, reduction):
    worst_s = worst_c = mpf(0)
    top = mp.pi / 4 * (1 + mpf(2) ** -40)
    pts = cheb_points(mpf(0), top, 200)[1:] + [mpf(2) ** -e for e in range(2, 70)]
    s_fit = max_fit_error(sin_g, list(s_head) + list(s_tail), mpf(0), top ** 2)
    c_fit = max_fit_error(cos_g, list(c_head) + list(c_tail), mpf(0), top ** 2)
    for r in pts:
        rt = T(r)
        z = rt.mul(rt, DD_MUL)
        ps = horner_mixed(s_head, s_tail, z)
        g = rt.mul(z, DD_MUL).mul(ps, DD_MUL)
        g.e += abs(r) ** 3 * s_fit
        y = rt.add(g, DD_ADD)
        worst_s = max(worst_s, y.e / mp.sin(r))
        pc = horner_mixed(c_head, c_tail, z)
        g = z.mul(pc, DD_MUL)
        g.e += r * r * c_fit
        y = T(1).add(g, DD_ADD)
        worst_c = max(worst_c, y.e / mp.cos(r))
    # A relative error e of r moves sin r and cos r by at most e relatively (r cot r <= 1,
    # r tan r <= pi/4).
    return (max(worst_s, worst_c) + reduction) * SAFETY


def two_over_pi_words(n):
    """2/pi's fraction bits, 64 a word, after a word of zeros."""
    with mp.workprec(64 * n + 64):
        v = int(mp.floor(2 / mp.pi * mpf(2) ** (64 * (n - 1))))
    words = [0]
    for i in range(n - 1):
        words.append((v >> (64 * (n - 2 - i))) & (2 ** 64 - 1))
    return words


def split_head_tail(coeffs, head_terms):
    head = [dd(c) for c in coeffs[:head_terms]]
    tail = [rn(c) for c in coeffs[head_terms:]]
    return [h + l for h, l in head], tail, head


def fewest(make, bound, lo, hi):
    """The fewest terms whose bound is within an eighth of the bound with `hi` terms (where the
    roundings, not the approximation, set it)."""
    floor = bound(make(hi))
    for n in range(lo, hi + 1):
        made = make(n)
        b = bound(made)
        if b <= floor * mpf(9) / 8:
            return made, b, n
    raise SystemExit("unreachable")


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else "runtime/text/number_trig_tables.h"

    # Arc tangent.
    table = atan_table()
    dmax = atan_dmax()
    zmax = dmax * dmax

    def atan_fast_make(n):
        return [rn(c) for c in fit(atan_g, mpf(0), zmax, n)]

    atan_poly, atan_fast, n_af = fewest(atan_fast_make, lambda p: atan_fast_bound(p, table), 3, 9)

    def atan_acc_make(n):
        return split_head_tail(fit(atan_g, mpf(0), zmax, n), 4)

    (atan_head, atan_tail, atan_head_dd), atan_acc, n_aa = fewest(
        atan_acc_make, lambda p: atan_accurate_bound(p[0], p[1], table), 6, 13)

    # Sine and cosine.
    sct = sc_table()
    smax = mpf(1) / (2 * SC_STEPS)

    def sc_make(n):
        return ([rn(c) for c in fit(sin_g, mpf(0), smax ** 2, n)],
                [rn(c) for c in fit(cos_g, mpf(0), smax ** 2, n + 1)])

    p1, p2, p3, cw_rel = cody_waite()
    red_rel = integer_reduction_bound()
    (sin_poly, cos_poly), sc_eval, n_sc = fewest(
        sc_make, lambda p: sc_fast_bound(sct, p[0], p[1], smax), 2, 7)
    sc_fast = (sc_eval + max(cw_rel, red_rel)) * SAFETY

    top = mp.pi / 4 * (1 + mpf(2) ** -40)

    def sc_acc_make(n):
        s = split_head_tail(fit(sin_g, mpf(0), top ** 2, n), 8)
        c = split_head_tail(fit(cos_g, mpf(0), top ** 2, n + 1), 8)
        return s, c

    (s_parts, c_parts), sc_acc, n_sa = fewest(
        sc_acc_make, lambda p: sc_accurate_bound(p[0][0], p[0][1], p[1][0], p[1][1], red_rel),
        12, 19)

    words = two_over_pi_words(21)
    pio2 = dd(mp.pi / 2)

    report = [
        ("arc tangent, fast", atan_fast, f"{n_af} terms"),
        ("arc tangent, accurate", atan_acc, f"{len(atan_head)} + {len(atan_tail)} terms"),
        ("sine and cosine, fast", sc_fast, f"{len(sin_poly)} + {len(cos_poly)} terms; "
                                           f"reduction 2^{log2(cw_rel):.1f} (Cody-Waite), "
                                           f"2^{log2(red_rel):.1f} (2/pi bits)"),
        ("sine and cosine, accurate", sc_acc, f"{len(s_parts[0]) + len(s_parts[1])} + "
                                              f"{len(c_parts[0]) + len(c_parts[1])} terms"),
    ]
    for name, b, what in report:
        print(f"{name}: relative error <= 2^{log2(b):.2f}; {what}")
    print(f"arc tangent: |d| <= 2^{log2(dmax):.3f}")

    def arr(name, vals, typ="double"):
        body = ",\n    ".join(", ".join(hexd(v) for v in vals[i:i + 4]) for i in range(0, len(vals), 4))
        return f"constexpr {typ} {name}[{len(vals)}] = {{\n    {body}}};\n"

    def arr_dd(name, pairs):
        body = ",\n    ".join(f"{{{hexd(h)}, {hexd(l)}}}" for h, l in pairs)
        return f"constexpr NumDd {name}[{len(pairs)}] = {{\n    {body}}};\n"

    def arr4(name, rows):
        body = ",\n    ".join("{" + ", ".join(hexd(v) for v in row) + "}" for row in rows)
        return f"constexpr double {name}[{len(rows)}][4] = {{\n    {body}}};\n"

    def bound(name, b):
        return f"constexpr double {name} = {hexd(rn(b, 12) * (1 + mpf(2) ** -11))};  // 2^{log2(b):.2f}\n"

    with open(out, "w") as f:
        f.write(
            "// Generated by scripts/trig_coefficients.py; do not edit.\n"
            "// Tables, coefficients (lowest degree first) and relative error bounds of the\n"
            "// correctly rounded arc tangent, sine and cosine.\n"
            "#pragma once\n#include <cstdint>\n\n#include \"runtime/text/number_double_double.h\"\n\n"
            + bound("kNumAtanFastBound", atan_fast)
            + bound("kNumAtanAccurateBound", atan_acc)
            + bound("kNumSinCosFastBound", sc_fast)
            + bound("kNumSinCosAccurateBound", sc_acc)
            + f"constexpr NumDd kNumHalfPi = {{{hexd(pio2[0])}, {hexd(pio2[1])}}};\n"
            + f"constexpr double kNumTwoOverPi = {hexd(rn(2 / mp.pi))};\n"
            + f"// pi/2 in three parts of {53 - CW_BITS}, {53 - CW_BITS} and 53 bits: k P1 and k P2 are exact for |k| < 2^{CW_BITS}.\n"
            + f"constexpr double kNumHalfPi1 = {hexd(p1)};\n"
            + f"constexpr double kNumHalfPi2 = {hexd(p2)};\n"
            + f"constexpr double kNumHalfPi3 = {hexd(p3)};\n"
            + f"constexpr uint64_t kNumCwLimitBits = 0x{struct.unpack('<Q', struct.pack('<d', CW_LIMIT))[0]:016x}ull;  // {CW_LIMIT:g}\n"
            + f"constexpr double kNumCwLeastR = {hexd(CW_LEAST_R)};\n\n"
            + "// atan(m) for m = 0 and m = 2^e (1 + (2 j + 1) / 32), e = "
            + f"{ATAN_FIRST_EXP} ... {ATAN_LAST_EXP}, j = 0 ... 15.\n"
            + arr_dd("kNumAtanTable", table)
            + "// (atan t - t) / t^3 in t^2, |t| <= " + f"2^{log2(dmax):.3f}\n"
            + arr("kNumAtanPoly", atan_poly)
            + arr_dd("kNumAtanPolyHead", atan_head_dd)
            + arr("kNumAtanPolyTail", atan_tail)
            + "// sin(j / 128) and cos(j / 128): a leading part of 26 bits and the rest.\n"
            + arr4("kNumSinCosTable", sct)
            + "// (sin s - s) / s^3 and (cos s - 1) / s^2 in s^2, |s| <= 1/256.\n"
            + arr("kNumSinPoly", sin_poly)
            + arr("kNumCosPoly", cos_poly)
            + "// The same for |r| <= pi/4, to double-double precision.\n"
            + arr_dd("kNumSinPolyHead", s_parts[2])
            + arr("kNumSinPolyTail", s_parts[1])
            + arr_dd("kNumCosPolyHead", c_parts[2])
            + arr("kNumCosPolyTail", c_parts[1])
            + "// 2/pi's fraction, 64 bits a word, after a word of zeros.\n"
            + "constexpr uint64_t kNumTwoOverPiBits[" + str(len(words)) + "] = {\n    "
            + ",\n    ".join(", ".join(f"0x{w:016x}" for w in words[i:i + 4]) for i in range(0, len(words), 4))
            + "};\n"
        )
    print(f"written: {out}")


if __name__ == "__main__":
    main()
