// The 24-bit linear congruential generator and its seeding.
#include <cstring>

#include "runtime/core/error.h"
#include "runtime/text/random_timer.h"

uint32_t rnd_state = kRndInitialState;
uint32_t rnd_first_state = kRndInitialState;

void (*rnd_prompt_print)(StringValue* s, int32_t end_line) = nullptr;
StringValue* (*rnd_prompt_read_line)() = nullptr;

namespace {

// 16 bits mixed from the sign, exponent and top fraction bits of the seed.
uint32_t seed_bits(double seed) {
    uint64_t bits;
    std::memcpy(&bits, &seed, sizeof bits);
    uint32_t h = static_cast<uint32_t>(bits >> 32);
    uint32_t m = h ^ (h >> 16);
    return m & 0xFFFF;
}

bool is_blank(uint8_t c) { return c == ' ' || c == '\t'; }

// A line holding one signed 16-bit integer (blanks around it allowed, empty means 0).
bool parse_int16(const StringValue* line, int32_t& value) {
    int32_t i = 0, n = line->length;
    const uint8_t* p = line->data;
    while (i < n && is_blank(p[i])) ++i;
    bool negative = false, sign = false;
    if (i < n && (p[i] == '+' || p[i] == '-')) {
        sign = true;
        negative = p[i++] == '-';
    }
    int64_t v = 0;
    int32_t digits = 0;
    while (i < n && p[i] >= '0' && p[i] <= '9') {
        v = v * 10 + (p[i++] - '0');
        if (v > 32768) return false;
        ++digits;
    }
    while (i < n && is_blank(p[i])) ++i;
    if (i != n || (sign && digits == 0)) return false;
    if (negative) v = -v;
    if (v < -32768 || v > 32767) return false;
    value = static_cast<int32_t>(v);
    return true;
}

}  // namespace

float rnd(float x) {
    if (frame_error.error_number) return 0.0f;
    if (x != 0.0f) {  // NaN draws the next number too
        if (x < 0.0f) {
            uint32_t b;
            std::memcpy(&b, &x, sizeof b);
            rnd_state = (b & 0xFFFFFF) + (b >> 24);
        }
        rnd_state = (rnd_state * 16598013u + 12820163u) & 0xFFFFFF;
    }
    return static_cast<float>(static_cast<double>(rnd_state) / 16777216.0);
}

float rnd() { return rnd(1.0f); }

void rnd_randomize(double seed) {
    if (frame_error.error_number) return;
    rnd_state = (seed_bits(seed) << 8) | (rnd_state & 0xFF);
}

void rnd_reseed(double seed) {
    if (frame_error.error_number) return;
    rnd_state = (seed_bits(seed) << 8) | (rnd_first_state & 0xFF);
}

void rnd_randomize() {
    if (frame_error.error_number) return;
    int32_t base = sv_temp_count();
    while (!frame_error.error_number) {
        if (rnd_prompt_print) rnd_prompt_print(sv_new_text("Random-number seed (-32768 to 32767)? "), 0);
        StringValue* line = rnd_prompt_read_line ? rnd_prompt_read_line() : nullptr;
        if (!line) break;
        int32_t value = 0;
        bool ok = parse_int16(line, value);
        if (line->is_temporary) sv_free(line);
        if (ok) {
            rnd_state = ((static_cast<uint32_t>(value) & 0xFFFF) << 8) | (rnd_state & 0xFF);
            break;
        }
        if (rnd_prompt_print) rnd_prompt_print(sv_new_text("Redo from start"), 1);
        sv_cleanup(base, 0);
    }
    sv_cleanup(base, 0);
}

void rnd_reset() {
    rnd_state = kRndInitialState;
    rnd_first_state = kRndInitialState;
}
