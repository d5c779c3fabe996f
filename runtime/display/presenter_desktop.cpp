// The desktop presenter: shows the newest finished frame in the FreeGLUT window as a texture.
#include <GL/glew.h>
#include <GL/freeglut.h>

#include "runtime/core/platform.h"
#include "runtime/core/run_state.h"
#include "runtime/display/display.h"

namespace {

// Presenter memory; main thread only.
struct Presenter {
    bool presenting = false;
    int32_t client_w = 0, client_h = 0;
    int32_t prev_client_w = 0, prev_client_h = 0;
    bool reshape_pending = false;
    bool size_follows_frame = true;
    int32_t prev_frame_w = 0, prev_frame_h = 0;
    GLuint texture = 0;
    int32_t texture_w = 0, texture_h = 0;
    GLuint dialog_texture = 0;
    uint64_t dialog_serial = 0;
    int32_t dialog_tex_w = 0, dialog_tex_h = 0;
};
Presenter g_pr;

int32_t power_of_two(int32_t v) {
    int32_t p = 1;
    while (p < v && p < (1 << 30)) p <<= 1;
    return p;
}

// Makes a texture from 0xAARRGGBB pixels; falls back to power-of-two sides.
bool make_texture(GLuint& tex, int32_t& tw, int32_t& th, const uint32_t* px, int32_t w, int32_t h) {
    if (tex) glDeleteTextures(1, &tex);
    tex = 0;
    while (glGetError() != GL_NO_ERROR) {
    }
    glGenTextures(1, &tex);
    glBindTexture(GL_TEXTURE_2D, tex);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, w, h, 0, GL_BGRA, GL_UNSIGNED_BYTE, px);
    if (glGetError() == GL_NO_ERROR) {
        tw = w;
        th = h;
        return true;
    }
    int32_t pw = power_of_two(w), ph = power_of_two(h);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, pw, ph, 0, GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
    if (glGetError() == GL_NO_ERROR) {
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, w, h, GL_BGRA, GL_UNSIGNED_BYTE, px);
        if (glGetError() == GL_NO_ERROR) {
            tw = pw;
            th = ph;
            return true;
        }
    }
    glDeleteTextures(1, &tex);
    tex = 0;
    return false;
}

// Two triangles over (x, y, w, h) showing the w_px x h_px frame at the texture's top-left,
// 0.01 texel inside each edge.
void draw_textured(GLuint tex, int32_t tw, int32_t th, int32_t w_px, int32_t h_px, float x,
                   float y, float w, float h, bool smooth) {
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, tex);
    GLint filter = smooth ? GL_LINEAR : GL_NEAREST;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    float u0 = 0.01f / tw, u1 = (w_px - 1 + 0.99f) / tw;
    float v0 = 0.01f / th, v1 = (h_px - 1 + 0.99f) / th;
    const GLfloat verts[12] = {x, y, x + w, y, x + w, y + h, x, y, x + w, y + h, x, y + h};
    const GLfloat coords[12] = {u0, v0, u1, v0, u1, v1, u0, v0, u1, v1, u0, v1};
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glVertexPointer(2, GL_FLOAT, 0, verts);
    glTexCoordPointer(2, GL_FLOAT, 0, coords);
    glDrawArrays(GL_TRIANGLES, 0, 6);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisable(GL_TEXTURE_2D);
}

void draw_black(float x, float y, float w, float h) {
    const GLfloat verts[12] = {x, y, x + w, y, x + w, y + h, x, y, x + w, y + h, x, y + h};
    glColor4f(0, 0, 0, 1);
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(2, GL_FLOAT, 0, verts);
    glDrawArrays(GL_TRIANGLES, 0, 6);
    glDisableClientState(GL_VERTEX_ARRAY);
    glColor4f(1, 1, 1, 1);
}

void draw_dialog() {
    DialogLayout l;
    uint64_t serial = 0;
    const uint32_t* px = disp_dialog_picture(&l, &serial);
    disp_presenter.dialog_drawn = px != nullptr;
    if (!px) return;
    if (serial != g_pr.dialog_serial || !g_pr.dialog_texture) {
        if (!make_texture(g_pr.dialog_texture, g_pr.dialog_tex_w, g_pr.dialog_tex_h, px, l.width,
                          l.height))
            return;
        g_pr.dialog_serial = serial;
    }
    // As large as the page's pixels, when it fits.
    int32_t n = disp_window_scale();
    while (n > 1 && (l.width * n > g_pr.client_w || l.height * n > g_pr.client_h)) --n;
    int32_t left = (g_pr.client_w - l.width * n) / 2, top = (g_pr.client_h - l.height * n) / 2;
    if (left < 0) left = 0;
    if (top < 0) top = 0;
    disp_dialog_place(left, top, n);
    draw_textured(g_pr.dialog_texture, g_pr.dialog_tex_w, g_pr.dialog_tex_h, l.width, l.height,
                  static_cast<float>(left), static_cast<float>(top), static_cast<float>(l.width * n),
                  static_cast<float>(l.height * n), false);
}

}  // namespace

void disp_present() {
    if (g_pr.presenting || disp_window_closed()) return;
    g_pr.presenting = true;
    PresentDecision d = disp_present_choose();
    if (d.slot >= 0 && disp_hooks.frame_shown) disp_hooks.frame_shown(disp_slots[d.slot], d.draw && d.upload);
    if (!d.draw) {
        g_pr.presenting = false;
        return;
    }
    const FrameSlot& slot = disp_slots[d.slot];
    int32_t w = slot.width, h = slot.height;

    // The window follows the frame, N times larger.
    disp_presenter.window_reshaped = false;
    ScreenModeState sm = disp_screen_state();
    const int32_t n = disp_window_scale();
    if (sm.mode == 0 && sm.requested == -1) {
        bool size_changed = w != g_pr.prev_frame_w || h != g_pr.prev_frame_h;
        if ((g_pr.client_w != w * n || g_pr.client_h != h * n) && (g_pr.size_follows_frame || size_changed)) {
            glutReshapeWindow(w * n, h * n);
            glutPostRedisplay();
            g_pr.reshape_pending = true;
        }
    }
    g_pr.prev_frame_w = w;
    g_pr.prev_frame_h = h;

    // Full-screen request.
    if (!g_pr.reshape_pending && sm.requested != -1) {
        if (sm.requested != 0) {
            if (sm.mode == 0) glutFullScreen();
        } else if (sm.mode != 0) {
            glutLeaveFullScreen();
            glutReshapeWindow(w * n, h * n);
            glutPostRedisplay();
            g_pr.reshape_pending = true;
        }
        ScreenModeState now = disp_screen_state();
        now.mode = sm.requested;
        if (now.requested == sm.requested) now.requested = -1;
        disp_set_screen_state(now);
        sm = now;
    }

    Placement p = disp_compute_placement(g_pr.client_w, g_pr.client_h, w, h, sm.mode, n);
    disp_publish_placement(p, w, h);

    // One unit is one client pixel, y downwards.
    glViewport(0, 0, g_pr.client_w, g_pr.client_h);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, g_pr.client_w, g_pr.client_h, 0, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (d.upload || !g_pr.texture) {
        if (make_texture(g_pr.texture, g_pr.texture_w, g_pr.texture_h, slot.pixels, w, h)) {
            disp_stats.uploads.fetch_add(1, std::memory_order_relaxed);
        } else {
            disp_presenter.texture_slot = -1;
            frame_message_box("Alert", "Invalid software_screen_hardware_frame!!", FRAME_BOX_OK, 0);
        }
    }
    if (g_pr.texture) {
        bool one_to_one = g_pr.client_w == w && g_pr.client_h == h;
        bool smooth = sm.mode != 0 && sm.smooth && !one_to_one;
        draw_textured(g_pr.texture, g_pr.texture_w, g_pr.texture_h, w, h,
                      static_cast<float>(p.left), static_cast<float>(p.top),
                      static_cast<float>(p.width), static_cast<float>(p.height), smooth);
    }
    if (p.bars == 1) {
        draw_black(0, 0, static_cast<float>(p.left), static_cast<float>(g_pr.client_h));
        float right = static_cast<float>(p.left + p.width);
        draw_black(right, 0, g_pr.client_w - right, static_cast<float>(g_pr.client_h));
    } else if (p.bars == 2) {
        draw_black(0, 0, static_cast<float>(g_pr.client_w), static_cast<float>(p.top));
        float bottom = static_cast<float>(p.top + p.height);
        draw_black(0, bottom, static_cast<float>(g_pr.client_w), g_pr.client_h - bottom);
    }
    draw_dialog();
    disp_stats.draws.fetch_add(1, std::memory_order_relaxed);

    // While paused the window keeps its last picture (a box is still shown).
    if (!(frame_run.suspended.load() & 1) || disp_presenter.dialog_drawn) glutSwapBuffers();
    g_pr.presenting = false;
}

static void disp_redraw_timer(int) {
    if (!disp_window_closed()) {
        glutPostRedisplay();
        if (disp_hooks.redraw_tick) disp_hooks.redraw_tick();
    }
    int32_t interval = disp_redraw_rate > 0 ? static_cast<int32_t>(1000.0 / disp_redraw_rate) : 16;
    frame_sleep_ms(4);
    int32_t next = interval - 4;
    glutTimerFunc(static_cast<unsigned>(next < 1 ? 1 : next), disp_redraw_timer, 0);
}

static void disp_reshape(int width, int height) {
    g_pr.prev_client_w = g_pr.client_w;
    g_pr.prev_client_h = g_pr.client_h;
    g_pr.client_w = width;
    g_pr.client_h = height;
    g_pr.reshape_pending = false;
    disp_presenter.window_reshaped = true;
    glViewport(0, 0, width, height);
}

void disp_register_callbacks() {
    g_pr.client_w = glutGet(GLUT_WINDOW_WIDTH);
    g_pr.client_h = glutGet(GLUT_WINDOW_HEIGHT);
    glutSetOption(GLUT_ACTION_ON_WINDOW_CLOSE, GLUT_ACTION_CONTINUE_EXECUTION);
    glutDisplayFunc(disp_present);
    glutTimerFunc(8, disp_redraw_timer, 0);
    glutReshapeFunc(disp_reshape);
    glutCloseFunc(disp_close_window);
}
