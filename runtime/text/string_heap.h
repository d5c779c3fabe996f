// Storage behind the string values: descriptor pool, string heap, heap list, temporary list.
// Internal to runtime/text; other areas use string_value.h.
#pragma once
#include <cstdint>

#include "runtime/core/error.h"
#include "runtime/text/string_value.h"

struct SvEngine {
    bool ready = false;
    // Descriptor pool: the current block and how many of it are handed out.
    StringValue* block = nullptr;
    int32_t block_used = 0;
    StringValue** recycle = nullptr;
    int32_t recycle_count = 0;
    int32_t recycle_capacity = 0;
    // String heap.
    uint8_t* heap = nullptr;
    int64_t heap_size = 0;
    int64_t end_mark = 0;
    // Heap list in address order; freed entries are nullptr.
    StringValue** heap_list = nullptr;
    int32_t heap_count = 0;
    int32_t heap_capacity = 0;
    // Temporary list; entry 0 is never used, freed entries are nullptr.
    StringValue** temps = nullptr;
    int32_t temp_count = 1;
    int32_t temp_capacity = 0;
    uint64_t allocations = 0;
    int64_t compactions = 0;
};

extern SvEngine sv_engine;

constexpr int32_t kSvBlockSize = 65536;
constexpr int32_t kSvSpare = 32;
constexpr int64_t kSvHeapStartSize = 1048576;

inline void sv_ensure_init() {
    if (!sv_engine.ready) [[unlikely]]
        sv_init();
}

inline bool sv_error_pending() { return frame_error.error_number != 0; }

// The runtime's own values that nobody may free or change.
bool sv_is_permanent(const StringValue* s);

// A heap temporary that operations may change in place.
inline bool sv_is_plain_heap_temp(const StringValue* s) {
    return s->is_temporary && !s->is_fixed && !s->is_read_only && !s->in_low_memory;
}

// True when `s` owns the heap-list entry its list_index names.
inline bool sv_heap_listed(const StringValue* s) {
    const SvEngine& e = sv_engine;
    return !s->is_fixed && !s->is_read_only && s->list_index >= 0 && s->list_index < e.heap_count &&
           e.heap_list[s->list_index] == s;
}

StringValue* sv_take_descriptor();
void sv_recycle(StringValue* s);
void sv_temp_register(StringValue* s);
// Appends to the heap list, squeezing or growing it first when full.
void sv_heap_append(StringValue* s);
// Moves live values down over gaps of more than 32 bytes; grows the heap when the request
// still does not fit comfortably.
void sv_heap_compact(int64_t request);
