// The species editor: the cells on screen, the hover frame, the help line and the clicks.
#pragma once

// Prints the shown cells, finds sim_hover_cell, frames it and prints its help sentence.
void sim_draw_editor();
// Applies one mouse click to sim_hover_cell: left lowers, right raises, within its limits.
void sim_edit_cell();
