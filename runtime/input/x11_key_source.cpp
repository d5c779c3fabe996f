// The keys the X server sends to the program's window, read on a connection of the runtime's own.
//
// FreeGLUT hands over keys already run through the layout's control-code rules (Ctrl+3 arrives as
// Escape, Shift+Tab as nothing) and never reports Pause. Key press and release are not exclusive
// event masks, so a second connection can select them on the same window and see each key as it
// is: its physical number, its symbols and the modifier state. Keys only reach a window while it
// has the keyboard, so Pause and Break typed into another window never come here.
#include <GL/glx.h>
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <atomic>

#include "runtime/input/input.h"

namespace {

struct KeySource {
    Display* dpy = nullptr;
    Window window = 0;
    unsigned num_lock_mask = 0;
    unsigned level3_mask = 0;  // AltGr: the layout's third level
    int xkb_event = -1;  // the Xkb extension's event type
};
KeySource g_src;  // main thread only

// The error handler is the process's and may run on any thread with a connection.
std::atomic<Display*> g_error_dpy{nullptr};
std::atomic<bool> g_failed{false};  // an X error came back on this connection
std::atomic<XErrorHandler> g_next_handler{nullptr};
std::atomic<bool> g_live{false};  // read by the housekeeping thread

// Errors on this connection (a window gone at shutdown, say) are ours to judge; the rest go on.
int on_x_error(Display* dpy, XErrorEvent* e) {
    if (dpy == g_error_dpy.load()) {
        g_failed.store(true);
        return 0;
    }
    XErrorHandler next = g_next_handler.load();
    return next ? next(dpy, e) : 0;
}

void read_layout() {
    g_src.num_lock_mask = XkbKeysymToModifiers(g_src.dpy, XK_Num_Lock);
    g_src.level3_mask = XkbKeysymToModifiers(g_src.dpy, XK_ISO_Level3_Shift);
}

// The key's symbol in the layout group of `state` with no modifier; a key with fewer groups
// wraps into its own as the server does (F1 stays F1 in a second layout).
uint32_t base_symbol(KeyCode key, unsigned state) {
    unsigned consumed = 0;
    KeySym sym = NoSymbol;
    unsigned group_only = XkbBuildCoreState(0, XkbGroupForCoreState(state));
    if (!XkbLookupKeySym(g_src.dpy, key, group_only, &consumed, &sym))
        return 0;
    return static_cast<uint32_t>(sym);
}

// The symbol the key types with `mods` in the layout group of `state`, Caps Lock applied.
KeySym typed_symbol(KeyCode key, unsigned state, unsigned mods) {
    unsigned consumed = 0;
    KeySym typed = NoSymbol;
    if (!XkbLookupKeySym(g_src.dpy, key, XkbBuildCoreState(mods, XkbGroupForCoreState(state)),
                         &consumed, &typed))
        return NoSymbol;
    if ((mods & LockMask) && !(consumed & LockMask)) {
        KeySym lower = NoSymbol, upper = NoSymbol;
        XConvertCase(typed, &lower, &upper);
        typed = upper;
    }
    return typed;
}

void key_event(const XKeyEvent& k) {
    unsigned state = k.state;
    KeyCode key = static_cast<KeyCode>(k.keycode);
    // The typed symbol takes the layout group, Shift, Caps Lock and Num Lock, never Ctrl or Alt:
    // the translation table, not the layout, says what Ctrl and Alt do.
    unsigned mods = state & (ShiftMask | LockMask | g_src.num_lock_mask);
    KeySym typed = typed_symbol(key, state, mods);
    // AltGr (the third level) is part of the character where the key has one there: "@" on a
    // German Q. Elsewhere it stays the right Alt key.
    bool level3 = false;
    if (g_src.level3_mask && (state & g_src.level3_mask)) {
        KeySym third = typed_symbol(key, state, mods | g_src.level3_mask);
        if (third != NoSymbol && third != typed) {
            typed = third;
            level3 = true;
        }
    }
    int32_t code = input_physical_code(base_symbol(key, state), static_cast<uint32_t>(typed),
                                       (state & ControlMask) != 0);
    input_physical_key(static_cast<int32_t>(k.keycode), code, k.type == KeyPress, level3);
}

// After the window gets the keyboard: what the server says is held. Keys released elsewhere let
// go; modifiers pressed elsewhere count as held.
void keymap_event(const XKeymapEvent& m) {
    bool down[kPhysicalKeys] = {};
    for (int32_t key = 8; key < kPhysicalKeys; ++key)
        down[key] = (static_cast<unsigned char>(m.key_vector[key >> 3]) >> (key & 7)) & 1;
    input_physical_keys_up(down);
    for (int32_t key = 8; key < kPhysicalKeys; ++key) {
        if (!down[key]) continue;
        int32_t code = input_physical_code(base_symbol(static_cast<KeyCode>(key), 0), 0, false);
        if (code >= INPUT_KEY_RSHIFT && code <= INPUT_KEY_LALT) input_physical_key_held(key, code);
    }
}

}  // namespace

bool input_x11_keys_open() {
    if (g_src.dpy) return true;
    Window window = glXGetCurrentDrawable();
    if (window == None) return false;
    Display* dpy = XOpenDisplay(nullptr);
    if (!dpy) return false;
    int op = 0, ev = 0, err = 0, major = XkbMajorVersion, minor = XkbMinorVersion;
    if (!XkbQueryExtension(dpy, &op, &ev, &err, &major, &minor)) {
        XCloseDisplay(dpy);
        return false;
    }
    g_error_dpy.store(dpy);
    g_failed.store(false);
    XErrorHandler previous = XSetErrorHandler(on_x_error);
    if (previous != on_x_error) g_next_handler.store(previous);
    // The drawable must be the window itself, not a separate GLX window.
    XWindowAttributes a;
    bool ok = XGetWindowAttributes(dpy, window, &a) != 0 && !g_failed.load();
    if (ok) {
        XSelectInput(dpy, window,
                     KeyPressMask | KeyReleaseMask | FocusChangeMask | KeymapStateMask);
        // A held key repeats as presses alone, as on the PC, not as release and press pairs.
        Bool detectable = False;
        XkbSetDetectableAutoRepeat(dpy, True, &detectable);
        XkbSelectEvents(dpy, XkbUseCoreKbd, XkbNewKeyboardNotifyMask | XkbMapNotifyMask,
                        XkbNewKeyboardNotifyMask | XkbMapNotifyMask);
        XSync(dpy, False);
        ok = !g_failed.load();
    }
    if (!ok) {
        g_error_dpy.store(nullptr);
        XCloseDisplay(dpy);
        return false;
    }
    g_src.dpy = dpy;
    g_src.xkb_event = ev;
    g_src.window = window;
    read_layout();
    g_live.store(true);
    return true;
}

bool input_x11_keys_live() { return g_live.load(); }

void input_x11_keys_pump() {
    Display* dpy = g_src.dpy;
    if (!dpy) return;
    while (XPending(dpy) > 0) {
        XEvent e;
        XNextEvent(dpy, &e);
        switch (e.type) {
            case KeyPress:
            case KeyRelease:
                // Only the keyboard's own keys: another program's sent events reach the window
                // whoever has the keyboard.
                if (!e.xany.send_event) key_event(e.xkey);
                break;
            case FocusOut:
                // The keyboard went elsewhere: its releases will not come here.
                if (e.xfocus.detail != NotifyInferior) input_physical_keys_up(nullptr);
                break;
            case KeymapNotify:
                keymap_event(e.xkeymap);
                break;
            case MappingNotify:
                XRefreshKeyboardMapping(&e.xmapping);
                read_layout();
                break;
            default:
                if (e.type == g_src.xkb_event) read_layout();  // a new layout
                break;
        }
    }
}
