// Slot choices, placement and the full-screen cycle: the presentation's rules without GL.
#include <atomic>

#include "runtime/display/display.h"

namespace {

std::atomic<int32_t> g_mode{0};
std::atomic<int32_t> g_requested{-1};
std::atomic<int32_t> g_smooth{0};
std::atomic<int32_t> g_window_scale{1};

// The placement the mouse coordinates go back through.
std::atomic<int32_t> g_left{0}, g_top{0}, g_frame_w{0}, g_frame_h{0};
std::atomic<double> g_scale_x{1.0}, g_scale_y{1.0};

}  // namespace

int32_t disp_pick_build_slot(const int32_t state[3], const uint64_t order[3]) {
    for (int32_t i = 2; i >= 0; --i)
        if (state[i] == SLOT_FREE) return i;
    int32_t best = -1;
    for (int32_t i = 0; i < 3; ++i)
        if (state[i] == SLOT_READY && (best < 0 || order[i] < order[best])) best = i;
    return best;
}

int32_t disp_pick_present_slot(const int32_t state[3], const uint64_t order[3]) {
    int32_t shown = -1;
    for (int32_t i = 0; i < 3; ++i)
        if (state[i] == SLOT_SHOWN && (shown < 0 || order[i] > order[shown])) shown = i;
    uint64_t floor = shown >= 0 ? order[shown] : 0;
    int32_t best = -1;
    for (int32_t i = 0; i < 3; ++i)
        if (state[i] == SLOT_READY && order[i] > floor && (best < 0 || order[i] > order[best]))
            best = i;
    return best >= 0 ? best : shown;
}

Placement disp_compute_placement(int32_t cw, int32_t ch, int32_t w, int32_t h, int32_t mode,
                                 int32_t window_scale) {
    Placement p;
    p.width = w;
    p.height = h;
    if (mode == 0 && window_scale > 1 && w > 0 && h > 0) {
        // Square, whole pixels from the top-left corner, also before the reshape arrives.
        p.width = w * window_scale;
        p.height = h * window_scale;
        p.scale_x = p.scale_y = window_scale;
        return p;
    }
    if (w <= 0 || h <= 0 || cw <= 0 || ch <= 0 || (cw == w && ch == h) || mode == 0) return p;
    if (mode == 2 && static_cast<int64_t>(w) * ch != static_cast<int64_t>(cw) * h) {
        double aspect = static_cast<double>(w) / h;
        if (aspect < static_cast<double>(cw) / ch) {
            p.width = static_cast<int32_t>(ch * aspect);
            p.height = ch;
            p.left = cw / 2 - p.width / 2;
            p.bars = 1;
        } else {
            p.width = cw;
            p.height = static_cast<int32_t>(cw / aspect);
            p.top = ch / 2 - p.height / 2;
            p.bars = 2;
        }
    } else {
        p.width = cw;
        p.height = ch;
    }
    p.scale_x = static_cast<double>(p.width) / w;
    p.scale_y = static_cast<double>(p.height) / h;
    return p;
}

void disp_set_window_scale(int32_t n) { g_window_scale.store(n < 1 ? 1 : n > 8 ? 8 : n); }
int32_t disp_window_scale() { return g_window_scale.load(); }

int32_t disp_auto_scale(int32_t screen_w, int32_t screen_h, int32_t frame_w, int32_t frame_h) {
    if (frame_w <= 0 || frame_h <= 0) return 1;
    int32_t n = 8;
    // N x frame <= 9/10 x screen, in whole numbers.
    while (n > 1 && (int64_t{10} * n * frame_w > int64_t{9} * screen_w ||
                     int64_t{10} * n * frame_h > int64_t{9} * screen_h))
        --n;
    return n;
}

void disp_publish_placement(const Placement& p, int32_t frame_w, int32_t frame_h) {
    g_left.store(p.left, std::memory_order_relaxed);
    g_top.store(p.top, std::memory_order_relaxed);
    g_scale_x.store(p.scale_x, std::memory_order_relaxed);
    g_scale_y.store(p.scale_y, std::memory_order_relaxed);
    g_frame_w.store(frame_w, std::memory_order_relaxed);
    g_frame_h.store(frame_h, std::memory_order_release);
}

MousePlacement disp_mouse_placement() {
    MousePlacement m;
    m.frame_h = g_frame_h.load(std::memory_order_acquire);
    m.frame_w = g_frame_w.load(std::memory_order_relaxed);
    m.left = g_left.load(std::memory_order_relaxed);
    m.top = g_top.load(std::memory_order_relaxed);
    m.scale_x = g_scale_x.load(std::memory_order_relaxed);
    m.scale_y = g_scale_y.load(std::memory_order_relaxed);
    return m;
}

void disp_fullscreen_step(ScreenModeState& s) {
    int32_t m = s.requested != -1 ? s.requested : s.mode;
    if (m == 2 && s.smooth) {
        m = 0;
    } else if (!s.smooth && m != 0) {
        s.smooth = true;
    } else {
        m += 1;
        s.smooth = false;
    }
    if (m != s.mode) s.requested = m;
}

ScreenModeState disp_screen_state() {
    ScreenModeState s;
    s.mode = g_mode.load();
    s.requested = g_requested.load();
    s.smooth = g_smooth.load() != 0;
    return s;
}

void disp_set_screen_state(const ScreenModeState& s) {
    g_mode.store(s.mode);
    g_requested.store(s.requested);
    g_smooth.store(s.smooth ? 1 : 0);
}

void disp_fullscreen_cycle() {
    ScreenModeState s = disp_screen_state();
    disp_fullscreen_step(s);
    disp_set_screen_state(s);
    disp_book.force_build.store(1);
}
