#include "runtime/frame/options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

#ifndef KAVARO_VERSION
#define KAVARO_VERSION "0"
#endif

FrameOptions frame_options;

namespace {

bool parse_count(const char* s, int64_t& v) {
    if (!*s) return false;
    char* end = nullptr;
    errno = 0;
    long long n = std::strtoll(s, &end, 10);
    if (*end || errno == ERANGE || n < 0) return false;
    v = n;
    return true;
}

bool parse_seconds(const char* s, double& v) {
    if (!*s) return false;
    char* end = nullptr;
    errno = 0;
    double d = std::strtod(s, &end);
    if (*end || errno == ERANGE || !std::isfinite(d) || d < 0) return false;
    v = d;
    return true;
}

}  // namespace

void frame_print_version(FILE* f) { std::fprintf(f, "kavaro %s\n", KAVARO_VERSION); }

void frame_print_help(FILE* f) {
    std::fputs(
        "Usage: kavaro [OPTION]...\n"
        "A swarm of coloured particles chasing, fleeing or ignoring each other in 3-D.\n"
        "\n"
        "Options:\n"
        "  --record DIR             write every frame shown as DIR/kavaro-NNNNNN.png\n"
        "  --record-limit N         stop recording after N frames\n"
        "  --snapshot FILE.png      write the first frame shown after the start as FILE.png\n"
        "  --snapshot-after SECONDS wait that long before the snapshot\n"
        "  --all-frames             with --record: every frame the program draws, in\n"
        "                           order, none dropped (the program waits for the disk)\n"
        "  --state FILE             load and save FILE instead of kavaro.dat\n"
        "  --start N                draw N (1 to 100) warm-up random numbers at every\n"
        "                           start, restarts by b and o included: the same state\n"
        "                           file and N give the same swarm at every step, on\n"
        "                           every machine (without it the clock chooses)\n"
        "  --preset NAME            start from the preset swarm NAME (saves go to the\n"
        "                           state file)\n"
        "  --list-presets           list the preset swarms and exit\n"
        "  --help                   show this text and exit\n"
        "  --version                show the version and exit\n"
        "\n"
        "Mouse:\n"
        "  drag with the left button near the centre of the view to turn the swarm;\n"
        "  left-click a panel row or an editor cell to lower it, right-click to raise it;\n"
        "  hold Shift or move the pointer to the right to show the command menu.\n"
        "\n"
        "Keys:\n"
        "  r  random rules                  t  random rules without chasing\n"
        "  d  random counts                 f  equal counts\n"
        "  c  everyone to the centre        q  everyone scattered in the cube\n"
        "  m  save the state                b  reload the saved state\n"
        "  o  factory settings              Escape  save and quit\n"
        "  Alt+Enter  full screen           Pause  hold until the next key\n"
        "\n"
        "State file:\n"
        "  kavaro.dat beside the program; for an installed program, or when the program's\n"
        "  folder cannot be written, $XDG_DATA_HOME/kavaro/kavaro.dat (by default\n"
        "  ~/.local/share/kavaro/kavaro.dat).\n"
        "  To share a swarm, send its state file and a start number: with\n"
        "  kavaro --state FILE --start N it moves step for step as it moved for you.\n",
        f);
}

int frame_parse_options(int argc, char** argv, FrameOptions& out, FILE* out_stream, FILE* err_stream) {
    out = FrameOptions{};
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        auto value = [&](const char* name) -> const char* {
            if (i + 1 < argc) return argv[++i];
            std::fprintf(err_stream, "kavaro: %s needs a value (see kavaro --help)\n", name);
            return nullptr;
        };
        auto bad = [&](const char* name, const char* v) {
            std::fprintf(err_stream, "kavaro: %s needs a number, not \"%s\"\n", name, v);
            return 2;
        };
        if (!std::strcmp(a, "--help")) {
            out.help = true;
        } else if (!std::strcmp(a, "--version")) {
            out.version = true;
        } else if (std::string* text = !std::strcmp(a, "--record")     ? &out.record_dir
                                       : !std::strcmp(a, "--snapshot") ? &out.snapshot_file
                                       : !std::strcmp(a, "--state")    ? &out.state_file
                                       : !std::strcmp(a, "--preset")   ? &out.preset
                                                                       : nullptr) {
            const char* v = value(a);
            if (!v) return 2;
            if (!*v) {
                std::fprintf(err_stream, "kavaro: %s needs a non-empty value\n", a);
                return 2;
            }
            *text = v;
        } else if (!std::strcmp(a, "--start")) {
            const char* v = value(a);
            if (!v) return 2;
            int64_t n = 0;
            if (!parse_count(v, n) || n < 1 || n > 100) {
                std::fprintf(err_stream, "kavaro: --start needs a whole number from 1 to 100, not \"%s\"\n", v);
                return 2;
            }
            out.start_draws = static_cast<int32_t>(n);
        } else if (!std::strcmp(a, "--all-frames")) {
            out.all_frames = true;
        } else if (!std::strcmp(a, "--list-presets")) {
            out.list_presets = true;
        } else if (!std::strcmp(a, "--record-limit")) {
            const char* v = value(a);
            if (!v) return 2;
            if (!parse_count(v, out.record_limit)) return bad(a, v);
        } else if (!std::strcmp(a, "--snapshot-after")) {
            const char* v = value(a);
            if (!v) return 2;
            if (!parse_seconds(v, out.snapshot_after)) return bad(a, v);
        } else {
            if (!out.rest.empty()) out.rest += ' ';
            out.rest += a;
        }
    }
    if (out.help) {
        frame_print_help(out_stream);
        return 0;
    }
    if (out.version) {
        frame_print_version(out_stream);
        return 0;
    }
    if (out.all_frames && out.record_dir.empty()) {
        std::fprintf(err_stream, "kavaro: --all-frames needs --record DIR\n");
        return 2;
    }
    return -1;
}
