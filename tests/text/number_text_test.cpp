#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "runtime/core/error.h"
#include "runtime/core/run_state.h"
#include "runtime/text/number_text.h"
#include "runtime/text/string_value.h"

namespace {

class NumberTextTest : public ::testing::Test {
protected:
    void SetUp() override {
        sv_init();
        frame_error = ErrorState{};
        frame_run_reset();
    }
    void TearDown() override {
        frame_error = ErrorState{};
        frame_run_reset();
    }
};

std::string single_text(float v) {
    char out[40];
    int32_t n = num_str_chars(v, out);
    return std::string(out, static_cast<size_t>(n));
}

std::string double_text(double v) {
    char out[40];
    int32_t n = num_str_double_chars(v, out);
    return std::string(out, static_cast<size_t>(n));
}

// Takes a temporary result apart and frees it.
std::string take(StringValue* s) {
    std::string text(reinterpret_cast<const char*>(s->data), static_cast<size_t>(s->length));
    sv_free(s);
    return text;
}

long double val(const std::string& text) {
    return num_val_bytes(reinterpret_cast<const uint8_t*>(text.data()),
                         static_cast<int32_t>(text.size()));
}

TEST_F(NumberTextTest, SingleTextsOfTheWorkedExamples) {
    EXPECT_EQ(single_text(0.0f), " 0");
    EXPECT_EQ(single_text(-0.0f), " 0");
    EXPECT_EQ(single_text(50.0f), " 50");
    EXPECT_EQ(single_text(-1.0f), "-1");
    EXPECT_EQ(single_text(0.3f), " .3");
    EXPECT_EQ(single_text(-0.05f), "-.05");
    EXPECT_EQ(single_text(0.5f), " .5");
    EXPECT_EQ(single_text(-0.5f), "-.5");
    EXPECT_EQ(single_text(1234567.0f), " 1234567");
    EXPECT_EQ(single_text(123456.7f), " 123456.7");
    EXPECT_EQ(single_text(9999999.0f), " 9999999");
    EXPECT_EQ(single_text(1e7f), " 1E+07");
    EXPECT_EQ(single_text(12345678.0f), " 1.234568E+07");
    EXPECT_EQ(single_text(0.0012f), " .0012");
    EXPECT_EQ(single_text(0.001234567f), " 1.234567E-03");
    EXPECT_EQ(single_text(0.0000001f), " .0000001");
    EXPECT_EQ(single_text(0.00000001f), " 1E-08");
}

TEST_F(NumberTextTest, SingleTextsAtTheLimitsOfTheRange) {
    EXPECT_EQ(single_text(std::numeric_limits<float>::max()), " 3.402823E+38");
    EXPECT_EQ(single_text(-std::numeric_limits<float>::denorm_min()), "-1.401298E-45");
    // Rounding to seven digits can carry: 1.99999964… has one significant digit left.
    EXPECT_EQ(single_text(1.9999996f), " 2");
    EXPECT_EQ(single_text(-199.99996f), "-200");
    EXPECT_EQ(single_text(123.4567f), " 123.4567");
}

TEST_F(NumberTextTest, NonFiniteValuesGiveShortTexts) {
    EXPECT_EQ(single_text(std::numeric_limits<float>::infinity()), " INF");
    EXPECT_EQ(single_text(-std::numeric_limits<float>::infinity()), "-INF");
    EXPECT_NE(single_text(std::numeric_limits<float>::quiet_NaN()).find("NAN"), std::string::npos);
    EXPECT_EQ(double_text(-std::numeric_limits<double>::infinity()), "-INF");
}

TEST_F(NumberTextTest, DoubleTextsUseSixteenDigitsAndLetterD) {
    EXPECT_EQ(double_text(0.0), " 0");
    EXPECT_EQ(double_text(-0.0), " 0");
    EXPECT_EQ(double_text(1e100), " 1D+100");
    EXPECT_EQ(double_text(-2.5e-300), "-2.5D-300");
    EXPECT_EQ(double_text(1.0 / 3.0), " .3333333333333333");
    EXPECT_EQ(double_text(1e15), " 1000000000000000");
    EXPECT_EQ(double_text(1e16), " 1D+16");
    EXPECT_EQ(double_text(123.456), " 123.456");
    EXPECT_EQ(double_text(1e-16), " .0000000000000001");
    EXPECT_EQ(double_text(1e-17), " 1D-17");
    EXPECT_EQ(double_text(1.5e-16), " 1.5D-16");
    EXPECT_EQ(double_text(1e-5), " .00001");
}

TEST_F(NumberTextTest, DoubleSixteenthDigitNineFallsBackToFifteenDigits) {
    // 0.7 + 0.1 is 0.79999999999999993…: sixteen digits would show 7999999999999999.
    EXPECT_EQ(double_text(0.7 + 0.1), " .8");
    // The shorter form can round into a new power of ten: its exponent is the one used.
    EXPECT_EQ(double_text(std::nextafter(1.0, 0.0)), " 1");
    EXPECT_EQ(double_text(-std::nextafter(100.0, 0.0)), "-100");
    // A sixteenth digit other than 9 is kept as it is.
    EXPECT_EQ(double_text(2.0 / 3.0), " .6666666666666666");
    EXPECT_EQ(double_text(0.1 + 0.2), " .3");  // 3.000000000000000|4
    // Whole numbers take "%f" with no places, which shows the units digit itself.
    EXPECT_EQ(double_text(6141492573877419.0), " 6141492573877419");
}

TEST_F(NumberTextTest, IntegerAndUnsignedForms) {
    EXPECT_EQ(take(num_str_int64(INT64_MIN)), "-9223372036854775808");
    EXPECT_EQ(take(num_str_int64(0)), " 0");
    EXPECT_EQ(take(num_str_int32(42)), " 42");
    EXPECT_EQ(take(num_str_int16(-32768)), "-32768");
    EXPECT_EQ(take(num_str_int8(-128)), "-128");
    EXPECT_EQ(take(num_str_uint64(UINT64_MAX)), " 18446744073709551615");
    EXPECT_EQ(take(num_str_uint32(4294967295u)), " 4294967295");
    EXPECT_EQ(take(num_str_uint16(0)), " 0");
    EXPECT_EQ(take(num_str_uint8(255)), " 255");
}

TEST_F(NumberTextTest, ResultsAreTemporaries) {
    int32_t before = sv_temp_count();
    StringValue* s = num_str(-0.05f);
    EXPECT_EQ(s->is_temporary, 1);
    EXPECT_EQ(sv_temp_count(), before + 1);
    EXPECT_EQ(take(s), "-.05");
    EXPECT_EQ(take(num_str_double(1e100)), " 1D+100");
    EXPECT_EQ(sv_temp_count(), before);
}

TEST_F(NumberTextTest, ValueSkipsBlanksAndStopsAtTheFirstForeignCharacter) {
    EXPECT_EQ(val(" 1 2"), 12.0L);
    EXPECT_EQ(val("1e2x"), 100.0L);
    EXPECT_EQ(val("-.5"), -0.5L);
    EXPECT_EQ(val("\t- 1 . 5 e 1"), -15.0L);
    EXPECT_EQ(val("1D3"), 1000.0L);
    EXPECT_EQ(val("2.5d-1"), 0.25L);
    EXPECT_EQ(val("+7"), 7.0L);
    EXPECT_EQ(val("12.5.5"), 12.5L);
    EXPECT_EQ(val("3e"), 3.0L);
    EXPECT_EQ(val("3e+"), 3.0L);
    EXPECT_EQ(val("--3"), 0.0L);
    EXPECT_EQ(val("x3"), 0.0L);
    EXPECT_EQ(val(""), 0.0L);
    EXPECT_EQ(val("   "), 0.0L);
    EXPECT_EQ(val("."), 0.0L);
    EXPECT_EQ(val("e5"), 0.0L);
    EXPECT_EQ(frame_error.error_number, 0u);
}

TEST_F(NumberTextTest, ValueReadsTheNumberTextBack) {
    EXPECT_EQ(static_cast<float>(val(" .3")), 0.3f);
    EXPECT_EQ(static_cast<float>(val(" 1.234568E+07")), 12345680.0f);
    EXPECT_EQ(static_cast<float>(val("-1.401298E-45")), -std::numeric_limits<float>::denorm_min());
    EXPECT_EQ(static_cast<double>(val(" 1D+100")), 1e100);
    EXPECT_EQ(static_cast<double>(val(" .3333333333333333")), 0.3333333333333333);
}

TEST_F(NumberTextTest, ValueOfWholeNumbersUpToEighteenDigitsIsExact) {
    // A double cannot hold 123456789012345678; the 64-bit integer path can.
    EXPECT_EQ(val("123456789012345678"), 123456789012345678.0L);
    EXPECT_EQ(val("-000999999999999999999"), -999999999999999999.0L);
    // Nineteen digits go through the double conversion.
    EXPECT_EQ(val("1234567890123456789"), static_cast<long double>(1234567890123456789.0));
    // A point or an exponent also takes the double conversion.
    EXPECT_EQ(val("123456789012345678.5"), static_cast<long double>(123456789012345678.5));
    EXPECT_EQ(val("123456789012345678."), 123456789012345678.0L);
    EXPECT_TRUE(std::signbit(static_cast<double>(val("-0.0"))));
    EXPECT_FALSE(std::signbit(static_cast<double>(val("-0"))));
}

TEST_F(NumberTextTest, ValueSurvivesHugeExponentsAndLongDigitRuns) {
    EXPECT_TRUE(std::isinf(static_cast<double>(val("1e999999999999999999"))));
    EXPECT_EQ(val("1e-999999999999999999"), 0.0L);
    // Leading zeros of the exponent do not count towards its eighteen digits.
    EXPECT_EQ(val("1e0000000000000000000000001"), 10.0L);
    // A nineteenth exponent digit ends the scan: the rest is ignored.
    EXPECT_EQ(val("1e-1000000000000000001"), 0.0L);
    std::string ones(100000, '1');
    EXPECT_TRUE(std::isinf(static_cast<double>(val(ones))));
    std::string tiny = "." + std::string(400, '0') + "1";
    EXPECT_EQ(val(tiny), 0.0L);
    std::string third = "." + std::string(5000, '3');
    EXPECT_EQ(static_cast<double>(val(third)), 1.0 / 3.0);
    std::string big = std::string(30, '9') + "e-30";
    EXPECT_EQ(static_cast<double>(val(big)), 1.0);
}

TEST_F(NumberTextTest, ValueOfBinaryHexAndOctal) {
    EXPECT_EQ(val("&HFF"), 255.0L);
    EXPECT_EQ(val("&hff"), 255.0L);
    EXPECT_EQ(val(" & H 1 0"), 16.0L);
    EXPECT_EQ(val("&B101x1"), 5.0L);
    EXPECT_EQ(val("&O17"), 15.0L);
    EXPECT_EQ(val("&H7FFFFFFFFFFFFFFF"), 9223372036854775807.0L);
    // Sixteen hex digits are a 64-bit integer, the top bit its sign.
    EXPECT_EQ(val("&HFFFFFFFFFFFFFFFF"), -1.0L);
    EXPECT_EQ(val("&H00000000000000000000001"), 1.0L);
    EXPECT_EQ(val("&B" + std::string(64, '1')), -1.0L);
    EXPECT_EQ(val("&O1777777777777777777777"), -1.0L);
    EXPECT_EQ(frame_error.error_number, 0u);
}

TEST_F(NumberTextTest, OverlongBinaryHexOrOctalRaisesOverflow) {
    EXPECT_EQ(val("&H1FFFFFFFFFFFFFFFF"), 0.0L);
    EXPECT_EQ(frame_error.error_number, 6u);
    frame_error.error_number = 0;
    EXPECT_EQ(val("&B1" + std::string(64, '0')), 0.0L);
    EXPECT_EQ(frame_error.error_number, 6u);
    frame_error.error_number = 0;
    EXPECT_EQ(val("&O2000000000000000000000"), 0.0L);  // 22 digits, first above 1
    EXPECT_EQ(frame_error.error_number, 6u);
    frame_error.error_number = 0;
    EXPECT_EQ(val("&O12345670123456701234567"), 0.0L);
    EXPECT_EQ(frame_error.error_number, 6u);
}

TEST_F(NumberTextTest, AmpersandEdgeCasesGiveZero) {
    EXPECT_EQ(val("&"), 0.0L);
    EXPECT_EQ(val("&H"), 0.0L);
    EXPECT_EQ(val("&HF"), 15.0L);
    EXPECT_EQ(val("  &H"), 0.0L);   // "&" within the last two characters
    EXPECT_EQ(val("&X12"), 0.0L);
    EXPECT_EQ(val("&H  "), 0.0L);
    EXPECT_EQ(val("&HG"), 0.0L);
    EXPECT_EQ(val("1&H5"), 1.0L);
    EXPECT_EQ(val("-&H5"), 0.0L);
    EXPECT_EQ(frame_error.error_number, 0u);
}

TEST_F(NumberTextTest, ValueConsumesATemporaryButNotAVariable) {
    int32_t before = sv_temp_count();
    EXPECT_EQ(num_val(sv_new_text(" 42")), 42.0L);
    EXPECT_EQ(sv_temp_count(), before);
    StringValue* variable = sv_new(0, 0);
    sv_assign(variable, num_str(2.5f));
    EXPECT_EQ(num_val(variable), 2.5L);
    EXPECT_EQ(num_val(variable), 2.5L);
    sv_free(variable);
}

TEST_F(NumberTextTest, ValueDoesNothingWhileAnErrorIsPending) {
    frame_error.error_number = 9;
    EXPECT_EQ(val("12"), 0.0L);
    EXPECT_EQ(frame_error.error_number, 9u);
}

// Whether a text shows a power of ten (a single significant digit 1).
bool power_of_ten_text(const std::string& text) {
    std::string digits;
    for (char c : text.substr(0, text.find_first_of("ED")))
        if (c >= '1' && c <= '9') digits.push_back(c);
    return digits == "1";
}

// Reads a float's text back and checks what holds for every finite float: the value lands
// within half a unit of the seventh digit, and prints as the same text again, except where the
// text is a power of ten whose nearest float lies just below it; that float's own text is then
// stable. (Seven digits are fewer than a float needs, so the float itself often changes.)
void check_read_back(float v) {
    std::string text = single_text(v);
    long double back = val(text);
    char exact[64];
    std::snprintf(exact, sizeof exact, "%.20E", static_cast<double>(v));
    int32_t e = std::atoi(std::strchr(exact, 'E') + 1);
    long double half_unit = 0.5L * std::pow(10.0L, e - 6);
    // The text is read through a double: allow its rounding too.
    long double slack = std::fabs(static_cast<long double>(v)) * 0x1p-52L;
    ASSERT_LE(std::fabs(back - static_cast<long double>(v)), half_unit + slack) << text;
    float f = static_cast<float>(back);
    std::string again = single_text(f);
    if (again == text) return;
    ASSERT_TRUE(power_of_ten_text(text)) << text << " -> " << again;
    ASSERT_EQ(static_cast<float>(val(again)), f) << again;
}

TEST_F(NumberTextTest, ReadBackOfAPowerOfTenCanGiveTheFloatBelowIt) {
    float v = 0x1.b38fbcp-127f;  // 1.00000008E-38
    EXPECT_EQ(single_text(v), " 1E-38");
    float back = static_cast<float>(val(single_text(v)));
    EXPECT_EQ(back, 0x1.b38fb8p-127f);
    EXPECT_EQ(single_text(back), " 9.999999E-39");
}

TEST_F(NumberTextTest, EveryFloatReadsBackToTheSameText) {
    std::mt19937 gen(12345);
    int32_t checked = 0;
    while (checked < 200000) {
        uint32_t bits = static_cast<uint32_t>(gen());
        float v;
        std::memcpy(&v, &bits, sizeof v);
        if (!std::isfinite(v) || v == 0) continue;
        ++checked;
        check_read_back(v);
        if (HasFatalFailure()) return;
    }
    // The exceptions sit within a few steps of the powers of ten: walk around each of them.
    for (int32_t e = -45; e <= 38; ++e) {
        float p = std::strtof(("1e" + std::to_string(e)).c_str(), nullptr);
        float up = p, down = p;
        for (int32_t k = 0; k < 200; ++k) {
            check_read_back(up);
            check_read_back(-down);
            if (HasFatalFailure()) return;
            up = std::nextafter(up, std::numeric_limits<float>::infinity());
            down = std::nextafter(down, 0.0f);
        }
    }
}

// Floats typed as decimals of up to six digits (the way a user or a saved file writes them)
// come back bit for bit.
TEST_F(NumberTextTest, FloatsOfSixDigitDecimalsRoundTripBitForBit) {
    std::mt19937 gen(777);
    for (int32_t i = 0; i < 200000; ++i) {
        int32_t mantissa = 100000 + static_cast<int32_t>(gen() % 900000);
        int32_t exponent = static_cast<int32_t>(gen() % 84) - 50;
        char decimal[32];
        std::snprintf(decimal, sizeof decimal, "%de%d", mantissa, exponent);
        float v = std::strtof(decimal, nullptr);
        if (v == 0 || !std::isfinite(v)) continue;
        float back = static_cast<float>(val(single_text(v)));
        uint32_t a, b;
        std::memcpy(&a, &v, 4);
        std::memcpy(&b, &back, 4);
        ASSERT_EQ(a, b) << decimal << " -> " << single_text(v);
    }
}

// Doubles show 16 digits, or 15 where the sixteenth would be a 9: reading the text back always
// lands within half a unit of the fifteenth digit, and no text with a point or an exponent ends
// in a sixteenth digit 9 (whole numbers print all their digits through "%f").
TEST_F(NumberTextTest, EveryDoubleReadsBackWithinFifteenDigits) {
    std::mt19937_64 gen(99);
    for (int32_t i = 0; i < 100000; ++i) {
        uint64_t bits = gen();
        double v;
        std::memcpy(&v, &bits, sizeof v);
        if (!std::isfinite(v) || v == 0) continue;
        std::string text = double_text(v);
        long double back = val(text);
        char exact[64];
        std::snprintf(exact, sizeof exact, "%.20E", v);
        int32_t e = std::atoi(std::strchr(exact, 'E') + 1);
        long double half_unit = 0.5L * std::pow(10.0L, e - 14);
        long double slack = std::fabs(static_cast<long double>(v)) * 0x1p-52L;
        ASSERT_LE(std::fabs(back - static_cast<long double>(v)), half_unit + slack) << text;
        std::string digits;
        for (char c : text.substr(0, text.find('D')))
            if (c >= '0' && c <= '9') digits.push_back(c);
        digits.erase(0, digits.find_first_not_of('0'));
        bool whole = text.find_first_of(".D") == std::string::npos;
        ASSERT_FALSE(!whole && digits.size() == 16 && digits.back() == '9') << text;
    }
}

}  // namespace
