#include "runtime/core/array.h"

#include <cstring>
#include <vector>

#include "runtime/core/arena.h"

namespace {
// Every fixed array ever made, so that a restart can zero-fill them all.
std::vector<ArrayDescriptor>& array_registry() {
    static std::vector<ArrayDescriptor> all;
    return all;
}
}  // namespace

uint32_t frame_index_check(uint32_t offset, uint32_t count) {
    if (offset < count) return offset;
    frame_raise(9);
    return 0;
}

ArrayDescriptor frame_array_fixed(int32_t dims, const int32_t* lower, const int32_t* upper,
                                  int32_t elem_size) {
    ArrayDescriptor a;
    a.dims = dims;
    a.elem_size = elem_size;
    size_t words = 5 + 4 * static_cast<size_t>(dims);
    a.words = static_cast<intptr_t*>(frame_static_alloc(words * sizeof(intptr_t)));
    auto* lock = static_cast<int32_t*>(frame_static_alloc(16));
    lock[0] = 4;  // kind: array
    // Dimension k holds subscript dims-1-k; the first subscript varies fastest.
    intptr_t stride = 1;
    for (int32_t i = 0; i < dims; ++i) {
        int k = dims - 1 - i;
        intptr_t count = static_cast<intptr_t>(upper[i]) - lower[i] + 1;
        a.words[4 + 4 * k] = lower[i];
        a.words[5 + 4 * k] = count;
        a.words[6 + 4 * k] = stride;
        a.words[7 + 4 * k] = 0;
        stride *= count;
    }
    a.words[4 + 4 * dims] = reinterpret_cast<intptr_t>(lock);
    intptr_t elements = stride;
    if (dims >= 2) elements &= 0x3FFFFFFF;
    a.words[0] = reinterpret_cast<intptr_t>(
        frame_static_alloc(static_cast<size_t>(elements) * static_cast<size_t>(elem_size)));
    a.words[2] = ARRAY_ALLOCATED | ARRAY_FIXED;
    array_registry().push_back(a);
    return a;
}

void frame_array_mark_strings(const ArrayDescriptor& a) {
    a.words[2] |= ARRAY_STRINGS;
}

void frame_array_clear(ArrayDescriptor& a, void (*empty_strings)(const ArrayDescriptor&)) {
    if (!(a.words[2] & ARRAY_ALLOCATED)) return;
    if (a.words[2] & ARRAY_STRINGS) {
        if (empty_strings) empty_strings(a);
        return;
    }
    size_t bytes = static_cast<size_t>(array_count(a, 0)) *
                   static_cast<size_t>(array_stride(a, 0)) * static_cast<size_t>(a.elem_size);
    std::memset(array_data(a), 0, bytes);
}

void frame_clear_all_arrays(void (*empty_strings)(const ArrayDescriptor&)) {
    for (auto& a : array_registry()) frame_array_clear(a, empty_strings);
}
