// A started program per test; dialogs must not appear.
#pragma once
#include <gtest/gtest.h>

#include <vector>

#include "app/sim_cells.h"
#include "app/sim_state.h"
#include "app_support.h"

class AppRun : public ::testing::Test {
protected:
    void SetUp() override {
        app_prepare();
        app_start();
        app_move(300, 470);  // a neutral place: no panel row, circle, editor or menu
        ASSERT_TRUE(app_step(2));
    }
    void TearDown() override {
        app_finish();
        for (const auto& d : app_dialogs) ADD_FAILURE() << "dialog " << d.caption << ": " << d.text;
    }
    static float cell(int row, int col = kSimColValue) { return sim_cells.get(row, col); }
    static float count(int i) { return cell(kSimRowCount + i); }
    static float rule(int a, int b) { return cell(kSimRowRule + 40 * a + b); }
    // The whole cell table (rows 0 … 1700, columns 0 … 10).
    static std::vector<float> cells() {
        std::vector<float> v;
        for (int r = 0; r <= 1700; ++r)
            for (int c = 0; c <= 10; ++c) v.push_back(sim_cells.get(r, c));
        return v;
    }
    static std::vector<float> positions(int species, int first, int last) {
        std::vector<float> v;
        for (int s = 0; s < species; ++s)
            for (int p = first; p <= last; ++p)
                for (int c = 0; c < 3; ++c) v.push_back(sim_particles.get(s, p, c));
        return v;
    }
    static std::vector<float> parameters() {
        return {sim_particle_shape, sim_particle_size,  sim_cube_closed,  sim_displacement,
                sim_central_pull,   sim_view_radius,    sim_max_particles, sim_auto_rotation,
                sim_graphics_scale, sim_show_mean};
    }
    // Rows whose value column differs between two tables.
    static std::vector<int> changed_rows(const std::vector<float>& a, const std::vector<float>& b,
                                         int col = kSimColValue) {
        std::vector<int> rows;
        for (int r = 0; r <= 1700; ++r)
            if (a[r * 11 + col] != b[r * 11 + col]) rows.push_back(r);
        return rows;
    }
};
