#include "runtime/core/run_state.h"

#include <cstring>

RunState frame_run;
LowMemory frame_low_memory;

void frame_run_reset() {
    frame_run.attention.store(0);
    frame_run.quit_requested.store(0);
    frame_run.exit_now.store(0);
    frame_run.suspended.store(0);
    frame_run.close_requests.store(0);
    frame_run.close_query_active.store(0);
    frame_run.threads_done.store(0);
    frame_run.in_gl_scope.store(0);
    frame_run.auto_display.store(1);
    frame_run.frame_counter.store(0);
    frame_run.housekeeping_running.store(0);
    frame_run.stop_held.store(0);
}
