// Shared set-up for the display and input tests: a fresh runtime without a window.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

class DisplayTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A key pressed and released.
    static void press(int32_t code);
    static void hold(int32_t code);
    static void release(int32_t code);
    // The next key from the ring as bytes ("" when none); frees the temporary.
    static std::string inkey();
    // Mode 12 with page p shown (the write page is p xor 1... as the program sets it: draw on
    // p, show p xor 1).
    static void mode12(int32_t p = 0);
};

// Two-byte key string (0, scan).
std::string ext(int scan);
