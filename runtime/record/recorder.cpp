// The recorder: the presenter copies each new frame's palette indices into a slot of a bounded
// queue made in advance; a writer thread of its own encodes and writes them, as numbered PNGs
// or into one video file. When the writer is behind, the presenter drops the frame and counts
// it instead of waiting. With all_frames the program thread copies every page it shows
// instead, and waits for the writer.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "runtime/core/platform.h"
#include "runtime/core/run_state.h"
#include "runtime/display/display.h"
#include "runtime/files/file_safe.h"
#include "runtime/gfx/image.h"
#include "runtime/record/record.h"

namespace {

// The largest screen page; bigger frames (user images as the screen) are not recorded.
constexpr int32_t kMaxFramePixels = 640 * 480;
// Graphics page switches before the swarm's first picture: the first shows an untouched page,
// the second the start-up picture drawn before the particles are placed.
constexpr uint32_t kSwarmFlips = 3;

struct Picture {
    uint8_t* indices = nullptr;  // kMaxFramePixels bytes
    uint32_t palette[256] = {};
    int32_t palette_n = 0, width = 0, height = 0;
    int64_t shown_ns = 0;  // when it was handed over (steady clock)
};

struct Recorder {
    RecordSettings settings;
    FILE* err = stderr;
    bool sequence = false;  // the folder is usable
    bool snapshot = false;
    std::atomic<bool> active{false};

    // Queue: the presenter fills slot head % n, the writer empties slot tail % n.
    Picture* queue = nullptr;
    int32_t queue_n = 0;
    std::atomic<uint64_t> head{0}, tail{0};
    int64_t accepted = 0;  // the queuing thread's (presenter, or program with all_frames)
    std::atomic<bool> limit_reached{false};
    // When the first and the last queued frame were shown (steady clock, ns): the video's rate.
    std::atomic<int64_t> first_ns{0}, last_ns{0};

    // Snapshot: 0 waiting, 1 taken (the writer's), 2 done.
    Picture shot;
    std::atomic<int32_t> shot_state{0};
    std::atomic<bool> swarm_seen{false};  // written by the presenter
    std::chrono::steady_clock::time_point shot_due;

    int64_t next_number = 1;  // writer only
    std::vector<uint8_t> png;  // writer only
    // A video file: made at the start, written by the writer only.
    int video_fd = -1;
    RecordVideo* video = nullptr;
    int32_t video_w = 0, video_h = 0;
    int64_t video_first_ns = 0;
    std::atomic<int32_t> video_reported{0};  // its end line has been written
    std::atomic<int64_t> written{0}, dropped{0};
    std::atomic<int32_t> failed{0}, snapshot_written{0};

    std::atomic<int32_t> stop{0};     // finish has begun: drain, then end
    std::atomic<int32_t> abandon{0};  // no time left: end after the current file
    std::atomic<int32_t> done{0};     // the writer has ended
    std::atomic<int32_t> finishing{0}, finished{0};
    std::thread writer;

    // How to make the run again: 0 none, 1 being written, 2 ready.
    char origin[1024] = {};
    std::atomic<int32_t> origin_state{0};
};
// Never destroyed: an exit() from a library must not meet a running writer thread.
Recorder& g_rec = *new Recorder();

bool mkdir_all(const std::string& path) {
    for (size_t i = 1; i <= path.size(); ++i) {
        if (i < path.size() && path[i] != '/') continue;
        std::string part = path.substr(0, i);
        if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return false;
    }
    return true;
}

// A folder files can be made in; errno says why not.
bool usable_folder(const std::string& path) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return false;
    if (!S_ISDIR(st.st_mode)) {
        errno = ENOTDIR;
        return false;
    }
    return access(path.c_str(), W_OK | X_OK) == 0;
}

bool write_all(int fd, const std::vector<uint8_t>& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

// The whole picture, then the close; on failure errno says why (the first failure's reason).
bool write_and_close(int fd, const std::vector<uint8_t>& bytes) {
    bool ok = write_all(fd, bytes);
    int saved = errno;
    if (close(fd) != 0 && ok) {
        ok = false;
        saved = errno;
    }
    errno = saved;
    return ok;
}

bool encode(const Picture& p) {
    if (record_png_encode(p.indices, p.width, p.height, p.palette, p.palette_n, g_rec.png)) return true;
    errno = ENOMEM;
    return false;
}

// The next numbered file, never over an existing one. False with errno on failure (the
// partial file is removed).
bool write_numbered(const Picture& p, std::string& name) {
    if (!encode(p)) return false;
    int fd;
    for (;;) {
        name = record_file_name(g_rec.settings.dir, g_rec.next_number);
        fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0 || errno != EEXIST) break;
        ++g_rec.next_number;
    }
    if (fd < 0) return false;
    if (!write_and_close(fd, g_rec.png)) {
        int saved = errno;
        unlink(name.c_str());
        errno = saved;
        return false;
    }
    ++g_rec.next_number;
    return true;
}

// The snapshot replaces its file (the end of its links) only once the new picture is complete,
// and only when that is a regular file or a new name. False with errno on failure.
bool write_snapshot(const Picture& p) {
    if (!encode(p)) return false;
    std::string target, temp;
    struct stat old;
    bool exists = false;
    if (int why = file_write_target(g_rec.settings.snapshot, target, &old, &exists)) {
        errno = why;
        return false;
    }
    int fd = file_temp_create(target, temp, 0644);
    if (fd < 0) return false;
    // A new picture is readable by all, whatever the umask.
    if ((!exists && fchmod(fd, 0644) != 0) || !write_all(fd, g_rec.png)) {
        int saved = errno;
        file_temp_discard(fd, temp);
        errno = saved;
        return false;
    }
    errno = file_temp_commit(fd, temp, target, exists ? &old : nullptr);
    return errno == 0;
}

// A name as the shell takes it back.
std::string shell_word(const std::string& s) {
    if (!s.empty() && s.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789/._-+,:@%=") ==
                          std::string::npos)
        return s;
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// The video's line: the file, its frames, its length, and how to make it again; or why it stopped.
void report_video(double seconds, const std::string& failure) {
    Recorder& r = g_rec;
    if (r.video_reported.exchange(1)) return;
    const RecordSettings& s = r.settings;
    const long long written = static_cast<long long>(r.written.load());
    if (!failure.empty()) {
        std::fprintf(r.err, "kavaro: recording stopped: cannot write %s: %s; it keeps its first %lld frames (%.2f s)\n",
                     s.video.c_str(), failure.c_str(), written, seconds);
        std::fflush(r.err);
        return;
    }
    std::string again;
    if (r.origin_state.load(std::memory_order_acquire) == 2) {
        again = std::string(s.all_frames ? "; the same recording again: kavaro " : "; the same run recorded again: kavaro ") +
                r.origin + " --record " + shell_word(s.video_asked);
        if (s.all_frames) again += " --all-frames";
        if (s.limit >= 0) again += " --record-limit " + std::to_string(s.limit);
        if (s.all_frames && s.fps != 30) again += " --record-fps " + std::to_string(s.fps);
    }
    std::fprintf(r.err, "kavaro: recording into %s: %lld frames written, %lld dropped, %.2f s%s%s\n", s.video.c_str(),
                 written, static_cast<long long>(r.dropped.load()), seconds,
                 written == 0 ? " (nothing was shown: the file was removed)" : "", again.c_str());
    std::fflush(r.err);
}

// One frame into the video, which starts with the first (its size is the video's).
bool write_video_frame(const Picture& p, std::string& why) {
    Recorder& r = g_rec;
    if (!r.video) {
        if (r.video_fd < 0) return why = "the file was closed", false;
        const int fd = r.video_fd;
        r.video_fd = -1;
        r.video = record_video_open(fd, r.settings.kind, p.width, p.height, r.settings.fps, r.settings.all_frames, why);
        if (!r.video) return false;
        r.video_w = p.width;
        r.video_h = p.height;
        r.video_first_ns = p.shown_ns;
    }
    // A picture of another size has no place in the video.
    if (p.width != r.video_w || p.height != r.video_h) {
        r.dropped.fetch_add(1);
        return true;
    }
    const int64_t time = r.settings.all_frames ? r.written.load() : (p.shown_ns - r.video_first_ns + 500000) / 1000000;
    if (!record_video_frame(r.video, p.indices, p.palette, p.palette_n, time, why)) return false;
    r.written.fetch_add(1);
    return true;
}

// The video's end: what the encoder holds, the file's end, the line. A file without a frame
// is removed.
void close_video(const std::string& failure) {
    Recorder& r = g_rec;
    double seconds = 0;
    std::string why;
    bool ok = true;
    if (r.video) {
        ok = record_video_close(r.video, seconds, why);
        r.video = nullptr;
    }
    if (r.video_fd >= 0) {
        close(r.video_fd);
        r.video_fd = -1;
    }
    if (r.written.load() == 0 && failure.empty()) unlink(r.settings.video.c_str());
    if (!ok) r.failed.store(1);
    report_video(seconds, failure.empty() && !ok ? why : failure);
}

void writer_loop() {
    Recorder& r = g_rec;
    const bool video = r.settings.kind != RECORD_FOLDER;
    for (;;) {
        bool busy = false;
        if (r.shot_state.load(std::memory_order_acquire) == 1) {
            if (write_snapshot(r.shot))
                r.snapshot_written.store(1);
            else
                std::fprintf(r.err, "kavaro: cannot write the snapshot %s: %s\n",
                             r.settings.snapshot.c_str(), file_error_text(errno));
            r.shot_state.store(2, std::memory_order_release);
            busy = true;
        }
        uint64_t t = r.tail.load(std::memory_order_relaxed);
        if (t < r.head.load(std::memory_order_acquire)) {
            if (r.abandon.load()) break;
            const Picture& p = r.queue[t % static_cast<uint64_t>(r.queue_n)];
            std::string name;
            if (video) {
                std::string why;
                if (!r.failed.load() && !r.video_reported.load() && !write_video_frame(p, why)) {
                    r.failed.store(1);
                    close_video(why);
                }
                r.tail.store(t + 1, std::memory_order_release);
                // The last frame of the limit ends the file at once.
                if (r.limit_reached.load() && t + 1 == r.head.load(std::memory_order_acquire) &&
                    !r.video_reported.load())
                    close_video("");
                continue;
            }
            if (!r.failed.load()) {
                if (write_numbered(p, name)) {
                    r.written.fetch_add(1);
                } else {
                    std::fprintf(r.err, "kavaro: recording stopped: cannot write %s: %s\n",
                                 name.empty() ? r.settings.dir.c_str() : name.c_str(),
                                 std::strerror(errno));
                    r.failed.store(1);
                }
            }
            r.tail.store(t + 1, std::memory_order_release);
            busy = true;
        }
        if (!busy) {
            if (r.stop.load()) break;
            frame_sleep_ms(2);
        }
    }
    if (video && !r.video_reported.load()) {
        // Frames still waiting when the time ran out are not written, but the file is ended.
        const uint64_t left = r.head.load() - r.tail.load();
        r.dropped.fetch_add(static_cast<int64_t>(left));
        r.tail.store(r.head.load());
        close_video("");
    }
    r.done.store(1, std::memory_order_release);
}

void copy_picture(Picture& dst, const FrameSlot& slot) {
    const size_t n = static_cast<size_t>(slot.width) * slot.height;
    std::memcpy(dst.indices, slot.indices, n);
    std::memcpy(dst.palette, slot.palette, sizeof dst.palette);
    dst.palette_n = slot.palette_n;
    dst.width = slot.width;
    dst.height = slot.height;
}

// A paletted page that fits a picture.
void copy_page(Picture& p, const ImageSurface* page) {
    p.width = page->width;
    p.height = page->height;
    const int32_t bits = page->bits_per_pixel;
    p.palette_n = bits >= 1 && bits <= 8 ? 1 << bits : 256;
    std::memcpy(p.indices, page->pixels, static_cast<size_t>(p.width) * p.height);
    std::memcpy(p.palette, page->palette, static_cast<size_t>(p.palette_n) * sizeof(uint32_t));
}

// The picture in queue slot `h` is complete: hand it to the writer.
void hand_to_writer(uint64_t h) {
    Recorder& r = g_rec;
    int64_t now = std::chrono::duration_cast<std::chrono::nanoseconds>(
                      std::chrono::steady_clock::now().time_since_epoch()).count();
    r.queue[h % static_cast<uint64_t>(r.queue_n)].shown_ns = now;
    r.head.store(h + 1, std::memory_order_release);
    if (r.accepted++ == 0) r.first_ns.store(now, std::memory_order_relaxed);
    r.last_ns.store(now, std::memory_order_relaxed);
    if (r.accepted == r.settings.limit) r.limit_reached.store(true, std::memory_order_relaxed);
}

// The slot shows a page drawn after the swarm was placed.
bool shows_swarm(const FrameSlot& slot) {
    uint32_t flips = slot.graphics_flips;
    // An unchanged later page was confirmed against this very frame.
    uint64_t c = disp_book.confirmed.load(std::memory_order_acquire);
    if ((c >> 24) == slot.order.load(std::memory_order_relaxed))
        flips = std::max(flips, static_cast<uint32_t>(c & 0xFFFFFF));
    return flips >= kSwarmFlips;
}

}  // namespace

std::string record_file_name(const std::string& dir, int64_t number) {
    char tail[32];
    std::snprintf(tail, sizeof tail, "kavaro-%06lld.png", static_cast<long long>(number));
    return dir.empty() || dir.back() == '/' ? dir + tail : dir + "/" + tail;
}

int64_t record_next_number(const std::string& dir) {
    DIR* d = opendir(dir.c_str());
    if (!d) return -1;
    int64_t highest = 0;
    while (const dirent* e = readdir(d)) {
        const char* s = e->d_name;
        if (std::strncmp(s, "kavaro-", 7) != 0) continue;
        s += 7;
        int64_t n = 0;
        int digits = 0;
        while (*s >= '0' && *s <= '9' && digits < 15) n = n * 10 + (*s++ - '0'), ++digits;
        if (digits >= 6 && std::strcmp(s, ".png") == 0 && n > highest) highest = n;
    }
    closedir(d);
    return highest + 1;
}

namespace {

// A new file for the video, in a folder made when missing; never over a name that exists (the
// next free one is taken and told). -1 with errno.
int create_video_file(RecordSettings& s, FILE* err) {
    size_t cut = s.video.find_last_of('/');
    if (cut != std::string::npos && cut > 0 && !mkdir_all(s.video.substr(0, cut))) return -1;
    for (int tries = 0; tries < 100; ++tries) {
        std::string name = record_free_name(s.video);
        if (name.empty()) {
            errno = EEXIST;
            return -1;
        }
        int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0 || errno != EEXIST) {
            if (fd >= 0 && name != s.video) {
                std::fprintf(err, "kavaro: %s exists (it is never written over); recording into %s instead\n",
                             s.video.c_str(), name.c_str());
                s.video = name;
            }
            return fd;
        }
    }
    errno = EEXIST;
    return -1;
}

bool start_video(RecordSettings& s, FILE* err) {
    Recorder& r = g_rec;
    std::string why;
    if (!record_video_available(why)) {
        std::fprintf(err, "kavaro: cannot record into %s: %s\n", s.video.c_str(), why.c_str());
        return false;
    }
    r.video_fd = create_video_file(s, err);
    if (r.video_fd >= 0) return true;
    std::fprintf(err, "kavaro: cannot record into %s: %s; the program runs without recording\n", s.video.c_str(),
                 std::strerror(errno));
    return false;
}

}  // namespace

bool record_start(const RecordSettings& settings, FILE* err) {
    Recorder& r = g_rec;
    r.settings = settings;
    r.err = err;
    r.sequence = false;
    if (settings.kind != RECORD_FOLDER) {
        if (settings.limit != 0) r.sequence = start_video(r.settings, err);
    } else if (!settings.dir.empty() && settings.limit != 0) {
        int64_t next = -1;
        if (mkdir_all(settings.dir) && usable_folder(settings.dir))
            next = record_next_number(settings.dir);
        if (next < 0)
            std::fprintf(err, "kavaro: cannot record into %s: %s; the program runs without recording\n",
                         settings.dir.c_str(), std::strerror(errno));
        else {
            r.next_number = next;
            r.sequence = true;
        }
    }
    r.snapshot = !settings.snapshot.empty();
    if (r.snapshot) {
        size_t cut = settings.snapshot.find_last_of('/');
        std::string folder = cut == std::string::npos ? "." : cut == 0 ? "/" : settings.snapshot.substr(0, cut);
        std::string target;
        // Refused at once when it could never be written (a device, a folder, a link loop).
        int why = usable_folder(folder) ? file_write_target(settings.snapshot, target, nullptr, nullptr) : errno;
        if (why != 0) {
            std::fprintf(err, "kavaro: cannot write the snapshot %s: %s\n", settings.snapshot.c_str(),
                         file_error_text(why));
            r.snapshot = false;
        }
    }
    if (!r.sequence && !r.snapshot) return false;
    r.queue_n = r.sequence ? std::max(settings.queue_slots, 1) : 0;
    r.queue = new Picture[static_cast<size_t>(r.queue_n)];
    for (int32_t i = 0; i < r.queue_n; ++i) r.queue[i].indices = new uint8_t[kMaxFramePixels];
    if (r.snapshot) r.shot.indices = new uint8_t[kMaxFramePixels];
    r.png.reserve(kMaxFramePixels);
    r.active.store(true);
    r.writer = std::thread(writer_loop);
    return true;
}

bool record_wants_indices() {
    const Recorder& r = g_rec;
    if (!r.active.load(std::memory_order_relaxed)) return false;
    // Once nothing more will be written, the builder can stop keeping them.
    bool sequence = r.sequence && !r.settings.all_frames && !r.failed.load(std::memory_order_relaxed) &&
                    !r.limit_reached.load(std::memory_order_relaxed);
    return sequence || (r.snapshot && r.settings.snapshot_frame == 0 &&
                        r.shot_state.load(std::memory_order_relaxed) == 0);
}

void record_presented(const FrameSlot& slot, bool uploaded) {
    Recorder& r = g_rec;
    if (!r.active.load(std::memory_order_relaxed) || r.stop.load(std::memory_order_relaxed)) return;
    // Graphics frames only: the start-up text screen is not part of the picture.
    if (slot.palette_n == 0 || slot.graphics_flips == 0 || !slot.indices) return;
    const bool fits = static_cast<int64_t>(slot.width) * slot.height <= kMaxFramePixels;
    if (r.sequence && !r.settings.all_frames && uploaded && !r.failed.load(std::memory_order_relaxed) &&
        (r.settings.limit < 0 || r.accepted < r.settings.limit)) {
        uint64_t h = r.head.load(std::memory_order_relaxed);
        if (fits && h - r.tail.load(std::memory_order_acquire) < static_cast<uint64_t>(r.queue_n)) {
            copy_picture(r.queue[h % static_cast<uint64_t>(r.queue_n)], slot);
            hand_to_writer(h);
        } else {
            r.dropped.fetch_add(1, std::memory_order_relaxed);
        }
    }
    if (r.snapshot && r.settings.snapshot_frame == 0 && fits &&
        r.shot_state.load(std::memory_order_relaxed) == 0 && shows_swarm(slot)) {
        auto now = std::chrono::steady_clock::now();
        if (!r.swarm_seen.load(std::memory_order_relaxed)) {
            r.swarm_seen.store(true, std::memory_order_relaxed);
            r.shot_due = now + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                   std::chrono::duration<double>(r.settings.snapshot_after));
        }
        if (now >= r.shot_due) {
            copy_picture(r.shot, slot);
            r.shot_state.store(1, std::memory_order_release);
        }
    }
}

void record_page_shown(const ImageSurface* page, uint32_t flips) {
    Recorder& r = g_rec;
    if (!r.active.load(std::memory_order_relaxed)) return;
    // From the swarm's first picture; the untouched page and the start-up picture are not frames.
    if (flips < kSwarmFlips || !page || page->is_text || page->bytes_per_pixel != 1 || !page->palette ||
        !page->pixels || static_cast<int64_t>(page->width) * page->height > kMaxFramePixels)
        return;
    if (r.snapshot && r.settings.snapshot_frame == int64_t{flips} - kSwarmFlips + 1 &&
        r.shot_state.load(std::memory_order_relaxed) == 0) {
        copy_page(r.shot, page);
        r.shot_state.store(1, std::memory_order_release);
    }
    if (!r.sequence || !r.settings.all_frames) return;
    if (r.limit_reached.load(std::memory_order_relaxed) || r.failed.load(std::memory_order_relaxed)) return;
    const uint64_t h = r.head.load(std::memory_order_relaxed);
    // None dropped: the program waits for the writer, unless the recording or the run ends.
    while (h - r.tail.load(std::memory_order_acquire) >= static_cast<uint64_t>(r.queue_n)) {
        if (r.stop.load() || r.failed.load() || frame_run.exit_now.load()) {
            if (!r.failed.load()) r.dropped.fetch_add(1, std::memory_order_relaxed);
            return;
        }
        frame_sleep_ms(1);
    }
    copy_page(r.queue[h % static_cast<uint64_t>(r.queue_n)], page);
    hand_to_writer(h);
}

void record_note_origin(const std::string& text) {
    Recorder& r = g_rec;
    int32_t none = 0;
    if (!r.active.load() || !r.origin_state.compare_exchange_strong(none, 1)) return;
    std::snprintf(r.origin, sizeof r.origin, "%s", text.c_str());
    r.origin_state.store(2, std::memory_order_release);
}

void record_finish(int32_t wait_ms, FILE* err) {
    Recorder& r = g_rec;
    if (r.finishing.exchange(1) != 0) {
        // Another thread is finishing: give it the time it needs, no more.
        for (int32_t waited = 0; !r.finished.load() && waited < wait_ms + 1000; waited += 5)
            frame_sleep_ms(5);
        return;
    }
    if (r.active.load()) {
        r.stop.store(1);
        int32_t waited = 0;
        for (; !r.done.load(std::memory_order_acquire) && waited < wait_ms; waited += 2) frame_sleep_ms(2);
        const bool video = r.settings.kind != RECORD_FOLDER;
        if (!r.done.load(std::memory_order_acquire)) {
            r.abandon.store(1);
            // A video's end (what the encoder holds, the file's index) is worth a little more.
            const int32_t end_ms = video ? 3000 : 500;
            for (int32_t more = 0; !r.done.load(std::memory_order_acquire) && more < end_ms; more += 2)
                frame_sleep_ms(2);
        }
        bool ended = r.done.load(std::memory_order_acquire);
        if (ended && r.writer.joinable()) r.writer.join();
        int64_t left = static_cast<int64_t>(r.head.load() - r.tail.load());
        if (left > 0 && !r.failed.load()) r.dropped.fetch_add(left);
        if (r.sequence && video && !r.video_reported.exchange(1)) {
            std::fprintf(err, "kavaro: recording into %s cut short: the writer did not end in time; the file "
                         "keeps the frames written before\n", r.settings.video.c_str());
        } else if (r.sequence && !video) {
            // Frames are shown as the program makes them: the rate they came at suits a video.
            double span = static_cast<double>(r.last_ns.load() - r.first_ns.load()) * 1e-9;
            int64_t queued = static_cast<int64_t>(r.head.load());
            char rate[64] = "";
            if (r.settings.all_frames)
                std::snprintf(rate, sizeof rate, ", every frame the program drew");
            else if (queued > 1 && span > 0)
                std::snprintf(rate, sizeof rate, ", about %.0f a second", static_cast<double>(queued - 1) / span);
            std::string again;
            if (r.origin_state.load(std::memory_order_acquire) == 2)
                again = std::string("; the same run again: kavaro ") + r.origin;
            std::fprintf(err, "kavaro: recording into %s: %lld frames written, %lld dropped%s%s%s\n",
                         r.settings.dir.c_str(), static_cast<long long>(r.written.load()),
                         static_cast<long long>(r.dropped.load()), rate,
                         r.failed.load() ? " (stopped after a failed write)" : "", again.c_str());
        }
        if (r.snapshot && r.shot_state.load() == 0) {
            if (r.settings.snapshot_frame > 0)
                std::fprintf(err, "kavaro: no snapshot was written: the run ended before frame %lld\n",
                             static_cast<long long>(r.settings.snapshot_frame));
            else if (r.swarm_seen.load())
                std::fprintf(err, "kavaro: no snapshot was written: the run ended before the %g s wait was over\n",
                             r.settings.snapshot_after);
            else
                std::fprintf(err, "kavaro: no snapshot was written: the run ended before the swarm was shown\n");
        }
        std::fflush(err);
    }
    r.finished.store(1);
}

RecordCounts record_counts() {
    RecordCounts c;
    c.written = g_rec.written.load();
    c.dropped = g_rec.dropped.load();
    c.failed = g_rec.failed.load() != 0;
    c.snapshot_written = g_rec.snapshot_written.load() != 0;
    c.video_closed = g_rec.video_reported.load() != 0;
    return c;
}

void record_reset() {
    Recorder& r = g_rec;
    if (r.writer.joinable()) r.writer.join();
    for (int32_t i = 0; i < r.queue_n; ++i) delete[] r.queue[i].indices;
    delete[] r.queue;
    delete[] r.shot.indices;
    r.queue = nullptr;
    r.queue_n = 0;
    r.shot.indices = nullptr;
    r.head.store(0);
    r.tail.store(0);
    r.accepted = 0;
    r.limit_reached.store(false);
    r.first_ns.store(0);
    r.last_ns.store(0);
    r.shot_state.store(0);
    r.swarm_seen.store(false);
    r.next_number = 1;
    r.written.store(0);
    r.dropped.store(0);
    r.failed.store(0);
    r.snapshot_written.store(0);
    r.stop.store(0);
    r.abandon.store(0);
    r.done.store(0);
    r.finishing.store(0);
    r.finished.store(0);
    r.origin_state.store(0);
    if (r.video_fd >= 0) close(r.video_fd);
    r.video_fd = -1;
    r.video = nullptr;
    r.video_w = r.video_h = 0;
    r.video_first_ns = 0;
    r.video_reported.store(0);
    r.active.store(false);
    r.sequence = r.snapshot = false;
}
