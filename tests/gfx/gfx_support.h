// Shared set-up for the screen and drawing tests.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "runtime/core/error.h"
#include "runtime/gfx/image.h"
#include "runtime/text/string_value.h"

class GfxTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Mode 12 as the application sets it: draw on page p, show page p xor 1.
    static void mode12(int32_t p = 0);
    static ImageSurface* wp() { return gfx_images.write_page; }
    static uint8_t px(int32_t x, int32_t y) { return wp()->pixels[y * wp()->width + x]; }
    static int64_t count(uint8_t colour);  // pixels of the write page with this value
    static int64_t count_not(uint8_t colour);
    static uint32_t error() { return frame_error.error_number; }
    static void clear_error();
    // Prints `text` as a read-only temporary (as a literal would be).
    static void print(const std::string& text, int32_t end_line = 0);
};

uint64_t gfx_fnv1a(const uint8_t* data, size_t n);
