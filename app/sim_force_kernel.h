// Pass 1 of the force step on packed positions: the job shared by the step, its worker threads
// and the kernels for each instruction set. The kernels live behind plain function pointers, so
// code built for one instruction set never mixes with ordinary code.
#pragma once
#include <atomic>
#include <cstdint>

constexpr int32_t kSimForceSpecies = 10;  // species numbers a rule text can name
// Each species' subjects start on a multiple of this, so a block of this many slots holds
// subjects of one species only (and spare slots after the last one).
constexpr int32_t kSimForceBlock = 8;
constexpr int32_t kSimForceSlots = kSimForceSpecies * (801 + kSimForceBlock);
// Groups per species: the cell table writes at most 10, of at most 15 characters each.
constexpr int32_t kSimForceMaxGroups = 64;
constexpr int32_t kSimForceMaxChunks = kSimForceSlots / kSimForceBlock + 1;

struct SimForceGroup {
    double strength;
    int32_t object;  // species
};

// One step's packed input and output. Written by the program thread before the workers start,
// read by them; each force slot is written by one worker.
struct SimForceJob {
    alignas(64) float px[kSimForceSlots];
    alignas(64) float py[kSimForceSlots];
    alignas(64) float pz[kSimForceSlots];
    alignas(64) float fx[kSimForceSlots];
    alignas(64) float fy[kSimForceSlots];
    alignas(64) float fz[kSimForceSlots];
    int8_t species_of[kSimForceSlots];
    int32_t start[kSimForceSpecies + 1];  // multiples of kSimForceBlock
    int32_t count[kSimForceSpecies];
    SimForceGroup groups[kSimForceSpecies][kSimForceMaxGroups];
    int32_t group_count[kSimForceSpecies];
    int32_t subjects;  // slots of the subject species, spare ones included
    double deg;
    double pull;
    int32_t chunk_size;  // a multiple of kSimForceBlock
    int32_t chunks;
    int32_t chunk_end;  // end of the current round
    float chunk_max[kSimForceMaxChunks];
    std::atomic<int32_t> next_chunk{0};
};

// Forces of the slots [from, to) (from a multiple of kSimForceBlock); returns their largest
// component, NaN ignored. Spare slots are skipped.
using SimForceKernel = float (*)(SimForceJob& job, int32_t from, int32_t to);

// The angle unit the vector kernels are for: their arc tangent has 1 / deg built in, and their
// cosine covers the arguments it gives (2 … 10 radians). Any other unit takes the scalar kernel.
constexpr float kSimForceCheckedDeg = 0.017453292f;
// And the strengths whose products with a cosine stay far inside the singles' normal range.
constexpr double kSimForceLeastStrength = 0x1p-60;
constexpr double kSimForceMostStrength = 0x1p60;

// A vector kernel trusts its own arc tangent or cosine value x only when x lies more than this
// many double ulps from a midpoint between two singles: the correctly rounded value (num_atan,
// num_cos), within far fewer ulps of x (the bounds in sim_force_coefficients.h), rounds to the
// same single there.
constexpr int64_t kSimForceMarginUlps = 512;

// Variants of the vector kernels: the one the step uses, and two that exist for the tests only:
// their own results moved by half the margin (kSimForceMarginUlps / 2 ulps away from zero), with
// and without the margin test.
enum class SimForceTrial : int32_t { kExact, kNudged, kNudgedUnchecked };

// The variant the step's vector kernels use from now on (kExact unless a test sets another).
void sim_force_set_trial(SimForceTrial trial);

// The vector kernel for an instruction set (1: AVX2 with FMA, 2: AVX-512) and trial, or null
// when it is not built.
SimForceKernel sim_force_vector_kernel(int32_t isa, SimForceTrial trial);
// The two stages of a part as the vector kernel of `isa` computes them, n values each:
// atan(r) / deg rounded to single for floats r, and cos(arg) x strength rounded to single for
// floats arg; a value the margin test refuses is the scalar step's (sim_force_angle and
// sim_force_cosine). `refused` counts those when not null.
void sim_force_vector_angles(int32_t isa, const float* r, float* out, int64_t n, int64_t* refused);
void sim_force_vector_cosines(int32_t isa, const float* arg, double strength, float* out,
                              int64_t n, int64_t* refused);

// The scalar pieces the vector kernels fall back on, with the correctly rounded functions.
// atan(r) / deg rounded to single.
float sim_force_angle(double r, double deg);
// cos(arg) × strength rounded to single.
float sim_force_cosine(double arg, double strength);
// One whole pair added to the force f of the subject at p from the object at q.
void sim_force_pair(const float* p, const float* q, double strength, double deg, float* f);
// Central pull, store and the largest component for one subject whose pair sums are f.
float sim_force_finish(SimForceJob& job, int32_t slot, float fx, float fy, float fz);
