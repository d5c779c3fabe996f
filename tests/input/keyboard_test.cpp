#include <X11/keysym.h>

#include <cstring>

#include "input_support.h"
#include "runtime/core/error.h"
#include "runtime/core/run_state.h"
#include "runtime/display/display.h"
#include "runtime/input/input.h"

namespace {

class KeyboardTest : public InputTest {};

uint8_t status(size_t offset) { return frame_low_memory.bytes[offset]; }

TEST_F(KeyboardTest, SixteenKeysTypedWithoutReadingKeepTheFirstFifteen) {
    for (int i = 0; i < 16; ++i) press('a' + i);
    for (int i = 0; i < 15; ++i) EXPECT_EQ(inkey(), std::string(1, static_cast<char>('a' + i)));
    EXPECT_EQ(inkey(), "");
}

TEST_F(KeyboardTest, RingWrapsFrom60To30AndStaysInItsBytes) {
    for (int i = 0; i < 40; ++i) {
        press('a' + i % 26);
        EXPECT_EQ(inkey(), std::string(1, static_cast<char>('a' + i % 26)));
        uint8_t head = status(kLowKeyHead);
        EXPECT_TRUE(head >= 30 && head <= 60 && head % 2 == 0) << int(head);
    }
    EXPECT_EQ(status(kLowKeyHead), status(kLowKeyTail));
    // The ring sits at 1054 ... 1085; the 40th key went to 1024 + 30 + 2 * (39 mod 16).
    EXPECT_EQ(status(1024 + 44), 'a' + 39 % 26);
    EXPECT_EQ(status(1024 + 45), 49);  // scan code of "n"
}

TEST_F(KeyboardTest, TypedKeysGiveTheirCodes) {
    press(27);
    EXPECT_EQ(inkey(), "\x1b");
    press(0x4800);
    EXPECT_EQ(inkey(), ext(72));
    press(0x3B00);
    EXPECT_EQ(inkey(), ext(59));
    press(0x8500);
    EXPECT_EQ(inkey(), ext(0x85));
    press(input_translate_char(127, false, false));  // Delete
    EXPECT_EQ(inkey(), ext(83));
    press(200);  // no table entry: the character alone
    EXPECT_EQ(inkey(), "\xc8");
}

TEST_F(KeyboardTest, ModifiersPickTheTableColumn) {
    hold(INPUT_KEY_LALT);
    press('a');
    EXPECT_EQ(inkey(), ext(30));
    press('1');
    EXPECT_EQ(inkey(), ext(0x78));
    press('0');
    EXPECT_EQ(inkey(), ext(0x81));
    hold(INPUT_KEY_LCTRL);  // Alt wins over Ctrl
    press('a');
    EXPECT_EQ(inkey(), ext(30));
    release(INPUT_KEY_LALT);

    // Ctrl+A arrives from FreeGLUT as control code 1 and is turned back into the letter.
    press(input_translate_char(1, true, false));
    EXPECT_EQ(inkey(), "\x01");
    press('2');
    EXPECT_EQ(inkey(), ext(3));
    press('6');
    EXPECT_EQ(inkey(), "\x1e");
    press('1');  // Ctrl+1 produces no key at all
    EXPECT_EQ(inkey(), "");
    press(8);
    EXPECT_EQ(inkey(), "\x7f");
    press(0x4B00);
    EXPECT_EQ(inkey(), ext(0x73));
    hold(INPUT_KEY_RSHIFT);  // Ctrl wins over Shift
    press(0x3B00);
    EXPECT_EQ(inkey(), ext(0x5E));
    release(INPUT_KEY_LCTRL);

    press(9);  // Shift+Tab
    EXPECT_EQ(inkey(), ext(15));
    press(0x3B00);
    EXPECT_EQ(inkey(), ext(0x54));
    press('A');
    EXPECT_EQ(inkey(), "A");
    release(INPUT_KEY_RSHIFT);
}

TEST_F(KeyboardTest, ATabWhosePressWasLostCountsAsShiftTab) {
    input_key_event_shifted(9);
    input_key_event(9, 0);
    EXPECT_EQ(inkey(), ext(15));
    EXPECT_EQ(input_key_down(INPUT_KEY_LSHIFT), 0);  // no Shift left behind
    press(9);
    EXPECT_EQ(inkey(), "\t");
}

TEST_F(KeyboardTest, KeypadKeysBecomeMainKeyboardKeys) {
    press(INPUT_KEY_PAD_0 + 7);
    EXPECT_EQ(inkey(), "7");
    press(INPUT_KEY_PAD_ENTER);
    EXPECT_EQ(inkey(), "\r");
    press(INPUT_KEY_PAD_INSERT + 8);  // keypad Up without Num Lock
    EXPECT_EQ(inkey(), ext(72));
    press(INPUT_KEY_PAD_INSERT + 5);  // keypad 5 without Num Lock: no key
    EXPECT_EQ(inkey(), "");
}

TEST_F(KeyboardTest, KeyDownFollowsTheLeftShift) {
    EXPECT_EQ(input_key_down(INPUT_KEY_LSHIFT), 0);
    hold(INPUT_KEY_LSHIFT);
    EXPECT_EQ(input_key_down(INPUT_KEY_LSHIFT), -1);
    EXPECT_EQ(input_key_down(INPUT_KEY_RSHIFT), 0);
    EXPECT_EQ(status(1047) & 3, 2);
    release(INPUT_KEY_LSHIFT);
    EXPECT_EQ(input_key_down(INPUT_KEY_LSHIFT), 0);
    EXPECT_EQ(status(1047) & 3, 0);
    EXPECT_EQ(inkey(), "");  // modifiers store nothing
}

TEST_F(KeyboardTest, KeypadTwinsCountOneWay) {
    hold(INPUT_KEY_PAD_ENTER);
    EXPECT_EQ(input_key_down(13), -1);
    EXPECT_EQ(input_key_down(INPUT_KEY_PAD_ENTER), -1);
    release(INPUT_KEY_PAD_ENTER);
    hold(13);
    EXPECT_EQ(input_key_down(13), -1);
    EXPECT_EQ(input_key_down(INPUT_KEY_PAD_ENTER), 0);
    release(13);
    hold(INPUT_KEY_PAD_INSERT + 10);  // keypad Delete
    EXPECT_EQ(input_key_down(0x5300), -1);
    release(INPUT_KEY_PAD_INSERT + 10);
    hold(INPUT_KEY_PAD_0 + 5);
    EXPECT_EQ(input_key_down('5'), -1);
    EXPECT_EQ(input_key_down('6'), 0);
}

TEST_F(KeyboardTest, KeyZeroIsKeptAs200013) {
    hold(0);
    EXPECT_EQ(input_key_down(INPUT_KEY_ZERO), -1);
    EXPECT_EQ(inkey(), "");
}

TEST_F(KeyboardTest, KeyDownOfZeroOrLessIsAnIllegalCall) {
    EXPECT_EQ(input_key_down(0), 0);
    EXPECT_EQ(frame_error.error_number, 5u);
    frame_error.error_number = 0;
    EXPECT_EQ(input_key_down(-3), 0);
    EXPECT_EQ(frame_error.error_number, 5u);
}

TEST_F(KeyboardTest, InkeyReturnsNothingWhileAnErrorIsPending) {
    press('x');
    frame_error.error_number = 9;
    EXPECT_EQ(inkey(), "");
    frame_error.error_number = 0;
    EXPECT_EQ(inkey(), "x");
}

TEST_F(KeyboardTest, AKeyDuringAPauseOnlyEndsIt) {
    press(INPUT_KEY_PAUSE);
    EXPECT_EQ(frame_run.suspended.load() & 1, 1);
    EXPECT_EQ(frame_run.attention.load(), 1);
    press('x');
    EXPECT_EQ(frame_run.suspended.load() & 1, 0);
    EXPECT_EQ(inkey(), "");
    press('y');
    EXPECT_EQ(inkey(), "y");
    // Ctrl+Num Lock pauses too.
    hold(INPUT_KEY_RCTRL);
    hold(INPUT_KEY_NUM_LOCK);
    EXPECT_EQ(frame_run.suspended.load() & 1, 1);
}

TEST_F(KeyboardTest, BreakEndsTheProgramOrRaisesACloseRequest) {
    press(INPUT_KEY_BREAK);
    EXPECT_EQ(frame_run.quit_requested.load(), 1);
    EXPECT_EQ(frame_run.close_requests.load(), 0);

    frame_run_reset();
    frame_run.close_query_active.store(1);
    hold(INPUT_KEY_LCTRL);
    press(INPUT_KEY_SCROLL_LOCK);  // Ctrl+Scroll Lock is Break as well
    EXPECT_EQ(frame_run.quit_requested.load(), 0);
    EXPECT_EQ(frame_run.close_requests.load(), 2);
    EXPECT_FALSE(input_down_contains(INPUT_STATE_SCROLL_LOCK));
}

TEST_F(KeyboardTest, InsertTogglesItsStateButNotOnAutoRepeat) {
    hold(0x5200);
    EXPECT_EQ(input_key_down(INPUT_STATE_INSERT), -1);
    EXPECT_EQ(status(1047) & 128, 128);
    hold(0x5200);  // auto-repeat: down again without an up
    hold(0x5200);
    EXPECT_EQ(input_key_down(INPUT_STATE_INSERT), -1);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(inkey(), ext(82));
    release(0x5200);
    press(0x5200);
    EXPECT_EQ(input_key_down(INPUT_STATE_INSERT), 0);
    EXPECT_EQ(status(1047) & 128, 0);
    hold(INPUT_KEY_LSHIFT);  // with a modifier the state stays
    press(0x5200);
    EXPECT_EQ(input_key_down(INPUT_STATE_INSERT), 0);
}

TEST_F(KeyboardTest, ScrollLockTogglesItsState) {
    press(INPUT_KEY_SCROLL_LOCK);
    EXPECT_TRUE(input_down_contains(INPUT_STATE_SCROLL_LOCK));
    EXPECT_EQ(status(1047) & 16, 16);
    press(INPUT_KEY_SCROLL_LOCK);
    EXPECT_FALSE(input_down_contains(INPUT_STATE_SCROLL_LOCK));
}

TEST_F(KeyboardTest, LockAlignmentFollowsTheToggles) {
    input_align_locks(true, true, false);
    EXPECT_TRUE(input_down_contains(INPUT_STATE_SCROLL_LOCK));
    EXPECT_TRUE(input_down_contains(INPUT_KEY_CAPS_LOCK));
    EXPECT_FALSE(input_down_contains(INPUT_KEY_NUM_LOCK));
    EXPECT_EQ(status(1047) & 0x70, 0x50);
    input_align_locks(false, false, true);
    EXPECT_EQ(status(1047) & 0x70, 0x20);
    EXPECT_EQ(inkey(), "");
}

TEST_F(KeyboardTest, AltEnterStepsTheFullScreenCycleAndStoresNothing) {
    hold(INPUT_KEY_RALT);
    press(13);
    ScreenModeState s = disp_screen_state();
    EXPECT_EQ(s.requested, 1);
    EXPECT_EQ(disp_book.force_build.load(), 1);
    EXPECT_EQ(inkey(), "");
    release(INPUT_KEY_RALT);
    press(13);
    EXPECT_EQ(inkey(), "\r");
}

TEST(KeyTranslation, FreeGlutKeysMapToKeyCodes) {
    EXPECT_EQ(input_translate_special(1), 0x3B00);
    EXPECT_EQ(input_translate_special(10), 0x4400);
    EXPECT_EQ(input_translate_special(12), 0x8600);
    EXPECT_EQ(input_translate_special(108), 0x5200);
    EXPECT_EQ(input_translate_special(112), INPUT_KEY_LSHIFT);
    EXPECT_EQ(input_translate_special(113), INPUT_KEY_RSHIFT);
    EXPECT_EQ(input_translate_special(117), INPUT_KEY_RALT);
    EXPECT_EQ(input_translate_special(109), 0);  // Num Lock: ignored
    EXPECT_EQ(input_translate_char(10, true, false), 13);
    EXPECT_EQ(input_translate_char(1, true, true), 'A');
    EXPECT_EQ(input_translate_char(26, true, false), 'z');
    EXPECT_EQ(input_translate_char(10, false, false), 10);
    EXPECT_EQ(input_translate_char(27, true, false), 27);
}

TEST(KeyTranslation, PunctuationRowsFollowThePcKeyboard) {
    const KeyTableEntry& semicolon = input_key_table(';');
    EXPECT_EQ(semicolon.scan, 39);
    EXPECT_EQ(semicolon.value[INPUT_MOD_ALT], 39 * 256);
    EXPECT_EQ(semicolon.value[INPUT_MOD_CTRL], 0);
    EXPECT_EQ(input_key_table('@').value[INPUT_MOD_CTRL], 0x0300);
    EXPECT_EQ(input_key_table('@').scan, 3);
    EXPECT_EQ(input_key_table('^').value[INPUT_MOD_CTRL], 30);
    EXPECT_EQ(input_key_table(')').value[INPUT_MOD_ALT], 0x8100);
    EXPECT_EQ(input_key_table('|').value[INPUT_MOD_CTRL], 28);
    EXPECT_EQ(input_key_table('?').scan, 53);
    EXPECT_EQ(input_key_table('+').value[INPUT_MOD_ALT], 0x8300);
    EXPECT_EQ(input_key_table('_').value[INPUT_MOD_CTRL], 31);
    EXPECT_EQ(input_key_table('m').scan, 50);
    EXPECT_EQ(input_key_table('Q').value[INPUT_MOD_CTRL], 17);
    EXPECT_EQ(input_key_table(256 + 81).value[INPUT_MOD_ALT], 0xA100);
    EXPECT_EQ(input_key_table(256 + 88).value[INPUT_MOD_CTRL], 0x8A00);
    EXPECT_EQ(input_key_table(256 + 68).value[INPUT_MOD_SHIFT], 0x5D00);
    EXPECT_FALSE(input_key_table(256 + 76).present);
    EXPECT_FALSE(input_key_table(10).present);
}

TEST(KeyTranslation, KeySymbolsGiveTheKeyCodesOfTheTable) {
    const struct {
        uint32_t base, typed;
        bool ctrl;
        int32_t code;
    } cases[] = {
        {XK_a, XK_A, false, 'A'},          // Shift is in the typed symbol
        {XK_3, XK_3, true, '3'},           // Ctrl never changes the character
        {XK_bracketleft, XK_braceleft, true, '{'},
        {XK_Tab, XK_ISO_Left_Tab, false, 9},
        {XK_Return, XK_Return, true, 13},
        {XK_BackSpace, XK_BackSpace, true, 8},
        {XK_space, XK_space, true, 32},
        {XK_Delete, XK_Delete, false, 0x5300},
        {XK_F1, XK_F1, false, 0x3B00},
        {XK_F10, XK_F10, false, 0x4400},
        {XK_F12, XK_F12, false, 0x8600},
        {XK_Next, XK_Next, false, 0x5100},
        {XK_KP_Enter, XK_KP_Enter, false, INPUT_KEY_PAD_ENTER},
        {XK_KP_Divide, XK_KP_Divide, false, INPUT_KEY_PAD_SLASH},
        {XK_KP_Home, XK_KP_7, false, INPUT_KEY_PAD_0 + 7},  // Num Lock on
        {XK_KP_Home, XK_KP_Home, false, INPUT_KEY_PAD_INSERT + 7},
        {XK_KP_Insert, XK_KP_0, false, INPUT_KEY_PAD_0},
        {XK_KP_Begin, XK_KP_Begin, false, INPUT_KEY_PAD_INSERT + 5},
        {XK_KP_Delete, XK_KP_Delete, false, INPUT_KEY_PAD_INSERT + 10},
        {XK_KP_Delete, XK_KP_Separator, false, INPUT_KEY_PAD_POINT},
        {XK_Pause, XK_Pause, false, INPUT_KEY_PAUSE},
        {XK_Pause, XK_Pause, true, INPUT_KEY_BREAK},
        {XK_Break, XK_Break, false, INPUT_KEY_BREAK},
        {XK_Scroll_Lock, XK_Scroll_Lock, true, INPUT_KEY_SCROLL_LOCK},
        {XK_Shift_L, XK_Shift_L, false, INPUT_KEY_LSHIFT},
        {XK_Control_R, XK_Control_R, false, INPUT_KEY_RCTRL},
        {XK_ISO_Level3_Shift, XK_ISO_Level3_Shift, false, INPUT_KEY_RALT},
        {XK_adiaeresis, XK_Adiaeresis, false, 0xC4},
        {XK_dead_circumflex, XK_dead_circumflex, false, 0},
        {XK_Menu, XK_Menu, false, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(input_physical_code(c.base, c.typed, c.ctrl), c.code) << std::hex << c.base;
}

TEST_F(KeyboardTest, AReleaseTakesAwayWhatItsPressAdded) {
    // Shift+a down, Shift up, a up: the release of a comes without Shift.
    input_physical_key(50, INPUT_KEY_LSHIFT, true);
    input_physical_key(38, 'A', true);
    input_physical_key(50, INPUT_KEY_LSHIFT, false);
    EXPECT_EQ(input_key_down('A'), -1);
    input_physical_key(38, 'a', false);
    int32_t held[8];
    EXPECT_EQ(input_down_snapshot(held, 8), 0);
    EXPECT_EQ(inkey(), "A");

    // Auto-repeat presses again; a modifier pressed meanwhile changes the code it holds.
    for (int i = 0; i < 3; ++i) input_physical_key(38, 'a', true);
    input_physical_key(62, INPUT_KEY_RSHIFT, true);
    input_physical_key(38, 'A', true);
    EXPECT_EQ(input_key_down('a'), 0);
    EXPECT_EQ(input_key_down('A'), -1);
    input_physical_key(62, 0, false);
    input_physical_key(38, 0, false);
    EXPECT_EQ(input_down_snapshot(held, 8), 0);
    for (const char* want : {"a", "a", "a", "A"}) EXPECT_EQ(inkey(), want);

    // Two keys with one code: the code stays held until both are up.
    input_physical_key(10, '1', true);
    input_physical_key(87, '1', true);
    input_physical_key(10, '1', false);
    EXPECT_EQ(input_key_down('1'), -1);
    input_physical_key(87, '1', false);
    EXPECT_EQ(input_key_down('1'), 0);

    // A release never pressed here changes nothing, except that a modifier is let go.
    hold(INPUT_KEY_LCTRL);
    input_physical_key(24, 'q', false);
    input_physical_key(37, INPUT_KEY_LCTRL, false);
    EXPECT_EQ(input_down_snapshot(held, 8), 0);
}

TEST_F(KeyboardTest, ACharacterTypedWithAltGrIsThatCharacter) {
    // AltGr holds the right Alt key; the characters it types are not Alt keys.
    input_physical_key(108, INPUT_KEY_RALT, true);
    input_physical_key(24, '@', true, true);
    input_physical_key(24, 0, false);
    input_physical_key(16, '{', true, true);
    input_physical_key(16, 0, false);
    input_physical_key(37, INPUT_KEY_LCTRL, true);  // with Ctrl: the table's Ctrl value of "@"
    input_physical_key(24, '@', true, true);
    input_physical_key(24, 0, false);
    input_physical_key(37, 0, false);
    input_physical_key(24, 'q', true);  // no third level: Alt+Q as before
    input_physical_key(24, 0, false);
    input_physical_key(108, 0, false);
    for (const char* want : {"@", "{"}) EXPECT_EQ(inkey(), want);
    EXPECT_EQ(inkey(), std::string("\0\3", 2));
    EXPECT_EQ(inkey(), std::string("\0\x10", 2));
    EXPECT_EQ(inkey(), "");
    int32_t held[8];
    EXPECT_EQ(input_down_snapshot(held, 8), 0);
}

TEST_F(KeyboardTest, KeysLetGoWhenTheKeyboardLeavesAndModifiersHeldOnReturnAreNotTyped) {
    input_physical_key(50, INPUT_KEY_LSHIFT, true);
    input_physical_key(24, 'Q', true);
    input_physical_key(104, INPUT_KEY_PAD_ENTER, true);
    EXPECT_EQ(input_key_down(13), -1);  // keypad Enter counts as Enter
    bool still_down[kPhysicalKeys] = {};
    still_down[50] = true;
    input_physical_keys_up(still_down);
    EXPECT_EQ(input_key_down(INPUT_KEY_LSHIFT), -1);
    EXPECT_EQ(input_key_down('Q'), 0);
    EXPECT_EQ(input_key_down(13), 0);
    input_physical_keys_up(nullptr);
    EXPECT_EQ(input_key_down(INPUT_KEY_LSHIFT), 0);
    hold(INPUT_KEY_RALT);  // held at start-up: no key of ours holds it
    input_physical_keys_up(nullptr);
    EXPECT_EQ(input_key_down(INPUT_KEY_RALT), 0);

    press(INPUT_KEY_PAUSE);
    input_physical_key_held(37, INPUT_KEY_LCTRL);
    EXPECT_EQ(frame_run.suspended.load() & 1, 1);  // held is not typed: the pause stays
    EXPECT_EQ(input_key_down(INPUT_KEY_LCTRL), -1);
    EXPECT_EQ(status(1048) & 1, 1);
    input_physical_key(37, 0, false);
    EXPECT_EQ(input_key_down(INPUT_KEY_LCTRL), 0);
}

TEST_F(KeyboardTest, LockKeysTypeButTheirStatesStayWithTheAlignment) {
    input_physical_key(77, INPUT_KEY_NUM_LOCK, true);
    input_physical_key(77, INPUT_KEY_NUM_LOCK, false);
    EXPECT_EQ(input_key_down(INPUT_KEY_NUM_LOCK), -1);  // on until the toggle says otherwise
    input_physical_key(37, INPUT_KEY_LCTRL, true);
    input_physical_key(77, INPUT_KEY_NUM_LOCK, true);  // Ctrl+Num Lock pauses
    EXPECT_EQ(frame_run.suspended.load() & 1, 1);
    input_physical_key(78, INPUT_KEY_SCROLL_LOCK, true);  // Ctrl+Scroll Lock is Break
    EXPECT_EQ(frame_run.quit_requested.load(), 1);
    input_physical_key(78, 0, false);
    EXPECT_EQ(input_key_down(INPUT_KEY_SCROLL_LOCK), 0);
}

}  // namespace
