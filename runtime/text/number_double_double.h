// Double-double arithmetic without a fused multiply-add, for the correctly rounded functions:
// sums and products whose rounding error is kept as a second double. Plain IEEE double
// operations only (the build keeps -ffp-contract=off), so every platform gives the same bits.
#pragma once

// hi + lo, |lo| at most half an ulp of hi once normalised.
struct NumDd {
    double hi;
    double lo;
};

// a + b = hi + lo exactly.
inline NumDd num_dd_two_sum(double a, double b) {
    const double s = a + b;
    const double bb = s - a;
    return {s, (a - (s - bb)) + (b - bb)};
}

// The same when |a| >= |b| or a = 0.
inline NumDd num_dd_fast_two_sum(double a, double b) {
    const double s = a + b;
    return {s, b - (s - a)};
}

// a = hi + lo, each of at most 26 significant bits (Veltkamp), so the product of either with a
// double of 27 bits or fewer is exact.
inline NumDd num_dd_split(double a) {
    const double t = 134217729.0 * a;  // 2^27 + 1
    const double hi = t - (t - a);
    return {hi, a - hi};
}

// a b = hi + lo exactly (Dekker).
inline NumDd num_dd_two_prod(double a, double b) {
    const double p = a * b;
    const NumDd x = num_dd_split(a);
    const NumDd y = num_dd_split(b);
    return {p, ((x.hi * y.hi - p) + x.hi * y.lo + x.lo * y.hi) + x.lo * y.lo};
}

// Sum of two double-doubles, relative error below 3 u^2 (u = 2^-53; Joldes, Muller and
// Popescu's accurate sum).
inline NumDd num_dd_add(NumDd a, NumDd b) {
    NumDd s = num_dd_two_sum(a.hi, b.hi);
    const NumDd t = num_dd_two_sum(a.lo, b.lo);
    s = num_dd_fast_two_sum(s.hi, s.lo + t.hi);
    return num_dd_fast_two_sum(s.hi, s.lo + t.lo);
}

// Product of two double-doubles, relative error below 7 u^2.
inline NumDd num_dd_mul(NumDd a, NumDd b) {
    const NumDd p = num_dd_two_prod(a.hi, b.hi);
    return num_dd_fast_two_sum(p.hi, p.lo + (a.hi * b.lo + a.lo * b.hi));
}

inline NumDd num_dd_neg(NumDd a) { return {-a.hi, -a.lo}; }
