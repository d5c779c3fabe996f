// Arbitrary patterns and values through the pattern formatter: no crash, no read outside the
// pattern, and a failing call appends nothing.
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "runtime/core/error.h"
#include "runtime/text/format_using.h"
#include "runtime/text/number_text.h"
#include "runtime/text/string_value.h"

// Input: one mode byte, then the pattern, a zero byte, and the value (its text, or 8 raw bytes of
// a double when there are at least 8).
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool ready = false;
    if (!ready) {
        sv_init();
        ready = true;
    }
    if (size < 1 || size > 4096) return 0;
    const uint8_t mode = data[0];
    const uint8_t* rest = data + 1;
    const size_t rest_size = size - 1;
    const uint8_t* zero = static_cast<const uint8_t*>(std::memchr(rest, 0, rest_size));
    const size_t pattern_size = zero ? static_cast<size_t>(zero - rest) : rest_size;
    const uint8_t* value = zero ? zero + 1 : rest + rest_size;
    const size_t value_size = rest_size - pattern_size - (zero ? 1 : 0);

    double number;
    if (value_size >= 8) {
        std::memcpy(&number, value, sizeof number);
    } else {
        frame_error.error_number = 0;
        number = static_cast<double>(num_val_bytes(value, static_cast<int32_t>(value_size)));
    }
    float single;
    if (std::isnan(number)) single = NAN;
    else if (number > FLT_MAX) single = INFINITY;
    else if (number < -FLT_MAX) single = -INFINITY;
    else single = static_cast<float>(number);

    const int32_t base = sv_temp_count();
    // The pattern is copied so that a read past its end is caught by the address sanitizer.
    StringValue* pattern = sv_new(static_cast<int32_t>(pattern_size), 0);
    if (pattern_size) std::memcpy(pattern->data, rest, pattern_size);
    StringValue* output = sv_new(0, 0);
    int32_t pos = mode >> 3;
    for (int32_t call = 0; call < 3; ++call) {
        frame_error.error_number = 0;
        const int32_t before = output->length;
        switch ((mode + call) & 7) {
            case 0: pos = num_format_using(pattern, single, pos, output); break;
            case 1: pos = num_format_using_double(pattern, number, pos, output); break;
            case 2:
                pos = num_format_using_string(
                    pattern,
                    sv_new_text_len(reinterpret_cast<const char*>(value), static_cast<int32_t>(value_size)),
                    pos, output);
                break;
            case 3: pos = num_format_using_extended(pattern, static_cast<long double>(number), pos, output); break;
            case 4: {
                int64_t i = 0;
                std::memcpy(&i, &number, sizeof i);
                pos = num_format_using_int64(pattern, i, pos, output);
                break;
            }
            case 5: {
                uint64_t u = 0;
                std::memcpy(&u, &number, sizeof u);
                pos = num_format_using_uint64(pattern, u, pos, output);
                break;
            }
            case 6: pos = num_format_using(pattern, -single, pos, output); break;
            default: pos = num_format_using_double(pattern, std::nearbyint(number), pos, output); break;
        }
        if (frame_error.error_number && output->length != before) std::abort();
        if (pos < 0 || (pos > 0 && static_cast<size_t>(pos) >= pattern_size)) std::abort();
    }
    frame_error.error_number = 0;
    sv_free(output);
    sv_free(pattern);
    sv_cleanup(base, 0);
    return 0;
}
