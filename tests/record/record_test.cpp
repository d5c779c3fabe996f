extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/pixdesc.h>
}
#include <fcntl.h>
#include <png.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <chrono>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "display/display_support.h"
#include "runtime/display/display.h"
#include "runtime/gfx/image.h"
#include "runtime/record/record.h"

namespace {

struct Decoded {
    bool ok = false;
    int32_t width = 0, height = 0, depth = 0, colour_type = -1;
    std::vector<uint32_t> palette;  // 0xRRGGBB
    std::vector<uint8_t> indices;   // one byte per pixel
};

struct Source {
    const std::vector<uint8_t>* bytes;
    size_t at;
};

void read_bytes(png_structp png, png_bytep out, png_size_t n) {
    auto* s = static_cast<Source*>(png_get_io_ptr(png));
    if (s->at + n > s->bytes->size()) png_error(png, "short");
    std::memcpy(out, s->bytes->data() + s->at, n);
    s->at += n;
}

bool decode_into(png_structp png, png_infop info, Decoded& d, png_bytep* rows, uint8_t* buffer) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_read_info(png, info);
    d.width = static_cast<int32_t>(png_get_image_width(png, info));
    d.height = static_cast<int32_t>(png_get_image_height(png, info));
    d.depth = png_get_bit_depth(png, info);
    d.colour_type = png_get_color_type(png, info);
    png_colorp plte = nullptr;
    int n = 0;
    if (png_get_PLTE(png, info, &plte, &n))
        for (int i = 0; i < n; ++i)
            d.palette.push_back(uint32_t(plte[i].red) << 16 | uint32_t(plte[i].green) << 8 | plte[i].blue);
    png_set_packing(png);
    png_read_update_info(png, info);
    if (d.width > 4096 || d.height > 4096 || int64_t(d.width) * d.height > (1 << 20)) return false;
    for (int32_t y = 0; y < d.height; ++y) rows[y] = buffer + static_cast<size_t>(y) * d.width;
    png_read_image(png, rows);
    png_read_end(png, nullptr);
    return true;
}

Decoded decode(const std::vector<uint8_t>& bytes) {
    Decoded d;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    Source src{&bytes, 0};
    png_set_read_fn(png, &src, read_bytes);
    std::vector<png_bytep> rows(4096);
    std::vector<uint8_t> buffer(size_t(1) << 20);
    d.ok = decode_into(png, info, d, rows.data(), buffer.data());
    if (d.ok) d.indices.assign(buffer.begin(), buffer.begin() + size_t(d.width) * d.height);
    png_destroy_read_struct(&png, &info, nullptr);
    return d;
}

std::vector<uint8_t> read_file(const std::string& name) {
    std::ifstream f(name, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
}

bool exists(const std::string& name) { return access(name.c_str(), F_OK) == 0; }

void touch(const std::string& name) { std::fclose(std::fopen(name.c_str(), "w")); }

std::string temp_dir() {
    char t[] = "/tmp/kavaro-record-XXXXXX";
    return mkdtemp(t);
}

// A picture of w x h with every index below `colours` somewhere.
std::vector<uint8_t> pattern(int32_t w, int32_t h, int32_t colours, int32_t seed) {
    std::vector<uint8_t> px(size_t(w) * h);
    for (size_t i = 0; i < px.size(); ++i) px[i] = uint8_t((i * 7 + i / w + seed) % colours);
    return px;
}

TEST(PngEncode, RoundTripsIndicesAndPaletteAtEveryDepth) {
    struct Case {
        int32_t w, h, palette_n, colours, depth, entries;
    } cases[] = {
        {640, 480, 16, 16, 4, 16},  // the swarm's screen
        {5, 3, 16, 16, 4, 16},      // odd width: the last byte half used
        {9, 2, 2, 2, 1, 2},
        {7, 4, 4, 4, 2, 4},
        {33, 5, 256, 256, 8, 256},
        {9, 2, 2, 9, 4, 9},         // indices beyond the palette still get entries
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.w << "x" << c.h << " palette " << c.palette_n);
        uint32_t palette[256];
        for (int i = 0; i < 256; ++i) palette[i] = 0xFF000000u | uint32_t(i * 0x010305 + 0x102030);
        std::vector<uint8_t> px = pattern(c.w, c.h, c.colours, c.w);
        std::vector<uint8_t> png;
        ASSERT_TRUE(record_png_encode(px.data(), c.w, c.h, palette, c.palette_n, png));
        Decoded d = decode(png);
        ASSERT_TRUE(d.ok);
        EXPECT_EQ(d.width, c.w);
        EXPECT_EQ(d.height, c.h);
        EXPECT_EQ(d.colour_type, PNG_COLOR_TYPE_PALETTE);
        EXPECT_EQ(d.depth, c.depth);
        ASSERT_EQ(int32_t(d.palette.size()), c.entries);
        for (int i = 0; i < c.entries; ++i) EXPECT_EQ(d.palette[i], palette[i] & 0xFFFFFF) << i;
        EXPECT_EQ(d.indices, px);
    }
}

TEST(PngEncode, RefusesAnEmptyPicture) {
    uint32_t palette[16] = {};
    uint8_t px[1] = {0};
    std::vector<uint8_t> png{1, 2, 3};
    EXPECT_FALSE(record_png_encode(px, 0, 1, palette, 16, png));
    EXPECT_TRUE(png.empty());
}

TEST(RecordNumbering, ContinuesAfterTheHighestNumberedPicture) {
    struct Case {
        std::vector<const char*> files;
        int64_t next;
    } cases[] = {
        {{}, 1},
        {{"kavaro-000003.png", "kavaro-000010.png", "notes.txt"}, 11},
        {{"kavaro-000004.png", "kavaro-12.png", "kavaro-000099.png.part", "kavaro-000050.jpg"}, 5},
        {{"kavaro-1000000.png", "kavaro-000007.png"}, 1000001},
    };
    for (const Case& c : cases) {
        std::string dir = temp_dir();
        for (const char* f : c.files) touch(dir + "/" + f);
        EXPECT_EQ(record_next_number(dir), c.next) << dir;
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }
    EXPECT_EQ(record_next_number("/nonexistent/kavaro"), -1);
    EXPECT_EQ(record_file_name("a/b", 12), "a/b/kavaro-000012.png");
    EXPECT_EQ(record_file_name("a/", 1234567), "a/kavaro-1234567.png");
}

// What a video file holds, read back through FFmpeg's own demuxers and decoders.
struct Video {
    bool ok = false;
    std::string codec, pix_fmt;
    int64_t frames = 0;
    double seconds = 0;                  // the container's length
    std::vector<double> times;           // each frame's time, in seconds
    std::vector<std::vector<uint32_t>> rgb;  // decoded 0xRRGGBB pixels (GIF only)
};

Video read_video(const std::string& name) {
    Video v;
    AVFormatContext* fmt = nullptr;
    if (avformat_open_input(&fmt, name.c_str(), nullptr, nullptr) < 0) return v;
    avformat_find_stream_info(fmt, nullptr);
    const AVStream* st = fmt->streams[0];
    const AVCodec* dec = avcodec_find_decoder(st->codecpar->codec_id);
    AVCodecContext* c = avcodec_alloc_context3(dec);
    avcodec_parameters_to_context(c, st->codecpar);
    avcodec_open2(c, dec, nullptr);
    v.codec = avcodec_get_name(st->codecpar->codec_id);
    const char* pf = av_get_pix_fmt_name(static_cast<AVPixelFormat>(st->codecpar->format));
    v.pix_fmt = pf ? pf : "";
    v.seconds = fmt->duration > 0 ? double(fmt->duration) / AV_TIME_BASE : 0;
    AVPacket* pkt = av_packet_alloc();
    AVFrame* f = av_frame_alloc();
    auto take = [&] {
        while (avcodec_receive_frame(c, f) == 0) {
            ++v.frames;
            v.times.push_back(double(f->best_effort_timestamp) * av_q2d(st->time_base));
            if (f->format == AV_PIX_FMT_BGRA) {
                std::vector<uint32_t> px(size_t(f->width) * f->height);
                for (int y = 0; y < f->height; ++y)
                    for (int x = 0; x < f->width; ++x)
                        px[size_t(y) * f->width + x] =
                            reinterpret_cast<const uint32_t*>(f->data[0] + y * f->linesize[0])[x] & 0xFFFFFF;
                v.rgb.push_back(std::move(px));
            }
        }
    };
    while (av_read_frame(fmt, pkt) >= 0) {
        avcodec_send_packet(c, pkt);
        av_packet_unref(pkt);
        take();
    }
    avcodec_send_packet(c, nullptr);
    take();
    av_frame_free(&f);
    av_packet_free(&pkt);
    avcodec_free_context(&c);
    avformat_close_input(&fmt);
    v.ok = true;
    return v;
}

// The pixels a paletted picture shows.
std::vector<uint32_t> colours_of(const std::vector<uint8_t>& indices, const uint32_t* palette) {
    std::vector<uint32_t> px(indices.size());
    for (size_t i = 0; i < px.size(); ++i) px[i] = palette[indices[i]] & 0xFFFFFF;
    return px;
}

TEST(RecordTarget, KindsByNameAndTheNextFreeName) {
    std::string dir = temp_dir();
    mkdir((dir + "/x.y").c_str(), 0755);
    struct Case {
        std::string name;
        RecordKind kind;
    } cases[] = {{"a.gif", RECORD_GIF}, {"A.GIF", RECORD_GIF}, {"x/b.webm", RECORD_WEBM}, {"c.Mp4", RECORD_MP4},
                 {"frames", RECORD_FOLDER}, {"rec.d/", RECORD_FOLDER}, {"my.films/rec", RECORD_FOLDER},
                 {".gif", RECORD_FOLDER}, {"a.", RECORD_FOLDER}, {dir + "/x.y", RECORD_FOLDER},
                 {"swarm.avi", RECORD_REFUSED}, {"swarm.png", RECORD_REFUSED}, {"a.gif.txt", RECORD_REFUSED}};
    for (const Case& c : cases) EXPECT_EQ(record_kind_of(c.name), c.kind) << c.name;
    touch(dir + "/a.gif");
    touch(dir + "/a-2.gif");
    ASSERT_EQ(symlink("nowhere", (dir + "/a-3.gif").c_str()), 0);  // a link that leads nowhere counts
    touch(dir + "/f");
    EXPECT_EQ(record_free_name(dir + "/a.gif"), dir + "/a-4.gif");
    EXPECT_EQ(record_free_name(dir + "/b.gif"), dir + "/b.gif");
    EXPECT_EQ(record_free_name(dir + "/f"), dir + "/f-2");
    EXPECT_EQ(record_free_name(dir + "/x.y"), dir + "/x-2.y");
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
}

// Before the start: a name that could never be written is refused in one line, nothing is made,
// a file that exists is kept and the next free name told. Also run as an ordinary user.
TEST(RecordTarget, NamesThatCannotBeWrittenAreRefusedBeforeTheStart) {
    std::string dir = temp_dir();
    touch(dir + "/file");
    touch(dir + "/old.mp4");
    mkdir((dir + "/ro").c_str(), 0555);
    // Root may write anywhere: the folder's permission cases then pass (and run again as nobody).
    const bool root = geteuid() == 0;
    struct Case {
        std::string name, use, says;  // `says`: what the reason or the note holds
        bool ok;
    } cases[] = {
        {dir + "/new/deep/rec", dir + "/new/deep/rec", "", true},
        {dir + "/new/a.gif", dir + "/new/a.gif", "", true},
        {dir + "/old.mp4", dir + "/old-2.mp4", dir + "/old.mp4 exists (it is never written over); recording into " +
                                                   dir + "/old-2.mp4 instead", true},
        {dir + "/file", "", "cannot record into " + dir + "/file: Not a directory", false},
        {dir + "/file/rec", "", "cannot record into " + dir + "/file/rec: Not a directory", false},
        {dir + "/file/a.webm", "", "cannot record into " + dir + "/file/a.webm: Not a directory", false},
        {dir + "/swarm.avi", "", "--record takes a folder or a file ending in .gif, .webm or .mp4, not \"" + dir +
                                     "/swarm.avi\" (a folder's name may end in /)", false},
        {dir + "/ro/a.gif", dir + "/ro/a.gif", root ? "" : "cannot record into " + dir + "/ro/a.gif: Permission denied",
         root},
        {dir + "/ro/sub/rec", dir + "/ro/sub/rec",
         root ? "" : "cannot record into " + dir + "/ro/sub/rec: Permission denied", root},
    };
    for (const Case& c : cases) {
        std::string use, note, why;
        EXPECT_EQ(record_check_target(c.name, use, note, why), c.ok) << c.name << ": " << why;
        if (c.ok) {
            EXPECT_EQ(use, c.use);
            EXPECT_EQ(note, c.says) << c.name;
        } else {
            EXPECT_EQ(why, c.says);
            EXPECT_EQ(why.find('\n'), std::string::npos);
        }
    }
    EXPECT_FALSE(exists(dir + "/new"));
    EXPECT_EQ(read_file(dir + "/old.mp4").size(), 0u);
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
}

// Frames handed to the recorder as the presenter hands them, without a window.
class RecordTest : public DisplayTest {
protected:
    void SetUp() override {
        DisplayTest::SetUp();
        // The start-up's wiring: the builder keeps the indices a recording needs.
        disp_hooks.keep_indices = record_wants_indices;
        dir = temp_dir();
        err = open_memstream(&err_text, &err_size);
    }
    void TearDown() override {
        gfx_hooks.page_shown = nullptr;
        record_finish(2000, err);
        record_reset();
        std::fclose(err);
        std::free(err_text);
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
        DisplayTest::TearDown();
    }
    std::string messages() {
        std::fflush(err);
        return std::string(err_text, err_size);
    }
    // A frame of a graphics page, as the builder leaves it while a recording runs.
    FrameSlot& frame(int32_t seed, uint32_t flips = 3) {
        static FrameSlot slot;
        static std::vector<uint8_t> px;
        px = pattern(640, 480, 16, seed);
        slot.width = 640;
        slot.height = 480;
        slot.indices = px.data();
        slot.palette_n = 16;
        for (int i = 0; i < 256; ++i) slot.palette[i] = gfx_palette_256[i];
        slot.graphics_flips = flips;
        slot.order.store(uint64_t(seed) + 100);
        return slot;
    }
    void wait_written(int64_t n) {
        for (int i = 0; i < 500 && record_counts().written < n; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::string dir;
    FILE* err = nullptr;
    char* err_text = nullptr;
    size_t err_size = 0;
};

TEST_F(RecordTest, WritesTheShownFramesInOrderWithoutOverwriting) {
    touch(dir + "/kavaro-000004.png");
    RecordSettings s;
    s.dir = dir + "/new/folder";  // made when missing
    ASSERT_TRUE(record_start(s, err));
    touch(dir + "/new/folder/kavaro-000002.png");  // someone else's, after the start
    for (int32_t i = 1; i <= 3; ++i) {
        record_presented(frame(i), true);
        record_presented(frame(i), false);  // shown again, not a new picture
        wait_written(i);
    }
    record_finish(2000, err);
    EXPECT_EQ(record_counts().written, 3);
    EXPECT_EQ(read_file(dir + "/new/folder/kavaro-000002.png").size(), 0u);
    const char* names[] = {"kavaro-000001.png", "kavaro-000003.png", "kavaro-000004.png"};
    for (int32_t i = 0; i < 3; ++i) {
        Decoded d = decode(read_file(dir + "/new/folder/" + names[i]));
        ASSERT_TRUE(d.ok) << names[i];
        EXPECT_EQ(d.indices, pattern(640, 480, 16, i + 1)) << names[i];
        ASSERT_EQ(d.palette.size(), 16u);
        EXPECT_EQ(d.palette[12], 0xFF5555u);
    }
    EXPECT_FALSE(exists(dir + "/new/folder/kavaro-000005.png"));
    EXPECT_NE(messages().find("3 frames written, 0 dropped"), std::string::npos) << messages();
}

TEST_F(RecordTest, AWriterBehindDropsAndCountsWithoutWaiting) {
    RecordSettings s;
    s.dir = dir;
    s.queue_slots = 1;
    ASSERT_TRUE(record_start(s, err));
    FrameSlot& f = frame(1);
    auto start = std::chrono::steady_clock::now();
    for (int32_t i = 0; i < 40; ++i) record_presented(f, true);
    auto spent = std::chrono::steady_clock::now() - start;
    record_finish(2000, err);
    RecordCounts c = record_counts();
    EXPECT_GT(c.dropped, 0);
    EXPECT_EQ(c.written + c.dropped, 40);
    EXPECT_EQ(record_next_number(dir), c.written + 1);
    // Copying 40 frames takes far less than encoding them.
    EXPECT_LT(std::chrono::duration<double>(spent).count(), 0.5);
}

TEST_F(RecordTest, StopsAtTheLimit) {
    RecordSettings s;
    s.dir = dir;
    s.limit = 2;
    ASSERT_TRUE(record_start(s, err));
    for (int32_t i = 0; i < 5; ++i) {
        record_presented(frame(i), true);
        wait_written(std::min(i + 1, 2));
    }
    record_finish(2000, err);
    EXPECT_EQ(record_counts().written, 2);
    EXPECT_EQ(record_counts().dropped, 0);
    EXPECT_EQ(record_next_number(dir), 3);
}

TEST_F(RecordTest, AFailedWriteStopsTheRecordingWithAMessage) {
    RecordSettings s;
    s.dir = dir + "/gone";
    ASSERT_TRUE(record_start(s, err));
    ASSERT_EQ(rmdir(s.dir.c_str()), 0);
    record_presented(frame(1), true);
    for (int i = 0; i < 200 && !record_counts().failed; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_EQ(mkdir(s.dir.c_str(), 0755), 0);
    record_presented(frame(2), true);  // no more after the failure
    record_finish(2000, err);
    EXPECT_TRUE(record_counts().failed);
    EXPECT_EQ(record_counts().written, 0);
    EXPECT_EQ(record_next_number(s.dir), 1);
    std::string m = messages();
    EXPECT_NE(m.find("recording stopped: cannot write " + s.dir + "/kavaro-000001.png"), std::string::npos) << m;
    EXPECT_NE(m.find("stopped after a failed write"), std::string::npos) << m;
}

TEST_F(RecordTest, AFolderThatCannotBeUsedLeavesRecordingOff) {
    touch(dir + "/file");
    for (std::string bad : {dir + "/file", dir + "/file/sub"}) {
        RecordSettings s;
        s.dir = bad;
        EXPECT_FALSE(record_start(s, err)) << bad;
        EXPECT_NE(messages().find("cannot record into " + bad + ": Not a directory"), std::string::npos)
            << messages();
        record_reset();
    }
    RecordSettings s;
    s.snapshot = dir + "/file/shot.png";
    EXPECT_FALSE(record_start(s, err));
    EXPECT_NE(messages().find("cannot write the snapshot " + s.snapshot + ": Not a directory"),
              std::string::npos) << messages();
    EXPECT_EQ(read_file(dir + "/file").size(), 0u);
}

// A snapshot file that turned into a device node (of the test's own) after the start is left
// alone: one line, and the recording of the sequence goes on.
TEST_F(RecordTest, ASnapshotTargetThatBecameADeviceIsLeftAlone) {
    std::string shot = dir + "/shot.png";
    touch(shot);
    RecordSettings s;
    s.dir = dir + "/frames";
    s.snapshot = shot;
    ASSERT_TRUE(record_start(s, err));
    ASSERT_EQ(unlink(shot.c_str()), 0);
    if (mknod(shot.c_str(), S_IFCHR | 0666, makedev(1, 7)) != 0) GTEST_SKIP() << "device nodes need root";
    for (int32_t i = 1; i <= 2; ++i) {
        record_presented(frame(i + 4), true);
        wait_written(i);
    }
    record_finish(2000, err);
    struct stat st;
    ASSERT_EQ(lstat(shot.c_str(), &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode) && st.st_rdev == makedev(1, 7));
    EXPECT_FALSE(record_counts().snapshot_written);
    EXPECT_EQ(record_counts().written, 2);
    EXPECT_NE(messages().find("cannot write the snapshot " + shot + ": Not a regular file"), std::string::npos)
        << messages();
}

TEST_F(RecordTest, TheSnapshotWaitsForTheSwarmAndReplacesItsFileWhole) {
    std::string shot = dir + "/shot.png";
    touch(shot);
    RecordSettings s;
    s.snapshot = shot;
    ASSERT_TRUE(record_start(s, err));
    // The untouched page and the start-up picture are not the swarm.
    record_presented(frame(1, 1), true);
    record_presented(frame(2, 2), true);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(read_file(shot).size(), 0u);
    // A frame of page 2 that a build found equal to page 3 shows the swarm too.
    FrameSlot& f = frame(5, 2);
    disp_book.confirmed.store((f.order.load() << 24) | 3);
    record_presented(f, false);
    record_presented(frame(6, 4), true);  // later frames do not replace it
    record_finish(2000, err);
    EXPECT_TRUE(record_counts().snapshot_written);
    Decoded d = decode(read_file(shot));
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.indices, pattern(640, 480, 16, 5));
    EXPECT_EQ(messages(), "");
}

TEST_F(RecordTest, TheSnapshotWaitsTheGivenTime) {
    std::string shot = dir + "/shot.png";
    RecordSettings s;
    s.snapshot = shot;
    s.snapshot_after = 0.3;
    ASSERT_TRUE(record_start(s, err));
    auto start = std::chrono::steady_clock::now();
    // The first frame starts the wait; a later one is taken.
    record_presented(frame(1), true);
    FrameSlot& later = frame(2);
    while (!exists(shot) && std::chrono::steady_clock::now() - start < std::chrono::seconds(3)) {
        record_presented(later, false);
        std::this_thread::sleep_for(std::chrono::milliseconds(16));
    }
    double waited = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(waited, 0.3);
    EXPECT_LT(waited, 2.0);
    record_finish(2000, err);
    Decoded d = decode(read_file(shot));
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.indices, pattern(640, 480, 16, 2));
}

TEST_F(RecordTest, TheEndSaysWhenNoSnapshotWasTaken) {
    RecordSettings s;
    s.snapshot = dir + "/shot.png";
    ASSERT_TRUE(record_start(s, err));
    record_presented(frame(1, 1), true);
    record_finish(2000, err);
    EXPECT_FALSE(exists(s.snapshot));
    EXPECT_NE(messages().find("no snapshot was written: the run ended before the swarm was shown"),
              std::string::npos) << messages();
    // The swarm was shown, but the wait had not run out.
    record_reset();
    s.snapshot_after = 10;
    ASSERT_TRUE(record_start(s, err));
    record_presented(frame(2), true);
    record_finish(2000, err);
    EXPECT_FALSE(exists(s.snapshot));
    EXPECT_NE(messages().find("no snapshot was written: the run ended before the 10 s wait was over"),
              std::string::npos) << messages();
    record_reset();
    s.snapshot_frame = 40;
    ASSERT_TRUE(record_start(s, err));
    record_finish(2000, err);
    EXPECT_NE(messages().find("no snapshot was written: the run ended before frame 40"), std::string::npos)
        << messages();
}

// --snapshot-frame: the page of the program's N-th frame, taken at its page switch, whatever
// the presenter shows meanwhile (a slow or a fast machine draws the same picture).
TEST_F(RecordTest, TheSnapshotOfAFrameNumberIsThatFramesPage) {
    gfx_hooks.page_shown = record_page_shown;
    RecordSettings s;
    s.snapshot = dir + "/shot.png";
    s.snapshot_frame = 5;
    ASSERT_TRUE(record_start(s, err));
    std::vector<std::vector<uint8_t>> shown;
    for (int32_t p = 0; p < 10; ++p) {
        mode12(p & 1);
        const ImageSurface* d = gfx_images.display_page;
        if (p >= 2) shown.emplace_back(d->pixels, d->pixels + 640 * 480);
        record_presented(frame(p), true);
        std::memset(gfx_images.write_page->pixels + p * 3000, 1 + p % 15, 3000);
    }
    record_finish(2000, err);
    EXPECT_TRUE(record_counts().snapshot_written);
    Decoded d = decode(read_file(s.snapshot));
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.indices, shown[4]);
    EXPECT_NE(shown[4], shown[3]);
    EXPECT_EQ(messages(), "");
}

// The whole path: pages built into frames, the newest shown, the shown one recorded.
TEST_F(RecordTest, RecordsThePagesIndicesThroughTheBuilderAndThePresenter) {
    RecordSettings s;
    s.dir = dir;
    ASSERT_TRUE(record_start(s, err));
    std::vector<std::vector<uint8_t>> shown;
    for (int32_t p = 0; p < 4; ++p) {
        mode12(p & 1);  // draw on p, show the other: every call is a page switch
        ImageSurface* page = gfx_images.display_page;
        page->pixels[p * 1000] = uint8_t(9 + p);
        page->palette[9] = 0xFF123456u;  // the palette at that moment goes with the frame
        disp_build_frame();
        PresentDecision d = disp_present_choose();
        ASSERT_GE(d.slot, 0);
        EXPECT_EQ(disp_slots[d.slot].graphics_flips, uint32_t(p + 1));
        record_presented(disp_slots[d.slot], d.upload);
        shown.emplace_back(page->pixels, page->pixels + 640 * 480);
        wait_written(p + 1);
    }
    record_finish(2000, err);
    ASSERT_EQ(record_counts().written, 4);
    for (int32_t i = 0; i < 4; ++i) {
        Decoded d = decode(read_file(record_file_name(dir, i + 1)));
        ASSERT_TRUE(d.ok);
        EXPECT_EQ(d.indices, shown[i]) << i;
        EXPECT_EQ(d.palette[9], 0x123456u);
        EXPECT_EQ(d.depth, 4);
    }
}

// --all-frames: every page the program shows from the swarm's first picture on, in order, none
// dropped even with a one-frame queue (the program waits for the writer), up to the limit; the
// presenter's frames are not added; the end line tells how to make the run again.
TEST_F(RecordTest, AllFramesWritesEveryPageTheProgramShowsWaitingForTheWriter) {
    gfx_hooks.page_shown = record_page_shown;
    RecordSettings s;
    s.dir = dir;
    s.all_frames = true;
    s.queue_slots = 1;
    s.limit = 12;
    ASSERT_TRUE(record_start(s, err));
    record_note_origin("--state /x/kavaro.dat --start 7");
    record_note_origin("--state /x/kavaro.dat --start 8");  // a restart's: the first stays
    std::vector<std::vector<uint8_t>> shown;
    for (int32_t p = 0; p < 16; ++p) {
        mode12(p & 1);  // shows the page drawn in the pass before
        const ImageSurface* d = gfx_images.display_page;
        if (p >= 2) shown.emplace_back(d->pixels, d->pixels + 640 * 480);
        record_presented(frame(p), true);
        std::memset(gfx_images.write_page->pixels + p * 3000, 1 + p % 15, 3000);
    }
    record_finish(5000, err);
    EXPECT_EQ(record_counts().written, 12);
    EXPECT_EQ(record_counts().dropped, 0);
    EXPECT_EQ(record_next_number(dir), 13);
    for (int32_t i = 0; i < 12; ++i) {
        Decoded d = decode(read_file(record_file_name(dir, i + 1)));
        ASSERT_TRUE(d.ok);
        EXPECT_EQ(d.indices, shown[i]) << i;
    }
    EXPECT_NE(shown[0], shown[1]);
    EXPECT_NE(messages().find("12 frames written, 0 dropped, every frame the program drew; the same run "
                              "again: kavaro --state /x/kavaro.dat --start 7\n"),
              std::string::npos)
        << messages();
}

// --record FILE.gif, .webm or .mp4 with --all-frames: every page the program shows is a frame
// of the file at the fixed rate, the GIF's pixel for pixel; the limit ends the file at once; the
// end line names the file, its frames, its length and the command that makes it again.
TEST_F(RecordTest, AllFramesIntoAVideoFileAtItsRate) {
    gfx_hooks.page_shown = record_page_shown;
    struct Case {
        RecordKind kind;
        const char *name, *codec;
        int32_t fps;
        const char* again;
    } cases[] = {{RECORD_GIF, "a.gif", "gif", 25, " --record-fps 25"},
                 {RECORD_WEBM, "b.webm", "vp9", 30, ""},
                 {RECORD_MP4, "c d.mp4", "h264", 60, " --record-fps 60"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordSettings s;
        s.kind = c.kind;
        s.video = s.video_asked = dir + "/" + c.name;
        s.all_frames = true;
        s.fps = c.fps;
        s.limit = 12;
        s.queue_slots = 2;
        ASSERT_TRUE(record_start(s, err));
        record_note_origin("--state /x/kavaro.dat --start 7");
        std::vector<std::vector<uint32_t>> shown;
        for (int32_t p = 0; p < 16; ++p) {
            mode12(p & 1);
            const ImageSurface* d = gfx_images.display_page;
            if (p >= 2) shown.push_back(colours_of({d->pixels, d->pixels + 640 * 480}, d->palette));
            std::memset(gfx_images.write_page->pixels + p * 3000, 1 + p % 15, 3000);
        }
        for (int i = 0; i < 1000 && !record_counts().video_closed; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_TRUE(record_counts().video_closed);
        Video v = read_video(s.video);
        ASSERT_TRUE(v.ok);
        EXPECT_EQ(v.codec, c.codec);
        ASSERT_EQ(v.frames, 12);
        for (int32_t i = 0; i < 12; ++i) EXPECT_NEAR(v.times[i], double(i) / c.fps, 0.006) << i;
        if (c.kind == RECORD_GIF) {
            ASSERT_EQ(v.rgb.size(), 12u);
            for (int32_t i = 0; i < 12; ++i) EXPECT_TRUE(v.rgb[i] == shown[i]) << i;
            EXPECT_NE(shown[0], shown[1]);
        } else {
            EXPECT_EQ(v.pix_fmt, "yuv420p");
            EXPECT_NEAR(v.seconds, 12.0 / c.fps, 0.002);
        }
        char length[32];
        std::snprintf(length, sizeof length, "%.2f s", 12.0 / c.fps);
        const std::string name = c.kind == RECORD_MP4 ? "'" + s.video + "'" : s.video;
        EXPECT_NE(messages().find("recording into " + s.video + ": 12 frames written, 0 dropped, " + length +
                                  "; the same recording again: kavaro --state /x/kavaro.dat --start 7 --record " +
                                  name + " --all-frames --record-limit 12" + c.again + "\n"),
                  std::string::npos)
            << messages();
        record_finish(2000, err);
        record_reset();
    }
}

// Without --all-frames a video shows the frames the window showed, each from the time it was
// shown, so that it plays at the speed the swarm moved.
TEST_F(RecordTest, ShownFramesKeepTheTimesTheyWereShown) {
    RecordSettings s;
    s.kind = RECORD_GIF;
    s.video = s.video_asked = dir + "/v.gif";
    ASSERT_TRUE(record_start(s, err));
    // Each hand-over lies between the two clock readings around it.
    std::vector<double> before, after;
    const auto start = std::chrono::steady_clock::now();
    auto now = [&] { return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(); };
    for (int32_t i = 0; i < 4; ++i) {
        FrameSlot& f = frame(i + 1);
        std::this_thread::sleep_for(std::chrono::milliseconds(i == 2 ? 300 : 60));
        before.push_back(now());
        record_presented(f, true);
        after.push_back(now());
        record_presented(f, false);  // the same picture again: no frame
        wait_written(i + 1);
    }
    record_finish(2000, err);
    Video v = read_video(s.video);
    ASSERT_EQ(v.frames, 4);
    // A GIF's delays are in hundredths of a second.
    for (int32_t i = 0; i < 4; ++i) {
        EXPECT_GE(v.times[i], before[i] - after[0] - 0.006) << i;
        EXPECT_LE(v.times[i], after[i] - before[0] + 0.006) << i;
    }
    EXPECT_TRUE(v.rgb[2] == colours_of(pattern(640, 480, 16, 3), gfx_palette_256));
    EXPECT_NE(messages().find(": 4 frames written, 0 dropped, "), std::string::npos) << messages();
}

// A name taken after the start-up's check is not written over either; a video that never got
// a frame is removed.
TEST_F(RecordTest, AVideoNeverOverwritesAndAnEmptyOneIsRemoved) {
    touch(dir + "/a.mp4");
    RecordSettings s;
    s.kind = RECORD_MP4;
    s.video = s.video_asked = dir + "/a.mp4";
    ASSERT_TRUE(record_start(s, err));
    EXPECT_TRUE(exists(dir + "/a-2.mp4"));
    record_finish(2000, err);
    EXPECT_FALSE(exists(dir + "/a-2.mp4"));
    EXPECT_EQ(read_file(dir + "/a.mp4").size(), 0u);
    const std::string m = messages();
    EXPECT_NE(m.find("recording into " + dir + "/a-2.mp4: 0 frames written, 0 dropped, 0.00 s (nothing was shown: the "
                     "file was removed)\n"),
              std::string::npos) << m;
}

// A disk that is full from the first byte: every format says so, in the system's words.
TEST(RecordVideoFile, AFullDiskIsToldWithItsReason) {
    std::vector<uint8_t> px = pattern(64, 48, 16, 1);
    for (RecordKind kind : {RECORD_GIF, RECORD_WEBM, RECORD_MP4}) {
        int fd = open("/dev/full", O_WRONLY | O_CLOEXEC);
        ASSERT_GE(fd, 0);
        std::string why;
        RecordVideo* v = record_video_open(fd, kind, 64, 48, 30, true, why);
        bool ok = v != nullptr;
        for (int64_t i = 0; ok && i < 90; ++i) ok = record_video_frame(v, px.data(), gfx_palette_256, 16, i, why);
        double seconds = 0;
        std::string closing;
        if (v) ok = record_video_close(v, seconds, closing) && ok;
        if (why.empty()) why = closing;
        EXPECT_FALSE(ok) << kind;
        EXPECT_NE(why.find("No space left on device"), std::string::npos) << kind << ": " << why;
    }
}

}  // namespace
