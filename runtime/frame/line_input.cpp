// The keyboard line input used by the prompting seed form: typed characters are echoed on the
// write page, Backspace removes the last one, Enter ends the line.
#include "runtime/frame/line_input.h"

#include "runtime/core/error.h"
#include "runtime/core/platform.h"
#include "runtime/core/run_state.h"
#include "runtime/gfx/text_output.h"
#include "runtime/input/input.h"

StringValue* frame_line_input() {
    StringValue* line = sv_new(0, 0);
    for (;;) {
        if (frame_run.exit_now.load()) frame_stop_program_thread();
        StringValue* k = input_inkey();
        if (k->length == 0) {
            sv_free(k);
            frame_sleep_ms(10);
            continue;
        }
        uint8_t c = k->length == 1 ? k->data[0] : 0;
        if (c == 13) {
            sv_free(k);
            txt_print(sv_new_text(""), 1);
            break;
        }
        if (c == 8) {
            sv_free(k);
            if (line->length > 0) {
                sv_assign(line, sv_mid(line, 1, line->length - 1, 1));
                txt_print(sv_new_text("\x1d \x1d"), 0);
            }
            continue;
        }
        if (c < 32) {
            sv_free(k);
            continue;
        }
        sv_assign(line, sv_concat(line, sv_chr(c)));
        txt_print(k, 0);
    }
    StringValue* result = sv_new(line->length, 1);
    for (int32_t i = 0; i < line->length; ++i) result->data[i] = line->data[i];
    sv_free(line);
    return result;
}
