#include <cmath>
#include <cstdlib>
#include <string>

#include "files_support.h"
#include "runtime/core/platform.h"
#include "runtime/core/run_state.h"

namespace {

class InputTest : public FilesTest {
protected:
    void open_with(const std::string& bytes) {
        write_file("in.dat", bytes);
        file_open(text("in.dat"), FILE_INPUT, 0, 0, 1, 0);
        ASSERT_EQ(take_error(), 0u);
    }
    double single() { return file_input_number(1, FILE_NUM_SINGLE); }
};

}  // namespace

TEST_F(InputTest, TwoNumberLinesThenInputPastEnd) {
    open_with(" 5 \r\n-1 \r\n");
    EXPECT_EQ(single(), 5.0);
    EXPECT_EQ(single(), -1.0);
    EXPECT_EQ(take_error(), 0u);
    EXPECT_EQ(single(), 0.0);
    EXPECT_EQ(take_error(), 62u);
}

TEST_F(InputTest, LineWithoutANumberReadsZeroAndTheReaderGoesOnAtTheNextLine) {
    open_with("abc\r\n7 \r\n");
    EXPECT_EQ(single(), 0.0);
    EXPECT_EQ(single(), 7.0);
    EXPECT_EQ(take_error(), 0u);
}

TEST_F(InputTest, CharactersAfterTheNumberAreSkippedToTheSeparator) {
    open_with("12abc 9,5\r\n");
    EXPECT_EQ(single(), 12.0);
    EXPECT_EQ(single(), 5.0);
}

TEST_F(InputTest, EmptyLineReadsZero) {
    open_with("\r\n4\r\n");
    EXPECT_EQ(single(), 0.0);
    EXPECT_EQ(single(), 4.0);
    EXPECT_EQ(take_error(), 0u);
}

TEST_F(InputTest, CrLfAndLfCrAreOneSeparatorButCrCrIsTwo) {
    open_with("1\r\n2\n\r3,4\r\r5\n\n6");
    EXPECT_EQ(single(), 1.0);
    EXPECT_EQ(single(), 2.0);
    EXPECT_EQ(single(), 3.0);
    EXPECT_EQ(single(), 4.0);
    EXPECT_EQ(single(), 0.0);  // the second CR is an empty field
    EXPECT_EQ(single(), 5.0);
    EXPECT_EQ(single(), 0.0);
    EXPECT_EQ(single(), 6.0);
    EXPECT_EQ(take_error(), 0u);
}

TEST_F(InputTest, BlanksSeparateNumbersOnOneLine) {
    open_with("  1 2   ,3\r\n");
    EXPECT_EQ(single(), 1.0);
    EXPECT_EQ(single(), 2.0);
    EXPECT_EQ(single(), 3.0);
    EXPECT_EQ(take_error(), 0u);
}

TEST_F(InputTest, FileEndingInsideAField) {
    open_with("2.5e");
    EXPECT_EQ(single(), 2.5);
    EXPECT_EQ(take_error(), 0u);
    single();
    EXPECT_EQ(take_error(), 62u);
}

TEST_F(InputTest, OnlyBlanksLeftIsThePastEnd) {
    open_with("3\r\n   ");
    EXPECT_EQ(single(), 3.0);
    single();
    EXPECT_EQ(take_error(), 62u);
}

TEST_F(InputTest, Byte26EndsTheDataAndStays) {
    open_with("7\r\n\x1a" "8\r\n");
    EXPECT_EQ(single(), 7.0);
    single();
    EXPECT_EQ(take_error(), 62u);
    EXPECT_EQ(file_slot(1)->eof_seen, 1);
    EXPECT_EQ(file_slot(1)->position, 3);
    single();
    EXPECT_EQ(take_error(), 62u);
}

TEST_F(InputTest, Byte26InsideANumberEndsIt) {
    open_with("12\x1a" "3");
    EXPECT_EQ(single(), 12.0);
    single();
    EXPECT_EQ(take_error(), 62u);
}

TEST_F(InputTest, FirstByte26MarksTheEndAtOpen) {
    open_with("\x1a" "5\r\n");
    EXPECT_EQ(file_slot(1)->eof_seen, 1);
    EXPECT_EQ(file_slot(1)->position, 0);
    single();
    EXPECT_EQ(take_error(), 62u);
}

TEST_F(InputTest, NumberTextForms) {
    open_with(" .3 \r\n-.05\r\n1.5D2\r\n+7e-1\r\n000.00012\r\n-0\r\n.\r\n");
    EXPECT_EQ(single(), 0.3);
    EXPECT_EQ(single(), -0.05);
    EXPECT_EQ(single(), 150.0);
    EXPECT_EQ(single(), 0.7);
    EXPECT_EQ(single(), 0.00012);
    EXPECT_EQ(single(), 0.0);
    EXPECT_EQ(single(), 0.0);
    EXPECT_EQ(take_error(), 0u);
}

TEST_F(InputTest, SeventeenSignificantDigitsAreKeptTheRestCut) {
    open_with("123456789012345678901\r\n0.000123456789012345678\r\n");
    EXPECT_EQ(file_input_number(1, FILE_NUM_DOUBLE), std::strtod("1.2345678901234567E20", nullptr));
    EXPECT_EQ(file_input_number(1, FILE_NUM_DOUBLE), std::strtod("1.2345678901234567E-4", nullptr));
}

TEST_F(InputTest, SingleOverflowRaises6) {
    open_with("1E39\r\n3.402823466E+38\r\n3.4028235E+38\r\n-1E39\r\n");
    single();
    EXPECT_EQ(take_error(), 6u);
    EXPECT_EQ(single(), 3.402823466E+38);
    EXPECT_EQ(take_error(), 0u);
    single();
    EXPECT_EQ(take_error(), 6u);
    single();
    EXPECT_EQ(take_error(), 6u);
}

TEST_F(InputTest, DecimalExponentAbove308Raises6) {
    open_with("1E309\r\n10E308\r\n0.1E309\r\n1E-400\r\n9E308\r\n");
    file_input_number(1, FILE_NUM_DOUBLE);
    EXPECT_EQ(take_error(), 6u);
    file_input_number(1, FILE_NUM_DOUBLE);
    EXPECT_EQ(take_error(), 6u);
    EXPECT_EQ(file_input_number(1, FILE_NUM_DOUBLE), 1E308);
    EXPECT_EQ(file_input_number(1, FILE_NUM_DOUBLE), 0.0);
    EXPECT_EQ(take_error(), 0u);
    file_input_number(1, FILE_NUM_DOUBLE);  // beyond the double range
    EXPECT_EQ(take_error(), 6u);
}

TEST_F(InputTest, HexAndOctal) {
    open_with("&H1F,&o17,&HFFFFFFFFFFFFFFFF,&H00000000000000000001,&h,&x5\r\n");
    EXPECT_EQ(file_input_number(1, FILE_NUM_DOUBLE), 31.0);
    EXPECT_EQ(file_input_number(1, FILE_NUM_DOUBLE), 15.0);
    EXPECT_EQ(file_input_number(1, FILE_NUM_DOUBLE), -1.0);
    EXPECT_EQ(file_input_number(1, FILE_NUM_DOUBLE), 1.0);
    EXPECT_EQ(file_input_number(1, FILE_NUM_DOUBLE), 0.0);
    EXPECT_EQ(file_input_number(1, FILE_NUM_DOUBLE), 0.0);
    EXPECT_EQ(take_error(), 0u);
}

TEST_F(InputTest, TooManyHexOrOctalDigitsRaise6) {
    open_with("&H10000000000000000\r\n&O1000000000000000000000\r\n&O777777777777777777777\r\n");
    file_input_number(1, FILE_NUM_DOUBLE);
    EXPECT_EQ(take_error(), 6u);
    file_input_number(1, FILE_NUM_DOUBLE);
    EXPECT_EQ(take_error(), 6u);
    EXPECT_EQ(file_input_number(1, FILE_NUM_DOUBLE), 9223372036854775807.0);
    EXPECT_EQ(take_error(), 0u);
}

TEST_F(InputTest, IntegerTargetsRoundToEvenAndCheckTheirRange) {
    open_with("32766.5\r\n32767.5\r\n-32768\r\n2147483648\r\n-2.5\r\n");
    EXPECT_EQ(file_input_number(1, FILE_NUM_INT16), 32766.0);
    file_input_number(1, FILE_NUM_INT16);
    EXPECT_EQ(take_error(), 6u);
    EXPECT_EQ(file_input_number(1, FILE_NUM_INT16), -32768.0);
    file_input_number(1, FILE_NUM_INT32);
    EXPECT_EQ(take_error(), 6u);
    EXPECT_EQ(file_input_number(1, FILE_NUM_INT64), -2.0);
    EXPECT_EQ(take_error(), 0u);
}

TEST_F(InputTest, WrongNumberOrModeRaises52Or54) {
    file_input_number(2, FILE_NUM_SINGLE);
    EXPECT_EQ(take_error(), 52u);
    file_open(text("o.txt"), FILE_OUTPUT, 0, 0, 2, 0);
    file_input_number(2, FILE_NUM_SINGLE);
    EXPECT_EQ(take_error(), 54u);
}

TEST_F(InputTest, SeparatorSplitAcrossTheReadAhead) {
    // The CR is the last byte of the first 64 KiB, its LF the first of the next.
    std::string bytes = "1" + std::string(65534, ' ') + "\r\n2\r\n";
    ASSERT_EQ(bytes[65535], '\r');
    open_with(bytes);
    EXPECT_EQ(single(), 1.0);
    EXPECT_EQ(single(), 2.0);
    single();
    EXPECT_EQ(take_error(), 62u);
}

TEST_F(InputTest, ReadsBackAWholeSavedStateSizedFile) {
    file_open(text("kavaro.dat"), FILE_OUTPUT, 0, 0, 1, 0);
    for (int i = 0; i < 17018; ++i) {
        std::string t = (i % 3 == 0 ? "-" : " ") + std::to_string(i % 601);
        StringValue* s = sv_new(static_cast<int32_t>(t.size()), 1);
        std::copy(t.begin(), t.end(), s->data);
        file_print(1, s, 1, 0, 1);
    }
    file_close(1);
    ASSERT_EQ(take_error(), 0u);
    file_open(text("kavaro.dat"), FILE_INPUT, 0, 0, 1, 0);
    for (int i = 0; i < 17018; ++i) {
        double want = (i % 3 == 0 ? -1.0 : 1.0) * (i % 601);
        ASSERT_EQ(single(), want) << "line " << i + 1;
    }
    single();
    EXPECT_EQ(take_error(), 62u);
}

// A field that runs through a long file ends at a close or quit instead of reading on.
TEST_F(InputTest, ShutdownEndsAReadThatRunsThroughALongFile) {
    write_file("blanks", std::string(4 << 20, ' '));
    file_open(text("blanks"), FILE_INPUT, 0, 0, 1, 0);
    ASSERT_EQ(take_error(), 0u);
    frame_platform.stop_leaves_thread = true;
    frame_run.exit_now.store(1);
    EXPECT_THROW(file_input_number(1, FILE_NUM_SINGLE), FrameStopped);
    frame_run.exit_now.store(0);
    frame_run.threads_done.store(0);
    frame_platform.stop_leaves_thread = false;
}
