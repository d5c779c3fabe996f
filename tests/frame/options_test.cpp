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
                   "--snapshot-after", "1.5", "c"});
    EXPECT_EQ(r.status, -1);
    EXPECT_EQ(r.opt.record_dir, "out dir");
    EXPECT_EQ(r.opt.record_limit, 12);
    EXPECT_EQ(r.opt.snapshot_file, "s.png");
    EXPECT_EQ(r.opt.snapshot_after, 1.5);
    EXPECT_EQ(r.opt.rest, "a b c");
    EXPECT_EQ(r.out + r.err, "");
    EXPECT_EQ(parse({}).opt.record_limit, -1);
    Parsed s = parse({"--state", "my swarm.dat", "--start", "100", "--preset", "dance", "--record", "r",
                      "--all-frames", "--list-presets"});
    EXPECT_EQ(s.status, -1);
    EXPECT_EQ(s.opt.state_file, "my swarm.dat");
    EXPECT_EQ(s.opt.start_draws, 100);
    EXPECT_EQ(s.opt.preset, "dance");
    EXPECT_TRUE(s.opt.all_frames && s.opt.list_presets);
    EXPECT_EQ(s.opt.rest, "");
    Parsed none = parse({"x"});
    EXPECT_EQ(none.opt.start_draws, 0);  // the clock chooses
    EXPECT_FALSE(none.opt.all_frames || none.opt.list_presets);
}

TEST(Options, HelpAndVersionPrintAndEndWithZero) {
    Parsed h = parse({"x", "--help"});
    EXPECT_EQ(h.status, 0);
    for (const char* part : {"--record DIR", "Escape  save and quit", "m  save the state", "r  random rules",
                             "$XDG_DATA_HOME/kavaro/kavaro.dat", "~/.local/share/kavaro/kavaro.dat", "--state FILE",
                             "--start N", "--preset NAME", "--list-presets", "--all-frames"})
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
             {"--snapshot-after", ""}, {"--help", "--record-limit", "z"}, {"--state"}, {"--state", ""},
             {"--preset", ""}, {"--start", "0"}, {"--start", "101"}, {"--start", "ten"}, {"--start", "5.5"},
             {"--start", "-3"}, {"--start", ""}, {"--start"}, {"--all-frames"}, {"--all-frames", "--snapshot", "a.png"}}) {
        Parsed r = parse(args);
        EXPECT_EQ(r.status, 2) << args[0];
        EXPECT_EQ(r.out, "");
        ASSERT_FALSE(r.err.empty());
        EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
    }
}

}  // namespace
