// Lock keys and held modifiers from the X server.
//
// FreeGLUT does not report the lock-key toggles, so the runtime asks the X server itself, on a
// connection used only at start-up and then by the housekeeping thread (Xlib connections are not
// shared between threads here; the main thread's key source has one of its own).
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>

#include "runtime/display/display.h"
#include "runtime/input/input.h"

namespace {

struct XKeys {
    bool tried = false;
    Display* dpy = nullptr;
    bool xkb = false;
    int caps_index = 0, num_index = 1, scroll_index = 2;
    KeyCode lshift = 0, rshift = 0, lctrl = 0, rctrl = 0, lalt = 0, ralt = 0, scroll = 0;
};

XKeys g_service;  // start-up, then the housekeeping thread

int indicator_index(Display* dpy, const char* name, int fallback) {
    int ndx = -1;
    Bool on = False;
    Atom a = XInternAtom(dpy, name, False);
    if (a != None && XkbGetNamedIndicator(dpy, a, &ndx, &on, nullptr, nullptr) && ndx >= 0 &&
        ndx < 32)
        return ndx;
    return fallback;
}

bool open_keys(XKeys& k) {
    if (k.tried) return k.dpy != nullptr;
    k.tried = true;
    k.dpy = XOpenDisplay(nullptr);
    if (!k.dpy) return false;
    int op = 0, ev = 0, err = 0, major = XkbMajorVersion, minor = XkbMinorVersion;
    k.xkb = XkbQueryExtension(k.dpy, &op, &ev, &err, &major, &minor);
    if (k.xkb) {
        k.caps_index = indicator_index(k.dpy, "Caps Lock", 0);
        k.num_index = indicator_index(k.dpy, "Num Lock", 1);
        k.scroll_index = indicator_index(k.dpy, "Scroll Lock", 2);
    }
    k.lshift = XKeysymToKeycode(k.dpy, XK_Shift_L);
    k.rshift = XKeysymToKeycode(k.dpy, XK_Shift_R);
    k.lctrl = XKeysymToKeycode(k.dpy, XK_Control_L);
    k.rctrl = XKeysymToKeycode(k.dpy, XK_Control_R);
    k.lalt = XKeysymToKeycode(k.dpy, XK_Alt_L);
    k.ralt = XKeysymToKeycode(k.dpy, XK_Alt_R);
    if (!k.ralt) k.ralt = XKeysymToKeycode(k.dpy, XK_ISO_Level3_Shift);
    k.scroll = XKeysymToKeycode(k.dpy, XK_Scroll_Lock);
    return true;
}

bool key_in(const char map[32], KeyCode c) {
    return c != 0 && (static_cast<unsigned char>(map[c >> 3]) >> (c & 7)) & 1;
}

struct LockToggles {
    bool scroll = false, caps = false, num = false;
};

bool read_toggles(XKeys& k, LockToggles& t) {
    if (!open_keys(k) || !k.xkb) return false;
    unsigned int state = 0;
    if (XkbGetIndicatorState(k.dpy, XkbUseCoreKbd, &state) != Success) return false;
    t.caps = (state >> k.caps_index) & 1;
    t.num = (state >> k.num_index) & 1;
    t.scroll = (state >> k.scroll_index) & 1;
    return true;
}

}  // namespace

void input_initial_lock_state() {
    LockToggles t;
    bool have_toggles = read_toggles(g_service, t);
    char map[32] = {};
    bool have_map = open_keys(g_service);
    if (have_map) XQueryKeymap(g_service.dpy, map);
    if (have_toggles && t.scroll) input_down_add(INPUT_STATE_SCROLL_LOCK);
    if (have_map) {
        const XKeys& k = g_service;
        if (key_in(map, k.scroll)) input_key_event(INPUT_KEY_SCROLL_LOCK, 1);
        if (key_in(map, k.lshift)) input_key_event(INPUT_KEY_LSHIFT, 1);
        if (key_in(map, k.rshift)) input_key_event(INPUT_KEY_RSHIFT, 1);
        if (key_in(map, k.lctrl)) input_key_event(INPUT_KEY_LCTRL, 1);
        if (key_in(map, k.rctrl)) input_key_event(INPUT_KEY_RCTRL, 1);
        if (key_in(map, k.lalt)) input_key_event(INPUT_KEY_LALT, 1);
        if (key_in(map, k.ralt)) input_key_event(INPUT_KEY_RALT, 1);
    }
    if (have_toggles && t.caps) input_key_event(INPUT_KEY_CAPS_LOCK, 1);
    if (have_toggles && t.num) input_key_event(INPUT_KEY_NUM_LOCK, 1);
    input_refresh_status();
}

// A modifier released while another window had the keyboard (Alt+Tab, say) never reaches us
// as a release: the X key map, read at every lock-key alignment, lets it go. Only after the
// map has shown it up twice, so that a release still queued for the main thread comes first.
// Not while the key source listens: it lets keys go when the keyboard leaves, and this map,
// ahead of the events still queued, would let go a modifier pressed again since.
void release_stuck_modifiers(XKeys& k) {
    if (input_x11_keys_live()) return;
    static int up_seen[6] = {};
    const int32_t codes[6] = {INPUT_KEY_LSHIFT, INPUT_KEY_RSHIFT, INPUT_KEY_LCTRL,
                              INPUT_KEY_RCTRL,  INPUT_KEY_LALT,   INPUT_KEY_RALT};
    const KeyCode keys[6] = {k.lshift, k.rshift, k.lctrl, k.rctrl, k.lalt, k.ralt};
    char map[32] = {};
    XQueryKeymap(k.dpy, map);
    for (int i = 0; i < 6; ++i) {
        if (keys[i] == 0 || key_in(map, keys[i]) || !input_down_contains(codes[i])) {
            up_seen[i] = 0;
        } else if (++up_seen[i] >= 2) {
            input_key_event(codes[i], 0);
            up_seen[i] = 0;
        }
    }
}

void input_sync_lock_keys() {
    LockToggles t;
    if (read_toggles(g_service, t)) input_align_locks(t.scroll, t.caps, t.num);
    if (g_service.dpy) release_stuck_modifiers(g_service);
}
