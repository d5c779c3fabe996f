#include "app/sim_cells.h"

// Placeholder until the species editor screen exists.
void sim_draw_editor() {}
