#include "runtime/core/arena.h"

#include <cstdlib>
#include <cstring>

#include "runtime/core/error.h"

StaticArena frame_arena;

static bool arena_new_block(size_t size) {
    // Blocks are never freed: earlier ones still hold live arrays. They stay linked from the
    // newest one, so that every block remains reachable.
    constexpr size_t kLink = 16;
    auto* block = static_cast<uint8_t*>(std::calloc(1, size + kLink));
    if (!block) return false;
    std::memcpy(block, &frame_arena.newest, sizeof frame_arena.newest);
    frame_arena.newest = block;
    frame_arena.current = block + kLink;
    frame_arena.end = block + kLink + size;
    frame_arena.block_size = size;
    frame_arena.blocks++;
    return true;
}

void frame_arena_init() {
    if (frame_arena.blocks == 0 && !arena_new_block(kArenaFirstBlock)) frame_raise(504);
}

void* frame_static_alloc(size_t bytes) {
    if (frame_arena.blocks == 0) frame_arena_init();
    size_t n = (bytes + 7) & ~static_cast<size_t>(7);
    if (static_cast<size_t>(frame_arena.end - frame_arena.current) <= n) {
        if (!arena_new_block(n + 2 * frame_arena.block_size)) frame_raise(504);
    }
    uint8_t* p = frame_arena.current;
    frame_arena.current += n;
    return p;
}
