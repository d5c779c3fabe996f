#include "runtime/frame/swarm_link.h"

#include <atomic>
#include <cstdint>
#include <cstdio>

namespace {

// One text handed from one thread to the other: 0 empty, 1 being written, 2 ready, 3 being
// read. A newer text replaces one not yet read.
struct TextBox {
    std::atomic<int32_t> state{0};
    char text[512] = {};

    bool put(const std::string& s) {
        int32_t was = state.load(std::memory_order_acquire);
        if (was == 1 || was == 3 || !state.compare_exchange_strong(was, 1, std::memory_order_acquire)) return false;
        std::snprintf(text, sizeof text, "%s", s.c_str());
        state.store(2, std::memory_order_release);
        return true;
    }
    bool take(std::string& s) {
        int32_t ready = 2;
        if (state.load(std::memory_order_relaxed) != 2 ||
            !state.compare_exchange_strong(ready, 3, std::memory_order_acquire))
            return false;
        s = text;
        state.store(0, std::memory_order_release);
        return true;
    }
};

// A text the program thread could not post because the page was reading the one before; posted
// at the next frame. Program thread only.
struct Outbox {
    TextBox box;
    std::string waiting;
    bool waits = false;

    void post(const std::string& s) {
        waits = !box.put(s);
        if (waits) waiting = s;
    }
    void retry() {
        if (waits && box.put(waiting)) waits = false;
    }
};

Outbox g_answer, g_address;
std::atomic<int32_t> g_share_asked{0};

}  // namespace

void frame_request_share() { g_share_asked.store(1, std::memory_order_relaxed); }

bool frame_take_share_request() {
    g_answer.retry();
    g_address.retry();
    return g_share_asked.load(std::memory_order_relaxed) != 0 && g_share_asked.exchange(0) != 0;
}

void frame_answer_share(const std::string& text) { g_answer.post(text); }

bool frame_take_share_answer(std::string& text) { return g_answer.box.take(text); }

void frame_post_swarm_address(const std::string& code) { g_address.post(code); }

bool frame_take_swarm_address(std::string& code) { return g_address.box.take(code); }
