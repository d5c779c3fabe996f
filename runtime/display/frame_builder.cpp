// The frame builder: converts the display page into a 32-bit frame in one of three slots.
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

#include "runtime/core/platform.h"
#include "runtime/core/run_state.h"
#include "runtime/display/display.h"
#include "runtime/gfx/image.h"
#include "runtime/gfx/text_output.h"

FrameSlot disp_slots[3];
FrameBook disp_book;
DispStats disp_stats;

namespace {

enum PageKind : int32_t { KIND_NONE = 0, KIND_RGB32 = 1, KIND_PALETTED = 2, KIND_TEXT = 3 };

// What the builder keeps of a page: enough to compare it and to convert it after the page
// has been handed back.
struct PageCopy {
    int32_t kind = KIND_NONE;
    int32_t page_w = 0, page_h = 0;    // pixels, or cells for text pages
    int32_t frame_w = 0, frame_h = 0;
    int32_t font = 0, cell_w = 0, cell_h = 0;
    int32_t palette_n = 0;
    uint32_t palette[256] = {};
    std::vector<uint8_t> bytes;
    int32_t cursor_row = 0, cursor_col = 0, cursor_visible = 0, cursor_start = 0, cursor_end = 0;
    int32_t blink_phase = 0, cursor_phase = 0;
};

struct Builder {
    PageCopy saved;     // the page as last built
    PageCopy previous;  // the page as built before that (text cells to redraw)
    bool prev_frame_valid = false;
    uint64_t last_built_order = 0;
};
Builder g_builder;

void cell_size(int32_t font, int32_t& w, int32_t& h) {
    switch (font) {
        case 8: w = 8; h = 8; break;
        case 9: w = 16; h = 8; break;
        case 14: w = 8; h = 14; break;
        case 15: w = 16; h = 14; break;
        case 17: w = 16; h = 16; break;
        default: w = 8; h = 16; break;
    }
}

// Reads the page's description; false when it cannot be shown.
bool describe(const ImageSurface* page, PageCopy& d) {
    if (!page || !page->pixels || page->width == 0 || page->height == 0) return false;
    d.page_w = page->width;
    d.page_h = page->height;
    d.font = page->font;
    d.cursor_row = d.cursor_col = d.cursor_visible = d.cursor_start = d.cursor_end = 0;
    d.blink_phase = d.cursor_phase = 0;
    if (page->is_text) {
        d.kind = KIND_TEXT;
        cell_size(page->font, d.cell_w, d.cell_h);
        d.frame_w = d.page_w * d.cell_w;
        d.frame_h = d.page_h * d.cell_h;
        d.palette_n = page->palette ? 256 : 0;
        d.cursor_row = page->cursor_row;
        d.cursor_col = page->cursor_column;
        d.cursor_visible = page->cursor_visible;
        d.cursor_start = page->cursor_start_line;
        d.cursor_end = page->cursor_end_line;
        int32_t phase = (frame_run.frame_counter.load(std::memory_order_relaxed) >> 3) & 1;
        d.blink_phase = phase;
        d.cursor_phase = phase;
    } else if (page->bytes_per_pixel == 4) {
        d.kind = KIND_RGB32;
        d.frame_w = d.page_w;
        d.frame_h = d.page_h;
        d.palette_n = 0;
    } else {
        if (!page->palette) return false;
        d.kind = KIND_PALETTED;
        d.frame_w = d.page_w;
        d.frame_h = d.page_h;
        int32_t bits = page->bits_per_pixel;
        d.palette_n = bits >= 1 && bits <= 8 ? 1 << bits : 256;
    }
    return true;
}

size_t content_size(const PageCopy& d) {
    size_t per = d.kind == KIND_TEXT ? 2 : d.kind == KIND_RGB32 ? 4 : 1;
    return static_cast<size_t>(d.page_w) * d.page_h * per;
}

bool same_content(const PageCopy& a, const PageCopy& b, const ImageSurface* page) {
    if (a.kind != b.kind || a.page_w != b.page_w || a.page_h != b.page_h || a.font != b.font ||
        a.palette_n != b.palette_n)
        return false;
    if (a.kind == KIND_TEXT &&
        (a.cursor_row != b.cursor_row || a.cursor_col != b.cursor_col ||
         a.cursor_visible != b.cursor_visible || a.cursor_start != b.cursor_start ||
         a.cursor_end != b.cursor_end || a.blink_phase != b.blink_phase ||
         a.cursor_phase != b.cursor_phase))
        return false;
    if (a.palette_n && std::memcmp(a.palette, page->palette, a.palette_n * sizeof(uint32_t)) != 0)
        return false;
    return a.bytes.size() == content_size(b) &&
           std::memcmp(a.bytes.data(), page->pixels, a.bytes.size()) == 0;
}

void take_copy(PageCopy& dst, const PageCopy& desc, const ImageSurface* page) {
    dst.kind = desc.kind;
    dst.page_w = desc.page_w;
    dst.page_h = desc.page_h;
    dst.frame_w = desc.frame_w;
    dst.frame_h = desc.frame_h;
    dst.font = desc.font;
    dst.cell_w = desc.cell_w;
    dst.cell_h = desc.cell_h;
    dst.palette_n = desc.palette_n;
    dst.cursor_row = desc.cursor_row;
    dst.cursor_col = desc.cursor_col;
    dst.cursor_visible = desc.cursor_visible;
    dst.cursor_start = desc.cursor_start;
    dst.cursor_end = desc.cursor_end;
    dst.blink_phase = desc.blink_phase;
    dst.cursor_phase = desc.cursor_phase;
    if (desc.palette_n) std::memcpy(dst.palette, page->palette, desc.palette_n * sizeof(uint32_t));
    size_t n = content_size(desc);
    dst.bytes.resize(n);
    std::memcpy(dst.bytes.data(), page->pixels, n);
}

int32_t claim_slot() {
    for (;;) {
        int32_t st[3];
        uint64_t od[3];
        for (int i = 0; i < 3; ++i) {
            st[i] = disp_slots[i].state.load(std::memory_order_acquire);
            od[i] = disp_slots[i].order.load(std::memory_order_relaxed);
        }
        int32_t pick = disp_pick_build_slot(st, od);
        if (pick < 0) return -1;
        int32_t expected = st[pick];
        if (disp_slots[pick].state.compare_exchange_strong(expected, SLOT_BUILDING,
                                                           std::memory_order_acq_rel))
            return pick;
    }
}

bool ensure_capacity(FrameSlot& slot, int32_t w, int32_t h) {
    int64_t need = static_cast<int64_t>(w) * h * 4;
    if (need > 0x7FFFFFFF) return false;
    if (slot.capacity < need) {
        std::free(slot.pixels);
        slot.pixels = static_cast<uint32_t*>(std::malloc(static_cast<size_t>(need)));
        slot.capacity = slot.pixels ? static_cast<int32_t>(need) : 0;
        if (!slot.pixels) return false;
    }
    slot.width = w;
    slot.height = h;
    return true;
}

uint64_t confirmation(uint64_t order, uint32_t flips) {
    return (order << 24) | (flips < 0xFFFFFF ? flips : 0xFFFFFF);
}

// The recorder writes the page's own indices and palette, not the converted colours.
void keep_indices(FrameSlot& slot, const PageCopy& c) {
    slot.palette_n = 0;
    if (c.kind != KIND_PALETTED || !disp_hooks.keep_indices || !disp_hooks.keep_indices()) return;
    int64_t need = static_cast<int64_t>(c.bytes.size());
    if (slot.index_capacity < need) {
        std::free(slot.indices);
        slot.indices = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(need)));
        slot.index_capacity = slot.indices ? static_cast<int32_t>(need) : 0;
        if (!slot.indices) return;
    }
    std::memcpy(slot.indices, c.bytes.data(), c.bytes.size());
    std::memcpy(slot.palette, c.palette, sizeof slot.palette);
    slot.palette_n = c.palette_n;
}

void convert_paletted(const PageCopy& c, uint32_t* out) {
    size_t n = content_size(c);
    uint32_t pal[256];
    std::memcpy(pal, c.palette, sizeof pal);
    const uint8_t* src = c.bytes.data();
    for (size_t i = 0; i < n; ++i) out[i] = pal[src[i]];
}

// One text cell from the font bitmap, with blinking and the cursor.
void draw_cell(const PageCopy& c, uint32_t* out, int32_t col, int32_t row) {
    size_t cell = (static_cast<size_t>(row) * c.page_w + col) * 2;
    uint8_t ch = c.bytes[cell];
    uint8_t attr = c.bytes[cell + 1];
    int32_t fg = attr & 15, bg = (attr >> 4) & 7;
    if ((attr & 128) && c.blink_phase) fg = bg;
    uint32_t fgc = c.palette[fg], bgc = c.palette[bg];
    const uint8_t* glyph;
    int32_t glyph_rows = 16, first_row = 0;
    if (c.font == 8 || c.font == 9) {
        glyph = txt_font_8x8 + ch * 64;
        glyph_rows = 8;
    } else {
        glyph = txt_font_8x16 + ch * 128;
        if (c.font == 14 || c.font == 15) first_row = 1;
    }
    bool wide = c.cell_w == 16;
    bool cursor_here = c.cursor_visible && !c.cursor_phase && row + 1 == c.cursor_row &&
                       col + 1 == c.cursor_col;
    uint32_t* base = out + static_cast<size_t>(row) * c.cell_h * c.frame_w +
                     static_cast<size_t>(col) * c.cell_w;
    for (int32_t y = 0; y < c.cell_h; ++y) {
        uint32_t* dst = base + static_cast<size_t>(y) * c.frame_w;
        bool cursor_line = false;
        if (cursor_here) {
            int32_t s = c.cursor_start, e = c.cursor_end;
            cursor_line = s <= e ? (y >= s && y <= e) : (y >= s || y <= e);
        }
        int32_t gy = y + first_row;
        const uint8_t* src = gy < glyph_rows ? glyph + gy * 8 : nullptr;
        for (int32_t x = 0; x < c.cell_w; ++x) {
            bool on = cursor_line || (src && src[wide ? x / 2 : x]);
            dst[x] = on ? fgc : bgc;
        }
    }
}

// The newest frame in a ready or shown slot other than `self`, of the given size.
const FrameSlot* newest_frame(int32_t self, int32_t w, int32_t h) {
    const FrameSlot* best = nullptr;
    uint64_t best_order = 0;
    for (int32_t i = 0; i < 3; ++i) {
        if (i == self) continue;
        int32_t s = disp_slots[i].state.load(std::memory_order_acquire);
        if (s != SLOT_READY && s != SLOT_SHOWN) continue;
        uint64_t o = disp_slots[i].order.load(std::memory_order_relaxed);
        if (!best || o > best_order) {
            best = &disp_slots[i];
            best_order = o;
        }
    }
    if (best && (best->width != w || best->height != h)) return nullptr;
    return best;
}

void convert_text(const PageCopy& c, const PageCopy& prev, bool partial, int32_t self,
                  uint32_t* out) {
    if (partial) {
        const FrameSlot* base = newest_frame(self, c.frame_w, c.frame_h);
        if (!base) {
            frame_message_box("Alert",
                              "Text Screen Update: Failed to locate previous frame's data for "
                              "comparison",
                              FRAME_BOX_OK, 0);
            partial = false;
        } else {
            std::memcpy(out, base->pixels, static_cast<size_t>(c.frame_w) * c.frame_h * 4);
        }
    }
    bool blink_changed = c.blink_phase != prev.blink_phase;
    for (int32_t row = 0; row < c.page_h; ++row)
        for (int32_t col = 0; col < c.page_w; ++col) {
            if (partial) {
                size_t i = (static_cast<size_t>(row) * c.page_w + col) * 2;
                bool redraw = c.bytes[i] != prev.bytes[i] || c.bytes[i + 1] != prev.bytes[i + 1] ||
                              (blink_changed && (c.bytes[i + 1] & 128)) ||
                              (row + 1 == c.cursor_row && col + 1 == c.cursor_col) ||
                              (row + 1 == prev.cursor_row && col + 1 == prev.cursor_col);
                if (!redraw) continue;
            }
            draw_cell(c, out, col, row);
        }
}

void build(const ImageSurface* given, bool handover) {
    int32_t s = claim_slot();
    if (s < 0) {
        frame_message_box("Alert", "Software frame buffer: Failed to find available frame",
                          FRAME_BOX_OK, 0);
        return;
    }
    FrameSlot& slot = disp_slots[s];
    uint64_t order = disp_book.next_order.fetch_add(1, std::memory_order_relaxed);
    slot.order.store(order, std::memory_order_relaxed);

    Builder& b = g_builder;
    const ImageSurface* page = handover ? gfx_display_acquire() : given;
    // Read while the page is held: the count of this page or one less.
    uint32_t flips = gfx_display.graphics_flips.load(std::memory_order_seq_cst);
    PageCopy desc;
    if (!describe(page, desc)) {
        if (handover) gfx_display_release();
        slot.state.store(SLOT_FREE, std::memory_order_release);
        return;
    }
    bool forced = disp_book.force_build.exchange(0) != 0;
    if (!forced && b.prev_frame_valid && desc.frame_w == b.saved.frame_w &&
        desc.frame_h == b.saved.frame_h && same_content(b.saved, desc, page)) {
        if (handover) gfx_display_release();
        slot.state.store(SLOT_FREE, std::memory_order_release);
        // The shown frame stays right: nothing new for the presenter to draw either.
        disp_stats.skipped.fetch_add(1, std::memory_order_relaxed);
        if (b.last_built_order)
            disp_book.confirmed.store(confirmation(b.last_built_order, flips),
                                      std::memory_order_release);
        return;
    }
    std::swap(b.saved, b.previous);
    take_copy(b.saved, desc, page);
    if (handover) gfx_display_release();

    const PageCopy& c = b.saved;
    if (!ensure_capacity(slot, c.frame_w, c.frame_h)) {
        b.prev_frame_valid = false;
        slot.state.store(SLOT_FREE, std::memory_order_release);
        return;
    }
    slot.graphics_flips = flips;
    keep_indices(slot, c);
    if (c.kind == KIND_RGB32) {
        std::memcpy(slot.pixels, c.bytes.data(), c.bytes.size());
    } else if (c.kind == KIND_PALETTED) {
        convert_paletted(c, slot.pixels);
    } else {
        const PageCopy& p = b.previous;
        bool partial = !forced && b.prev_frame_valid && p.kind == KIND_TEXT &&
                       p.page_w == c.page_w && p.page_h == c.page_h && p.font == c.font &&
                       p.palette_n == c.palette_n &&
                       std::memcmp(p.palette, c.palette, sizeof c.palette) == 0;
        convert_text(c, p, partial, s, slot.pixels);
    }
    slot.state.store(SLOT_READY, std::memory_order_release);
    b.prev_frame_valid = true;
    disp_book.latest_order.store(order, std::memory_order_release);
    b.last_built_order = order;
    disp_book.confirmed.store(confirmation(order, flips), std::memory_order_release);
    disp_stats.builds.fetch_add(1, std::memory_order_relaxed);
}

// A screen-mode change asks the builder to stand still: acknowledge and yield.
bool acknowledge_pause() {
    int32_t expected = 1;
    if (gfx_pause_word.compare_exchange_strong(expected, 2)) {
        frame_sleep_ms(0);
        return true;
    }
    return expected != 0;
}

}  // namespace

void disp_build_frame() {
    if (!acknowledge_pause()) build(nullptr, true);
    acknowledge_pause();
    int32_t manual_once = -1;
    frame_run.auto_display.compare_exchange_strong(manual_once, 0);
}

void disp_build_frame_from(const ImageSurface* page) { build(page, false); }

void disp_reset_frames() {
    for (auto& slot : disp_slots) {
        slot.state.store(SLOT_FREE);
        slot.order.store(0);
    }
    disp_book.next_order.store(1);
    disp_book.latest_order.store(0);
    disp_book.presented_order.store(0);
    disp_book.force_build.store(0);
    disp_book.confirmed.store(0);
    g_builder.prev_frame_valid = false;
    g_builder.last_built_order = 0;
    g_builder.saved = PageCopy();
    g_builder.previous = PageCopy();
}
