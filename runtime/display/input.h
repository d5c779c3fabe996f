// Keyboard ring, key-down list and mouse queue.
#pragma once
#include <cstdint>

#include "runtime/text/string_value.h"

enum InputMouseKind : int32_t {
    INPUT_MOUSE_DOWN = 1,
    INPUT_MOUSE_UP = 2,
    INPUT_MOUSE_MOTION = 3,
    INPUT_MOUSE_WHEEL = 4,
};

// Start-up: empty ring (head = tail = 30), empty down list, zeroed mouse queue.
void input_init();

// Main thread.
void input_key_event(int32_t code, int32_t down);
// kind INPUT_MOUSE_WHEEL: button holds the direction (> 0 up, < 0 down).
void input_mouse_event(int32_t kind, int32_t button, int32_t x, int32_t y);

// Program thread.
StringValue* input_inkey();
int32_t input_key_down(int32_t code);
int32_t input_mouse_poll();
float input_mouse_x();
float input_mouse_y();
int32_t input_mouse_button(int32_t n);
