// Number to text and text to number.
#pragma once
#include <cstdint>

#include "runtime/text/string_value.h"

// Texts into a caller's buffer (at least 40 bytes); return the length. No allocation.
int32_t num_str_chars(float v, char* out);
int32_t num_str_double_chars(double v, char* out);

// Temporaries.
StringValue* num_str(float v);
StringValue* num_str_double(double v);
StringValue* num_str_int64(int64_t v);
StringValue* num_str_int32(int32_t v);
StringValue* num_str_int16(int16_t v);
StringValue* num_str_int8(int8_t v);
StringValue* num_str_uint64(uint64_t v);
StringValue* num_str_uint32(uint32_t v);
StringValue* num_str_uint16(uint16_t v);
StringValue* num_str_uint8(uint8_t v);

// Value of a text; consumes a temporary argument. Over-long &H/&O/&B raise error 6.
long double num_val(StringValue* s);
// The same on raw bytes (no string value involved).
long double num_val_bytes(const uint8_t* text, int32_t length);
