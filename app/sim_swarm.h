// The program's swarms as codes: the state as a code and a code as the state, --swarm and
// --code, and the codes the page asks for (its Share button and its address).
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>

#include "app/sim_swarm_code.h"

// The factory swarm: three species, colours 1, 2, 3, five particles each, every rule 0.
SimSwarm sim_swarm_factory();
// The swarm of the cell values (column 2 of rows 0 ... 1700) and the eight saved parameters;
// false with the reason when it cannot be a code (a species number, colour or rule that is
// not a whole value of the editor).
bool sim_swarm_from_values(const float* values, const float* parameters, SimSwarm& out, std::string& why);
// The swarm of the cell table and the parameters as they stand, with the start number `start`.
bool sim_swarm_from_state(int32_t start, SimSwarm& out, std::string& why);
// Program thread: the swarm as a load leaves the cell table and the parameters; the cells it
// does not hold (those of the species beyond the shown ones) take their factory values.
void sim_swarm_into_state(const SimSwarm& s);

enum class SimFileRead { ok, missing, failed };
// Reads a state file with the rules of the start's load (a value outside the editor's limits
// of its cell brought within them, `clamped` then set), without a dialog: main thread, before
// the program thread starts. `why` says what failed (a missing file, an error of the reading
// with its line, a value no code can hold).
SimFileRead sim_swarm_read_file(const std::string& path, SimSwarm& out, bool& clamped, std::string& why);

// --swarm: the code read (one line on `err` and status 2 when it is no code). The start-up's
// option check.
int sim_swarm_check_option(FILE* err);
// In the state folder: --swarm becomes what the loads read until the first save (unless the
// state file holds that very swarm, which then loads as it is), its start number the start's;
// --code prints its code and gives the exit status 0 (2 with one line on `err` when FILE
// cannot give one). -1 to go on.
int sim_swarm_take_options(FILE* out, FILE* err);
// The swarm given with --swarm, and whether there was one.
bool sim_swarm_given();
const SimSwarm& sim_swarm_option();

// Program thread: the code of the swarm just loaded or saved, with the start number of
// --start if any, for the page's address.
void sim_swarm_note_loaded();
// Program thread, once a frame: a code the page asked for (its Share button), of the swarm on
// the screen now with this start's warm-up count.
void sim_swarm_answer_page();
