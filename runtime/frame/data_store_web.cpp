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

// One request at a time: 0 idle, 1 asked, 2 answered.
std::atomic<int32_t> g_state{0};
std::atomic<int32_t> g_failed{0};
char g_reason[256];
std::atomic<bool> g_told{false};

// Waits for the main thread's answer; false when the store failed or took too long.
bool wait_answer() {
    for (int32_t waited = 0; g_state.load(std::memory_order_acquire) != 2; waited += 5) {
        if (waited >= kStoreLimitMs) {
            std::snprintf(g_reason, sizeof g_reason, "no answer within %d s", kStoreLimitMs / 1000);
            g_state.store(0);
            return false;
        }
        frame_sleep_ms(5);
    }
    g_state.store(0);
    return g_failed.load() == 0;
}

// One box a run: the stored state is kept, the program goes on.
void tell(const char* what) {
    if (g_told.exchange(true)) return;
    char text[512];
    std::snprintf(text, sizeof text,
                  "The browser could not %s (IndexedDB: %s).\nThe state stored before is kept; the program runs on.",
                  what, g_reason);
    std::fprintf(stderr, "kavaro: [Kavaro] %s\n", text);
    disp_message_box("Kavaro", text, FRAME_BOX_OK, 0);
}

std::string absolute(const char* path) {
    if (path[0] == '/') return path;
    char cwd[PATH_MAX];
    return std::string(getcwd(cwd, sizeof cwd) ? cwd : "") + "/" + path;
}

}  // namespace

// Main thread: IndexedDB has answered (the reason of a failure is kept by the page).
extern "C" EMSCRIPTEN_KEEPALIVE void frame_store_answer(int failed) {
    if (failed) EM_ASM({ kavaroStore.reasonInto($0, $1); }, g_reason, sizeof g_reason);
    g_failed.store(failed);
    g_state.store(2, std::memory_order_release);
}

void frame_store_committed(const char* path) {
    const std::string file = absolute(path);
    if (file.compare(0, std::strlen(kStoredFolder), kStoredFolder) != 0) return;
    g_state.store(1);
    // Begun on the main thread, which returns at once; the answer comes from IndexedDB.
    MAIN_THREAD_EM_ASM({ kavaroStore.store(UTF8ToString($0)); }, file.c_str());
    if (!wait_answer()) tell("store the state file");
}

void frame_store_refresh() {
    // The page could not read the stored folder at all: the run starts without it.
    int32_t refused = MAIN_THREAD_EM_ASM_INT({ return kavaroStore.startError() ? 1 : 0; });
    if (refused) {
        MAIN_THREAD_EM_ASM({ stringToUTF8(kavaroStore.startError(), $0, $1); }, g_reason, sizeof g_reason);
        tell("read the stored state");
        return;
    }
    g_state.store(1);
    MAIN_THREAD_EM_ASM({ kavaroStore.refresh(); });
    if (!wait_answer()) tell("read the stored state");
}
