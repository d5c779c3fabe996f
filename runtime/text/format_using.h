// Pattern-formatted numbers ("###.##" and friends).
#pragma once
#include <cstdint>

#include "runtime/text/string_value.h"

// Each formats one value with the next field of `pattern` from position `start`, appends the
// text (literals included) to `output` and returns the position of the next field (0 at the
// end of the pattern). `pattern` is not consumed.
int32_t num_format_using(StringValue* pattern, float value, int32_t start, StringValue* output);
int32_t num_format_using_double(StringValue* pattern, double value, int32_t start,
                                StringValue* output);
int32_t num_format_using_extended(StringValue* pattern, long double value, int32_t start,
                                  StringValue* output);
int32_t num_format_using_int64(StringValue* pattern, int64_t value, int32_t start,
                               StringValue* output);
int32_t num_format_using_uint64(StringValue* pattern, uint64_t value, int32_t start,
                                StringValue* output);
int32_t num_format_using_string(StringValue* pattern, StringValue* value, int32_t start,
                                StringValue* output);
