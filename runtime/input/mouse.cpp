// The mouse event queue and the pointer queries.
#include <atomic>
#include <cmath>

#include "runtime/core/error.h"
#include "runtime/display/display.h"
#include "runtime/gfx/image.h"
#include "runtime/input/input.h"

namespace {

// An event packed into two words so that a reader racing an overrun sees whole fields.
struct MouseSlot {
    std::atomic<uint64_t> main{0};  // x, y, buttons
    std::atomic<uint32_t> rel{0};   // dx, dy
};

constexpr int32_t kQueueSize = kMouseQueueCapacity + 1;
MouseSlot g_queue[kQueueSize];
std::atomic<int32_t> g_newest{0};  // written by the main thread only
std::atomic<int32_t> g_read{0};    // the program thread, and the main thread on overrun
// The program thread's: polls stop at an event where a button goes down or up until the
// program has handled it, so that a click quicker than a frame still has its press seen.
std::atomic<bool> g_stop_at_buttons{false};
std::atomic<bool> g_held{false};
constexpr uint32_t kClickButtons = 7;  // left, middle, right (not the wheel)

int32_t next_index(int32_t i) { return i >= kMouseQueueCapacity ? 0 : i + 1; }

MouseEvent load_event(int32_t i) {
    uint64_t m = g_queue[i].main.load(std::memory_order_relaxed);
    uint32_t r = g_queue[i].rel.load(std::memory_order_relaxed);
    MouseEvent e;
    e.x = static_cast<int16_t>(static_cast<uint16_t>(m));
    e.y = static_cast<int16_t>(static_cast<uint16_t>(m >> 16));
    e.buttons = static_cast<uint32_t>(m >> 32);
    e.dx = static_cast<int16_t>(static_cast<uint16_t>(r));
    e.dy = static_cast<int16_t>(static_cast<uint16_t>(r >> 16));
    return e;
}

void push(const MouseEvent& e) {
    int32_t newest = g_newest.load(std::memory_order_relaxed);
    int32_t idx = next_index(newest);
    // Overrun: the oldest unread event is lost. When the program moved on meanwhile, leave it.
    int32_t expected = idx;
    g_read.compare_exchange_strong(expected, next_index(idx), std::memory_order_acq_rel);
    uint64_t m = static_cast<uint16_t>(e.x) | (static_cast<uint64_t>(static_cast<uint16_t>(e.y)) << 16) |
                 (static_cast<uint64_t>(e.buttons) << 32);
    uint32_t r = static_cast<uint16_t>(e.dx) | (static_cast<uint32_t>(static_cast<uint16_t>(e.dy)) << 16);
    g_queue[idx].main.store(m, std::memory_order_relaxed);
    g_queue[idx].rel.store(r, std::memory_order_relaxed);
    g_newest.store(idx, std::memory_order_release);
}

int16_t clamp16(int32_t v) {
    return static_cast<int16_t>(v < -32768 ? -32768 : v > 32767 ? 32767 : v);
}

// Maps one axis of the current event onto the display page.
float map_axis(int32_t c, bool horizontal) {
    MousePlacement p = disp_mouse_placement();
    const ImageSurface* page = gfx_images.display_page;
    int32_t edge = horizontal ? p.left : p.top;
    double scale = horizontal ? p.scale_x : p.scale_y;
    int32_t frame = horizontal ? p.frame_w : p.frame_h;
    int32_t page_size = 0, cell = 1;
    if (page) {
        page_size = horizontal ? page->width : page->height;
        if (page->is_text) {
            FontMetrics fm = page->font >= 0 && page->font < 32 ? gfx_font_metrics[page->font]
                                                                : FontMetrics{};
            cell = horizontal ? fm.width : fm.height;
            if (cell <= 0) cell = horizontal ? 8 : 16;
            page_size *= cell;  // in pixels
        }
    }
    if (frame <= 0) frame = page_size;  // nothing presented yet: the page 1:1
    int32_t limit = frame;
    if (page_size > 0 && page_size < limit) limit = page_size;
    int32_t px = input_map_coordinate(c, edge, scale, limit);
    if (page && page->is_text) return static_cast<float>(px / cell + 1);
    return static_cast<float>(px);
}

}  // namespace

void input_mouse_queue_clear() {
    for (auto& s : g_queue) {
        s.main.store(0, std::memory_order_relaxed);
        s.rel.store(0, std::memory_order_relaxed);
    }
    g_read.store(0);
    g_newest.store(0);
    g_held.store(false, std::memory_order_relaxed);
}

void input_init() {
    input_reset_ring();
    input_keyboard_clear_down_list();
    input_physical_keys_clear();
    input_mouse_queue_clear();
    input_mouse_stop_at_buttons(false);
}

void input_mouse_event(int32_t kind, int32_t button, int32_t x, int32_t y) {
    MouseEvent e = load_event(g_newest.load(std::memory_order_relaxed));
    e.x = clamp16(x);
    e.y = clamp16(y);
    e.dx = e.dy = 0;
    switch (kind) {
        case INPUT_MOUSE_DOWN:
        case INPUT_MOUSE_UP:
            if (button < 0 || button > 2) return;
            if (kind == INPUT_MOUSE_DOWN)
                e.buttons |= 1u << button;
            else
                e.buttons &= ~(1u << button);
            push(e);
            break;
        case INPUT_MOUSE_MOTION:
            push(e);  // the relative movement would go here; it is always 0
            push(e);
            break;
        case INPUT_MOUSE_WHEEL: {
            if (button == 0) return;
            uint32_t bit = button > 0 ? 8u : 16u;
            e.buttons |= bit;
            push(e);
            e.buttons &= ~bit;
            push(e);
            break;
        }
        default:
            break;
    }
}

int32_t input_mouse_poll() {
    if (frame_error.error_number != 0) return 0;
    if (g_held.load(std::memory_order_relaxed)) return 0;
    for (;;) {
        int32_t r = g_read.load(std::memory_order_acquire);
        int32_t newest = g_newest.load(std::memory_order_acquire);
        if (r == newest) return 0;
        const uint32_t was = load_event(r).buttons;
        if (g_read.compare_exchange_weak(r, next_index(r), std::memory_order_acq_rel)) {
            if (g_stop_at_buttons.load(std::memory_order_relaxed) &&
                ((load_event(next_index(r)).buttons ^ was) & kClickButtons) != 0)
                g_held.store(true, std::memory_order_relaxed);
            return -1;
        }
    }
}

void input_mouse_stop_at_buttons(bool on) {
    g_stop_at_buttons.store(on, std::memory_order_relaxed);
    g_held.store(false, std::memory_order_relaxed);
}

void input_mouse_handled() { g_held.store(false, std::memory_order_relaxed); }

// An empty poll takes nothing, so the polls after it would find the events that arrive
// meanwhile: the same as those events arriving just after the last poll.
int32_t input_mouse_take(int32_t n) {
    int32_t taken = 0;
    while (taken < n && input_mouse_poll() != 0) ++taken;
    return taken;
}

MouseEvent input_mouse_current() {
    // Pairs with the release of the newest index, so the event's words are visible.
    g_newest.load(std::memory_order_acquire);
    return load_event(g_read.load(std::memory_order_acquire));
}

MouseEvent input_mouse_newest() { return load_event(g_newest.load(std::memory_order_acquire)); }

int32_t input_map_coordinate(int32_t c, int32_t edge, double scale, int32_t limit) {
    if (limit <= 0) return 0;
    if (!(scale > 0)) scale = 1;
    double v = std::nearbyint((static_cast<double>(c) - edge + 0.5) / scale - 0.5);
    if (!(v > 0)) return 0;
    if (v > limit - 1) return limit - 1;
    return static_cast<int32_t>(v);
}

float input_mouse_x() {
    if (frame_error.error_number != 0) return 0;
    return map_axis(input_mouse_current().x, true);
}

float input_mouse_y() {
    if (frame_error.error_number != 0) return 0;
    return map_axis(input_mouse_current().y, false);
}

int32_t input_mouse_button(int32_t n) {
    if (frame_error.error_number != 0) return 0;
    if (n <= 0) {
        frame_raise(5);
        return 0;
    }
    uint32_t bit;
    if (n == 1)
        bit = 1;
    else if (n == 2)
        bit = 4;
    else if (n == 3)
        bit = 2;
    else
        return 0;
    return (input_mouse_current().buttons & bit) ? -1 : 0;
}
