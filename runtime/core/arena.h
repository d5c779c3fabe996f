// Static arena: fixed arrays and variable cells, never freed.
#pragma once
#include <cstddef>
#include <cstdint>

struct StaticArena {
    uint8_t* current = nullptr;
    uint8_t* end = nullptr;
    size_t block_size = 0;   // size of the newest block
    size_t blocks = 0;       // blocks taken so far
    uint8_t* newest = nullptr;  // newest block; each block starts with a link to the one before
};

extern StaticArena frame_arena;

constexpr size_t kArenaFirstBlock = 1048576;

void frame_arena_init();
void* frame_static_alloc(size_t bytes);
