// The page's presenter: the newest finished frame drawn into the canvas at every animation frame
// of the browser (about 60 a second), its pixels sharp; never a sleep or a wait on the browser's
// main thread. The canvas holds the page's pixels one to one; the page (web/page.js) sizes it on
// the screen: N times larger in the window, or full screen stretched or with the page's
// proportions, smoothed or not, as Alt+Enter steps through them.
#include <emscripten.h>
#include <emscripten/html5.h>

#include <algorithm>
#include <vector>

#include "runtime/core/run_state.h"
#include "runtime/display/display.h"

namespace {

struct WebPresenter {
    std::vector<uint32_t> rgba;  // the picture as the canvas takes it: bytes R, G, B, A
    int32_t width = 0, height = 0;
    bool presenting = false;
};
WebPresenter g_web;

// 0xAARRGGBB to the bytes R, G, B, A of a little-endian word.
inline uint32_t to_rgba(uint32_t argb) {
    return (argb & 0xFF00FF00u) | ((argb >> 16) & 0xFFu) | ((argb & 0xFFu) << 16);
}

// The open box over the frame, as large as the page's pixels, in the middle.
void draw_dialog(int32_t w, int32_t h) {
    DialogLayout l;
    uint64_t serial = 0;
    const uint32_t* px = disp_dialog_picture(&l, &serial);
    disp_presenter.dialog_drawn = px != nullptr;
    if (!px) return;
    const int32_t left = std::max(0, (w - l.width) / 2), top = std::max(0, (h - l.height) / 2);
    disp_dialog_place(left, top, 1);
    const int32_t cw = std::min(l.width, w - left), ch = std::min(l.height, h - top);
    for (int32_t y = 0; y < ch; ++y) {
        const uint32_t* src = px + static_cast<size_t>(y) * l.width;
        uint32_t* dst = g_web.rgba.data() + static_cast<size_t>(top + y) * w + left;
        for (int32_t x = 0; x < cw; ++x) dst[x] = to_rgba(src[x]);
    }
}

EM_BOOL animation_frame(double, void*) {
    disp_present();
    return !disp_window_closed();
}

}  // namespace

void disp_present() {
    if (g_web.presenting || disp_window_closed()) return;
    g_web.presenting = true;
    PresentDecision d = disp_present_choose();
    if (d.slot >= 0 && disp_hooks.frame_shown) disp_hooks.frame_shown(disp_slots[d.slot], d.draw && d.upload);
    if (!d.draw) {
        g_web.presenting = false;
        return;
    }
    const FrameSlot& slot = disp_slots[d.slot];
    const int32_t w = slot.width, h = slot.height;
    disp_presenter.window_reshaped = false;

    // Full-screen request: the page enters or leaves the browser's full screen and sizes the
    // canvas for the presentation.
    ScreenModeState sm = disp_screen_state();
    if (sm.requested != -1) {
        ScreenModeState now = sm;
        now.mode = sm.requested;
        now.requested = -1;
        disp_set_screen_state(now);
        sm = now;
    }
    // The mouse gets page pixels from the page: the placement is one to one.
    Placement p;
    p.width = w;
    p.height = h;
    disp_publish_placement(p, w, h);

    const bool paused = (frame_run.suspended.load() & 1) != 0;
    if (static_cast<int32_t>(g_web.rgba.size()) != w * h) g_web.rgba.assign(static_cast<size_t>(w) * h, 0);
    if (d.upload || g_web.width != w || g_web.height != h) {
        for (size_t i = 0, n = g_web.rgba.size(); i < n; ++i) g_web.rgba[i] = to_rgba(slot.pixels[i]);
        g_web.width = w;
        g_web.height = h;
        disp_stats.uploads.fetch_add(1, std::memory_order_relaxed);
    }
    const bool dialog_was = disp_presenter.dialog_drawn;
    draw_dialog(w, h);
    // A box drawn over the picture is taken away again with the next one without it.
    if (dialog_was && !disp_presenter.dialog_drawn && !d.upload)
        for (size_t i = 0, n = g_web.rgba.size(); i < n; ++i) g_web.rgba[i] = to_rgba(slot.pixels[i]);
    disp_stats.draws.fetch_add(1, std::memory_order_relaxed);

    // While paused the page keeps its last picture (a box is still shown).
    if (!paused || disp_presenter.dialog_drawn)
        EM_ASM({ kavaroPage.show($0, $1, $2, $3, $4, $5); }, g_web.rgba.data(), w, h, sm.mode, sm.smooth ? 1 : 0,
               slot.graphics_flips);
    g_web.presenting = false;
}

void disp_register_callbacks() { emscripten_request_animation_frame_loop(animation_frame, nullptr); }

// The page left the browser's full screen by itself (a long Escape, the browser's own key):
// the window again.
extern "C" EMSCRIPTEN_KEEPALIVE void disp_web_full_screen_left() {
    ScreenModeState s = disp_screen_state();
    if (s.mode == 0 && s.requested == -1) return;
    s.mode = 0;
    s.requested = -1;
    s.smooth = false;
    disp_set_screen_state(s);
    disp_book.force_build.store(1);
}

// The page's Full screen button: with the page's proportions, or back to the window.
extern "C" EMSCRIPTEN_KEEPALIVE void disp_web_full_screen_button() {
    ScreenModeState s = disp_screen_state();
    s.requested = s.mode == 0 ? 2 : 0;
    s.smooth = false;
    disp_set_screen_state(s);
    disp_book.force_build.store(1);
}

// The tab is closed or reloaded: the window's close button.
extern "C" EMSCRIPTEN_KEEPALIVE void disp_web_close() { disp_close_window(); }
