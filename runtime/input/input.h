// input: the keyboard ring and down list, key tables, the X11 and GLUT key sources, the mouse.
#pragma once
#include <cstdint>

#include "runtime/text/string_value.h"

enum InputMouseKind : int32_t {
    INPUT_MOUSE_DOWN = 1,
    INPUT_MOUSE_UP = 2,
    INPUT_MOUSE_MOTION = 3,
    INPUT_MOUSE_WHEEL = 4,
};

// Key codes beyond the typed characters and the extended keys (scan code x 256).
enum : int32_t {
    INPUT_KEY_PAUSE = 100019,
    INPUT_KEY_PAD_0 = 100256,       // ... 100265 keypad 9
    INPUT_KEY_PAD_POINT = 100266,
    INPUT_KEY_PAD_SLASH = 100267,
    INPUT_KEY_PAD_STAR = 100268,
    INPUT_KEY_PAD_MINUS = 100269,
    INPUT_KEY_PAD_PLUS = 100270,
    INPUT_KEY_PAD_ENTER = 100271,
    INPUT_KEY_NUM_LOCK = 100300,
    INPUT_KEY_CAPS_LOCK = 100301,
    INPUT_KEY_SCROLL_LOCK = 100302,
    INPUT_KEY_RSHIFT = 100303,
    INPUT_KEY_LSHIFT = 100304,
    INPUT_KEY_RCTRL = 100305,
    INPUT_KEY_LCTRL = 100306,
    INPUT_KEY_RALT = 100307,
    INPUT_KEY_LALT = 100308,
    INPUT_KEY_BREAK = 100318,
    INPUT_KEY_PAD_INSERT = 200000,  // ... 200010 keypad Delete (without Num Lock)
    INPUT_STATE_SCROLL_LOCK = 200011,
    INPUT_STATE_INSERT = 200012,
    INPUT_KEY_ZERO = 200013,
};

// Start-up: empty ring (head = tail = 30), empty down list, zeroed mouse queue that polls run
// through.
void input_init();
// Empties the keyboard ring only (head = tail = 30).
void input_reset_ring();
// Empties the down list (part of input_init).
void input_keyboard_clear_down_list();
// Empties the mouse queue (part of input_init).
void input_mouse_queue_clear();

// Main thread (the housekeeping thread too, for the lock keys).
void input_key_event(int32_t code, int32_t down);
// A key-down translated as if Shift were held (keys whose press the platform loses).
void input_key_event_shifted(int32_t code);
// A key-down of a character typed with AltGr: translated without the Alt keys held.
void input_key_event_level3(int32_t code);
// kind INPUT_MOUSE_WHEEL: button holds the direction (> 0 up, < 0 down).
void input_mouse_event(int32_t kind, int32_t button, int32_t x, int32_t y);

// Program thread.
StringValue* input_inkey();
int32_t input_key_down(int32_t code);
int32_t input_mouse_poll();
// For a program that handles the mouse once a frame: with `on`, a poll that takes an event in
// which a button goes down or up is the last to take one until input_mouse_handled(), so a
// press and its release that arrive within one frame are handled in two frames, in order.
void input_mouse_stop_at_buttons(bool on);
// The program has handled the current event: polls take newer ones again.
void input_mouse_handled();
// Up to n polls in a row, stopping at the first empty one: the number of events taken.
int32_t input_mouse_take(int32_t n);
float input_mouse_x();
float input_mouse_y();
int32_t input_mouse_button(int32_t n);

// Down list: plain membership (no keypad twins).
bool input_down_contains(int32_t code);
void input_down_add(int32_t code);
void input_down_remove(int32_t code);
// Rewrites the keyboard status bytes 1047, 1048 and 1174 from the down list.
void input_refresh_status();

// One entry of the translation table: scan code and the values for normal, Shift, Ctrl, Alt.
struct KeyTableEntry {
    uint8_t scan = 0;
    int32_t value[4] = {0, 0, 0, 0};
    bool present = false;
};
enum : int32_t { INPUT_MOD_NONE = 0, INPUT_MOD_SHIFT = 1, INPUT_MOD_CTRL = 2, INPUT_MOD_ALT = 3 };
// Entry ch (0..255) for a typed character, 256 + scan for an extended key.
const KeyTableEntry& input_key_table(int32_t index);

// Mouse queue: one event as stored.
struct MouseEvent {
    int16_t x = 0, y = 0;
    uint32_t buttons = 0;
    int16_t dx = 0, dy = 0;
};
constexpr int32_t kMouseQueueCapacity = 65535;  // indices 0 ... 65535
MouseEvent input_mouse_current();  // the event at the read index
MouseEvent input_mouse_newest();

// Maps a client coordinate to a frame pixel through a placement edge and scale:
// round((c - edge + 0.5) / scale - 0.5), ties to even, clamped to 0 ... limit - 1.
int32_t input_map_coordinate(int32_t c, int32_t edge, double scale, int32_t limit);

// Main thread, right after the window's own callbacks: the key source, else FreeGLUT's key
// callbacks, and the mouse callbacks.
void input_register_callbacks();
// FreeGLUT callbacks (main thread).
void input_glut_keyboard(unsigned char ch, int x, int y);
void input_glut_keyboard_up(unsigned char ch, int x, int y);
void input_glut_special(int key, int x, int y);
void input_glut_special_up(int key, int x, int y);
void input_glut_mouse(int button, int state, int x, int y);
void input_glut_motion(int x, int y);
void input_glut_wheel(int wheel, int direction, int x, int y);
// The translation the keyboard callbacks apply (ctrl_held from FreeGLUT's modifiers).
int32_t input_translate_char(unsigned char ch, bool ctrl_held, bool shift_held);
// FreeGLUT special key number to key code; 0 when ignored.
int32_t input_translate_special(int key);

// Physical keys (main thread). A key is numbered 0 ... kPhysicalKeys - 1 by the window system.
constexpr int32_t kPhysicalKeys = 256;
// The key code of a key press: base_sym is the key's symbol in the layout without modifiers,
// typed_sym the symbol with Shift, Caps Lock and Num Lock applied (never Ctrl or Alt). 0: no code.
int32_t input_physical_code(uint32_t base_sym, uint32_t typed_sym, bool ctrl_held);
// A press adds `code` and remembers it with the key (a press again is auto-repeat); the release
// takes away what the press added, whatever `code` is then. `level3`: a character typed with
// AltGr, which the Alt key held does not change.
void input_physical_key(int32_t key, int32_t code, bool down, bool level3 = false);
// A modifier found held when the window gets the keyboard: held, but not typed.
void input_physical_key_held(int32_t key, int32_t code);
// Every held key not in still_down (all of them when null) is let go.
void input_physical_keys_up(const bool* still_down);
void input_physical_keys_clear();
// The held codes in the down list, up to max of them; returns how many were written.
int32_t input_down_snapshot(int32_t* out, int32_t max);

// Lock keys and modifiers from the X server (a connection of the runtime's own).
// Start-up: feeds the toggled locks and held modifiers into the down list.
void input_initial_lock_state();
// Housekeeping thread, every other cycle: brings Scroll/Caps/Num Lock in line.
void input_sync_lock_keys();
// Main thread, right after the window is made (its GL context current): listens to the keys
// the X server sends to the window. False when it cannot; FreeGLUT's key callbacks serve then.
bool input_x11_keys_open();
// Main thread, from the redraw timer: the key events that have arrived.
void input_x11_keys_pump();
// Any thread: the key source listens, and sees the keyboard come and go.
bool input_x11_keys_live();
// The lock-key alignment with the toggle states given (also for tests).
void input_align_locks(bool scroll_on, bool caps_on, bool num_on);
