// core, the ground of the runtime: run-time errors (here), the arena, arrays, run state, hooks.
// Run-time errors: pending error number, the error tables and their dialogs.
#pragma once
#include <cstdint>
#include <string>

#include "runtime/core/run_state.h"

struct ErrorState {
    uint32_t error_number = 0;
    int32_t error_line = 0;
    int32_t error_include_line = 0;
    const char* error_include_file = nullptr;
    int32_t handler_id = 0;
    int32_t in_handler = 0;
    int32_t handler_pending = 0;
    int32_t last_error = 0;
    double line_label = 0;
    double handler_line_label = 0;
    int32_t repeat_statement = 0;
    int32_t checkpoint_bypass = 0;
};

extern ErrorState frame_error;

// Table texts; nullptr when the number is not listed.
const char* frame_error_text(uint32_t n);          // "Unprintable error" for unlisted numbers
bool frame_is_fatal(int32_t n);
const char* frame_fatal_caption(int32_t n, char* buf, int bufsize);
const char* frame_fatal_text(int32_t n);

// Records n as the pending error (first error wins; n <= 0 becomes 5); fatal numbers end the process.
int32_t frame_raise(int32_t n);
// Message box and exit for a fatal number.
[[noreturn]] void frame_fatal(int32_t n);

// Builds the "Unhandled Error #n" / "Critical Error #n" dialog texts for the pending error.
void frame_error_dialog_texts(uint32_t n, std::string& caption, std::string& text);

int32_t frame_report_error();
int32_t frame_checkpoint(int32_t line, int32_t include_line, const char* include_file);

int32_t frame_err();   // ERR
double frame_erl();    // ERL

// The application's main routine, re-entered to run its error handler.
void frame_set_main(void (*main_routine)());
void frame_call_main();

// The floating-point-exception signal raises fatal error 11.
void frame_install_fpe_handler();

// A check-point after every statement: only a flag test unless attention is set.
#define FRAME_CP()                                                         \
    do {                                                                   \
        if (frame_run.attention.load(std::memory_order_relaxed))           \
            frame_checkpoint(__LINE__, 0, nullptr);                        \
    } while (0)
