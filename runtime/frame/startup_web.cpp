// The page's start-up: the program in the browser, its state folder in the browser's storage.
//
// The page (web/page.js) turns its query string into the program's options and, before `main`
// runs, loads the stored folder /kavaro from IndexedDB. `main` runs on the browser's main thread:
// it starts the program's threads, hooks the canvas and the keys, and returns to the browser,
// which from then on calls the presenter and the input handlers. An end of the program shows
// the page's end notice over the canvas.
#include <emscripten.h>
#include <emscripten/threading.h>

#include <atomic>
#include <cstdio>
#include <string>

#include "runtime/core/platform.h"
#include "runtime/display/display.h"
#include "runtime/files/files.h"
#include "runtime/frame/data_store_web.h"
#include "runtime/frame/open_request.h"
#include "runtime/frame/options.h"
#include "runtime/frame/startup.h"
#include "runtime/frame/swarm_link.h"
#include "runtime/input/input.h"
#include "runtime/record/record.h"

namespace {

// The program file's folder is the stored folder: the state lives beside the program, as on
// the desktop.
const char kProgramPath[] = "/kavaro/kavaro";

// The first OK box: every one ends the run (a critical error), and the end notice repeats it.
// 0 none, 1 being written, 2 written.
std::string g_last_box;
std::atomic<int32_t> g_last_box_state{0};
std::atomic<bool> g_ended{false};
std::atomic<bool> g_snapshot_offered{false};

int32_t message_box(const char* caption, const char* text, int32_t kind, int32_t flags) {
    int32_t none = 0;
    if (kind == FRAME_BOX_OK && g_last_box_state.compare_exchange_strong(none, 1)) {
        g_last_box = std::string(caption) + ": " + text;
        g_last_box_state.store(2, std::memory_order_release);
    }
    return disp_message_box(caption, text, kind, flags);
}

// The page's own script (web/page.js) on the main thread; another thread waits for it.
void show_end(int status, const char* message) {
    MAIN_THREAD_EM_ASM({ kavaroPage.end($0, $1 ? UTF8ToString($1) : ""); }, status, message);
}

// The process does not end in a page: the end notice comes, and the thread that ended the run
// stays parked (the main thread goes back to the browser).
[[noreturn]] void end_run(int32_t status) {
    if (frame_platform.close_all_files) frame_platform.close_all_files();
    std::fflush(stdout);
    std::fflush(stderr);
    const bool boxed = g_last_box_state.load(std::memory_order_acquire) == 2;
    if (!g_ended.exchange(true)) show_end(status, boxed ? g_last_box.c_str() : nullptr);
    if (emscripten_is_main_runtime_thread()) emscripten_exit_with_live_runtime();
    for (;;) frame_sleep_ms(1000);
}

// --snapshot-frame: the picture, once written, is offered as a download.
void frame_shown(const FrameSlot& slot, bool uploaded) {
    record_presented(slot, uploaded);
    if (!g_snapshot_offered.load(std::memory_order_relaxed) && record_counts().snapshot_written) {
        g_snapshot_offered.store(true);
        const std::string& file = frame_options.snapshot_file;
        MAIN_THREAD_EM_ASM({ kavaroPage.offerFile(UTF8ToString($0)); }, file.c_str());
    }
}

// The snapshot button takes the page on the screen, its palette indices kept with every frame.
bool keep_indices() { return true; }

}  // namespace

std::string frame_platform_program_path() { return kProgramPath; }

int frame_platform_ended(int status) {
    std::fflush(stdout);
    std::fflush(stderr);
    g_ended.store(true);
    show_end(status, nullptr);
    return status;
}

int frame_platform_run(int, char**, const std::string& exe) {
    int status = frame_settle_state_folder(exe);
    if (status >= 0) return frame_platform_ended(status);
    frame_platform.exit_process = end_run;
    frame_platform.message_box = message_box;
    frame_platform.file_committed = frame_store_committed;
    frame_platform.program_starting = frame_store_refresh;
    disp_hooks.frame_shown = frame_shown;
    disp_hooks.keep_indices = keep_indices;
    MAIN_THREAD_EM_ASM({ kavaroPage.start($0, $1); }, frame_options.lang == "en", frame_options.scale);
    frame_start_program();
    disp_window_created();
    disp_register_callbacks();
    input_register_callbacks();
    return 0;
}

// The page's Open button: the file the user chose, written to /opened.dat by the page. 0 when the
// program is still taking the one before.
extern "C" EMSCRIPTEN_KEEPALIVE int frame_web_open() { return frame_request_open("/opened.dat") ? 1 : 0; }

// The page's Share button: the program is asked for the code of the swarm it shows.
extern "C" EMSCRIPTEN_KEEPALIVE void frame_web_share() { frame_request_share(); }

// Its answer (a code, or "!" and why there is none) once it has come, else 0.
extern "C" EMSCRIPTEN_KEEPALIVE const char* frame_web_share_answer() {
    static std::string answer;
    return frame_take_share_answer(answer) ? answer.c_str() : nullptr;
}

// The code of the swarm just loaded or saved ("" for none) when a new one has come, else 0: the
// page's address follows it.
extern "C" EMSCRIPTEN_KEEPALIVE const char* frame_web_address() {
    static std::string code;
    return frame_take_swarm_address(code) ? code.c_str() : nullptr;
}
