#include "display_support.h"

#include <cstring>

#include "runtime/display/display.h"
#include "runtime/display/input.h"
#include "runtime/frame/error.h"
#include "runtime/frame/run_state.h"
#include "runtime/gfx/image.h"
#include "runtime/text/string_value.h"

void DisplayTest::SetUp() {
    frame_error = ErrorState{};
    frame_run_reset();
    std::memset(frame_low_memory.bytes, 0, sizeof frame_low_memory.bytes);
    sv_init();
    gfx_init();
    gfx_init_screen();
    input_init();
    disp_reset_frames();
    disp_set_screen_state(ScreenModeState{});
    disp_publish_placement(Placement{}, 0, 0);
    gfx_pause_word.store(0);
}

void DisplayTest::TearDown() { frame_error = ErrorState{}; }

void DisplayTest::press(int32_t code) {
    input_key_event(code, 1);
    input_key_event(code, 0);
}
void DisplayTest::hold(int32_t code) { input_key_event(code, 1); }
void DisplayTest::release(int32_t code) { input_key_event(code, 0); }

std::string DisplayTest::inkey() {
    StringValue* s = input_inkey();
    std::string r;
    if (s->length > 0) r.assign(reinterpret_cast<const char*>(s->data), static_cast<size_t>(s->length));
    sv_free(s);
    return r;
}

void DisplayTest::mode12(int32_t p) { gfx_screen(12, 0, p, p ^ 1, 0, 13); }

std::string ext(int scan) { return std::string(1, '\0') + static_cast<char>(scan); }
