#include "app/sim_texts.h"

#include "runtime/frame/options.h"

const SimTexts sim_texts_hu = {
    {"kozepponti vonzas:", "babu merete      :", "kockaba zarva    :", "elmozditas nagys :",
     "grafika nagysag  :", "babu alakja      :", "auto forg nagysag:", "max babuk szama  :",
     "babuk atlagpont m:"},
    "osszes babu:",
    "elforgatas",
    {"kilepes", "random erok generalasa", "random erok gen(vonzas nelkul) ",
     "random darabszam generalasa", "egyenlo darabszam generalasa", "babuk helyzete 0-ra (bigbang)",
     "babuk helyzete random kockaba", "jelenlegi allapot mentese", "mentett allapot betoltese",
     "visszaallitas (gyarivisszaall)"},
    {"fekete", "kek", "zold", "turkisz", "piros", "lila", "barna", "Vszurke", "Sszurke", "Vkek",
     "Vzold", "Vturkisz", "Vpiros", "Vlila", "citrom", "feher"},
    {"", " kulonbozo babu (identitas) van"},
    {"", "-szinu babuk darabszama:", " db"},
    {"", "-jelzesu babuk szine:", "(", ")"},
    {{"", " szinu babu kergeti (vonzza) ", " szinu babut "},
     {"", " szinu babu kozombos (semleges) ", " szinu babura"},
     {"", " szinu babu menekul (taszitja) ", " szinu babu elol"}},
};

// Padded after the text, but for the total, whose colon keeps its column next to the number as
// the panel's colons keep theirs; the hint starts where the Hungarian one does, clear of the
// swarm in the middle of the circle.
const SimTexts sim_texts_en = {
    {"central pull     :", "particle size    :", "closed in cube   :", "displacement     :",
     "zoom             :", "particle shape   :", "auto turn speed  :", "max particles    :",
     "mean points      :"},
    "  particles:",
    "turn      ",
    {"quit   ", "random rules          ", "random rules, no chasing       ",
     "random counts              ", "equal counts                ", "all to the centre (big bang) ",
     "scatter in the cube          ", "save this state          ", "load the saved state     ",
     "factory settings              "},
    {"black", "blue", "green", "turquoise", "red", "purple", "brown", "light grey", "dark grey",
     "light blue", "light green", "light turquoise", "light red", "light purple", "yellow",
     "white"},
    {"", " different species of particle"},
    {"number of ", " particles:", ""},
    {"species", " has the colour ", " (number", ")"},
    {{"", " particles chase (are drawn to) ", " particles"},
     {"", " particles ignore (are neutral to) ", " particles"},
     {"", " particles flee (are repelled by) ", " particles"}},
};

const SimTexts* sim_texts = &sim_texts_hu;

void sim_choose_language() { sim_texts = frame_options.lang == "en" ? &sim_texts_en : &sim_texts_hu; }
