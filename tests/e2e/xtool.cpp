// A small X11 tool for the end-to-end tests:
//   xtool find TITLE            window id of the top-level window with that title (waits 30 s:
//                               a loaded machine starts the program slowly)
//   xtool close WIN             sends WM_DELETE_WINDOW, as a window manager's close button does
//   xtool size WIN              prints "W H" of the window
//   xtool resize WIN W H        asks for a new size
//   xtool move WIN X Y          moves the window (a grab needs it wholly on the screen)
//   xtool grab WIN FILE.ppm     writes the window's pixels as a binary PPM
//   xtool window TITLE          opens a plain window with that title and keeps it until killed
//   xtool sendkey WIN KEYCODE   sends a press and a release of that key straight to the window
//                               (XSendEvent, as another program can)
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

Window find_named(Display* d, Window w, const char* title) {
    char* name = nullptr;
    if (XFetchName(d, w, &name) && name) {
        bool match = std::strcmp(name, title) == 0;
        XFree(name);
        if (match) return w;
    }
    Window root, parent, *children = nullptr;
    unsigned n = 0;
    if (!XQueryTree(d, w, &root, &parent, &children, &n)) return 0;
    Window found = 0;
    for (unsigned i = 0; i < n && !found; ++i) found = find_named(d, children[i], title);
    if (children) XFree(children);
    return found;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    Display* d = XOpenDisplay(nullptr);
    if (!d) {
        std::fprintf(stderr, "xtool: no display\n");
        return 2;
    }
    std::string cmd = argv[1];
    if (cmd == "find") {
        for (int i = 0; i < 600; ++i) {
            Window w = find_named(d, DefaultRootWindow(d), argv[2]);
            if (w) {
                std::printf("%lu\n", w);
                return 0;
            }
            usleep(50000);
        }
        return 1;
    }
    if (cmd == "window") {
        Window w = XCreateSimpleWindow(d, DefaultRootWindow(d), 700, 0, 200, 200, 0, 0, 0);
        XStoreName(d, w, argv[2]);
        XSelectInput(d, w, KeyPressMask | KeyReleaseMask);
        XMapWindow(d, w);
        XSync(d, False);
        for (;;) {
            XEvent ev;
            XNextEvent(d, &ev);  // keys typed here go nowhere
        }
    }
    Window w = std::strtoul(argv[2], nullptr, 0);
    if (cmd == "close") {
        XEvent ev{};
        ev.xclient.type = ClientMessage;
        ev.xclient.window = w;
        ev.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
        ev.xclient.format = 32;
        ev.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
        ev.xclient.data.l[1] = CurrentTime;
        XSendEvent(d, w, False, NoEventMask, &ev);
        XSync(d, False);  // the server has taken the request before this client goes away
        return 0;
    }
    if (cmd == "size") {
        XWindowAttributes a;
        if (!XGetWindowAttributes(d, w, &a)) return 1;
        std::printf("%d %d\n", a.width, a.height);
        return 0;
    }
    if (cmd == "sendkey" && argc >= 4) {
        XKeyEvent k{};
        k.display = d;
        k.window = w;
        k.root = DefaultRootWindow(d);
        k.same_screen = True;
        k.keycode = static_cast<unsigned>(std::atoi(argv[3]));
        for (int type : {KeyPress, KeyRelease}) {
            k.type = type;
            XEvent ev{};
            ev.xkey = k;
            XSendEvent(d, w, True, type == KeyPress ? KeyPressMask : KeyReleaseMask, &ev);
        }
        XSync(d, False);
        return 0;
    }
    if (cmd == "move" && argc >= 5) {
        XMoveWindow(d, w, std::atoi(argv[3]), std::atoi(argv[4]));
        XSync(d, False);
        return 0;
    }
    if (cmd == "resize" && argc >= 5) {
        XResizeWindow(d, w, static_cast<unsigned>(std::atoi(argv[3])),
                      static_cast<unsigned>(std::atoi(argv[4])));
        XSync(d, False);
        return 0;
    }
    if (cmd == "grab" && argc >= 4) {
        XWindowAttributes a;
        if (!XGetWindowAttributes(d, w, &a)) return 1;
        // Read from the root window so that a window partly off the screen still reads.
        int rx = 0, ry = 0;
        Window child;
        XTranslateCoordinates(d, w, DefaultRootWindow(d), 0, 0, &rx, &ry, &child);
        for (int tries = 0; (rx < 0 || ry < 0) && tries < 20; ++tries) {
            // Without a window manager the window may sit at (-1, -1): bring it onto the screen.
            XMoveWindow(d, w, 0, 0);
            XSync(d, False);
            usleep(50000);
            XTranslateCoordinates(d, w, DefaultRootWindow(d), 0, 0, &rx, &ry, &child);
        }
        if (rx < 0 || ry < 0) {
            std::fprintf(stderr, "xtool: window at %d,%d is off the screen\n", rx, ry);
            return 1;
        }
        XImage* img = XGetImage(d, DefaultRootWindow(d), rx, ry, static_cast<unsigned>(a.width),
                                static_cast<unsigned>(a.height), AllPlanes, ZPixmap);
        if (!img) return 1;
        FILE* f = std::fopen(argv[3], "wb");
        if (!f) return 1;
        std::fprintf(f, "P6\n%d %d\n255\n", a.width, a.height);
        for (int y = 0; y < a.height; ++y)
            for (int x = 0; x < a.width; ++x) {
                unsigned long p = XGetPixel(img, x, y);
                unsigned char rgb[3] = {static_cast<unsigned char>((p >> 16) & 255),
                                        static_cast<unsigned char>((p >> 8) & 255),
                                        static_cast<unsigned char>(p & 255)};
                std::fwrite(rgb, 1, 3, f);
            }
        std::fclose(f);
        XDestroyImage(img);
        return 0;
    }
    return 2;
}
