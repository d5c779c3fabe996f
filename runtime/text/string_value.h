// text: string values (here), number text, formatting, random numbers and the timer.
// String values, the temporary list and the string heap.
#pragma once
#include <cstdint>

struct StringValue {
    uint8_t* data = nullptr;
    int32_t length = 0;
    uint8_t in_low_memory = 0;
    void* low_descriptor = nullptr;
    uint32_t low_descriptor_offset = 0;
    int32_t list_index = 0;
    uint8_t is_temporary = 0;
    int32_t temp_index = 0;
    uint8_t is_fixed = 0;
    uint8_t is_read_only = 0;
    void* file_field = nullptr;
};

// Start-up: descriptor pool, recycle stack, lists, the 1 MB heap and the permanent values.
void sv_init();

// Every operation below initialises the engine on first use, so calling sv_init first is optional.
// Value-producing operations consume temporary arguments; sv_equal and sv_not_equal do not.
// While a run-time error is pending they do nothing and yield sv_empty() (or 0); sv_new*,
// sv_free and sv_cleanup always work so that the statement's temporaries are still released.
StringValue* sv_new(int32_t length, int32_t temporary);
StringValue* sv_new_text(const char* text);
StringValue* sv_new_text_len(const char* text, int32_t length);
// All values live in the string heap here; kept for callers that ask for low memory.
StringValue* sv_new_low(int32_t length, int32_t temporary);
// Permanent fixed-length value over caller-owned storage (length never changes; freeing it
// releases only the descriptor).
StringValue* sv_new_fixed(uint8_t* bytes, int32_t length);
void sv_free(StringValue* s);
StringValue* sv_assign(StringValue* dest, StringValue* src);
StringValue* sv_concat(StringValue* a, StringValue* b);
StringValue* sv_mid(StringValue* s, int32_t start, int32_t length, int32_t length_given);
StringValue* sv_chr(int32_t code);
StringValue* sv_string_of(int32_t count, int32_t code);
StringValue* sv_space(int32_t count);
StringValue* sv_ucase(StringValue* s);
StringValue* sv_lcase(StringValue* s);
int32_t sv_instr(int32_t start, StringValue* s, StringValue* pattern, int32_t start_given);
void sv_mid_assign(StringValue* dest, int32_t start, int32_t length, StringValue* src,
                   int32_t length_given);
int32_t sv_equal(StringValue* a, StringValue* b);
int32_t sv_not_equal(StringValue* a, StringValue* b);
int64_t sv_cleanup(int32_t base, int64_t value);

// Current temporary count: a routine records it on entry as its base mark.
int32_t sv_temp_count();
// The runtime's permanent one-space string (print zones).
StringValue* sv_one_space();
// The runtime's permanent empty string.
StringValue* sv_empty();

// Unlinks a value from a random-access file's record field before it is freed (set by the
// file layer when it supports record fields; nullptr: the link is only cleared).
extern void (*sv_unlink_file_field)(StringValue* s);

// Number of malloc/realloc/new calls the string engine has made since process start.
uint64_t sv_system_allocations();

struct SvHeapStats {
    int64_t heap_size = 0;       // bytes in the string heap buffer
    int64_t end_mark = 0;        // offset of the first unused byte
    int32_t heap_list_count = 0; // entries in the heap list, freed ones included
    int32_t heap_live = 0;       // live heap values
    int32_t temp_count = 0;      // temporary list count (1 when empty)
    int32_t recycled = 0;        // descriptors waiting on the recycle stack
    int64_t compactions = 0;     // heap compactions so far
};
SvHeapStats sv_heap_stats();
