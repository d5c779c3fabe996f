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
  a < 2^-27          atan a rounds to a
  a <= 1             fast: u = i/128 nearest a, d = a - u, atan a = atan u + d/(1 + u^2)
                     + d^2 G_i(d) (a table row for every u, G_i fitted)
  1 < a < 2^26       fast: m = a with its mantissa cut after 4 bits and a 1 appended (the
                     middle of a sixteenth of a binade), d = (a - m) / (1 + a m),
                     atan a = atan m (table, double-double) + d + d^3 P(d^2)
  2^26 <= a          atan a = pi/2 - 1/a (+ 1/(3 a^3) in the accurate evaluation)
  accurate           the m table from 2^-8 (d = a below it), all in double-double arithmetic
Sine and cosine of x: x = K pi/256 + s, |s| <= pi/512 (Cody and Waite with three parts of
pi/256 for |x| < 2^15, else the bits of 2/pi in integer arithmetic). With c = (K mod 128) pi/256
and (P, Q) = (sin c, cos c) when K mod 256 < 128, (cos c, -sin c) else,
sin x = +-(P cos s + Q sin s) = +-(P + Q s + P (cos s - 1) + Q (sin s - s)), negated when
K mod 512 >= 256; cos x is sin(x + pi/2), K + 128. P and Q come from a table whose leading parts
have 26 bits, so that Q s is exact as two products of s's halves. The accurate evaluation
reduces x to k pi/2 + r, |r| <= pi/4, in integer arithmetic and sums the Taylor series of r in
double-double arithmetic.

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


def estrin(coeffs, z, rho=U):
    """Estrin's scheme as the fast evaluations take it: (c0 + c1 z) + (z z) (c2 + c3 z) for four
    terms, (c0 + c1 z) + (z z) c2 for three; longer ones nest the same way."""
    if len(coeffs) == 1:
        return T(coeffs[0])
    lo = T(coeffs[1]).mul(z, rho).add(T(coeffs[0]), rho)
    if len(coeffs) == 2:
        return lo
    return lo.add(z.mul(z, rho).mul(estrin(coeffs[2:], z, rho), rho), rho)


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

ATAN_FIRST_EXP = -8   # the table covers 2^-8 ... 2^26
ATAN_LAST_EXP = 25
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


UNIT_STEPS = 128  # the fast evaluation's table: u = i/128, i = 0 ... 128
UNIT_H = mpf(1) / (2 * UNIT_STEPS) * (1 + mpf(2) ** -40)


def unit_g(u, d):
    """(atan(u + d) - atan u - d/(1 + u^2)) / d^2."""
    if d == 0:
        return -u / (1 + u * u) ** 2
    return (mp.atan(u + d) - mp.atan(u) - d / (1 + u * u)) / (d * d)


def unit_rows(k):
    """(T0h, T0l, T1h, T1l, G) for every u: atan u as a double-double, 1/(1 + u^2) with a
    leading part of 24 bits, and G's k coefficients (lowest degree first)."""
    rows = []
    for i in range(UNIT_STEPS + 1):
        u = mpf(i) / UNIT_STEPS
        t0, t1 = mp.atan(u), 1 / (1 + u * u)
        t0h, t1h = rn(t0), rn(t1, 24)
        g = [rn(c) for c in fit(lambda d, u=u: unit_g(u, d), -UNIT_H, UNIT_H, k)]
        rows.append((t0h, rn(t0 - t0h), t1h, rn(t1 - t1h), g))
    return rows


def unit_error(i, row, fit_err, d):
    """Bound on |y - atan(u + d)| of the fast evaluation from one entry of the unit table.

    lead = T0h + T1h d1 (exact: d1 = d for a single, else d's upper half, with low = T1h d2
    exact beside it); corr = (l0 + T0l) + ((low + T1l d) + (d d) G(d)), G by Estrin's scheme;
    y = lead_hi + corr exactly."""
    t0h, t0l, t1h, t1l, g = row
    u = mpf(i) / UNIT_STEPS
    t0, t1 = mp.atan(u), 1 / (1 + u * u)
    dt = T(d)
    dg = dt.mul(dt).mul(estrin(g, dt))
    dg_err = dg.e + d * d * fit_err
    l0 = U * abs(t0h + t1h * d)
    low = abs(t1h * d) * mpf(2) ** -26
    s1 = low + abs(t1l * d)
    s3 = s1 + abs(dg.v) + dg_err
    c1 = l0 + abs(t0l)
    corr = c1 + s3
    rounding = U * (abs(t1l * d) + c1 + s1 + s3 + corr) * (1 + 8 * U)
    return abs(t0 - t0h - t0l) + abs(t1 - t1h - t1l) * abs(d) + dg_err + rounding


def atan_m_error(a, m, th, tl, poly, fit_err):
    """Bound on |hi + lo - atan a| of the fast evaluation above 1 (table entry m).

    d = n / D, D = 1 + a m, as d_hi + d_lo: with inv = 1/D rounded and cut to few bits,
    e = 1 - inv_cut D and d = n inv_cut (1 + e + e^2 ...). For a single a every product is
    exact (D too), |e| < 2^-22 and e^3 < 2^-66 is left out; for any other double, D's a_lo m
    (2^-21 of it) is rounded once (2^-74), |e| < 2^-24 and e^3 < 2^-72 is left out.
    q = (dq (dq dq)) P(dq dq) by Estrin's scheme, dq = n inv within 4 u of d;
    lo = ((l0 + Tl) + dl) + q, l0 the error of Th + dh, |dl| < 2^-21 |d|."""
    d = abs(atan_d(a, m))
    d_rel = mpf(2) ** -65.9
    z = T(d).mul(T(d))
    q = T(d).mul(z).mul(estrin(poly, z))
    q_err = q.e + d ** 3 * fit_err + 5 * U * d ** 3  # fit, and dq for d in atan(d) - d
    l0 = U * abs(th + d)
    l1 = l0 + abs(tl)
    l2 = l1 + mpf(2) ** -21 * d
    l3 = l2 + abs(q.v) + q_err
    rounding = U * (l1 + l2 + l3) * (1 + 4 * U)
    return abs(mp.atan(m) - th - tl) + d_rel * d + q_err + rounding


def atan_fast_bound(k, m_poly, table):
    """The unit table's rows with k coefficients, and the fast evaluation's bound: the unit
    table below 1, the m table above, pi/2 - 1/a above 2^26."""
    rows = unit_rows(k)
    worst = mpf(0)
    for i, row in enumerate(rows):
        u = mpf(i) / UNIT_STEPS
        fit_err = max_fit_error(lambda d: unit_g(u, d), row[4], -UNIT_H, UNIT_H)
        ds = [UNIT_H * j / 8 for j in range(-8, 9)]
        if i == 0:
            ds = [d for d in ds if d > 0] + [mpf(2) ** -e for e in range(9, 28)]
        for d in ds:
            if 0 < u + d <= 1:
                worst = max(worst, unit_error(i, row, fit_err, d) / mp.atan(u + d))
    fit_err = max_fit_error(atan_g, m_poly, mpf(0), atan_dmax() ** 2)
    for (lo, hi, m), (th, tl) in zip(atan_intervals(), table[1:]):
        if hi <= 1:
            continue
        for a in atan_samples(max(lo, mpf(1)), hi):
            worst = max(worst, atan_m_error(a, m, th, tl, m_poly, fit_err) / mp.atan(a))
    pio2 = dd(mp.pi / 2)
    for a in (mpf(2) ** 26, mpf(2) ** 40):
        inv = 1 / a
        err = U * inv + U * abs(pio2[1] - inv) + inv ** 3 / 3 + abs(mp.pi / 2 - pio2[0] - pio2[1])
        worst = max(worst, err / mp.atan(a))
    return rows, worst * SAFETY


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
    # Above 2^26: pi/2 - b + b^3/3 with b = 1/a as a double-double.
    pio2 = dd(mp.pi / 2)
    for a in (mpf(2) ** 26, mpf(2) ** 30):
        b = T(1 / a, 4 * U2 / a)
        b3 = b.mul(b).mul(b).mul(T(mpf(1) / 3))
        y = T(pio2[0] + pio2[1], abs(mp.pi / 2 - pio2[0] - pio2[1])).sub(b, DD_ADD).add(b3, DD_ADD)
        y.e += 1 / a ** 5 / 5
        worst = max(worst, y.e / mp.atan(a))
    return worst * SAFETY


# ---------------------------------------------------------------------------------------------
# Sine and cosine

STEP = mp.pi / 256  # the fast evaluation's reduction step and table spacing
SC_ROWS = 256  # rows 0 ... 127: (sin c, cos c), rows 128 ... 255: (cos c, -sin c), c = j STEP
CW_BITS = 22  # |K| < 2^22 in the Cody-Waite reduction
CW_LIMIT = 2.0 ** 15  # |x| below this: |K| < 2^22
CW_LEAST_S = mpf(2) ** -20  # smaller reduced arguments of row 0 take the accurate evaluation


def sc_table(rows=SC_ROWS):
    """(Ph, Pl, Qh, Ql) a row, Ph and Qh of 26 bits; rows 256 ... 511 are rows 0 ... 255 negated
    (the half turn)."""
    out = []
    for row in range(rows):
        c = (row % 128) * STEP
        p, q = (mp.sin(c), mp.cos(c)) if row % 256 < 128 else (mp.cos(c), -mp.sin(c))
        if row >= 256:
            p, q = -p, -q
        ph, qh = rn(p, 26), rn(q, 26)
        out.append((ph, rn(p - ph), qh, rn(q - qh)))
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


def sc_fast_error(s, row, table, ps_poly, pc_poly, ps_fit, pc_fit, al):
    """Bound on |hi + lo - f| of the fast evaluation of f = P cos(s + sl) + Q sin(s + sl), (P, Q)
    the row's, |sl| <= al taken in by the derivative Qf (1 + pc) - Pf (s + ps), relative to |f|.

    lead: Ph + Qh s1 (fast two-sum, exact); Qh s2 exact (|s2| <= 2^-26 |s|);
    small = ((Ql s + der sl) + Pl) + Qh s2; corr = (small + l0) + (Qf ps + Pf pc)."""
    ph, pl, qh, ql = table[row]
    c = (row % 128) * STEP
    p_true, q_true = (mp.sin(c), mp.cos(c)) if row < 128 else (mp.cos(c), -mp.sin(c))
    exact = p_true * mp.cos(s) + q_true * mp.sin(s)
    sa = abs(s)
    dp = abs(p_true - ph - pl)
    dq = abs(q_true - qh - ql)
    z = T(sa).mul(T(sa))
    ps = T(sa).mul(z).mul(estrin(ps_poly, z))
    ps_err = ps.e + sa ** 3 * ps_fit
    pc = z.mul(estrin(pc_poly, z))
    pc_err = pc.e + sa * sa * pc_fit
    pf_err = U * abs(p_true) + dp
    qf_err = U * abs(q_true) + dq
    der = abs(q_true) + abs(p_true) * sa
    # the derivative's own error: Qf and Pf, pc and ps, four roundings
    der_err = qf_err + pf_err * sa + abs(q_true) * pc_err + abs(p_true) * ps_err + 5 * U * der
    t1 = abs(ql) * sa
    t2 = t1 + der * al
    t3 = t2 + abs(pl)
    t4 = t3 + abs(qh) * sa * mpf(2) ** -26
    t5 = t4 + U * abs(ph + qh * s)
    t6 = abs(q_true) * abs(ps.v) + abs(p_true) * abs(pc.v)
    t7 = t5 + t6
    rounding = U * (t1 + 2 * der * al + t2 + t3 + t4 + t5 + abs(q_true * ps.v) + abs(p_true * pc.v)
                    + t6 + t7) * (1 + 8 * U)
    err = (dp + dq * sa                                   # the table
           + abs(q_true) * ps_err + qf_err * abs(ps.v)    # Q (sin s - s)
           + abs(p_true) * pc_err + pf_err * abs(pc.v)    # P (cos s - 1)
           + der_err * al + al * al                       # the low part through the derivative
           + rounding)
    return err / abs(exact)


def sc_fast_bound(table, ps_poly, pc_poly, smax, al):
    ps_fit = max_fit_error(sin_g, ps_poly, mpf(0), smax ** 2)
    pc_fit = max_fit_error(cos_g, pc_poly, mpf(0), smax ** 2)
    worst = mpf(0)
    pts = [smax * i / 8 for i in range(-8, 9)]
    for row in range(SC_ROWS):
        here = pts
        if row == 0:  # sin s itself: from the least s the fast evaluation takes
            here = [p for p in pts if abs(p) >= CW_LEAST_S]
            here += [sg * mpf(2) ** -e for e in range(8, 21) for sg in (1, -1)]
        for s in here:
            worst = max(worst, sc_fast_error(s, row, table, ps_poly, pc_poly, ps_fit, pc_fit, al))
    return worst


def cody_waite():
    """STEP in three parts of 31, 31 and 53 bits: K P1 and K P2 exact for |K| < 2^22; s = t2h,
    sl = t2l - K P3 with (t2h, t2l) = x - K P1 - K P2 exactly. The absolute error of s + sl,
    relative to the least result the fast evaluation takes from it (|s| >= CW_LEAST_S in row 0,
    sin(STEP/2) in the others), and the largest |sl|."""
    p1 = rn(STEP, 53 - CW_BITS)
    p2 = rn(STEP - p1, 53 - CW_BITS)
    p3 = rn(STEP - p1 - p2)
    kmax = mpf(2) ** CW_BITS
    # K (STEP - P1 - P2 - P3); the roundings of K P3 and of t2l - K P3 (t2l <= u |t2h|).
    kp3 = kmax * abs(p3)
    err = kmax * abs(STEP - p1 - p2 - p3) + U * kp3 + U * (U * STEP / 2 + kp3)
    least = min(CW_LEAST_S, mp.sin(STEP / 2))
    return p1, p2, p3, err / least, (U * STEP / 2 + kp3) * (1 + 2 * U)


def integer_reduction_bound():
    # The window of 2/pi ends 2^-202 quarter turns below the fraction's bit (2^-195 steps); the
    # reduced argument of a double is never below 2^-70 (far from it); the fraction to a
    # double-double (53 bits exact, the next 63 rounded, the rest dropped below 2^-115
    # relative), times pi/2 (or STEP = pi/2 2^-7) as a double-double.
    pio2 = dd(mp.pi / 2)
    window = mpf(2) ** -194 / mpf(2) ** -70
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

    # Above 1: four terms of atan(t)/t^3 in t^2 (more change the bound by less than an eighth).
    m_poly = [rn(c) for c in fit(atan_g, mpf(0), zmax, 4)]
    made = {}

    def atan_fast_make(k):
        made[k] = atan_fast_bound(k, m_poly, table)
        return k

    n_af = fewest(atan_fast_make, lambda k: made[k][1], 5, 10)[0]
    unit, atan_fast = made[n_af]

    def atan_acc_make(n):
        return split_head_tail(fit(atan_g, mpf(0), zmax, n), 4)

    (atan_head, atan_tail, atan_head_dd), atan_acc, n_aa = fewest(
        atan_acc_make, lambda p: atan_accurate_bound(p[0], p[1], table), 6, 13)

    # Sine and cosine.
    sct = sc_table()
    smax = STEP / 2 * (1 + mpf(2) ** -20)

    def sc_make(n):
        return ([rn(c) for c in fit(sin_g, mpf(0), smax ** 2, n)],
                [rn(c) for c in fit(cos_g, mpf(0), smax ** 2, n)])

    p1, p2, p3, cw_rel, cw_low = cody_waite()
    red_rel = integer_reduction_bound()
    (sin_poly, cos_poly), sc_eval, n_sc = fewest(
        sc_make, lambda p: sc_fast_bound(sct, p[0], p[1], smax, cw_low), 2, 7)
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
        ("arc tangent, fast", atan_fast, f"{n_af} terms an entry"),
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
            + f"constexpr double kNumStepsPerRadian = {hexd(rn(1 / STEP))};  // 256/pi\n"
            + f"// pi/256 in three parts of {53 - CW_BITS}, {53 - CW_BITS} and 53 bits: K P1 and K P2 are exact for |K| < 2^{CW_BITS}.\n"
            + f"constexpr double kNumStep1 = {hexd(p1)};\n"
            + f"constexpr double kNumStep2 = {hexd(p2)};\n"
            + f"constexpr double kNumStep3 = {hexd(p3)};\n"
            + f"constexpr uint64_t kNumCwLimitBits = 0x{struct.unpack('<Q', struct.pack('<d', CW_LIMIT))[0]:016x}ull;  // {CW_LIMIT:g}\n"
            + f"constexpr double kNumCwLeastS = {hexd(CW_LEAST_S)};\n\n"
            + "// atan(m) for m = 0 and m = 2^e (1 + (2 j + 1) / 32), e = "
            + f"{ATAN_FIRST_EXP} ... {ATAN_LAST_EXP}, j = 0 ... 15.\n"
            + arr_dd("kNumAtanTable", table)
            + "// The fast evaluation's table: for u = i/128, atan u (hi, lo), 1/(1 + u^2) (hi of 24 bits,\n"
            + "// lo) and G, atan(u + d) = atan u + d/(1 + u^2) + d^2 G(d) for |d| <= 1/256.\n"
            + f"struct NumAtanUnit {{\n    double t0_hi, t0_lo, t1_hi, t1_lo;\n    double g[{n_af}];\n}};\n"
            + f"constexpr NumAtanUnit kNumAtanUnit[{len(unit)}] = {{\n    "
            + ",\n    ".join("{" + ", ".join(hexd(v) for v in r[:4]) + ", {" + ", ".join(hexd(v) for v in r[4]) + "}}"
                             for r in unit) + "};\n"
            + "// (atan t - t) / t^3 in t^2, |t| <= " + f"2^{log2(dmax):.3f}" + ": the fast evaluation above 1\n"
            + "// in doubles, the accurate one in double-doubles and doubles.\n"
            + arr("kNumAtanPoly", m_poly)
            + arr_dd("kNumAtanPolyHead", atan_head_dd)
            + arr("kNumAtanPolyTail", atan_tail)
            + "// (P, Q) = (sin c, cos c) in rows j = 0 ... 127 and (cos c, -sin c) in rows 128 + j,\n"
            + "// c = j pi/256, and their negatives in rows 256 ... 511: a leading part of 26 bits and\n"
            + "// the rest of each.\n"
            + arr4("kNumSinCosTable", sc_table(2 * SC_ROWS))
            + "// (sin s - s) / s^3 and (cos s - 1) / s^2 in s^2, |s| <= pi/512.\n"
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
