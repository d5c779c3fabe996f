// Hands the display page from the program thread to the frame builder without locks.
//
// Dekker-style: the builder announces itself (busy = 1) before it loads the page pointer; the
// program thread stores the new pointer before it looks at busy. With sequentially consistent
// order, either the builder sees the new pointer or the program thread sees busy and waits for
// the release, which also orders the builder's reads before the program's later writes.
#include "runtime/core/platform.h"
#include "runtime/gfx/image.h"

DisplayHandover gfx_display;

const ImageSurface* gfx_display_acquire() {
    gfx_display.busy.store(1, std::memory_order_seq_cst);
    // The program is drawing on the shown page: no copy this time.
    if (gfx_display.writing.load(std::memory_order_seq_cst) != 0) return nullptr;
    return gfx_display.page.load(std::memory_order_seq_cst);
}

void gfx_display_release() { gfx_display.busy.store(0, std::memory_order_release); }

void gfx_display_publish(ImageSurface* page) {
    if (gfx_display.page.load(std::memory_order_relaxed) == page) return;
    gfx_display.page.store(page, std::memory_order_seq_cst);
    while (gfx_display.busy.load(std::memory_order_seq_cst) != 0) frame_sleep_ms(0);
}

GfxDisplayWrite::GfxDisplayWrite()
    : on(gfx_images.write_page != nullptr &&
         gfx_images.write_page == gfx_display.page.load(std::memory_order_relaxed)) {
    if (on) gfx_display_write_begin();
}

void gfx_display_write_begin() {
    if (gfx_display.write_depth++ > 0) return;
    for (;;) {
        gfx_display.writing.store(1, std::memory_order_seq_cst);
        if (gfx_display.busy.load(std::memory_order_seq_cst) == 0) return;
        gfx_display.writing.store(0, std::memory_order_seq_cst);
        while (gfx_display.busy.load(std::memory_order_seq_cst) != 0) frame_sleep_ms(0);
    }
}

void gfx_display_write_end() {
    if (--gfx_display.write_depth > 0) return;
    gfx_display.writing.store(0, std::memory_order_release);
}
