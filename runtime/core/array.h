// Arrays of up to three dimensions with bounds-checked element access.
#pragma once
#include <cmath>
#include <cstdint>

#include "runtime/core/error.h"

// Word layout: 0 data, 1 reserved, 2 flags, 3 reserved, then per dimension k (last subscript
// first) lower bound, count, stride, reserved; after the dimensions the lock record.
struct ArrayDescriptor {
    intptr_t* words = nullptr;
    int32_t dims = 0;
    int32_t elem_size = 0;
};

enum : intptr_t { ARRAY_ALLOCATED = 1, ARRAY_FIXED = 2, ARRAY_SPECIAL = 4, ARRAY_STRINGS = 8 };

inline intptr_t array_lower(const ArrayDescriptor& a, int k) { return a.words[4 + 4 * k]; }
inline intptr_t array_count(const ArrayDescriptor& a, int k) { return a.words[5 + 4 * k]; }
inline intptr_t array_stride(const ArrayDescriptor& a, int k) { return a.words[6 + 4 * k]; }
inline void* array_data(const ArrayDescriptor& a) { return reinterpret_cast<void*>(a.words[0]); }

uint32_t frame_index_check(uint32_t offset, uint32_t count);

// Creates a fixed array in the static arena, zero-filled. Bounds are given in subscript order
// (first subscript first): lower[i] .. upper[i].
ArrayDescriptor frame_array_fixed(int32_t dims, const int32_t* lower, const int32_t* upper,
                                  int32_t elem_size);
// Marks an array as holding string values (its elements are filled by the string runtime).
void frame_array_mark_strings(const ArrayDescriptor& a);
// Zero-fills a fixed array's data (restart); the descriptor and data pointer stay. A string
// array (ARRAY_STRINGS) keeps its elements: `empty_strings` releases their contents instead.
void frame_array_clear(ArrayDescriptor& a, void (*empty_strings)(const ArrayDescriptor&) = nullptr);
// Every fixed array made so far, for the restart.
void frame_clear_all_arrays(void (*empty_strings)(const ArrayDescriptor&) = nullptr);

// A float used as a subscript: nearest integer, ties to even; values beyond the integer range
// become a subscript that fails the bounds check.
inline int32_t frame_float_index(float f) {
    double r = std::nearbyint(static_cast<double>(f));
    if (!(r >= -2147483648.0 && r <= 2147483647.0)) return INT32_MIN;
    return static_cast<int32_t>(r);
}

// Element index of a(s1[, s2[, s3]]); each term checked (error 9 makes it the lower bound).
inline intptr_t frame_array_index(const ArrayDescriptor& a, const int32_t* subs) {
    intptr_t idx = 0;
    for (int i = 0; i < a.dims; ++i) {
        int k = a.dims - 1 - i;  // first subscript is the last dimension block
        uint32_t off = frame_index_check(static_cast<uint32_t>(subs[i]) -
                                             static_cast<uint32_t>(array_lower(a, k)),
                                         static_cast<uint32_t>(array_count(a, k)));
        idx += static_cast<intptr_t>(off) * array_stride(a, k);
    }
    return idx;
}

// Typed view of a fixed array: reads and writes through the bounds check.
template <class T, int D>
struct FixedArray {
    ArrayDescriptor desc;

    T* data() const { return static_cast<T*>(array_data(desc)); }

    template <class... S>
    T get(S... s) const {
        static_assert(sizeof...(S) == D);
        const int32_t subs[D] = {static_cast<int32_t>(s)...};
        return data()[frame_array_index(desc, subs)];
    }
    // A failed index check writes nothing.
    template <class... S>
    void set(T v, S... s) {
        static_assert(sizeof...(S) == D);
        const int32_t subs[D] = {static_cast<int32_t>(s)...};
        intptr_t i = frame_array_index(desc, subs);
        if (frame_error.error_number == 0) data()[i] = v;
    }
};

template <class T>
FixedArray<T, 1> frame_fixed_1d(int32_t lo, int32_t hi) {
    int32_t l[1] = {lo}, u[1] = {hi};
    return {frame_array_fixed(1, l, u, sizeof(T))};
}
template <class T>
FixedArray<T, 2> frame_fixed_2d(int32_t lo1, int32_t hi1, int32_t lo2, int32_t hi2) {
    int32_t l[2] = {lo1, lo2}, u[2] = {hi1, hi2};
    return {frame_array_fixed(2, l, u, sizeof(T))};
}
template <class T>
FixedArray<T, 3> frame_fixed_3d(int32_t lo1, int32_t hi1, int32_t lo2, int32_t hi2, int32_t lo3,
                                int32_t hi3) {
    int32_t l[3] = {lo1, lo2, lo3}, u[3] = {hi1, hi2, hi3};
    return {frame_array_fixed(3, l, u, sizeof(T))};
}
