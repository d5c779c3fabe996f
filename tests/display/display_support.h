// Shared set-up for the display, input and recording tests: a fresh runtime without a window.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>

class DisplayTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Mode 12 with page p shown (the write page is p xor 1... as the program sets it: draw on
    // p, show p xor 1).
    static void mode12(int32_t p = 0);
};
