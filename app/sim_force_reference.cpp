// The force step written out statement by statement, every value through the checked tables
// and the rule text read per particle. Slow; the fast step is measured against it.
#include <cmath>

#include "app/sim_force.h"
#include "app/sim_state.h"
#include "runtime/text/number_text.h"
#include "runtime/text/number_trig.h"

namespace {

// One part of a pair's contribution: the angle of (num, den) in one coordinate plane, turned
// half a circle, its cosine times the strength.
float part(float num, float den, float strength) {
    float r = static_cast<float>((static_cast<double>(num) + 1e-7) /
                                 (static_cast<double>(den) + 1e-7));
    float a = static_cast<float>(num_atan(static_cast<double>(r)) / static_cast<double>(sim_deg));
    if (den < 0) a = static_cast<float>(static_cast<double>(a) + 180);
    if (a < 0) a = static_cast<float>(static_cast<double>(a) + 360);
    float arg = static_cast<float>(static_cast<double>(sim_deg) * (static_cast<double>(a) + 180));
    return static_cast<float>(num_cos(static_cast<double>(arg)) * static_cast<double>(strength));
}

}  // namespace

void sim_force_step_reference() {
    int32_t base = sv_temp_count();
    sim_force_pairs = 0;
    sim_force_max = -1e15f;
    FRAME_CP();
    const float n = sim_species_number();
    const int32_t species = sim_loop_count(n, 101);
    for (int32_t s = 0; s < species; ++s) {
        const int32_t count = sim_active_count(s);
        for (int32_t p = 0; p < count; ++p) {
            float fx = 0, fy = 0, fz = 0;
            FRAME_CP();
            const float px = sim_particles.get(s, p, 0);
            const float py = sim_particles.get(s, p, 1);
            const float pz = sim_particles.get(s, p, 2);
            StringValue* rules = sim_rule_strings.get(s);
            if (rules->length != 0) {
                const float len = static_cast<float>(rules->length);
                const float last = static_cast<float>(static_cast<double>(len) / 3 - 1);
                for (float k = 0; k <= last; k += 1) {
                    const int32_t at = static_cast<int32_t>(3 * k);
                    float m = static_cast<float>(num_val(sv_mid(rules, at + 2, 1, 1)));
                    sv_cleanup(base, 0);
                    FRAME_CP();
                    float strength = static_cast<float>(
                        num_val(sv_concat(sv_mid(rules, at + 1, 1, 1), sv_new_text("1"))) *
                        static_cast<long double>(m));
                    sv_cleanup(base, 0);
                    FRAME_CP();
                    if (strength == 0) continue;
                    float t = static_cast<float>(num_val(sv_mid(rules, at + 3, 1, 1)));
                    sv_cleanup(base, 0);
                    FRAME_CP();
                    if (!(t < n)) continue;
                    const int32_t ti = frame_float_index(t);
                    const int32_t others = sim_active_count(ti);
                    for (int32_t q = 0; q < others; ++q) {
                        ++sim_force_pairs;
                        float dx = px - sim_particles.get(ti, q, 0);
                        float dy = py - sim_particles.get(ti, q, 1);
                        float dz = pz - sim_particles.get(ti, q, 2);
                        FRAME_CP();
                        float d = static_cast<float>(std::sqrt(sim_force_add(
                            sim_force_add(static_cast<double>(dx) * dx, static_cast<double>(dy) * dy),
                            static_cast<double>(dz) * dz)));
                        FRAME_CP();
                        float ux = part(dx, dz, strength);
                        FRAME_CP();
                        float uy = part(dy, dx, strength);
                        FRAME_CP();
                        float uz = part(dz, dy, strength);
                        FRAME_CP();
                        float g = static_cast<float>(500 / std::sqrt(static_cast<double>(d)));
                        if (g > 100) g = 100;
                        FRAME_CP();
                        fx = static_cast<float>(fx - sim_force_mul(static_cast<double>(ux), static_cast<double>(g)));
                        fy = static_cast<float>(fy - sim_force_mul(static_cast<double>(uy), static_cast<double>(g)));
                        fz = static_cast<float>(fz - sim_force_mul(static_cast<double>(uz), static_cast<double>(g)));
                        FRAME_CP();
                    }
                }
            }
            if (sim_central_pull != 0) {
                fx = static_cast<float>(fx - static_cast<double>(px) * sim_central_pull * 2);
                fy = static_cast<float>(fy - static_cast<double>(py) * sim_central_pull * 2);
                fz = static_cast<float>(fz - static_cast<double>(pz) * sim_central_pull * 2);
                FRAME_CP();
            }
            sim_particles.set(fx, s, p, 3);
            sim_particles.set(fy, s, p, 4);
            sim_particles.set(fz, s, p, 5);
            FRAME_CP();
            if (std::fabs(fx) > sim_force_max) sim_force_max = std::fabs(fx);
            if (std::fabs(fy) > sim_force_max) sim_force_max = std::fabs(fy);
            if (std::fabs(fz) > sim_force_max) sim_force_max = std::fabs(fz);
            FRAME_CP();
        }
    }

    for (int32_t s = 0; s < species; ++s) {
        float mean[3] = {0, 0, 0};
        FRAME_CP();
        const int32_t count = sim_active_count(s);
        for (int32_t p = 0; p < count; ++p) {
            if (sim_force_max == 0) continue;
            const float k = static_cast<float>((1 / static_cast<double>(sim_force_max)) *
                                               sim_displacement / 50);
            FRAME_CP();
            float cand[3];
            for (int32_t c = 0; c < 3; ++c) {
                const float pos = sim_particles.get(s, p, c);
                const float f = sim_particles.get(s, p, c + 3);
                cand[c] = f == 0 ? pos
                                 : static_cast<float>(sim_force_add(
                                       static_cast<double>(pos),
                                       sim_force_mul(static_cast<double>(f), static_cast<double>(k))));
                FRAME_CP();
            }
            for (int32_t c = 0; c < 3; ++c) {
                if (!(sim_cube_closed != 0 && (cand[c] < -50 || cand[c] > 50)))
                    sim_particles.set(cand[c], s, p, c);
                FRAME_CP();
                mean[c] = sim_force_add(mean[c], sim_particles.get(s, p, c));
                FRAME_CP();
            }
        }
        // An empty species has no mean; it is kept at the origin.
        const float divisor = std::fmin(sim_species_count.get(s), kSimParticleSlots);
        for (int32_t c = 0; c < 3; ++c) {
            sim_mean_points.set(count == 0 ? 0.0f : static_cast<float>(mean[c] / static_cast<double>(divisor)), s, c);
            FRAME_CP();
        }
    }
}
