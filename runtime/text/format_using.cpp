// Pattern scanning for formatted output: literals, numeric fields and string fields.
#include "runtime/text/format_using.h"

#include <cstring>
#include <string>

#include "runtime/core/error.h"
#include "runtime/text/format_layout.h"

namespace {

constexpr int32_t kIllegalCall = 5;
constexpr int32_t kTypeMismatch = 13;

enum class FieldKind { none, number, whole_string, first_char, fixed_string };

struct FieldScan {
    FieldKind kind = FieldKind::none;
    int32_t end = 0;    // position after the field
    int32_t width = 0;  // characters of a "\ \" field
    NumField number;
};

bool at(const uint8_t* p, int32_t length, int32_t i, const char* text) {
    for (int32_t k = 0; text[k]; ++k)
        if (i + k >= length || p[i + k] != static_cast<uint8_t>(text[k])) return false;
    return true;
}

// Reads the field that starts at `pos`, if there is one.
FieldScan field_at(const uint8_t* p, int32_t length, int32_t pos) {
    FieldScan scan;
    const uint8_t c = p[pos];
    if (c == '&' || c == '!') {
        scan.kind = c == '&' ? FieldKind::whole_string : FieldKind::first_char;
        scan.end = pos + 1;
        return scan;
    }
    if (c == '\\') {
        int32_t j = pos + 1;
        while (j < length && p[j] == ' ') ++j;
        if (j < length && p[j] == '\\') {
            scan.kind = FieldKind::fixed_string;
            scan.width = j - pos + 1;
            scan.end = j + 1;
        }
        return scan;
    }
    if (c != '+' && c != '*' && c != '$' && c != '#' && c != '.') return scan;

    NumField& f = scan.number;
    int32_t i = pos;
    if (p[i] == '+') {
        f.lead_sign = true;
        ++i;
    }
    if (at(p, length, i, "**$")) {
        f.star = f.dollar = true;
        f.ints = 2;
        i += 3;
    } else if (at(p, length, i, "**")) {
        f.star = true;
        f.ints = 2;
        i += 2;
    } else if (at(p, length, i, "$$")) {
        f.dollar = true;
        f.ints = 1;
        i += 2;
    }
    bool hash_seen = false;
    while (i < length) {
        const uint8_t ch = p[i];
        if (!f.point && ch == '#') {
            ++f.ints;
            hash_seen = true;
        } else if (!f.point && ch == ',' && hash_seen) {
            f.comma = true;
            ++f.ints;
        } else if (!f.point && ch == '.') {
            f.point = true;
        } else if (f.point && ch == '#') {
            ++f.fracs;
        } else {
            break;
        }
        ++i;
    }
    if (f.ints == 0 && f.fracs == 0) return scan;
    if (at(p, length, i, "^^^^^")) {
        f.exp_digits = 3;
        i += 5;
    } else if (at(p, length, i, "^^^^")) {
        f.exp_digits = 2;
        i += 4;
    }
    if (i < length && p[i] == '+') {
        f.trail_plus = true;
        ++i;
    } else if (i < length && p[i] == '-') {
        f.trail_minus = true;
        ++i;
    }
    scan.kind = FieldKind::number;
    scan.end = i;
    return scan;
}

// Appends the literal characters from `pos` up to the next field (returned in `field`).
// Returns that field's position, or `length` when the pattern ends first.
int32_t copy_literals(const uint8_t* p, int32_t length, int32_t pos, std::string& out,
                      FieldScan& field) {
    while (pos < length) {
        const uint8_t c = p[pos];
        if (c == '_') {
            if (pos == length - 1) {
                out.push_back('_');
                ++pos;
            } else {
                out.push_back(static_cast<char>(p[pos + 1]));
                pos += 2;
            }
            continue;
        }
        field = field_at(p, length, pos);
        if (field.kind != FieldKind::none) return pos;
        out.push_back(static_cast<char>(c));
        ++pos;
    }
    return length;
}

void string_field(const FieldScan& field, const uint8_t* text, int32_t text_length,
                  std::string& out) {
    int32_t width = field.kind == FieldKind::whole_string ? text_length
                    : field.kind == FieldKind::first_char ? 1
                                                          : field.width;
    for (int32_t k = 0; k < width; ++k)
        out.push_back(k < text_length ? static_cast<char>(text[k]) : ' ');
}

// Appends `text` to the string value `output`.
void append_to(StringValue* output, const std::string& text) {
    if (text.empty() || !output) return;
    const int32_t old_length = output->length;
    if (static_cast<int64_t>(old_length) + static_cast<int64_t>(text.size()) > INT32_MAX) {
        frame_raise(14);  // Out of string space, as for a concatenation
        return;
    }
    StringValue* joined = sv_new(old_length + static_cast<int32_t>(text.size()), 1);
    // Read output's bytes only now: making the new value may have moved them.
    if (old_length > 0) std::memcpy(joined->data, output->data, static_cast<size_t>(old_length));
    std::memcpy(joined->data + old_length, text.data(), text.size());
    sv_assign(output, joined);
}

int32_t format_number(StringValue* pattern, NumDigits& digits, int32_t start,
                      StringValue* output) {
    std::string text;
    int32_t next = num_format_chars(pattern->data, pattern->length, start, &digits, nullptr, 0, text);
    if (frame_error.error_number) return 0;
    append_to(output, text);
    return next;
}

}  // namespace

int32_t num_format_chars(const uint8_t* pattern, int32_t length, int32_t start,
                         NumDigits* number, const uint8_t* text, int32_t text_length,
                         std::string& out) {
    if (!pattern || length < 0) length = 0;
    if (start < 0 || start >= length) start = 0;
    std::string piece;
    FieldScan field;
    bool from_zero = start == 0;
    int32_t pos = start;
    for (;;) {
        pos = copy_literals(pattern, length, pos, piece, field);
        if (pos < length) break;
        if (from_zero) {
            frame_raise(kIllegalCall);
            return 0;
        }
        pos = 0;
        from_zero = true;
    }
    if ((field.kind == FieldKind::number) != (number != nullptr)) {
        frame_raise(kTypeMismatch);
        return 0;
    }
    if (number) {
        if (field.number.exp_digits) num_layout_exponent(field.number, *number, piece);
        else num_layout_fixed(field.number, *number, piece);
    } else {
        string_field(field, text, text_length, piece);
    }
    FieldScan next_field;
    int32_t next = copy_literals(pattern, length, field.end, piece, next_field);
    out.append(piece);
    return next < length ? next : 0;
}

int32_t num_format_using(StringValue* pattern, float value, int32_t start, StringValue* output) {
    return num_format_using_double(pattern, value, start, output);
}

int32_t num_format_using_double(StringValue* pattern, double value, int32_t start,
                                StringValue* output) {
    if (frame_error.error_number || !pattern) return 0;
    NumDigits digits;
    num_digits_double(value, digits);
    return format_number(pattern, digits, start, output);
}

int32_t num_format_using_extended(StringValue* pattern, long double value, int32_t start,
                                  StringValue* output) {
    if (frame_error.error_number || !pattern) return 0;
    NumDigits digits;
    num_digits_extended(value, digits);
    return format_number(pattern, digits, start, output);
}

int32_t num_format_using_int64(StringValue* pattern, int64_t value, int32_t start,
                               StringValue* output) {
    if (frame_error.error_number || !pattern) return 0;
    NumDigits digits;
    num_digits_int64(value, digits);
    return format_number(pattern, digits, start, output);
}

int32_t num_format_using_uint64(StringValue* pattern, uint64_t value, int32_t start,
                                StringValue* output) {
    if (frame_error.error_number || !pattern) return 0;
    NumDigits digits;
    num_digits_uint64(value, digits);
    return format_number(pattern, digits, start, output);
}

int32_t num_format_using_string(StringValue* pattern, StringValue* value, int32_t start,
                                StringValue* output) {
    if (frame_error.error_number || !pattern) return 0;
    std::string text;
    int32_t next = num_format_chars(pattern->data, pattern->length, start, nullptr,
                                    value ? value->data : nullptr, value ? value->length : 0, text);
    if (!frame_error.error_number) append_to(output, text);
    else next = 0;
    // The string argument is consumed like any other operand.
    if (value && value->is_temporary) sv_free(value);
    return next;
}
