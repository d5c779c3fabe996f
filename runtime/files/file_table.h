// The file layer's own tables: file numbers, open-file slots and their system handles.
#pragma once
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/files/files.h"

// System side of one slot: the descriptor and the input read-ahead.
struct FileIo {
    int fd = -1;
    dev_t dev = 0;
    ino_t ino = 0;
    uint8_t* buffer = nullptr;  // input mode only
    int64_t buffer_start = 0;   // file offset of buffer[0]
    int32_t buffer_length = 0;  // valid bytes
    std::string temp;           // a temporary file not yet committed: removed when closed
};

constexpr int32_t kFileReadAhead = 65536;
// Highest file number; keeps a wild number from growing the table without bound.
constexpr int32_t kFileNumberLimit = 32767;

extern std::vector<int32_t> file_numbers;  // by number; -1 free, else an index into file_slots
extern std::vector<FileSlot> file_slots;
extern std::vector<FileIo> file_io;        // parallel to file_slots

// Slot index of an open number, or -1.
int32_t file_slot_index(int32_t number);
// A number that may be opened now; else raises 52 (out of range) or 55 (already open).
bool file_number_free(int32_t number);
// Takes a free slot (or a new one) and binds it to `number`; returns the slot index.
int32_t file_bind(int32_t number);
// Releases the slot's descriptor and buffers and frees its number.
void file_release(int32_t number);

// Error number for a failed system call; `fallback` for codes the table does not list.
int32_t file_errno_error(int err, int32_t fallback);
// Access refused: denied, read-only, busy or a sharing violation.
bool file_errno_refused(int err);
// As file_errno_error for a failed open of `path`: ENOENT is 76 when the folder part is missing.
int32_t file_open_errno_error(int err, const std::string& path);
// Copies the bytes of `s` and frees it when it is a temporary.
std::string file_take_text(StringValue* s);
