// Swarm codes: a swarm as one line of base64url text that fits in a chat message or a link
// (docs/swarm-code.md describes the format).
#pragma once
#include <cstdint>
#include <string>

// Everything a code holds: what decides what the program shows and how the swarm moves.
struct SimSwarm {
    int32_t species = 3;     // 1 ... 10
    int32_t colour[10] = {};  // of the shown species: 1 ... 15
    float count[10] = {};     // of the shown species: any finite value
    int8_t rule[10][10] = {};  // rule[a][b], a and b shown: -1 chases, 0 ignores, 1 flees
    float parameter[8] = {};   // the state file's eight, in its order
    int32_t start = 0;         // the warm-up draws of --start, 1 ... 100; 0: none
};

// The first character of every code this program writes.
constexpr char kSimSwarmVersion = '1';
// Longest code of ten species: every count and parameter in its longest form, a start number.
constexpr int32_t kSimSwarmLongest = 130;

// Why `s` cannot be written as a code ("" when it can): a value outside the editor's limits
// (a species number, colour or rule that is not one of the editor's whole values, a start
// outside 1 ... 100) or a count or parameter that is not a finite number.
std::string sim_swarm_problem(const SimSwarm& s);
// The code of `s` (which must have no problem), each value in its shortest exact form.
std::string sim_swarm_encode(const SimSwarm& s);
// Reads a code, or a whole link with the code after its "#" (blanks around it are ignored).
// False with one plain sentence in `why` when it is no code this program reads: empty, a
// character outside base64url, another version mark, cut short, going on past its end, a
// check value that does not match, or a value outside the editor's limits.
bool sim_swarm_decode(const std::string& text, SimSwarm& out, std::string& why);
// Every value a code holds, bit for bit (the cells of hidden species are not compared).
bool sim_swarm_same(const SimSwarm& a, const SimSwarm& b);
