// The runtime with a probe in place of the simulation: it draws a fixed mode-12 page and prints
// every key it reads from the keyboard ring (followed by the down list at that moment) and every
// pointer state it polls, one per line.
#include <cstdio>

#include "runtime/core/error.h"
#include "runtime/core/platform.h"
#include "runtime/frame/startup.h"
#include "runtime/gfx/draw.h"
#include "runtime/gfx/image.h"
#include "runtime/gfx/text_output.h"
#include "runtime/input/input.h"
#include "runtime/text/string_value.h"

namespace {

void probe_main() {
    gfx_screen(12, 0, 0, 0, 0, 13);
    for (int c = 0; c < 16; ++c) gfx_line(c * 40.0f, 300, c * 40.0f + 39, 479, c, 2, 0, 9);
    txt_locate(2, 3, 0, 0, 0, 3);
    txt_print(sv_new_text("probe"), 1);
    float last_x = -1, last_y = -1;
    int32_t last_b = -1;
    for (;;) {
        StringValue* k = input_inkey();
        if (k->length == 1) std::printf("key %d\n", k->data[0]);
        if (k->length == 2) std::printf("key 0 %d\n", k->data[1]);
        if (k->length > 0) {
            // What is held once this key was read: every key released before it is gone.
            int32_t held[64];
            int32_t n = input_down_snapshot(held, 64);
            std::printf("down");
            for (int32_t i = 0; i < n; ++i) std::printf(" %d", held[i]);
            std::printf("\n");
        }
        sv_free(k);
        while (input_mouse_poll()) {
        }
        float x = input_mouse_x(), y = input_mouse_y();
        int32_t b = (input_mouse_button(1) ? 1 : 0) | (input_mouse_button(2) ? 2 : 0);
        if (x != last_x || y != last_y || b != last_b) {
            std::printf("mouse %g %g %d\n", static_cast<double>(x), static_cast<double>(y), b);
            last_x = x;
            last_y = y;
            last_b = b;
        }
        std::fflush(stdout);
        frame_sleep_ms(5);
        FRAME_CP();
    }
}

}  // namespace

int main(int argc, char** argv) { return frame_main(argc, argv, probe_main); }
