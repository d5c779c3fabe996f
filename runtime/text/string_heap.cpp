// Descriptor pool, string heap and the two lists, with allocation and release of values.
#include "runtime/text/string_heap.h"

#include <cstdlib>
#include <cstring>
#include <new>

SvEngine sv_engine;
void (*sv_unlink_file_field)(StringValue* s) = nullptr;

namespace {

// The permanent values are not pool descriptors, so freeing them can be refused by address.
uint8_t g_space_byte = ' ';
uint8_t g_empty_byte = 0;
StringValue g_one_space = [] {
    StringValue s;
    s.data = &g_space_byte;
    s.length = 1;
    s.is_read_only = 1;
    return s;
}();
StringValue g_empty = [] {
    StringValue s;
    s.data = &g_empty_byte;
    s.length = 0;
    s.is_read_only = 1;
    return s;
}();

[[noreturn]] void out_of_memory(int32_t n) {
    frame_raise(n);  // critical: ends the process
    frame_fatal(n);
}

template <typename T>
T* alloc_array(int64_t count, int32_t error) {
    void* p = std::malloc(static_cast<size_t>(count) * sizeof(T));
    ++sv_engine.allocations;
    if (!p) out_of_memory(error);
    return static_cast<T*>(p);
}

// Doubles a pointer list in place; the list keeps its contents.
void grow_list(StringValue**& list, int32_t& capacity, int32_t error) {
    int64_t wanted = static_cast<int64_t>(capacity) * 2;
    if (wanted > INT32_MAX) out_of_memory(error);
    void* p = std::realloc(list, static_cast<size_t>(wanted) * sizeof(StringValue*));
    ++sv_engine.allocations;
    if (!p) out_of_memory(error);
    list = static_cast<StringValue**>(p);
    capacity = static_cast<int32_t>(wanted);
}

void new_block() {
    SvEngine& e = sv_engine;
    e.block = new (std::nothrow) StringValue[kSvBlockSize];
    ++e.allocations;
    if (!e.block) out_of_memory(508);
    e.block_used = 0;
}

// End of the last live heap value + 32 (at most the heap size), or 0 with none left.
void reset_end_mark() {
    SvEngine& e = sv_engine;
    if (e.heap_count == 0) {
        e.end_mark = 0;
        return;
    }
    const StringValue* last = e.heap_list[e.heap_count - 1];
    int64_t end = (last->data - e.heap) + last->length + kSvSpare;
    e.end_mark = end < e.heap_size ? end : e.heap_size;
}

void heap_release(StringValue* s) {
    SvEngine& e = sv_engine;
    if (!sv_heap_listed(s)) return;
    e.heap_list[s->list_index] = nullptr;
    while (e.heap_count > 0 && e.heap_list[e.heap_count - 1] == nullptr) --e.heap_count;
    reset_end_mark();
}

}  // namespace

bool sv_is_permanent(const StringValue* s) { return s == &g_one_space || s == &g_empty; }

StringValue* sv_one_space() { return &g_one_space; }
StringValue* sv_empty() { return &g_empty; }

void sv_init() {
    SvEngine& e = sv_engine;
    if (e.ready) return;
    new_block();
    e.recycle_capacity = 65536;
    e.recycle = alloc_array<StringValue*>(e.recycle_capacity, 508);
    e.recycle_count = 0;
    e.heap_capacity = 65535;
    e.heap_list = alloc_array<StringValue*>(e.heap_capacity, 510);
    e.heap_count = 0;
    e.temp_capacity = 65535;
    e.temps = alloc_array<StringValue*>(e.temp_capacity, 511);
    e.temps[0] = nullptr;
    e.temp_count = 1;
    e.heap_size = kSvHeapStartSize;
    e.heap = alloc_array<uint8_t>(e.heap_size, 512);
    e.end_mark = 0;
    e.ready = true;
}

StringValue* sv_take_descriptor() {
    SvEngine& e = sv_engine;
    if (e.recycle_count > 0) {
        StringValue* s = e.recycle[--e.recycle_count];
        *s = StringValue{};
        return s;
    }
    if (e.block_used == kSvBlockSize) new_block();  // old blocks stay: their descriptors live on
    return &e.block[e.block_used++];
}

void sv_recycle(StringValue* s) {
    SvEngine& e = sv_engine;
    if (e.recycle_count == e.recycle_capacity) grow_list(e.recycle, e.recycle_capacity, 508);
    e.recycle[e.recycle_count++] = s;
}

void sv_temp_register(StringValue* s) {
    SvEngine& e = sv_engine;
    if (e.temp_count == e.temp_capacity) grow_list(e.temps, e.temp_capacity, 511);
    e.temps[e.temp_count] = s;
    s->temp_index = e.temp_count++;
    s->is_temporary = 1;
}

void sv_heap_append(StringValue* s) {
    SvEngine& e = sv_engine;
    if (e.heap_count == e.heap_capacity) {
        int32_t live = 0;
        for (int32_t i = 0; i < e.heap_count; ++i) {
            StringValue* v = e.heap_list[i];
            if (!v) continue;
            v->list_index = live;
            e.heap_list[live++] = v;
        }
        e.heap_count = live;
        if (live >= e.heap_capacity / 2) grow_list(e.heap_list, e.heap_capacity, 510);
    }
    e.heap_list[e.heap_count] = s;
    s->list_index = e.heap_count++;
}

void sv_heap_compact(int64_t request) {
    SvEngine& e = sv_engine;
    ++e.compactions;
    uint8_t* cursor = e.heap;
    for (int32_t i = 0; i < e.heap_count; ++i) {
        StringValue* v = e.heap_list[i];
        if (!v) continue;
        // Small gaps stay: they are the room a value may grow into.
        if (v->data - cursor > kSvSpare) {
            if (v->length > 0) std::memmove(cursor, v->data, static_cast<size_t>(v->length));
            v->data = cursor;
        }
        cursor = v->data + v->length;
    }
    e.end_mark = cursor - e.heap;
    if (request + 2 * e.end_mark + kSvSpare < e.heap_size) return;

    int64_t new_size = request + 2 * e.heap_size;
    uint8_t* fresh = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(new_size)));
    ++e.allocations;
    if (!fresh) out_of_memory(512);
    if (e.end_mark > 0) std::memcpy(fresh, e.heap, static_cast<size_t>(e.end_mark));
    for (int32_t i = 0; i < e.heap_count; ++i) {
        StringValue* v = e.heap_list[i];
        if (v) v->data = fresh + (v->data - e.heap);
    }
    std::free(e.heap);
    e.heap = fresh;
    e.heap_size = new_size;
}

StringValue* sv_new(int32_t length, int32_t temporary) {
    sv_ensure_init();
    SvEngine& e = sv_engine;
    if (length < 0) length = 0;
    int64_t need = static_cast<int64_t>(length) + kSvSpare;
    if (e.end_mark + need > e.heap_size) sv_heap_compact(need);
    StringValue* s = sv_take_descriptor();
    s->data = e.heap + e.end_mark;
    s->length = length;
    e.end_mark += need;
    sv_heap_append(s);
    if (temporary) sv_temp_register(s);
    return s;
}

StringValue* sv_new_text_len(const char* text, int32_t length) {
    sv_ensure_init();
    StringValue* s = sv_take_descriptor();
    if (!text || length <= 0) {
        s->data = sv_empty()->data;
        s->length = 0;
    } else {
        // Constant text is never written: every writer checks is_read_only first.
        s->data = reinterpret_cast<uint8_t*>(const_cast<char*>(text));
        s->length = length;
    }
    s->is_read_only = 1;
    sv_temp_register(s);
    return s;
}

StringValue* sv_new_text(const char* text) {
    size_t n = text ? std::strlen(text) : 0;
    return sv_new_text_len(text, n > INT32_MAX ? INT32_MAX : static_cast<int32_t>(n));
}

StringValue* sv_new_low(int32_t length, int32_t temporary) { return sv_new(length, temporary); }

StringValue* sv_new_fixed(uint8_t* bytes, int32_t length) {
    sv_ensure_init();
    StringValue* s = sv_take_descriptor();
    s->data = bytes;
    s->length = bytes && length > 0 ? length : 0;
    s->is_fixed = 1;
    return s;
}

void sv_free(StringValue* s) {
    SvEngine& e = sv_engine;
    if (!s || !e.ready || sv_is_permanent(s)) return;
    if (s->file_field) {
        if (sv_unlink_file_field) sv_unlink_file_field(s);
        s->file_field = nullptr;
    }
    if (s->is_temporary) {
        int32_t i = s->temp_index;
        if (i > 0 && i < e.temp_capacity && e.temps[i] == s) e.temps[i] = nullptr;
        while (e.temp_count > 1 && e.temps[e.temp_count - 1] == nullptr) --e.temp_count;
    }
    if (!s->is_fixed && !s->is_read_only) heap_release(s);
    sv_recycle(s);
}

int64_t sv_cleanup(int32_t base, int64_t value) {
    sv_ensure_init();
    SvEngine& e = sv_engine;
    if (base < 1) base = 1;
    while (e.temp_count > base) {
        --e.temp_count;
        StringValue* s = e.temps[e.temp_count];
        if (s) sv_free(s);
    }
    return value;
}

int32_t sv_temp_count() {
    sv_ensure_init();
    return sv_engine.temp_count;
}

uint64_t sv_system_allocations() { return sv_engine.allocations; }

SvHeapStats sv_heap_stats() {
    sv_ensure_init();
    const SvEngine& e = sv_engine;
    SvHeapStats st;
    st.heap_size = e.heap_size;
    st.end_mark = e.end_mark;
    st.heap_list_count = e.heap_count;
    for (int32_t i = 0; i < e.heap_count; ++i)
        if (e.heap_list[i]) ++st.heap_live;
    st.temp_count = e.temp_count;
    st.recycled = e.recycle_count;
    st.compactions = e.compactions;
    return st;
}
