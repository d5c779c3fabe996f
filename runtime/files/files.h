// files: numbered files.
#pragma once
#include <cstdint>
#include <string>

#include "runtime/text/string_value.h"

enum FileMode : int32_t {
    FILE_RANDOM = 1,
    FILE_BINARY = 2,
    FILE_INPUT = 3,
    FILE_OUTPUT = 4,
    FILE_APPEND = 5,
};

// Target types of file_input_number.
enum FileNumberType : int32_t {
    FILE_NUM_SINGLE = 1,
    FILE_NUM_DOUBLE = 2,
    FILE_NUM_INT16 = 3,
    FILE_NUM_INT32 = 4,
    FILE_NUM_INT64 = 5,
};

struct FileSlot {
    uint8_t in_use = 0;
    uint8_t read_allowed = 0;
    uint8_t write_allowed = 0;
    uint8_t lock_read = 0;
    uint8_t lock_write = 0;
    int64_t position = 0;
    uint8_t eof_seen = 0;
    int32_t mode = 0;  // 1 random, 2 binary, 3 input, 4 output (append stored as 4)
    int64_t record_length = 128;
    uint8_t* record_buffer = nullptr;
    int64_t print_column = 1;
    uint8_t screen_device = 0;
};

// access: 0 none given, 1 read, 2 write, 3 read write; lock: 0 shared, 1 lock read,
// 2 lock write, 3 lock read write. Names are consumed when temporary.
void file_open(StringValue* name, int32_t mode, int32_t access, int32_t lock, int32_t number,
               int64_t record_length);
void file_open_letter(StringValue* letter, int32_t number, StringValue* name,
                      int64_t record_length);
// A number that is not open is ignored.
void file_close(int32_t number);
// Closes every open file; runs even while an error is pending (restart and exit use it).
void file_close_all();
// `text` is consumed when temporary.
void file_print(int32_t number, StringValue* text, int32_t trailing_blank, int32_t next_zone,
                int32_t line_end);
double file_input_number(int32_t number, int32_t type);
// "*" and "?" are the only wildcards.
void file_kill(StringValue* name);
// Flushes what was written to an open file to the disk (before a rename puts it in place).
void file_sync(int32_t number);
// Output to a "SCRN:" file goes to the screen through this (set by the start-up); `text` is
// consumed when temporary. Unset: the bytes go to standard output.
extern void (*file_screen_print)(StringValue* text, int32_t line_end);

// Replaces `new_name` atomically by `old_name`; the folder of `new_name` is flushed to disk
// after it. Names are consumed when temporary.
void file_rename(StringValue* old_name, StringValue* new_name);

// The slot of an open number, or nullptr.
FileSlot* file_slot(int32_t number);
