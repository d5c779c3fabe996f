#include "runtime/frame/options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "runtime/frame/option_hint.h"
#include "runtime/record/record.h"

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

bool known_lang(const char* s) { return !std::strcmp(s, "en") || !std::strcmp(s, "hu"); }

// --scale: 1 to 8, or "auto" (0).
bool parse_scale(const char* s, int32_t& v) {
    if (!std::strcmp(s, "auto")) {
        v = 0;
        return true;
    }
    int64_t n = 0;
    if (!parse_count(s, n) || n < 1 || n > 8) return false;
    v = static_cast<int32_t>(n);
    return true;
}

}  // namespace

void frame_resolve_lang(FrameOptions& opt, const char* env, FILE* err_stream) {
    if (!opt.lang.empty()) return;
    if (env && known_lang(env)) {
        opt.lang = env;
        return;
    }
    // A setting meant for every run should not stop one: say so and go on in Hungarian.
    if (env && *env)
        std::fprintf(err_stream, "kavaro: KAVARO_LANG=\"%s\" is neither en nor hu; the interface stays Hungarian\n",
                     env);
    opt.lang = "hu";
}

void frame_print_version(FILE* f) { std::fprintf(f, "kavaro %s\n", KAVARO_VERSION); }

void frame_print_help(FILE* f) {
    std::fputs(
        "Usage: kavaro [OPTION]...\n"
        "A swarm of coloured particles chasing, fleeing or ignoring each other in 3-D.\n"
        "\n"
        "Options:\n"
        "  --record FILE.gif|FILE.webm|FILE.mp4\n"
        "                           write every frame shown into one video file: a GIF\n"
        "                           of the page's 16 colours, WebM (VP9) or MP4 (H.264);\n"
        "                           a FILE that exists is kept and FILE-2 is written\n"
        "  --record DIR             write every frame shown as DIR/kavaro-NNNNNN.png\n"
        "  --record-limit N         with --record: stop recording after N frames\n"
        "  --record-fps N           with a video file and --all-frames: N frames a\n"
        "                           second (1 to 240, default 30); without --all-frames\n"
        "                           each frame keeps the time it was shown\n"
        "  --snapshot FILE.png      write the first frame shown after the start as FILE.png\n"
        "  --snapshot-after SECONDS with --snapshot: wait that long before it\n"
        "  --snapshot-frame N       with --snapshot: the N-th frame the program draws (1 is\n"
        "                           the swarm's first picture), whatever the machine's speed\n"
        "  --lang en|hu             the interface in English or in Hungarian (the default)\n"
        "  --scale N|auto           show the page N times larger (1 to 8) with square, sharp\n"
        "                           pixels; auto: the largest N whose window fits in nine\n"
        "                           tenths of the screen (default 1)\n"
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
        "  --swarm CODE             start from a swarm code (or a page's link with the\n"
        "                           code after its #): read like a preset until the\n"
        "                           first save; a start number in it counts as --start\n"
        "  --code [FILE]            print the swarm code of the state file FILE (without\n"
        "                           FILE: of the state the program would load, --state,\n"
        "                           --preset, --swarm and --start included) and exit\n"
        "  -h, --help               show this text and exit\n"
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
        "  Ctrl+Break (Ctrl+Pause)  end the program without saving\n"
        "  Alt+Enter steps through: window, full screen stretched, the same smoothed, full\n"
        "  screen with the page's proportions, the same smoothed, and back to the window.\n"
        "\n"
        "Species editor:\n"
        "  the first number is how many species there are; then each species' count and\n"
        "  colour; in the rule grid, row a, column b is what species a does towards species\n"
        "  b: -1 chases it, 0 ignores it, 1 flees it.\n"
        "\n"
        "State file:\n"
        "  kavaro.dat beside the program; for an installed program, or when the program's\n"
        "  folder cannot be written, $XDG_DATA_HOME/kavaro/kavaro.dat (by default\n"
        "  ~/.local/share/kavaro/kavaro.dat). A missing one is written with the factory\n"
        "  settings at the start; one that cannot be loaded whole is first copied beside\n"
        "  itself as kavaro.dat.damaged (FILE.damaged for --state FILE).\n"
        "  To share a swarm, send its state file and a start number: with\n"
        "  kavaro --state FILE --start N it moves step for step as it moved for you.\n"
        "  Or send its code, one line: kavaro --code --start N prints it, and\n"
        "  kavaro --swarm CODE shows the same swarm moving the same way.\n"
        "\n"
        "Environment:\n"
        "  KAVARO_ISA=scalar|avx2|avx512  the instruction set of the force step, at most\n"
        "                           this one (default: the best the processor has); the\n"
        "                           results are the same with every one\n"
        "  KAVARO_LANG=en|hu        the interface's language when --lang is not given\n"
        "\n"
        "Exit status:\n"
        "  0  every ordinary end (Escape, the close button, Ctrl+Break, an error dialog's No)\n"
        "  1  no X display, no display mode, or no folder that can keep the state file\n"
        "  2  an option without its value or with a value out of its range, a --state\n"
        "     FILE or --preset NAME that cannot be used, --all-frames or --record-limit\n"
        "     without --record, --snapshot-after or --snapshot-frame without --snapshot,\n"
        "     a --swarm CODE that is no swarm code (damaged, cut or of another version),\n"
        "     a --code FILE that cannot be read,\n"
        "     a --record folder or file that cannot be written, --record-fps without a\n"
        "     video file and --all-frames\n"
        "\n"
        "Other arguments join the command line, which the program does not read.\n",
        f);
}

int frame_parse_options(int argc, char** argv, FrameOptions& out, FILE* out_stream, FILE* err_stream) {
    out = FrameOptions{};
    bool snapshot_after_given = false, record_fps_given = false;
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        auto value = [&](const char* name) -> const char* {
            if (i + 1 < argc) return argv[++i];
            std::fprintf(err_stream, "kavaro: %s needs a value (see kavaro --help)\n", name);
            return nullptr;
        };
        auto bad = [&](const char* name, const char* what, const char* v) {
            std::fprintf(err_stream, "kavaro: %s needs %s, not \"%s\"\n", name, what, v);
            return 2;
        };
        if (!std::strcmp(a, "--help") || !std::strcmp(a, "-h")) {
            out.help = true;
        } else if (!std::strcmp(a, "--version")) {
            out.version = true;
        } else if (std::string* text = !std::strcmp(a, "--record")     ? &out.record_dir
                                       : !std::strcmp(a, "--snapshot") ? &out.snapshot_file
                                       : !std::strcmp(a, "--state")    ? &out.state_file
                                       : !std::strcmp(a, "--preset")   ? &out.preset
                                       : !std::strcmp(a, "--swarm")    ? &out.swarm
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
        } else if (!std::strcmp(a, "--code")) {
            // Its FILE is optional: the next argument, unless that is an option.
            out.code = true;
            if (i + 1 < argc && argv[i + 1][0] != '-' && argv[i + 1][0]) out.code_file = argv[++i];
        } else if (!std::strcmp(a, "--record-limit")) {
            const char* v = value(a);
            if (!v) return 2;
            if (!parse_count(v, out.record_limit)) return bad(a, "a whole number of 0 or more", v);
        } else if (!std::strcmp(a, "--record-fps")) {
            const char* v = value(a);
            if (!v) return 2;
            int64_t n = 0;
            if (!parse_count(v, n) || n < 1 || n > 240) return bad(a, "a whole number from 1 to 240", v);
            out.record_fps = static_cast<int32_t>(n);
            record_fps_given = true;
        } else if (!std::strcmp(a, "--lang")) {
            const char* v = value(a);
            if (!v) return 2;
            if (!known_lang(v)) {
                std::fprintf(err_stream, "kavaro: --lang takes en or hu, not \"%s\"\n", v);
                return 2;
            }
            out.lang = v;
        } else if (!std::strcmp(a, "--snapshot-after")) {
            const char* v = value(a);
            if (!v) return 2;
            if (!parse_seconds(v, out.snapshot_after)) return bad(a, "a number of seconds of 0 or more", v);
            snapshot_after_given = true;
        } else if (!std::strcmp(a, "--snapshot-frame")) {
            const char* v = value(a);
            if (!v) return 2;
            if (!parse_count(v, out.snapshot_frame) || out.snapshot_frame < 1)
                return bad(a, "a whole number of 1 or more", v);
        } else if (!std::strcmp(a, "--scale")) {
            const char* v = value(a);
            if (!v) return 2;
            if (!parse_scale(v, out.scale)) return bad(a, "a whole number from 1 to 8 or auto", v);
        } else {
            if (a[0] == '-') {
                const std::string hint = frame_option_hint(a);
                std::fprintf(err_stream, "kavaro: unknown option \"%s\" (%s%s%ssee kavaro --help); it joins the command line\n",
                             a, hint.empty() ? "" : "did you mean ", hint.c_str(), hint.empty() ? "" : "? ");
            }
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
    if (out.snapshot_frame > 0 && out.snapshot_file.empty()) {
        std::fprintf(err_stream, "kavaro: --snapshot-frame needs --snapshot FILE.png\n");
        return 2;
    }
    // Options that only shape another one say so when it is missing, rather than do nothing.
    if (out.record_limit >= 0 && out.record_dir.empty()) {
        std::fprintf(err_stream, "kavaro: --record-limit needs --record DIR\n");
        return 2;
    }
    if (record_fps_given && !(out.all_frames && record_kind_of(out.record_dir) > RECORD_FOLDER)) {
        std::fprintf(err_stream, "kavaro: --record-fps needs --record FILE.gif, .webm or .mp4 and --all-frames\n");
        return 2;
    }
    if (snapshot_after_given && out.snapshot_file.empty()) {
        std::fprintf(err_stream, "kavaro: --snapshot-after needs --snapshot FILE.png\n");
        return 2;
    }
    if (!out.swarm.empty() && !out.preset.empty()) {
        std::fprintf(err_stream, "kavaro: --swarm and --preset both name the swarm to start from; give one\n");
        return 2;
    }
    return -1;
}
