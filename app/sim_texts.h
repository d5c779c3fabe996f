// Every text the simulation shows, in Hungarian (the default) and in English. An English text
// takes the cells of its Hungarian one: it is padded to the same width, so the same cells are
// written and the same line breaks happen.
#pragma once

struct SimTexts {
    const char* panel[9];      // the panel rows' labels, 18 characters
    const char* total;         // before the particle total, 12 characters
    const char* turn_hint;     // over the rotation circle, 10 characters
    const char* menu[10];      // the menu rows' labels
    const char* colours[16];   // colour names by palette index
    // Help sentences: the pieces around their values, in the order the values come.
    const char* species_help[2];  // p0 N p1
    const char* count_help[3];    // p0 colour name p1 count p2
    const char* colour_help[4];   // p0 species p1 colour name p2 colour number p3
    const char* rule_help[3][3];  // by rule -1, 0, +1: p0 name of a p1 name of b p2
};

extern const SimTexts sim_texts_hu;
extern const SimTexts sim_texts_en;
// The language in use: Hungarian until sim_choose_language picks by the --lang setting.
extern const SimTexts* sim_texts;

void sim_choose_language();
