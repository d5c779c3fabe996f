// The page's stored folder in IndexedDB: each committed file stored at once, and the folder
// brought up to date before every start of the program.
//
// IDBFS's own sync writes the whole folder and removes what this page does not have, which
// would take away another tab's file; here each file goes on its own. The work is the main
// thread's (the file system and IndexedDB live there); the asking thread waits for the answer.
#include <emscripten.h>

#include <atomic>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

#include <unistd.h>

#include "runtime/core/platform.h"
#include "runtime/display/display.h"
#include "runtime/frame/data_store_web.h"

namespace {

const char kStoredFolder[] = "/kavaro/";
// A store that takes longer is given up as refused.
constexpr int32_t kStoreLimitMs = 15000;

// The request being answered (one at a time) and its answer: 0 none yet, 1 done, 2 failed. An
// answer to an earlier request, given up, is ignored.
std::atomic<uint32_t> g_asked{0};
std::atomic<int32_t> g_answer{0};
char g_reason[256];  // written by the main thread before a failed answer
std::atomic<bool> g_told{false};

// Asks the main thread to begin the work for the next request and waits for its answer:
// the empty string, or why it failed.
std::string ask(void (*begin)(uint32_t serial, const char* path), const char* path) {
    const uint32_t serial = g_asked.load() + 1;
    g_answer.store(0);
    g_asked.store(serial, std::memory_order_release);
    begin(serial, path);
    for (int32_t waited = 0; waited < kStoreLimitMs; waited += 5) {
        const int32_t a = g_answer.load(std::memory_order_acquire);
        if (a == 1) return "";
        if (a == 2) return g_reason;
        frame_sleep_ms(5);
    }
    g_asked.store(serial + 1);  // a late answer no longer counts
    return "no answer within " + std::to_string(kStoreLimitMs / 1000) + " s";
}

// Begun on the main thread, which returns at once; IndexedDB answers later.
void begin_store(uint32_t serial, const char* path) {
    MAIN_THREAD_EM_ASM({ kavaroStore.store($0, UTF8ToString($1)); }, serial, path);
}
void begin_refresh(uint32_t serial, const char*) { MAIN_THREAD_EM_ASM({ kavaroStore.refresh($0); }, serial); }

// One box a run: the stored state is kept, the program goes on.
void tell(const char* what, const std::string& reason) {
    if (g_told.exchange(true)) return;
    char text[512];
    std::snprintf(text, sizeof text,
                  "The browser could not %s (IndexedDB: %s).\nThe state stored before is kept; the program runs on.",
                  what, reason.c_str());
    std::fprintf(stderr, "kavaro: [Kavaro] %s\n", text);
    disp_message_box("Kavaro", text, FRAME_BOX_OK, 0);
}

std::string absolute(const char* path) {
    if (path[0] == '/') return path;
    char cwd[PATH_MAX];
    return std::string(getcwd(cwd, sizeof cwd) ? cwd : "") + "/" + path;
}

}  // namespace

// Main thread: IndexedDB has answered request `serial` (the reason of a failure is the page's).
extern "C" EMSCRIPTEN_KEEPALIVE void frame_store_answer(uint32_t serial, int failed) {
    if (serial != g_asked.load(std::memory_order_acquire)) return;
    if (failed) EM_ASM({ kavaroStore.reasonInto($0, $1); }, g_reason, sizeof g_reason);
    g_answer.store(failed ? 2 : 1, std::memory_order_release);
}

void frame_store_committed(const char* path) {
    const std::string file = absolute(path);
    if (file.compare(0, std::strlen(kStoredFolder), kStoredFolder) != 0) return;
    const std::string failed = ask(begin_store, file.c_str());
    if (!failed.empty()) tell("store the state file", failed);
}

void frame_store_refresh() {
    // The page could not read the stored folder at all: the run starts without it.
    char refused[256] = "";
    MAIN_THREAD_EM_ASM({ stringToUTF8(kavaroStore.startError(), $0, $1); }, refused, sizeof refused);
    if (refused[0]) {
        tell("read the stored state", refused);
        return;
    }
    const std::string failed = ask(begin_refresh, nullptr);
    if (!failed.empty()) tell("read the stored state", failed);
}
