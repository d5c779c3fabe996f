#include "runtime/frame/restart.h"

#include "runtime/core/array.h"
#include "runtime/core/error.h"
#include "runtime/core/platform.h"
#include "runtime/files/files.h"
#include "runtime/gfx/image.h"
#include "runtime/text/random_timer.h"
#include "runtime/text/string_array.h"
#include "runtime/text/string_value.h"

namespace {
void (*g_module_clear)() = nullptr;
}

void frame_set_module_clear(void (*clear)()) { g_module_clear = clear; }

void frame_reset_runtime() {
    // No key traps are ever installed, so there are none to switch off.
    gfx_reset_for_restart();
    rnd_reset();
}

void frame_clear_module() {
    frame_clear_all_arrays(sv_array_empty);
    // Temporaries of the interrupted statements are dead once the routine starts again.
    sv_cleanup(1, 0);
    if (g_module_clear) g_module_clear();
    file_close_all();
    frame_error.handler_id = 0;
    frame_error.in_handler = 0;
    frame_error.handler_pending = 0;
}

void frame_restart() {
    frame_reset_runtime();
    frame_clear_module();
    throw FrameRestart{};
}
