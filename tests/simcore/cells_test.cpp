#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "app/sim_cells.h"
#include "app/sim_saved_state.h"
#include "app/sim_state.h"
#include "app/sim_texts.h"
#include "runtime/frame/restart.h"
#include "simcore/simcore_support.h"

namespace {

std::string str(StringValue* s) { return std::string(reinterpret_cast<char*>(s->data), s->length); }
float value(int32_t row) { return sim_cell(row, kSimColValue); }
int32_t rule_row(int32_t a, int32_t b) { return kSimRowRule + 40 * a + b; }

class CellsTest : public ::testing::Test {
protected:
    void SetUp() override { simcore_fresh_state(); }
    void TearDown() override { simcore_teardown(); }

    // Factory values laid out as after a start with the factory file.
    void factory_layout() {
        sim_resetting = 1;
        sim_build_cells();
        sim_resetting = 0;
        sim_build_cells();
    }
};

TEST_F(CellsTest, FactoryStartWritesTheFactoryFile) {
    simcore_factory_start();
    ASSERT_TRUE(simcore_dialogs.empty());
    auto lines = simcore_lines(simcore_read_file("kavaro.dat"));
    ASSERT_EQ(lines.size(), 17018u);
    // The reset lays the table out with N = 0, so T = 26.
    std::vector<std::string> colour0(lines.begin(), lines.begin() + 10);
    EXPECT_EQ(colour0, (std::vector<std::string>{" 5 ", " 27 ", " 1 ", " 1 ", " 15 ", " 1 ", " 0 ",
                                                  " 0 ", " 0 ", " 0 "}));
    std::vector<std::string> species(lines.begin() + 17000, lines.begin() + 17010);
    EXPECT_EQ(species, (std::vector<std::string>{" 1 ", " 26 ", " 3 ", " 1 ", " 10 ", " 1 ", " 1 ",
                                                  " 0 ", " 0 ", " 0 "}));
    // Colour of species 15 wraps back to 1; count cells hold 5.
    EXPECT_EQ(lines[10 * 15 + 2], " 1 ");
    EXPECT_EQ(lines[10 * 14 + 2], " 15 ");
    EXPECT_EQ(lines[10 * 40 + 2], " 5 ");
    EXPECT_EQ(lines[10 * rule_row(2, 2) + 3], "-1 ");
    std::vector<std::string> params(lines.end() - 8, lines.end());
    EXPECT_EQ(params, (std::vector<std::string>{" 0 ", " 3 ", " 0 ", " 50 ", " 50 ", " 50 ", " 100 ",
                                                 " .3 "}));
    EXPECT_EQ(simcore_read_file("kavaro.dat").substr(0, 5), " 5 \r\n");
    EXPECT_TRUE(simcore_temp_files().empty());
    // The second start loaded it: factory displacement, not the start value 2.
    EXPECT_EQ(sim_displacement, 50);
    EXPECT_EQ(value(kSimRowSpecies), 3);
    EXPECT_EQ(sim_graphics_scale, 0.8f);
    // Laid out again with N = 3.
    EXPECT_EQ(sim_cell(0, kSimColY), 24);
    EXPECT_EQ(sim_frame_right, 133);
    EXPECT_EQ(sim_frame_top, static_cast<float>((23 - 0.2) * 16));
}

TEST_F(CellsTest, FirstNormalisationGives33Each) {
    simcore_factory_start();
    sim_normalise_counts();
    EXPECT_EQ(sim_weight_sum, 15);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(sim_species_count.get(i), 33) << i;
    EXPECT_EQ(sim_particle_total, 99);
    // Hidden species keep their counts.
    EXPECT_EQ(value(kSimRowCount + 3), 5);
    sim_normalise_counts();
    EXPECT_EQ(sim_particle_total, 99);
}

TEST_F(CellsTest, LoweringAndRaisingNKeepsValues) {
    factory_layout();
    sim_set_cell(kSimRowCount + 2, kSimColValue, 17);
    sim_set_cell(2, kSimColValue, 9);
    sim_set_cell(rule_row(2, 0), kSimColValue, -1);
    sim_set_cell(rule_row(0, 2), kSimColValue, 1);
    sim_sync_species();
    EXPECT_EQ(str(sim_rule_strings.get(0)), "+12");

    sim_set_cell(kSimRowSpecies, kSimColValue, 2);
    sim_build_cells();
    sim_sync_species();
    EXPECT_EQ(sim_cell(kSimRowCount + 2, kSimColShown), 0);
    EXPECT_EQ(sim_cell(2, kSimColShown), 0);
    EXPECT_EQ(sim_cell(rule_row(2, 0), kSimColShown), 0);
    EXPECT_EQ(sim_cell(rule_row(0, 2), kSimColShown), 0);
    EXPECT_EQ(sim_cell(rule_row(1, 1), kSimColShown), 1);
    // A hidden species drops out of the others' rule texts and of the total.
    EXPECT_EQ(str(sim_rule_strings.get(0)), "");
    EXPECT_EQ(str(sim_rule_strings.get(2)), "");
    EXPECT_EQ(sim_particle_total, 10);

    sim_set_cell(kSimRowSpecies, kSimColValue, 3);
    sim_build_cells();
    sim_sync_species();
    EXPECT_EQ(value(kSimRowCount + 2), 17);
    EXPECT_EQ(value(2), 9);
    EXPECT_EQ(value(rule_row(2, 0)), -1);
    EXPECT_EQ(str(sim_rule_strings.get(0)), "+12");
    EXPECT_EQ(str(sim_rule_strings.get(2)), "-10");
    EXPECT_EQ(sim_cell(rule_row(2, 0), kSimColShown), 1);
}

TEST_F(CellsTest, RuleTextsReadInAscendingObjectOrder) {
    factory_layout();
    sim_set_cell(kSimRowSpecies, kSimColValue, 4);
    sim_build_cells();
    sim_set_cell(rule_row(0, 3), kSimColValue, -1);
    sim_set_cell(rule_row(0, 1), kSimColValue, 1);
    sim_set_cell(rule_row(0, 2), kSimColValue, 0);
    sim_set_cell(rule_row(0, 7), kSimColValue, 1);  // towards a hidden species
    sim_set_cell(rule_row(7, 0), kSimColValue, 1);  // of a hidden species
    sim_sync_species();
    EXPECT_EQ(str(sim_rule_strings.get(0)), "+11-13");
    EXPECT_EQ(str(sim_rule_strings.get(7)), "");
    EXPECT_EQ(str(sim_rule_strings.get(1)), "");
    // Only odd rounded values pass the AND with the shown flag; a value of 2 adds nothing.
    sim_set_cell(rule_row(1, 0), kSimColValue, 2);
    sim_set_cell(rule_row(1, 2), kSimColValue, -3);
    sim_sync_species();
    EXPECT_EQ(str(sim_rule_strings.get(1)), "-32");
}

TEST_F(CellsTest, HelpSentencesWithDefaultColours) {
    factory_layout();
    EXPECT_EQ(str(sim_cell_help.get(kSimRowSpecies)), " 3 kulonbozo babu (identitas) van");
    EXPECT_EQ(str(sim_cell_help.get(kSimRowCount)), "kek-szinu babuk darabszama: 5 db");
    EXPECT_EQ(str(sim_cell_help.get(kSimRowCount + 14)), "feher-szinu babuk darabszama: 5 db");
    EXPECT_EQ(str(sim_cell_help.get(0)), " 0-jelzesu babuk szine:kek( 1)");
    EXPECT_EQ(str(sim_cell_help.get(11)), " 11-jelzesu babuk szine:Vpiros( 12)");
    EXPECT_EQ(str(sim_cell_help.get(rule_row(0, 1))),
              "kek szinu babu kozombos (semleges) zold szinu babura");
    sim_set_cell(rule_row(0, 1), kSimColValue, -1);
    sim_set_cell(rule_row(1, 0), kSimColValue, 1);
    sim_build_cells();
    EXPECT_EQ(str(sim_cell_help.get(rule_row(0, 1))),
              "kek szinu babu kergeti (vonzza) zold szinu babut ");
    EXPECT_EQ(str(sim_cell_help.get(rule_row(1, 0))),
              "zold szinu babu menekul (taszitja) kek szinu babu elol");
    EXPECT_TRUE(simcore_dialogs.empty());
}

// English sentences; every English text as wide as its Hungarian one, and the help sentences
// with the longest colour names and numbers within the help line's 78 columns.
TEST_F(CellsTest, EnglishTextsInTheCellsOfTheHungarian) {
    sim_texts = &sim_texts_en;
    sim_init_colour_names();
    factory_layout();
    sim_set_cell(rule_row(0, 1), kSimColValue, -1);
    sim_set_cell(rule_row(1, 0), kSimColValue, 1);
    sim_build_cells();
    sim_texts = &sim_texts_hu;
    EXPECT_EQ(str(sim_cell_help.get(kSimRowSpecies)), " 3 different species of particle");
    EXPECT_EQ(str(sim_cell_help.get(kSimRowCount)), "number of blue particles: 5");
    EXPECT_EQ(str(sim_cell_help.get(11)), "species 11 has the colour light red (number 12)");
    EXPECT_EQ(str(sim_cell_help.get(rule_row(0, 1))), "blue particles chase (are drawn to) green particles");
    EXPECT_EQ(str(sim_cell_help.get(rule_row(1, 0))), "green particles flee (are repelled by) blue particles");
    const SimTexts &hu = sim_texts_hu, &en = sim_texts_en;
    auto w = [](const char* s) { return std::strlen(s); };
    for (int k = 0; k < 9; ++k) EXPECT_EQ(w(en.panel[k]), w(hu.panel[k])) << en.panel[k];
    for (int i = 0; i < 10; ++i) EXPECT_EQ(w(en.menu[i]), w(hu.menu[i])) << en.menu[i];
    EXPECT_EQ(w(en.total), w(hu.total));
    EXPECT_EQ(w(en.turn_hint), w(hu.turn_hint));
    size_t name = 0, rule = 0;
    for (const char* c : en.colours) name = std::max(name, w(c));
    for (const auto& r : en.rule_help) rule = std::max(rule, w(r[0]) + w(r[1]) + w(r[2]));
    EXPECT_LE(2 * name + rule, 78u);
    const char* const* c = en.colour_help;
    EXPECT_LE(name + 2 * 4 + w(c[0]) + w(c[1]) + w(c[2]) + w(c[3]), 78u);  // 4: " -39"
}

TEST_F(CellsTest, NumberOfSpeciesHeldToOneToTen) {
    factory_layout();
    EXPECT_EQ(sim_cell(kSimRowSpecies, kSimColMax), 10);
    sim_set_cell(kSimRowSpecies, kSimColValue, -5);
    sim_build_cells();
    EXPECT_EQ(value(kSimRowSpecies), 1);
    EXPECT_EQ(sim_cell(0, kSimColShown), 1);
    EXPECT_EQ(sim_cell(1, kSimColShown), 0);
    EXPECT_EQ(sim_table_top, 25);
    sim_set_cell(kSimRowSpecies, kSimColValue, 39);
    sim_build_cells();
    EXPECT_EQ(value(kSimRowSpecies), 10);
    EXPECT_EQ(sim_cell(9, kSimColShown), 1);
    EXPECT_EQ(sim_cell(10, kSimColShown), 0);
    EXPECT_EQ(sim_frame_right, (1 + 40 + 4) * 8 - 3);
    // Ten species: every group of the rule text stays three characters long.
    for (int b = 0; b < 10; ++b) sim_set_cell(rule_row(9, b), kSimColValue, -1);
    sim_sync_species();
    EXPECT_EQ(str(sim_rule_strings.get(9)), "-10-11-12-13-14-15-16-17-18-19");
    sim_normalise_counts();
    EXPECT_TRUE(simcore_dialogs.empty()) << "no subscript error with ten species";
}

TEST_F(CellsTest, NormalisationOfZeroAndNegativeSums) {
    factory_layout();
    for (int i = 0; i < 3; ++i) sim_set_cell(kSimRowCount + i, kSimColValue, 0);
    sim_normalise_counts();
    for (int i = 0; i < 3; ++i) EXPECT_EQ(value(kSimRowCount + i), 33);
    for (int i = 0; i < 3; ++i) sim_set_cell(kSimRowCount + i, kSimColValue, 0);
    sim_max_particles = -20;
    sim_normalise_counts();
    for (int i = 0; i < 3; ++i) EXPECT_EQ(value(kSimRowCount + i), 0);
    // Counts are written without clamping.
    sim_max_particles = 100;
    sim_set_cell(kSimRowCount + 0, kSimColValue, 1);
    sim_set_cell(kSimRowCount + 1, kSimColValue, 0);
    sim_set_cell(kSimRowCount + 2, kSimColValue, 0);
    sim_normalise_counts();
    EXPECT_EQ(value(kSimRowCount), 100);
    sim_max_particles = 5000;
    sim_normalise_counts();
    EXPECT_EQ(value(kSimRowCount), 5000);
    EXPECT_EQ(sim_particle_total, 5000);
    EXPECT_EQ(sim_active_count(0), 801);
    EXPECT_TRUE(simcore_dialogs.empty());
}

TEST_F(CellsTest, ColourOutsideThePaletteIsASubscriptError) {
    factory_layout();
    sim_set_cell(0, kSimColValue, 99);
    sim_build_cells();
    ASSERT_FALSE(simcore_dialogs.empty());
    EXPECT_EQ(simcore_dialogs[0].caption, "Unhandled Error #9");
    // The help sentences that could be built are.
    EXPECT_EQ(str(sim_cell_help.get(kSimRowCount + 1)), "zold-szinu babuk darabszama: 5 db");
}

TEST_F(CellsTest, RestartClearsScalarsAndEmptiesStringsInPlace) {
    factory_layout();
    sim_sync_species();
    StringValue* help = sim_cell_help.get(kSimRowCount);
    ASSERT_GT(help->length, 0);
    sim_angle_a = 123;
    sim_resetting = 1;
    // The restart's clearing: tables zero-filled, string tables emptied, the module's own state.
    frame_clear_module();
    EXPECT_EQ(sim_cell_help.get(kSimRowCount), help) << "the same permanent string";
    EXPECT_EQ(help->length, 0);
    EXPECT_EQ(sim_colour_names.get(1)->length, 0);
    EXPECT_EQ(sim_angle_a, 0);
    EXPECT_EQ(sim_resetting, 0);
    EXPECT_EQ(value(kSimRowSpecies), 0);
    sim_init_colour_names();
    EXPECT_EQ(str(sim_colour_names.get(15)), "feher");
}

}  // namespace
