// FreeGLUT keyboard and mouse callbacks: translate and hand over to the input operations.
#include <GL/freeglut.h>

#include "runtime/display/display.h"
#include "runtime/input/input.h"

int32_t input_translate_char(unsigned char ch, bool ctrl_held, bool shift_held) {
    int32_t c = ch;
    if (ctrl_held) {
        // FreeGLUT hands over control codes; the translation table wants the letter.
        if (c == 10)
            c = 13;
        else if (c >= 1 && c <= 26)
            c += shift_held ? 64 : 96;
    }
    if (c == 127) return 0x5300;  // Delete
    return c;
}

int32_t input_translate_special(int key) {
    if (key >= 1 && key <= 10) return 0x3B00 + (key - 1) * 0x100;
    switch (key) {
        case 11: return 0x8500;
        case 12: return 0x8600;
        case 100: return 0x4B00;
        case 101: return 0x4800;
        case 102: return 0x4D00;
        case 103: return 0x5000;
        case 104: return 0x4900;
        case 105: return 0x5100;
        case 106: return 0x4700;
        case 107: return 0x4F00;
        case 108: return 0x5200;
        case 112: return INPUT_KEY_LSHIFT;
        case 113: return INPUT_KEY_RSHIFT;
        case 114: return INPUT_KEY_LCTRL;
        case 115: return INPUT_KEY_RCTRL;
        case 116: return INPUT_KEY_LALT;
        case 117: return INPUT_KEY_RALT;
        default: return 0;
    }
}

namespace {

void typed(unsigned char ch, int32_t down) {
    int mods = glutGetModifiers();
    int32_t code = input_translate_char(ch, (mods & GLUT_ACTIVE_CTRL) != 0,
                                        (mods & GLUT_ACTIVE_SHIFT) != 0);
    if (disp_dialog_open()) {
        // Presses answer the box; a release still lets go of a key held before it opened.
        if (down)
            disp_dialog_key(ch);
        else if (input_down_contains(code))
            input_key_event(code, 0);
        return;
    }
    // On X11 FreeGLUT drops the press of Shift+Tab (ISO_Left_Tab has no text) and reports
    // only its release as Tab, often after the Shift release: a Tab release that was never
    // pressed stands for a whole Shift+Tab.
    if (!down && code == 9 && !input_down_contains(9)) input_key_event_shifted(9);
    input_key_event(code, down);
}

void special(int key, int32_t down) {
    int32_t code = input_translate_special(key);
    if (code == 0) return;
    // Modifiers keep the down list right even while a box is open; other keys go to the box.
    bool modifier = code >= INPUT_KEY_RSHIFT && code <= INPUT_KEY_LALT;
    if (!modifier && disp_dialog_open() && (down || !input_down_contains(code))) return;
    input_key_event(code, down);
}

}  // namespace

void input_glut_keyboard(unsigned char ch, int, int) { typed(ch, 1); }
void input_glut_keyboard_up(unsigned char ch, int, int) { typed(ch, 0); }
void input_glut_special(int key, int, int) { special(key, 1); }
void input_glut_special_up(int key, int, int) { special(key, 0); }

void input_glut_mouse(int button, int state, int x, int y) {
    if (disp_dialog_open() && state == GLUT_DOWN) {
        if (button == GLUT_LEFT_BUTTON) disp_dialog_click(x, y);
        return;
    }
    input_mouse_event(state == GLUT_DOWN ? INPUT_MOUSE_DOWN : INPUT_MOUSE_UP, button, x, y);
}

void input_glut_motion(int x, int y) { input_mouse_event(INPUT_MOUSE_MOTION, 0, x, y); }

void input_glut_wheel(int, int direction, int x, int y) {
    if (disp_dialog_open()) return;
    input_mouse_event(INPUT_MOUSE_WHEEL, direction, x, y);
}

void input_register_callbacks() {
    // Keys come from the X server as they are; FreeGLUT's own key callbacks only stand in when
    // that cannot be had, so that each key arrives once.
    if (!input_x11_keys_open()) {
        glutKeyboardFunc(input_glut_keyboard);
        glutKeyboardUpFunc(input_glut_keyboard_up);
        glutSpecialFunc(input_glut_special);
        glutSpecialUpFunc(input_glut_special_up);
    }
    glutMouseFunc(input_glut_mouse);
    glutMotionFunc(input_glut_motion);
    glutPassiveMotionFunc(input_glut_motion);
    glutMouseWheelFunc(input_glut_wheel);
}
