#include "runtime/core/error.h"
#include "runtime/core/platform.h"
#include "runtime/core/run_state.h"
#include "runtime/files/files.h"
#include "runtime/frame/startup.h"
#include "runtime/gfx/image.h"
#include "runtime/gfx/text_output.h"
#include "runtime/input/input.h"
#include "runtime/text/string_value.h"

namespace {
// Reads one key; true when a key was there.
bool read_key() {
    StringValue* k = input_inkey();
    bool got = k->length > 0;
    sv_free(k);
    return got;
}
}  // namespace

void frame_end() {
    if (frame_run.in_gl_scope.load()) frame_raise(271);
    file_close_all();
    frame_run.close_query_active.store(0);
    // The prompt goes on the last text row of the page the user sees.
    ImageTable& t = gfx_images;
    if (t.display_page) {
        t.write_handle = t.display_handle;
        t.write_page = t.display_page;
        ImageSurface* p = t.write_page;
        GfxDisplayWrite guard;
        int rows = p->is_text ? p->height : p->height / (p->font ? gfx_font_metrics[p->font].height : 16);
        if (rows < 1) rows = 1;
        p->print_top = static_cast<uint16_t>(rows);
        p->print_bottom = static_cast<uint16_t>(rows);
        p->cursor_row = static_cast<uint16_t>(rows);
        txt_print(sv_new_text(""), 1);
        txt_print(sv_new_text("Press any key to continue"), 0);
    }
    while (read_key()) frame_sleep_ms(0);
    frame_run.auto_display.store(1);
    for (;;) {
        frame_sleep_ms(100);
        if (frame_run.exit_now.load()) frame_stop_program_thread();
        if (read_key()) break;
    }
    frame_run.quit_requested.store(1);
    frame_stop_program_thread();
}
