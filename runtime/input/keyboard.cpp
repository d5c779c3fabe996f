// Key events, the down list and the keyboard ring in low memory.
#include <atomic>

#include "runtime/core/error.h"
#include "runtime/core/platform.h"
#include "runtime/core/run_state.h"
#include "runtime/display/display.h"
#include "runtime/input/input.h"

namespace {

// The down list: written by the main and housekeeping threads, read by the program thread.
// A slot holds a code or 0; `g_down_used` bounds the scans.
constexpr int kDownCapacity = 512;
std::atomic<int32_t> g_down[kDownCapacity];
std::atomic<int32_t> g_down_used{0};

LowByte low_byte(size_t offset) { return frame_low_byte(offset); }

bool shift_held() {
    return input_down_contains(INPUT_KEY_RSHIFT) || input_down_contains(INPUT_KEY_LSHIFT);
}
bool ctrl_held() {
    return input_down_contains(INPUT_KEY_RCTRL) || input_down_contains(INPUT_KEY_LCTRL);
}
bool alt_held() {
    return input_down_contains(INPUT_KEY_RALT) || input_down_contains(INPUT_KEY_LALT);
}

// Set while a key is fed with a Shift the down list does not show.
thread_local bool t_force_shift = false;
// Set while a character typed with AltGr is fed: the Alt key it holds made the character.
thread_local bool t_ignore_alt = false;

// Alt wins over Ctrl, Ctrl over Shift.
int modifier_column() {
    if (t_force_shift) return INPUT_MOD_SHIFT;
    if (!t_ignore_alt && alt_held()) return INPUT_MOD_ALT;
    if (ctrl_held()) return INPUT_MOD_CTRL;
    if (shift_held()) return INPUT_MOD_SHIFT;
    return INPUT_MOD_NONE;
}

void ring_store(uint8_t ch, uint8_t scan) {
    auto tail_ref = low_byte(kLowKeyTail);
    uint8_t tail = tail_ref.load(std::memory_order_relaxed);
    uint8_t head = low_byte(kLowKeyHead).load(std::memory_order_acquire);
    if (tail < 30 || tail > 60 || (tail & 1)) return;  // ring not set up
    uint8_t next = tail + 2 > 60 ? 30 : tail + 2;
    if (next == head) return;  // full: the key is lost
    low_byte(kLowKeyRing + tail).store(ch, std::memory_order_relaxed);
    low_byte(kLowKeyRing + tail + 1).store(scan, std::memory_order_relaxed);
    tail_ref.store(next, std::memory_order_release);
}

// Stores a translation-table value: below 256 as (value, scan), else (0, value / 256).
void store_value(int32_t value, uint8_t scan) {
    if (value == 0) return;
    if (value < 256)
        ring_store(static_cast<uint8_t>(value), scan);
    else
        ring_store(0, static_cast<uint8_t>(value / 256));
}

void store_character(int32_t ch) {
    const KeyTableEntry& e = input_key_table(ch);
    if (!e.present) {
        ring_store(static_cast<uint8_t>(ch), 0);
        return;
    }
    store_value(e.value[modifier_column()], e.scan);
}

void store_extended(int32_t scan) {
    // F11 and F12 have key codes 0x8500/0x8600 but sit on scan codes 87/88.
    if (scan == 0x85 || scan == 0x86) scan = scan - 0x85 + 87;
    const KeyTableEntry& e = input_key_table(256 + scan);
    if (!e.present) return;
    store_value(e.value[modifier_column()], e.scan);
}

// Keypad keys without Num Lock, in code order from 200000.
constexpr int32_t kPadNavigation[11] = {0x5200, 0x4F00, 0x5000, 0x5100, 0x4B00, 0x4C00,
                                        0x4D00, 0x4700, 0x4800, 0x4900, 0x5300};
constexpr char kPadCharacters[6] = {'.', '/', '*', '-', '+', 13};

void flip_state(int32_t code) {
    if (input_down_contains(code))
        input_down_remove(code);
    else
        input_down_add(code);
}

bool is_extended(int32_t k) { return k >= 256 && k < 65536 && (k & 0xFF) == 0; }

}  // namespace

bool input_down_contains(int32_t code) {
    int used = g_down_used.load(std::memory_order_acquire);
    for (int i = 0; i < used; ++i)
        if (g_down[i].load(std::memory_order_relaxed) == code) return true;
    return false;
}

int32_t input_down_snapshot(int32_t* out, int32_t max) {
    int32_t n = 0;
    int used = g_down_used.load(std::memory_order_acquire);
    for (int i = 0; i < used && n < max; ++i)
        if (int32_t c = g_down[i].load(std::memory_order_relaxed)) out[n++] = c;
    return n;
}

void input_down_add(int32_t code) {
    if (code == 0 || input_down_contains(code)) return;
    // Slots past the used count are 0, so the first free slot is a hole or the end.
    for (int i = 0; i < kDownCapacity; ++i) {
        int32_t expected = 0;
        if (g_down[i].compare_exchange_strong(expected, code, std::memory_order_acq_rel)) {
            int used = g_down_used.load(std::memory_order_relaxed);
            while (used < i + 1 &&
                   !g_down_used.compare_exchange_weak(used, i + 1, std::memory_order_acq_rel)) {
            }
            return;
        }
    }
}

void input_down_remove(int32_t code) {
    int used = g_down_used.load(std::memory_order_acquire);
    for (int i = 0; i < used; ++i) {
        int32_t expected = code;
        g_down[i].compare_exchange_strong(expected, 0, std::memory_order_acq_rel);
    }
}

void input_refresh_status() {
    bool rshift = input_down_contains(INPUT_KEY_RSHIFT), lshift = input_down_contains(INPUT_KEY_LSHIFT);
    bool rctrl = input_down_contains(INPUT_KEY_RCTRL), lctrl = input_down_contains(INPUT_KEY_LCTRL);
    bool ralt = input_down_contains(INPUT_KEY_RALT), lalt = input_down_contains(INPUT_KEY_LALT);
    uint8_t b0 = 0;
    if (rshift) b0 |= 1;
    if (lshift) b0 |= 2;
    if (rctrl || lctrl) b0 |= 4;
    if (ralt || lalt) b0 |= 8;
    if (input_down_contains(INPUT_STATE_SCROLL_LOCK)) b0 |= 16;
    if (input_down_contains(INPUT_KEY_NUM_LOCK)) b0 |= 32;
    if (input_down_contains(INPUT_KEY_CAPS_LOCK)) b0 |= 64;
    if (input_down_contains(INPUT_STATE_INSERT)) b0 |= 128;
    uint8_t b1 = 0;
    if (lctrl) b1 |= 1;
    if (lalt) b1 |= 2;
    if (frame_run.suspended.load(std::memory_order_relaxed) & 1) b1 |= 8;
    if (input_down_contains(INPUT_KEY_SCROLL_LOCK)) b1 |= 16;
    if (input_down_contains(0x5200) || input_down_contains(INPUT_KEY_PAD_INSERT)) b1 |= 128;
    uint8_t b2 = 16;  // enhanced keyboard
    if (rctrl) b2 |= 4;
    if (ralt) b2 |= 8;
    low_byte(1047).store(b0, std::memory_order_relaxed);
    low_byte(1048).store(b1, std::memory_order_relaxed);
    low_byte(1174).store(b2, std::memory_order_relaxed);
}

void input_reset_ring() {
    low_byte(kLowKeyHead).store(30, std::memory_order_release);
    low_byte(kLowKeyTail).store(30, std::memory_order_release);
}

void input_keyboard_clear_down_list() {
    for (auto& d : g_down) d.store(0, std::memory_order_relaxed);
    g_down_used.store(0, std::memory_order_release);
}

void input_key_event(int32_t code, int32_t down) {
    int32_t k = code == 0 ? INPUT_KEY_ZERO : code;
    if (!down) {
        input_down_remove(k);
        if (k >= INPUT_KEY_NUM_LOCK && k <= INPUT_KEY_LALT) input_refresh_status();
        return;
    }
    bool was_held = input_down_contains(k);
    input_down_add(k);
    bool ctrl = ctrl_held();

    // Break: ends the program like a close request.
    if (k == INPUT_KEY_BREAK || (k == INPUT_KEY_SCROLL_LOCK && ctrl)) {
        if (frame_run.close_query_active.load() == 1)
            frame_run.close_requests.fetch_or(2);
        else
            frame_run.quit_requested.store(1);
        return;
    }
    // Pause; any other key only ends a pause.
    if (k == INPUT_KEY_PAUSE || (k == INPUT_KEY_NUM_LOCK && ctrl)) {
        frame_run.suspended.fetch_or(1);
        frame_run.attention.store(1);
        return;
    }
    if (frame_run.suspended.fetch_and(static_cast<uint8_t>(~1u)) & 1) return;
    if (k == 13 && !t_ignore_alt && alt_held()) {
        disp_fullscreen_cycle();
        return;
    }

    // Keypad keys become their main-keyboard keys first.
    int32_t key = k;
    if (key >= INPUT_KEY_PAD_0 && key <= INPUT_KEY_PAD_0 + 9)
        key = '0' + (key - INPUT_KEY_PAD_0);
    else if (key >= INPUT_KEY_PAD_POINT && key <= INPUT_KEY_PAD_ENTER)
        key = kPadCharacters[key - INPUT_KEY_PAD_POINT];
    else if (key >= INPUT_KEY_PAD_INSERT && key <= INPUT_KEY_PAD_INSERT + 10)
        key = kPadNavigation[key - INPUT_KEY_PAD_INSERT];

    if (key >= 1 && key <= 255) {
        store_character(key);
    } else if (is_extended(key)) {
        int32_t scan = key >> 8;
        if (scan == 82 && modifier_column() == INPUT_MOD_NONE && !was_held)
            flip_state(INPUT_STATE_INSERT);
        store_extended(scan);
        if (scan == 82) input_refresh_status();
    } else if (key >= INPUT_KEY_NUM_LOCK && key <= INPUT_KEY_LALT) {
        if (key == INPUT_KEY_SCROLL_LOCK && !was_held) flip_state(INPUT_STATE_SCROLL_LOCK);
        input_refresh_status();
    }
}

void input_key_event_shifted(int32_t code) {
    t_force_shift = true;
    input_key_event(code, 1);
    t_force_shift = false;
}

void input_key_event_level3(int32_t code) {
    t_ignore_alt = true;
    input_key_event(code, 1);
    t_ignore_alt = false;
}

StringValue* input_inkey() {
    if (frame_error.error_number != 0) return sv_new(0, 1);
    frame_sleep_ms(0);
    auto head_ref = low_byte(kLowKeyHead);
    uint8_t head = head_ref.load(std::memory_order_relaxed);
    uint8_t tail = low_byte(kLowKeyTail).load(std::memory_order_acquire);
    if (head == tail || head < 30 || head > 60 || (head & 1)) return sv_new(0, 1);
    uint8_t ch = low_byte(kLowKeyRing + head).load(std::memory_order_relaxed);
    uint8_t scan = low_byte(kLowKeyRing + head + 1).load(std::memory_order_relaxed);
    head_ref.store(head + 2 > 60 ? 30 : head + 2, std::memory_order_release);
    if (ch != 0 || scan == 0) {
        StringValue* s = sv_new(1, 1);
        if (s && s->data && s->length == 1) s->data[0] = ch;
        return s;
    }
    StringValue* s = sv_new(2, 1);
    if (s && s->data && s->length == 2) {
        s->data[0] = 0;
        s->data[1] = scan;
    }
    return s;
}

int32_t input_key_down(int32_t k) {
    if (frame_error.error_number != 0) return 0;
    if (k <= 0) {
        frame_raise(5);
        return 0;
    }
    if (input_down_contains(k)) return -1;
    // One-way twins: the main key also counts as held while its keypad key is.
    int32_t twin = 0;
    switch (k) {
        case 13: twin = INPUT_KEY_PAD_ENTER; break;
        case 42: twin = INPUT_KEY_PAD_STAR; break;
        case 43: twin = INPUT_KEY_PAD_PLUS; break;
        case 45: twin = INPUT_KEY_PAD_MINUS; break;
        case 46: twin = INPUT_KEY_PAD_POINT; break;
        case 47: twin = INPUT_KEY_PAD_SLASH; break;
        default:
            if (k >= '0' && k <= '9') {
                twin = INPUT_KEY_PAD_0 + (k - '0');
            } else {
                for (int i = 0; i < 11; ++i)
                    if (k == kPadNavigation[i]) twin = INPUT_KEY_PAD_INSERT + i;
            }
    }
    return twin != 0 && input_down_contains(twin) ? -1 : 0;
}

void input_align_locks(bool scroll_on, bool caps_on, bool num_on) {
    bool changed = false;
    if (scroll_on != input_down_contains(INPUT_STATE_SCROLL_LOCK)) {
        if (scroll_on)
            input_down_add(INPUT_STATE_SCROLL_LOCK);
        else
            input_down_remove(INPUT_STATE_SCROLL_LOCK);
        changed = true;
    }
    if (caps_on != input_down_contains(INPUT_KEY_CAPS_LOCK)) {
        input_key_event(INPUT_KEY_CAPS_LOCK, caps_on ? 1 : 0);
        changed = true;
    }
    if (num_on != input_down_contains(INPUT_KEY_NUM_LOCK)) {
        input_key_event(INPUT_KEY_NUM_LOCK, num_on ? 1 : 0);
        changed = true;
    }
    if (changed) input_refresh_status();
}
