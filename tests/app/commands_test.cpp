// The command keys: what each changes, and what it leaves alone.
#include <atomic>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "app/sim_main.h"
#include "app/sim_saved_state.h"
#include "app/sim_swarm.h"
#include "fixture.h"
#include "runtime/frame/swarm_link.h"
#include "runtime/core/platform.h"
#include "runtime/core/run_state.h"
#include "runtime/gfx/image.h"

namespace {

using Commands = AppRun;

bool only_rule_rows(const std::vector<int>& rows) {
    for (int r : rows)
        if (r < kSimRowRule || r >= kSimRowRule + 1600) return false;
    return true;
}

TEST_F(Commands, RDrawsRulesOfMinusOneZeroAndOneAndNothingElse) {
    auto before = cells();
    auto params = parameters();
    app_key('r');
    ASSERT_TRUE(app_step());
    auto after = cells();
    auto rows = changed_rows(before, after);
    EXPECT_GT(rows.size(), 900u);  // about two thirds of 1600
    EXPECT_TRUE(only_rule_rows(rows));
    int seen[3] = {0, 0, 0};
    for (int a = 0; a < 40; ++a)
        for (int b = 0; b < 40; ++b) {
            float v = rule(a, b);
            ASSERT_TRUE(v == -1 || v == 0 || v == 1);
            ++seen[static_cast<int>(v) + 1];
        }
    EXPECT_GT(seen[0], 400);
    EXPECT_GT(seen[1], 400);
    EXPECT_GT(seen[2], 400);
    for (int c = 0; c <= 10; ++c) {
        if (c == kSimColValue) continue;
        EXPECT_TRUE(changed_rows(before, after, c).empty()) << "column " << c;
    }
    EXPECT_EQ(parameters(), params);
    EXPECT_EQ(count(0), 33);
    // The rule text of species 0 now holds one group per non-zero rule of the three shown.
    int nonzero = 0;
    for (int b = 0; b < 3; ++b) nonzero += rule(0, b) != 0;
    EXPECT_EQ(sim_rule_strings.get(0)->length, 3 * nonzero);
}

TEST_F(Commands, UpperCaseRActsAsR) {
    auto before = cells();
    app_key('R');
    ASSERT_TRUE(app_step());
    EXPECT_GT(changed_rows(before, cells()).size(), 900u);
}

TEST_F(Commands, TDrawsRulesOfZeroAndOneOnly) {
    auto before = cells();
    app_key('t');
    ASSERT_TRUE(app_step());
    int ones = 0;
    for (int a = 0; a < 40; ++a)
        for (int b = 0; b < 40; ++b) {
            float v = rule(a, b);
            ASSERT_TRUE(v == 0 || v == 1) << v;
            ones += v == 1;
        }
    EXPECT_GT(ones, 600);
    EXPECT_LT(ones, 1000);
    EXPECT_TRUE(only_rule_rows(changed_rows(before, cells())));
}

TEST_F(Commands, RuleHelpKeepsTheOldSentenceUntilTheCellsAreRebuilt) {
    app_key('r');
    ASSERT_TRUE(app_step());
    bool found = false;
    for (int b = 0; b < 3 && !found; ++b)
        if (rule(0, b) != 0) {
            StringValue* h = sim_cell_help.get(kSimRowRule + b);
            std::string text(reinterpret_cast<char*>(h->data), h->length);
            EXPECT_NE(text.find("kozombos"), std::string::npos) << text;
            found = true;
        }
}

TEST_F(Commands, DDrawsCountsAddingUpToAbout100AndNothingElse) {
    auto before = cells();
    auto params = parameters();
    app_key('d');
    ASSERT_TRUE(app_step());
    auto rows = changed_rows(before, cells());
    for (int r : rows) EXPECT_TRUE(r >= kSimRowCount && r < kSimRowCount + 3) << r;
    EXPECT_FALSE(rows.empty());
    float total = count(0) + count(1) + count(2);
    EXPECT_LE(total, 100);
    EXPECT_GE(total, 97);
    EXPECT_EQ(sim_particle_total, total);
    EXPECT_EQ(parameters(), params);
}

TEST_F(Commands, FSetsEveryCountCellToTheEqualShare) {
    app_key('d');
    ASSERT_TRUE(app_step());
    ASSERT_FALSE(count(0) == 33 && count(1) == 33);
    app_key('f');
    ASSERT_TRUE(app_step());
    for (int i = 0; i < 40; ++i) EXPECT_EQ(count(i), 33) << i;  // hidden species too
    ASSERT_TRUE(app_step());  // the next normalisation keeps them
    EXPECT_EQ(count(0), 33);
    EXPECT_EQ(sim_particle_total, 99);
}

TEST_F(Commands, CGathersActiveParticlesAtTheOriginAndPrintsProgress) {
    auto hidden = positions(10, 0, 239);
    hidden.erase(hidden.begin(), hidden.begin() + 3 * 240 * 3);  // species 3 … 9
    auto params = parameters();
    app_key('c');
    ASSERT_TRUE(app_step());
    for (int s = 0; s < 3; ++s)
        for (int p = 0; p < 33; ++p)
            for (int c = 0; c < 3; ++c) {
                float v = sim_particles.get(s, p, c);
                ASSERT_TRUE(v >= -0.5f && v < 0.5f) << s << " " << p << " " << v;
            }
    auto now = positions(10, 0, 239);
    now.erase(now.begin(), now.begin() + 3 * 240 * 3);
    EXPECT_EQ(now, hidden);
    EXPECT_EQ(parameters(), params);
    // The last progress lines: N and the last species, its count and the last particle.
    const ImageSurface* page = app_drawn_page();
    // Second items in the print zone from column 15.
    EXPECT_EQ(app_text(page, 1, 1, 17), " 3" + std::string(13, ' ') + "2 ");
    EXPECT_EQ(app_text(page, 2, 1, 18), " 33" + std::string(12, ' ') + "32 ");
}

TEST_F(Commands, QPlacesParticlesOfAllFortySpeciesInTheCube) {
    auto before = positions(40, 0, 240);
    app_key('q');
    ASSERT_TRUE(app_step());
    auto after = positions(40, 0, 240);
    // Species 3 … 39 do not move otherwise, so every placed coordinate must be new there.
    int changed = 0;
    for (int s = 3; s < 40; ++s)
        for (int p = 0; p < 240; ++p) {
            for (int c = 0; c < 3; ++c) {
                float v = sim_particles.get(s, p, c);
                ASSERT_TRUE(v >= -50 && v < 50);
                changed += v != before[(s * 241 + p) * 3 + c];
            }
            EXPECT_EQ(sim_particles.get(s, 240, 0), 0);  // slot 240 is never placed
        }
    EXPECT_GT(changed, 37 * 240 * 3 - 10);
    (void)after;
}

TEST_F(Commands, MThenBRestoresTheSavedCellsAndResetsTheGraphicsScale) {
    app_key('d');
    ASSERT_TRUE(app_step());
    app_click(2, 50, 4 * 16 + 8);  // "grafika nagysag" up by 0.05
    ASSERT_NEAR(sim_graphics_scale, 0.85f, 1e-6);
    auto saved = cells();
    app_key('m');
    ASSERT_TRUE(app_step());
    ASSERT_TRUE(app_file_exists("kavaro.dat"));
    app_key('r');
    ASSERT_TRUE(app_step());
    ASSERT_FALSE(changed_rows(saved, cells()).empty());
    app_key('b');
    ASSERT_TRUE(app_step());
    auto reloaded = cells();
    for (int r = 0; r <= 1700; ++r)
        ASSERT_EQ(reloaded[r * 11 + kSimColValue], saved[r * 11 + kSimColValue]) << r;
    EXPECT_EQ(sim_graphics_scale, 0.8f);
    EXPECT_EQ(sim_show_mean, 0);
}

TEST_F(Commands, OReturnsToTheFactoryState) {
    app_key('r');
    ASSERT_TRUE(app_step());
    app_key('d');
    ASSERT_TRUE(app_step());
    app_click(0, 50, 3 * 16 + 8);  // displacement 50 → 49
    ASSERT_EQ(sim_displacement, 49);
    app_key('m');
    ASSERT_TRUE(app_step());
    app_key('o');
    ASSERT_TRUE(app_step());
    EXPECT_EQ(sim_displacement, 50);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(count(i), 33);
    for (int a = 0; a < 40; ++a)
        for (int b = 0; b < 40; ++b) ASSERT_EQ(rule(a, b), 0);
    auto lines = app_file_lines("kavaro.dat");
    ASSERT_EQ(lines.size(), 17018u);
    EXPECT_EQ(lines[17013], " 50 ");
    EXPECT_EQ(lines[(kSimRowCount) * 10 + 2], " 5 ");
}

TEST_F(Commands, EscapeSavesThenEndsWithStatusZero) {
    app_key('f');
    ASSERT_TRUE(app_step());
    app_click(0, 50, 0 * 16 + 8);  // central pull 50 → 45
    ASSERT_EQ(sim_central_pull, 45);
    app_key(27);
    EXPECT_FALSE(app_step());  // the program ends in that frame
    ASSERT_TRUE(app_wait_exit());
    EXPECT_EQ(app_exit_status(), 0);
    auto lines = app_file_lines("kavaro.dat");
    ASSERT_EQ(lines.size(), 17018u);
    EXPECT_EQ(lines[17014], " 45 ");
    EXPECT_EQ(lines[(kSimRowCount + 5) * 10 + 2], " 33 ");  // "f" reached hidden species too
}

// When the save has written `g_close_at` lines: the close button (or Ctrl+Break, which asks to
// quit); the save goes on only once the shutdown has begun.
std::atomic<int32_t> g_close_at{0};
std::atomic<bool> g_break{false};
void close_at_line(int32_t line) {
    if (line != g_close_at.load()) return;
    if (g_break.load())
        frame_run.quit_requested.store(1);
    else
        frame_run.close_requests.fetch_or(1);
    while (!frame_run.exit_now.load()) frame_sleep_ms(1);
}

// A close or Ctrl+Break that comes while "m" or Escape saves ends the run only once the save is
// done: the new state is in the file and no temporary file is left.
TEST(CommandsClosing, ACloseDuringASaveWaitsForIt) {
    for (int key : {int('m'), 27}) {
        for (int at : {1, 9000, kSimSavedLines}) {
            g_break = at == 9000;
            SCOPED_TRACE(std::to_string(key) + (g_break ? " broken" : " closed") + " at line " + std::to_string(at));
            app_prepare();
            app_start();
            app_move(300, 470);
            ASSERT_TRUE(app_step(2));
            const auto before = app_file_lines("kavaro.dat");
            app_key('r');  // a new state to save
            ASSERT_TRUE(app_step());
            g_close_at = at;
            sim_save_line_hook = close_at_line;
            app_key(key);
            EXPECT_FALSE(app_step(3));
            EXPECT_TRUE(app_wait_exit(5000));
            EXPECT_EQ(app_exit_status(), 0);
            sim_save_line_hook = nullptr;
            const auto after = app_file_lines("kavaro.dat");
            EXPECT_EQ(after.size(), 17018u);
            EXPECT_NE(after, before) << "the save ended before the program";
            EXPECT_TRUE(app_temp_files().empty());
            EXPECT_TRUE(app_dialogs.empty());
            app_finish();
        }
    }
}

TEST_F(Commands, OtherKeysChangeNothing) {
    auto before = cells();
    auto params = parameters();
    for (int k : {int('x'), int('1'), int(' '), 13, 0x4800}) app_key(k);
    ASSERT_TRUE(app_step(6));
    EXPECT_TRUE(changed_rows(before, cells()).empty());
    EXPECT_EQ(parameters(), params);
}

// --preset: the loads read the preset until the first save ("b" goes back to it), saves and "o"
// write the state file; the preset is never written. A preset that cannot be read is told
// once and the state file is left alone.
class PresetRun : public AppRun {
protected:
    void SetUp() override {}
    static std::string bytes(const std::string& path) {
        std::stringstream ss;
        ss << std::ifstream(path, std::ios::binary).rdbuf();
        return ss.str();
    }
    static std::vector<float> values() {
        std::vector<float> v;
        for (int r = 0; r <= 1700; ++r) v.push_back(cell(r));
        return v;
    }
};

TEST_F(PresetRun, ThePresetIsReadUntilTheFirstSaveAndNeverWritten) {
    app_prepare();  // a preset: a state with random counts and rules
    app_start();
    for (int k : {'d', 'r', 'm'}) {
        app_key(k);
        ASSERT_TRUE(app_step());
    }
    const std::vector<float> preset = values();
    app_stop();
    const std::string preset_bytes = bytes(app_folder() + "/kavaro.dat");
    app_finish();

    app_prepare();
    const std::string file = app_folder() + "/sub/preset.dat";
    std::filesystem::create_directory(app_folder() + "/sub");
    std::ofstream(file, std::ios::binary) << preset_bytes;
    sim_preset_path = file;
    app_start();
    EXPECT_EQ(values(), preset);
    app_key('t');
    ASSERT_TRUE(app_step());
    EXPECT_NE(values(), preset);
    app_key('b');
    ASSERT_TRUE(app_step());
    EXPECT_EQ(values(), preset) << "b before a save goes back to the preset";
    EXPECT_FALSE(app_file_exists("kavaro.dat"));
    for (int k : {'t', 'm'}) {
        app_key(k);
        ASSERT_TRUE(app_step());
    }
    const std::vector<float> saved = values();
    ASSERT_TRUE(app_file_exists("kavaro.dat"));
    app_key('r');
    ASSERT_TRUE(app_step());
    app_key('b');
    ASSERT_TRUE(app_step());
    EXPECT_EQ(values(), saved) << "b after a save reads the state file";
    app_key('o');
    ASSERT_TRUE(app_step());
    EXPECT_EQ(sim_species_number(), 3);
    EXPECT_EQ(app_file_lines("kavaro.dat")[17002], " 3 ");
    EXPECT_EQ(bytes(file), preset_bytes);
    EXPECT_TRUE(app_dialogs.empty());
    app_finish();

    app_prepare();
    std::ofstream("kavaro.dat", std::ios::binary) << preset_bytes;
    sim_preset_path = app_folder() + "/gone.dat";
    app_start();
    ASSERT_EQ(app_dialogs.size(), 1u);
    EXPECT_NE(app_dialogs[0].caption.find("#53"), std::string::npos) << app_dialogs[0].caption;
    app_dialogs.clear();
    ASSERT_TRUE(app_step(3));
    EXPECT_EQ(sim_species_number(), 3);  // the factory state, unsaved
    EXPECT_EQ(bytes("kavaro.dat"), preset_bytes);
}

// --swarm: read as a preset is, the cells beyond the code at their factory values; the page's
// address gets the code of each swarm loaded or saved, its Share button the code of the swarm
// shown (unsaved changes and the start's warm-up count included).
TEST_F(PresetRun, ASwarmCodeIsReadUntilTheFirstSaveAndThePageGetsItsCodes) {
    app_prepare();
    SimSwarm s = sim_swarm_factory();
    s.species = 4;
    for (int i = 0; i < 4; ++i) {
        s.colour[i] = 12 - i;
        s.count[i] = static_cast<float>(7 + 2 * i);
        for (int k = 0; k < 4; ++k) s.rule[i][k] = static_cast<int8_t>((i * 4 + k) % 3 - 1);
    }
    s.parameter[3] = 0.3000001f;  // the displacement, as panel steps leave it
    s.parameter[6] = 200;
    sim_pending_swarm = s;
    sim_swarm_pending = true;
    std::string code;
    while (frame_take_swarm_address(code)) {
    }
    app_start();
    const std::vector<float> swarm = values();
    EXPECT_EQ(sim_species_number(), 4);
    EXPECT_EQ(cell(3), 9);
    EXPECT_EQ(rule(1, 2), -1);
    EXPECT_EQ(rule(2, 0), 1);
    EXPECT_EQ(cell(4), 5) << "the colour of a species beyond the code is the factory one";
    EXPECT_EQ(count(4), 5);
    EXPECT_EQ(rule(0, 5), 0);
    EXPECT_EQ(sim_displacement, 0.3000001f);
    EXPECT_EQ(sim_max_particles, 200);
    SimSwarm got;
    std::string why;
    ASSERT_TRUE(frame_take_swarm_address(code));
    ASSERT_TRUE(sim_swarm_decode(code, got, why)) << why;
    EXPECT_TRUE(sim_swarm_same(got, s)) << "the address holds the swarm loaded";

    app_key('t');
    ASSERT_TRUE(app_step());
    frame_request_share();
    ASSERT_TRUE(app_step());
    ASSERT_TRUE(frame_take_share_answer(code));
    ASSERT_TRUE(sim_swarm_decode(code, got, why)) << code << ": " << why;
    SimSwarm shown;
    ASSERT_TRUE(sim_swarm_from_state(sim_warmup_draws, shown, why));
    EXPECT_TRUE(sim_swarm_same(got, shown)) << "Share gives the swarm on the screen";
    EXPECT_FALSE(sim_swarm_same(got, s)) << "with its new rules";
    EXPECT_EQ(got.start, sim_warmup_draws);

    app_key('b');
    ASSERT_TRUE(app_step());
    EXPECT_EQ(values(), swarm) << "b before a save goes back to the swarm";
    EXPECT_FALSE(app_file_exists("kavaro.dat"));
    for (int k : {'t', 'm'}) {
        app_key(k);
        ASSERT_TRUE(app_step());
    }
    const std::vector<float> saved = values();
    ASSERT_TRUE(app_file_exists("kavaro.dat"));
    ASSERT_TRUE(frame_take_swarm_address(code));
    ASSERT_TRUE(sim_swarm_decode(code, got, why)) << why;
    ASSERT_TRUE(sim_swarm_from_state(0, shown, why));
    EXPECT_TRUE(sim_swarm_same(got, shown)) << "the address follows the save";
    app_key('r');
    ASSERT_TRUE(app_step());
    app_key('b');
    ASSERT_TRUE(app_step());
    EXPECT_EQ(values(), saved) << "b after a save reads the state file";
    EXPECT_TRUE(app_dialogs.empty());
    app_finish();
}

}  // namespace
