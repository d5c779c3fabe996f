// Video files in the page: none (the page has no FFmpeg). Its Record button records the canvas
// as WebM through the browser instead.
#include <unistd.h>

#include "runtime/record/record.h"

bool record_video_available(std::string& why) {
    why = "the page writes no video files; its Record button records a WebM of the canvas";
    return false;
}

RecordVideo* record_video_open(int fd, RecordKind, int32_t, int32_t, int32_t, bool, std::string& why) {
    close(fd);
    record_video_available(why);
    return nullptr;
}

bool record_video_frame(RecordVideo*, const uint8_t*, const uint32_t*, int32_t, int64_t, std::string& why) {
    return record_video_available(why);
}

bool record_video_close(RecordVideo*, double& seconds, std::string& why) {
    seconds = 0;
    return record_video_available(why);
}
