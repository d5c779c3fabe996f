#include "runtime/frame/open_request.h"

#include <atomic>
#include <cstdio>

namespace {

// Who may touch the path: 0 nobody, 1 the page writing it, 2 ready, 3 the program taking it.
std::atomic<int32_t> g_state{0};
char g_path[1024];

}  // namespace

bool frame_request_open(const std::string& path) {
    int32_t s = g_state.load(std::memory_order_acquire);
    if (s == 1 || s == 3 || !g_state.compare_exchange_strong(s, 1, std::memory_order_acquire)) return false;
    std::snprintf(g_path, sizeof g_path, "%s", path.c_str());
    g_state.store(2, std::memory_order_release);
    return true;
}

bool frame_take_open_request(std::string& path) {
    int32_t ready = 2;
    if (g_state.load(std::memory_order_relaxed) != 2 ||
        !g_state.compare_exchange_strong(ready, 3, std::memory_order_acquire))
        return false;
    path = g_path;
    g_state.store(0, std::memory_order_release);
    return true;
}
