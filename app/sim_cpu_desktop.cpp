// The processor's vector units and the cores the program may run on, on a Linux desktop.
#include <cpuid.h>
#include <sched.h>

#include <thread>

#include "app/sim_cpu.h"

// Read from the processor itself: the compilers' feature builtins do not all know every name.
SimCpuFeatures sim_cpu_features() {
    SimCpuFeatures f;
    unsigned a, b, c, d;
    if (!__get_cpuid(1, &a, &b, &c, &d)) return f;
    const unsigned ecx1 = c;
    const bool osxsave = ecx1 & (1u << 27);
    if (!osxsave || !(ecx1 & (1u << 28))) return f;  // AVX
    unsigned lo, hi;
    __asm__ volatile("xgetbv" : "=a"(lo), "=d"(hi) : "c"(0));
    const unsigned long long xcr0 = (static_cast<unsigned long long>(hi) << 32) | lo;
    if ((xcr0 & 0x6) != 0x6) return f;
    if (__get_cpuid_max(0, nullptr) < 7) return f;
    __cpuid_count(7, 0, a, b, c, d);
    const unsigned ebx7 = b;
    const auto has = [](unsigned reg, int bit) { return (reg >> bit) & 1u; };
    f.avx2 = has(ebx7, 5) && has(ebx7, 3) && has(ebx7, 8) &&                     // AVX2, BMI1, BMI2
             has(ecx1, 12) && has(ecx1, 29) && has(ecx1, 20) &&                   // FMA, F16C, SSE4.2
             has(ecx1, 1) && has(ecx1, 25);                                       // PCLMUL, AES
    f.avx512 = f.avx2 && (xcr0 & 0xE0) == 0xE0 && has(ebx7, 16) && has(ebx7, 31) &&  // F, VL
               has(ebx7, 17) && has(ebx7, 30);                                        // DQ, BW
    return f;
}

// A program started with `taskset` or in a limited container uses just those cores. Read at
// every step, as the affinity can change while the program runs.
int32_t sim_cpu_cores() {
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof set, &set) == 0) return CPU_COUNT(&set);
    const unsigned n = std::thread::hardware_concurrency();
    return n > 0 ? static_cast<int32_t>(n) : 1;
}
