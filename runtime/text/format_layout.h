// Pattern formatting on plain char buffers: exact decimal digits of a value, the field
// description and the two layouts. Used by format_using.cpp and its tests.
#pragma once
#include <cstdint>
#include <string>

// The exact decimal expansion of a value, with one spare leading "0" for a rounding carry.
struct NumDigits {
    std::string digits;     // '0' … '9'; digits[0] is the spare zero
    int32_t top = 0;        // power of ten of digits[0]
    bool negative = false;  // value below zero
    const char* special = nullptr;  // "INF" or "NAN" for values without digits
};

void num_digits_double(double v, NumDigits& out);          // "% .255E" (singles widened)
void num_digits_extended(long double v, NumDigits& out);   // "% .255Lf"
void num_digits_int64(int64_t v, NumDigits& out);
void num_digits_uint64(uint64_t v, NumDigits& out);

// Digit of weight 10^w (0 outside the expansion).
int32_t num_digit_at(const NumDigits& d, int64_t w);
// Keeps the digits of weight >= 10^w, half up on the first digit cut off.
void num_round_at(NumDigits& d, int64_t w);

// One numeric field of a pattern, as scanned.
struct NumField {
    bool lead_sign = false;
    bool star = false;
    bool dollar = false;
    bool comma = false;
    bool point = false;
    bool trail_plus = false;
    bool trail_minus = false;
    int32_t ints = 0;        // integer positions
    int32_t fracs = 0;       // fraction positions
    int32_t exp_digits = 0;  // 0, 2 or 3
};

// Append the formatted value; `d` is rounded in place.
void num_layout_fixed(const NumField& f, NumDigits& d, std::string& out);
void num_layout_exponent(const NumField& f, NumDigits& d, std::string& out);

// Formats one value with the next field of `pattern` from `start`: a number when `number` is
// given, else the string bytes `text`. Appends literals and the field to `out` and returns the
// next field's position (0 at the end). Raises 13 or 5 and appends nothing on failure.
int32_t num_format_chars(const uint8_t* pattern, int32_t length, int32_t start,
                         NumDigits* number, const uint8_t* text, int32_t text_length,
                         std::string& out);
