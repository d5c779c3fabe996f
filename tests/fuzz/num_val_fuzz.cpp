// Arbitrary bytes read as a number, then printed and read again: no crash, no overflow of the
// text buffers, and the single text of any value reads back to the same text (powers of ten
// aside, which may come back as the float just below).
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "runtime/core/error.h"
#include "runtime/text/number_text.h"
#include "runtime/text/string_value.h"

namespace {

float to_single(long double v) {
    if (std::isnan(v)) return NAN;
    if (v > FLT_MAX) return INFINITY;
    if (v < -FLT_MAX) return -INFINITY;
    return static_cast<float>(v);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool ready = false;
    if (!ready) {
        sv_init();
        ready = true;
    }
    if (size > (1u << 20)) return 0;
    const int32_t length = static_cast<int32_t>(size);
    frame_error.error_number = 0;
    long double v = num_val_bytes(data, length);
    const bool raised = frame_error.error_number != 0;
    if (raised && v != 0) std::abort();  // a failing read gives 0
    frame_error.error_number = 0;

    // The same through a temporary string value, which the read consumes.
    int32_t base = sv_temp_count();
    long double w = num_val(sv_new_text_len(reinterpret_cast<const char*>(data), length));
    if (sv_temp_count() != base) std::abort();
    if (!(w == v || (std::isnan(w) && std::isnan(v)))) std::abort();
    frame_error.error_number = 0;

    char text[64];
    std::memset(text, 0x55, sizeof text);
    float f = to_single(v);
    int32_t n = num_str_chars(f, text);
    if (n <= 0 || n > 39 || text[n] != 0 || text[40] != 0x55) std::abort();
    if (std::isfinite(f)) {
        long double back = num_val_bytes(reinterpret_cast<const uint8_t*>(text), n);
        char again[40];
        float f2 = to_single(back);
        int32_t m = num_str_chars(f2, again);
        if (m != n || std::memcmp(text, again, static_cast<size_t>(n)) != 0) {
            // Only a power of ten may come back as the float just below it, whose text is stable.
            int32_t nonzero = 0;
            char first = 0;
            for (int32_t k = 0; k < n && text[k] != 'E'; ++k) {
                if (text[k] < '1' || text[k] > '9') continue;
                if (nonzero++ == 0) first = text[k];
            }
            if (nonzero != 1 || first != '1') std::abort();
            if (to_single(num_val_bytes(reinterpret_cast<const uint8_t*>(again), m)) != f2)
                std::abort();
        }
    }
    n = num_str_double_chars(static_cast<double>(v), text);
    if (n <= 0 || n > 39 || text[n] != 0 || text[40] != 0x55) std::abort();
    frame_error.error_number = 0;
    return 0;
}
