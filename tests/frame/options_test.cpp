#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
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
                   "--snapshot-after", "1.5", "c", "--lang", "en", "--snapshot-frame", "300"});
    EXPECT_EQ(r.status, -1);
    EXPECT_EQ(r.opt.record_dir, "out dir");
    EXPECT_EQ(r.opt.record_limit, 12);
    EXPECT_EQ(r.opt.snapshot_file, "s.png");
    EXPECT_EQ(r.opt.snapshot_after, 1.5);
    EXPECT_EQ(r.opt.snapshot_frame, 300);
    EXPECT_EQ(r.opt.rest, "a b c");
    EXPECT_EQ(r.opt.lang, "en");
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
    EXPECT_EQ(s.opt.record_fps, 30);
    for (auto [name, fps] : {std::pair{"a.gif", "1"}, {"b.WebM", "240"}, {"c.mp4", "60"}}) {
        Parsed v = parse({"--record", name, "--all-frames", "--record-fps", fps});
        EXPECT_EQ(v.status, -1) << v.err;
        EXPECT_EQ(v.opt.record_fps, std::atoi(fps));
    }
    Parsed none = parse({"x"});
    EXPECT_EQ(none.opt.start_draws, 0);  // the clock chooses
    EXPECT_FALSE(none.opt.all_frames || none.opt.list_presets);
    EXPECT_EQ(parse({}).opt.lang, "");
    EXPECT_EQ(parse({}).opt.scale, 1);
    for (auto [v, want] : {std::pair{"1", 1}, {"8", 8}, {"auto", 0}, {"03", 3}})
        EXPECT_EQ(parse({"--scale", v}).opt.scale, want) << v;
}

TEST(Options, AnUnknownDashArgumentWarnsOnceAndJoinsTheRest) {
    Parsed r = parse({"--recrod", "x", "-", "-5"});
    EXPECT_EQ(r.status, -1);
    EXPECT_EQ(r.opt.rest, "--recrod x - -5");
    EXPECT_EQ(r.opt.record_dir, "");
    EXPECT_NE(r.err.find("\"--recrod\" (did you mean --record? see kavaro --help)"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("\"-5\" (see kavaro --help)"), std::string::npos) << r.err;
    // One line for each of the three.
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 3);
    EXPECT_EQ(r.out, "");
    // The hint names the options within two edits, none for a word that is far from all.
    for (auto [arg, hint] : std::vector<std::pair<const char*, const char*>>{
             {"--scael", "--scale"}, {"-scale", "--scale"}, {"--scale=2", "--scale"}, {"--LANG", "--lang"},
             {"--all-frame", "--all-frames"}, {"--snapshot-afte", "--snapshot-after"}, {"--prest", "--preset"},
             {"--stat", "--state or --start"}, {"--verison", "--version"}, {"-H", "-h"}, {"--x", ""}, {"-5", ""},
             {"--frobnicate", ""}, {"--recording-files", ""}}) {
        const std::string err = parse({arg}).err;
        const std::string want = *hint ? std::string("(did you mean ") + hint + "? see" : "(see";
        EXPECT_NE(err.find("\"" + std::string(arg) + "\" " + want), std::string::npos) << err;
    }
}

TEST(Options, HelpAndVersionPrintAndEndWithZero) {
    Parsed h = parse({"x", "--help"});
    EXPECT_EQ(h.status, 0);
    for (const char* part : {"--record DIR", "Escape  save and quit", "m  save the state", "r  random rules",
                             "--lang en|hu", "KAVARO_LANG=en",
                             "$XDG_DATA_HOME/kavaro/kavaro.dat", "~/.local/share/kavaro/kavaro.dat",
                             "--scale N|auto", "-h, --help", "Ctrl+Break", "Pause", "Alt+Enter",
                             "KAVARO_ISA=scalar|avx2|avx512", "Exit status:", "-1 chases it, 0 ignores it, 1 flees it", "--state FILE",
                             "--start N", "--preset NAME", "--list-presets", "--all-frames", "--snapshot-frame N",
                             "--record FILE.gif|FILE.webm|FILE.mp4", "--record-fps N"})
        EXPECT_NE(h.out.find(part), std::string::npos) << part;
    EXPECT_EQ(parse({"-h"}).out, h.out);
    Parsed v = parse({"--version"});
    EXPECT_EQ(v.status, 0);
    EXPECT_EQ(v.out, "kavaro " KAVARO_VERSION "\n");
    EXPECT_EQ(v.err, "");
}

TEST(Options, MissingOrNonNumericValuesEndWithTwoAndOneLine) {
    // The arguments, and what the line says is wanted ("" for a missing or empty value).
    const char* count = "needs a whole number of 0 or more";
    const char* scale = "needs a whole number from 1 to 8 or auto";
    for (auto [args, says] : std::vector<std::pair<std::vector<const char*>, const char*>>{
             {{"--record"}, ""}, {{"--snapshot"}, ""}, {{"--record", ""}, ""}, {{"--record-limit"}, ""},
             {{"--record-limit", "x"}, count}, {{"--record-limit", "-1"}, count},
             {{"--record-limit", "99999999999999999999"}, count},
             {{"--snapshot-after", "soon"}, "seconds"}, {{"--snapshot-after", "nan"}, "seconds"},
             {{"--snapshot-after", "-2"}, "of 0 or more"}, {{"--snapshot-after", ""}, "seconds"},
             {{"--help", "--record-limit", "z"}, count}, {{"--scale"}, ""}, {{"--scale", "0"}, scale},
             {{"--scale", "9"}, scale}, {{"--scale", "2.5"}, scale}, {{"--scale", "Auto"}, scale},
             {{"--scale", ""}, scale}, {{"--lang"}, ""}, {{"--lang", "de"}, "en or hu"},
             {{"--lang", ""}, "en or hu"}, {{"--lang", "EN"}, "en or hu"}, {{"--lang", "en_GB"}, "en or hu"}, {{"--state"}, ""}, {{"--state", ""}, ""},
             {{"--preset", ""}, ""}, {{"--start", "0"}, "1 to 100"}, {{"--start", "101"}, "1 to 100"},
             {{"--start", "ten"}, "1 to 100"}, {{"--start", "5.5"}, "1 to 100"}, {{"--start", "-3"}, "1 to 100"},
             {{"--start", ""}, "1 to 100"}, {{"--start"}, ""}, {{"--all-frames"}, "--record"},
             {{"--all-frames", "--snapshot", "a.png"}, "--record"}, {{"--snapshot-frame", "0"}, "of 1 or more"},
             {{"--snapshot-frame", "x", "--snapshot", "a.png"}, "of 1 or more"},
             {{"--snapshot-frame", "30"}, "--snapshot FILE.png"}, {{"--record-limit", "5"}, "needs --record DIR"},
             {{"--record-limit", "0", "--snapshot", "a.png"}, "--record"}, {{"--snapshot-after", "3"}, "needs --snapshot"},
             {{"--snapshot-after", "0", "--record", "r"}, "--snapshot FILE.png"},
             {{"--record-fps"}, ""}, {{"--record", "a.gif", "--all-frames", "--record-fps", "0"}, "1 to 240"},
             {{"--record", "a.gif", "--all-frames", "--record-fps", "241"}, "1 to 240"},
             {{"--record", "a.gif", "--all-frames", "--record-fps", "2.5"}, "1 to 240"},
             {{"--record", "a.gif", "--record-fps", "25"}, "and --all-frames"},
             {{"--record", "frames", "--all-frames", "--record-fps", "25"}, "--record FILE.gif, .webm or .mp4"}}) {
        Parsed r = parse(args);
        EXPECT_EQ(r.status, 2) << args[0];
        EXPECT_EQ(r.out, "");
        ASSERT_FALSE(r.err.empty());
        EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
        EXPECT_NE(r.err.find(says), std::string::npos) << r.err;
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
