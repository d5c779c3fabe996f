#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <string>

#include "files_support.h"

using PrintTest = FilesTest;

TEST_F(PrintTest, NumberLineIsTextBlankAndCrLf) {
    file_open(text("kavaro.dat"), FILE_OUTPUT, 0, 0, 1, 0);
    file_print(1, text(" 5"), 1, 0, 1);
    file_print(1, text("-1"), 1, 0, 1);
    file_print(1, text(" .3"), 1, 0, 1);
    file_close(1);
    EXPECT_EQ(take_error(), 0u);
    EXPECT_EQ(read_file("kavaro.dat"), " 5 \r\n-1 \r\n .3 \r\n");
}

TEST_F(PrintTest, NextZoneFromColumnOneWritesElevenBlanksAfterThreeCharacters) {
    file_open(text("z.txt"), FILE_OUTPUT, 0, 0, 1, 0);
    file_print(1, text("abc"), 0, 1, 0);
    EXPECT_EQ(file_slot(1)->print_column, 15);
    file_print(1, text("x"), 0, 0, 0);
    file_close(1);
    EXPECT_EQ(read_file("z.txt"), "abc" + std::string(11, ' ') + "x");
}

TEST_F(PrintTest, NextZoneAtAZoneEndStillWritesOneBlank) {
    file_open(text("z.txt"), FILE_OUTPUT, 0, 0, 1, 0);
    file_print(1, text("1234567890123"), 0, 1, 0);  // column 14, one blank reaches 15
    EXPECT_EQ(file_slot(1)->print_column, 15);
    file_print(1, text("12345678901234"), 0, 1, 0);  // column 29: one blank to 30, then to 43
    EXPECT_EQ(file_slot(1)->print_column, 43);
    file_close(1);
    EXPECT_EQ(read_file("z.txt").size(), 42u);
}

TEST_F(PrintTest, ColumnIgnoresLineFeedAndResetsOnCarriageReturn) {
    file_open(text("c.txt"), FILE_OUTPUT, 0, 0, 1, 0);
    file_print(1, text("ab\ncd"), 0, 0, 0);
    EXPECT_EQ(file_slot(1)->print_column, 5);
    file_print(1, text("xy\rz"), 0, 0, 0);
    EXPECT_EQ(file_slot(1)->print_column, 2);
    file_print(1, text("q"), 1, 0, 1);
    EXPECT_EQ(file_slot(1)->print_column, 1);
}

TEST_F(PrintTest, UnopenedNumberRaises52AndInputFileRaises54) {
    file_print(3, text("x"), 0, 0, 1);
    EXPECT_EQ(take_error(), 52u);
    file_print(0, text("x"), 0, 0, 1);
    EXPECT_EQ(take_error(), 52u);
    write_file("in.txt", "1\r\n");
    file_open(text("in.txt"), FILE_INPUT, 0, 0, 1, 0);
    file_print(1, text("x"), 0, 0, 1);
    EXPECT_EQ(take_error(), 54u);
    EXPECT_EQ(read_file("in.txt"), "1\r\n");
}

TEST_F(PrintTest, FullDeviceRaisesDiskFull) {
    // A node of the test's own, never the system's.
    if (mknod("full", S_IFCHR | 0666, makedev(1, 7)) != 0) GTEST_SKIP() << "device nodes need root";
    file_open(text("full"), FILE_OUTPUT, 0, 0, 1, 0);
    ASSERT_EQ(take_error(), 0u);
    file_print(1, text(" 5"), 1, 0, 1);
    EXPECT_EQ(take_error(), 61u);
}

TEST_F(PrintTest, TextIsConsumed) {
    file_open(text("a.txt"), FILE_OUTPUT, 0, 0, 1, 0);
    int32_t base = sv_temp_count();
    file_print(1, text("abc"), 1, 1, 1);
    file_print(5, text("abc"), 1, 1, 1);  // error path too
    take_error();
    EXPECT_EQ(sv_temp_count(), base);
}

namespace {
std::string g_screen;
void capture_screen(StringValue* s, int32_t line_end) {
    g_screen.append(reinterpret_cast<const char*>(s->data), static_cast<size_t>(s->length));
    if (line_end) g_screen += "|";
    if (s->is_temporary) sv_free(s);
}
}  // namespace

TEST_F(PrintTest, ScreenDeviceNameInAnyCasePrintsThroughTheHook) {
    g_screen.clear();
    file_screen_print = capture_screen;
    file_open(text("scrn:"), FILE_OUTPUT, 0, 0, 1, 0);
    ASSERT_EQ(take_error(), 0u);
    EXPECT_EQ(file_slot(1)->screen_device, 1);
    file_print(1, text(" 7"), 1, 0, 1);
    file_print(1, text("ab"), 0, 1, 0);
    EXPECT_EQ(take_error(), 0u);
    EXPECT_EQ(g_screen, " 7 |ab" + std::string(12, ' '));
    EXPECT_FALSE(exists("scrn:"));
}
