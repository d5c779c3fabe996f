// The page's keys and mouse: the browser's events, read by the page's script (web/page.js),
// handed to the same input operations as the desktop's key source and mouse callbacks.
//
// A key arrives as the physical key (from the event's `code`), the symbol of that key without
// modifiers for the keys known by name, and the character the user's layout typed (the event's
// `key`), both as the X11 key symbols that the desktop's key source gives the same choice; the
// lock states come with every event. Mouse coordinates arrive as page pixels.
#include <emscripten.h>

#include "runtime/display/display.h"
#include "runtime/input/input.h"

namespace {

enum : int32_t { kCtrl = 1, kLevel3 = 2, kCaps = 4, kNum = 8, kScroll = 16 };

}  // namespace

// The browser keeps the lock toggles and says them with every event: nothing to ask at start.
void input_initial_lock_state() { input_refresh_status(); }
void input_sync_lock_keys() {}

void input_register_callbacks() {
    EM_ASM({ kavaroPage.listen(); });
}

// Main thread: a key pressed (down 1) or released (down 0).
extern "C" EMSCRIPTEN_KEEPALIVE void input_web_key(int32_t down, int32_t key, uint32_t base_sym,
                                                  uint32_t typed_sym, int32_t state) {
    input_align_locks((state & kScroll) != 0, (state & kCaps) != 0, (state & kNum) != 0);
    const int32_t code = input_physical_code(base_sym, typed_sym, (state & kCtrl) != 0);
    input_physical_key(key, code, down != 0, (state & kLevel3) != 0);
}

// Main thread: the page lost the keyboard; every key held is let go.
extern "C" EMSCRIPTEN_KEEPALIVE void input_web_keys_lost() { input_physical_keys_up(nullptr); }

// Main thread: a mouse event in page pixels (kind as input_mouse_event; buttons 0 left,
// 1 middle, 2 right; the wheel's direction in `button`).
extern "C" EMSCRIPTEN_KEEPALIVE void input_web_mouse(int32_t kind, int32_t button, int32_t x, int32_t y) {
    if (disp_dialog_open() && kind != INPUT_MOUSE_MOTION) {
        // A box takes the clicks on its buttons; a release still lets go of a button held before.
        if (kind == INPUT_MOUSE_DOWN && button == 0) disp_dialog_click(x, y);
        if (kind != INPUT_MOUSE_UP) return;
    }
    input_mouse_event(kind, button, x, y);
}
