// record: the recorder, PNG encoding and video files.
// Recording what the window shows: a numbered PNG, or a frame of one video file (--record
// FILE.gif, .webm, .mp4), for every new frame the presenter shows (--record DIR), or for every
// page the program shows (--all-frames), and one picture of the swarm (--snapshot FILE.png).
// The presenter, or the program at its page switch, only copies the frame into a slot made in
// advance; encoding and writing run on a thread of their own.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct FrameSlot;
struct ImageSurface;

// ---- PNG encoding (pure) ----
// An indexed-colour PNG of w x h palette indices (one byte each, row after row). The palette
// holds 0xAARRGGBB entries (alpha not written); it gets at least `palette_n` entries and as many
// as the highest index needs. The bit depth is the smallest of 1, 2, 4 and 8 that holds them.
// `out` is replaced. False when libpng fails.
bool record_png_encode(const uint8_t* indices, int32_t w, int32_t h, const uint32_t* palette,
                     int32_t palette_n, std::vector<uint8_t>& out);

// ---- Numbering ----
// The number after the highest "kavaro-NNNNNN.png" in `dir` (1 in an empty folder).
// -1 with errno set when the folder cannot be read.
int64_t record_next_number(const std::string& dir);
// "DIR/kavaro-000012.png".
std::string record_file_name(const std::string& dir, int64_t number);

// ---- What --record names ----
enum RecordKind : int32_t { RECORD_REFUSED = -1, RECORD_FOLDER = 0, RECORD_GIF, RECORD_WEBM, RECORD_MP4 };
// A name ending in .gif, .webm or .mp4 (any case) is a video file of that kind; a name ending in
// "/", an existing folder or a name without an extension is a folder; any other extension
// (swarm.avi) is refused.
RecordKind record_kind_of(const std::string& path);
// "a/swarm.gif" -> "a/swarm-2.gif", "a/swarm-3.gif", ...: the first name nothing has (a link
// counts); `path` itself when it is free. Empty when none is free.
std::string record_free_name(const std::string& path);
// Checks --record PATH before the program starts, without making anything: the folder (a video
// file's folder) must be one, or be makeable in one, that files can be written in; a video file
// that exists is never written over: `use` is then the next free name and `note` says so
// (otherwise `use` is PATH). False with a one-line reason in `why` (no "kavaro:", no line end).
bool record_check_target(const std::string& path, std::string& use, std::string& note, std::string& why);

// ---- Video files (the desktop's FFmpeg; the page has none) ----
// True when this build writes video files; else `why` says what to do instead.
bool record_video_available(std::string& why);
struct RecordVideo;
// Starts a video of `kind` in the new, empty file `fd` (owned from here on): frames of w x h,
// `fps` a second with `fixed_rate`, else each at its own time in milliseconds. Null with `why`.
RecordVideo* record_video_open(int fd, RecordKind kind, int32_t w, int32_t h, int32_t fps, bool fixed_rate,
                               std::string& why);
// One frame of w x h palette indices with its palette (0xAARRGGBB), shown at `time`: the frame's
// number with a fixed rate, else milliseconds since the first. Written as far as the format
// allows a cut file to keep it. False with `why` (the file keeps what was written).
bool record_video_frame(RecordVideo* v, const uint8_t* indices, const uint32_t* palette, int32_t palette_n,
                        int64_t time, std::string& why);
// Writes what the encoder holds and the file's end, closes the file and frees `v`; `seconds`
// gets the video's length. False with `why` when that failed (the file keeps what was written).
bool record_video_close(RecordVideo* v, double& seconds, std::string& why);

// ---- The recorder ----
struct RecordSettings {
    std::string dir;            // empty: no sequence
    // A video file instead of the folder: its kind, the name it gets (a new one, made at the
    // start; never one that exists) and the name asked for, which the end line's command repeats.
    RecordKind kind = RECORD_FOLDER;
    std::string video, video_asked;
    int32_t fps = 30;           // frames a second of a video with all_frames
    int64_t limit = -1;         // frames to write at most (-1: no limit)
    std::string snapshot;       // empty: no snapshot
    double snapshot_after = 0;  // seconds after the swarm first appears
    // The snapshot is the page of the snapshot_frame-th frame the program draws (1: the swarm's
    // first picture), taken at its page switch, whatever the machine's speed; 0: a frame shown.
    int64_t snapshot_frame = 0;
    int32_t queue_slots = 8;    // frames that may wait for the writer
    // Every page the program shows (record_page_shown), none dropped, instead of the frames
    // the presenter shows.
    bool all_frames = false;
};

struct RecordCounts {
    int64_t written = 0;
    int64_t dropped = 0;   // the writer was behind: the frame was never written
    bool failed = false;   // a write failed; the sequence stopped
    bool video_closed = false;  // the video file is complete (its end written)
    bool snapshot_written = false;
};

// Creates the folder, finds the next number, makes the queue and starts the writer thread.
// A folder that cannot be used is reported on `err` and leaves the sequence off; the snapshot
// still works. False when nothing at all is to be recorded.
bool record_start(const RecordSettings& settings, FILE* err);
// Presenter (main thread): `slot` (in state shown) is on the screen now; `uploaded` when it
// has just replaced the previous picture. No allocation, no waiting.
void record_presented(const FrameSlot& slot, bool uploaded);
// Program thread, at a page switch (with all_frames): `page` became the display page, the
// `flips`-th graphics page since the last text screen. From the swarm's first picture on, every
// paletted page is queued; when the queue is full this waits for the writer (until the
// recording stops or the run ends).
void record_page_shown(const ImageSurface* page, uint32_t flips);
// How to make the recorded run again (for example "--state FILE --start N"), named by the line
// that ends the recording. The first note while a recording runs is kept.
void record_note_origin(const std::string& text);
// Lets the writer finish what is queued (at most `wait_ms`), stops it and prints the counts on
// `err`. Safe to call more than once and from any thread; only the first call acts.
void record_finish(int32_t wait_ms, FILE* err);
// The counts so far.
RecordCounts record_counts();
// The builder keeps the page's palette indices with every frame while this is set.
bool record_wants_indices();
// Tests: forget everything (after finish).
void record_reset();
