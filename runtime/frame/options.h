// The command-line options the program itself takes; everything else joins the command line.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>

struct FrameOptions {
    bool help = false;
    bool version = false;
    std::string record_dir;      // --record DIR: every presented frame as a numbered PNG (or
                                 // --record FILE.gif, .webm, .mp4: one video file)
    int64_t record_limit = -1;   // --record-limit N: stop after N frames (-1: no limit)
    int32_t record_fps = 30;     // --record-fps N: a video's frames a second with --all-frames
    std::string record_target;   // the start-up's check: the video file to make (a free name)
    std::string snapshot_file;   // --snapshot FILE.png: one presented frame
    double snapshot_after = 0;   // --snapshot-after SECONDS: wait that long first
    int64_t snapshot_frame = 0;  // --snapshot-frame N: the N-th frame the program draws (0: none)
    std::string lang;            // --lang en|hu: the interface's language (empty: KAVARO_LANG)
    int32_t scale = 1;           // --scale N: the window N times the page (1 ... 8); 0: auto
    bool all_frames = false;     // --all-frames: with --record, every frame the program completes
    std::string state_file;      // --state FILE: the state file (the start-up makes it absolute)
    int32_t start_draws = 0;     // --start N: warm-up draws at every start (0: from the clock)
    std::string preset;          // --preset NAME: the loads read this preset until the first save
    std::string preset_file;     // its file (found by the start-up)
    bool list_presets = false;   // --list-presets
    std::string swarm;           // --swarm CODE: the loads read this swarm code until the first save
    bool code = false;           // --code [FILE]: print the swarm code of FILE (or of the state
    std::string code_file;       // that would be loaded) and end
    std::string rest;            // the other arguments, joined by single spaces
};

extern FrameOptions frame_options;

// Reads argv[1..argc-1] into `out`. Returns -1 to go on, or the exit status: 0 after --help, -h,
// --version or --list-presets (their text printed on `out_stream`), 2 for an option without its
// value or with a value out of its range, a --lang other than en or hu, --all-frames without
// --record, --record-fps without a video file and --all-frames, or --snapshot-frame without
// --snapshot (one line on `err_stream`). Any other argument that starts with "-" gets a one-line
// warning on `err_stream` and joins the rest.
int frame_parse_options(int argc, char** argv, FrameOptions& out, FILE* out_stream, FILE* err_stream);

// Settles the interface's language: --lang when given, else the KAVARO_LANG value `env`
// ("en" or "hu"); unset or empty gives "hu", any other value "hu" and one warning line on
// `err_stream`.
void frame_resolve_lang(FrameOptions& opt, const char* env, FILE* err_stream);

// The texts of --help and --version.
void frame_print_help(FILE* f);
void frame_print_version(FILE* f);
