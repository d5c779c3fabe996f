// Physical keys to key codes: what a key press means, and which code its release lets go.
//
// The window system reports each key by its physical number and its symbols; the key code is
// chosen here once, at the press, and kept with the physical key, so that the release takes away
// exactly what the press added whatever the modifiers do in between.
#include <X11/keysym.h>

#include <iterator>

#include "runtime/display/display.h"
#include "runtime/input/input.h"

namespace {

struct SymCode {
    uint32_t sym;
    int32_t code;
};

// Keys known by their symbol without modifiers.
constexpr SymCode kNamedKeys[] = {
    {XK_BackSpace, 8},
    {XK_Tab, 9},
    {XK_ISO_Left_Tab, 9},
    {XK_Return, 13},
    {XK_Escape, 27},
    {XK_space, 32},
    {XK_Home, 0x4700},
    {XK_Up, 0x4800},
    {XK_Prior, 0x4900},
    {XK_Left, 0x4B00},
    {XK_Right, 0x4D00},
    {XK_End, 0x4F00},
    {XK_Down, 0x5000},
    {XK_Next, 0x5100},
    {XK_Insert, 0x5200},
    {XK_Delete, 0x5300},
    {XK_F11, 0x8500},
    {XK_F12, 0x8600},
    {XK_Num_Lock, INPUT_KEY_NUM_LOCK},
    {XK_Caps_Lock, INPUT_KEY_CAPS_LOCK},
    {XK_Scroll_Lock, INPUT_KEY_SCROLL_LOCK},
    {XK_Shift_R, INPUT_KEY_RSHIFT},
    {XK_Shift_L, INPUT_KEY_LSHIFT},
    {XK_Control_R, INPUT_KEY_RCTRL},
    {XK_Control_L, INPUT_KEY_LCTRL},
    {XK_Alt_R, INPUT_KEY_RALT},
    {XK_Meta_R, INPUT_KEY_RALT},
    // The right Alt key of layouts that type a third level with it.
    {XK_ISO_Level3_Shift, INPUT_KEY_RALT},
    {XK_Alt_L, INPUT_KEY_LALT},
    {XK_Meta_L, INPUT_KEY_LALT},
    // Keypad keys whose meaning does not depend on Num Lock.
    {XK_KP_Divide, INPUT_KEY_PAD_SLASH},
    {XK_KP_Multiply, INPUT_KEY_PAD_STAR},
    {XK_KP_Subtract, INPUT_KEY_PAD_MINUS},
    {XK_KP_Add, INPUT_KEY_PAD_PLUS},
    {XK_KP_Enter, INPUT_KEY_PAD_ENTER},
};

// Keypad keys by the symbol they type with the Num Lock state applied.
constexpr SymCode kPadKeys[] = {
    {XK_KP_Decimal, INPUT_KEY_PAD_POINT},     {XK_KP_Separator, INPUT_KEY_PAD_POINT},
    {XK_KP_Insert, INPUT_KEY_PAD_INSERT},     {XK_KP_End, INPUT_KEY_PAD_INSERT + 1},
    {XK_KP_Down, INPUT_KEY_PAD_INSERT + 2},   {XK_KP_Next, INPUT_KEY_PAD_INSERT + 3},
    {XK_KP_Left, INPUT_KEY_PAD_INSERT + 4},   {XK_KP_Begin, INPUT_KEY_PAD_INSERT + 5},
    {XK_KP_Right, INPUT_KEY_PAD_INSERT + 6},  {XK_KP_Home, INPUT_KEY_PAD_INSERT + 7},
    {XK_KP_Up, INPUT_KEY_PAD_INSERT + 8},     {XK_KP_Prior, INPUT_KEY_PAD_INSERT + 9},
    {XK_KP_Delete, INPUT_KEY_PAD_INSERT + 10},
};

int32_t find(const SymCode* table, size_t n, uint32_t sym) {
    for (size_t i = 0; i < n; ++i)
        if (table[i].sym == sym) return table[i].code;
    return 0;
}

bool is_modifier(int32_t code) { return code >= INPUT_KEY_RSHIFT && code <= INPUT_KEY_LALT; }
// Caps Lock and Num Lock stand for their toggle states, which the lock alignment keeps.
bool is_toggle(int32_t code) { return code == INPUT_KEY_NUM_LOCK || code == INPUT_KEY_CAPS_LOCK; }

// The code each held physical key added; main thread only.
int32_t g_held[kPhysicalKeys];

bool held_elsewhere(int32_t key, int32_t code) {
    for (int32_t i = 0; i < kPhysicalKeys; ++i)
        if (i != key && g_held[i] == code) return true;
    return false;
}

void let_go(int32_t key) {
    int32_t code = g_held[key];
    g_held[key] = 0;
    if (code != 0 && !held_elsewhere(key, code)) input_key_event(code, 0);
}

// A box takes typed keys as its answer: Y, N, Enter and Escape.
int32_t dialog_character(int32_t code) {
    if (code == INPUT_KEY_PAD_ENTER) return 13;
    return code >= 1 && code <= 255 ? code : 0;
}

}  // namespace

int32_t input_physical_code(uint32_t base_sym, uint32_t typed_sym, bool ctrl_held) {
    if (base_sym >= XK_F1 && base_sym <= XK_F10)
        return 0x3B00 + static_cast<int32_t>(base_sym - XK_F1) * 0x100;
    // Pause with Ctrl is Break, as on the PC keyboard.
    if (base_sym == XK_Pause || base_sym == XK_Break)
        return ctrl_held || base_sym == XK_Break ? INPUT_KEY_BREAK : INPUT_KEY_PAUSE;
    if (int32_t code = find(kNamedKeys, std::size(kNamedKeys), base_sym)) return code;
    if (typed_sym >= XK_KP_0 && typed_sym <= XK_KP_9)
        return INPUT_KEY_PAD_0 + static_cast<int32_t>(typed_sym - XK_KP_0);
    if (int32_t code = find(kPadKeys, std::size(kPadKeys), typed_sym)) return code;
    // Characters: Latin-1 symbols are their own character codes.
    if ((typed_sym >= 0x20 && typed_sym <= 0x7E) || (typed_sym >= 0xA0 && typed_sym <= 0xFF))
        return static_cast<int32_t>(typed_sym);
    return 0;
}

void input_physical_key(int32_t key, int32_t code, bool down, bool level3) {
    if (key < 0 || key >= kPhysicalKeys) return;
    if (!down) {
        if (g_held[key] != 0)
            let_go(key);
        else if (is_modifier(code))
            input_key_event(code, 0);  // held before the window had the keyboard
        return;
    }
    if (code == 0) return;
    if (is_toggle(code)) {
        if (!disp_dialog_open()) input_key_event(code, 1);
        return;
    }
    if (disp_dialog_open() && !is_modifier(code)) {
        disp_dialog_key(dialog_character(code));
        return;
    }
    // Auto-repeat presses again without a release; a changed modifier may change the code.
    if (g_held[key] != 0 && g_held[key] != code) let_go(key);
    g_held[key] = code;
    if (level3)
        input_key_event_level3(code);
    else
        input_key_event(code, 1);
}

void input_physical_key_held(int32_t key, int32_t code) {
    if (key < 0 || key >= kPhysicalKeys || !is_modifier(code)) return;
    g_held[key] = code;
    if (!input_down_contains(code)) {
        // Only the down list learns of it: a modifier already held is no key typed.
        input_down_add(code);
        input_refresh_status();
    }
}

void input_physical_keys_up(const bool* still_down) {
    for (int32_t i = 0; i < kPhysicalKeys; ++i)
        if (g_held[i] != 0 && !(still_down && still_down[i])) let_go(i);
    // Modifiers found held at start-up belong to no key seen here.
    for (int32_t code = INPUT_KEY_RSHIFT; code <= INPUT_KEY_LALT; ++code)
        if (input_down_contains(code) && !held_elsewhere(-1, code)) input_key_event(code, 0);
}

void input_physical_keys_clear() {
    for (int32_t& c : g_held) c = 0;
}
