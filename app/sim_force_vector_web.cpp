// Pass 1 of the force step on WebAssembly's SIMD128 vectors (2 doubles a vector), for the page.
// The desktop's vector kernels (sim_force_vector_desktop.cpp) step for step, lane for lane, with
// the same margin test, the same order of additions and the same fallbacks, so the results are
// the scalar step's to the bit (docs/exactness.md); only more objects are taken side by side.
// WebAssembly has no fused multiply-add:
// - the polynomials of the own arc tangent and cosine round after every product and every sum;
//   their bounds (sim_force_coefficients.h, "without fused multiply-adds") stay far inside the
//   margin;
// - the cosine's reduction x - k P1 - k P2 keeps its first step exact: P1 ends in three zero bits,
//   so k P1 (k <= 6) is exact, and x - k P1 is (Sterbenz);
// - the products the desktop fuses elsewhere are exact, so the plain ones are the same: the
//   squares of singles (48 bits), and u g, a product of two singles.
// Lanes the margin test refuses take the scalar step's value (sim_force_angle, sim_force_cosine);
// a lane whose distance is infinite or NaN redoes its whole pair in scalar code.
#include <wasm_simd128.h>

#include <cmath>
#include <cstdint>

#include "app/sim_force_coefficients.h"
#include "app/sim_force_kernel.h"

namespace {

using V = v128_t;   // two doubles, or two 64-bit integers, or a mask of two lanes
using VF = v128_t;  // two singles in the low lanes of a float vector
constexpr int kLanes = 2;
// Objects the kernel takes side by side, the chains of their nine parts in flight together (a
// third less time than one at a time; four gain nothing more).
constexpr int kObjects = 3;

// Loops over the values side by side unrolled whole, so that every value stays a local of its own
// rather than an array in memory.
#define UNROLLED _Pragma("unroll")

inline V Set(double x) { return wasm_f64x2_splat(x); }
inline V Add(V a, V b) { return wasm_f64x2_add(a, b); }
inline V Sub(V a, V b) { return wasm_f64x2_sub(a, b); }
inline V Mul(V a, V b) { return wasm_f64x2_mul(a, b); }
inline V Div(V a, V b) { return wasm_f64x2_div(a, b); }
// a ? b : c, lane by lane.
inline V IfThenElse(V mask, V yes, V no) { return wasm_v128_bitselect(yes, no, mask); }
inline VF Promote(V f) { return wasm_f64x2_promote_low_f32x4(f); }
inline VF Demote(V d) { return wasm_f32x4_demote_f64x2_zero(d); }
// Rounded to single and back. The empty statement between keeps the two conversions: the
// compiler would merge them and then split the pair into lanes, six instructions for two.
inline V Single(V x) {
    VF f = Demote(x);
    __asm__("" : "+r"(f));
    return Promote(f);
}
inline bool AllTrue(V mask) { return wasm_i64x2_all_true(mask); }
inline V AllLanes() { return wasm_i64x2_splat(-1); }
inline uint32_t Bits(V mask) { return wasm_i64x2_bitmask(mask); }

}  // namespace

// The kernel's constants, read from memory. A constant vector written into the code costs the
// browser's compiler three or four instructions at every use, inside the loops; a load costs one.
// The table is writable and seen from outside so that the compiler cannot fold it back in.
struct SimForceSimdConstants {
    V atan_poly[10], sin_poly[6], cos_poly[6];
    V one, minus_one, minus_zero, eighth, three_eighths, quarter_turn, half_turn;
    V shifter, two_over_pi, pi_half1, pi_half2, int_one, int_two;
    V margin_shift, low29, twice_margin_and_one, half_margin, least_normal, six, four;
    V tiny, c100, c180, c500, inf, f180, f360;
};
static_assert(sizeof kSimForceAtanPoly / sizeof(double) == 10 && sizeof kSimForceSinPoly / sizeof(double) == 6 &&
              sizeof kSimForceCosPoly / sizeof(double) == 6);

namespace {
inline V Pair(double x) { return wasm_f64x2_make(x, x); }
SimForceSimdConstants make_constants() {
    SimForceSimdConstants k;
    for (int i = 0; i < 10; ++i) k.atan_poly[i] = Pair(kSimForceAtanPoly[i]);
    for (int i = 0; i < 6; ++i) k.sin_poly[i] = Pair(kSimForceSinPoly[i]);
    for (int i = 0; i < 6; ++i) k.cos_poly[i] = Pair(kSimForceCosPoly[i]);
    k.one = Pair(1.0);
    k.minus_one = Pair(-1.0);
    k.minus_zero = Pair(-0.0);
    k.eighth = Pair(kSimForceAtanEighth);
    k.three_eighths = Pair(kSimForceAtanThreeEighths);
    k.quarter_turn = Pair(kSimForceQuarterTurn);
    k.half_turn = Pair(kSimForceHalfTurn);
    k.shifter = Pair(0x1.8p52);
    k.two_over_pi = Pair(kSimForceTwoOverPi);
    k.pi_half1 = Pair(kSimForcePiHalf1);
    k.pi_half2 = Pair(kSimForcePiHalf2);
    k.int_one = wasm_i64x2_splat(1);
    k.int_two = wasm_i64x2_splat(2);
    k.margin_shift = wasm_i64x2_splat(kSimForceMarginUlps - 0x10000000);
    k.low29 = wasm_i64x2_splat(0x1FFFFFFF);
    k.twice_margin_and_one = wasm_i64x2_splat(2 * kSimForceMarginUlps + 1);
    k.half_margin = wasm_i64x2_splat(kSimForceMarginUlps / 2);
    k.least_normal = Pair(0x1p-126);
    k.six = Pair(6.0);
    k.four = Pair(4.0);
    k.tiny = Pair(1e-7);
    k.c100 = Pair(100.0);
    k.c180 = Pair(180.0);
    k.c500 = Pair(500.0);
    k.inf = Pair(HUGE_VAL);
    k.f180 = wasm_f32x4_splat(180.0f);
    k.f360 = wasm_f32x4_splat(360.0f);
    return k;
}
}  // namespace
SimForceSimdConstants sim_force_simd_constants = make_constants();

namespace {
const SimForceSimdConstants& K = sim_force_simd_constants;

// The polynomial c at z, W values side by side, each step's product and sum rounded.
template <int N, int W>
inline void Horner(const V (&c)[N], const V (&z)[W], V (&p)[W]) {
    UNROLLED
    for (int w = 0; w < W; ++w) p[w] = c[N - 1];
    UNROLLED
    for (int i = N - 1; i-- > 0;)
        UNROLLED
        for (int w = 0; w < W; ++w) p[w] = Add(Mul(p[w], z[w]), c[i]);
}

// atan(r) / deg for float r, deg the checked angle unit.
template <int W>
inline void Angle(const V (&r)[W], V (&y)[W]) {
    const V one = K.one, sign = K.minus_zero;
    V t[W], z[W], off[W], p[W];
    UNROLLED
    for (int w = 0; w < W; ++w) {
        const V ar = wasm_f64x2_abs(r[w]);
        const V mid = wasm_f64x2_gt(ar, K.eighth);
        const V big = wasm_f64x2_gt(ar, K.three_eighths);
        // t = |r|, (|r| - 1) / (|r| + 1) or -1 / |r|; the sums are exact.
        const V num = IfThenElse(big, K.minus_one, IfThenElse(mid, Sub(ar, one), ar));
        const V den = IfThenElse(big, ar, IfThenElse(mid, Add(ar, one), one));
        off[w] = IfThenElse(big, K.half_turn, wasm_v128_and(mid, K.quarter_turn));
        t[w] = Div(num, den);
        z[w] = Mul(t[w], t[w]);
    }
    Horner(K.atan_poly, z, p);
    UNROLLED
    for (int w = 0; w < W; ++w)  // off + t p >= 0: the sign of r given back
        y[w] = wasm_v128_or(Add(Mul(t[w], p[w]), off[w]), wasm_v128_and(r[w], sign));
}

// cos(x) for float x in 2 ... 10.
template <int W>
inline void Cosine(const V (&x)[W], V (&v)[W]) {
    const V shifter = K.shifter;
    V kd[W], r[W], z[W], s[W], c[W];
    UNROLLED
    for (int w = 0; w < W; ++w) {
        kd[w] = Add(Mul(x[w], K.two_over_pi), shifter);  // k in the low bits
        const V k = Sub(kd[w], shifter);
        // k P1 and x - k P1 are exact; k P2 and the difference round.
        r[w] = Sub(Sub(x[w], Mul(k, K.pi_half1)), Mul(k, K.pi_half2));
        z[w] = Mul(r[w], r[w]);
    }
    Horner(K.sin_poly, z, s);
    Horner(K.cos_poly, z, c);
    UNROLLED
    for (int w = 0; w < W; ++w) {
        const V sine = Add(Mul(Mul(r[w], z[w]), s[w]), r[w]);
        const V cosine = Add(Mul(z[w], c[w]), K.one);
        // cos(r + k pi/2): cos r, -sin r, -cos r, sin r for k mod 4 = 0 ... 3.
        const V odd = wasm_i64x2_ne(wasm_v128_and(kd[w], K.int_one), wasm_i64x2_splat(0));
        const V pick = IfThenElse(odd, sine, cosine);
        const V flip = wasm_i64x2_shl(wasm_v128_and(wasm_i64x2_add(kd[w], K.int_one), K.int_two), 62);
        v[w] = wasm_v128_xor(pick, flip);
    }
}

// Lanes whose value x may round to another single within kSimForceMarginUlps double ulps of x:
// the low 29 bits of the double, those a single drops, near 2^28. The test is low - (2 margin
// + 1) < 0 by the sign bits of both halves (low is below 2^29), as 64-bit lanes have no
// unsigned compare, which the compiler would make of a signed one here lane by lane.
inline V NearMidpoint(V x) {
    const V low = wasm_v128_and(wasm_i64x2_add(x, K.margin_shift), K.low29);
    return wasm_i32x4_shr(wasm_i64x2_sub(low, K.twice_margin_and_one), 31);
}

// The value moved away from zero by half the margin, for the trial variants.
template <SimForceTrial kTrial>
inline V Nudged(V x) {
    if constexpr (kTrial == SimForceTrial::kExact) return x;
    return wasm_i64x2_add(x, K.half_margin);
}

// The lanes of the margin test (all, unchecked), and the lanes the bounds cover.
template <SimForceTrial kTrial>
inline V Trusted(V x, V covered) {
    if constexpr (kTrial == SimForceTrial::kNudgedUnchecked) return AllLanes();
    return wasm_v128_andnot(covered, NearMidpoint(x));
}

// Stage 1: the values, and the lanes they are trusted on cleared from ok where not. Zero, values
// below the singles' normal range and NaN are not covered.
template <SimForceTrial kTrial, int W>
inline void AngleStage(const V (&r)[W], V (&y)[W], V& ok) {
    Angle(r, y);
    UNROLLED
    for (int w = 0; w < W; ++w) {
        y[w] = Nudged<kTrial>(y[w]);
        ok = wasm_v128_and(ok, Trusted<kTrial>(y[w], wasm_f64x2_ge(wasm_f64x2_abs(y[w]), K.least_normal)));
    }
}

// Stage 2 on cosine arguments in 2 ... 10 (NaN and anything else not covered).
template <SimForceTrial kTrial, int W>
inline void CosineStage(const V (&arg)[W], V strength, V (&x)[W], V& ok) {
    Cosine(arg, x);
    UNROLLED
    for (int w = 0; w < W; ++w) {
        x[w] = Nudged<kTrial>(Mul(x[w], strength));
        ok = wasm_v128_and(ok, Trusted<kTrial>(x[w], wasm_f64x2_le(wasm_f64x2_abs(Sub(arg[w], K.six)), K.four)));
    }
}

// Lanes not in ok take `scalar(x, param)` of the lane instead of their value v; rounded to single.
__attribute__((noinline)) VF Redo(V x, V v, V ok, double param, float (*scalar)(double, double)) {
    const uint32_t bits = Bits(ok);
    float u[2] = {static_cast<float>(wasm_f64x2_extract_lane(v, 0)),
                  static_cast<float>(wasm_f64x2_extract_lane(v, 1))};
    if (!(bits & 1)) u[0] = scalar(wasm_f64x2_extract_lane(x, 0), param);
    if (!(bits & 2)) u[1] = scalar(wasm_f64x2_extract_lane(x, 1), param);
    return wasm_f32x4_make(u[0], u[1], 0.0f, 0.0f);
}

struct Constants {
    V deg, tiny, c100, c180, c500, inf;
    VF f180, f360, fzero;
    double deg_scalar;
};

// The rest of stage 1 in singles (each sum of singles rounded once, as the double sum rounded
// to single) and the cosine argument.
inline V CosineArgument(VF a, VF den, const Constants& c) {
    a = IfThenElse(wasm_f32x4_lt(den, c.fzero), wasm_f32x4_add(a, c.f180), a);
    a = IfThenElse(wasm_f32x4_lt(a, c.fzero), wasm_f32x4_add(a, c.f360), a);
    return Single(Mul(c.deg, Add(Promote(a), c.c180)));
}

// The parts of pairs side by side (three a pair): for each plane the angle of (num, den), turned
// half a circle, its cosine times the strength; the lanes any stage does not trust are cleared
// from ok.
template <SimForceTrial kTrial, int W>
inline void Parts(const V (&num)[W], const V (&den)[W], const VF (&den_f)[W], V strength,
                  const Constants& c, V (&u)[W], V& ok) {
    V r[W], y[W], arg[W], x[W];
    UNROLLED
    for (int w = 0; w < W; ++w) r[w] = Single(Div(Add(num[w], c.tiny), Add(den[w], c.tiny)));
    AngleStage<kTrial>(r, y, ok);
    UNROLLED
    for (int w = 0; w < W; ++w) arg[w] = CosineArgument(Demote(y[w]), den_f[w], c);
    CosineStage<kTrial>(arg, strength, x, ok);
    UNROLLED
    for (int w = 0; w < W; ++w) u[w] = Single(x[w]);
}

// The same for one pair with the scalar step's value on the lanes a stage does not trust.
template <SimForceTrial kTrial>
__attribute__((noinline)) void CarefulParts(const V (&num)[3], const V (&den)[3], const VF (&den_f)[3],
                                            V strength, double strength_scalar, const Constants& c,
                                            V (&u)[3]) {
    for (int k = 0; k < 3; ++k) {
        V ok = AllLanes();
        V r[1] = {Single(Div(Add(num[k], c.tiny), Add(den[k], c.tiny)))}, y[1];
        AngleStage<kTrial>(r, y, ok);
        const VF a = Redo(r[0], y[0], ok, c.deg_scalar, sim_force_angle);
        ok = AllLanes();
        V arg[1] = {CosineArgument(a, den_f[k], c)}, x[1];
        CosineStage<kTrial>(arg, strength, x, ok);
        u[k] = Promote(Redo(arg[0], x[0], ok, strength_scalar, sim_force_cosine));
    }
}

// Lanes whose distance is infinite or NaN: the whole pair again in scalar code, from the sums
// before it.
__attribute__((noinline)) void RedoPairs(const SimForceJob& j, int32_t i, int32_t q, double strength,
                                         V dist, V old_x, V old_y, V old_z, V& fx, V& fy, V& fz) {
    double nx[2], ny[2], nz[2];
    wasm_v128_store(nx, fx);
    wasm_v128_store(ny, fy);
    wasm_v128_store(nz, fz);
    const float qpos[3] = {j.px[q], j.py[q], j.pz[q]};
    const double dists[2] = {wasm_f64x2_extract_lane(dist, 0), wasm_f64x2_extract_lane(dist, 1)};
    const double ox[2] = {wasm_f64x2_extract_lane(old_x, 0), wasm_f64x2_extract_lane(old_x, 1)};
    const double oy[2] = {wasm_f64x2_extract_lane(old_y, 0), wasm_f64x2_extract_lane(old_y, 1)};
    const double oz[2] = {wasm_f64x2_extract_lane(old_z, 0), wasm_f64x2_extract_lane(old_z, 1)};
    for (int l = 0; l < kLanes; ++l) {
        const double e = dists[l];
        if (e - e == 0) continue;  // finite
        const int32_t s = i + l;
        const float p[3] = {j.px[s], j.py[s], j.pz[s]};
        float f[3] = {static_cast<float>(ox[l]), static_cast<float>(oy[l]), static_cast<float>(oz[l])};
        sim_force_pair(p, qpos, strength, j.deg, f);
        nx[l] = f[0];
        ny[l] = f[1];
        nz[l] = f[2];
    }
    fx = wasm_v128_load(nx);
    fy = wasm_v128_load(ny);
    fz = wasm_v128_load(nz);
}

// The differences to object q, single minus single as the scalar step does it, and the distance.
inline V Differences(const SimForceJob& j, VF px, VF py, VF pz, int32_t q, VF (&df)[3], V (&dd)[3]) {
    df[0] = wasm_f32x4_sub(px, wasm_f32x4_splat(j.px[q]));
    df[1] = wasm_f32x4_sub(py, wasm_f32x4_splat(j.py[q]));
    df[2] = wasm_f32x4_sub(pz, wasm_f32x4_splat(j.pz[q]));
    for (int k = 0; k < 3; ++k) dd[k] = Promote(df[k]);
    // The squares of singles are exact: these sums are the desktop's fused ones.
    return Single(wasm_f64x2_sqrt(Add(Mul(dd[2], dd[2]), Add(Mul(dd[1], dd[1]), Mul(dd[0], dd[0])))));
}

inline V Gain(V dist, const Constants& c) {
    const V g = Single(Div(c.c500, wasm_f64x2_sqrt(dist)));
    return wasm_f64x2_pmin(g, c.c100);  // 100 < g ? 100 : g, NaN kept as the compare keeps it
}

// A pair's parts u times the gain g taken off the sums; u g is exact (singles).
inline void AddPair(V ux, V uy, V uz, V g, V& fx, V& fy, V& fz) {
    fx = Single(Sub(fx, Mul(ux, g)));
    fy = Single(Sub(fy, Mul(uy, g)));
    fz = Single(Sub(fz, Mul(uz, g)));
}

// Objects q ... q + P - 1: their parts u (three a pair) and gains g; false unless every distance
// is finite and every stage trusted on both lanes. Several objects side by side give the
// processor more independent chains to work on at once.
template <SimForceTrial kTrial, int P>
inline bool FastObjects(const SimForceJob& j, VF px, VF py, VF pz, int32_t q, V strength,
                        const Constants& c, V (&u)[3 * P], V (&g)[P]) {
    V num[3 * P], den[3 * P], ok = AllLanes();
    VF den_f[3 * P];
    UNROLLED
    for (int k = 0; k < P; ++k) {
        VF df[3];
        V dd[3];
        const V dist = Differences(j, px, py, pz, q + k, df, dd);
        ok = wasm_v128_and(ok, wasm_f64x2_lt(dist, c.inf));
        g[k] = Gain(dist, c);
        UNROLLED
        for (int w = 0; w < 3; ++w) {
            num[3 * k + w] = dd[w];
            den[3 * k + w] = dd[(w + 2) % 3];
            den_f[3 * k + w] = df[(w + 2) % 3];
        }
    }
    Parts<kTrial>(num, den, den_f, strength, c, u, ok);
    return AllTrue(ok);
}

// One object the long way: the scalar step's values where a stage is not trusted, and the whole
// pair in scalar code where the distance is infinite or NaN.
template <SimForceTrial kTrial>
__attribute__((noinline)) void CarefulObject(const SimForceJob& j, int32_t i, VF px, VF py, VF pz,
                                             int32_t q, V strength, double strength_scalar,
                                             const Constants& c, V& fx, V& fy, V& fz) {
    VF df[3];
    V dd[3];
    const V dist = Differences(j, px, py, pz, q, df, dd);
    const V num[3] = {dd[0], dd[1], dd[2]}, den[3] = {dd[2], dd[0], dd[1]};
    const VF den_f[3] = {df[2], df[0], df[1]};
    V u[3];
    CarefulParts<kTrial>(num, den, den_f, strength, strength_scalar, c, u);
    V nx = fx, ny = fy, nz = fz;
    AddPair(u[0], u[1], u[2], Gain(dist, c), nx, ny, nz);
    if (!AllTrue(wasm_f64x2_lt(dist, c.inf))) RedoPairs(j, i, q, strength_scalar, dist, fx, fy, fz, nx, ny, nz);
    fx = nx;
    fy = ny;
    fz = nz;
}

template <SimForceTrial kTrial>
float Forces(SimForceJob& j, int32_t from, int32_t to) {
    Constants c;
    c.deg = Set(j.deg);
    c.deg_scalar = j.deg;
    c.tiny = K.tiny;
    c.c100 = K.c100;
    c.c180 = K.c180;
    c.c500 = K.c500;
    c.f180 = K.f180;
    c.f360 = K.f360;
    c.fzero = wasm_f32x4_splat(0.0f);
    c.inf = K.inf;
    float biggest = -1e15f;
    for (int32_t i = from; i < to; i += kLanes) {
        const int32_t s = j.species_of[i];
        const int32_t end = j.start[s] + j.count[s];
        if (i >= end) continue;  // spare slots
        const VF px = wasm_v128_load64_zero(j.px + i);
        const VF py = wasm_v128_load64_zero(j.py + i);
        const VF pz = wasm_v128_load64_zero(j.pz + i);
        V fx = Set(0.0), fy = Set(0.0), fz = Set(0.0);
        for (int32_t k = 0; k < j.group_count[s]; ++k) {
            const double strength_scalar = j.groups[s][k].strength;
            const V strength = Set(strength_scalar);
            const int32_t t = j.groups[s][k].object;
            const int32_t q0 = j.start[t], q1 = q0 + j.count[t];
            // kObjects objects at a time, the rest one by one; where the fast way does not serve,
            // each object of the step the long way, in order.
            int32_t q = q0;
            for (; q + kObjects <= q1; q += kObjects) {
                V u[3 * kObjects], g[kObjects];
                const bool fast = FastObjects<kTrial, kObjects>(j, px, py, pz, q, strength, c, u, g);
                if (__builtin_expect(fast, 1)) {
                    UNROLLED
                    for (int p = 0; p < kObjects; ++p)
                        AddPair(u[3 * p], u[3 * p + 1], u[3 * p + 2], g[p], fx, fy, fz);
                } else {
                    UNROLLED
                    for (int p = 0; p < kObjects; ++p)
                        CarefulObject<kTrial>(j, i, px, py, pz, q + p, strength, strength_scalar, c,
                                              fx, fy, fz);
                }
            }
            for (; q < q1; ++q) {
                V u[3], g[1];
                if (__builtin_expect(FastObjects<kTrial, 1>(j, px, py, pz, q, strength, c, u, g), 1))
                    AddPair(u[0], u[1], u[2], g[0], fx, fy, fz);
                else
                    CarefulObject<kTrial>(j, i, px, py, pz, q, strength, strength_scalar, c, fx, fy, fz);
            }
        }
        const float sums[3][2] = {
            {wasm_f32x4_extract_lane(Demote(fx), 0), wasm_f32x4_extract_lane(Demote(fx), 1)},
            {wasm_f32x4_extract_lane(Demote(fy), 0), wasm_f32x4_extract_lane(Demote(fy), 1)},
            {wasm_f32x4_extract_lane(Demote(fz), 0), wasm_f32x4_extract_lane(Demote(fz), 1)}};
        for (int32_t l = 0; l < kLanes && i + l < end; ++l) {
            const float m = sim_force_finish(j, i + l, sums[0][l], sums[1][l], sums[2][l]);
            if (m > biggest) biggest = m;
        }
    }
    return biggest;
}

// One stage over n floats, as the kernel computes it: stage 1 (param deg) or 2 (param strength).
template <bool kCos>
void Stage(const float* in, double param, float* out, int64_t n, int64_t* refused) {
    for (int64_t i = 0; i < n; i += kLanes) {
        const int64_t m = n - i < kLanes ? n - i : kLanes;
        const V x = Promote(wasm_f32x4_make(in[i], m > 1 ? in[i + 1] : 0.0f, 0.0f, 0.0f));
        V ok = AllLanes();
        const V xs[1] = {x};
        V v[1];
        if (kCos)
            CosineStage<SimForceTrial::kExact>(xs, Set(param), v, ok);
        else
            AngleStage<SimForceTrial::kExact>(xs, v, ok);
        const uint32_t bits = Bits(ok);
        const VF u = Redo(x, v[0], ok, param, kCos ? sim_force_cosine : sim_force_angle);
        for (int64_t l = 0; l < m; ++l) {
            out[i + l] = l == 0 ? wasm_f32x4_extract_lane(u, 0) : wasm_f32x4_extract_lane(u, 1);
            if (refused && !((bits >> l) & 1)) ++*refused;
        }
    }
}

constexpr int32_t kIsa = static_cast<int32_t>(3);  // SimForceIsa::kSimd128

}  // namespace

SimForceKernel sim_force_vector_kernel(int32_t isa, SimForceTrial trial) {
    if (isa != kIsa) return nullptr;
    switch (trial) {
        case SimForceTrial::kExact: return Forces<SimForceTrial::kExact>;
        case SimForceTrial::kNudged: return Forces<SimForceTrial::kNudged>;
        case SimForceTrial::kNudgedUnchecked: return Forces<SimForceTrial::kNudgedUnchecked>;
    }
    return nullptr;
}

void sim_force_vector_angles(int32_t isa, const float* r, float* out, int64_t n, int64_t* refused) {
    if (isa == kIsa) Stage<false>(r, kSimForceCheckedDeg, out, n, refused);
}

void sim_force_vector_cosines(int32_t isa, const float* arg, double strength, float* out, int64_t n,
                              int64_t* refused) {
    if (isa == kIsa) Stage<true>(arg, strength, out, n, refused);
}
