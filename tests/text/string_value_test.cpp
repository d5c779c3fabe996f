#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "runtime/core/error.h"
#include "runtime/core/platform.h"
#include "runtime/text/string_heap.h"
#include "runtime/text/string_value.h"

namespace {

std::string text(const StringValue* s) {
    return std::string(reinterpret_cast<const char*>(s->data), static_cast<size_t>(s->length));
}

// A heap temporary holding `t` (as a number converted to text would be).
StringValue* heap_temp(const std::string& t) {
    StringValue* s = sv_new(static_cast<int32_t>(t.size()), 1);
    if (!t.empty()) std::memcpy(s->data, t.data(), t.size());
    return s;
}

// A permanent variable holding `t`.
StringValue* variable(const std::string& t) {
    StringValue* v = sv_new(0, 0);
    sv_assign(v, heap_temp(t));
    return v;
}

// A permanent value made at the end of the heap holding `t` (32 spare bytes follow it).
StringValue* permanent(const std::string& t) {
    StringValue* v = sv_new(static_cast<int32_t>(t.size()), 0);
    if (!t.empty()) std::memcpy(v->data, t.data(), t.size());
    return v;
}

class StringValueTest : public ::testing::Test {
protected:
    void SetUp() override {
        frame_error = ErrorState{};
        sv_init();
        base_ = sv_temp_count();
    }
    void TearDown() override {
        sv_cleanup(base_, 0);
        EXPECT_EQ(sv_temp_count(), base_);
        frame_error = ErrorState{};
        frame_run_reset();
    }
    int32_t base_ = 0;
};

TEST_F(StringValueTest, InitIsIdempotentAndTemporaryCountStartsAboveEntryZero) {
    uint64_t before = sv_system_allocations();
    sv_init();
    sv_init();
    EXPECT_EQ(sv_system_allocations(), before);
    EXPECT_GE(sv_temp_count(), 1);
    sv_cleanup(0, 0);  // a base below 1 never touches entry 0
    EXPECT_EQ(sv_temp_count(), 1);
}

TEST_F(StringValueTest, PermanentStringsSurviveFreeAndAssign) {
    EXPECT_EQ(text(sv_one_space()), " ");
    EXPECT_EQ(sv_empty()->length, 0);
    sv_free(sv_one_space());
    sv_free(sv_empty());
    sv_assign(sv_one_space(), sv_new_text("XYZ"));
    sv_mid_assign(sv_one_space(), 1, 1, sv_new_text("Q"), 1);
    EXPECT_EQ(text(sv_one_space()), " ");
    EXPECT_EQ(sv_empty()->length, 0);
    StringValue* a = sv_new(0, 0);
    StringValue* b = sv_new(0, 0);
    EXPECT_NE(a, sv_one_space());
    EXPECT_NE(b, sv_empty());
    sv_free(b);
    sv_free(a);
}

TEST_F(StringValueTest, NewTextIsReadOnlyTemporaryOverTheConstant) {
    static const char kHello[] = "HELLO";
    int32_t before = sv_temp_count();
    StringValue* s = sv_new_text(kHello);
    EXPECT_EQ(s->data, reinterpret_cast<const uint8_t*>(kHello));
    EXPECT_EQ(s->length, 5);
    EXPECT_EQ(s->is_read_only, 1);
    EXPECT_EQ(s->is_temporary, 1);
    EXPECT_EQ(sv_temp_count(), before + 1);
    EXPECT_EQ(sv_new_text(nullptr)->length, 0);
    EXPECT_EQ(text(sv_new_text_len("ABCDEF", 3)), "ABC");
}

TEST_F(StringValueTest, MidOnHelloWorkedExamples) {
    EXPECT_EQ(text(sv_mid(sv_new_text("HELLO"), 0, 2, 1)), "H");
    EXPECT_EQ(text(sv_mid(sv_new_text("HELLO"), 4, 10, 1)), "LO");
    EXPECT_EQ(sv_mid(sv_new_text("HELLO"), 6, 1, 1)->length, 0);
    EXPECT_EQ(text(sv_mid(sv_new_text("HELLO"), 2, 0, 0)), "ELLO");
    EXPECT_EQ(text(sv_mid(sv_new_text("HELLO"), -3, 5, 1)), "H");
    EXPECT_EQ(sv_mid(sv_new_text("HELLO"), -3, 4, 1)->length, 0);
    EXPECT_EQ(text(sv_mid(sv_new_text("HELLO"), -7, 0, 0)), "HELLO");
    EXPECT_EQ(sv_mid(sv_new_text("HELLO"), 2, 0, 1)->length, 0);
    EXPECT_EQ(text(sv_mid(sv_new_text("HELLO"), 2, 2147483647, 1)), "ELLO");
    EXPECT_EQ(sv_mid(sv_new_text("HELLO"), 2147483647, 2147483647, 1)->length, 0);
    EXPECT_EQ(text(sv_mid(sv_new_text("HELLO"), -2147483647 - 1, 2147483647, 1)), "");
}

TEST_F(StringValueTest, MidNarrowsHeapTemporaryInPlace) {
    StringValue* t = heap_temp(" 123");
    uint8_t* data = t->data;
    int32_t count = sv_temp_count();
    StringValue* r = sv_mid(t, 2, 0, 0);
    EXPECT_EQ(r, t);
    EXPECT_EQ(r->data, data + 1);
    EXPECT_EQ(text(r), "123");
    EXPECT_EQ(sv_temp_count(), count);
    // The whole value comes back as it is, permanent or not.
    StringValue* v = variable("ABC");
    EXPECT_EQ(sv_mid(v, 1, 3, 1), v);
    sv_free(v);
}

TEST_F(StringValueTest, MidOfReadOnlyCopiesAndConsumesTheInput) {
    StringValue* s = sv_new_text("HELLO");
    int32_t index = s->temp_index;
    StringValue* r = sv_mid(s, 2, 3, 1);
    EXPECT_NE(r, s);
    EXPECT_EQ(text(r), "ELL");
    EXPECT_EQ(sv_engine.temps[index], nullptr);
    // A permanent input is copied and left alone.
    StringValue* v = variable("WORLD");
    StringValue* part = sv_mid(v, 2, 2, 1);
    EXPECT_EQ(text(part), "OR");
    EXPECT_EQ(text(v), "WORLD");
    sv_free(v);
}

TEST_F(StringValueTest, ConcatEmptyOperandsReturnTheOtherOperand) {
    StringValue* a = sv_new_text("AB");
    StringValue* empty = sv_new_text("");
    EXPECT_EQ(sv_concat(a, empty), a);
    EXPECT_EQ(empty->is_temporary, 1);  // not freed by the concatenation
    StringValue* b = sv_new_text("CD");
    EXPECT_EQ(sv_concat(sv_new_text(""), b), b);
    StringValue* e1 = sv_new_text("");
    EXPECT_EQ(sv_concat(e1, sv_new_text("")), e1);
}

TEST_F(StringValueTest, ConcatJoinsAndConsumesBothTemporaries) {
    int32_t count = sv_temp_count();
    StringValue* a = heap_temp("AB");
    StringValue* b = sv_new_text("CDE");
    StringValue* c = sv_concat(a, b);
    EXPECT_EQ(text(c), "ABCDE");
    EXPECT_EQ(c->is_temporary, 1);
    // Only the result is left above the mark: a and b were freed.
    EXPECT_EQ(sv_engine.temps[count], nullptr);
    EXPECT_EQ(sv_engine.temps[count + 1], nullptr);
    EXPECT_EQ(sv_engine.temps[c->temp_index], c);
    StringValue* v = variable("X");
    StringValue* d = sv_concat(v, v);
    EXPECT_EQ(text(d), "XX");
    EXPECT_EQ(text(v), "X");
    StringValue* t = heap_temp("Y");
    EXPECT_EQ(text(sv_concat(t, t)), "YY");  // the same temporary twice is freed once
    sv_free(v);
}

TEST_F(StringValueTest, FixedLengthAssignTruncatesOrPads) {
    uint8_t buf[4] = {'-', '-', '-', '-'};
    StringValue* f = sv_new_fixed(buf, 4);
    sv_assign(f, sv_new_text("ABCDEFG"));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), 4), "ABCD");
    EXPECT_EQ(f->length, 4);
    sv_assign(f, sv_new_text("XY"));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), 4), "XY  ");
    sv_assign(f, heap_temp(""));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), 4), "    ");
    // A fixed value can itself be assigned to a variable.
    sv_assign(f, sv_new_text("WXYZ"));
    StringValue* v = variable("");
    sv_assign(v, f);
    EXPECT_EQ(text(v), "WXYZ");
    sv_free(v);
    sv_free(f);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), 4), "WXYZ");
}

TEST_F(StringValueTest, EqualAndNotEqual) {
    StringValue* ab = sv_new_text("AB");
    StringValue* abc = sv_new_text("ABC");
    EXPECT_EQ(sv_equal(ab, abc), 0);
    EXPECT_EQ(sv_equal(ab, sv_new_text("AB")), -1);
    EXPECT_EQ(sv_equal(ab, sv_new_text("AC")), 0);
    EXPECT_EQ(sv_not_equal(sv_new_text(""), heap_temp("")), 0);
    EXPECT_EQ(sv_not_equal(ab, abc), -1);
    EXPECT_EQ(sv_not_equal(ab, sv_new_text("AB")), 0);
    // Operands are not consumed.
    EXPECT_EQ(ab->is_temporary, 1);
    EXPECT_EQ(sv_engine.temps[ab->temp_index], ab);
}

TEST_F(StringValueTest, ChrRangeAndStringOf) {
    EXPECT_EQ(text(sv_chr(65)), "A");
    EXPECT_EQ(sv_chr(0)->data[0], 0);
    EXPECT_EQ(sv_chr(255)->data[0], 255);
    EXPECT_EQ(frame_error.error_number, 0u);
    StringValue* bad = sv_chr(256);
    EXPECT_EQ(frame_error.error_number, 5u);
    EXPECT_EQ(bad->length, 0);
    EXPECT_EQ(bad->is_temporary, 1);
    frame_error.error_number = 0;
    sv_chr(-1);
    EXPECT_EQ(frame_error.error_number, 5u);
    frame_error.error_number = 0;
    EXPECT_EQ(sv_string_of(-3, 65)->length, 0);
    EXPECT_EQ(text(sv_string_of(2, 321)), "AA");
    EXPECT_EQ(text(sv_string_of(3, -191)), "AAA");  // -191 AND 255 = 65
    EXPECT_EQ(text(sv_space(3)), "   ");
    EXPECT_EQ(sv_space(-1)->length, 0);
    EXPECT_EQ(frame_error.error_number, 0u);
}

TEST_F(StringValueTest, CaseChangeInPlaceOnHeapTemporaryOtherwiseCopied) {
    StringValue* t = heap_temp("abZ\x80\xe4{@");
    uint8_t* data = t->data;
    StringValue* u = sv_ucase(t);
    EXPECT_EQ(u, t);
    EXPECT_EQ(u->data, data);
    EXPECT_EQ(text(u), "ABZ\x80\xe4{@");
    EXPECT_EQ(text(sv_lcase(u)), "abz\x80\xe4{@");
    static const char kConst[] = "MiXeD";
    StringValue* c = sv_new_text(kConst);
    int32_t index = c->temp_index;
    StringValue* l = sv_lcase(c);
    EXPECT_NE(l, c);
    EXPECT_EQ(text(l), "mixed");
    EXPECT_STREQ(kConst, "MiXeD");
    EXPECT_EQ(sv_engine.temps[index], nullptr);
    StringValue* e = sv_new_text("");
    EXPECT_EQ(sv_ucase(e), e);
    StringValue* v = variable("aB");
    EXPECT_EQ(text(sv_ucase(v)), "AB");
    EXPECT_EQ(text(v), "aB");
    sv_free(v);
}

TEST_F(StringValueTest, InstrEdgeRules) {
    auto instr = [](int32_t start, const char* s, const char* p, int32_t given) {
        return sv_instr(start, sv_new_text(s), sv_new_text(p), given);
    };
    EXPECT_EQ(instr(0, "HELLO", "L", 0), 3);
    EXPECT_EQ(instr(4, "HELLO", "L", 1), 4);
    EXPECT_EQ(instr(5, "HELLO", "L", 1), 0);
    EXPECT_EQ(instr(4, "HELLO", "LO", 1), 4);
    EXPECT_EQ(instr(5, "HELLO", "LO", 1), 0);  // runs past the end
    EXPECT_EQ(instr(0, "", "", 0), 0);
    EXPECT_EQ(instr(0, "", "A", 0), 0);
    EXPECT_EQ(instr(-2, "HELLO", "H", 1), 1);
    EXPECT_EQ(instr(0, "HELLO", "", 1), 0);
    EXPECT_EQ(instr(3, "HELLO", "", 1), 3);
    EXPECT_EQ(instr(0, "HELLO", "", 0), 1);
    EXPECT_EQ(instr(6, "HELLO", "", 1), 0);
    EXPECT_EQ(instr(0, "HELLO", "HELLO!", 0), 0);
    EXPECT_EQ(instr(0, "AAAB", "AAB", 0), 2);
    EXPECT_EQ(instr(0, "HELLO", "X", 0), 0);
    EXPECT_EQ(sv_temp_count(), base_);  // every search consumed its two temporaries
    StringValue* t = heap_temp("ABAB");
    EXPECT_EQ(sv_instr(2, t, t, 1), 0);
}

TEST_F(StringValueTest, MidAssignEdgeRules) {
    StringValue* d = variable("HELLO");
    uint8_t* data = d->data;
    sv_mid_assign(d, 2, 0, sv_new_text("XY"), 0);
    EXPECT_EQ(text(d), "HXYLO");
    sv_mid_assign(d, 4, 0, sv_new_text("123"), 0);
    EXPECT_EQ(text(d), "HXY12");  // clipped to the end of dest
    sv_mid_assign(d, 0, 3, sv_new_text("ABC"), 1);
    EXPECT_EQ(text(d), "BCY12");  // one byte of length and of source skipped
    sv_mid_assign(d, -5, 9, sv_new_text("ABC"), 1);
    EXPECT_EQ(text(d), "BCY12");  // every source byte skipped
    sv_mid_assign(d, 6, 1, sv_new_text("Z"), 1);
    sv_mid_assign(d, 1, 0, sv_new_text("Z"), 1);
    sv_mid_assign(d, 1, -4, sv_new_text("Z"), 1);
    EXPECT_EQ(text(d), "BCY12");
    sv_mid_assign(d, 1, 5, sv_new_text("QR"), 1);
    EXPECT_EQ(text(d), "QRY12");  // clipped to the source
    sv_mid_assign(d, 2, 0, d, 0);
    EXPECT_EQ(text(d), "QQRY1");  // overlapping move within one value
    EXPECT_EQ(d->length, 5);
    EXPECT_EQ(d->data, data);
    StringValue* t = heap_temp("AB");
    sv_mid_assign(d, 1, 0, t, 0);
    EXPECT_EQ(text(d), "ABRY1");
    EXPECT_EQ(sv_temp_count(), base_);  // the source temporary was consumed
    sv_free(d);
}

TEST_F(StringValueTest, AssigningConcatenationTakesOverItsBytes) {
    sv_free(sv_new(0, 0));  // the end mark now follows the last live value by 32 bytes
    SvHeapStats start = sv_heap_stats();
    StringValue* w = sv_new(0, 0);
    StringValue* c = sv_concat(heap_temp("AB"), heap_temp("CD"));
    uint8_t* bytes = c->data;
    int32_t slot = c->list_index;
    EXPECT_EQ(sv_assign(w, c), w);
    EXPECT_EQ(w->data, bytes);
    EXPECT_EQ(w->list_index, slot);
    EXPECT_EQ(sv_engine.heap_list[slot], w);
    EXPECT_EQ(text(w), "ABCD");
    EXPECT_EQ(w->is_temporary, 0);
    // No temporary is left alive: the concatenation's entry was the top one and went, the
    // operands' entries below it wait for the clean-up.
    EXPECT_EQ(sv_temp_count(), base_ + 2);
    for (int32_t k = base_; k < sv_temp_count(); ++k) EXPECT_EQ(sv_engine.temps[k], nullptr);
    sv_cleanup(base_, 0);
    sv_free(w);
    SvHeapStats end = sv_heap_stats();
    EXPECT_EQ(end.end_mark, start.end_mark);
    EXPECT_EQ(end.heap_live, start.heap_live);
    EXPECT_EQ(end.heap_list_count, start.heap_list_count);
}

TEST_F(StringValueTest, AssignCopiesShorterInPlaceAndGrowsIntoSpareBytes) {
    StringValue* w = permanent("ABCDEFGH");
    StringValue* next = permanent("NEXT");
    uint8_t* data = w->data;
    ASSERT_EQ(next->data, data + 40);
    StringValue* src = variable(std::string(40, 'x'));
    sv_assign(w, src);  // 40 bytes fit before `next` (8 + 32 spare)
    EXPECT_EQ(w->data, data);
    EXPECT_EQ(text(w), std::string(40, 'x'));
    sv_assign(w, sv_new_text("ab"));
    EXPECT_EQ(w->data, data);
    EXPECT_EQ(text(w), "ab");
    StringValue* big = variable(std::string(41, 'y'));
    StringValue* long_src = variable(std::string(500, 'z'));
    sv_assign(w, big);  // one byte too many: relocated to the end of the heap
    EXPECT_NE(w->data, data);
    EXPECT_EQ(w->list_index, sv_engine.heap_count - 1);
    EXPECT_EQ(sv_heap_stats().end_mark, (w->data - sv_engine.heap) + 41);
    EXPECT_EQ(text(w), std::string(41, 'y'));
    EXPECT_EQ(text(next), "NEXT");
    EXPECT_EQ(text(big), std::string(41, 'y'));
    // As the last value it grows in place past its spare bytes.
    uint8_t* last = w->data;
    sv_assign(w, long_src);
    EXPECT_EQ(w->data, last);
    EXPECT_EQ(text(w), std::string(500, 'z'));
    EXPECT_EQ(sv_heap_stats().end_mark, (w->data - sv_engine.heap) + 500);
    for (StringValue* v : {w, next, src, big, long_src}) sv_free(v);
}

TEST_F(StringValueTest, CleanupFreesTemporariesAboveBaseAndReturnsValue) {
    int32_t base = sv_temp_count();
    SvHeapStats before = sv_heap_stats();
    StringValue* a = heap_temp("A");
    StringValue* b = heap_temp("B");
    StringValue* c = sv_new_text("C");
    StringValue* joined = sv_concat(a, sv_new_text("D"));  // a and "D" already consumed
    EXPECT_EQ(sv_temp_count(), base + 5);
    EXPECT_EQ(sv_cleanup(base, 7), 7);
    EXPECT_EQ(sv_temp_count(), base);
    SvHeapStats after = sv_heap_stats();
    EXPECT_EQ(after.heap_live, before.heap_live);
    EXPECT_EQ(after.end_mark, before.end_mark);
    // The freed descriptors are handed out again, last freed (the lowest entry) first.
    EXPECT_EQ(sv_new(0, 1), b);
    EXPECT_EQ(sv_new(0, 1), c);
    EXPECT_EQ(sv_new(0, 1), joined);
}

TEST_F(StringValueTest, PendingErrorLeavesValuesAloneButCleanupStillFrees) {
    StringValue* v = variable("KEEP");
    StringValue* t = heap_temp("T");
    frame_error.error_number = 9;
    EXPECT_EQ(sv_concat(v, t), sv_empty());
    EXPECT_EQ(sv_assign(v, t), v);
    EXPECT_EQ(text(v), "KEEP");
    EXPECT_EQ(sv_mid(v, 2, 1, 1), sv_empty());
    EXPECT_EQ(sv_chr(300), sv_empty());
    EXPECT_EQ(sv_instr(0, v, v, 0), 0);
    EXPECT_EQ(sv_equal(v, v), 0);
    sv_mid_assign(v, 1, 1, t, 1);
    EXPECT_EQ(text(v), "KEEP");
    EXPECT_EQ(frame_error.error_number, 9u);
    EXPECT_GT(sv_temp_count(), base_);
    sv_cleanup(base_, 0);
    EXPECT_EQ(sv_temp_count(), base_);
    frame_error.error_number = 0;
    sv_free(v);
}

TEST_F(StringValueTest, CompactionMovesOnlyValuesAfterLargeGaps) {
    sv_heap_compact(0);
    int32_t live = sv_heap_stats().heap_live;
    StringValue* a = permanent("AAAA");
    StringValue* b = permanent(std::string(100, 'B'));
    StringValue* c = permanent("CCCC");
    uint8_t* a_data = a->data;
    uint8_t* b_data = b->data;
    sv_heap_compact(0);
    EXPECT_EQ(a->data, a_data);  // gaps of 32 bytes stay
    EXPECT_EQ(b->data, b_data);
    sv_free(b);
    sv_heap_compact(0);
    EXPECT_EQ(a->data, a_data);
    EXPECT_EQ(c->data, a->data + 4);  // moved down over the freed value
    EXPECT_EQ(text(c), "CCCC");
    EXPECT_EQ(sv_heap_stats().end_mark, (c->data - sv_engine.heap) + 4);
    sv_free(c);
    sv_free(a);
    EXPECT_EQ(sv_heap_stats().heap_live, live);
}

TEST_F(StringValueTest, HeapGrowsAndKeepsContents) {
    int64_t size = sv_heap_stats().heap_size;
    int32_t live = sv_heap_stats().heap_live;
    std::vector<StringValue*> vars;
    std::vector<std::string> model;
    for (int i = 0; static_cast<int64_t>(i) * 100000 < size + 200000; ++i) {
        model.push_back(std::string(100000, static_cast<char>('a' + i % 26)));
        vars.push_back(variable(model.back()));
    }
    EXPECT_GT(sv_heap_stats().heap_size, size);
    for (size_t i = 0; i < vars.size(); ++i) EXPECT_EQ(text(vars[i]), model[i]) << i;
    for (StringValue* v : vars) sv_free(v);
    EXPECT_EQ(sv_heap_stats().heap_live, live);
}

// Random statements against a std::string model: allocation, concatenation, substrings,
// assignment in every path, frees and case changes, with the heap compacting and growing.
TEST_F(StringValueTest, RandomizedStressMatchesModel) {
    std::mt19937 rng(12345);
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    auto random_text = [&](int max) {
        int n = pick(max + 1);
        if (pick(10) == 0) n = pick(30000);
        std::string s(static_cast<size_t>(n), ' ');
        for (auto& ch : s) ch = static_cast<char>('A' + pick(26));
        return s;
    };
    constexpr int kVars = 60;
    std::vector<StringValue*> vars(kVars);
    std::vector<std::string> model(kVars);
    for (int i = 0; i < kVars; ++i) vars[i] = variable("");
    int64_t first_size = sv_heap_stats().heap_size;
    int64_t grew_at = 0;
    int64_t compactions = sv_heap_stats().compactions;
    for (int step = 0; step < 40000; ++step) {
        int32_t base = sv_temp_count();
        int i = pick(kVars), j = pick(kVars);
        if (step == 20000) {  // a value as large as the heap: growth with many values alive
            std::string t(static_cast<size_t>(sv_heap_stats().heap_size), 'G');
            sv_assign(vars[i], heap_temp(t));
            model[i] = t;
            grew_at = sv_heap_stats().heap_size;
            continue;
        }
        switch (pick(9)) {
            case 0: {  // new temporary assigned
                std::string t = random_text(60);
                sv_assign(vars[i], heap_temp(t));
                model[i] = t;
                break;
            }
            case 1: {  // concatenation of a variable and a literal
                std::string t = random_text(20);
                StringValue* lit = sv_new_text_len(t.data(), static_cast<int32_t>(t.size()));
                sv_assign(vars[i], sv_concat(vars[j], lit));
                model[i] = model[j] + t;
                break;
            }
            case 2: {  // variable to variable (copy, in-place growth, relocation)
                sv_assign(vars[i], vars[j]);
                model[i] = model[j];
                break;
            }
            case 3: {  // substring of a variable
                int32_t st = pick(12) - 2, len = pick(15) - 2;
                StringValue* r = sv_mid(vars[j], st, len, 1);
                std::string expect;
                int64_t s64 = st, l64 = len, n = static_cast<int64_t>(model[j].size());
                if (s64 < 1) {
                    l64 += s64 - 1;
                    s64 = 1;
                }
                if (l64 >= 1 && s64 <= n) expect = model[j].substr(static_cast<size_t>(s64 - 1), static_cast<size_t>(l64));
                ASSERT_EQ(text(r), expect);
                sv_assign(vars[i], r);
                model[i] = expect;
                break;
            }
            case 4: {  // narrowed temporary assigned
                std::string t = random_text(40);
                StringValue* r = sv_mid(heap_temp(t), 3, 0, 0);
                sv_assign(vars[i], r);
                model[i] = t.size() >= 3 ? t.substr(2) : "";
                break;
            }
            case 5: {  // the printing pattern: a work variable made, used and freed
                StringValue* w = sv_new(0, 0);
                sv_assign(w, sv_concat(vars[j], sv_new_text("!")));
                ASSERT_EQ(text(w), model[j] + "!");
                sv_free(w);
                break;
            }
            case 6: {  // a variable released and made again
                sv_free(vars[i]);
                vars[i] = sv_new(0, 0);
                model[i].clear();
                break;
            }
            case 7: {  // case change through a temporary copy
                sv_assign(vars[i], sv_lcase(sv_concat(vars[j], heap_temp("Q"))));
                std::string t = model[j] + "Q";
                for (auto& ch : t)
                    if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch + 32);
                model[i] = t;
                break;
            }
            case 8: {  // heap temporaries left for the clean-up
                for (int k = pick(5); k > 0; --k) heap_temp(random_text(100));
                break;
            }
        }
        sv_cleanup(base, 0);
        ASSERT_EQ(sv_temp_count(), base);
        if (step % 97 == 0) {
            for (int k = 0; k < kVars; ++k) ASSERT_EQ(text(vars[k]), model[k]) << "step " << step;
        }
    }
    for (int k = 0; k < kVars; ++k) EXPECT_EQ(text(vars[k]), model[k]);
    SvHeapStats st = sv_heap_stats();
    EXPECT_GT(grew_at, first_size);
    EXPECT_GT(st.compactions, compactions + 10);
    // Address order of the heap list and no overlap of live values.
    const uint8_t* prev_end = sv_engine.heap;
    for (int32_t k = 0; k < sv_engine.heap_count; ++k) {
        const StringValue* v = sv_engine.heap_list[k];
        if (!v) continue;
        EXPECT_GE(v->data, prev_end);
        EXPECT_EQ(v->list_index, k);
        prev_end = v->data + v->length;
    }
    EXPECT_LE(prev_end - sv_engine.heap, st.end_mark);
    for (StringValue* v : vars) sv_free(v);
}

// One statement as the application writes it: a number as text, a concatenation, the
// assignment to a variable, the print work variable, and the clean-up.
void typical_statement(StringValue* var, int32_t i) {
    int32_t base = sv_temp_count();
    char digits[16];
    int n = std::snprintf(digits, sizeof digits, " %d ", i);
    StringValue* number = sv_new(n, 1);
    std::memcpy(number->data, digits, static_cast<size_t>(n));
    sv_assign(var, sv_concat(sv_new_text("Count:"), sv_mid(number, 2, 0, 0)));
    StringValue* w = sv_new(0, 0);
    sv_assign(w, sv_concat(var, sv_one_space()));
    sv_free(w);
    sv_cleanup(base, 0);
}

TEST_F(StringValueTest, SteadyStateStatementsMakeNoSystemAllocations) {
    StringValue* var = sv_new(0, 0);
    for (int32_t i = 0; i < 200000; ++i) typical_statement(var, i);  // warm up to steady state
    uint64_t before = sv_system_allocations();
    for (int32_t i = 0; i < 100000; ++i) typical_statement(var, i);
    EXPECT_EQ(sv_system_allocations(), before);
    EXPECT_EQ(text(var), "Count:99999 ");
    sv_free(var);
}

}  // namespace
