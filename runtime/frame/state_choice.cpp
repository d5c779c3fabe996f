#include "runtime/frame/state_choice.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "runtime/files/file_safe.h"

#ifndef KAVARO_PRESETS_INSTALLED
#define KAVARO_PRESETS_INSTALLED "../share/kavaro/presets"
#endif
#ifndef KAVARO_PRESETS_SOURCE
#define KAVARO_PRESETS_SOURCE ""
#endif

namespace {

bool is_folder(const std::string& path) {
    struct stat st;
    return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool preset_name(const std::string& name) {
    return !name.empty() && name.size() <= 64 && name[0] != '-' &&
           name.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789-") == std::string::npos;
}

}  // namespace

bool frame_folder_writable(const std::string& dir) {
    std::string probe = dir + "/.kavaro-probe-" + std::to_string(getpid());
    int fd = open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    close(fd);
    unlink(probe.c_str());
    return true;
}

std::string frame_state_file_problem(const std::string& path) {
    std::string target;
    bool exists = false;
    if (int why = file_write_target(path, target, nullptr, &exists)) {
        if (why == EISDIR) return "it is a folder";
        if (why == kFileNotRegular) return "it is not a plain file";
        return std::string("it cannot be read: ") + file_error_text(why);
    }
    if (exists) {
        // Non-blocking: a file swapped for a pipe meanwhile must not hold the start-up.
        int fd = open(target.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) return std::string("it cannot be read: ") + std::strerror(errno);
        close(fd);
    }
    size_t cut = target.rfind('/');
    const std::string folder = cut == std::string::npos ? "." : cut == 0 ? "/" : target.substr(0, cut);
    if (!frame_folder_writable(folder))
        return "its folder " + folder + " cannot be written: " + std::strerror(errno);
    return "";
}

std::string frame_preset_dir(const std::string& prog_dir, bool installed) {
    if (installed) {
        std::string dir = prog_dir + "/" + KAVARO_PRESETS_INSTALLED;
        return is_folder(dir) ? dir : "";
    }
    return is_folder(KAVARO_PRESETS_SOURCE) ? KAVARO_PRESETS_SOURCE : "";
}

std::vector<std::string> frame_preset_names(const std::string& dir) {
    std::vector<std::string> names;
    DIR* d = dir.empty() ? nullptr : opendir(dir.c_str());
    if (!d) return names;
    while (const dirent* e = readdir(d)) {
        std::string n = e->d_name;
        if (n.size() > 4 && n.compare(n.size() - 4, 4, ".dat") == 0 && preset_name(n.substr(0, n.size() - 4)) &&
            !frame_preset_file(dir, n.substr(0, n.size() - 4)).empty())
            names.push_back(n.substr(0, n.size() - 4));
    }
    closedir(d);
    std::sort(names.begin(), names.end());
    return names;
}

std::string frame_preset_file(const std::string& dir, const std::string& name) {
    if (dir.empty() || !preset_name(name)) return "";
    std::string path = dir + "/" + name + ".dat";
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) ? path : "";
}
