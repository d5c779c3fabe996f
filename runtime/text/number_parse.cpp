// Text to number: &B/&H/&O integers and decimal text with D/E exponents.
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "runtime/core/error.h"
#include "runtime/text/number_text.h"

namespace {

constexpr int32_t kOverflow = 6;

// Reads the text while skipping blanks and tabs wherever they are.
struct Cursor {
    const uint8_t* text;
    int32_t length;
    int32_t pos;

    void skip_blanks() {
        while (pos < length && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
    }
    // Next significant character, or 0 at the end.
    int32_t peek() {
        skip_blanks();
        return pos < length ? text[pos] : 0;
    }
};

int32_t radix_digit(int32_t c, int32_t radix) {
    int32_t v;
    if (c >= '0' && c <= '9') v = c - '0';
    else if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
    else return -1;
    return v < radix ? v : -1;
}

// "&B", "&H", "&O" numbers; the cursor stands after the letter.
long double radix_value(Cursor& cur, int32_t radix) {
    const int32_t bits = radix == 2 ? 1 : radix == 8 ? 3 : 4;
    const int32_t limit = radix == 2 ? 64 : radix == 8 ? 22 : 16;
    uint64_t value = 0;
    int32_t count = 0;
    int32_t first = 0;
    for (;;) {
        int32_t d = radix_digit(cur.peek(), radix);
        if (d < 0) break;
        ++cur.pos;
        if (count == 0 && d == 0) continue;  // leading zeros do not count
        if (count == 0) first = d;
        ++count;
        if (count > limit || (radix == 8 && count == limit && first > 1)) {
            frame_raise(kOverflow);
            return 0;
        }
        value = (value << bits) | static_cast<uint64_t>(d);
    }
    return static_cast<long double>(static_cast<int64_t>(value));
}

}  // namespace

long double num_val_bytes(const uint8_t* text, int32_t length) {
    if (frame_error.error_number || !text || length <= 0) return 0;
    Cursor cur{text, length, 0};

    if (cur.peek() == '&') {
        if (cur.pos >= length - 2) return 0;
        ++cur.pos;
        switch (cur.peek()) {
            case 'B': case 'b': ++cur.pos; return radix_value(cur, 2);
            case 'H': case 'h': ++cur.pos; return radix_value(cur, 16);
            case 'O': case 'o': ++cur.pos; return radix_value(cur, 8);
            default: return 0;
        }
    }

    bool negative = false;
    int32_t c = cur.peek();
    if (c == '+' || c == '-') {
        negative = c == '-';
        ++cur.pos;
    }

    // Significant mantissa digits (leading zeros dropped) and the power of ten of the first.
    std::string digits;
    bool any_digit = false;
    bool fraction = false;
    int64_t int_digits_after_first = 0;  // integer digits from the first significant one
    int64_t leading_fraction_zeros = 0;  // fraction zeros before the first significant digit
    for (;;) {
        c = cur.peek();
        if (c >= '0' && c <= '9') {
            ++cur.pos;
            any_digit = true;
            if (digits.empty() && c == '0') {
                if (fraction) ++leading_fraction_zeros;
                continue;
            }
            digits.push_back(static_cast<char>(c));
            if (!fraction) ++int_digits_after_first;
        } else if (c == '.' && !fraction) {
            ++cur.pos;
            fraction = true;
        } else {
            break;
        }
    }
    bool has_fraction_digits = false;
    bool has_exponent = false;
    int64_t exponent = 0;
    c = cur.peek();
    if (any_digit && (c == 'D' || c == 'E' || c == 'd' || c == 'e')) {
        ++cur.pos;
        has_exponent = true;
        bool exp_negative = false;
        c = cur.peek();
        if (c == '+' || c == '-') {
            exp_negative = c == '-';
            ++cur.pos;
        }
        int32_t exp_count = 0;
        for (;;) {
            c = cur.peek();
            if (c < '0' || c > '9') break;
            if (exponent == 0 && c == '0') {
                ++cur.pos;
                continue;
            }
            if (exp_count == 18) break;  // more exponent digits end the scan
            ++cur.pos;
            ++exp_count;
            exponent = exponent * 10 + (c - '0');
        }
        if (exp_negative) exponent = -exponent;
    }
    if (!any_digit) return 0;
    // Fraction digits: any digit read after the point.
    has_fraction_digits = fraction && (leading_fraction_zeros > 0 ||
                                       static_cast<int64_t>(digits.size()) > int_digits_after_first);

    if (!has_fraction_digits && !has_exponent && digits.size() <= 18) {
        int64_t whole = 0;
        for (char d : digits) whole = whole * 10 + (d - '0');
        return static_cast<long double>(negative ? -whole : whole);
    }

    // Normalised text "-d.dddE<exp>" for the standard input conversion.
    int64_t point_shift;
    if (digits.empty()) {
        digits.push_back('0');
        point_shift = 0;
    } else if (int_digits_after_first > 0) {
        point_shift = int_digits_after_first - 1;
    } else {
        point_shift = -(leading_fraction_zeros + 1);
    }
    std::string normal;
    normal.reserve(digits.size() + 32);
    if (negative) normal.push_back('-');
    normal.push_back(digits[0]);
    normal.push_back('.');
    if (digits.size() > 1) normal.append(digits, 1, std::string::npos);
    else normal.push_back('0');
    char exp_text[32];
    std::snprintf(exp_text, sizeof exp_text, "E%" PRId64, exponent + point_shift);
    normal.append(exp_text);
    // Same conversion as the "%lf" input format; out-of-range values give infinity or 0.
    return std::strtod(normal.c_str(), nullptr);
}

long double num_val(StringValue* s) {
    if (frame_error.error_number || !s) return 0;
    long double v = num_val_bytes(s->data, s->length);
    if (s->is_temporary) sv_free(s);
    return v;
}
