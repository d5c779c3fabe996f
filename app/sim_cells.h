// The cell table: layout, help sentences, per-species tables, rule texts, count normalisation.
#pragma once

// The 16 colour names, once at start-up.
void sim_init_colour_names();
// Lays out every cell and assembles its help sentence; while sim_resetting = 1 it also writes
// the factory values. A stored number of species outside 1 … 10 is laid out as the nearest
// bound (and kept so).
void sim_build_cells();
// Colours and counts out of the table, the total of the active counts, the rule texts.
void sim_sync_species();
// Rescales the active counts to about sim_max_particles, then sync and editor.
void sim_normalise_counts();
// The normalisation from its second step on (sim_weights and sim_weight_sum already set).
void sim_normalise_from_weights();

// The species editor's drawing (its own file).
void sim_draw_editor();
