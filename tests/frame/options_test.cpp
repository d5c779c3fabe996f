#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "runtime/frame/options.h"

namespace {

struct Parsed {
    int status;
    std::string out, err;
    FrameOptions opt;
};

Parsed parse(std::vector<const char*> args) {
    args.insert(args.begin(), "kavaro");
    Parsed r;
    char *o = nullptr, *e = nullptr;
    size_t on = 0, en = 0;
    FILE* fo = open_memstream(&o, &on);
    FILE* fe = open_memstream(&e, &en);
    r.status = frame_parse_options(int(args.size()), const_cast<char**>(args.data()), r.opt, fo, fe);
    std::fclose(fo);
    std::fclose(fe);
    r.out = o;
    r.err = e;
    std::free(o);
    std::free(e);
    return r;
}

TEST(Options, ValuesAndTheRestOfTheCommandLine) {
    Parsed r = parse({"a", "--record", "out dir", "--record-limit", "12", "b", "--snapshot", "s.png",
                   "--snapshot-after", "1.5", "c", "--lang", "en"});
    EXPECT_EQ(r.status, -1);
    EXPECT_EQ(r.opt.record_dir, "out dir");
    EXPECT_EQ(r.opt.record_limit, 12);
    EXPECT_EQ(r.opt.snapshot_file, "s.png");
    EXPECT_EQ(r.opt.snapshot_after, 1.5);
    EXPECT_EQ(r.opt.rest, "a b c");
    EXPECT_EQ(r.opt.lang, "en");
    EXPECT_EQ(r.out + r.err, "");
    EXPECT_EQ(parse({}).opt.record_limit, -1);
    EXPECT_EQ(parse({}).opt.lang, "");
}

TEST(Options, HelpAndVersionPrintAndEndWithZero) {
    Parsed h = parse({"x", "--help"});
    EXPECT_EQ(h.status, 0);
    for (const char* part : {"--record DIR", "Escape  save and quit", "m  save the state", "r  random rules",
                             "--lang en|hu", "KAVARO_LANG=en",
                             "$XDG_DATA_HOME/kavaro/kavaro.dat", "~/.local/share/kavaro/kavaro.dat"})
        EXPECT_NE(h.out.find(part), std::string::npos) << part;
    Parsed v = parse({"--version"});
    EXPECT_EQ(v.status, 0);
    EXPECT_EQ(v.out, "kavaro " KAVARO_VERSION "\n");
    EXPECT_EQ(v.err, "");
}

TEST(Options, MissingOrNonNumericValuesEndWithTwoAndOneLine) {
    for (auto args : std::vector<std::vector<const char*>>{
             {"--record"}, {"--snapshot"}, {"--record", ""}, {"--record-limit"}, {"--record-limit", "x"},
             {"--record-limit", "-1"}, {"--record-limit", "99999999999999999999"},
             {"--snapshot-after", "soon"}, {"--snapshot-after", "nan"}, {"--snapshot-after", "-2"},
             {"--snapshot-after", ""}, {"--help", "--record-limit", "z"}, {"--lang"},
             {"--lang", "de"}, {"--lang", ""}, {"--lang", "EN"}, {"--lang", "en_GB"}}) {
        Parsed r = parse(args);
        EXPECT_EQ(r.status, 2) << args[0];
        EXPECT_EQ(r.out, "");
        ASSERT_FALSE(r.err.empty());
        EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
    }
}

// The option wins; a bad variable is told in one line and leaves the interface Hungarian.
TEST(Options, LanguageFromTheOptionOrTheVariable) {
    struct Case {
        const char *option, *env, *lang, *told;
    } cases[] = {{"", nullptr, "hu", ""}, {"", "", "hu", ""},    {"", "en", "en", ""},
                 {"", "de", "hu", "kavaro: KAVARO_LANG=\"de\" is neither en nor hu; the interface stays Hungarian\n"},
                 {"hu", "en", "hu", ""}, {"en", "xx", "en", ""}};
    for (const Case& c : cases) {
        FrameOptions opt;
        opt.lang = c.option;
        char* e = nullptr;
        size_t en = 0;
        FILE* fe = open_memstream(&e, &en);
        frame_resolve_lang(opt, c.env, fe);
        std::fclose(fe);
        EXPECT_EQ(opt.lang, c.lang) << c.option << (c.env ? c.env : "(unset)");
        EXPECT_STREQ(e, c.told);
        std::free(e);
    }
}

}  // namespace
