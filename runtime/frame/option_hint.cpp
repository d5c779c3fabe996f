#include "runtime/frame/option_hint.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "runtime/frame/options.h"

namespace {

// Every option the help text names: a word that starts with "-" and a letter.
std::vector<std::string> known_options() {
    char* text = nullptr;
    size_t size = 0;
    FILE* f = open_memstream(&text, &size);
    if (!f) return {};
    frame_print_help(f);
    std::fclose(f);
    std::vector<std::string> names;
    for (size_t i = 0; i < size; ++i) {
        if (text[i] != '-' || (i > 0 && !std::isspace(static_cast<unsigned char>(text[i - 1])))) continue;
        size_t j = i;
        while (j < size && text[j] == '-') ++j;
        if (j - i > 2 || j >= size || !std::islower(static_cast<unsigned char>(text[j]))) continue;
        while (j < size && (std::islower(static_cast<unsigned char>(text[j])) || text[j] == '-')) ++j;
        std::string name(text + i, j - i);
        if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
        i = j;
    }
    std::free(text);
    return names;
}

// Edits from a to b: insertions, deletions, changes and swaps of neighbours.
size_t distance(const std::string& a, const std::string& b) {
    std::vector<std::vector<size_t>> d(a.size() + 1, std::vector<size_t>(b.size() + 1));
    for (size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
    for (size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        for (size_t j = 1; j <= b.size(); ++j) {
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (a[i - 1] != b[j - 1])});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    }
    return d[a.size()][b.size()];
}

}  // namespace

std::string frame_option_hint(const char* arg) {
    std::string word(arg);
    // "--scale=2" means the option before the "=".
    word = word.substr(0, word.find('='));
    std::string lower;
    for (char c : word) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const size_t name_length = lower.size() - std::min(lower.find_first_not_of('-'), lower.size());
    size_t best = 3;
    std::vector<std::string> nearest;
    for (const std::string& name : known_options()) {
        const size_t d = distance(lower, name);
        if (d > best || 2 * d >= name_length) continue;
        if (d < best) nearest.clear();
        best = d;
        nearest.push_back(name);
    }
    if (nearest.empty() || nearest.size() > 2) return "";
    return nearest.size() == 1 ? nearest[0] : nearest[0] + " or " + nearest[1];
}
