// Deleting files by name or wildcard, and renaming.
#include <dirent.h>
#include <limits.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "runtime/core/error.h"
#include "runtime/files/file_safe.h"
#include "runtime/files/file_table.h"

namespace {

bool open_in_this_process(const struct stat& st) {
    for (size_t i = 0; i < file_slots.size(); ++i)
        if (file_slots[i].in_use && file_io[i].fd >= 0 && file_io[i].dev == st.st_dev &&
            file_io[i].ino == st.st_ino)
            return true;
    return false;
}

bool has_nul(const std::string& s) { return std::memchr(s.data(), 0, s.size()) != nullptr; }

// Only "*" and "?" are wildcards: every other character, "[", "]" and "\\" among them, stands
// for itself.
std::string literal_brackets(const std::string& pattern) {
    std::string out;
    for (char c : pattern) {
        if (c == '[' || c == ']' || c == '\\') out += '\\';
        out += c;
    }
    return out;
}

}  // namespace

void file_kill(StringValue* name_value) {
    std::string name = file_take_text(name_value);
    if (frame_error.error_number != 0) return;
    if (name.empty() || has_nul(name)) {
        frame_raise(53);
        return;
    }
    size_t cut = name.rfind('/');
    std::string folder = cut == std::string::npos ? std::string(".")
                         : cut == 0               ? std::string("/")
                                                  : name.substr(0, cut);
    std::string prefix = cut == std::string::npos ? std::string() : name.substr(0, cut + 1);
    std::string pattern = literal_brackets(cut == std::string::npos ? name : name.substr(cut + 1));

    // Collect first, then delete, so that the enumeration does not see its own deletions.
    std::vector<std::string> matches;
    if (DIR* dir = opendir(folder.c_str())) {
        while (struct dirent* e = readdir(dir)) {
            if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
            if (fnmatch(pattern.c_str(), e->d_name, 0) != 0) continue;
            std::string path = prefix + e->d_name;
            struct stat st;
            if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) continue;
            matches.push_back(path);
        }
        closedir(dir);
    }
    if (matches.empty()) {
        frame_raise(53);
        return;
    }
    for (const std::string& path : matches) {
        struct stat st;
        if (lstat(path.c_str(), &st) == 0 && open_in_this_process(st)) {
            frame_raise(55);  // an open file is not deleted
            return;
        }
        if (unlink(path.c_str()) != 0) {
            frame_raise(file_errno_refused(errno) ? 55 : 53);
            return;
        }
    }
}

void file_rename(StringValue* old_value, StringValue* new_value) {
    std::string old_name = file_take_text(old_value);
    std::string new_name = file_take_text(new_value);
    if (frame_error.error_number != 0) return;
    if (old_name.empty() || new_name.empty() || has_nul(old_name) || has_nul(new_name)) {
        frame_raise(64);
        return;
    }
    if (std::rename(old_name.c_str(), new_name.c_str()) == 0) {
        file_sync_folder(new_name);  // the rename survives a power cut
        return;
    }
    int err = errno;
    if (err == EXDEV) {
        frame_raise(74);
        return;
    }
    int32_t n = file_open_errno_error(err, old_name);
    if (n == 53 && err == ENOENT) n = file_open_errno_error(err, new_name);
    frame_raise(n);
}
