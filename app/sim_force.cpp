// The force step: rule texts read once per step, positions packed per species, pass 1 shared out
// over a persistent pool of worker threads by blocks of subject particles, on the scalar kernel
// below or a vector kernel. Every particle's force is summed in the same order as in the
// straightforward step, so the results are the same to the bit.
#include "app/sim_force.h"


#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "app/sim_cpu.h"
#include "app/sim_force_kernel.h"
#include "app/sim_state.h"
#include "runtime/text/number_text.h"
#include "runtime/text/number_trig.h"
#include "runtime/text/random_timer.h"

int64_t sim_force_pairs = 0;

namespace {

constexpr int32_t kSpecies = kSimForceSpecies;
constexpr int32_t kMaxThreads = 64;
// Below this many pairs a step is not worth waking the workers for.
constexpr int64_t kParallelPairs = 4096;
// Objects the scalar kernel takes side by side, the chains of their six parts in flight together
// (a third to a half faster than one at a time; three gain nothing more).
constexpr int32_t kObjects = 2;
// Pairs of one round of pass 1; the program thread takes its check-point between rounds, so a
// pause or a close request waits for at most one round (about 0.1 s).
constexpr int64_t kRoundPairs = 2000000;

SimForceJob g_job;

struct ForcePool {
    std::mutex lock;
    std::condition_variable start;
    std::condition_variable done;
    uint64_t generation = 0;
    int32_t busy = 0;
    bool quit = false;
    std::vector<std::thread> workers;

    ~ForcePool() { stop_all(); }
    void stop_all() {
        {
            std::lock_guard<std::mutex> g(lock);
            quit = true;
        }
        start.notify_all();
        for (auto& t : workers) t.join();
        workers.clear();
        quit = false;
    }
};
ForcePool& pool() {
    static ForcePool p;
    return p;
}

int32_t g_threads_wanted = 0;
int32_t g_isa_wanted = -1;  // none: the start-up choice
SimForceTrial g_trial = SimForceTrial::kExact;
// The kernel of the current step; written before the workers are started.
SimForceKernel g_kernel = nullptr;

// Parts of pairs side by side: for each plane the angle of (num, den), turned half a circle, its
// cosine times the strength; roundings to single where the values are stored. Every arc tangent
// comes before the first cosine: each part is one long chain of dependent steps, and with the
// chains of several parts one after another the processor works on them together.
template <int N>
inline void parts(const float (&num)[N], const float (&den)[N], double strength, double deg,
                  float (&u)[N]) {
    double t[N];
    for (int k = 0; k < N; ++k) {
        const float r = static_cast<float>((static_cast<double>(num[k]) + 1e-7) /
                                           (static_cast<double>(den[k]) + 1e-7));
        t[k] = num_atan(static_cast<double>(r));
    }
    float arg[N];
    for (int k = 0; k < N; ++k) {
        float a = static_cast<float>(t[k] / deg);
        if (den[k] < 0) a = static_cast<float>(static_cast<double>(a) + 180);
        if (a < 0) a = static_cast<float>(static_cast<double>(a) + 360);
        arg[k] = static_cast<float>(deg * (static_cast<double>(a) + 180));
    }
    for (int k = 0; k < N; ++k)
        u[k] = static_cast<float>(num_cos(static_cast<double>(arg[k])) * strength);
}

// The contributions of P objects at (qx[k], qy[k], qz[k]) added, in that order, to the force
// (fx, fy, fz) of the subject at (px, py, pz).
template <int P>
inline void pairs(float px, float py, float pz, const float* qx, const float* qy, const float* qz,
                  double strength, double deg, float& fx, float& fy, float& fz) {
    float num[3 * P], den[3 * P], g[P];
    for (int k = 0; k < P; ++k) {
        const float dx = px - qx[k];
        const float dy = py - qy[k];
        const float dz = pz - qz[k];
        const double sx = static_cast<double>(dx) * dx, sy = static_cast<double>(dy) * dy,
                     sz = static_cast<double>(dz) * dz;
        const float d = static_cast<float>(std::sqrt(sim_force_add(sim_force_add(sx, sy), sz)));
        g[k] = static_cast<float>(500 / std::sqrt(static_cast<double>(d)));
        if (g[k] > 100) g[k] = 100;
        num[3 * k] = dx, num[3 * k + 1] = dy, num[3 * k + 2] = dz;
        den[3 * k] = dz, den[3 * k + 1] = dx, den[3 * k + 2] = dy;
    }
    float u[3 * P];
    parts(num, den, strength, deg, u);
    for (int k = 0; k < P; ++k) {
        const double gk = static_cast<double>(g[k]);
        fx = static_cast<float>(fx - sim_force_mul(static_cast<double>(u[3 * k]), gk));
        fy = static_cast<float>(fy - sim_force_mul(static_cast<double>(u[3 * k + 1]), gk));
        fz = static_cast<float>(fz - sim_force_mul(static_cast<double>(u[3 * k + 2]), gk));
    }
}

inline float finish(SimForceJob& j, int32_t i, float fx, float fy, float fz) {
    if (j.pull != 0) {
        fx = static_cast<float>(fx - static_cast<double>(j.px[i]) * j.pull * 2);
        fy = static_cast<float>(fy - static_cast<double>(j.py[i]) * j.pull * 2);
        fz = static_cast<float>(fz - static_cast<double>(j.pz[i]) * j.pull * 2);
    }
    j.fx[i] = fx;
    j.fy[i] = fy;
    j.fz[i] = fz;
    // The maximum does not depend on the order in which the values are met.
    float biggest = -1e15f;
    if (std::fabs(fx) > biggest) biggest = std::fabs(fx);
    if (std::fabs(fy) > biggest) biggest = std::fabs(fy);
    if (std::fabs(fz) > biggest) biggest = std::fabs(fz);
    return biggest;
}

// The scalar kernel: forces of the slots [from, to); returns their largest component (NaN
// ignored).
float forces(SimForceJob& j, int32_t from, int32_t to) {
    float biggest = -1e15f;
    const double deg = j.deg;
    for (int32_t i = from; i < to; ++i) {
        const int32_t s = j.species_of[i];
        if (i >= j.start[s] + j.count[s]) continue;  // spare slot
        const float px = j.px[i], py = j.py[i], pz = j.pz[i];
        float fx = 0, fy = 0, fz = 0;
        for (int32_t k = 0; k < j.group_count[s]; ++k) {
            const double strength = j.groups[s][k].strength;
            const int32_t t = j.groups[s][k].object;
            const int32_t q0 = j.start[t], q1 = q0 + j.count[t];
            int32_t q = q0;
            for (; q + kObjects <= q1; q += kObjects)
                pairs<kObjects>(px, py, pz, j.px + q, j.py + q, j.pz + q, strength, deg, fx, fy, fz);
            for (; q < q1; ++q)
                pairs<1>(px, py, pz, j.px + q, j.py + q, j.pz + q, strength, deg, fx, fy, fz);
        }
        const float m = finish(j, i, fx, fy, fz);
        if (m > biggest) biggest = m;
    }
    return biggest;
}

void run_chunks(SimForceJob& j) {
    for (;;) {
        const int32_t c = j.next_chunk.fetch_add(1, std::memory_order_relaxed);
        if (c >= j.chunk_end) return;
        const int32_t from = c * j.chunk_size;
        const int32_t to = std::min(j.subjects, from + j.chunk_size);
        j.chunk_max[c] = g_kernel(j, from, to);
    }
}

void worker_body(uint64_t seen) {
    ForcePool& p = pool();
    for (;;) {
        {
            std::unique_lock<std::mutex> g(p.lock);
            p.start.wait(g, [&] { return p.quit || p.generation != seen; });
            if (p.quit) return;
            seen = p.generation;
        }
        run_chunks(g_job);
        {
            std::lock_guard<std::mutex> g(p.lock);
            if (--p.busy == 0) p.done.notify_one();
        }
    }
}

int32_t threads_in_use() {
    int32_t n = g_threads_wanted;
    if (n <= 0) n = sim_cpu_cores();
    return std::clamp(n, 1, kMaxThreads);
}

// Makes the pool hold `workers` threads (the program thread is the other one).
void ensure_workers(int32_t workers) {
    ForcePool& p = pool();
    if (static_cast<int32_t>(p.workers.size()) == workers) return;
    p.stop_all();
    uint64_t gen;
    {
        std::lock_guard<std::mutex> g(p.lock);
        gen = p.generation;
    }
    for (int32_t i = 0; i < workers; ++i) p.workers.emplace_back(worker_body, gen);
}

// One round: chunks [from, to) on the program thread and the workers.
void run_round(SimForceJob& j, int32_t from, int32_t to, bool workers) {
    j.next_chunk.store(from, std::memory_order_relaxed);
    j.chunk_end = to;
    if (!workers) {
        run_chunks(j);
        return;
    }
    ForcePool& p = pool();
    {
        std::lock_guard<std::mutex> g(p.lock);
        p.busy = static_cast<int32_t>(p.workers.size());
        ++p.generation;
    }
    p.start.notify_all();
    run_chunks(j);
    std::unique_lock<std::mutex> g(p.lock);
    p.done.wait(g, [&] { return p.busy == 0; });
}

// Pass 1 over all subjects, on as many threads as pay off, in rounds with a check-point
// between them (the workers are idle there, so the check-point may stop or restart the run).
void pass_one(SimForceJob& j, int64_t pairs) {
    const int32_t threads = pairs >= kParallelPairs ? threads_in_use() : 1;
    // Chunks small enough that every round is shared out in many pieces (a worker that wakes
    // late still finds work), whole blocks of slots each.
    const int64_t per_subject = std::max<int64_t>(1, pairs / std::max<int32_t>(1, j.subjects));
    const int64_t round_subjects = std::max<int64_t>(1, kRoundPairs / per_subject);
    const int64_t size = std::clamp<int64_t>(std::min<int64_t>(round_subjects, j.subjects) /
                                                 (threads * 8),
                                             1, std::max(1, j.subjects));
    j.chunk_size =
        static_cast<int32_t>((size + kSimForceBlock - 1) / kSimForceBlock * kSimForceBlock);
    j.chunks = (j.subjects + j.chunk_size - 1) / j.chunk_size;
    const bool workers = threads > 1 && j.chunks >= 2;
    if (workers) ensure_workers(threads - 1);
    const int32_t per_round = static_cast<int32_t>(std::clamp<int64_t>(
        (round_subjects + j.chunk_size - 1) / j.chunk_size, 1, std::max(1, j.chunks)));
    for (int32_t from = 0; from < j.chunks; from += per_round) {
        run_round(j, from, std::min(j.chunks, from + per_round), workers);
        FRAME_CP();
    }
}

// Element (s, p, c) of the particle table; the subscripts are known to be in range.
inline float& particle(float* base, int32_t s, int32_t p, int32_t c) {
    return base[s + 181 * (p + kSimParticleSlots * c)];
}

}  // namespace

void sim_force_set_threads(int32_t threads) { g_threads_wanted = threads; }
int32_t sim_force_threads() { return threads_in_use(); }

float sim_force_angle(double r, double deg) { return static_cast<float>(num_atan(r) / deg); }

float sim_force_cosine(double arg, double strength) {
    return static_cast<float>(num_cos(arg) * strength);
}

void sim_force_pair(const float* p, const float* q, double strength, double deg, float* f) {
    pairs<1>(p[0], p[1], p[2], q, q + 1, q + 2, strength, deg, f[0], f[1], f[2]);
}

float sim_force_finish(SimForceJob& job, int32_t slot, float fx, float fy, float fz) {
    return finish(job, slot, fx, fy, fz);
}

namespace {
const char* const kIsaNames[] = {"scalar", "avx2", "avx512", "simd128"};
}

const char* sim_force_isa_name(SimForceIsa isa) { return kIsaNames[static_cast<int32_t>(isa)]; }

SimForceIsa sim_force_isa_best() {
    static const SimForceIsa best = [] {
        const SimCpuFeatures cpu = sim_cpu_features();
        const bool avx2 = cpu.avx2;
        const bool avx512 = avx2 && cpu.avx512;
        SimForceIsa isa = cpu.simd128 ? SimForceIsa::kSimd128
                          : avx512    ? SimForceIsa::kAvx512
                          : avx2      ? SimForceIsa::kAvx2
                                      : SimForceIsa::kScalar;
        // Only kernels that were built.
        while (isa != SimForceIsa::kScalar &&
               !sim_force_vector_kernel(static_cast<int32_t>(isa), SimForceTrial::kExact))
            isa = static_cast<SimForceIsa>(static_cast<int32_t>(isa) - 1);
        return isa;
    }();
    return best;
}

SimForceIsa sim_force_isa_from(const char* setting) {
    const SimForceIsa best = sim_force_isa_best();
    if (setting == nullptr || *setting == 0) return best;
    for (int32_t i = 0; i < 4; ++i)
        if (std::strcmp(setting, kIsaNames[i]) == 0)
            return static_cast<SimForceIsa>(std::min(i, static_cast<int32_t>(best)));
    std::fprintf(stderr, "kavaro: KAVARO_ISA=%s is not one of scalar, avx2, avx512, simd128; using %s\n", setting,
                 sim_force_isa_name(best));
    return best;
}

SimForceIsa sim_force_isa_at_start() {
    static const SimForceIsa isa = sim_force_isa_from(std::getenv("KAVARO_ISA"));
    return isa;
}

SimForceIsa sim_force_isa() {
    return g_isa_wanted < 0 ? sim_force_isa_at_start() : static_cast<SimForceIsa>(g_isa_wanted);
}

void sim_force_set_isa(SimForceIsa isa) {
    g_isa_wanted = std::min(static_cast<int32_t>(isa), static_cast<int32_t>(sim_force_isa_best()));
}

void sim_force_set_trial(SimForceTrial trial) { g_trial = trial; }

void sim_place_in_cube() {
    for (int32_t s = 0; s <= 39; ++s) {
        for (int32_t j = 0; j <= 239; ++j) {
            for (int32_t c = 0; c < 3; ++c) {
                sim_particles.set(static_cast<float>(static_cast<double>(rnd()) * 100 - 50), s, j, c);
                FRAME_CP();
            }
        }
    }
}

void sim_force_step() {
    SimForceJob& j = g_job;
    sim_force_max = -1e15f;
    FRAME_CP();
    const float n = sim_species_number();
    const int32_t species = sim_loop_count(n, kSpecies);
    // Species that rules may name: those whose number is below n.
    int32_t objects = 0;
    while (objects < kSpecies && static_cast<float>(objects) < n) ++objects;
    float* table = sim_particles.data();

    // Pack the positions of species 0 … objects − 1.
    int32_t slot = 0;
    for (int32_t s = 0; s < objects; ++s) {
        j.start[s] = slot;
        j.count[s] = sim_active_count(s);
        for (int32_t p = 0; p < j.count[s]; ++p, ++slot) {
            j.px[slot] = particle(table, s, p, 0);
            j.py[slot] = particle(table, s, p, 1);
            j.pz[slot] = particle(table, s, p, 2);
            j.species_of[slot] = static_cast<int8_t>(s);
        }
        // Spare slots up to the next block, so that no block holds two species.
        for (; slot % kSimForceBlock != 0; ++slot) {
            j.px[slot] = j.py[slot] = j.pz[slot] = 0;
            j.species_of[slot] = static_cast<int8_t>(s);
        }
        FRAME_CP();
    }
    j.start[objects] = slot;
    j.subjects = j.start[species];

    // Read each subject species' rule text once.
    int64_t pairs = 0;
    bool vector_strengths = true;
    for (int32_t s = 0; s < species; ++s) {
        j.group_count[s] = 0;
        StringValue* rules = sim_rule_strings.get(s);
        const float len = static_cast<float>(rules->length);
        const float last = static_cast<float>(static_cast<double>(len) / 3 - 1);
        const int32_t groups = last >= 0 ? static_cast<int32_t>(std::floor(last)) + 1 : 0;
        if (groups > kSimForceMaxGroups) {
            // Not a text the cell table can produce; take the long way.
            sim_force_step_reference();
            return;
        }
        for (int32_t k = 0; k < groups; ++k) {
            const uint8_t* g = rules->data + 3 * k;
            const float m = static_cast<float>(num_val_bytes(g + 1, 1));
            const uint8_t sign_text[2] = {g[0], '1'};
            const float strength =
                static_cast<float>(num_val_bytes(sign_text, 2) * static_cast<long double>(m));
            if (strength == 0) continue;
            const float t = static_cast<float>(num_val_bytes(g + 2, 1));
            if (!(t < n)) continue;
            const int32_t ti = frame_float_index(t);
            if (ti < 0 || ti >= objects) continue;  // one character names 0 … 9
            j.groups[s][j.group_count[s]++] = {strength, ti};
            const double size = std::fabs(static_cast<double>(strength));
            if (!(size >= kSimForceLeastStrength && size <= kSimForceMostStrength))
                vector_strengths = false;
            pairs += static_cast<int64_t>(j.count[s]) * j.count[ti];
        }
        FRAME_CP();
    }
    j.deg = sim_deg;
    j.pull = sim_central_pull;
    sim_force_pairs = pairs;
    g_kernel = forces;
    const SimForceIsa isa = sim_force_isa();
    if (isa != SimForceIsa::kScalar && sim_deg == kSimForceCheckedDeg && vector_strengths)
        if (SimForceKernel k = sim_force_vector_kernel(static_cast<int32_t>(isa), g_trial))
            g_kernel = k;

    pass_one(j, pairs);
    for (int32_t c = 0; c < j.chunks; ++c)
        if (j.chunk_max[c] > sim_force_max) sim_force_max = j.chunk_max[c];
    FRAME_CP();

    // Pass 2: motion, confinement and mean points.
    const float fmax = sim_force_max;
    const float k = fmax == 0 ? 0.0f
                              : static_cast<float>((1 / static_cast<double>(fmax)) *
                                                   sim_displacement / 50);
    const bool closed = sim_cube_closed != 0;
    for (int32_t s = 0; s < species; ++s) {
        float mean[3] = {0, 0, 0};
        for (int32_t i = j.start[s]; i < j.start[s] + j.count[s]; ++i) {
            if (fmax == 0) continue;
            float* pos[3] = {&j.px[i], &j.py[i], &j.pz[i]};
            const float f[3] = {j.fx[i], j.fy[i], j.fz[i]};
            float cand[3];
            for (int32_t c = 0; c < 3; ++c)
                cand[c] = f[c] == 0 ? *pos[c]
                                    : static_cast<float>(sim_force_add(
                                          static_cast<double>(*pos[c]),
                                          sim_force_mul(static_cast<double>(f[c]), static_cast<double>(k))));
            for (int32_t c = 0; c < 3; ++c) {
                if (!(closed && (cand[c] < -50 || cand[c] > 50))) *pos[c] = cand[c];
                mean[c] = sim_force_add(mean[c], *pos[c]);
            }
            FRAME_CP();
        }
        const int32_t count = j.count[s];
        const float divisor = std::fmin(sim_species_count.get(s), kSimParticleSlots);
        for (int32_t c = 0; c < 3; ++c)
            sim_mean_points.set(
                count == 0 ? 0.0f : static_cast<float>(mean[c] / static_cast<double>(divisor)), s,
                c);
        // Back into the table.
        for (int32_t p = 0; p < count; ++p) {
            const int32_t i = j.start[s] + p;
            particle(table, s, p, 0) = j.px[i];
            particle(table, s, p, 1) = j.py[i];
            particle(table, s, p, 2) = j.pz[i];
            particle(table, s, p, 3) = j.fx[i];
            particle(table, s, p, 4) = j.fy[i];
            particle(table, s, p, 5) = j.fz[i];
        }
        FRAME_CP();
    }
}
