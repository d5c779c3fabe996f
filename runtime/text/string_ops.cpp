// String expressions: concatenation, substrings, characters, case, search, comparison.
#include <cstring>

#include "runtime/text/string_heap.h"

namespace {

void release_temp(StringValue* s) {
    if (s->is_temporary) sv_free(s);
}

// New temporary holding `n` bytes of `s` from offset `from`; `s` is read after the allocation,
// which may move heap bytes.
StringValue* copy_part(StringValue* s, int64_t from, int32_t n) {
    StringValue* t = sv_new(n, 1);
    if (n > 0) std::memcpy(t->data, s->data + from, static_cast<size_t>(n));
    return t;
}

StringValue* change_case(StringValue* s, uint8_t first, uint8_t last, int delta) {
    if (sv_error_pending()) return sv_empty();
    if (s->length == 0) return s;
    StringValue* out = s;
    if (!sv_is_plain_heap_temp(s)) out = copy_part(s, 0, s->length);
    for (int32_t i = 0; i < out->length; ++i) {
        uint8_t c = out->data[i];
        if (c >= first && c <= last) out->data[i] = static_cast<uint8_t>(c + delta);
    }
    if (out != s) release_temp(s);
    return out;
}

StringValue* repeated(int32_t count, uint8_t byte) {
    if (sv_error_pending()) return sv_empty();
    if (count < 0) count = 0;
    StringValue* t = sv_new(count, 1);
    if (count > 0) std::memset(t->data, byte, static_cast<size_t>(count));
    return t;
}

bool same_bytes(const StringValue* a, const StringValue* b) {
    return a->length == b->length &&
           (a->length == 0 || std::memcmp(a->data, b->data, static_cast<size_t>(a->length)) == 0);
}

}  // namespace

StringValue* sv_concat(StringValue* a, StringValue* b) {
    if (sv_error_pending()) return sv_empty();
    if (b->length == 0) return a;
    if (a->length == 0) return b;
    int64_t total = static_cast<int64_t>(a->length) + b->length;
    if (total > INT32_MAX) {
        frame_raise(14);
        return sv_empty();
    }
    StringValue* t = sv_new(static_cast<int32_t>(total), 1);
    std::memcpy(t->data, a->data, static_cast<size_t>(a->length));
    std::memcpy(t->data + a->length, b->data, static_cast<size_t>(b->length));
    release_temp(a);
    if (b != a) release_temp(b);
    return t;
}

StringValue* sv_mid(StringValue* s, int32_t start, int32_t length, int32_t length_given) {
    if (sv_error_pending()) return sv_empty();
    int64_t st = start, len = length, total = s->length;
    bool empty = false;
    if (length_given) {
        if (st < 1) {
            len += st - 1;
            st = 1;
        }
        if (len < 1 || st > total)
            empty = true;
        else if (st + len > total)
            len = total - st + 1;
    } else {
        if (st < 1) st = 1;
        if (st > total)
            empty = true;
        else
            len = total - st + 1;
    }
    if (empty) {
        st = 1;
        len = 0;
    }
    if (st == 1 && len == total) return s;
    if (sv_is_plain_heap_temp(s)) {
        s->data += st - 1;
        s->length = static_cast<int32_t>(len);
        return s;
    }
    StringValue* t = copy_part(s, st - 1, static_cast<int32_t>(len));
    release_temp(s);
    return t;
}

StringValue* sv_chr(int32_t code) {
    if (sv_error_pending()) return sv_empty();
    if (code < 0 || code > 255) {
        frame_raise(5);
        return sv_new(0, 1);
    }
    StringValue* t = sv_new(1, 1);
    t->data[0] = static_cast<uint8_t>(code);
    return t;
}

StringValue* sv_string_of(int32_t count, int32_t code) {
    return repeated(count, static_cast<uint8_t>(code & 255));
}

StringValue* sv_space(int32_t count) { return repeated(count, ' '); }

StringValue* sv_ucase(StringValue* s) { return change_case(s, 'a', 'z', 'A' - 'a'); }

StringValue* sv_lcase(StringValue* s) { return change_case(s, 'A', 'Z', 'a' - 'A'); }

int32_t sv_instr(int32_t start, StringValue* s, StringValue* pattern, int32_t start_given) {
    if (sv_error_pending()) return 0;
    int64_t st = start_given ? start : 1;
    int64_t result = 0;
    int64_t n = s->length, m = pattern->length;
    if (n == 0) {
        result = 0;
    } else if (st <= 0 && m == 0) {
        result = 0;
    } else {
        if (st <= 0) st = 1;
        if (st > n)
            result = 0;
        else if (m == 0)
            result = st;
        else if (st + m - 1 > n)
            result = 0;
        else {
            for (int64_t i = st - 1; i + m <= n; ++i) {
                if (s->data[i] == pattern->data[0] &&
                    std::memcmp(s->data + i, pattern->data, static_cast<size_t>(m)) == 0) {
                    result = i + 1;
                    break;
                }
            }
        }
    }
    release_temp(s);
    if (pattern != s) release_temp(pattern);
    return static_cast<int32_t>(result);
}

void sv_mid_assign(StringValue* dest, int32_t start, int32_t length, StringValue* src,
                   int32_t length_given) {
    if (sv_error_pending()) return;
    int64_t st = start, len = length_given ? length : src->length, skip = 0;
    if (st < 1) {
        len -= 1 - st;
        skip = 1 - st;
        st = 1;
    }
    if (len > 0 && st <= dest->length && !dest->is_read_only) {
        int64_t room = dest->length - st + 1;
        int64_t left = src->length - skip;
        int64_t count = len;
        if (count > room) count = room;
        if (count > left) count = left;
        if (count > 0)
            std::memmove(dest->data + st - 1, src->data + skip, static_cast<size_t>(count));
    }
    if (src != dest) release_temp(src);
}

int32_t sv_equal(StringValue* a, StringValue* b) {
    if (sv_error_pending()) return 0;
    return same_bytes(a, b) ? -1 : 0;
}

int32_t sv_not_equal(StringValue* a, StringValue* b) {
    if (sv_error_pending()) return 0;
    return same_bytes(a, b) ? 0 : -1;
}
