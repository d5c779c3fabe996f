// Pass 1 of the force step on vector units: AVX2 with FMA (4 doubles) and AVX-512 (8 doubles).
// A vector holds consecutive subject particles of one species; each object particle is given to
// every lane. Every lane does the scalar step's arithmetic in the same order, each value rounded
// to single where the scalar step stores it, so the results are the same to the bit:
// - The library's arc tangent and cosine are a few double ulps from the C library's. Their
//   results are used only after rounding to single, and a lane is trusted only when its value x
//   rounds to the same single at x (1 - m) and x (1 + m), m = kSimForceMargin; there the C
//   library's value, within far less than m of x, rounds to that single too. Other lanes (about
//   two in a million) take the C library's value.
// - A lane whose distance is infinite or NaN redoes the whole pair in scalar code: NaN signs
//   depend on the order of the operands.
// - Everything else is plain IEEE arithmetic, never fused; the library's fused operations are
//   part of its error, which the margin covers.
// This file is compiled once per instruction set (Highway's foreach_target); only plain function
// pointers leave it.
#include <cstddef>
#include <cstdint>

#include "app/sim_force_kernel.h"

// Only the two instruction sets the kernels are for; the baseline pass builds nothing.
#ifndef HWY_DISABLED_TARGETS
#define HWY_DISABLED_TARGETS (HWY_SSSE3 | HWY_SSE4 | HWY_AVX3_DL)
#endif
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "app/sim_force_vector.cpp"
#include "hwy/foreach_target.h"  // IWYU pragma: keep
#include "hwy/highway.h"
#include "hwy/contrib/math/math-inl.h"

HWY_BEFORE_NAMESPACE();
namespace sim_force_simd {
namespace HWY_NAMESPACE {
#if HWY_TARGET == HWY_AVX2 || HWY_TARGET == HWY_AVX3

namespace hn = hwy::HWY_NAMESPACE;
using D = hn::ScalableTag<double>;
using DF = hn::Rebind<float, D>;
using V = hn::Vec<D>;
using VF = hn::Vec<DF>;
constexpr size_t kMaxLanes = 8;

// Rounded to single and back.
HWY_INLINE V Single(V x) { return hn::PromoteTo(D(), hn::DemoteTo(DF(), x)); }

struct Constants {
    V deg, tiny, zero, c100, c180, c360, c500, below, above, nudge;
    double deg_scalar;
};

// The library value x (already a candidate for rounding) as a single when the margin test
// allows, with the failing lanes marked.
template <SimForceTrial kTrial>
HWY_INLINE VF Checked(V x, const Constants& c, hn::Mask<DF>& ok) {
    if constexpr (kTrial == SimForceTrial::kNudgedUnchecked) {
        ok = hn::FirstN(DF(), kMaxLanes);
        return hn::DemoteTo(DF(), x);
    } else {
        const VF lo = hn::DemoteTo(DF(), hn::Mul(x, c.below));
        const VF hi = hn::DemoteTo(DF(), hn::Mul(x, c.above));
        ok = hn::Eq(lo, hi);
        return lo;
    }
}

// Lanes the margin test refused take the C library's value: `scalar(x, param)` of the lane.
HWY_NOINLINE V Redo(V x, VF u, hn::Mask<DF> ok, double param, float (*scalar)(double, double)) {
    alignas(64) double xs[kMaxLanes];
    alignas(64) float us[kMaxLanes];
    alignas(64) uint8_t bits[8];
    hn::Store(x, D(), xs);
    hn::Store(u, DF(), us);
    hn::StoreMaskBits(DF(), ok, bits);
    for (size_t l = 0; l < hn::Lanes(D()); ++l)
        if (!((bits[0] >> l) & 1)) us[l] = scalar(xs[l], param);
    return hn::PromoteTo(D(), hn::Load(DF(), us));
}

// The three parts of a pair: for each plane the angle of (num, den), turned half a circle, its
// cosine times the strength. One check per stage for all three parts.
template <SimForceTrial kTrial>
HWY_INLINE void Parts(const V (&num)[3], const V (&den)[3], V strength, double strength_scalar,
                      const Constants& c, V (&u)[3]) {
    const D d;
    V r[3], arg[3];
    VF vf[3];
    hn::Mask<DF> ok[3];
    for (int k = 0; k < 3; ++k) {
        r[k] = Single(hn::Div(hn::Add(num[k], c.tiny), hn::Add(den[k], c.tiny)));
        V at = hn::Atan(d, r[k]);
        if constexpr (kTrial != SimForceTrial::kExact) at = hn::Mul(at, c.nudge);
        vf[k] = Checked<kTrial>(hn::Div(at, c.deg), c, ok[k]);
    }
    const bool angles_ok = hn::AllTrue(DF(), hn::And(hn::And(ok[0], ok[1]), ok[2]));
    for (int k = 0; k < 3; ++k) {
        V a = angles_ok || hn::AllTrue(DF(), ok[k]) ? hn::PromoteTo(d, vf[k])
                                                    : Redo(r[k], vf[k], ok[k], c.deg_scalar, sim_force_angle);
        a = hn::IfThenElse(hn::Lt(den[k], c.zero), Single(hn::Add(a, c.c180)), a);
        a = hn::IfThenElse(hn::Lt(a, c.zero), Single(hn::Add(a, c.c360)), a);
        arg[k] = Single(hn::Mul(c.deg, hn::Add(a, c.c180)));
        V co = hn::Cos(d, arg[k]);
        if constexpr (kTrial != SimForceTrial::kExact) co = hn::Mul(co, c.nudge);
        vf[k] = Checked<kTrial>(hn::Mul(co, strength), c, ok[k]);
    }
    const bool cosines_ok = hn::AllTrue(DF(), hn::And(hn::And(ok[0], ok[1]), ok[2]));
    for (int k = 0; k < 3; ++k)
        u[k] = cosines_ok || hn::AllTrue(DF(), ok[k])
                   ? hn::PromoteTo(d, vf[k])
                   : Redo(arg[k], vf[k], ok[k], strength_scalar, sim_force_cosine);
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

template <SimForceTrial kTrial>
HWY_INLINE float Forces(SimForceJob& j, int32_t from, int32_t to) {
    const D d;
    const DF df;
    const int32_t lanes = static_cast<int32_t>(hn::Lanes(d));
    Constants c;
    c.deg = hn::Set(d, j.deg);
    c.deg_scalar = j.deg;
    c.tiny = hn::Set(d, 1e-7);
    c.zero = hn::Zero(d);
    c.c100 = hn::Set(d, 100.0);
    c.c180 = hn::Set(d, 180.0);
    c.c360 = hn::Set(d, 360.0);
    c.c500 = hn::Set(d, 500.0);
    c.below = hn::Set(d, 1 - kSimForceMargin);
    c.above = hn::Set(d, 1 + kSimForceMargin);
    c.nudge = hn::Set(d, 1 + 0x1p-46);
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
                // Single minus single, as the scalar step does it.
                const V dx = hn::PromoteTo(d, hn::Sub(px, hn::Set(df, j.px[q])));
                const V dy = hn::PromoteTo(d, hn::Sub(py, hn::Set(df, j.py[q])));
                const V dz = hn::PromoteTo(d, hn::Sub(pz, hn::Set(df, j.pz[q])));
                const V dist = Single(hn::Sqrt(
                    hn::Add(hn::Add(hn::Mul(dx, dx), hn::Mul(dy, dy)), hn::Mul(dz, dz))));
                const V num[3] = {dx, dy, dz}, den[3] = {dz, dx, dy};
                V u[3];
                Parts<kTrial>(num, den, strength, strength_scalar, c, u);
                const V ux = u[0], uy = u[1], uz = u[2];
                V g = Single(hn::Div(c.c500, hn::Sqrt(dist)));
                g = hn::IfThenElse(hn::Gt(g, c.c100), c.c100, g);
                const V nx = Single(hn::Sub(fx, hn::Mul(ux, g)));
                const V ny = Single(hn::Sub(fy, hn::Mul(uy, g)));
                const V nz = Single(hn::Sub(fz, hn::Mul(uz, g)));
                if (HWY_LIKELY(hn::AllTrue(d, hn::IsFinite(dist)))) {
                    fx = nx;
                    fy = ny;
                    fz = nz;
                } else {
                    V ax = nx, ay = ny, az = nz;
                    RedoPairs(j, i, q, strength_scalar, dist, fx, fy, fz, ax, ay, az);
                    fx = ax;
                    fy = ay;
                    fz = az;
                }
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

template <bool kCos>
void Apply(const double* in, double* out, int64_t n) {
    const D d;
    const int64_t lanes = static_cast<int64_t>(hn::Lanes(d));
    alignas(64) double buf[kMaxLanes];
    for (int64_t i = 0; i < n; i += lanes) {
        const int64_t m = n - i < lanes ? n - i : lanes;
        for (int64_t l = 0; l < lanes; ++l) buf[l] = l < m ? in[i + l] : 0.0;
        V v = hn::Load(d, buf);
        v = kCos ? hn::Cos(d, v) : hn::Atan(d, v);
        hn::Store(v, d, buf);
        for (int64_t l = 0; l < m; ++l) out[i + l] = buf[l];
    }
}
void AtanMany(const double* in, double* out, int64_t n) { Apply<false>(in, out, n); }
void CosMany(const double* in, double* out, int64_t n) { Apply<true>(in, out, n); }

#endif
}  // namespace HWY_NAMESPACE
}  // namespace sim_force_simd
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace {

struct Entry {
    SimForceKernel kernels[3];
    void (*atan_many)(const double*, double*, int64_t);
    void (*cos_many)(const double*, double*, int64_t);
};

const Entry* entry(int32_t isa) {
#if HWY_TARGETS & HWY_AVX2
    static const Entry avx2 = {{&sim_force_simd::N_AVX2::ForcesExact,
                                &sim_force_simd::N_AVX2::ForcesNudged,
                                &sim_force_simd::N_AVX2::ForcesNudgedUnchecked},
                               &sim_force_simd::N_AVX2::AtanMany,
                               &sim_force_simd::N_AVX2::CosMany};
    if (isa == 1) return &avx2;
#endif
#if HWY_TARGETS & HWY_AVX3
    static const Entry avx512 = {{&sim_force_simd::N_AVX3::ForcesExact,
                                  &sim_force_simd::N_AVX3::ForcesNudged,
                                  &sim_force_simd::N_AVX3::ForcesNudgedUnchecked},
                                 &sim_force_simd::N_AVX3::AtanMany,
                                 &sim_force_simd::N_AVX3::CosMany};
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

void sim_force_vector_atan(int32_t isa, const double* in, double* out, int64_t n) {
    if (const Entry* e = entry(isa)) e->atan_many(in, out, n);
}

void sim_force_vector_cos(int32_t isa, const double* in, double* out, int64_t n) {
    if (const Entry* e = entry(isa)) e->cos_many(in, out, n);
}
#endif  // HWY_ONCE
