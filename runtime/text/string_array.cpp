#include "runtime/text/string_array.h"

namespace {

intptr_t element_count(const ArrayDescriptor& a) { return array_count(a, 0) * array_stride(a, 0); }

void fill(const ArrayDescriptor& a) {
    auto** data = static_cast<StringValue**>(array_data(a));
    for (intptr_t i = element_count(a) - 1; i >= 0; --i) data[i] = sv_new(0, 0);
    frame_array_mark_strings(a);
}

}  // namespace

FixedArray<StringValue*, 1> sv_fixed_strings_1d(int32_t lo, int32_t hi) {
    auto t = frame_fixed_1d<StringValue*>(lo, hi);
    fill(t.desc);
    return t;
}

FixedArray<StringValue*, 2> sv_fixed_strings_2d(int32_t lo1, int32_t hi1, int32_t lo2, int32_t hi2) {
    auto t = frame_fixed_2d<StringValue*>(lo1, hi1, lo2, hi2);
    fill(t.desc);
    return t;
}

void sv_array_empty(const ArrayDescriptor& a) {
    auto** data = static_cast<StringValue**>(array_data(a));
    for (intptr_t i = 0; i < element_count(a); ++i)
        if (data[i]) sv_assign(data[i], sv_empty());
}
