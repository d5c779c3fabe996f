// Exact decimal digits of a value and the fixed and exponent layouts of a numeric field.
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "runtime/text/format_layout.h"

namespace {

bool set_special(long double v, NumDigits& out) {
    if (std::isnan(v)) {
        out.special = "NAN";
        return true;
    }
    if (std::isinf(v)) {
        out.special = "INF";
        out.negative = v < 0;
        return true;
    }
    return false;
}

void reset(NumDigits& out) {
    out.digits.assign(1, '0');
    out.top = 0;
    out.negative = false;
    out.special = nullptr;
}

// Digits of an integer text ("-123", " 45"): the weight of the last digit is 10^0.
void integer_digits(const char* text, NumDigits& out) {
    const char* p = text;
    while (*p == ' ' || *p == '-') ++p;
    int32_t n = 0;
    for (const char* q = p; *q >= '0' && *q <= '9'; ++q) ++n;
    out.digits.append(p, static_cast<size_t>(n));
    out.top = n;
}

// Index of the first non-zero digit, or -1 for a zero value.
int64_t first_nonzero(const NumDigits& d) {
    for (size_t i = 0; i < d.digits.size(); ++i)
        if (d.digits[i] != '0') return static_cast<int64_t>(i);
    return -1;
}

void put_sign_tail(const NumField& f, bool negative, std::string& out) {
    if (f.trail_plus) out.push_back(negative ? '-' : '+');
    else if (f.trail_minus) out.push_back(negative ? '-' : ' ');
}

bool special_layout(const NumField& f, const NumDigits& d, std::string& out) {
    if (!d.special) return false;
    out.push_back('%');
    if (d.negative) out.push_back('-');
    out.append(d.special);
    put_sign_tail(f, d.negative, out);
    return true;
}

}  // namespace

void num_digits_double(double v, NumDigits& out) {
    reset(out);
    if (set_special(v, out)) return;
    out.negative = v < 0;
    char text[300];
    std::snprintf(text, sizeof text, "% .255E", v);
    // text: sign, digit, ".", 255 digits, "E", exponent.
    out.digits.push_back(text[1]);
    out.digits.append(text + 3, 255);
    out.top = static_cast<int32_t>(std::strtol(text + 259, nullptr, 10)) + 1;
}

void num_digits_extended(long double v, NumDigits& out) {
    reset(out);
    if (set_special(v, out)) return;
    out.negative = v < 0;
    int n = std::snprintf(nullptr, 0, "% .255Lf", v);
    std::string text(static_cast<size_t>(n) + 1, '\0');
    std::snprintf(text.data(), text.size(), "% .255Lf", v);
    // text: sign, integer digits, ".", 255 digits.
    size_t point = text.find('.');
    out.digits.append(text, 1, point - 1);
    out.top = static_cast<int32_t>(point - 1);
    out.digits.append(text, point + 1, 255);
}

void num_digits_int64(int64_t v, NumDigits& out) {
    reset(out);
    out.negative = v < 0;
    char text[32];
    std::snprintf(text, sizeof text, "% " PRId64, v);
    integer_digits(text, out);
}

void num_digits_uint64(uint64_t v, NumDigits& out) {
    reset(out);
    char text[32];
    std::snprintf(text, sizeof text, "%" PRIu64, v);
    integer_digits(text, out);
}

int32_t num_digit_at(const NumDigits& d, int64_t w) {
    int64_t i = static_cast<int64_t>(d.top) - w;
    if (i < 0 || i >= static_cast<int64_t>(d.digits.size())) return 0;
    return d.digits[static_cast<size_t>(i)] - '0';
}

void num_round_at(NumDigits& d, int64_t w) {
    bool up = num_digit_at(d, w - 1) >= 5;
    int64_t keep = static_cast<int64_t>(d.top) - w + 1;  // digits kept
    if (keep <= 0) {
        d.digits.assign(1, '0');  // nothing kept: the value rounds to zero
        return;
    }
    if (keep < static_cast<int64_t>(d.digits.size())) d.digits.resize(static_cast<size_t>(keep));
    if (!up) return;
    for (int64_t i = keep - 1; i >= 0; --i) {
        char& c = d.digits[static_cast<size_t>(i)];
        if (c != '9') {
            ++c;
            return;
        }
        c = '0';
    }
}

void num_layout_fixed(const NumField& f, NumDigits& d, std::string& out) {
    if (special_layout(f, d, out)) return;
    const bool neg = d.negative;
    int64_t ints = f.ints;
    const int64_t fracs = f.fracs;
    const bool reserve = neg && !f.lead_sign && !f.trail_plus && !f.trail_minus;
    if (reserve) --ints;
    const int64_t places = ints;  // character positions of the integer part
    if (f.comma && ints > 0) ints -= ints / 4;

    num_round_at(d, -fracs);
    int64_t n = 0;
    int64_t first = first_nonzero(d);
    if (first >= 0) {
        int64_t weight = d.top - first;
        if (weight >= 0) n = weight + 1;
    }
    const bool overflow = n > ints;
    const int64_t used = n > 0 ? n + (f.comma ? (n - 1) / 3 : 0) : 0;
    const bool zero = n == 0 && places >= 1;
    int64_t fill = places - used - (zero ? 1 : 0);
    if (fill < 0) fill = 0;

    if (overflow) out.push_back('%');
    if (f.lead_sign) out.push_back(neg ? '-' : '+');
    out.append(static_cast<size_t>(fill), f.star ? '*' : ' ');
    if (reserve) out.push_back('-');
    if (f.dollar) out.push_back('$');
    if (zero) out.push_back('0');
    for (int64_t w = n - 1; w >= 0; --w) {
        out.push_back(static_cast<char>('0' + num_digit_at(d, w)));
        if (f.comma && w > 0 && w % 3 == 0) out.push_back(',');
    }
    if (f.point) out.push_back('.');
    for (int64_t w = -1; w >= -fracs; --w) out.push_back(static_cast<char>('0' + num_digit_at(d, w)));
    put_sign_tail(f, neg, out);
}

void num_layout_exponent(const NumField& f, NumDigits& d, std::string& out) {
    if (special_layout(f, d, out)) return;
    const bool neg = d.negative;
    int64_t ints = f.ints;
    int64_t fracs = f.fracs;
    bool point = f.point;
    char reserved = 0;  // what the sign position shows; 0 when there is none
    if (!f.lead_sign && !f.trail_plus && !f.trail_minus) {
        reserved = neg ? '-' : ' ';
        --ints;
        if (ints == -1) {
            ints = 0;
            --fracs;
            if (fracs == 0) {
                point = false;
                ints = 1;
            }
        }
        if (!neg && ints < 1) {
            ++ints;
            if (ints == 1 && fracs > 0) {
                reserved = '0';
                ints = 0;
            } else {
                reserved = 0;
            }
        }
    }
    bool overflow = false;
    if (ints == 0 && fracs == 0) {
        overflow = true;
        ints = 1;
    }

    const int64_t shown = ints + fracs;
    int64_t lead;  // weight of the first digit shown
    int64_t exponent = 0;
    int64_t first = first_nonzero(d);
    if (first >= 0) {
        lead = d.top - first;
        num_round_at(d, lead - shown + 1);
        first = first_nonzero(d);
        if (first >= 0) lead = d.top - first;  // a carry may have added a digit
        exponent = lead - (ints - 1);
    } else {
        lead = ints - 1;
    }

    char exp_text[24];
    int exp_len = std::snprintf(exp_text, sizeof exp_text, "%" PRId64,
                                exponent < 0 ? -exponent : exponent);
    int64_t width = f.exp_digits;
    if (exp_len > width) {
        overflow = true;
        width = exp_len;
    }

    if (overflow) out.push_back('%');
    if (f.lead_sign) out.push_back(neg ? '-' : '+');
    if (f.dollar) out.push_back('$');
    if (reserved) out.push_back(reserved);
    for (int64_t k = 0; k < ints; ++k)
        out.push_back(static_cast<char>('0' + num_digit_at(d, lead - k)));
    if (point) out.push_back('.');
    for (int64_t k = 0; k < fracs; ++k)
        out.push_back(static_cast<char>('0' + num_digit_at(d, lead - ints - k)));
    out.push_back('E');
    out.push_back(exponent < 0 ? '-' : '+');
    out.append(static_cast<size_t>(width - exp_len), '0');
    out.append(exp_text, static_cast<size_t>(exp_len));
    put_sign_tail(f, neg, out);
}
