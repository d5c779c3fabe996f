#include "display_support.h"

#include <cstring>

#include "runtime/core/error.h"
#include "runtime/core/run_state.h"
#include "runtime/display/display.h"
#include "runtime/gfx/image.h"
#include "runtime/text/string_value.h"

void DisplayTest::SetUp() {
    frame_error = ErrorState{};
    frame_run_reset();
    std::memset(frame_low_memory.bytes, 0, sizeof frame_low_memory.bytes);
    sv_init();
    gfx_init();
    gfx_init_screen();
    disp_reset_frames();
    disp_set_screen_state(ScreenModeState{});
    disp_publish_placement(Placement{}, 0, 0);
    gfx_pause_word.store(0);
}

void DisplayTest::TearDown() { frame_error = ErrorState{}; }

void DisplayTest::mode12(int32_t p) { gfx_screen(12, 0, p, p ^ 1, 0, 13); }
