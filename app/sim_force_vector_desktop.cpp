// Pass 1 of the force step on vector units: AVX2 with FMA (4 doubles a vector) and AVX-512 (8).
// A vector holds consecutive subject particles of one species; each object particle is given to
// every lane. Every lane does the scalar step's arithmetic in the same order, each value rounded
// to single where the scalar step stores it, so the results are the same to the bit
// (docs/exactness.md):
// - The arc tangent and the cosine are this file's own (sim_force_coefficients.h), a few double
//   ulps from the exact values. Their results are used only after rounding to single, and a lane
//   is trusted only when its value lies more than kSimForceMarginUlps double ulps from a midpoint
//   between singles; there the correctly rounded value, within a few ulps of it, rounds to the
//   same single. Other lanes (about two in a million), and values outside what the bounds cover
//   (zero, below the singles' normal range, NaN, cosine arguments outside 2 … 10), take the
//   scalar step's value (num_atan, num_cos).
// - A lane whose distance is infinite or NaN redoes the whole pair in scalar code: NaN signs
//   depend on the order of the operands.
// - Everything else is the scalar step's IEEE operation; a fused multiply-add only where its
//   product is exact.
// This file is compiled once per instruction set (Highway's foreach_target); only plain function
// pointers leave it.
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "app/sim_force_coefficients.h"
#include "app/sim_force_kernel.h"

// Only the two instruction sets the kernels are for; the baseline pass builds nothing.
#ifndef HWY_DISABLED_TARGETS
#define HWY_DISABLED_TARGETS (HWY_SSSE3 | HWY_SSE4 | HWY_AVX3_DL)
#endif
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "app/sim_force_vector_desktop.cpp"
#include "hwy/foreach_target.h"  // IWYU pragma: keep
#include "hwy/highway.h"

HWY_BEFORE_NAMESPACE();
namespace sim_force_simd {
namespace HWY_NAMESPACE {
#if HWY_TARGET == HWY_AVX2 || HWY_TARGET == HWY_AVX3

namespace hn = hwy::HWY_NAMESPACE;
using D = hn::ScalableTag<double>;
using DF = hn::Rebind<float, D>;
using DI = hn::RebindToSigned<D>;
using V = hn::Vec<D>;
using VF = hn::Vec<DF>;
using M = hn::Mask<D>;
constexpr size_t kMaxLanes = 8;

// Small fixed loops, written once for any width, unrolled so that every vector stays in a register.
#define UNROLLED _Pragma("GCC unroll 16")

HWY_INLINE V Set(double x) { return hn::Set(D(), x); }

// Rounded to single and back.
HWY_INLINE V Single(V x) { return hn::PromoteTo(D(), hn::DemoteTo(DF(), x)); }

// The polynomial c at z, for W values side by side (independent chains keep the units busy).
template <size_t N, int W>
HWY_INLINE void Horner(const double (&c)[N], const V (&z)[W], V (&p)[W]) {
    UNROLLED
    for (int w = 0; w < W; ++w) p[w] = Set(c[N - 1]);
    UNROLLED
    for (size_t i = N - 1; i-- > 0;)
        UNROLLED
        for (int w = 0; w < W; ++w) p[w] = hn::MulAdd(p[w], z[w], Set(c[i]));
}

// atan(r) / deg for float r, deg the checked angle unit.
template <int W>
HWY_INLINE void Angle(const V (&r)[W], V (&y)[W]) {
    const V one = Set(1.0);
    V t[W], z[W], off[W], p[W];
    UNROLLED
    for (int w = 0; w < W; ++w) {
        const V ar = hn::Abs(r[w]);
        const M mid = hn::Gt(ar, Set(kSimForceAtanEighth));
        const M big = hn::Gt(ar, Set(kSimForceAtanThreeEighths));
        // t = |r|, (|r| − 1) / (|r| + 1) or −1 / |r|; the sums are exact.
        const V num = hn::IfThenElse(big, Set(-1.0), hn::IfThenElse(mid, hn::Sub(ar, one), ar));
        const V den = hn::IfThenElse(big, ar, hn::IfThenElse(mid, hn::Add(ar, one), one));
        off[w] = hn::IfThenElse(big, Set(kSimForceHalfTurn),
                                hn::IfThenElseZero(mid, Set(kSimForceQuarterTurn)));
        t[w] = hn::Div(num, den);
        z[w] = hn::Mul(t[w], t[w]);
    }
    Horner(kSimForceAtanPoly, z, p);
    UNROLLED
    for (int w = 0; w < W; ++w)  // off + t p >= 0
        y[w] = hn::CopySignToAbs(hn::MulAdd(t[w], p[w], off[w]), r[w]);
}

// cos(x) for float x in 2 … 10.
template <int W>
HWY_INLINE void Cosine(const V (&x)[W], V (&v)[W]) {
    const DI di;
    const V shifter = Set(0x1.8p52);
    V kd[W], r[W], z[W], s[W], c[W];
    UNROLLED
    for (int w = 0; w < W; ++w) {
        kd[w] = hn::MulAdd(x[w], Set(kSimForceTwoOverPi), shifter);  // k in the low bits
        const V k = hn::Sub(kd[w], shifter);
        // x − k P1 is exact: the fused product is, and so is the difference (a multiple of
        // 2^-52 below 1).
        r[w] = hn::NegMulAdd(k, Set(kSimForcePiHalf2), hn::NegMulAdd(k, Set(kSimForcePiHalf1), x[w]));
        z[w] = hn::Mul(r[w], r[w]);
    }
    Horner(kSimForceSinPoly, z, s);
    Horner(kSimForceCosPoly, z, c);
    UNROLLED
    for (int w = 0; w < W; ++w) {
        const V sine = hn::MulAdd(hn::Mul(r[w], z[w]), s[w], r[w]);
        const V cosine = hn::MulAdd(z[w], c[w], Set(1.0));
        // cos(r + k pi/2): cos r, −sin r, −cos r, sin r for k mod 4 = 0 … 3.
        const auto kb = hn::BitCast(di, kd[w]);
        const V pick = hn::IfThenElse(hn::RebindMask(D(), hn::TestBit(kb, hn::Set(di, 1))), sine, cosine);
        const auto sign = hn::ShiftLeft<62>(hn::And(hn::Add(kb, hn::Set(di, 1)), hn::Set(di, 2)));
        v[w] = hn::Xor(pick, hn::BitCast(D(), sign));
    }
}

// Lanes whose value x rounds to a single that nothing within kSimForceMarginUlps double ulps of
// x changes: the low 29 bits of the double, those a single drops, far from 2^28.
HWY_INLINE M FarFromMidpoint(V x) {
    const DI di;
    const auto low = hn::And(hn::Add(hn::BitCast(di, x), hn::Set(di, kSimForceMarginUlps - 0x10000000)),
                             hn::Set(di, 0x1FFFFFFF));
    return hn::RebindMask(D(), hn::Gt(low, hn::Set(di, 2 * kSimForceMarginUlps)));
}

// The value moved away from zero by half the margin, for the trial variants.
template <SimForceTrial kTrial>
HWY_INLINE V Nudged(V x) {
    if constexpr (kTrial == SimForceTrial::kExact) return x;
    const DI di;
    return hn::BitCast(D(), hn::Add(hn::BitCast(di, x), hn::Set(di, kSimForceMarginUlps / 2)));
}

// The lanes of the margin test (all, unchecked), and the lanes the bounds cover.
template <SimForceTrial kTrial>
HWY_INLINE M Trusted(V x, M covered) {
    if constexpr (kTrial == SimForceTrial::kNudgedUnchecked) return hn::FirstN(D(), kMaxLanes);
    return hn::And(covered, FarFromMidpoint(x));
}

// Stage 1: the values, and the lanes they are trusted on cleared from ok where not. Zero, values
// below the singles' normal range and NaN are not covered.
template <SimForceTrial kTrial, int W>
HWY_INLINE void AngleStage(const V (&r)[W], V (&y)[W], M& ok) {
    Angle(r, y);
    UNROLLED
    for (int w = 0; w < W; ++w) {
        y[w] = Nudged<kTrial>(y[w]);
        ok = hn::And(ok, Trusted<kTrial>(y[w], hn::Ge(hn::Abs(y[w]), Set(0x1p-126))));
    }
}

// Stage 2 on cosine arguments in 2 … 10 (NaN and anything else not covered).
template <SimForceTrial kTrial, int W>
HWY_INLINE void CosineStage(const V (&arg)[W], V strength, V (&x)[W], M& ok) {
    Cosine(arg, x);
    UNROLLED
    for (int w = 0; w < W; ++w) {
        x[w] = Nudged<kTrial>(hn::Mul(x[w], strength));
        ok = hn::And(ok, Trusted<kTrial>(x[w], hn::Le(hn::Abs(hn::Sub(arg[w], Set(6.0))), Set(4.0))));
    }
}

// Lanes not in ok take `scalar(x, param)` of the lane instead of their value v; rounded to single.
HWY_NOINLINE VF Redo(V x, V v, M ok, double param, float (*scalar)(double, double)) {
    alignas(64) double xs[kMaxLanes];
    alignas(64) float us[kMaxLanes];
    alignas(64) uint8_t bits[8];
    hn::Store(x, D(), xs);
    hn::Store(hn::DemoteTo(DF(), v), DF(), us);
    hn::StoreMaskBits(D(), ok, bits);
    for (size_t l = 0; l < hn::Lanes(D()); ++l)
        if (!((bits[0] >> l) & 1)) us[l] = scalar(xs[l], param);
    return hn::Load(DF(), us);
}

struct Constants {
    V deg, tiny, c100, c180, c500, inf;
    VF f180, f360, fzero;
    double deg_scalar;
};

// The rest of stage 1 in singles (each sum of singles rounded once, as the double sum rounded
// to single) and the cosine argument.
HWY_INLINE V CosineArgument(VF a, VF den, const Constants& c) {
    a = hn::IfThenElse(hn::Lt(den, c.fzero), hn::Add(a, c.f180), a);
    a = hn::IfThenElse(hn::Lt(a, c.fzero), hn::Add(a, c.f360), a);
    return Single(hn::Mul(c.deg, hn::Add(hn::PromoteTo(D(), a), c.c180)));
}

HWY_INLINE M AllLanes() { return hn::FirstN(D(), kMaxLanes); }

// The three parts of P pairs side by side (W = 3 P): for each plane the angle of (num, den),
// turned half a circle, its cosine times the strength; the lanes any stage does not trust are
// cleared from ok.
template <SimForceTrial kTrial, int W>
HWY_INLINE void Parts(const V (&num)[W], const V (&den)[W], const VF (&den_f)[W], V strength,
                      const Constants& c, V (&u)[W], M& ok) {
    V r[W], y[W], arg[W], x[W];
    UNROLLED
    for (int w = 0; w < W; ++w)
        r[w] = Single(hn::Div(hn::Add(num[w], c.tiny), hn::Add(den[w], c.tiny)));
    AngleStage<kTrial>(r, y, ok);
    UNROLLED
    for (int w = 0; w < W; ++w) arg[w] = CosineArgument(hn::DemoteTo(DF(), y[w]), den_f[w], c);
    CosineStage<kTrial>(arg, strength, x, ok);
    UNROLLED
    for (int w = 0; w < W; ++w) u[w] = Single(x[w]);
}

// The same for one pair with the scalar step's value on the lanes a stage does not trust.
template <SimForceTrial kTrial>
HWY_NOINLINE void CarefulParts(const V (&num)[3], const V (&den)[3], const VF (&den_f)[3],
                               V strength, double strength_scalar, const Constants& c, V (&u)[3]) {
    for (int k = 0; k < 3; ++k) {
        M ok = AllLanes();
        V r[1] = {Single(hn::Div(hn::Add(num[k], c.tiny), hn::Add(den[k], c.tiny)))}, y[1];
        AngleStage<kTrial>(r, y, ok);
        const VF a = Redo(r[0], y[0], ok, c.deg_scalar, sim_force_angle);
        ok = AllLanes();
        V arg[1] = {CosineArgument(a, den_f[k], c)}, x[1];
        CosineStage<kTrial>(arg, strength, x, ok);
        u[k] = hn::PromoteTo(D(), Redo(arg[0], x[0], ok, strength_scalar, sim_force_cosine));
    }
}

// Lanes whose distance is infinite or NaN: the whole pair again in scalar code, from the sums
// before it.
HWY_NOINLINE void RedoPairs(const SimForceJob& j, int32_t i, int32_t q, double strength,
                            V dist, V old_x, V old_y, V old_z, V& fx, V& fy, V& fz) {
    const D d;
    alignas(64) double dists[kMaxLanes], ox[kMaxLanes], oy[kMaxLanes], oz[kMaxLanes];
    alignas(64) double nx[kMaxLanes], ny[kMaxLanes], nz[kMaxLanes];
    hn::Store(dist, d, dists);
    hn::Store(old_x, d, ox);
    hn::Store(old_y, d, oy);
    hn::Store(old_z, d, oz);
    hn::Store(fx, d, nx);
    hn::Store(fy, d, ny);
    hn::Store(fz, d, nz);
    const float qpos[3] = {j.px[q], j.py[q], j.pz[q]};
    for (size_t l = 0; l < hn::Lanes(d); ++l) {
        const double e = dists[l];
        if (e - e == 0) continue;  // finite
        const int32_t s = i + static_cast<int32_t>(l);
        const float p[3] = {j.px[s], j.py[s], j.pz[s]};
        float f[3] = {static_cast<float>(ox[l]), static_cast<float>(oy[l]),
                      static_cast<float>(oz[l])};
        sim_force_pair(p, qpos, strength, j.deg, f);
        nx[l] = f[0];
        ny[l] = f[1];
        nz[l] = f[2];
    }
    fx = hn::Load(d, nx);
    fy = hn::Load(d, ny);
    fz = hn::Load(d, nz);
}

// The differences to object q, single minus single as the scalar step does it, and the distance.
HWY_INLINE V Differences(const SimForceJob& j, VF px, VF py, VF pz, int32_t q, VF (&df)[3], V (&dd)[3]) {
    const DF f;
    df[0] = hn::Sub(px, hn::Set(f, j.px[q]));
    df[1] = hn::Sub(py, hn::Set(f, j.py[q]));
    df[2] = hn::Sub(pz, hn::Set(f, j.pz[q]));
    UNROLLED
    for (int k = 0; k < 3; ++k) dd[k] = hn::PromoteTo(D(), df[k]);
    // The squares of singles are exact, so the fused sums are the plain ones.
    return Single(hn::Sqrt(hn::MulAdd(dd[2], dd[2], hn::MulAdd(dd[1], dd[1], hn::Mul(dd[0], dd[0])))));
}

HWY_INLINE V Gain(V dist, const Constants& c) {
    const V g = Single(hn::Div(c.c500, hn::Sqrt(dist)));
    return hn::IfThenElse(hn::Gt(g, c.c100), c.c100, g);
}

// A pair's parts u times the gain g taken off the sums. u g is exact (singles), so each fused
// difference is the plain one.
HWY_INLINE void Add(V ux, V uy, V uz, V g, V& fx, V& fy, V& fz) {
    fx = Single(hn::NegMulAdd(ux, g, fx));
    fy = Single(hn::NegMulAdd(uy, g, fy));
    fz = Single(hn::NegMulAdd(uz, g, fz));
}

// P objects q … q + P − 1 side by side (one is fastest: more spill out of the registers): the
// parts u (three a pair) and gains g; false unless every distance is finite and every stage
// trusted on every lane.
template <SimForceTrial kTrial, int P>
HWY_INLINE bool FastObjects(const SimForceJob& j, VF px, VF py, VF pz, int32_t q, V strength,
                            const Constants& c, V (&u)[3 * P], V (&g)[P]) {
    V num[3 * P], den[3 * P];
    VF den_f[3 * P];
    M ok = AllLanes();
    UNROLLED
    for (int p = 0; p < P; ++p) {
        VF df[3];
        V dd[3];
        const V dist = Differences(j, px, py, pz, q + p, df, dd);
        ok = hn::And(ok, hn::Lt(dist, c.inf));
        g[p] = Gain(dist, c);
        UNROLLED
        for (int k = 0; k < 3; ++k) {
            num[3 * p + k] = dd[k];
            den[3 * p + k] = dd[(k + 2) % 3];
            den_f[3 * p + k] = df[(k + 2) % 3];
        }
    }
    Parts<kTrial>(num, den, den_f, strength, c, u, ok);
    return hn::AllTrue(D(), ok);
}

// One object the long way: the scalar step's values where a stage is not trusted, and the whole
// pair in scalar code where the distance is infinite or NaN.
template <SimForceTrial kTrial>
HWY_NOINLINE void CarefulObject(const SimForceJob& j, int32_t i, VF px, VF py, VF pz, int32_t q,
                                V strength, double strength_scalar, const Constants& c, V& fx,
                                V& fy, V& fz) {
    VF df[3];
    V dd[3];
    const V dist = Differences(j, px, py, pz, q, df, dd);
    const V num[3] = {dd[0], dd[1], dd[2]}, den[3] = {dd[2], dd[0], dd[1]};
    const VF den_f[3] = {df[2], df[0], df[1]};
    V u[3];
    CarefulParts<kTrial>(num, den, den_f, strength, strength_scalar, c, u);
    V nx = fx, ny = fy, nz = fz;
    Add(u[0], u[1], u[2], Gain(dist, c), nx, ny, nz);
    if (!hn::AllTrue(D(), hn::Lt(dist, c.inf)))
        RedoPairs(j, i, q, strength_scalar, dist, fx, fy, fz, nx, ny, nz);
    fx = nx;
    fy = ny;
    fz = nz;
}

template <SimForceTrial kTrial>
HWY_INLINE float Forces(SimForceJob& j, int32_t from, int32_t to) {
    const D d;
    const DF df;
    const int32_t lanes = static_cast<int32_t>(hn::Lanes(d));
    Constants c;
    c.deg = hn::Set(d, j.deg);
    c.deg_scalar = j.deg;
    c.tiny = hn::Set(d, 1e-7);
    c.c100 = hn::Set(d, 100.0);
    c.c180 = hn::Set(d, 180.0);
    c.c500 = hn::Set(d, 500.0);
    c.f180 = hn::Set(df, 180.0f);
    c.f360 = hn::Set(df, 360.0f);
    c.fzero = hn::Zero(df);
    c.inf = hn::Set(d, HUGE_VAL);
    float biggest = -1e15f;
    alignas(64) float sums[3][kMaxLanes];
    for (int32_t i = from; i < to; i += lanes) {
        const int32_t s = j.species_of[i];
        const int32_t end = j.start[s] + j.count[s];
        if (i >= end) continue;  // spare slots
        const VF px = hn::LoadU(df, j.px + i);
        const VF py = hn::LoadU(df, j.py + i);
        const VF pz = hn::LoadU(df, j.pz + i);
        V fx = hn::Zero(d), fy = hn::Zero(d), fz = hn::Zero(d);
        for (int32_t k = 0; k < j.group_count[s]; ++k) {
            const double strength_scalar = j.groups[s][k].strength;
            const V strength = hn::Set(d, strength_scalar);
            const int32_t t = j.groups[s][k].object;
            const int32_t q0 = j.start[t], q1 = q0 + j.count[t];
            for (int32_t q = q0; q < q1; ++q) {
                V u[3], g[1];
                if (HWY_LIKELY((FastObjects<kTrial, 1>(j, px, py, pz, q, strength, c, u, g))))
                    Add(u[0], u[1], u[2], g[0], fx, fy, fz);
                else
                    CarefulObject<kTrial>(j, i, px, py, pz, q, strength, strength_scalar, c, fx, fy, fz);
            }
        }
        hn::Store(hn::DemoteTo(df, fx), df, sums[0]);
        hn::Store(hn::DemoteTo(df, fy), df, sums[1]);
        hn::Store(hn::DemoteTo(df, fz), df, sums[2]);
        for (int32_t l = 0; l < lanes && i + l < end; ++l) {
            const float m = sim_force_finish(j, i + l, sums[0][l], sums[1][l], sums[2][l]);
            if (m > biggest) biggest = m;
        }
    }
    return biggest;
}

float ForcesExact(SimForceJob& j, int32_t from, int32_t to) {
    return Forces<SimForceTrial::kExact>(j, from, to);
}
float ForcesNudged(SimForceJob& j, int32_t from, int32_t to) {
    return Forces<SimForceTrial::kNudged>(j, from, to);
}
float ForcesNudgedUnchecked(SimForceJob& j, int32_t from, int32_t to) {
    return Forces<SimForceTrial::kNudgedUnchecked>(j, from, to);
}

// One stage over n floats, as the kernels compute it: stage 1 (param deg) or 2 (param strength).
template <bool kCos>
void Stage(const float* in, double param, float* out, int64_t n, int64_t* refused) {
    const D d;
    const int64_t lanes = static_cast<int64_t>(hn::Lanes(d));
    alignas(64) float buf[kMaxLanes];
    alignas(64) uint8_t bits[8];
    for (int64_t i = 0; i < n; i += lanes) {
        const int64_t m = n - i < lanes ? n - i : lanes;
        for (int64_t l = 0; l < lanes; ++l) buf[l] = l < m ? in[i + l] : 0.0f;
        const V x = hn::PromoteTo(d, hn::Load(DF(), buf));
        M ok = AllLanes();
        const V xs[1] = {x};
        V v[1];
        if (kCos)
            CosineStage<SimForceTrial::kExact>(xs, hn::Set(d, param), v, ok);
        else
            AngleStage<SimForceTrial::kExact>(xs, v, ok);
        hn::StoreMaskBits(d, ok, bits);
        const VF u = Redo(x, v[0], ok, param, kCos ? sim_force_cosine : sim_force_angle);
        hn::Store(u, DF(), buf);
        for (int64_t l = 0; l < m; ++l) {
            out[i + l] = buf[l];
            if (refused && !((bits[0] >> l) & 1)) ++*refused;
        }
    }
}
void Angles(const float* in, double deg, float* out, int64_t n, int64_t* refused) {
    Stage<false>(in, deg, out, n, refused);
}
void Cosines(const float* in, double strength, float* out, int64_t n, int64_t* refused) {
    Stage<true>(in, strength, out, n, refused);
}

#endif
}  // namespace HWY_NAMESPACE
}  // namespace sim_force_simd
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace {

struct Entry {
    SimForceKernel kernels[3];
    void (*angles)(const float*, double, float*, int64_t, int64_t*);
    void (*cosines)(const float*, double, float*, int64_t, int64_t*);
};

const Entry* entry(int32_t isa) {
#if HWY_TARGETS & HWY_AVX2
    static const Entry avx2 = {{&sim_force_simd::N_AVX2::ForcesExact,
                                &sim_force_simd::N_AVX2::ForcesNudged,
                                &sim_force_simd::N_AVX2::ForcesNudgedUnchecked},
                               &sim_force_simd::N_AVX2::Angles,
                               &sim_force_simd::N_AVX2::Cosines};
    if (isa == 1) return &avx2;
#endif
#if HWY_TARGETS & HWY_AVX3
    static const Entry avx512 = {{&sim_force_simd::N_AVX3::ForcesExact,
                                  &sim_force_simd::N_AVX3::ForcesNudged,
                                  &sim_force_simd::N_AVX3::ForcesNudgedUnchecked},
                                 &sim_force_simd::N_AVX3::Angles,
                                 &sim_force_simd::N_AVX3::Cosines};
    if (isa == 2) return &avx512;
#endif
    (void)isa;
    return nullptr;
}

}  // namespace

SimForceKernel sim_force_vector_kernel(int32_t isa, SimForceTrial trial) {
    const Entry* e = entry(isa);
    return e ? e->kernels[static_cast<int32_t>(trial)] : nullptr;
}

void sim_force_vector_angles(int32_t isa, const float* r, float* out, int64_t n, int64_t* refused) {
    if (const Entry* e = entry(isa)) e->angles(r, kSimForceCheckedDeg, out, n, refused);
}

void sim_force_vector_cosines(int32_t isa, const float* arg, double strength, float* out,
                              int64_t n, int64_t* refused) {
    if (const Entry* e = entry(isa)) e->cosines(arg, strength, out, n, refused);
}
#endif  // HWY_ONCE
