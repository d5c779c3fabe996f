// The input tests' set-up: the display tests' runtime with empty key and mouse queues.
#pragma once
#include <cstdint>
#include <string>

#include "display/display_support.h"

class InputTest : public DisplayTest {
protected:
    void SetUp() override;

    // A key pressed and released.
    static void press(int32_t code);
    static void hold(int32_t code);
    static void release(int32_t code);
    // The next key from the ring as bytes ("" when none); frees the temporary.
    static std::string inkey();
};

// Two-byte key string (0, scan).
std::string ext(int scan);
