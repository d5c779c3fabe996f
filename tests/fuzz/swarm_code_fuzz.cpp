// Any text given as a swarm code: no crash, no undefined behaviour; a text that reads as a code
// gives a swarm within the editor's limits whose own code reads back as the same swarm.
// Input: a first byte whose bit 0 chooses the rest as the text (0), or as the characters of a
// code's body (each byte modulo 64) that gets the version mark and a check value that matches
// (1), so that the fuzzer reaches the fields behind the check.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/sim_swarm_code.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > 4096) return 0;
    std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    if (data[0] & 1) {
        static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
        std::string body(1, kSimSwarmVersion);
        for (char c : text) body += alphabet[static_cast<unsigned char>(c) % 64];
        uint32_t crc = 0xFFFFFFFFu;
        for (unsigned char b : body) {
            crc ^= b;
            for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
        }
        crc = ~crc & ((1u << 30) - 1);
        for (int i = 4; i >= 0; --i) body += alphabet[(crc >> (6 * i)) & 63];
        text = body;
    }
    SimSwarm s, back;
    std::string why;
    if (!sim_swarm_decode(text, s, why)) {
        if (why.empty() || why.find('\n') != std::string::npos) std::abort();
        return 0;
    }
    if (!sim_swarm_problem(s).empty()) std::abort();
    const std::string code = sim_swarm_encode(s);
    if (!sim_swarm_decode(code, back, why) || !sim_swarm_same(s, back)) std::abort();
    return 0;
}
