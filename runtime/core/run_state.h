// Flags and counters shared by the program, housekeeping, timer-trap and main threads.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>

struct RunState {
    std::atomic<int32_t> attention{0};          // program thread must call its check-point
    std::atomic<uint8_t> quit_requested{0};      // the program finished or asked to end
    std::atomic<uint8_t> exit_now{0};            // shutdown has begun
    std::atomic<uint8_t> suspended{0};           // bit 0: paused by the Pause key
    std::atomic<int32_t> close_requests{0};      // bit 0 close button, bit 1 Ctrl+Break (query active)
    std::atomic<int32_t> close_query_active{0};
    std::atomic<int32_t> threads_done{0};        // bit 0 program thread, bit 1 timer-trap thread
    std::atomic<int32_t> in_gl_scope{0};
    std::atomic<int32_t> auto_display{1};
    std::atomic<int32_t> frame_counter{0};
    std::atomic<int32_t> housekeeping_running{0};  // the frame builder runs; 0 again at shutdown
    std::atomic<int32_t> stop_held{0};  // program thread: work under way that a shutdown lets end
};

extern RunState frame_run;

// The classic PC low memory: keyboard ring, status bytes, tick counter.
constexpr size_t kLowMemorySize = 1114099;
struct LowMemory {
    alignas(64) uint8_t bytes[kLowMemorySize];
};
extern LowMemory frame_low_memory;

constexpr size_t kLowKeyHead = 1050;
constexpr size_t kLowKeyTail = 1052;
constexpr size_t kLowKeyRing = 1024;  // entries at 1024 + head/tail (30 … 60)
constexpr size_t kLowTicks = 1132;    // 24-bit tick counter, low byte first

// One byte of low memory as the threads share it: each byte has one writer, read by others.
struct LowByte {
    uint8_t* byte;
    uint8_t load(std::memory_order order = std::memory_order_seq_cst) const {
        return __atomic_load_n(byte, static_cast<int>(order));
    }
    void store(uint8_t v, std::memory_order order = std::memory_order_seq_cst) const {
        __atomic_store_n(byte, v, static_cast<int>(order));
    }
};
inline LowByte frame_low_byte(size_t offset) { return LowByte{&frame_low_memory.bytes[offset]}; }

// Clears every flag to its start value (process start and tests).
void frame_run_reset();
