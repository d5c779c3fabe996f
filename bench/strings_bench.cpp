// Cost of one statement's string temporaries, and proof that steady state needs no system
// allocation: a number turned into text, a concatenation, the assignment to a variable, the
// print work variable, and the end-of-statement clean-up.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>

#include "runtime/text/string_value.h"

namespace {

// Stands in for a number converted to text: a heap temporary with a leading sign blank.
StringValue* number_text(int32_t v) {
    char digits[16];
    int n = std::snprintf(digits, sizeof digits, " %d ", v);
    StringValue* t = sv_new(n, 1);
    std::memcpy(t->data, digits, static_cast<size_t>(n));
    return t;
}

void statement(StringValue* var, int32_t i) {
    int32_t base = sv_temp_count();
    sv_assign(var, sv_concat(sv_new_text("Particles:"), sv_mid(number_text(i), 2, 0, 0)));
    StringValue* w = sv_new(0, 0);
    sv_assign(w, sv_concat(var, sv_one_space()));
    benchmark::DoNotOptimize(w->data);
    sv_free(w);
    sv_cleanup(base, 0);
}

void BM_StatementTemporaries(benchmark::State& state) {
    sv_init();
    StringValue* var = sv_new(0, 0);
    // Reach steady state: the heap, lists and pool have grown to what this pattern needs.
    for (int32_t i = 0; i < 200000; ++i) statement(var, i);
    uint64_t before = sv_system_allocations();
    int64_t statements = 0;
    int32_t i = 0;
    for (auto _ : state) {
        statement(var, i++);
        ++statements;
    }
    uint64_t made = sv_system_allocations() - before;
    state.counters["system_allocs_per_statement"] =
        statements ? static_cast<double>(made) / static_cast<double>(statements) : 0.0;
    state.counters["system_allocs_total"] = static_cast<double>(made);
    state.counters["statements_per_second"] =
        benchmark::Counter(static_cast<double>(statements), benchmark::Counter::kIsRate);
    state.SetLabel("number text + concat + assign + print work variable + clean-up");
    sv_free(var);
}
BENCHMARK(BM_StatementTemporaries);

// Baseline of the same statement shape with std::string, for a ratio in one run.
void BM_StdStringBaseline(benchmark::State& state) {
    std::string var;
    int32_t i = 0;
    for (auto _ : state) {
        char digits[16];
        int n = std::snprintf(digits, sizeof digits, " %d ", i++);
        std::string number(digits, static_cast<size_t>(n));
        var = "Particles:" + number.substr(1);
        std::string w = var + " ";
        benchmark::DoNotOptimize(w.data());
    }
}
BENCHMARK(BM_StdStringBaseline);

}  // namespace

BENCHMARK_MAIN();
