#include "runtime/core/error.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "runtime/core/platform.h"

ErrorState frame_error;

namespace {

struct ErrorText {
    uint32_t number;
    const char* text;
};

constexpr ErrorText kErrorTable[] = {
    {1, "NEXT without FOR"},
    {2, "Syntax error"},
    {3, "RETURN without GOSUB"},
    {4, "Out of DATA"},
    {5, "Illegal function call"},
    {6, "Overflow"},
    {7, "Out of memory"},
    {8, "Label not defined"},
    {9, "Subscript out of range"},
    {10, "Duplicate definition"},
    {12, "Illegal in direct mode"},
    {13, "Type mismatch"},
    {14, "Out of string space"},
    {16, "String formula too complex"},
    {17, "Cannot continue"},
    {18, "Function not defined"},
    {19, "No RESUME"},
    {20, "RESUME without error"},
    {24, "Device timeout"},
    {25, "Device fault"},
    {26, "FOR without NEXT"},
    {27, "Out of paper"},
    {29, "WHILE without WEND"},
    {30, "WEND without WHILE"},
    {33, "Duplicate label"},
    {35, "Subprogram not defined"},
    {37, "Argument-count mismatch"},
    {38, "Array not defined"},
    {40, "Variable required"},
    {50, "FIELD overflow"},
    {51, "Internal error"},
    {52, "Bad file name or number"},
    {53, "File not found"},
    {54, "Bad file mode"},
    {55, "File already open"},
    {56, "FIELD statement active"},
    {57, "Device I/O error"},
    {58, "File already exists"},
    {59, "Bad record length"},
    {61, "Disk full"},
    {62, "Input past end of file"},
    {63, "Bad record number"},
    {64, "Bad file name"},
    {67, "Too many files"},
    {68, "Device unavailable"},
    {69, "Communication-buffer overflow"},
    {70, "Permission denied"},
    {71, "Disk not ready"},
    {72, "Disk-media error"},
    {73, "Feature unavailable"},
    {74, "Rename across disks"},
    {75, "Path/File access error"},
    {76, "Path not found"},
    {258, "Invalid handle"},
    {300, "Memory region out of range"},
    {301, "Invalid size"},
    {302, "Source memory region out of range"},
    {303, "Destination memory region out of range"},
    {304, "Source and destination memory regions out of range"},
    {305, "Source memory has been freed"},
    {306, "Destination memory has been freed"},
    {307, "Memory already freed"},
    {308, "Memory has been freed"},
    {309, "Memory not initialized"},
    {310, "Source memory not initialized"},
    {311, "Destination memory not initialized"},
    {312, "Source and destination memory not initialized"},
    {313, "Source and destination memory have been freed"},
};

void (*g_main_routine)() = nullptr;

void fpe_handler(int) { frame_raise(11); }

}  // namespace

const char* frame_error_text(uint32_t n) {
    for (const auto& e : kErrorTable)
        if (e.number == n) return e.text;
    return "Unprintable error";
}

bool frame_is_fatal(int32_t n) {
    switch (n) {
        case 11: case 256: case 257: case 259: case 260: case 261: case 262: case 263:
        case 270: case 271:
            return true;
        default:
            return n >= 502 && n <= 518;
    }
}

const char* frame_fatal_caption(int32_t n, char* buf, int bufsize) {
    if (n == 257) return "Critical Error #1";
    if (n >= 502 && n <= 518) {
        std::snprintf(buf, static_cast<size_t>(bufsize), "Critical Error #%d", n - 500);
        return buf;
    }
    return "Critical Error";
}

const char* frame_fatal_text(int32_t n) {
    switch (n) {
        case 11: return "Division by zero";
        case 256: return "Out of stack space";
        case 259: return "Cannot find dynamic library file";
        case 260: case 261: return "Sub/Function does not exist in dynamic library";
        case 262: return "Function unavailable in NIMBO";
        case 263: return "Paths/Filename illegal in NIMBO";
        case 270: return "_GL command called outside of SUB _GL's scope";
        case 271: return "END/SYSTEM called within SUB _GL's scope";
        default: return "Out of memory";  // 257, 502 … 518
    }
}

void frame_fatal(int32_t n) {
    char buf[32];
    frame_message_box(frame_fatal_caption(n, buf, sizeof buf), frame_fatal_text(n), FRAME_BOX_OK,
                      FRAME_BOX_SYSTEM_MODAL);
    frame_exit(0);
}

int32_t frame_raise(int32_t n) {
    if (frame_is_fatal(n)) frame_fatal(n);
    if (frame_error.error_number) return static_cast<int32_t>(frame_error.error_number);
    if (n <= 0) n = 5;
    frame_error.error_number = static_cast<uint32_t>(n);
    frame_run.attention.store(1, std::memory_order_relaxed);
    return n;
}

void frame_error_dialog_texts(uint32_t n, std::string& caption, std::string& text) {
    bool critical = n >= 300 && n <= 313;
    unsigned line;
    const char* where;
    if (frame_error.error_include_line != 0) {
        line = static_cast<unsigned>(frame_error.error_include_line);
        where = frame_error.error_include_file ? frame_error.error_include_file : "";
    } else {
        line = static_cast<unsigned>(frame_error.error_line);
        where = "main module";
    }
    const char* body = frame_error_text(n);
    const char* tail = critical ? "" : "\nContinue?";
    // Sized by a first formatting pass.
    int len = std::snprintf(nullptr, 0, "Line: %u (in %s)\n%s%s", line, where, body, tail);
    text.assign(static_cast<size_t>(len) + 1, '\0');
    std::snprintf(text.data(), text.size(), "Line: %u (in %s)\n%s%s", line, where, body, tail);
    text.resize(static_cast<size_t>(len));
    const char* cap = critical ? "Critical Error #" : "Unhandled Error #";
    len = std::snprintf(nullptr, 0, "%s%u", cap, n);
    caption.assign(static_cast<size_t>(len) + 1, '\0');
    std::snprintf(caption.data(), caption.size(), "%s%u", cap, n);
    caption.resize(static_cast<size_t>(len));
}

int32_t frame_report_error() {
    uint32_t n = frame_error.error_number;
    bool critical = n >= 300 && n <= 313;
    if (frame_error.handler_id != 0 && frame_error.in_handler == 0 && !critical) {
        frame_error.last_error = static_cast<int32_t>(n);
        frame_error.error_number = 0;
        frame_error.handler_line_label = frame_error.line_label;
        frame_error.handler_pending = 1;
        frame_call_main();
        return 0;
    }
    std::string caption, text;
    frame_error_dialog_texts(n, caption, text);
    if (critical) {
        frame_message_box(caption.c_str(), text.c_str(), FRAME_BOX_OK, 0);
        frame_exit(0);
    }
    int32_t yes = frame_message_box(caption.c_str(), text.c_str(), FRAME_BOX_YES_NO,
                                    FRAME_BOX_SYSTEM_MODAL);
    if (!yes) {
        frame_run.quit_requested.store(1);
        frame_stop_program_thread();
    }
    frame_error.error_number = 0;
    return 0;
}

int32_t frame_checkpoint(int32_t line, int32_t include_line, const char* include_file) {
    if (frame_error.checkpoint_bypass) return frame_error.checkpoint_bypass;
    frame_run.attention.store(0, std::memory_order_relaxed);
    frame_error.repeat_statement = 0;
    while ((frame_run.suspended.load() & 1) || frame_run.exit_now.load()) {
        if (frame_run.exit_now.load()) {
            if (frame_run.stop_held.load() == 0) frame_stop_program_thread();
            break;  // a save under way ends first
        }
        frame_sleep_ms(10);
    }
    if (frame_error.error_number == 0) {
        int32_t gl = frame_run.in_gl_scope.load();
        if (gl) return gl;
        return 0;  // no traps are installed by this program
    }
    frame_error.error_line = line;
    frame_error.error_include_line = include_line;
    frame_error.error_include_file = include_file;
    frame_report_error();
    return frame_error.repeat_statement;
}

int32_t frame_err() { return frame_error.last_error; }
double frame_erl() { return frame_error.handler_line_label; }

void frame_set_main(void (*main_routine)()) { g_main_routine = main_routine; }
void frame_call_main() {
    if (g_main_routine) g_main_routine();
}

void frame_install_fpe_handler() {
    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sa_handler = fpe_handler;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGFPE, &sa, nullptr);
}
