// The message box: drawn by the presenter inside the window, answered with keys or clicks.
//
// The asking thread (program or housekeeping) posts the request and polls for the answer every
// 10 ms; the main thread shows it over the current frame and answers it. One request at a time.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "runtime/core/platform.h"
#include "runtime/display/display.h"
#include "runtime/gfx/text_output.h"

namespace {

enum : int32_t { PHASE_IDLE = 0, PHASE_FILLING = 1, PHASE_POSTED = 2, PHASE_ANSWERED = 3 };

struct DialogRequest {
    std::atomic<int32_t> phase{PHASE_IDLE};
    // Written by the asking thread before PHASE_POSTED, read by the main thread after it.
    std::string caption, text;
    int32_t kind = FRAME_BOX_OK;
    uint64_t serial = 0;
    // Written by the main thread before PHASE_ANSWERED.
    std::atomic<int32_t> answer{1};
};
DialogRequest g_request;

// Main thread: the picture of the posted request.
struct DialogView {
    uint64_t serial = 0;
    DialogLayout layout;
    std::vector<uint32_t> pixels;
    int32_t left = 0, top = 0;
    int32_t scale = 1;  // drawn that many times larger, as the page is
};
DialogView g_view;

constexpr int32_t kPad = 8, kCaptionH = 20, kLineH = 16, kButtonW = 64, kButtonH = 24,
                  kButtonGap = 16, kWrap = 76, kMinWidth = 200;
constexpr uint32_t kBorder = 0xFF000000, kCaptionBg = 0xFF0000AA, kCaptionFg = 0xFFFFFFFF,
                   kBodyBg = 0xFFC0C0C0, kBodyFg = 0xFF000000, kButtonBg = 0xFFE0E0E0;

std::vector<std::string> split_lines(const char* text) {
    std::vector<std::string> lines;
    std::string cur;
    for (const char* p = text ? text : ""; ; ++p) {
        if (*p == '\n' || *p == '\0') {
            while (cur.size() > static_cast<size_t>(kWrap)) {
                lines.push_back(cur.substr(0, kWrap));
                cur.erase(0, kWrap);
            }
            lines.push_back(cur);
            cur.clear();
            if (*p == '\0') break;
        } else if (*p != '\r') {
            cur += *p;
        }
    }
    return lines;
}

void fill(uint32_t* px, int32_t stride, int32_t x, int32_t y, int32_t w, int32_t h, uint32_t c) {
    for (int32_t j = y; j < y + h; ++j)
        for (int32_t i = x; i < x + w; ++i) px[static_cast<size_t>(j) * stride + i] = c;
}

void outline_rect(uint32_t* px, int32_t stride, int32_t x, int32_t y, int32_t w, int32_t h,
                uint32_t c) {
    fill(px, stride, x, y, w, 1, c);
    fill(px, stride, x, y + h - 1, w, 1, c);
    fill(px, stride, x, y, 1, h, c);
    fill(px, stride, x + w - 1, y, 1, h, c);
}

// Text in the built-in 8x16 font, clipped to max_x.
void text_at(uint32_t* px, int32_t stride, int32_t x, int32_t y, const std::string& s,
             uint32_t c, int32_t max_x) {
    for (size_t n = 0; n < s.size(); ++n) {
        int32_t gx = x + static_cast<int32_t>(n) * 8;
        if (gx + 8 > max_x) break;
        const uint8_t* g = txt_font_8x16_bits + static_cast<uint8_t>(s[n]) * 16;
        for (int32_t r = 0; r < 16; ++r)
            for (int32_t b = 0; b < 8; ++b)
                if (g[r] & (0x80 >> b)) px[static_cast<size_t>(y + r) * stride + gx + b] = c;
    }
}

}  // namespace

DialogLayout disp_dialog_layout(const char* caption, const char* text, int32_t kind) {
    DialogLayout l;
    std::vector<std::string> lines = split_lines(text);
    size_t widest = std::strlen(caption ? caption : "");
    for (const auto& s : lines) widest = std::max(widest, s.size());
    l.line_count = static_cast<int32_t>(lines.size());
    l.buttons = kind == FRAME_BOX_YES_NO ? 2 : 1;
    int32_t buttons_w = l.buttons * kButtonW + (l.buttons - 1) * kButtonGap;
    l.width = std::max({kMinWidth, static_cast<int32_t>(std::min<size_t>(widest, kWrap)) * 8 + 2 * kPad,
                        buttons_w + 2 * kPad});
    l.button_y = kCaptionH + kPad + l.line_count * kLineH + kPad;
    l.height = l.button_y + kButtonH + kPad;
    l.button_w = kButtonW;
    l.button_h = kButtonH;
    int32_t x = (l.width - buttons_w) / 2;
    for (int32_t i = 0; i < l.buttons; ++i) l.button_x[i] = x + i * (kButtonW + kButtonGap);
    return l;
}

void disp_dialog_render(const DialogLayout& l, const char* caption, const char* text,
                        int32_t kind, uint32_t* px) {
    const int32_t w = l.width;
    fill(px, w, 0, 0, w, l.height, kBodyBg);
    fill(px, w, 0, 0, w, kCaptionH, kCaptionBg);
    text_at(px, w, kPad, 2, caption ? caption : "", kCaptionFg, w - kPad);
    std::vector<std::string> lines = split_lines(text);
    for (size_t i = 0; i < lines.size(); ++i)
        text_at(px, w, kPad, kCaptionH + kPad + static_cast<int32_t>(i) * kLineH, lines[i], kBodyFg,
                w - kPad);
    const char* labels[2] = {kind == FRAME_BOX_YES_NO ? "Yes" : "OK", "No"};
    for (int32_t i = 0; i < l.buttons; ++i) {
        fill(px, w, l.button_x[i], l.button_y, l.button_w, l.button_h, kButtonBg);
        outline_rect(px, w, l.button_x[i], l.button_y, l.button_w, l.button_h, kBorder);
        std::string label = labels[i];
        int32_t tx = l.button_x[i] + (l.button_w - static_cast<int32_t>(label.size()) * 8) / 2;
        text_at(px, w, tx, l.button_y + (l.button_h - 16) / 2, label, kBodyFg,
                l.button_x[i] + l.button_w);
    }
    outline_rect(px, w, 0, 0, w, l.height, kBorder);
}

int32_t disp_dialog_hit(const DialogLayout& l, int32_t x, int32_t y) {
    if (y < l.button_y || y >= l.button_y + l.button_h) return -1;
    for (int32_t i = 0; i < l.buttons; ++i)
        if (x >= l.button_x[i] && x < l.button_x[i] + l.button_w) return i == 0 ? 1 : 0;
    return -1;
}

// ---- Main thread ----

bool disp_dialog_open() { return g_request.phase.load(std::memory_order_acquire) == PHASE_POSTED; }

namespace {
void answer(int32_t a) {
    if (g_request.phase.load(std::memory_order_acquire) != PHASE_POSTED) return;
    g_request.answer.store(a, std::memory_order_relaxed);
    int32_t posted = PHASE_POSTED;
    g_request.phase.compare_exchange_strong(posted, PHASE_ANSWERED, std::memory_order_acq_rel);
}
}  // namespace

void disp_dialog_key(int32_t ch) {
    if (!disp_dialog_open()) return;
    bool ok_box = g_request.kind != FRAME_BOX_YES_NO;
    if (ch == 'y' || ch == 'Y' || ch == 13)
        answer(1);
    else if (ch == 'n' || ch == 'N' || ch == 27)
        answer(ok_box ? 1 : 0);
}

void disp_dialog_click(int32_t x, int32_t y) {
    if (!disp_dialog_open() || g_view.serial != g_request.serial) return;
    if (x < g_view.left || y < g_view.top) return;
    int32_t s = g_view.scale > 0 ? g_view.scale : 1;
    int32_t hit = disp_dialog_hit(g_view.layout, (x - g_view.left) / s, (y - g_view.top) / s);
    if (hit >= 0) answer(hit);
}

void disp_dialog_window_closed() { answer(1); }

const uint32_t* disp_dialog_picture(DialogLayout* layout, uint64_t* serial) {
    if (!disp_dialog_open()) return nullptr;
    if (g_view.serial != g_request.serial || g_view.pixels.empty()) {
        g_view.layout = disp_dialog_layout(g_request.caption.c_str(), g_request.text.c_str(),
                                           g_request.kind);
        g_view.pixels.assign(static_cast<size_t>(g_view.layout.width) * g_view.layout.height, 0);
        disp_dialog_render(g_view.layout, g_request.caption.c_str(), g_request.text.c_str(),
                           g_request.kind, g_view.pixels.data());
        g_view.serial = g_request.serial;
    }
    if (layout) *layout = g_view.layout;
    if (serial) *serial = g_view.serial;
    return g_view.pixels.data();
}

void disp_dialog_place(int32_t left, int32_t top, int32_t scale) {
    g_view.left = left;
    g_view.top = top;
    g_view.scale = scale;
}

// ---- Asking threads ----

namespace {
std::atomic<int32_t> g_window_expected{0};
std::atomic<uint64_t> g_serials{0};
}  // namespace

void disp_set_window_expected(int32_t expected) { g_window_expected.store(expected); }

int32_t disp_message_box(const char* caption, const char* text, int32_t kind, int32_t) {
    auto no_window = [] {
        return disp_window_closed() || (!disp_window_exists() && !g_window_expected.load());
    };
    // The main thread draws the box, so it cannot wait for it. A box with only OK (the fatal
    // ones) before the window exists is told on standard error alone.
    if (no_window() || disp_on_main_thread()) return 1;
    if (kind == FRAME_BOX_OK && !disp_window_exists()) return 1;
    for (;;) {
        int32_t idle = PHASE_IDLE;
        if (g_request.phase.compare_exchange_strong(idle, PHASE_FILLING, std::memory_order_acquire))
            break;
        if (no_window()) return 1;
        frame_sleep_ms(10);
    }
    g_request.caption = caption ? caption : "";
    g_request.text = text ? text : "";
    g_request.kind = kind;
    g_request.serial = g_serials.fetch_add(1) + 1;
    g_request.phase.store(PHASE_POSTED, std::memory_order_release);
    int32_t a = 1;
    for (;;) {
        frame_sleep_ms(10);
        if (g_request.phase.load(std::memory_order_acquire) == PHASE_ANSWERED) {
            a = g_request.answer.load(std::memory_order_relaxed);
            break;
        }
        // The window went away before anyone answered: take OK/Yes.
        int32_t posted = PHASE_POSTED;
        if (disp_window_closed() &&
            g_request.phase.compare_exchange_strong(posted, PHASE_FILLING, std::memory_order_acq_rel))
            break;
    }
    g_request.phase.store(PHASE_IDLE, std::memory_order_release);
    return a;
}
