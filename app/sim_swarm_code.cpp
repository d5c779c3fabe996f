#include "app/sim_swarm_code.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
constexpr int32_t kCheckChars = 5;  // 30 bits of CRC-32
constexpr uint32_t kCheckMask = (1u << 30) - 1;

int32_t alphabet_index(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '-') return 62;
    if (c == '_') return 63;
    return -1;
}

uint32_t bits_of(float v) {
    uint32_t u;
    std::memcpy(&u, &v, sizeof u);
    return u;
}

float float_of(uint32_t u) {
    float v;
    std::memcpy(&v, &u, sizeof v);
    return v;
}

// CRC-32 of IEEE 802.3 (the one of zlib and PNG).
uint32_t crc32(const std::string& s) {
    uint32_t c = 0xFFFFFFFFu;
    for (unsigned char b : s) {
        c ^= b;
        for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1)));
    }
    return c ^ 0xFFFFFFFFu;
}

// Bits of the last group of r rule values (3^r values).
int32_t group_bits(int32_t r) {
    static const int32_t bits[6] = {0, 2, 4, 5, 7, 8};
    return bits[r];
}

// v is the whole number k, lo <= k <= hi, to the bit (so not -0).
bool whole(float v, int32_t lo, int32_t hi, int32_t& k) {
    if (!(v >= static_cast<float>(lo) && v <= static_cast<float>(hi))) return false;
    k = static_cast<int32_t>(v);
    return bits_of(static_cast<float>(k)) == bits_of(v);
}

float hundredths(int32_t k) { return static_cast<float>(static_cast<double>(k) / 100.0); }

// v is hundredths(k) for a k of 0 ... 1023, to the bit.
bool in_hundredths(float v, int32_t& k) {
    if (!(v >= 0 && v <= 10.23f)) return false;
    k = static_cast<int32_t>(std::nearbyint(static_cast<double>(v) * 100));
    return k >= 0 && k <= 1023 && bits_of(hundredths(k)) == bits_of(v);
}

struct BitWriter {
    std::string bits;  // '0' and '1', first bit first
    void put(uint32_t v, int32_t n) {
        for (int32_t i = n - 1; i >= 0; --i) bits += static_cast<char>('0' + ((v >> i) & 1));
    }
};

struct BitReader {
    const std::string& bits;
    size_t at = 0;
    bool ran_out = false;
    uint32_t get(int32_t n) {
        uint32_t v = 0;
        for (int32_t i = 0; i < n; ++i) {
            if (at >= bits.size()) {
                ran_out = true;
                return 0;
            }
            v = v << 1 | static_cast<uint32_t>(bits[at++] - '0');
        }
        return v;
    }
};

// A count: a whole number 0 ... 1023, a whole number of 24 bits, or its bits as they are.
void put_count(BitWriter& w, float v) {
    int32_t k;
    if (whole(v, 0, 1023, k)) {
        w.put(0, 1);
        w.put(static_cast<uint32_t>(k), 10);
    } else if (whole(v, -(1 << 23), (1 << 23) - 1, k)) {
        w.put(2, 2);
        w.put(static_cast<uint32_t>(k) & 0xFFFFFFu, 24);
    } else {
        w.put(3, 2);
        w.put(bits_of(v), 32);
    }
}

float get_count(BitReader& r) {
    if (r.get(1) == 0) return static_cast<float>(r.get(10));
    if (r.get(1) == 0) {
        uint32_t u = r.get(24);
        int32_t k = static_cast<int32_t>(u << 8) >> 8;
        return static_cast<float>(k);
    }
    return float_of(r.get(32));
}

// A parameter: a whole number 0 ... 1023, hundredths 0 ... 10.23, or its bits as they are.
void put_parameter(BitWriter& w, float v) {
    int32_t k;
    if (whole(v, 0, 1023, k)) {
        w.put(0, 1);
        w.put(static_cast<uint32_t>(k), 10);
    } else if (in_hundredths(v, k)) {
        w.put(2, 2);
        w.put(static_cast<uint32_t>(k), 10);
    } else {
        w.put(3, 2);
        w.put(bits_of(v), 32);
    }
}

float get_parameter(BitReader& r) {
    if (r.get(1) == 0) return static_cast<float>(r.get(10));
    if (r.get(1) == 0) return hundredths(static_cast<int32_t>(r.get(10)));
    return float_of(r.get(32));
}

std::string limits(const std::string& what) {
    return "the swarm code holds a value outside the editor's limits (" + what + ")";
}

std::string number(int64_t v) { return std::to_string(v); }

enum class Parse { whole, cut, too_long, bad_value };

// The fields after the version mark; `why` names a value outside the limits.
Parse parse(const std::string& bits, SimSwarm& s, std::string& why) {
    BitReader r{bits};
    s = SimSwarm{};
    auto bad = [&](const std::string& what) {
        if (why.empty()) why = limits(what);
    };
    s.species = static_cast<int32_t>(r.get(4));
    if (s.species < 1 || s.species > 10) {
        bad(number(s.species) + " species; the editor has 1 to 10");
        return r.ran_out ? Parse::cut : Parse::bad_value;
    }
    const int32_t n = s.species;
    for (int32_t i = 0; i < n; ++i) {
        s.colour[i] = static_cast<int32_t>(r.get(4));
        if (s.colour[i] == 0) bad("a colour of 0; the colours are 1 to 15");
    }
    for (int32_t i = 0; i < n; ++i) {
        s.count[i] = get_count(r);
        if (!std::isfinite(s.count[i])) bad("a count that is not a finite number");
    }
    for (int32_t first = 0; first < n * n; first += 5) {
        const int32_t len = n * n - first < 5 ? n * n - first : 5;
        uint32_t g = r.get(group_bits(len));
        uint32_t top = 1;
        for (int32_t k = 0; k < len; ++k) top *= 3;
        if (g >= top) bad("a rule other than -1, 0 and 1");
        for (int32_t k = len - 1; k >= 0; --k) {
            const int32_t cell = first + k;
            s.rule[cell / n][cell % n] = static_cast<int8_t>(static_cast<int32_t>(g % 3) - 1);
            g /= 3;
        }
    }
    for (float& p : s.parameter) {
        p = get_parameter(r);
        if (!std::isfinite(p)) bad("a panel value that is not a finite number");
    }
    if (r.get(1) != 0) {
        s.start = static_cast<int32_t>(r.get(7));
        if (s.start < 1 || s.start > 100) bad("the start number " + number(s.start) + "; it is 1 to 100");
    }
    if (r.ran_out) return Parse::cut;
    // What is left is the padding of the last character: fewer than six bits, all zero.
    if (bits.size() - r.at >= 6 || bits.find('1', r.at) != std::string::npos) return Parse::too_long;
    return why.empty() ? Parse::whole : Parse::bad_value;
}

std::string trimmed(const std::string& s) {
    const char* blanks = " \t\r\n\v\f";
    const size_t a = s.find_first_not_of(blanks);
    if (a == std::string::npos) return "";
    return s.substr(a, s.find_last_not_of(blanks) - a + 1);
}

std::string damaged(const std::string& what) { return "the swarm code is damaged (" + what + ")"; }

}  // namespace

std::string sim_swarm_problem(const SimSwarm& s) {
    if (s.species < 1 || s.species > 10) return limits(number(s.species) + " species; the editor has 1 to 10");
    const int32_t n = s.species;
    for (int32_t i = 0; i < n; ++i)
        if (s.colour[i] < 1 || s.colour[i] > 15)
            return limits("a colour of " + number(s.colour[i]) + "; the colours are 1 to 15");
    for (int32_t i = 0; i < n; ++i)
        if (!std::isfinite(s.count[i])) return limits("a count that is not a finite number");
    for (int32_t a = 0; a < n; ++a)
        for (int32_t b = 0; b < n; ++b)
            if (s.rule[a][b] < -1 || s.rule[a][b] > 1) return limits("a rule other than -1, 0 and 1");
    for (float p : s.parameter)
        if (!std::isfinite(p)) return limits("a panel value that is not a finite number");
    if (s.start < 0 || s.start > 100) return limits("the start number " + number(s.start) + "; it is 1 to 100");
    return "";
}

std::string sim_swarm_encode(const SimSwarm& s) {
    BitWriter w;
    // A species count outside the limits is written as it is (a reader refuses it there), but
    // the fields after it never beyond the ten that the arrays hold.
    const int32_t n = s.species < 0 ? 0 : s.species > 10 ? 10 : s.species;
    w.put(static_cast<uint32_t>(s.species), 4);
    for (int32_t i = 0; i < n; ++i) w.put(static_cast<uint32_t>(s.colour[i]), 4);
    for (int32_t i = 0; i < n; ++i) put_count(w, s.count[i]);
    // Rule values in base 3, five to a group of 8 bits (3^5 = 243), row by row.
    for (int32_t first = 0; first < n * n; first += 5) {
        const int32_t len = n * n - first < 5 ? n * n - first : 5;
        uint32_t g = 0;
        for (int32_t k = 0; k < len; ++k) {
            const int32_t cell = first + k;
            g = g * 3 + static_cast<uint32_t>(s.rule[cell / n][cell % n] + 1);
        }
        w.put(g, group_bits(len));
    }
    for (float p : s.parameter) put_parameter(w, p);
    if (s.start > 0) {
        w.put(1, 1);
        w.put(static_cast<uint32_t>(s.start), 7);
    } else {
        w.put(0, 1);
    }
    while (w.bits.size() % 6 != 0) w.bits += '0';
    std::string code(1, kSimSwarmVersion);
    for (size_t i = 0; i < w.bits.size(); i += 6)
        code += kAlphabet[std::stoi(w.bits.substr(i, 6), nullptr, 2)];
    const uint32_t check = crc32(code) & kCheckMask;
    for (int32_t i = kCheckChars - 1; i >= 0; --i) code += kAlphabet[(check >> (6 * i)) & 63];
    return code;
}

bool sim_swarm_decode(const std::string& text, SimSwarm& out, std::string& why) {
    why.clear();
    std::string t = trimmed(text);
    const size_t hash = t.find('#');
    const bool link = hash != std::string::npos;
    if (link) {
        t = t.substr(hash + 1);
    } else if (t.find("://") != std::string::npos) {
        why = "the link holds no swarm code (it has no \"#\" and no code after it)";
        return false;
    }
    if (t.empty()) {
        why = link ? "the link holds no swarm code (nothing follows its \"#\")" : "the swarm code is empty";
        return false;
    }
    for (size_t i = 0; i < t.size(); ++i) {
        if (alphabet_index(t[i]) >= 0) continue;
        const unsigned char c = static_cast<unsigned char>(t[i]);
        char shown[16];
        if (c > 32 && c < 127)
            std::snprintf(shown, sizeof shown, "\"%c\"", c);
        else
            std::snprintf(shown, sizeof shown, "the byte %u", c);
        why = damaged(std::string(shown) + ", its character " + number(static_cast<int64_t>(i) + 1) +
                      ", is none of A-Z, a-z, 0-9, - and _");
        return false;
    }
    if (t[0] != kSimSwarmVersion) {
        why = std::string("the swarm code is of another version (it begins with \"") + t[0] +
              "\"; this kavaro reads codes that begin with \"" + kSimSwarmVersion + "\")";
        return false;
    }
    if (t.size() < 1 + kCheckChars + 1) {
        why = damaged("it is cut short");
        return false;
    }
    const size_t body = t.size() - kCheckChars;
    std::string bits;
    for (size_t i = 1; i < body; ++i) {
        const int32_t v = alphabet_index(t[i]);
        for (int32_t k = 5; k >= 0; --k) bits += static_cast<char>('0' + ((v >> k) & 1));
    }
    uint32_t given = 0;
    for (size_t i = body; i < t.size(); ++i) given = given << 6 | static_cast<uint32_t>(alphabet_index(t[i]));
    const bool check_ok = given == (crc32(t.substr(0, body)) & kCheckMask);
    SimSwarm s;
    std::string limit_why;
    const Parse p = parse(bits, s, limit_why);
    // A cut or lengthened code shows in where its values end; any other change in the check.
    if (p == Parse::cut) why = damaged("it is cut short");
    else if (p == Parse::too_long) why = damaged("it goes on past its end");
    else if (!check_ok) why = damaged("its check value does not match");
    else if (p == Parse::bad_value) why = limit_why;
    if (!why.empty()) return false;
    out = s;
    return true;
}

bool sim_swarm_same(const SimSwarm& a, const SimSwarm& b) {
    if (a.species != b.species || a.start != b.start) return false;
    const int32_t n = a.species < 1 || a.species > 10 ? 0 : a.species;
    for (int32_t i = 0; i < n; ++i)
        if (a.colour[i] != b.colour[i] || bits_of(a.count[i]) != bits_of(b.count[i])) return false;
    for (int32_t i = 0; i < n; ++i)
        for (int32_t k = 0; k < n; ++k)
            if (a.rule[i][k] != b.rule[i][k]) return false;
    for (int32_t k = 0; k < 8; ++k)
        if (bits_of(a.parameter[k]) != bits_of(b.parameter[k])) return false;
    return true;
}
