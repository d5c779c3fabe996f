#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "runtime/core/platform.h"
#include "runtime/display/display.h"
#include "runtime/gfx/image.h"

namespace {

TEST(DialogLayoutTest, ButtonsLieInsideTheBoxAndAnswer) {
    DialogLayout l = disp_dialog_layout("Unhandled Error #9",
                                        "Line: 120 (in main module)\nSubscript out of range\nContinue?",
                                        FRAME_BOX_YES_NO);
    EXPECT_EQ(l.line_count, 3);
    ASSERT_EQ(l.buttons, 2);
    EXPECT_GT(l.button_x[0], 0);
    EXPECT_LE(l.button_x[1] + l.button_w, l.width);
    EXPECT_LE(l.button_y + l.button_h, l.height);
    int32_t cy = l.button_y + l.button_h / 2;
    EXPECT_EQ(disp_dialog_hit(l, l.button_x[0] + 5, cy), 1);
    EXPECT_EQ(disp_dialog_hit(l, l.button_x[1] + 5, cy), 0);
    EXPECT_EQ(disp_dialog_hit(l, l.button_x[1] + l.button_w, cy), -1);
    EXPECT_EQ(disp_dialog_hit(l, l.button_x[0] + 5, 2), -1);

    DialogLayout ok = disp_dialog_layout("Alert", "x", FRAME_BOX_OK);
    EXPECT_EQ(ok.buttons, 1);
    EXPECT_EQ(disp_dialog_hit(ok, ok.button_x[0] + 1, ok.button_y + 1), 1);
}

TEST(DialogLayoutTest, LongLinesWrapAndTheBoxHoldsTheText) {
    std::string text(200, 'x');
    DialogLayout l = disp_dialog_layout("C", text.c_str(), FRAME_BOX_OK);
    EXPECT_EQ(l.line_count, 3);  // 76 + 76 + 48
    EXPECT_GE(l.width, 76 * 8);
    std::vector<uint32_t> px(static_cast<size_t>(l.width) * l.height, 0);
    disp_dialog_render(l, "C", text.c_str(), FRAME_BOX_OK, px.data());
    for (uint32_t p : px) ASSERT_NE(p, 0u);  // every pixel painted
    EXPECT_EQ(px[0], 0xFF000000u);           // border
    EXPECT_EQ(px[static_cast<size_t>(l.width) * 10 + l.width - 3], 0xFF0000AAu);  // caption bar
}

TEST(DialogHandover, WithoutAWindowTheAnswerIsYesAtOnce) {
    disp_set_window_expected(0);
    EXPECT_EQ(disp_message_box("Alert", "text", FRAME_BOX_YES_NO, 0), 1);
    EXPECT_FALSE(disp_dialog_open());
}

// The test thread plays the main thread: it waits for the box and answers it.
int32_t ask_and_answer(int32_t kind, void (*answer)()) {
    disp_set_window_expected(1);
    std::atomic<int32_t> result{-1};
    std::thread asker([&] { result.store(disp_message_box("Cap", "Line", kind, 0)); });
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!disp_dialog_open() && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_TRUE(disp_dialog_open());
    EXPECT_EQ(result.load(), -1);  // still waiting
    answer();
    asker.join();
    disp_set_window_expected(0);
    EXPECT_FALSE(disp_dialog_open());
    return result.load();
}

TEST(DialogHandover, KeysAnswerTheBox) {
    EXPECT_EQ(ask_and_answer(FRAME_BOX_YES_NO, [] { disp_dialog_key('n'); }), 0);
    EXPECT_EQ(ask_and_answer(FRAME_BOX_YES_NO, [] { disp_dialog_key(27); }), 0);
    EXPECT_EQ(ask_and_answer(FRAME_BOX_YES_NO, [] { disp_dialog_key('Y'); }), 1);
    EXPECT_EQ(ask_and_answer(FRAME_BOX_YES_NO, [] {
                  disp_dialog_key('q');  // ignored
                  disp_dialog_key(13);
              }),
              1);
}

TEST(DialogHandover, AnOkBoxBeforeTheWindowExistsIsNotWaitedFor) {
    disp_set_window_expected(1);
    EXPECT_EQ(disp_message_box("Critical Error", "Out of memory", FRAME_BOX_OK, 0), 1);
    EXPECT_FALSE(disp_dialog_open());
    disp_set_window_expected(0);
}

TEST(DialogHandover, ClicksOnTheButtonsAnswerTheBox) {
    EXPECT_EQ(ask_and_answer(FRAME_BOX_YES_NO, [] {
                  DialogLayout l;
                  disp_dialog_picture(&l, nullptr);
                  disp_dialog_place(100, 50);
                  disp_dialog_click(100 + l.button_x[1] + 2, 50 + l.button_y + 2);
              }),
              0);
    EXPECT_EQ(ask_and_answer(FRAME_BOX_YES_NO, [] {
                  DialogLayout l;
                  disp_dialog_picture(&l, nullptr);
                  disp_dialog_place(100, 50);
                  disp_dialog_click(5, 5);  // outside: nothing
                  disp_dialog_click(100 + l.button_x[0] + 2, 50 + l.button_y + 2);
              }),
              1);
    // A box drawn three times larger, in a scaled window: No at three times its place.
    EXPECT_EQ(ask_and_answer(FRAME_BOX_YES_NO, [] {
                  DialogLayout l;
                  disp_dialog_picture(&l, nullptr);
                  disp_dialog_place(100, 50, 3);
                  disp_dialog_click(99, 50 + 3 * (l.button_y + 2));  // left of the box
                  disp_dialog_click(100 + 3 * (l.button_x[1] + 2), 50 + 3 * (l.button_y + 2));
              }),
              0);
}

}  // namespace
