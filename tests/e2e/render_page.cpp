// Renders what kavaro shows, without a window: runs the simulation headless in FOLDER (with its
// kavaro.dat) with the pointer at (X, Y) for some frames (12, or FRAMES) and writes the display
// page through its palette as a binary PPM, in the language KAVARO_LANG names.
//   render_page FOLDER X Y OUT.ppm [FRAMES]
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/sim_main.h"
#include "runtime/core/platform.h"
#include "runtime/frame/options.h"
#include "runtime/frame/startup.h"
#include "runtime/frame/threads.h"
#include "runtime/gfx/image.h"
#include "runtime/input/input.h"

namespace {

std::string g_out;
int g_frames = 0;
int g_last_frame = 12;
int g_status = 1;

void write_display_page() {
    const ImageSurface* p = gfx_images.display_page;
    FILE* f = std::fopen(g_out.c_str(), "wb");
    if (!f || !p || p->is_text) return;
    std::fprintf(f, "P6\n%d %d\n255\n", p->width, p->height);
    for (int i = 0; i < p->width * p->height; ++i) {
        uint32_t c = p->palette[p->pixels[i]];
        unsigned char rgb[3] = {static_cast<unsigned char>(c >> 16), static_cast<unsigned char>(c >> 8),
                                static_cast<unsigned char>(c)};
        std::fwrite(rgb, 1, 3, f);
    }
    std::fclose(f);
    g_status = 0;
}

// On the program thread, so the pages are read by their owner.
void frame_hook() {
    if (++g_frames == g_last_frame) {
        write_display_page();
        frame_system();
    }
}

void leave(int32_t) { throw FrameStopped{}; }

}  // namespace

int main(int argc, char** argv) {
    if (argc < 5 || chdir(argv[1]) != 0) return 2;
    g_out = argv[4];
    if (argc > 5) g_last_frame = std::atoi(argv[5]);
    frame_resolve_lang(frame_options, std::getenv("KAVARO_LANG"), stderr);
    frame_init_runtime();
    frame_platform.exit_process = leave;
    frame_platform.stop_leaves_thread = true;
    frame_set_program_routine(sim_main);
    sim_frame_hook = frame_hook;
    input_mouse_event(INPUT_MOUSE_MOTION, 0, std::atoi(argv[2]), std::atoi(argv[3]));
    frame_start_threads();
    frame_join_threads();
    return g_status;
}
