#include <gtest/gtest.h>

#include "runtime/frame/window_identity.h"

namespace {

// The window's icon: each size in order as width, height and its pixels, with a transparent
// background and an opaque middle (the cube).
TEST(WindowIcon, EverySizeIsListedWithItsPixels) {
    std::vector<unsigned long> v = frame_icon_property();
    size_t at = 0;
    for (int32_t side : {16, 32, 48, 128}) {
        ASSERT_LT(at + 2, v.size()) << side;
        EXPECT_EQ(v[at], static_cast<unsigned long>(side));
        EXPECT_EQ(v[at + 1], static_cast<unsigned long>(side));
        const unsigned long* px = &v[at + 2];
        EXPECT_EQ(px[0] >> 24, 0u) << side;                            // a corner: transparent
        EXPECT_EQ(px[(side / 2) * side + side / 2] >> 24, 255u) << side;  // the middle: opaque
        at += 2 + static_cast<size_t>(side) * side;
    }
    EXPECT_EQ(at, v.size());
}

}  // namespace
