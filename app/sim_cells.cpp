#include "app/sim_cells.h"

#include <cmath>

#include "app/sim_state.h"
#include "app/sim_texts.h"
#include "runtime/text/number_text.h"

namespace {

StringValue* text(const char* t) { return sv_new_text(t); }

// a + b + … left to right; temporaries are consumed.
StringValue* cat(StringValue* a) { return a; }
template <class... R>
StringValue* cat(StringValue* a, StringValue* b, R... rest) {
    return cat(sv_concat(a, b), rest...);
}

// Name of the colour whose number is the rounded value (a bad number fails the index check).
StringValue* colour_name(float v) { return sim_colour_names.get(frame_float_index(v)); }

// The number's text without its sign blank.
StringValue* digits(float v) { return sv_mid(num_str(v), 2, 0, 0); }

float sign_of(float v) { return v > 0 ? 1.0f : (v < 0 ? -1.0f : 0.0f); }

}  // namespace

void sim_init_colour_names() {
    int32_t base = sv_temp_count();
    for (int32_t i = 0; i < 16; ++i) {
        sim_string_set(sim_colour_names, i, text(sim_texts->colours[i]));
        sv_cleanup(base, 0);
        FRAME_CP();
    }
}

void sim_build_cells() {
    int32_t base = sv_temp_count();
    if (sim_resetting != 1) {
        // The number of species is held to the range every part serves.
        sim_set_cell(kSimRowSpecies, kSimColValue, sim_species_number());
        FRAME_CP();
    }
    float n = sim_cell(kSimRowSpecies, kSimColValue);
    FRAME_CP();
    sim_table_left = 1;
    FRAME_CP();
    sim_table_top = 26 - n;
    FRAME_CP();
    sim_frame_right = static_cast<float>(
        (static_cast<double>(sim_table_left) + static_cast<double>(n) * sim_cell_width + 4) * 8 -
        3);
    FRAME_CP();
    sim_frame_top = static_cast<float>((static_cast<double>(sim_table_top) - 0.2) * 16);
    FRAME_CP();
    const float left = sim_table_left, top = sim_table_top, w = sim_cell_width;

    // Number of species.
    const int32_t rs = kSimRowSpecies;
    if (sim_resetting == 1) {
        sim_set_cell(rs, kSimColValue, 3);
        FRAME_CP();
    }
    sim_set_cell(rs, kSimColX, left);
    FRAME_CP();
    sim_set_cell(rs, kSimColY, top);
    FRAME_CP();
    sim_set_cell(rs, kSimColMin, 1);
    FRAME_CP();
    sim_set_cell(rs, kSimColMax, kSimSpeciesMax);
    FRAME_CP();
    sim_set_cell(rs, kSimColShown, 1);
    FRAME_CP();
    sim_set_cell(rs, kSimColSpeciesFlag, 1);
    FRAME_CP();
    const auto& t = *sim_texts;
    sim_string_set(sim_cell_help, rs,
                   cat(text(t.species_help[0]), num_str(sim_cell(rs, kSimColValue)),
                       text(t.species_help[1])));
    sv_cleanup(base, 0);
    FRAME_CP();
    n = sim_cell(rs, kSimColValue);
    FRAME_CP();

    // Counts.
    for (float i = 0; i <= 39; i += 1) {
        int32_t r = static_cast<int32_t>(i) + kSimRowCount;
        sim_set_cell(r, kSimColX, i * w + 4 + left);
        FRAME_CP();
        sim_set_cell(r, kSimColY, top);
        FRAME_CP();
        if (sim_resetting == 1) {
            sim_set_cell(r, kSimColValue, 5);
            FRAME_CP();
        }
        sim_set_cell(r, kSimColMin, 1);
        FRAME_CP();
        sim_set_cell(r, kSimColMax, 600);
        FRAME_CP();
        sim_set_cell(r, kSimColShown, n > i ? 1.0f : 0.0f);
        FRAME_CP();
        sim_set_cell(r, kSimColSpeciesFlag, 0);
        FRAME_CP();
        sim_string_set(sim_cell_help, r,
                       cat(text(t.count_help[0]),
                           colour_name(sim_cell(static_cast<int32_t>(i), kSimColValue)),
                           text(t.count_help[1]), num_str(sim_cell(r, kSimColValue)),
                           text(t.count_help[2])));
        sv_cleanup(base, 0);
        FRAME_CP();
    }

    // Colours.
    float c = 1;
    FRAME_CP();
    for (float i = 0; i <= 39; i += 1) {
        int32_t r = static_cast<int32_t>(i);
        sim_set_cell(r, kSimColX, i * w + 4 + left);
        FRAME_CP();
        sim_set_cell(r, kSimColY, top + 1);
        FRAME_CP();
        if (sim_resetting == 1) {
            sim_set_cell(r, kSimColValue, c);
            FRAME_CP();
            c = c + 1;
            FRAME_CP();
            if (c == 16) c = 1;
            FRAME_CP();
        }
        sim_set_cell(r, kSimColMin, 1);
        FRAME_CP();
        sim_set_cell(r, kSimColMax, 15);
        FRAME_CP();
        sim_set_cell(r, kSimColShown, n > i ? 1.0f : 0.0f);
        FRAME_CP();
        sim_set_cell(r, kSimColSpeciesFlag, 0);
        FRAME_CP();
        float v = sim_cell(r, kSimColValue);
        sim_string_set(sim_cell_help, r,
                       cat(text(t.colour_help[0]), num_str(i), text(t.colour_help[1]),
                           colour_name(v), text(t.colour_help[2]), num_str(v),
                           text(t.colour_help[3])));
        sv_cleanup(base, 0);
        FRAME_CP();
    }

    // Rules.
    for (float a = 0; a <= 39; a += 1) {
        for (float b = 0; b <= 39; b += 1) {
            int32_t r = static_cast<int32_t>(b + 40 * a) + kSimRowRule;
            sim_set_cell(r, kSimColX, b * w + 4 + left);
            FRAME_CP();
            sim_set_cell(r, kSimColY, a * sim_cell_height + top + 2);
            FRAME_CP();
            if (sim_resetting == 1) {
                sim_set_cell(r, kSimColValue, 0);
                FRAME_CP();
            }
            sim_set_cell(r, kSimColMin, -1);
            FRAME_CP();
            sim_set_cell(r, kSimColMax, 1);
            FRAME_CP();
            sim_set_cell(r, kSimColShown, (n > a && n > b) ? 1.0f : 0.0f);
            FRAME_CP();
            sim_set_cell(r, kSimColSpeciesFlag, 0);
            FRAME_CP();
            float s = sign_of(sim_cell(r, kSimColValue));
            float ca = sim_cell(static_cast<int32_t>(a), kSimColValue);
            float cb = sim_cell(static_cast<int32_t>(b), kSimColValue);
            // sign_of gives -1, 0 or +1 (0 for NaN).
            const char* const* help = t.rule_help[static_cast<int32_t>(s) + 1];
            sim_string_set(sim_cell_help, r,
                           cat(text(help[0]), colour_name(ca), text(help[1]), colour_name(cb),
                               text(help[2])));
            sv_cleanup(base, 0);
            FRAME_CP();
        }
    }

    // The rows between the rules and the number of species belong to no cell: never shown,
    // whatever a damaged file put there.
    for (int32_t r = kSimRowRule + 40 * 40; r < kSimRowSpecies; ++r) {
        sim_set_cell(r, kSimColShown, 0);
        FRAME_CP();
    }
}

void sim_sync_species() {
    int32_t base = sv_temp_count();
    sim_particle_total = 0;
    FRAME_CP();
    const float n = sim_species_number();
    for (int32_t i = 0; i <= 39; ++i) {
        sim_string_set(sim_rule_strings, i, text(""));
        sv_cleanup(base, 0);
        FRAME_CP();
        sim_species_colour.set(sim_cell(i, kSimColValue), i);
        FRAME_CP();
        sim_species_count.set(sim_cell(kSimRowCount + i, kSimColValue), i);
        FRAME_CP();
        if (static_cast<float>(i) < n) {
            sim_particle_total = sim_particle_total + sim_species_count.get(i);
            FRAME_CP();
        }
        for (int32_t b = 0; b <= 39; ++b) {
            int32_t r = 40 * i + kSimRowRule + b;
            float v = sim_cell(r, kSimColValue);
            if ((frame_float_index(sim_cell(r, kSimColShown)) & frame_float_index(v)) != 0) {
                StringValue* rule = sim_rule_strings.get(i);
                sim_string_set(sim_rule_strings, i,
                               cat(rule, text(sign_of(v) == -1 ? "-" : "+"), digits(std::fabs(v)),
                                   digits(static_cast<float>(b))));
                sv_cleanup(base, 0);
            }
            FRAME_CP();
        }
    }
}

void sim_normalise_counts() {
    sim_weight_sum = 0;
    FRAME_CP();
    const int32_t passes = sim_loop_count(sim_species_number(), 11);
    for (int32_t i = 0; i < passes; ++i) {
        sim_weights.set(sim_cell(kSimRowCount + i, kSimColValue), i);
        FRAME_CP();
        sim_weight_sum = sim_weight_sum + sim_weights.get(i);
        FRAME_CP();
    }
    sim_normalise_from_weights();
}

void sim_normalise_from_weights() {
    const float n = sim_species_number();
    const int32_t passes = sim_loop_count(n, 11);
    if (sim_weight_sum == 0) {
        // Nothing to scale: share sim_max_particles out equally.
        float q = std::floor(static_cast<float>(static_cast<double>(sim_max_particles) / n));
        if (!(q >= 0)) q = 0;
        FRAME_CP();
        for (int32_t i = 0; i < passes; ++i) {
            sim_set_cell(kSimRowCount + i, kSimColValue, q);
            FRAME_CP();
        }
    } else {
        float q = static_cast<float>(static_cast<double>(sim_max_particles) / sim_weight_sum);
        FRAME_CP();
        for (int32_t i = 0; i < passes; ++i) {
            sim_set_cell(kSimRowCount + i, kSimColValue,
                         static_cast<float>(std::floor(static_cast<double>(sim_weights.get(i)) * q)));
            FRAME_CP();
        }
    }
    sim_sync_species();
    FRAME_CP();
    sim_draw_editor();
    FRAME_CP();
}
