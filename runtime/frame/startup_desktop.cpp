// The desktop's start-up: an X display, the FreeGLUT window and its event loop for good.
#include <GL/glew.h>
#include <GL/freeglut.h>
#include <X11/Xlib.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>

#include "runtime/core/platform.h"
#include "runtime/display/display.h"
#include "runtime/frame/options.h"
#include "runtime/frame/startup.h"
#include "runtime/frame/window_identity.h"
#include "runtime/input/input.h"

namespace {
const char kWindowTitle[] = "Kavaro";
// GL_EXT_framebuffer_object is there (found at start-up).
bool g_fbo_available = false;
}  // namespace

std::string frame_platform_program_path() {
    char exe[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    exe[n > 0 ? n : 0] = '\0';
    return exe;
}

int frame_platform_ended(int status) { return status; }

int frame_platform_run(int argc, char** argv, const std::string& exe) {
    // Xlib is used from the main and the housekeeping thread (each with a connection of its own).
    XInitThreads();
    int status = frame_settle_state_folder(exe);
    if (status >= 0) return status;

    // Without an X display there is no window to show: say so before anything starts.
    Display* probe = XOpenDisplay(nullptr);
    if (!probe) {
        std::fprintf(stderr, "kavaro: cannot open the X display \"%s\"; a graphical session is needed\n",
                     std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "");
        return 1;
    }
    XCloseDisplay(probe);

    // The window calls up to the keys only through this.
    disp_hooks.redraw_tick = input_x11_keys_pump;
    frame_start_program();

    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_DOUBLE | GLUT_DEPTH);
    // --scale auto measures the screen against the program's 640 x 480 page.
    int32_t scale = frame_options.scale > 0 ? frame_options.scale
                                            : disp_auto_scale(glutGet(GLUT_SCREEN_WIDTH),
                                                              glutGet(GLUT_SCREEN_HEIGHT), 640, 480);
    disp_set_window_scale(scale);
    glutInitWindowSize(640 * scale, 400 * scale);
    if (glutGet(GLUT_DISPLAY_MODE_POSSIBLE) == 0) {
        disp_set_window_expected(0);
        // At once: the files belong to the program thread, which is running.
        frame_platform.close_all_files = nullptr;
        frame_exit(1);
    }
    glutCreateWindow(kWindowTitle);
    frame_name_window(kWindowTitle);
    disp_window_created();

    GLenum err = glewInit();
    if (err != GLEW_OK)
        frame_message_box("Alert", reinterpret_cast<const char*>(glewGetErrorString(err)),
                          FRAME_BOX_OK, 0);
    else if (glewIsSupported("GL_EXT_framebuffer_object"))
        g_fbo_available = true;

    disp_register_callbacks();
    input_register_callbacks();
    glutMainLoop();
    // The loop returns once the window is gone; the housekeeping shutdown ends the process.
    for (;;) frame_sleep_ms(16);
}
