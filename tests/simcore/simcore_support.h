// Shared set-up of the simulation-core tests: runtime pieces, recorded dialogs, a fresh state
// and a private working folder.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct SimDialog {
    std::string caption, text;
};

// Dialogs shown since the last fresh state (all answered Yes).
extern std::vector<SimDialog> simcore_dialogs;

// Runtime up once; every simulation table zero, every string empty, dialogs recorded; start
// values as after sim_init_state and the colour names; the working folder a new empty one.
void simcore_fresh_state();
// Leaves the working folder and removes it; platform hooks back to normal.
void simcore_teardown();

// The fresh start-up with no saved file: load, factory reset, restart; then the second start
// that loads the written file, lays out the cells and normalises once.
void simcore_factory_start();

std::string simcore_read_file(const std::string& name);
void simcore_write_file(const std::string& name, const std::string& bytes);
// Lines of a text file without their CR LF.
std::vector<std::string> simcore_lines(const std::string& bytes);
bool simcore_file_exists(const std::string& name);
// Temporary files ("*.tmp") in the working folder.
std::vector<std::string> simcore_temp_files();

// The cell table's particle and mean-point values as raw bits, for exact comparison.
std::vector<uint32_t> simcore_particle_bits();
uint64_t simcore_fingerprint();
