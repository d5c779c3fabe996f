// The page's Snapshot button: the picture on the screen now as a PNG of the page's colours,
// offered as a download.
#include <emscripten.h>

#include <vector>

#include "runtime/display/display.h"
#include "runtime/record/record.h"

// Main thread (the presenter's): the slot on the screen stays as it is meanwhile.
extern "C" EMSCRIPTEN_KEEPALIVE void record_web_snapshot() {
    for (const FrameSlot& slot : disp_slots) {
        if (slot.state.load(std::memory_order_acquire) != SLOT_SHOWN || !slot.indices || slot.palette_n == 0)
            continue;
        std::vector<uint8_t> png;
        if (record_png_encode(slot.indices, slot.width, slot.height, slot.palette, slot.palette_n, png))
            EM_ASM({ kavaroPage.offerBytes($0, $1, 'kavaro.png', 'image/png'); }, png.data(), png.size());
        return;
    }
}
