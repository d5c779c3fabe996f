// What --record names: a folder of numbered pictures or one video file, checked before the
// program starts so that a name that could never be used ends the run at once.
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>

#include "runtime/record/record.h"

namespace {

// The last part of the path (after its last "/").
size_t base_start(const std::string& path) {
    size_t cut = path.find_last_of('/');
    return cut == std::string::npos ? 0 : cut + 1;
}

// Where the extension's dot is in the last part, or npos: a dot that is neither its first
// character nor its last.
size_t extension_dot(const std::string& path) {
    const size_t base = base_start(path);
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || dot <= base || dot + 1 == path.size()) return std::string::npos;
    return dot;
}

bool same_letters(const std::string& a, const char* b) {
    if (a.size() != std::strlen(b)) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != b[i]) return false;
    return true;
}

bool is_folder(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// A folder that files can be made in, or one that can be made: its nearest existing part is a
// folder that can be written. False with errno.
bool folder_can_hold_files(const std::string& folder) {
    std::string part = folder.empty() ? "." : folder;
    for (;;) {
        struct stat st;
        if (stat(part.c_str(), &st) == 0) {
            if (!S_ISDIR(st.st_mode)) {
                errno = ENOTDIR;
                return false;
            }
            return access(part.c_str(), W_OK | X_OK) == 0;
        }
        if (errno != ENOENT) return false;
        while (part.size() > 1 && part.back() == '/') part.pop_back();
        const size_t cut = part.find_last_of('/');
        part = cut == std::string::npos ? "." : cut == 0 ? "/" : part.substr(0, cut);
    }
}

bool taken(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0 || errno != ENOENT;
}

}  // namespace

RecordKind record_kind_of(const std::string& path) {
    const size_t dot = extension_dot(path);
    if (dot == std::string::npos || path.back() == '/') return RECORD_FOLDER;
    const std::string ext = path.substr(dot + 1);
    if (same_letters(ext, "gif")) return RECORD_GIF;
    if (same_letters(ext, "webm")) return RECORD_WEBM;
    if (same_letters(ext, "mp4")) return RECORD_MP4;
    return is_folder(path) ? RECORD_FOLDER : RECORD_REFUSED;
}

std::string record_free_name(const std::string& path) {
    if (!taken(path)) return path;
    const size_t dot = extension_dot(path);
    const std::string stem = dot == std::string::npos ? path : path.substr(0, dot);
    const std::string ext = dot == std::string::npos ? "" : path.substr(dot);
    for (int n = 2; n < 100000; ++n) {
        std::string name = stem + "-" + std::to_string(n) + ext;
        if (!taken(name)) return name;
    }
    return "";
}

bool record_check_target(const std::string& path, std::string& use, std::string& note, std::string& why) {
    use = path;
    note.clear();
    const RecordKind kind = record_kind_of(path);
    if (kind == RECORD_REFUSED) {
        why = "--record takes a folder or a file ending in .gif, .webm or .mp4, not \"" + path +
              "\" (a folder's name may end in /)";
        return false;
    }
    if (kind == RECORD_FOLDER) {
        if (folder_can_hold_files(path)) return true;
        why = "cannot record into " + path + ": " + std::strerror(errno);
        return false;
    }
    if (!record_video_available(why)) return false;
    const size_t base = base_start(path);
    const std::string folder = base == 0 ? "." : base == 1 ? "/" : path.substr(0, base - 1);
    if (!folder_can_hold_files(folder)) {
        why = "cannot record into " + path + ": " + std::strerror(errno);
        return false;
    }
    use = record_free_name(path);
    if (use.empty()) {
        why = "cannot record into " + path + ": it and every numbered name beside it exist";
        return false;
    }
    if (use != path) note = path + " exists (it is never written over); recording into " + use + " instead";
    return true;
}
