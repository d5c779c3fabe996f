#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "runtime/core/error.h"
#include "runtime/core/run_state.h"
#include "runtime/text/format_layout.h"
#include "runtime/text/format_using.h"
#include "runtime/text/string_value.h"

namespace {

class FormatUsingTest : public ::testing::Test {
protected:
    void SetUp() override {
        sv_init();
        frame_error = ErrorState{};
        frame_run_reset();
        output = sv_new(0, 0);
    }
    void TearDown() override {
        sv_free(output);
        frame_error = ErrorState{};
        frame_run_reset();
    }

    std::string text() const {
        return std::string(reinterpret_cast<const char*>(output->data),
                           static_cast<size_t>(output->length));
    }
    // Formats one single with a fresh output; returns the text.
    std::string single(const char* pattern, float v) {
        sv_assign(output, sv_new(0, 1));
        StringValue* p = sv_new_text(pattern);
        next = num_format_using(p, v, 0, output);
        sv_free(p);
        return text();
    }
    std::string dbl(const char* pattern, double v) {
        sv_assign(output, sv_new(0, 1));
        StringValue* p = sv_new_text(pattern);
        next = num_format_using_double(p, v, 0, output);
        sv_free(p);
        return text();
    }
    std::string str(const char* pattern, const char* v) {
        sv_assign(output, sv_new(0, 1));
        StringValue* p = sv_new_text(pattern);
        next = num_format_using_string(p, sv_new_text(v), 0, output);
        sv_free(p);
        return text();
    }

    StringValue* output = nullptr;
    int32_t next = -1;
};

TEST_F(FormatUsingTest, StatusPanelPatternWorkedExamples) {
    EXPECT_EQ(single("###.##", 0.3f), "  0.30");
    EXPECT_EQ(single("###.##", 1.25f), "  1.25");
    EXPECT_EQ(single("###.##", 123.456f), "123.46");
    EXPECT_EQ(single("###.##", -1.5f), " -1.50");
    EXPECT_EQ(single("###.##", 1000.0f), "%1000.00");
    EXPECT_EQ(single("###.##", -123.0f), "%-123.00");
    EXPECT_EQ(next, 0);
}

TEST_F(FormatUsingTest, RoundingIsHalfUpOnTheExactBinaryValue) {
    EXPECT_EQ(single("###.##", 1.005f), "  1.00");  // 1.00499999523…
    EXPECT_EQ(single("#.##", 0.005f), "0.00");      // 0.00499999988…
    EXPECT_EQ(dbl("#.##", 0.005), "0.01");          // 0.00500000000000000010…
    EXPECT_EQ(dbl("#.#", 0.25), "0.3");             // an exact tie goes up
    EXPECT_EQ(dbl("#.#", -0.25), "-.3");
    EXPECT_EQ(dbl("##", 2.5), " 3");
    // A carry can widen the number past its field.
    EXPECT_EQ(single("###.##", 999.996f), "%1000.00");
    EXPECT_EQ(dbl("##.##", 9.995), " 9.99");  // 9.99499999999999957…
}

TEST_F(FormatUsingTest, SmallValuesAndZero) {
    EXPECT_EQ(single("###.##", 0.0f), "  0.00");
    EXPECT_EQ(single("###.##", -0.0f), "  0.00");
    EXPECT_EQ(single("###.##", -0.3f), " -0.30");
    EXPECT_EQ(single(".##", 0.5f), ".50");
    // No integer position is left for a negative value: the sign overflows the field.
    EXPECT_EQ(single(".##", -0.5f), "%-.50");
    EXPECT_EQ(single("#.##", -0.5f), "-.50");
    EXPECT_EQ(dbl("#.#####", 0.000012), "0.00001");
    EXPECT_EQ(dbl("###", 0.4), "  0");
}

TEST_F(FormatUsingTest, AsteriskFillAndDollarSign) {
    EXPECT_EQ(single("**##", 5.0f), "***5");
    EXPECT_EQ(single("$$##", 5.0f), "  $5");
    EXPECT_EQ(single("**$##", 5.0f), "***$5");
    EXPECT_EQ(single("**", 5.0f), "*5");
    EXPECT_EQ(single("**#.#", -2.0f), "*-2.0");
    EXPECT_EQ(single("$$##.##", -12.5f), "-$12.50");
    EXPECT_EQ(single("$$#", 1234.0f), "%$1234");
}

TEST_F(FormatUsingTest, CommasEveryThreeDigits) {
    EXPECT_EQ(dbl("#,###", 1234.0), "1,234");
    EXPECT_EQ(dbl("#,###", 12.0), "   12");
    EXPECT_EQ(dbl("#,###", 12345.0), "%12,345");
    EXPECT_EQ(dbl("##,###.##", 12345.678), "12,345.68");
    EXPECT_EQ(dbl("#########,", 1234567.0), " 1,234,567");
    EXPECT_EQ(dbl("#,###", -123.0), " -123");
    EXPECT_EQ(dbl("#,###", -1234.0), "%-1,234");
    EXPECT_EQ(dbl("**#,###", 1234.0), "**1,234");
}

TEST_F(FormatUsingTest, LeadingAndTrailingSigns) {
    EXPECT_EQ(single("+##.#", 5.0f), "+ 5.0");
    EXPECT_EQ(single("+##.#", -5.0f), "- 5.0");
    EXPECT_EQ(single("##.#+", 5.0f), " 5.0+");
    EXPECT_EQ(single("##.#+", -5.0f), " 5.0-");
    EXPECT_EQ(single("##.#-", 5.0f), " 5.0 ");
    EXPECT_EQ(single("##.#-", -5.0f), " 5.0-");
    // With a sign of its own the field needs no position for "-".
    EXPECT_EQ(single("###+", -123.0f), "123-");
}

TEST_F(FormatUsingTest, ExponentLayout) {
    EXPECT_EQ(dbl("##.##^^^^", 1.5), " 1.50E+00");
    EXPECT_EQ(dbl("##.##^^^^", 12345.0), " 1.23E+04");
    EXPECT_EQ(dbl("##.##^^^^", -12345.0), "-1.23E+04");
    EXPECT_EQ(dbl("##.##^^^^", 0.000123), " 1.23E-04");
    EXPECT_EQ(dbl("##.##^^^^", 0.0), " 0.00E+00");
    EXPECT_EQ(dbl("##.##^^^^", 9.999), " 1.00E+01");  // the carry adds a digit
    EXPECT_EQ(dbl("###^^^^", 123456.0), " 12E+04");
    EXPECT_EQ(dbl("+#.##^^^^", 1.5), "+1.50E+00");
    EXPECT_EQ(dbl("#.##^^^^-", -1.5), "1.50E+00-");
    EXPECT_EQ(dbl("##.##^^^^^", 1.5), " 1.50E+000");
    EXPECT_EQ(dbl("$$#.#^^^^", 2.0), "$ 2.0E+00");
}

TEST_F(FormatUsingTest, ExponentLayoutSignPosition) {
    // No integer position is left for a positive value: it shows as "0".
    EXPECT_EQ(dbl("#.##^^^^", 1.5), "0.15E+01");
    EXPECT_EQ(dbl("#.##^^^^", -1.5), "-.15E+01");
    EXPECT_EQ(dbl(".##^^^^", 5.0), "0.5E+01");
    EXPECT_EQ(dbl(".##^^^^", -5.0), "-.5E+01");
    // The only fraction position becomes the sign position and the point goes.
    EXPECT_EQ(dbl(".#^^^^", 5.0), " 5E+00");
    EXPECT_EQ(dbl(".#^^^^", -5.0), "-5E+00");
    EXPECT_EQ(dbl("#^^^^", 5.0), "5E+00");
    EXPECT_EQ(dbl("#^^^^", -5.0), "%-5E+00");
}

TEST_F(FormatUsingTest, ExponentTooWideOverflows) {
    EXPECT_EQ(dbl("##.##^^^^", 1e100), "% 1.00E+100");
    EXPECT_EQ(dbl("##.##^^^^^", 1e100), " 1.00E+100");
    EXPECT_EQ(dbl("##.##^^^^", -2.5e-300), "%-2.50E-300");
}

TEST_F(FormatUsingTest, StringFields) {
    EXPECT_EQ(str("&", "abc"), "abc");
    EXPECT_EQ(str("!", "abc"), "a");
    EXPECT_EQ(str("!", ""), " ");
    EXPECT_EQ(str("\\  \\", "ab"), "ab  ");
    EXPECT_EQ(str("\\  \\", "abcdef"), "abcd");
    EXPECT_EQ(str("\\\\", "xyz"), "xy");
    EXPECT_EQ(str("[&]", "hi"), "[hi]");
    // A backslash without a closing one is a literal.
    EXPECT_EQ(str("\\ x&", "q"), "\\ xq");
}

TEST_F(FormatUsingTest, StringValueIsConsumed) {
    int32_t before = sv_temp_count();
    str("&", "abc");
    EXPECT_EQ(sv_temp_count(), before);
}

TEST_F(FormatUsingTest, LiteralsEscapesAndNotAField) {
    EXPECT_EQ(single("x_#y##", 5.0f), "x#y 5");
    EXPECT_EQ(single("x_##y", 5.0f), "x#5y");
    EXPECT_EQ(single("##_", 5.0f), " 5_");
    EXPECT_EQ(single("$##", 5.0f), "$ 5");
    EXPECT_EQ(single("+x##", 5.0f), "+x 5");
    EXPECT_EQ(single("a.b##", 5.0f), "a.b 5");
    EXPECT_EQ(single("^^^^##", 5.0f), "^^^^ 5");
    EXPECT_EQ(single("##^^^", 5.0f), " 5^^^");
    EXPECT_EQ(single("A-##", 5.0f), "A- 5");
}

TEST_F(FormatUsingTest, SuccessiveValuesUseSuccessiveFields) {
    StringValue* p = sv_new_text("A##B#.#C");
    int32_t pos = num_format_using(p, 1.0f, 0, output);
    EXPECT_EQ(text(), "A 1B");
    EXPECT_EQ(pos, 4);
    pos = num_format_using(p, 2.0f, pos, output);
    EXPECT_EQ(text(), "A 1B2.0C");
    EXPECT_EQ(pos, 0);
    // The end wraps to the first field again.
    pos = num_format_using(p, 3.0f, pos, output);
    EXPECT_EQ(text(), "A 1B2.0CA 3B");
    EXPECT_EQ(pos, 4);
    sv_free(p);
}

TEST_F(FormatUsingTest, StartPastTheLastFieldWrapsToTheFirst) {
    StringValue* p = sv_new_text("##X");
    int32_t pos = num_format_using(p, 7.0f, 2, output);
    EXPECT_EQ(text(), "X 7X");
    EXPECT_EQ(pos, 0);
    sv_free(p);
}

TEST_F(FormatUsingTest, MixedFieldKinds) {
    StringValue* p = sv_new_text("&=##.#");
    int32_t pos = num_format_using_string(p, sv_new_text("x"), 0, output);
    EXPECT_EQ(pos, 2);
    pos = num_format_using(p, 2.5f, pos, output);
    EXPECT_EQ(pos, 0);
    EXPECT_EQ(text(), "x= 2.5");
    sv_free(p);
}

TEST_F(FormatUsingTest, TypeMismatchAppendsNothing) {
    sv_assign(output, sv_new_text("keep"));
    StringValue* p = sv_new_text("ab##");
    EXPECT_EQ(num_format_using_string(p, sv_new_text("x"), 0, output), 0);
    EXPECT_EQ(frame_error.error_number, 13u);
    EXPECT_EQ(text(), "keep");
    frame_error.error_number = 0;
    StringValue* q = sv_new_text("ab&");
    EXPECT_EQ(num_format_using(q, 1.0f, 0, output), 0);
    EXPECT_EQ(frame_error.error_number, 13u);
    EXPECT_EQ(text(), "keep");
    sv_free(p);
    sv_free(q);
}

TEST_F(FormatUsingTest, PatternWithoutFieldIsAnIllegalCall) {
    StringValue* p = sv_new_text("no field here.");
    EXPECT_EQ(num_format_using(p, 1.0f, 0, output), 0);
    EXPECT_EQ(frame_error.error_number, 5u);
    EXPECT_EQ(text(), "");
    frame_error.error_number = 0;
    StringValue* empty = sv_new_text("");
    num_format_using(empty, 1.0f, 0, output);
    EXPECT_EQ(frame_error.error_number, 5u);
    sv_free(p);
    sv_free(empty);
}

TEST_F(FormatUsingTest, NothingHappensWhileAnErrorIsPending) {
    frame_error.error_number = 7;
    StringValue* p = sv_new_text("##");
    EXPECT_EQ(num_format_using(p, 1.0f, 0, output), 0);
    EXPECT_EQ(text(), "");
    EXPECT_EQ(frame_error.error_number, 7u);
    sv_free(p);
}

TEST_F(FormatUsingTest, OtherValueKinds) {
    StringValue* p = sv_new_text("####");
    num_format_using_int64(p, -42, 0, output);
    EXPECT_EQ(text(), " -42");
    sv_assign(output, sv_new(0, 1));
    num_format_using_uint64(p, UINT64_MAX, 0, output);
    EXPECT_EQ(text(), "%18446744073709551615");
    sv_assign(output, sv_new(0, 1));
    num_format_using_int64(p, INT64_MIN, 0, output);
    EXPECT_EQ(text(), "%-9223372036854775808");
    sv_assign(output, sv_new(0, 1));
    num_format_using_extended(p, 12.5L, 0, output);
    EXPECT_EQ(text(), "  13");
    sv_free(p);
    EXPECT_EQ(dbl("##.#^^^^", 123.0), " 1.2E+02");
}

TEST_F(FormatUsingTest, NonFiniteValuesShowInFull) {
    EXPECT_EQ(single("###.##", std::numeric_limits<float>::infinity()), "%INF");
    EXPECT_EQ(dbl("##.##^^^^", -std::numeric_limits<double>::infinity()), "%-INF");
    EXPECT_EQ(dbl("##x", std::numeric_limits<double>::quiet_NaN()), "%NANx");
}

TEST_F(FormatUsingTest, LongFieldsReachPastTheExpansion) {
    std::string pattern = "." + std::string(300, '#');
    std::string out = dbl(pattern.c_str(), 0.1);
    ASSERT_EQ(out.size(), 301u);
    EXPECT_EQ(out.substr(0, 20), ".1000000000000000055");
    EXPECT_EQ(out.substr(280), std::string(21, '0'));
    std::string wide = std::string(400, '#');
    EXPECT_EQ(dbl(wide.c_str(), 1e300).size(), 400u);
}

TEST_F(FormatUsingTest, CharLevelFormatterAppendsToItsBuffer) {
    NumDigits digits;
    num_digits_double(-1.5, digits);
    std::string out = "x";
    const char* pattern = "###.##";
    int32_t pos = num_format_chars(reinterpret_cast<const uint8_t*>(pattern), 6, 0, &digits,
                                   nullptr, 0, out);
    EXPECT_EQ(out, "x -1.50");
    EXPECT_EQ(pos, 0);
}

// A finite extended value beyond the double range is a number, not an infinity.
TEST_F(FormatUsingTest, ExtendedBeyondTheDoubleRangeShowsItsDigits) {
    StringValue* p = sv_new_text("###.##");
    num_format_using_extended(p, 1e400L, 0, output);
    sv_free(p);
    const std::string t = text();
    EXPECT_EQ(t.substr(0, 2), "%1");
    EXPECT_EQ(t.find("INF"), std::string::npos);
    EXPECT_EQ(t.size(), 1u + 401u + 3u);
}

}  // namespace
