// Video files through FFmpeg's libraries (the desktop): an animated GIF of the page's own
// palette, WebM with VP9, MP4 with H.264 in yuv420p. Each is written so that a file cut short
// (the program killed, the disk full) still plays up to its last written frames: the GIF frame
// by frame, WebM in clusters of at most a second, MP4 in fragments of at most a second.
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>

#include "runtime/record/record.h"

struct RecordVideo {
    int fd = -1;
    int io_errno = 0;  // the first failed write or seek
    RecordKind kind = RECORD_GIF;
    bool fixed_rate = true;
    AVFormatContext* format = nullptr;
    AVCodecContext* codec = nullptr;
    AVStream* stream = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
    SwsContext* scale = nullptr;
    int64_t last_time = -1;    // in the codec's time base
    int64_t last_step = 1;     // the interval before the last frame
    int64_t end_time = 0;      // where the video ends, in the codec's time base
};

namespace {

const char* format_name(RecordKind kind) {
    return kind == RECORD_GIF ? "gif" : kind == RECORD_WEBM ? "webm" : "mp4";
}
const char* encoder_name(RecordKind kind) {
    return kind == RECORD_GIF ? "gif" : kind == RECORD_WEBM ? "libvpx-vp9" : "libx264";
}

int write_bytes(void* opaque, uint8_t* buf, int size) {
    auto* v = static_cast<RecordVideo*>(opaque);
    int done = 0;
    while (done < size) {
        ssize_t n = write(v->fd, buf + done, static_cast<size_t>(size - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (!v->io_errno) v->io_errno = n < 0 ? errno : ENOSPC;
            return AVERROR(v->io_errno);
        }
        done += static_cast<int>(n);
    }
    return size;
}

int64_t seek_bytes(void* opaque, int64_t offset, int whence) {
    auto* v = static_cast<RecordVideo*>(opaque);
    if (whence & AVSEEK_SIZE) {
        struct stat st;
        return fstat(v->fd, &st) == 0 ? st.st_size : AVERROR(errno);
    }
    off_t at = lseek(v->fd, offset, whence & ~AVSEEK_FORCE);
    if (at < 0) {
        if (!v->io_errno) v->io_errno = errno;
        return AVERROR(errno);
    }
    return at;
}

// The reason of a failed call: the file's own error when a write failed, else FFmpeg's text.
std::string reason(const RecordVideo* v, int code) {
    if (v->io_errno) return std::strerror(v->io_errno);
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

// Packets the encoder has ready, into the file, flushed to it at once.
int drain(RecordVideo* v) {
    for (;;) {
        int got = avcodec_receive_packet(v->codec, v->packet);
        if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) return 0;
        if (got < 0) return got;
        if (v->packet->duration <= 0) v->packet->duration = v->fixed_rate ? 1 : v->last_step;
        av_packet_rescale_ts(v->packet, v->codec->time_base, v->stream->time_base);
        v->packet->stream_index = v->stream->index;
        int wrote = av_write_frame(v->format, v->packet);
        av_packet_unref(v->packet);
        if (wrote < 0) return wrote;
        avio_flush(v->format->pb);
        if (v->io_errno) return AVERROR(v->io_errno);
    }
}

void free_video(RecordVideo* v) {
    if (v->format) {
        if (v->format->pb) {
            av_freep(&v->format->pb->buffer);
            avio_context_free(&v->format->pb);
        }
        avformat_free_context(v->format);
    }
    avcodec_free_context(&v->codec);
    av_frame_free(&v->frame);
    av_packet_free(&v->packet);
    sws_freeContext(v->scale);
    if (v->fd >= 0) close(v->fd);
    delete v;
}

bool fail(RecordVideo* v, const std::string& what, int code, std::string& why) {
    why = what + ": " + reason(v, code);
    free_video(v);
    return false;
}

// The encoders' settings: quick enough for the recorder to keep up with the window, sharp
// enough for single-pixel particles.
void encoder_options(RecordKind kind, AVDictionary** o) {
    if (kind == RECORD_GIF) {
        // Every frame with the page's colours as its own palette, only its changed rectangle,
        // no transparency (the flat background packs smaller as it is, and the encoder can
        // choose a transparent index outside a 16-colour palette).
        av_dict_set(o, "global_palette", "0", 0);
        av_dict_set(o, "gifflags", "offsetting", 0);
    } else if (kind == RECORD_WEBM) {
        av_dict_set(o, "deadline", "realtime", 0);
        // The quickest setting: a third more frames a second than 6, the same picture quality
        // (the page's single-pixel colours are lost to 4:2:0 chroma alike at either).
        av_dict_set(o, "cpu-used", "8", 0);
        av_dict_set(o, "crf", "32", 0);
        av_dict_set(o, "b", "0", 0);
        av_dict_set(o, "lag-in-frames", "0", 0);
    } else if (kind == RECORD_MP4) {
        av_dict_set(o, "preset", "veryfast", 0);
        av_dict_set(o, "crf", "18", 0);
    }
}

}  // namespace

bool record_video_available(std::string&) { return true; }

RecordVideo* record_video_open(int fd, RecordKind kind, int32_t w, int32_t h, int32_t fps, bool fixed_rate,
                               std::string& why) {
    // FFmpeg's own lines would come on top of the recorder's one message.
    static std::once_flag quiet;
    std::call_once(quiet, [] { av_log_set_level(AV_LOG_QUIET); });
    auto* v = new RecordVideo();
    v->fd = fd;
    v->kind = kind;
    v->fixed_rate = fixed_rate;
    const bool gif = kind == RECORD_GIF;
    if (!gif && ((w | h) & 1)) {
        why = "a video of odd size (" + std::to_string(w) + "x" + std::to_string(h) + ")";
        free_video(v);
        return nullptr;
    }
    int got = avformat_alloc_output_context2(&v->format, nullptr, format_name(kind), nullptr);
    if (got < 0) return fail(v, "no writer for this format", got, why), nullptr;
    const AVCodec* encoder = avcodec_find_encoder_by_name(encoder_name(kind));
    if (!encoder) return fail(v, std::string("no encoder ") + encoder_name(kind), AVERROR_ENCODER_NOT_FOUND, why), nullptr;
    v->stream = avformat_new_stream(v->format, nullptr);
    v->codec = avcodec_alloc_context3(encoder);
    v->frame = av_frame_alloc();
    v->packet = av_packet_alloc();
    if (!v->stream || !v->codec || !v->frame || !v->packet) return fail(v, "out of memory", AVERROR(ENOMEM), why), nullptr;

    AVCodecContext* c = v->codec;
    c->width = w;
    c->height = h;
    c->pix_fmt = gif ? AV_PIX_FMT_PAL8 : AV_PIX_FMT_YUV420P;
    // A GIF counts in hundredths of a second, the others here in milliseconds.
    c->time_base = fixed_rate ? AVRational{1, fps} : AVRational{1, gif ? 100 : 1000};
    c->framerate = AVRational{fps, 1};
    c->gop_size = 2 * fps;
    // The encoding is the recorder thread's alone: the program's cores stay the force step's.
    c->thread_count = 1;
    // No frames reordered: the first frame is shown at time 0 in every player.
    c->max_b_frames = 0;
    if (!gif) {
        // The page's colours as a standard-definition video.
        c->colorspace = AVCOL_SPC_SMPTE170M;
        c->color_primaries = AVCOL_PRI_SMPTE170M;
        c->color_trc = AVCOL_TRC_SMPTE170M;
        c->color_range = AVCOL_RANGE_MPEG;
    }
    if (v->format->oformat->flags & AVFMT_GLOBALHEADER) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    AVDictionary* options = nullptr;
    encoder_options(kind, &options);
    got = avcodec_open2(c, encoder, &options);
    av_dict_free(&options);
    if (got < 0) return fail(v, std::string("cannot start ") + encoder_name(kind), got, why), nullptr;
    got = avcodec_parameters_from_context(v->stream->codecpar, c);
    if (got < 0) return fail(v, "out of memory", got, why), nullptr;
    v->stream->time_base = c->time_base;

    v->frame->format = c->pix_fmt;
    v->frame->width = w;
    v->frame->height = h;
    got = av_frame_get_buffer(v->frame, 0);
    if (got < 0) return fail(v, "out of memory", got, why), nullptr;
    if (!gif) {
        v->scale = sws_getContext(w, h, AV_PIX_FMT_PAL8, w, h, AV_PIX_FMT_YUV420P, SWS_BILINEAR, nullptr,
                                  nullptr, nullptr);
        if (!v->scale) return fail(v, "no colour conversion", AVERROR(ENOSYS), why), nullptr;
    }

    constexpr int kBuffer = 1 << 16;
    auto* buffer = static_cast<uint8_t*>(av_malloc(kBuffer));
    v->format->pb = buffer ? avio_alloc_context(buffer, kBuffer, 1, v, nullptr, write_bytes, seek_bytes) : nullptr;
    if (!v->format->pb) {
        av_free(buffer);
        return fail(v, "out of memory", AVERROR(ENOMEM), why), nullptr;
    }
    v->format->flags |= AVFMT_FLAG_CUSTOM_IO | AVFMT_FLAG_FLUSH_PACKETS;
    AVDictionary* muxing = nullptr;
    if (kind == RECORD_MP4) {
        // Fragments from the start: a cut file keeps all but its last second.
        av_dict_set(&muxing, "movflags", "+frag_keyframe+empty_moov+default_base_moof", 0);
        av_dict_set(&muxing, "frag_duration", "1000000", 0);
    } else if (kind == RECORD_WEBM) {
        av_dict_set(&muxing, "cluster_time_limit", "1000", 0);
    }
    got = avformat_write_header(v->format, &muxing);
    av_dict_free(&muxing);
    if (got < 0) return fail(v, "cannot write the file's start", got, why), nullptr;
    avio_flush(v->format->pb);
    if (v->io_errno) return fail(v, "cannot write the file's start", AVERROR(v->io_errno), why), nullptr;
    return v;
}

bool record_video_frame(RecordVideo* v, const uint8_t* indices, const uint32_t* palette, int32_t palette_n,
                        int64_t time, std::string& why) {
    AVFrame* f = v->frame;
    int got = av_frame_make_writable(f);
    if (got < 0) return why = reason(v, got), false;
    const int32_t w = v->codec->width, h = v->codec->height;
    uint32_t colours[256];
    for (int32_t i = 0; i < 256; ++i) colours[i] = i < palette_n ? palette[i] | 0xFF000000u : 0xFF000000u;
    if (v->kind == RECORD_GIF) {
        for (int32_t y = 0; y < h; ++y)
            std::memcpy(f->data[0] + static_cast<ptrdiff_t>(y) * f->linesize[0], indices + static_cast<size_t>(y) * w,
                        static_cast<size_t>(w));
        std::memcpy(f->data[1], colours, sizeof colours);
    } else {
        const uint8_t* src[4] = {indices, reinterpret_cast<const uint8_t*>(colours), nullptr, nullptr};
        const int src_stride[4] = {w, 0, 0, 0};
        sws_scale(v->scale, src, src_stride, 0, h, f->data, f->linesize);
    }
    // The frame's time in the codec's time base, always after the one before.
    int64_t t = v->fixed_rate ? time : av_rescale_q(time, AVRational{1, 1000}, v->codec->time_base);
    if (t <= v->last_time) t = v->last_time + 1;
    if (v->last_time >= 0) v->last_step = t - v->last_time;
    v->last_time = t;
    v->end_time = t + (v->fixed_rate ? 1 : v->last_step);
    f->pts = t;
    got = avcodec_send_frame(v->codec, f);
    if (got >= 0) got = drain(v);
    if (got < 0) return why = reason(v, got), false;
    return true;
}

bool record_video_close(RecordVideo* v, double& seconds, std::string& why) {
    seconds = v->last_time < 0 ? 0 : static_cast<double>(v->end_time) * av_q2d(v->codec->time_base);
    int got = avcodec_send_frame(v->codec, nullptr);
    if (got >= 0) got = drain(v);
    if (got >= 0) got = av_write_trailer(v->format);
    if (got >= 0) {
        avio_flush(v->format->pb);
        if (v->io_errno) got = AVERROR(v->io_errno);
    }
    if (got >= 0 && fsync(v->fd) != 0 && errno != EINVAL) got = AVERROR(errno);
    bool ok = got >= 0;
    if (!ok) why = reason(v, got);
    if (close(v->fd) != 0 && ok) {
        ok = false;
        why = std::strerror(errno);
    }
    v->fd = -1;
    free_video(v);
    return ok;
}
