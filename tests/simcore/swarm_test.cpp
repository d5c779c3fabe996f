// Swarm codes: the format pinned, the longest code, bad codes, and --code then --swarm giving
// back every value a code holds, bit for bit, for the presets and random states.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <random>
#include <vector>

#include "app/sim_cells.h"
#include "app/sim_main.h"
#include "app/sim_panel.h"
#include "app/sim_saved_state.h"
#include "app/sim_state.h"
#include "app/sim_swarm.h"
#include "app/sim_swarm_code.h"
#include "runtime/core/error.h"
#include "runtime/frame/options.h"
#include "runtime/frame/restart.h"
#include "runtime/text/number_text.h"
#include "simcore/simcore_support.h"

namespace {

uint32_t bits(float v) {
    uint32_t u;
    std::memcpy(&u, &v, 4);
    return u;
}

float from_bits(uint32_t u) {
    float v;
    std::memcpy(&v, &u, 4);
    return v;
}

// A finite float of any exponent and sign.
float any_finite(std::mt19937& g) {
    for (;;) {
        const float v = from_bits(static_cast<uint32_t>(g()));
        if (std::isfinite(v)) return v;
    }
}

// Counts of every kind the cells may hold: small and large whole numbers, negative ones, -0,
// fractions and any finite value.
float any_count(std::mt19937& g) {
    switch (g() % 6) {
        case 0: return static_cast<float>(g() % 1024);
        case 1: return static_cast<float>(static_cast<int32_t>(g() % (1 << 24)) - (1 << 23));
        case 2: return -0.0f;
        case 3: return static_cast<float>(g() % 4000) / 7.0f;
        case 4: return any_finite(g);
        default: return static_cast<float>(g() % 40);
    }
}

SimSwarm random_swarm(std::mt19937& g) {
    SimSwarm s;
    s.species = 1 + static_cast<int32_t>(g() % 10);
    for (int i = 0; i < 10; ++i) {
        s.colour[i] = 1 + static_cast<int32_t>(g() % 15);
        s.count[i] = any_count(g);
        for (int k = 0; k < 10; ++k) s.rule[i][k] = static_cast<int8_t>(static_cast<int32_t>(g() % 3) - 1);
    }
    for (float& p : s.parameter) {
        const uint32_t kind = g() % 4;
        p = kind == 0 ? static_cast<float>(g() % 1100) : kind == 1 ? static_cast<float>(g() % 1100) / 100.0f
                                                                   : any_finite(g);
    }
    s.start = static_cast<int32_t>(g() % 101);
    return s;
}

// The ten-species swarm whose code is the longest: every rule set, every count and parameter
// in its longest form, a start number.
SimSwarm longest_swarm() {
    SimSwarm s;
    s.species = 10;
    for (int i = 0; i < 10; ++i) {
        s.colour[i] = 15 - i;
        s.count[i] = static_cast<float>(-8388608 + 12345 * i);
        for (int k = 0; k < 10; ++k) s.rule[i][k] = static_cast<int8_t>((i + k) % 2 ? 1 : -1);
    }
    const float parameters[8] = {-0.0f, 3.0000002f, -1, 0.3000001f, -50, 1e-30f, 1e30f, 0.30000004f};
    for (int k = 0; k < 8; ++k) s.parameter[k] = parameters[k];
    s.start = 100;
    return s;
}

TEST(SwarmCode, TheFactoryCodeIsPinned) {
    // Links that people have shared must go on opening: this is version 1's text.
    const SimSwarm factory = sim_swarm_factory();
    EXPECT_EQ(sim_swarm_encode(factory), "1MSMAoBQCvKgAAAwAAyBkDIMkDwU7rVv");
    SimSwarm with_start = factory;
    with_start.start = 42;
    const std::string code = sim_swarm_encode(with_start);
    SimSwarm back;
    std::string why;
    ASSERT_TRUE(sim_swarm_decode(code, back, why)) << why;
    EXPECT_TRUE(sim_swarm_same(back, with_start));
    EXPECT_EQ(back.start, 42);
    EXPECT_LE(code.size(), 40u);
}

TEST(SwarmCode, TenSpeciesWithEveryRuleSetTakeAtMost130Characters) {
    const std::string code = sim_swarm_encode(longest_swarm());
    std::printf("the longest code (%zu characters): %s\n", code.size(), code.c_str());
    EXPECT_EQ(code.size(), static_cast<size_t>(kSimSwarmLongest));
    SimSwarm back;
    std::string why;
    ASSERT_TRUE(sim_swarm_decode(code, back, why)) << why;
    EXPECT_TRUE(sim_swarm_same(back, longest_swarm()));
    // As the editor leaves them (counts of 0 to 1023): much shorter.
    SimSwarm usual = longest_swarm();
    for (float& c : usual.count) c = 80;
    EXPECT_LT(sim_swarm_encode(usual).size(), 110u);
}

TEST(SwarmCode, RandomSwarmsComeBackBitForBitAndTheirCodesAreCanonical) {
    std::mt19937 g(27);
    for (int round = 0; round < 2000; ++round) {
        const SimSwarm s = random_swarm(g);
        ASSERT_EQ(sim_swarm_problem(s), "");
        const std::string code = sim_swarm_encode(s);
        ASSERT_EQ(code[0], kSimSwarmVersion);
        ASSERT_EQ(code.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_"),
                  std::string::npos);
        SimSwarm back;
        std::string why;
        ASSERT_TRUE(sim_swarm_decode("  https://example.org/kavaro.html?lang=en#" + code + "\n", back, why))
            << why << " " << code;
        ASSERT_TRUE(sim_swarm_same(back, s)) << code;
        ASSERT_EQ(sim_swarm_encode(back), code);
        // Only counts that are no whole numbers (no editing makes them) may take longer.
        bool raw_counts = false;
        for (int i = 0; i < s.species; ++i)
            raw_counts = raw_counts || std::floor(s.count[i]) != s.count[i] || std::fabs(s.count[i]) >= 8388608 ||
                         bits(s.count[i]) == 0x80000000u;
        if (!raw_counts) {
            ASSERT_LE(code.size(), static_cast<size_t>(kSimSwarmLongest)) << code;
        }
    }
}

// A code written with values outside the limits, its check value made to match.
std::string hand_made(SimSwarm s) { return sim_swarm_encode(s); }

TEST(SwarmCode, ABadCodeIsRefusedWithOneSentenceSayingWhich) {
    SimSwarm kite = sim_swarm_factory();
    kite.start = 9;
    const std::string good = sim_swarm_encode(kite);
    auto with = [&](size_t at, char c) {
        std::string t = good;
        t[at] = c;
        return t;
    };
    SimSwarm many = kite, dark = kite, late = kite, odd = kite, wild = kite;
    many.species = 12;
    dark.colour[1] = 0;
    late.start = 101;
    odd.species = 1;
    odd.rule[0][0] = 2;
    wild.parameter[3] = std::nanf("");
    const struct {
        std::string code, says;
    } cases[] = {
        {"", "the swarm code is empty"},
        {" \t", "the swarm code is empty"},
        {"https://example.org/kavaro.html", "the link holds no swarm code (it has no \"#\""},
        {"https://example.org/kavaro.html#", "the link holds no swarm code (nothing follows its \"#\")"},
        {"2" + good.substr(1), "the swarm code is of another version (it begins with \"2\"; this kavaro reads codes "
                               "that begin with \"1\")"},
        {with(7, '+'), "the swarm code is damaged (\"+\", its character 8, is none of A-Z, a-z, 0-9, - and _)"},
        {with(3, '\xc3'), "the byte 195, its character 4,"},
        {with(9, good[9] == 'A' ? 'B' : 'A'), "the swarm code is damaged (its check value does not match)"},
        {with(good.size() - 1, good.back() == 'A' ? 'B' : 'A'), "(its check value does not match)"},
        {good.substr(0, good.size() - 1), "the swarm code is damaged (it is cut short)"},
        {good.substr(0, 12), "(it is cut short)"},
        {"1AAAA", "(it is cut short)"},
        {good + "A", "the swarm code is damaged (it goes on past its end)"},
        {good + good, "(it goes on past its end)"},
        {hand_made(many), "the swarm code holds a value outside the editor's limits (12 species; the editor has 1 to 10)"},
        {hand_made(dark), "(a colour of 0; the colours are 1 to 15)"},
        {hand_made(late), "(the start number 101; it is 1 to 100)"},
        {hand_made(odd), "(a rule other than -1, 0 and 1)"},
        {hand_made(wild), "(a panel value that is not a finite number)"},
    };
    for (const auto& c : cases) {
        SimSwarm out = longest_swarm();
        std::string why;
        EXPECT_FALSE(sim_swarm_decode(c.code, out, why)) << c.code;
        EXPECT_NE(why.find(c.says), std::string::npos) << c.code << ": " << why;
        EXPECT_EQ(why.find('\n'), std::string::npos);
        EXPECT_TRUE(sim_swarm_same(out, longest_swarm())) << "a refused code changed the swarm: " << c.code;
    }
    EXPECT_NE(sim_swarm_problem(many), "");
    EXPECT_NE(sim_swarm_problem(wild), "");
}

// ---- --code then --swarm against the state file's own load ----

class SwarmState : public ::testing::Test {
protected:
    void SetUp() override {
        simcore_fresh_state();
        simcore_factory_start();
    }
    void TearDown() override {
        sim_swarm_pending = false;
        sim_preset_path.clear();
        simcore_teardown();
    }
    // A new start of the program in the same folder: every cell and parameter back to start.
    static void restart() {
        frame_error = ErrorState{};
        frame_clear_module();
        sim_create_tables();
        sim_init_colour_names();
        sim_init_state();
    }
    // The cells and parameters in the save's lines: the number's text and a blank.
    static void write_state_file(const std::string& path) {
        std::string out;
        char text[48];
        auto line = [&](float v) {
            out.append(text, static_cast<size_t>(num_str_chars(v, text)));
            out += " \r\n";
        };
        for (int r = 0; r <= kSimRowSpecies; ++r)
            for (int c = 0; c <= 9; ++c) line(sim_cell(r, c));
        for (int k = 0; k < 8; ++k) line(*sim_saved_parameters[k]);
        simcore_write_file(path, out);
    }
    struct Loaded {
        std::vector<float> values;  // column 2 of rows 0 ... 1700
        float parameters[8];
    };
    static Loaded loaded() {
        Loaded l;
        for (int r = 0; r <= kSimRowSpecies; ++r) l.values.push_back(sim_cell(r, kSimColValue));
        for (int k = 0; k < 8; ++k) l.parameters[k] = *sim_saved_parameters[k];
        return l;
    }
    // Loads `path` as a start loads it, then as --swarm loads its --code with start `start`:
    // every value the code holds must be the same bits, the others factory values.
    static void code_then_swarm(const std::string& path, int32_t start, bool save = true) {
        restart();
        sim_preset_path = path;
        sim_load_state();
        sim_preset_path.clear();
        ASSERT_EQ(frame_error.error_number, 0u);
        const Loaded want = loaded();

        SimSwarm s;
        bool clamped = true;
        std::string why;
        ASSERT_EQ(sim_swarm_read_file(path, s, clamped, why), SimFileRead::ok) << why;
        EXPECT_FALSE(clamped);
        s.start = start;
        const std::string code = sim_swarm_encode(s);

        restart();
        SimSwarm d;
        ASSERT_TRUE(sim_swarm_decode(code, d, why)) << why;
        EXPECT_EQ(d.start, start);
        sim_pending_swarm = d;
        sim_swarm_pending = true;
        sim_load_state();
        sim_swarm_pending = false;
        ASSERT_EQ(frame_error.error_number, 0u);
        const Loaded got = loaded();
        const int n = static_cast<int>(want.values[kSimRowSpecies]);
        ASSERT_EQ(got.values[kSimRowSpecies], want.values[kSimRowSpecies]);
        for (int i = 0; i < 40; ++i) {
            const int colour = i, count = kSimRowCount + i;
            if (i < n) {
                ASSERT_EQ(bits(got.values[colour]), bits(want.values[colour])) << path << " colour " << i;
                ASSERT_EQ(bits(got.values[count]), bits(want.values[count])) << path << " count " << i;
            } else {
                ASSERT_EQ(got.values[colour], static_cast<float>(i % 15 + 1)) << "hidden colour " << i;
                ASSERT_EQ(got.values[count], 5) << "hidden count " << i;
            }
            for (int b = 0; b < 40; ++b) {
                const int r = kSimRowRule + 40 * i + b;
                if (i < n && b < n)
                    ASSERT_EQ(bits(got.values[r]), bits(want.values[r])) << path << " rule " << i << "," << b;
                else
                    ASSERT_EQ(got.values[r], 0) << "hidden rule " << i << "," << b;
            }
        }
        for (int k = 0; k < 8; ++k)
            ASSERT_EQ(bits(got.parameters[k]), bits(want.parameters[k])) << path << " parameter " << k;
        // Saved, the swarm is a state file whose code is the same.
        if (!save) return;
        sim_swarm_pending = true;
        ASSERT_TRUE(sim_save_state());
        EXPECT_FALSE(sim_swarm_pending) << "the first save ends the swarm's loads";
        SimSwarm again;
        ASSERT_EQ(sim_swarm_read_file("kavaro.dat", again, clamped, why), SimFileRead::ok) << why;
        again.start = start;
        EXPECT_EQ(sim_swarm_encode(again), code);
    }
};

TEST_F(SwarmState, EveryPresetComesBackFromItsCode) {
#ifdef KAVARO_PRESETS_DIR
    int presets = 0;
    for (const auto& e : std::filesystem::directory_iterator(KAVARO_PRESETS_DIR)) {
        if (e.path().extension() != ".dat") continue;
        ++presets;
        code_then_swarm(e.path().string(), 5);
    }
    EXPECT_GE(presets, 6);
#else
    GTEST_SKIP() << "no preset folder";
#endif
}

TEST_F(SwarmState, RandomStatesWithPanelStepsComeBackFromTheirCodes) {
    std::mt19937 g(2027);
    for (int round = 0; round < 200; ++round) {
        restart();
        sim_set_cell(kSimRowSpecies, kSimColValue, static_cast<float>(1 + g() % 10));
        sim_build_cells();
        for (int i = 0; i < 40; ++i) {
            sim_set_cell(i, kSimColValue, static_cast<float>(1 + g() % 15));
            sim_set_cell(kSimRowCount + i, kSimColValue, any_count(g));
        }
        for (int r = kSimRowRule; r < kSimRowRule + 1600; ++r)
            sim_set_cell(r, kSimColValue, static_cast<float>(static_cast<int32_t>(g() % 3) - 1));
        // The panel's own steps (0.3 + 0.05 + ... gives values such as 0.3000001), and now and
        // then any value at all.
        for (int steps = static_cast<int>(g() % 30); steps > 0; --steps)
            sim_step_parameter(static_cast<int32_t>(g() % 8), g() % 2 ? 1.0f : -1.0f);
        if (g() % 4 == 0) *sim_saved_parameters[g() % 8] = any_finite(g);
        // The live state's code gives it back bit for bit, unsaved values included.
        SimSwarm live, back;
        std::string why;
        ASSERT_TRUE(sim_swarm_from_state(1 + static_cast<int32_t>(g() % 100), live, why)) << why;
        ASSERT_TRUE(sim_swarm_decode(sim_swarm_encode(live), back, why)) << why;
        ASSERT_TRUE(sim_swarm_same(back, live));
        sim_swarm_into_state(back);
        SimSwarm again;
        ASSERT_TRUE(sim_swarm_from_state(live.start, again, why)) << why;
        ASSERT_TRUE(sim_swarm_same(again, live));

        // The state file as a save writes it (a save itself waits for the disk: a few rounds).
        write_state_file("random.dat");
        SCOPED_TRACE(round);
        code_then_swarm("random.dat", static_cast<int32_t>(g() % 101), round % 40 == 0);
        if (HasFatalFailure()) return;
    }
    EXPECT_TRUE(simcore_dialogs.empty());
}

TEST_F(SwarmState, AStateFileNoCodeCanHoldIsRefusedAndClampedValuesAreTold) {
    const auto lines = simcore_lines(simcore_read_file("kavaro.dat"));
    auto file_with = [&](int line, const char* text) {
        std::string out;
        for (size_t i = 0; i < lines.size(); ++i) out += (static_cast<int>(i) + 1 == line ? text : lines[i]) + "\r\n";
        simcore_write_file("odd.dat", out);
    };
    SimSwarm s;
    bool clamped = false;
    std::string why;
    file_with(10 * 1 + 2 + 1, " 2.5 ");  // the colour of species 1
    EXPECT_EQ(sim_swarm_read_file("odd.dat", s, clamped, why), SimFileRead::failed);
    EXPECT_NE(why.find("a colour of 2.5"), std::string::npos) << why;
    file_with(10 * 81 + 2 + 1, " .5 ");  // the rule of species 0 towards species 1
    EXPECT_EQ(sim_swarm_read_file("odd.dat", s, clamped, why), SimFileRead::failed);
    EXPECT_NE(why.find("a rule of 0.5"), std::string::npos) << why;
    file_with(10 * 2 + 2 + 1, " 40 ");  // a colour beyond 15: a start brings it to 15
    ASSERT_EQ(sim_swarm_read_file("odd.dat", s, clamped, why), SimFileRead::ok) << why;
    EXPECT_TRUE(clamped);
    EXPECT_EQ(s.colour[2], 15);
    std::string cut = simcore_read_file("kavaro.dat");
    simcore_write_file("odd.dat", cut.substr(0, cut.size() / 2));
    EXPECT_EQ(sim_swarm_read_file("odd.dat", s, clamped, why), SimFileRead::failed);
    EXPECT_NE(why.find("Input past end of file"), std::string::npos) << why;
    EXPECT_EQ(frame_error.error_number, 0u) << "the reading leaves no error pending";
    EXPECT_EQ(sim_swarm_read_file("none.dat", s, clamped, why), SimFileRead::missing);
    EXPECT_TRUE(simcore_dialogs.empty());
}

// What a FILE written by the code under test holds.
std::string written(FILE* f) {
    std::string text(static_cast<size_t>(std::ftell(f)), '\0');
    std::rewind(f);
    text.resize(std::fread(text.data(), 1, text.size(), f));
    std::fclose(f);
    return text;
}

TEST_F(SwarmState, TheOptionsTakeTheCodeAndAStateFileHoldingItLoadsAsItIs) {
    const std::string factory = "1MSMAoBQCvKgAAAwAAyBkDIMkDwU7rVv";
    SimSwarm other = sim_swarm_factory();
    other.species = 4;
    other.start = 9;
    // The state file: the factory swarm, and a rule of a hidden species that no code holds.
    sim_set_cell(kSimRowRule + 40 * 5 + 5, kSimColValue, 1);
    write_state_file("kavaro.dat");
    sim_state_path = "kavaro.dat";
    struct Case {
        std::string swarm;
        bool pending;
        int32_t start;
    } cases[] = {{factory, false, 0}, {sim_swarm_encode(other), true, 9}};
    for (const Case& c : cases) {
        frame_options = FrameOptions{};
        frame_options.swarm = c.swarm;
        sim_start_draws = 0;
        EXPECT_EQ(sim_swarm_check_option(stderr), -1);
        EXPECT_EQ(sim_swarm_take_options(stdout, stderr), -1);
        EXPECT_EQ(sim_swarm_pending, c.pending) << c.swarm;
        EXPECT_EQ(sim_start_draws, c.start) << "the code's start number counts as --start";
    }
    // --start wins over the code's.
    frame_options.start_draws = 3;
    sim_start_draws = 3;
    EXPECT_EQ(sim_swarm_take_options(stdout, stderr), -1);
    EXPECT_EQ(sim_start_draws, 3);

    FILE* err = std::tmpfile();
    frame_options.swarm = factory.substr(0, 20);
    EXPECT_EQ(sim_swarm_check_option(err), 2);
    EXPECT_EQ(written(err), "kavaro: the swarm code is damaged (it is cut short)\n");
    EXPECT_FALSE(sim_swarm_given());

    // --code: the state file's code (with --start's number); a file that cannot give one.
    frame_options = FrameOptions{};
    frame_options.code = true;
    frame_options.start_draws = 42;
    sim_start_draws = 42;
    FILE* out = std::tmpfile();
    err = std::tmpfile();
    EXPECT_EQ(sim_swarm_take_options(out, err), 0);
    SimSwarm printed;
    std::string why, text = written(out);
    ASSERT_TRUE(sim_swarm_decode(text, printed, why)) << text;
    EXPECT_EQ(printed.start, 42);
    printed.start = 0;
    EXPECT_EQ(sim_swarm_encode(printed), factory);
    EXPECT_EQ(written(err), "");
    frame_options.code_file = "none.dat";
    out = std::tmpfile();
    err = std::tmpfile();
    EXPECT_EQ(sim_swarm_take_options(out, err), 2);
    EXPECT_EQ(written(out), "");
    EXPECT_NE(written(err).find("none.dat: there is no such file\n"), std::string::npos);
    frame_options = FrameOptions{};
    sim_start_draws = 0;
    sim_swarm_check_option(stderr);
}

}  // namespace
