// The window's identity for the desktop: task bars and docks match the window to the menu entry
// by its class, show its icon and know its process.
#include "runtime/frame/window_identity.h"

#include <GL/glx.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

namespace {

// Errors on this connection (a drawable that is not a window, say) only mean no names.
std::atomic<Display*> g_dpy{nullptr};
std::atomic<bool> g_failed{false};
XErrorHandler g_previous = nullptr;

int on_x_error(Display* dpy, XErrorEvent* e) {
    if (dpy == g_dpy.load()) {
        g_failed.store(true);
        return 0;
    }
    return g_previous ? g_previous(dpy, e) : 0;
}

}  // namespace

std::vector<unsigned long> frame_icon_property() {
    std::vector<unsigned long> v;
    for (int32_t i = 0; i < frame_icon_count; ++i) {
        const FrameIcon& icon = frame_icons[i];
        v.push_back(static_cast<unsigned long>(icon.width));
        v.push_back(static_cast<unsigned long>(icon.height));
        v.insert(v.end(), icon.argb, icon.argb + static_cast<size_t>(icon.width) * icon.height);
    }
    return v;
}

bool frame_name_window(const char* title) {
    Window window = glXGetCurrentDrawable();
    if (window == None) return false;
    // A connection of its own for these few requests; the properties stay with the window.
    Display* dpy = XOpenDisplay(nullptr);
    if (!dpy) return false;
    g_dpy.store(dpy);
    g_failed.store(false);
    g_previous = XSetErrorHandler(on_x_error);
    XWindowAttributes a;
    if (!XGetWindowAttributes(dpy, window, &a) || g_failed.load()) {
        XSetErrorHandler(g_previous);
        g_dpy.store(nullptr);
        XCloseDisplay(dpy);
        return false;
    }
    XStoreName(dpy, window, title);
    Atom utf8 = XInternAtom(dpy, "UTF8_STRING", False);
    XChangeProperty(dpy, window, XInternAtom(dpy, "_NET_WM_NAME", False), utf8, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(title), static_cast<int>(std::strlen(title)));
    char name[] = "kavaro", cls[] = "Kavaro";
    XClassHint hint{name, cls};
    XSetClassHint(dpy, window, &hint);
    // Format 32 properties are passed as longs, whatever their width on the wire.
    long pid = static_cast<long>(getpid());
    XChangeProperty(dpy, window, XInternAtom(dpy, "_NET_WM_PID", False), XA_CARDINAL, 32,
                    PropModeReplace, reinterpret_cast<unsigned char*>(&pid), 1);
    std::vector<unsigned long> icon = frame_icon_property();
    XChangeProperty(dpy, window, XInternAtom(dpy, "_NET_WM_ICON", False), XA_CARDINAL, 32,
                    PropModeReplace, reinterpret_cast<unsigned char*>(icon.data()),
                    static_cast<int>(icon.size()));
    XSync(dpy, False);
    bool ok = !g_failed.load();
    XSetErrorHandler(g_previous);
    g_dpy.store(nullptr);
    XCloseDisplay(dpy);
    return ok;
}
