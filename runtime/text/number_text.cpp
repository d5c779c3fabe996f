// Numbers to their shortest text: a blank or "-" first, no "0" before the point.
#include "runtime/text/number_text.h"

#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>


namespace {

// Longest texts each operation can give (room allocated for every result).
constexpr int32_t kSingleMax = 14;   // " 1.234568E+07", "-NAN"
constexpr int32_t kDoubleMax = 24;   // "-1.234567890123456D+308"
constexpr int32_t kInt64Max = 20;    // "-9223372036854775808"
constexpr int32_t kUint64Max = 21;   // " 18446744073709551615"

// Infinities and NaN keep the shape "%E" gives them: " INF", "-INF", " NAN".
int32_t non_finite_chars(double v, char* out) {
    return std::snprintf(out, 40, "% E", v);
}

// Widens a two-digit "%E" exponent to three digits in place; `e_pos` is the index of "E".
// Returns the new length.
int32_t three_digit_exponent(char* text, int32_t length, int32_t e_pos) {
    int32_t digits = length - (e_pos + 2);
    if (digits >= 3) return length;
    std::memmove(text + e_pos + 3, text + e_pos + 2, static_cast<size_t>(digits) + 1);
    text[e_pos + 2] = '0';
    return length + 1;
}

// Significant digits among `total` mantissa digits of "sd.ddd" text: trailing zeros removed.
int32_t significant_count(const char* text, int32_t total) {
    int32_t count = total;
    // Mantissa digits sit at index 1, then 3 … total + 1 (index 2 is the point).
    for (int32_t k = total; k >= 1 && count > 0; --k) {
        char c = text[k == 1 ? 1 : k + 1];
        if (c != '0') break;
        --count;
    }
    return count;
}

int32_t exponent_value(const char* text, int32_t e_pos) {
    int32_t e = (text[e_pos + 2] - '0') * 100 + (text[e_pos + 3] - '0') * 10 + (text[e_pos + 4] - '0');
    return text[e_pos + 1] == '-' ? -e : e;
}

// Plain decimal form with d places; a "0" in second position (magnitude below 1) is dropped.
int32_t fixed_chars(double v, int32_t places, char* out) {
    int32_t n = std::snprintf(out, 40, "% .*f", static_cast<int>(places), v);
    if (n >= 2 && out[1] == '0') {
        std::memmove(out + 1, out + 2, static_cast<size_t>(n - 1));
        --n;
    }
    return n;
}

// Scientific form from the normalised "%E" text: sign, digit, "." and count-1 digits, letter,
// exponent sign, two exponent digits below 100, else three.
int32_t scientific_chars(const char* text, int32_t count, int32_t e_pos, int32_t e, char letter,
                         char* out) {
    int32_t n = 0;
    out[n++] = text[0];
    out[n++] = text[1];
    if (count > 1) {
        out[n++] = '.';
        for (int32_t k = 0; k < count - 1; ++k) out[n++] = text[3 + k];
    }
    out[n++] = letter;
    out[n++] = text[e_pos + 1];
    int32_t first = (e > -100 && e < 100) ? e_pos + 3 : e_pos + 2;
    for (int32_t k = first; k <= e_pos + 4; ++k) out[n++] = text[k];
    out[n] = 0;
    return n;
}

// The conversions cannot fail: like the string operations they work while an error is pending.
StringValue* text_value(const char* text, int32_t length, int32_t room) {
    StringValue* s = sv_new(room, 1);
    if (!s) return s;
    std::memcpy(s->data, text, static_cast<size_t>(length));
    s->length = length;
    return s;
}

}  // namespace

// The steps both precisions share once the "E" text of `digits` significant digits is made:
// plain notation while it stays short, scientific otherwise.
static int32_t shortest_chars(double v, const char* e_text, int32_t digits, int32_t e_pos, char letter,
                       char* out) {
    int32_t count = significant_count(e_text, digits);
    if (count == 0) {
        std::memcpy(out, " 0", 3);
        return 2;
    }
    int32_t e = exponent_value(e_text, e_pos);
    if (e <= digits - 1 && e - count >= -(digits + 1)) {
        int32_t places = count - e - 1;
        if (places < 0) places = 0;
        return fixed_chars(v, places, out);
    }
    return scientific_chars(e_text, count, e_pos, e, letter, out);
}

int32_t num_str_chars(float v, char* out) {
    double d = v;
    if (!std::isfinite(d)) return non_finite_chars(d, out);
    char e_text[40];
    int32_t len = std::snprintf(e_text, sizeof e_text, "% .6E", d);
    const int32_t e_pos = 9;
    three_digit_exponent(e_text, len, e_pos);
    return shortest_chars(d, e_text, 7, e_pos, 'E', out);
}

int32_t num_str_double_chars(double v, char* out) {
    if (!std::isfinite(v)) return non_finite_chars(v, out);
    char e_text[40];
    const int32_t len = std::snprintf(e_text, sizeof e_text, "% .15E", v);
    const int32_t e_pos = 18;
    three_digit_exponent(e_text, len, e_pos);
    if (e_text[17] == '9') {
        // A sixteenth digit 9 is noise of the binary value: show 15 digits and a "0".
        char short_text[40];
        int32_t short_len = std::snprintf(short_text, sizeof short_text, "% .14E", v);
        short_len = three_digit_exponent(short_text, short_len, 17);
        std::memcpy(e_text, short_text, 17);
        e_text[17] = '0';
        std::memcpy(e_text + 18, short_text + 17, static_cast<size_t>(short_len - 17) + 1);
    }
    e_text[e_pos] = 'D';
    return shortest_chars(v, e_text, 16, e_pos, 'D', out);
}

StringValue* num_str(float v) {
    char text[40];
    int32_t n = num_str_chars(v, text);
    return text_value(text, n, kSingleMax);
}

StringValue* num_str_double(double v) {
    char text[40];
    int32_t n = num_str_double_chars(v, text);
    return text_value(text, n, kDoubleMax);
}

StringValue* num_str_int64(int64_t v) {
    char text[40];
    int32_t n = std::snprintf(text, sizeof text, "% " PRId64, v);
    return text_value(text, n, kInt64Max);
}

StringValue* num_str_int32(int32_t v) { return num_str_int64(v); }
StringValue* num_str_int16(int16_t v) { return num_str_int64(v); }
StringValue* num_str_int8(int8_t v) { return num_str_int64(v); }

StringValue* num_str_uint64(uint64_t v) {
    char text[40];
    int32_t n = std::snprintf(text, sizeof text, " %" PRIu64, v);
    return text_value(text, n, kUint64Max);
}

StringValue* num_str_uint32(uint32_t v) { return num_str_uint64(v); }
StringValue* num_str_uint16(uint16_t v) { return num_str_uint64(v); }
StringValue* num_str_uint8(uint8_t v) { return num_str_uint64(v); }
