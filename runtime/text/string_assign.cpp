// Assignment to a string value: padding for fixed values, ownership transfer from heap
// temporaries, in-place growth where the following value leaves room, relocation otherwise.
#include <cstring>

#include "runtime/text/string_heap.h"

namespace {

void copy_bytes(uint8_t* to, const uint8_t* from, int32_t n) {
    if (n > 0 && to != from) std::memmove(to, from, static_cast<size_t>(n));
}

// Moves dest to the end of the heap; src's bytes are read after a possible compaction.
void relocate(StringValue* dest, const StringValue* src) {
    SvEngine& e = sv_engine;
    if (sv_heap_listed(dest)) e.heap_list[dest->list_index] = nullptr;
    int32_t n = src->length;
    if (e.end_mark + n > e.heap_size) sv_heap_compact(n);
    sv_heap_append(dest);
    dest->data = e.heap + e.end_mark;
    e.end_mark += n;
    copy_bytes(dest->data, src->data, n);
    dest->length = n;
}

// Copies into dest's own place when it is the last heap value and the heap has room.
void grow_as_last(StringValue* dest, const StringValue* src) {
    SvEngine& e = sv_engine;
    int32_t n = src->length;
    if ((dest->data - e.heap) + static_cast<int64_t>(n) <= e.heap_size) {
        copy_bytes(dest->data, src->data, n);
        dest->length = n;
        e.end_mark = (dest->data - e.heap) + n;
    } else {
        relocate(dest, src);
    }
}

void grow(StringValue* dest, StringValue* src) {
    SvEngine& e = sv_engine;
    if (!sv_heap_listed(dest)) {
        relocate(dest, src);
        return;
    }
    int32_t i = dest->list_index;
    if (i == e.heap_count - 1) {
        grow_as_last(dest, src);
        return;
    }
    // A temporary source is about to be freed, so its bytes do not block the growth.
    const StringValue* skip = src->is_temporary ? src : nullptr;
    int32_t j = i + 1;
    while (j < e.heap_count && (e.heap_list[j] == nullptr || e.heap_list[j] == skip)) ++j;
    if (j == e.heap_count) {
        e.heap_count = i + 1;
        grow_as_last(dest, src);
        return;
    }
    if (e.heap_list[j]->data < dest->data + src->length) {
        relocate(dest, src);
    } else {
        copy_bytes(dest->data, src->data, src->length);
        dest->length = src->length;
    }
}

// dest takes over src's bytes and heap-list slot; src's descriptor goes back to the pool.
void take_over(StringValue* dest, StringValue* src) {
    SvEngine& e = sv_engine;
    if (sv_heap_listed(dest)) e.heap_list[dest->list_index] = nullptr;
    dest->list_index = src->list_index;
    e.heap_list[src->list_index] = dest;
    int32_t t = src->temp_index;
    if (t > 0 && t < e.temp_capacity && e.temps[t] == src) {
        e.temps[t] = nullptr;
        if (t == e.temp_count - 1) --e.temp_count;
    }
    dest->data = src->data;
    dest->length = src->length;
    sv_recycle(src);
}

}  // namespace

StringValue* sv_assign(StringValue* dest, StringValue* src) {
    sv_ensure_init();
    if (sv_error_pending() || dest == src) return dest;
    if (sv_is_permanent(dest)) {
        if (src->is_temporary) sv_free(src);
        return dest;
    }
    if (dest->is_fixed) {
        int32_t n = src->length < dest->length ? src->length : dest->length;
        copy_bytes(dest->data, src->data, n);
        if (n < dest->length) std::memset(dest->data + n, ' ', static_cast<size_t>(dest->length - n));
    } else {
        if (dest->is_read_only) {
            // A constant cannot be written: it becomes an ordinary heap value.
            dest->is_read_only = 0;
            dest->data = sv_empty()->data;
            dest->length = 0;
            dest->list_index = -1;
        }
        if (sv_is_plain_heap_temp(src) && src->in_low_memory == dest->in_low_memory &&
            sv_heap_listed(src)) {
            take_over(dest, src);
            return dest;
        }
        if (src->length <= dest->length) {
            copy_bytes(dest->data, src->data, src->length);
            dest->length = src->length;
        } else {
            grow(dest, src);
        }
    }
    if (src->is_temporary) sv_free(src);
    return dest;
}
