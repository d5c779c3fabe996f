// The status panel: header (total, rotation indicator), the nine parameter rows and the
// per-frame mouse handling of the view (drag rotation, parameter steps, menu clicks).
#pragma once
#include <cstdint>

void sim_draw_panel_header();
void sim_draw_panel();
void sim_mouse_panel();
// One step s (−1 left, +1 right) of the parameter on 0-based panel row k; other rows do nothing.
void sim_step_parameter(int32_t k, float s);
