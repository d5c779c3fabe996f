// Fixed arrays of string values.
#pragma once
#include <cstdint>

#include "runtime/core/array.h"
#include "runtime/text/string_value.h"

// Every element a permanent empty string, made last element first. A restart keeps the
// elements and only empties them (sv_array_empty).
FixedArray<StringValue*, 1> sv_fixed_strings_1d(int32_t lo, int32_t hi);
FixedArray<StringValue*, 2> sv_fixed_strings_2d(int32_t lo1, int32_t hi1, int32_t lo2, int32_t hi2);
void sv_array_empty(const ArrayDescriptor& a);
