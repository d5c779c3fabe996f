// record: the recorder and PNG encoding.
// Recording what the window shows: a numbered PNG for every new frame the presenter shows
// (--record DIR), or for every page the program shows (--all-frames), and one picture of the
// swarm (--snapshot FILE.png). The presenter, or the program at its page switch, only copies
// the frame into a slot made in advance; encoding and writing run on a thread of their own.
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

// ---- The recorder ----
struct RecordSettings {
    std::string dir;            // empty: no sequence
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
