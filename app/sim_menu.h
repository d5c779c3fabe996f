// The command menu, the key dispatch and the generators behind the keys.
#pragma once

// Menu table, then the colour names.
void sim_init_tables();
// Shows the menu while a Shift key is held or the pointer is right of it, not while rotating;
// tracks the highlighted row.
void sim_draw_menu();
// Runs the command of the lower-cased sim_key.
void sim_dispatch_key();

// Every rule cell = floor(range × rnd) − offset, then sync and editor.
void sim_random_rules(float range, float offset);
void sim_random_counts();
void sim_equal_counts();
// Every active particle into the unit cube round the origin, with two progress lines.
void sim_big_bang();

// Menu position (1-based text column and first row).
constexpr int sim_menu_column = 48;
constexpr int sim_menu_top = 3;
