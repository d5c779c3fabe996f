// What both presenters share: the window's flags and the choice of the frame to show.
#include <atomic>
#include <thread>

#include "runtime/core/run_state.h"
#include "runtime/display/display.h"

double disp_redraw_rate = 60.0;
DispHooks disp_hooks;
DispPresenter disp_presenter;

namespace {

std::atomic<int32_t> g_created{0};
std::atomic<int32_t> g_closed{0};
std::atomic<std::thread::id> g_main_thread{};

}  // namespace

bool disp_window_exists() { return g_created.load() != 0 && g_closed.load() == 0; }
bool disp_window_closed() { return g_closed.load() != 0; }
bool disp_on_main_thread() {
    return g_created.load() != 0 && g_main_thread.load() == std::this_thread::get_id();
}

void disp_window_created() {
    g_main_thread.store(std::this_thread::get_id());
    g_created.store(1);
}

void disp_close_window() {
    frame_run.close_requests.fetch_or(1);
    g_closed.store(1);
    disp_dialog_window_closed();
}

PresentDecision disp_present_choose() {
    PresentDecision d;
    for (;;) {
        int32_t st[3];
        uint64_t od[3];
        for (int i = 0; i < 3; ++i) {
            st[i] = disp_slots[i].state.load(std::memory_order_acquire);
            od[i] = disp_slots[i].order.load(std::memory_order_relaxed);
        }
        int32_t shown = -1;
        for (int i = 0; i < 3; ++i)
            if (st[i] == SLOT_SHOWN) shown = i;
        int32_t pick = disp_pick_present_slot(st, od);
        if (pick < 0) return d;
        bool changed = false;
        if (pick != shown) {
            int32_t ready = SLOT_READY;
            if (!disp_slots[pick].state.compare_exchange_strong(ready, SLOT_SHOWN,
                                                                std::memory_order_acq_rel))
                continue;  // the builder took it back; look again
            changed = true;
            uint64_t chosen = disp_slots[pick].order.load(std::memory_order_relaxed);
            for (int i = 0; i < 3; ++i) {
                if (i == pick) continue;
                int32_t s = disp_slots[i].state.load(std::memory_order_acquire);
                if ((s != SLOT_READY && s != SLOT_SHOWN) ||
                    disp_slots[i].order.load(std::memory_order_relaxed) >= chosen)
                    continue;
                disp_slots[i].state.compare_exchange_strong(s, SLOT_FREE, std::memory_order_acq_rel);
            }
        }
        d.slot = pick;
        uint64_t latest = disp_book.latest_order.load(std::memory_order_acquire);
        bool dialog = disp_dialog_open() || disp_presenter.dialog_drawn;
        d.draw = latest != disp_book.presented_order.load(std::memory_order_relaxed) || changed ||
                 disp_screen_state().requested != -1 || disp_presenter.window_reshaped || dialog;
        if (!d.draw) return d;
        disp_book.presented_order.store(latest, std::memory_order_relaxed);
        uint64_t order = disp_slots[pick].order.load(std::memory_order_relaxed);
        d.upload = changed || pick != disp_presenter.texture_slot || order != disp_presenter.texture_order;
        disp_presenter.texture_slot = pick;
        disp_presenter.texture_order = order;
        return d;
    }
}
